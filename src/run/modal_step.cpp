// The modal step of a grating layer: the eigen-matrix factors from the
// layer's Fourier matrices, their product, its eigen-decomposition, the mode
// matrices, and the three link steps that join the layer onto r_mat, t_mat.
#include <cmath>
#include <utility>
#include <vector>

#include "linalg/constants.hpp"
#include "linalg/dense.hpp"
#include "linalg/distributed.hpp"
#include "linalg/eigen_dist.hpp"
#include "linalg/eigen_serial.hpp"
#include "linalg/link.hpp"
#include "linalg/timing.hpp"
#include "platform/platform.hpp"
#include "run/grating.hpp"
#include "run/stop.hpp"
#include "structure/fourier.hpp"
#include "structure/modal.hpp"
#include "structure/orders.hpp"

namespace rcwa::run {

namespace {
// clear_tiny_entries clears an entry whose parts are both below this.
constexpr double clear_threshold = 1e-9;
// Block size of the eigen-decomposition's process grid.
constexpr int eigen_block = 90;
}  // namespace

void clear_tiny_entries(int n, full_mat& m) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) {
            const cplx z = m(i, j);
            if (std::fabs(z.real()) < clear_threshold && std::fabs(z.imag()) < clear_threshold) m(i, j) = cplx(0.0, 0.0);
        }
    }
}

namespace {

bool all_finite(int n, const full_mat& m) {
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i)
            if (!std::isfinite(m(i, j).real()) || !std::isfinite(m(i, j).imag())) return false;
    return true;
}

[[noreturn]] void eigen_failed() { stop(eigen_error); }

}  // namespace

void grating_modal_step(const run_setup& setup, double thickness, stack_state& stack, scratch& work,
                        grating_eps& eps) {
    const structure::order_set& o = setup.orders;
    const int n = o.norder;
    const int n2 = 2 * n;
    const bool talk = setup.talk();
    linalg::time_stamp stamp{};
    if (setup.root()) stamp = linalg::take_stamp();

    // eps_conv is not scaled: eigen_matrix_eps takes k0sq itself.
    linalg::mat_scale(n, eps.eps_li_2, setup.media.k0sq);
    linalg::mat_scale(n, eps.eps_inv_rule, setup.media.k0sq);
    linalg::mat_scale(n, eps.eps_li_1, setup.media.k0sq);

    structure::eigen_matrix_eps(o, setup.media.k0sq, eps.eps_conv, setup.hdr.grid_angle, work.p_mat);
    if (setup.hdr.li_rules) {
        structure::eigen_matrix_li(o, eps.eps_li_1, eps.eps_li_2, eps.eps_inv_rule, setup.hdr.grid_angle,
                                   work.q_mat);
    } else {
        structure::eigen_matrix_mix(o, setup.hdr.mix_weight, eps.eps_li_1, eps.eps_inv_rule,
                                    setup.hdr.grid_angle, work.q_mat);
    }

    // The product carries 1/cos^2 of the grid angle; exactly 1 on an
    // orthogonal grid.
    const double c = std::cos(setup.hdr.grid_angle * linalg::deg_to_rad);
    const double s = 1.0 / c;
    linalg::mat_scale(n2, work.p_mat, s);
    linalg::mat_scale(n2, work.q_mat, s);

    eps = grating_eps{};

    int info = 0;
    linalg::matmult(n2, cplx(1.0, 0.0), work.p_mat, work.q_mat, work.m_mat, info);
    linalg::mat_copy(n2, work.q_copy, work.q_mat);

    {
        // The eigenvectors are used on process 0 alone: nowhere else do they
        // take room.
        const bool root = setup.root();
        array1<cplx> eig_val(n2);
        full_mat eig_vr(root ? n2 : 0);
        full_mat eig_vl(root ? n2 : 0);

        clear_tiny_entries(n2, work.m_mat);
        // Only process 0's matrix and status mean anything, so a failure ends
        // the whole job. A matrix with NaN or infinite entries is not handed
        // to the library at all: its iterations could run for minutes.
        if (setup.root() && !all_finite(n2, work.m_mat)) eigen_failed();
        linalg::eigen_dist(n2, eigen_block, 0.0, work.m_mat, eig_val, work.gam, eig_vl, eig_vr, info);
        if (setup.root() && info != 0) eigen_failed();
        // A mode at grazing exit is taken where a film takes its order: its
        // eigenvalue is k0^2 w / c^2 with w = kt^2 - c^2 k0^2 eps for a
        // uniform layer, and the floor of w shifts k0^2 eps by dk.
        std::vector<std::pair<int, cplx>> grazing;
        for (int k = 1; k <= n2; ++k) {
            const cplx dk = structure::grazing_shift(eig_val(k) * (c * c / setup.media.k0sq), c);
            // Elsewhere than on process 0 the eigenvalues are not at hand.
            if (root && dk != cplx(0.0, 0.0)) {
                work.gam(k) = linalg::gam_rule_a(eig_val(k) - setup.media.k0sq * dk, 0.0);
                grazing.emplace_back(k, dk);
            }
            work.gam(k) = work.gam(k) / setup.media.k0;
        }

        linalg::matmult(n2, cplx(1.0, 0.0), work.q_copy, eig_vr, work.m_mat, info);

        // Column b of both mode matrices belongs to mode b.
        for (int b = 1; b <= (root ? n2 : 0); ++b) {
            const cplx g = cplx(0.0, -1.0) * work.gam(b);
            for (int a = 1; a <= n2; ++a) {
                work.p_mat(a, b) = g * eig_vr(a, b);
                work.x_mat(a, b) = -work.m_mat(a, b);
            }
        }
        // The second factor at the shifted k0^2 eps is Q + dk D with
        // D = i [[sn I, -I], [I, -sn I]] (q_copy holds Q / c): without it
        // two grazing layers in a row leave a zero row to invert.
        const double sn = std::sin(setup.hdr.grid_angle * linalg::deg_to_rad);
        for (const auto& [b, dk] : grazing) {
            const cplx f = cplx(0.0, 1.0) * dk / c;
            for (int a = 1; a <= n; ++a) {
                const cplx top = eig_vr(a, b), bot = eig_vr(n + a, b);
                work.x_mat(a, b) -= f * (sn * top - bot);
                work.x_mat(n + a, b) -= f * (top - sn * bot);
            }
        }
    }

    if (talk) {
        platform::console_line(linalg::timing_line_since("TIME for Eigen: ", stamp));
        stamp = linalg::take_stamp();
    }
    linalg::rti_link(work.p_mat, work.x_mat, stack.r_mat, stack.t_mat, n2);
    if (talk) {
        platform::console_line(linalg::timing_line_since("TIME for rti_link: ", stamp));
        stamp = linalg::take_stamp();
    }
    linalg::t_link(thickness, work.gam, stack.r_mat, stack.t_mat, n);
    if (talk) {
        platform::console_line(linalg::timing_line_since("TIME for t_link: ", stamp));
        stamp = linalg::take_stamp();
    }
    linalg::rt_link(work.p_mat, work.x_mat, stack.r_mat, stack.t_mat, n2);
    if (talk) platform::console_line(linalg::timing_line_since("TIME for rt_link: ", stamp));
}

}  // namespace rcwa::run
