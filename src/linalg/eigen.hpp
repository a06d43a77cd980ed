// Eigen-decomposition of the dense complex eigenproblem matrix of a grating
// layer: the collective solver on a process grid, a collective variant with
// inverse iteration, serial LAPACK solvers, and the routines that reorder
// eigenpair lists. Eigenvalue lists are array1<cplx> (1-based, like every
// run array); column k of an eigenvector matrix belongs to eigenvalue k.
// A run calls gam_rule_a and eigen_dist only; the rest stay built and tested.
#pragma once

#include "linalg/dense.hpp"

namespace rcwa::linalg {

// ---- propagation constants from eigenvalues ---------------------------------

// Rule A: g = i*sqrt(lambda + q_shift^2) with the principal root, negated when
// Re g < 0 and |Im g| < 1e-10.
cplx gam_rule_a(cplx eig_val, double q_shift);

// Rule B: g = i*csqrt_sign(lambda + q_shift^2, -1); a g with both parts at or
// below 1e-10 in magnitude becomes (1e-10 in single precision, 0).
cplx gam_rule_b(cplx eig_val, double q_shift);

// ---- collective (every process calls them with the same n) -----------------

// Hessenberg reduction, distributed QR to Schur form, eigenvectors of the
// Schur form on process 0. a is read on process 0 only and never modified;
// eig_val, eig_vl, eig_vr are written on process 0 only; gam is formed on
// every process from its own eig_val (rule A). nb: block size (raised to 6
// when smaller, as the QR step needs). info: the status of the first failing
// library step, else 0; left alone outside the calculation grid. With one
// process, and in the one-host mode, the same steps run in LAPACK (multishift
// QR) on process 0's own matrices, and the eigenvalues may come in another
// order than on a grid; in the one-host mode every process gets process 0's
// info.
void eigen_dist(int n, int nb, double q_shift, const full_mat& a, array1<cplx>& eig_val,
                array1<cplx>& gam, full_mat& eig_vl, full_mat& eig_vr, int& info);

// Distributed Hessenberg reduction, right eigenvectors by inverse iteration on
// process 0 for the eigenvalues given in eig_val, distributed back-
// transformation. a is overwritten on process 0 by its Hessenberg form;
// gam by rule B on the processes of the calculation grid. Prints two timing
// lines on process 0.
void eigen_hsein(int n, full_mat& a, double q_shift, array1<cplx>& gam, array1<cplx>& eig_val,
                 full_mat& eig_vr);

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
