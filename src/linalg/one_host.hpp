// How the collective kernels run. When every process of the job is on one
// host, the kernels run on process 0 alone with LAPACK and BLAS, which get
// the threads of the whole job, while the other processes sleep until process
// 0 has finished each kernel: on one machine that is as fast as one process
// with threads, and nothing is copied between processes. Across several hosts
// (or with RCWA2D_SCALAPACK set) the kernels run on ScaLAPACK process grids.
// Internal to linalg.
#pragma once

namespace rcwa::linalg::one_host {

// Decided once, by every process together, at the first call (which must
// therefore be collective); the same answer on every process.
bool kernels_on_root();

// The end of a kernel in the one-host mode. Process 0, after computing: tells
// the others, with *status when given, and goes on at once. Every other
// process: sleeps (10 ms at a time, never spinning) until process 0 has
// finished this kernel, and then takes process 0's status into *status.
void kernel_done(int my_proc, int* status = nullptr);

// Before MPI ends: in the one-host mode every process sleeps until all have
// come here, so that none spins in MPI's own finalisation while process 0
// still works. Nothing otherwise.
void finish();

}  // namespace rcwa::linalg::one_host
