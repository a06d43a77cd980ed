// The serial side of the eigen-decomposition of a grating layer's dense
// complex eigenproblem matrix: the propagation-constant rules, LAPACK solvers
// and the routines that reorder eigenpair lists. Eigenvalue lists are
// array1<cplx> (1-based, like every run array); column k of an eigenvector
// matrix belongs to eigenvalue k. A run calls gam_rule_a only; the rest stay
// built and tested.
#pragma once

#include "linalg/dense.hpp"

namespace rcwa::linalg {

// ---- propagation constants from eigenvalues ---------------------------------

// Rule A: g = i*sqrt(lambda + q_shift^2) with the principal root, negated when
// Re g < 0 and |Im g| < 1e-10 g_unit (g_unit: the scale of g, see
// linalg/constants).
cplx gam_rule_a(cplx eig_val, double q_shift, double g_unit = 1.0);

// Rule B: g = i*csqrt_sign(lambda + q_shift^2, -1); a g with both parts at or
// below 1e-10 in magnitude becomes (1e-10 in single precision, 0).
cplx gam_rule_b(cplx eig_val, double q_shift);

// ---- serial solvers (ZGEEVX; a is overwritten) -------------------------------

void eigen_geevx_bal(int n, full_mat& a, double q_shift, array1<cplx>& gam, array1<cplx>& eig_val,
                     full_mat& eig_vr);
void eigen_geevx(int n, full_mat& a, double q_shift, array1<cplx>& gam, array1<cplx>& eig_val,
                 full_mat& eig_vr);
void eigen_geevx_sort(int n, full_mat& a, array1<cplx>& eig_val, full_mat& eig_vr);

// res = a*eig_vr - eig_vr*diag(eig_val)
void eigen_residual(int n, const full_mat& a, const full_mat& eig_vr, const array1<cplx>& eig_val,
                    full_mat& res);

// ---- eigenpair ordering ---------------------------------------------------------

void eigen_sort(int n, array1<cplx>& eig_val, full_mat& eig_vr);
void eigen_sort2(int n, array1<cplx>& eig_val, full_mat& eig_vr);
void eigen_swap_halves(int n, array1<cplx>& eig_val, full_mat& eig_vr);
// New entry j is old entry perm(j).
void eigen_permute(int n, array1<cplx>& eig_val, full_mat& eig_vr, const array1<int>& perm);
void eigen_pair_order(int n, int n_cplx, int n_real, array1<cplx>& eig_val, full_mat& eig_vr);
void split_pairs(int n, const array1<double>& x, array1<double>& y, array1<int>& perm);
void eigen_sort_abs(int n, array1<cplx>& eig_val, array1<cplx>& val_tmp, full_mat& eig_vr,
                    array1<double>& mag, full_mat& vec_tmp);
void eigen_sort_re_im(int n, array1<cplx>& eig_val, array1<cplx>& val_tmp, full_mat& eig_vr,
                      array1<cplx>& gam, array1<cplx>& gam_tmp, full_mat& vec_tmp,
                      array1<double>& key);
// Stable ascending sort of x(1..m); perm(j) is the input position of sorted(j).
void sort_index(int m, const array1<double>& x, array1<double>& sorted, array1<int>& perm);

}  // namespace rcwa::linalg
