// The two factors P and Q of a grating layer's eigenproblem M = P Q / c^2, in
// the oblique coordinates of the lattice (c, s: cosine and sine of the grid
// angle), from the layer's permittivity Fourier matrices (fourier.hpp) as
// they are built: every factor scales them by k0sq itself. Both factors are
// 2N by 2N; ky, kz are the wave vector of a row's order, ky', kz' of a
// column's, and every term without a Fourier matrix carries the Kronecker
// delta.
#pragma once

#include "linalg/dense.hpp"
#include "structure/orders.hpp"

namespace rcwa::structure {

using linalg::full_mat;

// p_mat = [[ i(kz ky' C - k0sq s), i(k0sq - kz kz' C) ], [ i(ky ky' C - k0sq),
// i(k0sq s - ky kz' C) ]] with C = eps_conv (N by N).
void eigen_matrix_eps(const order_set& orders, double k0sq, const full_mat& eps_conv,
                      double grid_angle, full_mat& p_mat);

// q_mat of the Li rules from the three N by N matrices: diagonal blocks
// +-i(s V - ky kz), off-diagonal i(kz^2 - c^2 B - s^2 V) and
// i(c^2 A + s^2 V - ky^2), with A = k0sq eps_li_1, B = k0sq eps_li_2,
// V = k0sq eps_inv_rule.
void eigen_matrix_li(const order_set& orders, double k0sq, const full_mat& eps_li_1,
                     const full_mat& eps_li_2, const full_mat& eps_inv_rule, double grid_angle,
                     full_mat& q_mat);

// q_mat of the mixed rule: eigen_matrix_li with B = w A + (1 - w) V and A
// replaced by (1 - w) A + w V, w = mix_weight.
void eigen_matrix_mix(const order_set& orders, double k0sq, double mix_weight,
                      const full_mat& eps_li_1, const full_mat& eps_inv_rule, double grid_angle,
                      full_mat& q_mat);

}  // namespace rcwa::structure
