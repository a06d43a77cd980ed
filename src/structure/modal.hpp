// Half-spaces and homogeneous layers: the substrate's state and the mode
// blocks of a layer of one permittivity.
#pragma once

#include "linalg/dense.hpp"
#include "structure/orders.hpp"

namespace rcwa::structure {

using linalg::array1;
using linalg::bd_mat;
using linalg::cplx;
using linalg::full_mat;

// The substrate state, r_mat and t_mat 2N by 2N: zero but for the 2 by 2 block
// of each order o (rows and columns o, N + o), r = B S B^-1 with S = [[0,
// -k_sub/kap], [kap, 0]] and t = D B^-1 with D = diag(e, -e k_sub/kap), where
// kap = kn_sub(o), e = exp(i d_sub kap) and B the order's TE/TM basis on the
// lattice of grid_angle (degrees). k_sub is k0^2 eps of the substrate.
void halfspace_te_tm(const order_set& orders, double grid_angle, full_mat& r_mat, full_mat& t_mat,
                     const array1<cplx>& kn_sub, cplx k_sub, double d_sub);

// Takes the state (r_mat, t_mat), 2N by 2N, into the TE/TM bases of the
// orders: block (o, p) of r becomes B_o^-1 r B_p, that of t becomes t B_p.
void oblique_basis(const order_set& orders, double grid_angle, full_mat& r_mat, full_mat& t_mat);

void uniform_blocks(const array1<cplx>& kn, cplx k, full_mat& p, full_mat& q, full_mat& x,
                    full_mat& y, int norder);

// The mode blocks of a homogeneous layer of permittivity eps, 2N by 2N:
// p = q = diag(g, g) with g from kn_uniform, y the blocks of uniform_q_blocks
// written out, x = -y. All four are overwritten entirely.
void uniform_layer(const order_set& orders, double grid_angle, cplx eps, double k0sq, full_mat& p,
                   full_mat& q, full_mat& x, full_mat& y);

// The same four blocks in block-diagonal form, each resized to N.
void uniform_layer_bd(const order_set& orders, double grid_angle, cplx eps, double k0sq,
                      bd_mat& p_bd, bd_mat& q_bd, bd_mat& x_bd, bd_mat& y_bd);

// out (resized to N): columns 1 and 4 the normal wave vector g of every order in
// a medium of k0^2 eps = k0sq eps, g = csqrt_sign(grazing_floor(c^2 k0sq eps -
// kt^2), -1) in the oblique coordinates (c, s: cosine and sine of grid_angle).
void kn_uniform(const order_set& orders, double grid_angle, double k0sq, cplx eps, bd_mat& out);

// out (resized to N): per order i(s K - ky kz), i(kz^2 - K), i(K - ky^2) and
// -i(s K - ky kz), K = k0sq eps moved to the grazing floor of kn_uniform.
void uniform_q_blocks(const order_set& orders, double grid_angle, double k0sq, cplx eps,
                      bd_mat& out);

// ---- routines that no step of a run calls ----
void uniform_layer_alt(int norder, const array1<cplx>& kn, cplx eps, bd_mat& m1, bd_mat& m2,
                       bd_mat& m3, bd_mat& m4);
void eigen_branch(int norder, array1<int>& idx, array1<double>& im, array1<cplx>& z);

}  // namespace rcwa::structure
