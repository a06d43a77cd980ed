// Homogeneous, sequence and cone entries of the layer loop, and the codes the
// loop does not accept.
#include "run/layers.hpp"

#include <string>

#include "linalg/dense.hpp"
#include "linalg/link.hpp"
#include "platform/platform.hpp"
#include "run/stop.hpp"
#include "structure/material.hpp"
#include "structure/modal.hpp"
#include "structure/orders.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::run {

using textio::read_finite;
using textio::read_record;

textio::line_source& entry_stream(const layer_cursor& cur, run_streams& st) {
    if (cur.mat_src == record_source::sequence_file) return st.seq;
    return st.stack;
}

void layer_thickness(layer_cursor& cur, textio::line_source& src, const status_entry& read_error) {
    if (!read_thickness(src, cur.thickness)) stop(read_error);
    if (cur.mat_src == record_source::sequence_file) cur.thickness = cur.thickness * cur.fak_thick;
}

void homogeneous_layer(const run_setup& s, layer_cursor& cur, stack_state& stack, scratch& work,
                       run_streams& st) {
    const structure::order_set& o = s.orders;
    const int n = o.norder;
    const cplx n_lay = read_material(s.par.lambda, cur.mat_src, st.materials(),
                                     read_error_layer_index, neg_k_layer);
    const cplx eps = n_lay * n_lay;
    const cplx k0sq_eps = s.media.k0sq * eps;

    layer_thickness(cur, entry_stream(cur, st), read_error_thickness);

    structure::kn_orders_2n(o, k0sq_eps, work.gam);

    const double grid_angle = s.hdr.grid_angle;
    if (cur.lay_diag) {
        structure::uniform_layer_bd(o, grid_angle, eps, s.media.k0sq, work.p_bd, work.q_bd, work.x_bd,
                                    work.y_bd);
        linalg::rti_link_bd(work.p_bd, work.q_bd, work.x_bd, work.y_bd, stack.r_mat, stack.t_mat, n,
                            o.k_unit);
        linalg::t_link_bd(cur.thickness, work.gam, stack.r_mat, stack.t_mat, n);
        linalg::rt_link_bd(work.p_bd, work.q_bd, work.x_bd, work.y_bd, stack.r_mat, stack.t_mat, n,
                           o.k_unit);
    } else {
        structure::uniform_layer(o, grid_angle, eps, s.media.k0sq, work.p_mat, work.q_mat, work.x_mat,
                                 work.y_mat);
        if (s.talk()) platform::console_line("rti_link: g1");
        linalg::rti_link(work.p_mat, work.x_mat, stack.r_mat, stack.t_mat, 2 * n);
        linalg::t_link(cur.thickness, work.gam, stack.r_mat, stack.t_mat, n);
        if (s.talk()) platform::console_line(" rt_link: g1");
        linalg::rt_link(work.p_mat, work.x_mat, stack.r_mat, stack.t_mat, 2 * n);
    }
}

void sequence_entry(layer_cursor& cur, run_streams& st) {
    std::string seq_name;
    if (!read_record(st.stack, {textio::text(seq_name, 260)}))
        stop(read_error_seq_name);
    // A negative factor would turn every thickness of the file negative.
    if (!read_finite(st.stack, {&cur.fak_thick}) || cur.fak_thick < 0.0) stop(read_error_fak_thick);
    if (!st.seq.open(seq_name, false)) stop(open_error_seq);

    std::string header;
    if (!read_record(st.seq, {textio::text(header, 20)})) stop(read_error_seq);
    if (header != "2D_Stack_Sequence   ") stop(read_error_seq);
    if (!read_record(st.seq, {&cur.nseq})) stop(read_error_seq);
    // A negative count would silently drop entries of the 2D-stack file.
    if (cur.nseq < 0) stop(read_error_seq);
}

void cone_entry(double lambda, layer_cursor& cur, run_streams& st) {
    cur.lay_diag = false;
    for (int k = 0; k < 2; ++k)
        if (!read_record(st.stack, {})) stop(read_error_cone);
    for (int k = 0; k < 2; ++k)
        read_material(lambda, cur.mat_src, st.materials(), read_error_patch_eps, neg_k_layer);
    for (int k = 0; k < 7; ++k)
        if (!read_record(st.stack, {})) stop(read_error_cone);
    sequence_entry(cur, st);
}

void rejected_code() {
    throw run_stop(read_error_ntype.code, {(textio::free_line() << not_implemented.message).str(),
                        (textio::free_line() << read_error_ntype.message).str()});
}


}  // namespace rcwa::run
