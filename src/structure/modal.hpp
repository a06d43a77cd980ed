// Half-spaces, homogeneous layers and the propagation of the reflection/
// transmission state through a layer's thickness.
#pragma once

#include "linalg/dense.hpp"

namespace rcwa::structure {

using linalg::array1;
using linalg::bd_mat;
using linalg::cplx;
using linalg::full_mat;

void halfspace_te_tm(int l, int norder, double grid_angle, const array1<int>& ord_i1,
                     const array1<int>& ord_i2, const array1<double>& ky_1d,
                     const array1<double>& kz_1d, full_mat& r_mat, full_mat& t_mat,
                     const array1<cplx>& kn_sub, cplx k_sub, double d_sub);

void oblique_basis(int l, int norder, double grid_angle, const array1<int>& ord_i1,
                   const array1<int>& ord_i2, const array1<double>& ky_1d,
                   const array1<double>& kz_1d, full_mat& r_mat, full_mat& t_mat);

void uniform_blocks(const array1<cplx>& kn, cplx k, full_mat& p, full_mat& q, full_mat& x,
                    full_mat& y, int norder);

void uniform_layer(int l, int norder, double grid_angle, cplx eps, const array1<int>& ord_i1,
                   const array1<int>& ord_i2, const array1<double>& ky_1d,
                   const array1<double>& kz_1d, double k0sq, full_mat& p, full_mat& q,
                   full_mat& x, full_mat& y);

void uniform_layer_bd(int l, int norder, double grid_angle, cplx eps, const array1<int>& ord_i1,
                      const array1<int>& ord_i2, const array1<double>& ky_1d,
                      const array1<double>& kz_1d, double k0sq, bd_mat& p_bd, bd_mat& q_bd,
                      bd_mat& x_bd, bd_mat& y_bd);

void kn_uniform(int l, int norder, double grid_angle, const array1<int>& ord_i1,
                const array1<int>& ord_i2, const array1<double>& ky_1d,
                const array1<double>& kz_1d, double k0sq, cplx eps, bd_mat& out);

void uniform_q_blocks(int l, int norder, double grid_angle, const array1<int>& ord_i1,
                      const array1<int>& ord_i2, const array1<double>& ky_1d,
                      const array1<double>& kz_1d, double k0sq, cplx eps, bd_mat& out);

void t_link(double d, const array1<cplx>& gam, full_mat& r_mat, full_mat& t_mat, int norder);
void t_link_bd(double d, const array1<cplx>& gam, full_mat& r_mat, full_mat& t_mat, int norder);

// ---- routines that no step of a run calls ----
void uniform_layer_alt(int norder, const array1<cplx>& kn, cplx eps, bd_mat& m1, bd_mat& m2,
                       bd_mat& m3, bd_mat& m4);
void eigen_branch(int norder, array1<int>& idx, array1<double>& im, array1<cplx>& z);

}  // namespace rcwa::structure
