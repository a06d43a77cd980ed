// The radix-2 FFT of the pixel-map and raster Fourier matrices.
#pragma once

#include "linalg/dense.hpp"

namespace rcwa::structure {

using linalg::array1;
using linalg::cplx;
using linalg::full_mat;

// x(1..n) replaced by X(k+1) = sum_j x(j+1) exp(i sign 2 pi j k / n); n a power
// of two; no scaling.
void fft_1d(int n, cplx* x, int sign);
void fft_1d(int n, array1<cplx>& x, int sign);
// Two-dimensional transform of the n by n matrix a, same sign in both directions.
void fft_2d(int n, full_mat& a, int sign);
void c_swap(cplx& a, cplx& b);

// ---- routines that no step of a run calls -------------------------------------------
// Half-swap, fft_1d, half-swap again.
void fft_1d_centred(int n, cplx* x, int sign);

}  // namespace rcwa::structure
