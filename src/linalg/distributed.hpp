// Collective dense kernels on a grid of processes (BLACS/ScaLAPACK). Every
// process calls each kernel in the same order with the same sizes; the full
// operands and results live on process 0 only. Which path they take (process
// 0 alone on one host, or ScaLAPACK grids) is parallel::kernels_on_root's.
#pragma once

#include "linalg/dense.hpp"

namespace rcwa::linalg {

// The calc grid's shape for a process count: nprow = int(sqrt(nprocs)),
// npcol = nprocs / nprow.
void grid_shape(int nprocs, int& nprow, int& npcol);

// Block size of the block-cyclic distribution for order n:
// min(16, int(sqrt(n)) + 1).
int block_size(int n);

// c = alpha * a * b on process 0; c may be a or b.
void matmult(int n, cplx alpha, const full_mat& a, const full_mat& b, full_mat& c, int& info);

// mode 1: process 0's a becomes its inverse.
void matinv(int mode, int n, full_mat& a);

}  // namespace rcwa::linalg
