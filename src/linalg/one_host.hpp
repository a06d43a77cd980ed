// How the collective kernels run. When every process of the job is on one
// host, the kernels run on process 0 alone with LAPACK and BLAS, which get
// the threads of the whole job, while the other processes sleep until process
// 0 has finished each kernel: on one machine that is as fast as one process
// with threads, and nothing is copied between processes. In a run the others
// go further: once the run has started they follow process 0 (they take no
// part in the kernels and sleep until process 0 sends the end of the run).
// Across several hosts
// (or with RCWA2D_SCALAPACK set) the kernels run on ScaLAPACK process grids.
// Internal to linalg.
#pragma once

#include <string>
#include <vector>

namespace rcwa::linalg::one_host {

// Decided once, by every process together, at the first call (which must
// therefore be collective); the same answer on every process.
bool kernels_on_root();

// The end of a kernel in the one-host mode. Process 0, after computing: tells
// the others, with *status when given, and goes on at once. Every other
// process: sleeps (10 ms at a time, never spinning) until process 0 has
// finished this kernel, and then takes process 0's status into *status.
void kernel_done(int my_proc, int* status = nullptr);

// A run that the processes other than 0 follow (the one-host mode with more
// than one process; false otherwise): every process calls it at the start of
// the run, after kernels_on_root. On process 0 its kernels then send no
// notices, since nobody waits for them.
bool start_followed_run(int my_proc);

// Process 0 at the end of a followed run: sends every follower its status and
// the lines for the follower to print. Does not wait: finish completes it.
void send_end(int status, const std::vector<std::string>& lines);

// A follower: sleeps (10 ms at a time, never spinning) until process 0 sends
// the end of the run, and takes its status and lines.
void wait_for_end(int& status, std::vector<std::string>& lines);

// Before MPI ends: in the one-host mode every process sleeps until all have
// come here, so that none spins in MPI's own finalisation while process 0
// still works. Nothing otherwise.
void finish();

}  // namespace rcwa::linalg::one_host
