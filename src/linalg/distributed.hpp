// Collective dense kernels on a grid of processes (BLACS/ScaLAPACK). Every
// process calls each kernel in the same order with the same sizes; the full
// operands and results live on process 0 only.
#pragma once

#include <string>
#include <vector>

#include "linalg/dense.hpp"

namespace rcwa::linalg {

// BLACS_PINFO: this process's number and the process count (starts MPI on
// first use).
void process_info(int& my_proc, int& nprocs);

// BLACS_EXIT(0): ends MPI at the end of a run. In the one-host mode every
// process first sleeps until all have come here (process 0 until the end of a
// followed run has reached every follower).
void process_exit();

// True when the collective kernels run on process 0 alone with LAPACK and
// BLAS (every process on one host, RCWA2D_SCALAPACK not set; always with one
// process unless it is set), false when they run on ScaLAPACK grids. Decided
// by all processes together at the first call, which must be collective; it
// then gives process 0 the OpenBLAS threads of the whole host. Either way the
// kernels print the same lines and leave the same results on process 0.
bool kernels_on_root();

// A run on one host with more than one process is followed: the processes
// other than 0 take no part in it after its start and sleep until process 0
// ends it. Called by every process at the start of the run, after
// kernels_on_root; true for such a run (then process 0's kernels wait for
// nobody and send nothing).
bool start_followed_run();

// Process 0 at the end of a followed run: tells every follower the run's exit
// status and the console lines the follower prints. Never waits: the sends
// complete by process_exit.
void end_followed_run(int status, const std::vector<std::string>& lines);

// A follower of a run: sleeps (waking every 10 ms, never spinning) until
// process 0 ends the run, and takes its status and lines.
void follow_run(int& status, std::vector<std::string>& lines);

// Ends the whole job at once with this status (a stop that only process 0
// can meet must not leave the others waiting in a collective call).
[[noreturn]] void abort_job(int status);

// The calc grid's shape for a process count: nprow = int(sqrt(nprocs)),
// npcol = nprocs / nprow.
void grid_shape(int nprocs, int& nprow, int& npcol);

// Block size of the block-cyclic distribution for order n:
// min(16, int(sqrt(n)) + 1).
int block_size(int n);

// c = alpha * a * b on process 0; c may be a or b.
void matmult(int n, cplx alpha, const full_mat& a, const full_mat& b, full_mat& c, int& info);

// mode 1: process 0's a becomes its inverse.
void matinv(int mode, int n, full_mat& a, int& ierr);

}  // namespace rcwa::linalg
