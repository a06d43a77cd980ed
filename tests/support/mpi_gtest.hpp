// A main for GoogleTest programs that run under mpirun: MPI is started
// through the kernels, every process runs every test, process 0 prints the
// usual report, the others print only their own failures (marked with their
// process number), and the exit status is non-zero on every process when any
// process failed.
#pragma once

namespace rcwa_test {

int run_mpi_gtest(int argc, char** argv);

// This process's number and the process count.
int my_proc();
int nprocs();

// Whether this process belongs to the collective kernels' calculation grid:
// the first nprow*npcol processes, nprow = int(sqrt(nprocs)) in single
// precision, npcol = nprocs / nprow (worked out here, not by the library).
bool in_calc_grid();

// Whether the collective kernels must run on process 0 alone: the test's
// processes all share one host, so they must unless RCWA2D_SCALAPACK is set
// to other than "" and "0" (read here from the environment, not asked of the
// library).
bool kernels_meant_on_root();

// True on every process when the condition holds on every process
// (collective).
bool all_processes(bool ok);

}  // namespace rcwa_test
