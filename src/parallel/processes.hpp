// The job's processes: MPI's start and end, the path the collective kernels
// take and the threads that go with it, the followed run, and ending the
// whole job. When every process of the job is on one host, the kernels run on
// process 0 alone with LAPACK and BLAS, which get the threads of the whole
// job, while the other processes sleep until process 0 has finished each
// kernel: on one machine that is as fast as one process with threads, and
// nothing is copied between processes. In a run the others go further: once
// the run has started they follow process 0 (they take no part in the kernels
// and sleep until process 0 sends the end of the run). Across several hosts
// (or with RCWA2D_SCALAPACK set) the kernels run on ScaLAPACK process grids.
#pragma once

#include <string>
#include <vector>

namespace rcwa::parallel {

// This process's number and the process count (starts MPI on first use).
void process_info(int& my_proc, int& nprocs);

// True on process 0, which alone holds the full matrices of the kernels.
bool process_zero();

// Ends MPI at the end of a run. In the one-host mode every process first
// sleeps until all have come here (process 0 until the end of a followed run
// has reached every follower), so that none spins in MPI's own finalisation
// while process 0 still works.
void process_exit();

// True when the collective kernels run on process 0 alone with LAPACK and
// BLAS (every process on one host, RCWA2D_SCALAPACK not set; always with one
// process unless it is set), false when they run on ScaLAPACK grids. Decided
// by all processes together at the first call, which must be collective; it
// then gives process 0 the OpenBLAS threads of the whole host. Either way the
// kernels print the same lines and leave the same results on process 0.
bool kernels_on_root();

// The end of a kernel in the one-host mode (nothing otherwise). Process 0,
// after computing: tells the others, with *status when given, and goes on at
// once. Every other process: sleeps (10 ms at a time, never spinning) until
// process 0 has finished this kernel, and then takes process 0's status into
// *status.
void kernel_done(int my_proc, int* status = nullptr);

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

}  // namespace rcwa::parallel
