// The modal step of a grating layer: the eigen-matrix factors from the
// layer's Fourier matrices, their product, its eigen-decomposition, the mode
// matrices, and the three link steps that join the layer onto r_mat, t_mat.
#include <cmath>

#include "linalg/dense.hpp"
#include "linalg/distributed.hpp"
#include "linalg/eigen.hpp"
#include "linalg/link.hpp"
#include "linalg/timing.hpp"
#include "platform/platform.hpp"
#include "run/grating.hpp"
#include "structure/fourier.hpp"
#include "structure/modal.hpp"

namespace rcwa::run {

void clear_tiny_entries(int n, full_mat& m) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) {
            const cplx z = m(i, j);
            if (std::fabs(z.real()) < 1e-9 && std::fabs(z.imag()) < 1e-9) m(i, j) = cplx(0.0, 0.0);
        }
    }
}

void grating_modal_step(run_state& rs, grating_eps& eps) {
    const int n = rs.norder;
    const int n2 = 2 * n;
    const bool talk = rs.l_info && rs.my_proc == 0;
    linalg::time_stamp stamp{};
    if (rs.my_proc == 0) stamp = linalg::take_stamp();

    // eps_conv is not scaled: eigen_matrix_eps takes k0sq itself.
    linalg::mat_scale(n, eps.eps_li_2, rs.k0sq);
    linalg::mat_scale(n, eps.eps_inv_rule, rs.k0sq);
    linalg::mat_scale(n, eps.eps_li_1, rs.k0sq);

    structure::eigen_matrix_eps(rs.nmax1d, n, rs.ord_i1, rs.ord_i2, rs.ky_1d, rs.kz_1d, rs.k0sq,
                                eps.eps_conv, rs.grid_angle, rs.p_mat);
    if (rs.li_rules) {
        structure::eigen_matrix_li(rs.nmax1d, n, rs.ord_i1, rs.ord_i2, rs.ky_1d, rs.kz_1d,
                                   eps.eps_li_1, eps.eps_li_2, eps.eps_inv_rule, rs.grid_angle,
                                   rs.q_mat);
    } else {
        structure::eigen_matrix_mix(rs.nmax1d, n, rs.ord_i1, rs.ord_i2, rs.ky_1d, rs.kz_1d,
                                    rs.mix_weight, eps.eps_li_1, eps.eps_inv_rule, rs.grid_angle,
                                    rs.q_mat);
    }

    // The product carries 1/cos^2 of the grid angle; exactly 1 on an
    // orthogonal grid.
    const double c = std::cos(rs.grid_angle * 0.017453292519943295);
    const double s = 1.0 / c;
    linalg::mat_scale(n2, rs.p_mat, s);
    linalg::mat_scale(n2, rs.q_mat, s);

    eps = grating_eps{};

    int info = 0;
    linalg::matmult(n2, cplx(1.0, 0.0), rs.p_mat, rs.q_mat, rs.m_mat, info);
    linalg::mat_copy(n2, rs.q_copy, rs.q_mat);

    {
        // The eigenvectors are used on process 0 alone: nowhere else do they
        // take room.
        const bool root = rs.my_proc == 0;
        array1<cplx> eig_val(n2);
        full_mat eig_vr(root ? n2 : 0);
        full_mat eig_vl(root ? n2 : 0);

        clear_tiny_entries(n2, rs.m_mat);
        linalg::eigen_dist(n2, 90, 0.0, rs.m_mat, eig_val, rs.gam, eig_vl, eig_vr, info);
        for (int k = 1; k <= n2; ++k) rs.gam(k) = rs.gam(k) / rs.k0;

        linalg::matmult(n2, cplx(1.0, 0.0), rs.q_copy, eig_vr, rs.m_mat, info);

        // Column b of both mode matrices belongs to mode b.
        for (int b = 1; b <= (root ? n2 : 0); ++b) {
            const cplx g = cplx(0.0, -1.0) * rs.gam(b);
            for (int a = 1; a <= n2; ++a) {
                rs.p_mat(a, b) = g * eig_vr(a, b);
                rs.x_mat(a, b) = -rs.m_mat(a, b);
            }
        }
    }

    if (talk) {
        platform::console_line(linalg::timing_line_since("TIME for Eigen: ", stamp));
        stamp = linalg::take_stamp();
    }
    linalg::rti_link(rs.p_mat, rs.x_mat, rs.r_mat, rs.t_mat, n2);
    if (talk) {
        platform::console_line(linalg::timing_line_since("TIME for rti_link: ", stamp));
        stamp = linalg::take_stamp();
    }
    structure::t_link(rs.thickness, rs.gam, rs.r_mat, rs.t_mat, n);
    if (talk) {
        platform::console_line(linalg::timing_line_since("TIME for t_link: ", stamp));
        stamp = linalg::take_stamp();
    }
    linalg::rt_link(rs.p_mat, rs.x_mat, rs.r_mat, rs.t_mat, n2);
    if (talk) platform::console_line(linalg::timing_line_since("TIME for rt_link: ", stamp));
}

}  // namespace rcwa::run
