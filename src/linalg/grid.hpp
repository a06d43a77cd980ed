// The BLACS grid and descriptor steps shared by the collective kernels and
// eigen-decompositions: grids from a copy of the system context, the full
// matrix on process 0 as one block on a 1 by 1 grid, its block-cyclic share
// on the calculation grid, and PZGEMR2D between the two. Internal to linalg.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "linalg/dense.hpp"

namespace rcwa::linalg::grid {

using desc_t = std::array<int, 9>;

// BLACS_PINFO, falling back to BLACS_SETUP with 4 processes when no process
// count is known yet. MPI is started by the processes layer, never by BLACS,
// and BLACS is released as MPI ends.
void process_info_setup(int& my_proc, int& nprocs);

// The BLACS system context (BLACS started as by process_info_setup).
int system_context();

// A grid created from a copy of the system context; negative on a process
// that is not part of it.
int make_grid(int system_ctxt, const char* order, int nprow, int npcol);

// Frees a grid this process belongs to; does nothing for a negative context.
void free_grid(int ctxt);

// The grids of one collective call, after the optional line grid: the
// calculation grid (nprow by npcol from grid_shape, row-major), then the 1 by
// 1 grid of process 0's full matrices. Either context is negative on a
// process outside that grid.
struct kernel_grids {
    int nprow = 1;
    int npcol = 1;
    int calc = -1;
    int root = -1;

    kernel_grids(int system_ctxt, int nprocs);
    // Frees the calculation grid, then the root grid.
    void free() const;
};

// Descriptor of an n by n matrix held by process 0 alone, as one n by n block
// on root_grid; every other process only sets the context entry, to -1.
void full_descriptor(desc_t& desc, int n, int my_proc, int root_grid, int& info);

// This process's share of an n by n matrix distributed block-cyclically in
// nb by nb blocks on calc_grid (which this process belongs to).
struct local_shape {
    int nprow = 1;
    int npcol = 1;
    int my_row = 0;
    int my_col = 0;
    int nb = 1;
    int mp = 0;
    int nq = 0;
    int lld = 1;

    local_shape(int n, int block, int calc_grid);

    // At least one entry, so that the libraries always get a valid address.
    std::size_t entries() const {
        return std::max<std::size_t>(1, static_cast<std::size_t>(lld) * static_cast<std::size_t>(nq));
    }
    int global_row(int i) const;
    int global_col(int j) const;
    // Local entry (i, j), 1-based.
    cplx& at(std::vector<cplx>& loc, int i, int j) const {
        return loc[static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(lld) + static_cast<std::size_t>(i - 1)];
    }
};

// Descriptor of the distributed share s on calc_grid.
void dist_descriptor(desc_t& desc, int n, const local_shape& s, int calc_grid, int& info);

// Scatter from (or gather to) process 0; every process of calc_grid takes part.
void redistribute(int n, const cplx* from, const desc_t& desc_from, cplx* to, const desc_t& desc_to,
                  int calc_grid);

}  // namespace rcwa::linalg::grid
