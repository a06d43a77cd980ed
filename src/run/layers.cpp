// Homogeneous, sequence and cone entries of the layer loop, and the codes the
// loop does not accept.
#include <string>

#include "linalg/dense.hpp"
#include "linalg/link.hpp"
#include "platform/platform.hpp"
#include "run/steps.hpp"
#include "run/stop.hpp"
#include "structure/material.hpp"
#include "structure/modal.hpp"
#include "structure/orders.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::run {

using textio::read_finite;
using textio::read_record;

textio::line_source& entry_stream(run_state& rs, run_streams& st) {
    if (rs.mat_src == 1) return st.seq;
    return st.stack;
}

void homogeneous_layer(run_state& rs, run_streams& st) {
    const int n = rs.norder;
    cplx n_lay;
    structure::read_nk(n_lay, rs.lambda, rs.mat_src, st.materials(), rs.err_flag, rs.neg_k_flag);
    const cplx eps = n_lay * n_lay;
    if (rs.err_flag) stop(read_error_layer_index);
    if (rs.neg_k_flag) stop(neg_k_layer);
    const cplx k0sq_eps = rs.k0sq * eps;

    if (!read_finite(entry_stream(rs, st), {&rs.thickness}))
        stop(read_error_thickness);
    if (rs.mat_src == 1) rs.thickness = rs.thickness * rs.fak_thick;

    structure::kn_orders(n, true, k0sq_eps, rs.ord_slot, rs.kt2, rs.gam);
    for (int i = 1; i <= n; ++i) rs.gam(n + i) = rs.gam(i);

    if (rs.lay_diag) {
        structure::uniform_layer_bd(rs.nmax1d, n, rs.grid_angle, eps, rs.ord_i1, rs.ord_i2,
                                    rs.ky_1d, rs.kz_1d, rs.k0sq, rs.p_bd, rs.q_bd, rs.x_bd,
                                    rs.y_bd);
        linalg::rti_link_bd(rs.p_bd, rs.q_bd, rs.x_bd, rs.y_bd, rs.r_mat, rs.t_mat, n);
        structure::t_link_bd(rs.thickness, rs.gam, rs.r_mat, rs.t_mat, n);
        linalg::rt_link_bd(rs.p_bd, rs.q_bd, rs.x_bd, rs.y_bd, rs.r_mat, rs.t_mat, n);
    } else {
        structure::uniform_layer(rs.nmax1d, n, rs.grid_angle, eps, rs.ord_i1, rs.ord_i2,
                                 rs.ky_1d, rs.kz_1d, rs.k0sq, rs.p_mat, rs.q_mat, rs.x_mat,
                                 rs.y_mat);
        if (rs.l_info && rs.my_proc == 0) platform::console_line("rti_link: g1");
        linalg::rti_link(rs.p_mat, rs.x_mat, rs.r_mat, rs.t_mat, 2 * n);
        structure::t_link(rs.thickness, rs.gam, rs.r_mat, rs.t_mat, n);
        if (rs.l_info && rs.my_proc == 0) platform::console_line(" rt_link: g1");
        linalg::rt_link(rs.p_mat, rs.x_mat, rs.r_mat, rs.t_mat, 2 * n);
    }
}

void sequence_entry(run_state& rs, run_streams& st) {
    std::string seq_name;
    if (!read_record(st.stack, {textio::text(seq_name, 260)}))
        stop(read_error_seq_name);
    if (!read_finite(st.stack, {&rs.fak_thick})) stop(read_error_fak_thick);
    if (!st.seq.open(seq_name, false)) stop(open_error_seq);

    std::string header;
    if (!read_record(st.seq, {textio::text(header, 20)})) stop(read_error_seq);
    if (header != "2D_Stack_Sequence   ") stop(read_error_seq);
    if (!read_record(st.seq, {&rs.nseq})) stop(read_error_seq);
    // A negative count would silently drop entries of the 2D-stack file.
    if (rs.nseq < 0) stop(read_error_seq);
}

void cone_entry(run_state& rs, run_streams& st) {
    rs.lay_diag = false;
    for (int k = 0; k < 2; ++k)
        if (!read_record(st.stack, {})) stop(read_error_cone);
    for (int k = 0; k < 2; ++k) {
        cplx unused;
        structure::read_nk(unused, rs.lambda, rs.mat_src, st.materials(), rs.err_flag,
                           rs.neg_k_flag);
        if (rs.err_flag) stop(read_error_patch_eps);
        if (rs.neg_k_flag) stop(neg_k_layer);
    }
    for (int k = 0; k < 7; ++k)
        if (!read_record(st.stack, {})) stop(read_error_cone);
    sequence_entry(rs, st);
}

void rejected_code() {
    throw run_stop(read_error_ntype.code, {(textio::free_line() << not_implemented.message).str(),
                        (textio::free_line() << read_error_ntype.message).str()});
}


}  // namespace rcwa::run
