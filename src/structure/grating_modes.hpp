// The modes of a grating layer from its four permittivity Fourier matrices:
// the factors P and Q of the eigenproblem (eigen_factors.hpp), the product
// M = P Q / c^2 (c = cos of the grid angle), its eigen-decomposition, and the
// mode matrices that the link steps join onto the stack.
#pragma once

#include "linalg/dense.hpp"
#include "structure/fourier.hpp"
#include "structure/orders.hpp"

namespace rcwa::structure {

using linalg::array1;
using linalg::cplx;
using linalg::full_mat;

// The wave, the lattice and the factorisation rule of a layer's eigenproblem.
struct modal_rules {
    double k0 = 0.0, k0sq = 0.0;  // free-space wave number and its square
    double grid_angle = 0.0;      // degrees
    bool li_rules = true;         // Li's rules, else the mixed rule of weight mix_weight
    double mix_weight = 0.0;
};

// The caller's storage of the modal step, reused from layer to layer: every
// matrix 2N by 2N, gam 2N. On return column b of p_mat and x_mat and gam(b)
// belong to mode b (the matrices on process 0 alone); q_mat, q_copy and m_mat
// are work.
struct mode_storage {
    full_mat& p_mat;
    full_mat& x_mat;
    array1<cplx>& gam;
    full_mat& q_mat;
    full_mat& q_copy;
    full_mat& m_mat;
};

// Collective: every process calls it for the same layer. eps is freed before
// the eigen-decomposition; root: this is process 0, where alone the
// eigenvectors are at hand. False, on process 0 alone, when M has an entry
// that is not a finite number (it is not handed to the library then) or the
// eigen-decomposition fails: the caller must end the whole job, since the
// other processes go on into the collective calls.
bool grating_modes(const order_set& orders, const modal_rules& rules, bool root, grating_eps eps,
                   const mode_storage& modes);

// Sets to exactly zero every entry of the n by n matrix m whose real and
// imaginary parts are both below 1e-9 k_unit^4 in magnitude (NaN parts
// stay); M = P Q is of the unit k^4.
void clear_tiny_entries(int n, full_mat& m, double k_unit);

}  // namespace rcwa::structure
