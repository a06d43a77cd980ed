// The two factors P and Q of a grating layer's eigenproblem. k0sq multiplies
// each Fourier matrix entry on its own before anything else touches it.
#include "structure/eigen_factors.hpp"

#include <cmath>

#include "linalg/constants.hpp"

namespace rcwa::structure {

namespace {

using linalg::cplx;
using linalg::deg_to_rad;
const cplx i_unit(0.0, 1.0);

}  // namespace

void eigen_matrix_eps(const order_set& orders, double k0sq, const full_mat& eps_conv,
                      double grid_angle, full_mat& p_mat) {
    const int n = orders.norder;
    const double s = std::sin(grid_angle * deg_to_rad);
    const double k = k0sq;
    for (int a = 1; a <= n; ++a) {
        const double kya = orders.ky(a);
        const double kza = orders.kz(a);
        for (int b = 1; b <= n; ++b) {
            const double kyb = orders.ky(b);
            const double kzb = orders.kz(b);
            const double d = a == b ? 1.0 : 0.0;
            const cplx e = eps_conv(a, b);
            p_mat(a, b) = i_unit * (kza * kyb * e - d * k * s);
            p_mat(a, n + b) = i_unit * (d * k - kza * kzb * e);
            p_mat(n + a, b) = i_unit * (kya * kyb * e - d * k);
            p_mat(n + a, n + b) = i_unit * (d * k * s - kya * kzb * e);
        }
    }
}

void eigen_matrix_li(const order_set& orders, double k0sq, const full_mat& eps_li_1,
                     const full_mat& eps_li_2, const full_mat& eps_inv_rule, double grid_angle,
                     full_mat& q_mat) {
    const int n = orders.norder;
    const double s = std::sin(grid_angle * deg_to_rad);
    const double c2 = 1.0 - s * s;
    const double s2 = s * s;
    for (int a = 1; a <= n; ++a) {
        const double kya = orders.ky(a);
        const double kza = orders.kz(a);
        for (int b = 1; b <= n; ++b) {
            const double d = a == b ? 1.0 : 0.0;
            const cplx v = k0sq * eps_inv_rule(a, b);
            const cplx diag = i_unit * (s * v - d * kya * kza);
            q_mat(a, b) = diag;
            q_mat(n + a, n + b) = -diag;
            q_mat(a, n + b) = i_unit * (d * kza * kza - c2 * (k0sq * eps_li_2(a, b)) - s2 * v);
            q_mat(n + a, b) = i_unit * (c2 * (k0sq * eps_li_1(a, b)) + s2 * v - d * kya * kya);
        }
    }
}

void eigen_matrix_mix(const order_set& orders, double k0sq, double mix_weight,
                      const full_mat& eps_li_1, const full_mat& eps_inv_rule, double grid_angle,
                      full_mat& q_mat) {
    const int n = orders.norder;
    const double s = std::sin(grid_angle * deg_to_rad);
    const double c2 = 1.0 - s * s;
    const double s2 = s * s;
    const double w = mix_weight;
    for (int a = 1; a <= n; ++a) {
        const double kya = orders.ky(a);
        const double kza = orders.kz(a);
        for (int b = 1; b <= n; ++b) {
            const double d = a == b ? 1.0 : 0.0;
            const cplx v = k0sq * eps_inv_rule(a, b);
            const cplx am = k0sq * eps_li_1(a, b);
            const cplx diag = i_unit * (s * v - d * kya * kza);
            q_mat(a, b) = diag;
            q_mat(n + a, n + b) = -diag;
            q_mat(a, n + b) = i_unit * (d * kza * kza - (w * c2 * (am - v) + v));
            q_mat(n + a, b) = i_unit * ((1.0 - w) * c2 * am + (w * c2 + s2) * v - d * kya * kya);
        }
    }
}

}  // namespace rcwa::structure
