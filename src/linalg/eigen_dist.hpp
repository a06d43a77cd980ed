// The collective eigen-decompositions of a grating layer's dense complex
// eigenproblem matrix: every process calls them with the same n. Eigenvalue
// lists are array1<cplx>; column k of an eigenvector matrix belongs to
// eigenvalue k. A run calls eigen_dist only; eigen_hsein stays built and
// tested.
#pragma once

#include "linalg/dense.hpp"

namespace rcwa::linalg {

// Hessenberg reduction, distributed QR to Schur form, eigenvectors of the
// Schur form on process 0. a is read on process 0 only and never modified;
// eig_val, eig_vr and eig_vl are written on process 0 only, eig_vl only if it
// is not empty there (order 0: left vectors not wanted, not computed); gam is
// formed on every process from its own eig_val (rule A, g_unit the scale of
// g). nb: block size
// (raised to 6 when smaller, as the QR step needs). info: the status of the
// first failing library step, else 0; left alone outside the calculation
// grid. With one process, and in the one-host mode, the same steps run in
// LAPACK (multishift QR) on process 0's own matrices, and the eigenvalues may
// come in another order than on a grid; in the one-host mode every process
// gets process 0's info.
void eigen_dist(int n, int nb, double q_shift, const full_mat& a, array1<cplx>& eig_val,
                array1<cplx>& gam, full_mat& eig_vl, full_mat& eig_vr, int& info,
                double g_unit = 1.0);

// Distributed Hessenberg reduction, right eigenvectors by inverse iteration on
// process 0 for the eigenvalues given in eig_val, distributed back-
// transformation. a is overwritten on process 0 by its Hessenberg form;
// gam by rule B on the processes of the calculation grid. Prints two timing
// lines on process 0.
void eigen_hsein(int n, full_mat& a, double q_shift, array1<cplx>& gam, array1<cplx>& eig_val,
                 full_mat& eig_vr);

}  // namespace rcwa::linalg
