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
    if (rs.err_flag) stop_free(27, " read error layer: refraction index !");
    if (rs.neg_k_flag) stop_free(27, " Error layer: Imag(n) < 0 ");
    const cplx k0sq_eps = rs.k0sq * eps;

    if (!read_finite(entry_stream(rs, st), {&rs.thickness}))
        stop_free(28, " read error gitter: thickness");
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
        stop_free(80, " read error: name of sequence");
    if (!read_finite(st.stack, {&rs.fak_thick})) stop_free(81, " read error: fak_thick");
    if (!st.seq.open(seq_name, false)) stop_free(82, " open error sequence file");

    static const char* const msg = " read error seq: number of layers ";
    std::string header;
    if (!read_record(st.seq, {textio::text(header, 20)})) stop_free(83, msg);
    if (header != "2D_Stack_Sequence   ") stop_free(83, msg);
    if (!read_record(st.seq, {&rs.nseq})) stop_free(83, msg);
    // A negative count would silently drop entries of the 2D-stack file.
    if (rs.nseq < 0) stop_free(83, msg);
}

void cone_entry(run_state& rs, run_streams& st) {
    rs.lay_diag = false;
    static const char* const msg = " read error cone_3d: other";
    for (int k = 0; k < 2; ++k)
        if (!read_record(st.stack, {})) stop_free(212, msg);
    for (int k = 0; k < 2; ++k) {
        cplx unused;
        structure::read_nk(unused, rs.lambda, rs.mat_src, st.materials(), rs.err_flag,
                           rs.neg_k_flag);
        if (rs.err_flag) stop_free(41, " read error patch: eps");
        if (rs.neg_k_flag) stop_free(27, " Error layer: Imag(n) < 0 ");
    }
    for (int k = 0; k < 7; ++k)
        if (!read_record(st.stack, {})) stop_free(212, msg);
    sequence_entry(rs, st);
}

void rejected_code() {
    throw run_stop(22, {(textio::free_line() << " Sorry, not yet implemented-result likely to be wrong").str(),
                        (textio::free_line() << " read error gitter: ntype").str()});
}


}  // namespace rcwa::run
