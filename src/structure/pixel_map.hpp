// The Fourier matrices of a layer given as an M by M grid of permittivities
// (pixel maps and rasters; the first grid index along the first lattice
// direction): [[eps]] by a 2D FFT, Li's rules by line-wise Toeplitz inverses.
// Directions and indexing as in fourier.hpp.
#pragma once

#include <vector>

#include "linalg/dense.hpp"
#include "structure/orders.hpp"

namespace rcwa::structure {

using linalg::array1;
using linalg::cplx;
using linalg::full_mat;

// out (N by N) = [[grid]] of the M by M grid (m = M), index differences
// wrapped onto the grid. The grid is unchanged on return (it is transformed in
// place and restored).
void eps_fourier_fft(full_mat& grid, int m, const order_set& orders, full_mat& out);

// out (N by N): inverse rule along the first direction, ordinary rule along
// the second, from M line-wise Toeplitz inverses of order nmax1d.
void grid_li_rows(const full_mat& grid, int m, const order_set& orders, full_mat& out);
// out (N by N): inverse rule along the second direction, ordinary rule along
// the first.
void grid_li_cols(const full_mat& grid, int m, const order_set& orders, full_mat& out);

// t (order n) = inverse of the Toeplitz matrix with entry (r,s) = c(((r-s) mod m)+1);
// c points at m values.
void toeplitz_inv(int m, int n, const cplx* c, full_mat& t);

// stack: n matrices of order m. 'F' copies entry (r,s) of matrix k into v(k),
// 'B' copies v(k) back, k = 1..n; any other letter does nothing.
void stack_line_fb(char direction, int n, int m, int r, int s, std::vector<full_mat>& stack,
                   cplx* v);

void mat_transpose(int n, full_mat& a);

// ---- routines that no step of a run calls -------------------------------------------
// n(1..2) refractive indices; cy(1..2P+1) holds the coefficients of index
// -P..P (cy(P+1+m) is index m), cz likewise for -Q..Q. out is inverted in
// place. Index differences beyond the tables count as zero coefficients.
void eps_matrix_separable(const array1<cplx>& n, const array1<cplx>& cy, const array1<cplx>& cz,
                          const order_set& orders, full_mat& out, int p, int q);

// r = a^2 A + b^2 B, then inverted in place.
void mat_mix_inv(int n, double a, double b, const full_mat& am, const full_mat& bm, full_mat& r);

}  // namespace rcwa::structure
