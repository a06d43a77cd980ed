// The modes of a grating layer. The products go through the collective
// kernels and the eigen-decomposition is collective; the element-wise steps
// around them run on every process on what it holds.
#include "structure/grating_modes.hpp"

#include <cmath>
#include <utility>
#include <vector>

#include "linalg/constants.hpp"
#include "linalg/distributed.hpp"
#include "linalg/eigen_dist.hpp"
#include "linalg/eigen_serial.hpp"
#include "structure/eigen_factors.hpp"

namespace rcwa::structure {

namespace {
// clear_tiny_entries clears an entry whose parts are both below this, times
// k_unit^4.
constexpr double clear_threshold = 1e-9;
// Block size of the eigen-decomposition's process grid.
constexpr int eigen_block = 90;

bool all_finite(int n, const full_mat& m) {
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i)
            if (!std::isfinite(m(i, j).real()) || !std::isfinite(m(i, j).imag())) return false;
    return true;
}

}  // namespace

void clear_tiny_entries(int n, full_mat& m, double k_unit) {
    const double k2 = k_unit * k_unit;
    const double threshold = clear_threshold * (k2 * k2);
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) {
            const cplx z = m(i, j);
            if (std::fabs(z.real()) < threshold && std::fabs(z.imag()) < threshold) m(i, j) = cplx(0.0, 0.0);
        }
    }
}

bool grating_modes(const order_set& orders, const modal_rules& rules, bool root, grating_eps eps,
                   const mode_storage& modes) {
    const int n = orders.norder;
    const int n2 = 2 * n;

    eigen_matrix_eps(orders, rules.k0sq, eps.eps_conv, rules.grid_angle, modes.p_mat);
    if (rules.li_rules) {
        eigen_matrix_li(orders, rules.k0sq, eps.eps_li_1, eps.eps_li_2, eps.eps_inv_rule,
                        rules.grid_angle, modes.q_mat);
    } else {
        eigen_matrix_mix(orders, rules.k0sq, rules.mix_weight, eps.eps_li_1, eps.eps_inv_rule,
                         rules.grid_angle, modes.q_mat);
    }

    // The product carries 1/cos^2 of the grid angle; exactly 1 on an
    // orthogonal grid.
    const double c = std::cos(rules.grid_angle * linalg::deg_to_rad);
    const double inv_c = 1.0 / c;
    linalg::mat_scale(n2, modes.p_mat, inv_c);
    linalg::mat_scale(n2, modes.q_mat, inv_c);

    eps = grating_eps{};

    int info = 0;
    linalg::matmult(n2, cplx(1.0, 0.0), modes.p_mat, modes.q_mat, modes.m_mat, info);
    linalg::mat_copy(n2, modes.q_copy, modes.q_mat);

    // The eigenvectors are used on process 0 alone: nowhere else do they
    // take room.
    array1<cplx> eig_val(n2);
    full_mat eig_vr(root ? n2 : 0);
    full_mat eig_vl;  // empty: no step reads the left eigenvectors

    clear_tiny_entries(n2, modes.m_mat, orders.k_unit);
    // Only process 0's matrix and status mean anything. A matrix with NaN or
    // infinite entries is not handed to the library at all: its iterations
    // could run for minutes.
    if (root && !all_finite(n2, modes.m_mat)) return false;
    // The branch of gam (of the unit k^2 here) is chosen in the run's own
    // scale.
    const double g_unit = orders.k_unit * orders.k_unit;
    linalg::eigen_dist(n2, eigen_block, 0.0, modes.m_mat, eig_val, modes.gam, eig_vl, eig_vr, info,
                       g_unit);
    if (root && info != 0) return false;
    // A mode at grazing exit is taken where a film takes its order: its
    // eigenvalue is k0^2 w / c^2 with w = kt^2 - c^2 k0^2 eps for a
    // uniform layer, and the floor of w shifts k0^2 eps by dk.
    std::vector<std::pair<int, cplx>> grazing;
    for (int k = 1; k <= n2; ++k) {
        const cplx dk = grazing_shift(eig_val(k) * (c * c / rules.k0sq), c, orders.k_unit);
        // Elsewhere than on process 0 the eigenvalues are not at hand.
        if (root && dk != cplx(0.0, 0.0)) {
            modes.gam(k) = linalg::gam_rule_a(eig_val(k) - rules.k0sq * dk, 0.0, g_unit);
            grazing.emplace_back(k, dk);
        }
        modes.gam(k) = modes.gam(k) / rules.k0;
    }

    linalg::matmult(n2, cplx(1.0, 0.0), modes.q_copy, eig_vr, modes.m_mat, info);

    // Column b of both mode matrices belongs to mode b.
    for (int b = 1; b <= (root ? n2 : 0); ++b) {
        const cplx g = cplx(0.0, -1.0) * modes.gam(b);
        for (int a = 1; a <= n2; ++a) {
            modes.p_mat(a, b) = g * eig_vr(a, b);
            modes.x_mat(a, b) = -modes.m_mat(a, b);
        }
    }
    // The second factor at the shifted k0^2 eps is Q + dk D with
    // D = i [[sn I, -I], [I, -sn I]] (q_copy holds Q / c): without it
    // two grazing layers in a row leave a zero row to invert.
    const double sn = std::sin(rules.grid_angle * linalg::deg_to_rad);
    for (const auto& [b, dk] : grazing) {
        const cplx f = cplx(0.0, 1.0) * dk / c;
        for (int a = 1; a <= n; ++a) {
            const cplx top = eig_vr(a, b), bot = eig_vr(n + a, b);
            modes.x_mat(a, b) -= f * (sn * top - bot);
            modes.x_mat(n + a, b) -= f * (top - sn * bot);
        }
    }
    return true;
}

}  // namespace rcwa::structure
