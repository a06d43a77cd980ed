// Ends the job from its last process with the status given as the first
// argument while every other process waits inside a collective kernel that
// the last process never joins: the job must still end, with that status.
#include <cstdlib>

#include "linalg/dense.hpp"
#include "linalg/distributed.hpp"
#include "parallel/processes.hpp"

int main(int argc, char** argv) {
    using namespace rcwa::linalg;
    using namespace rcwa::parallel;
    const int status = argc > 1 ? std::atoi(argv[1]) : 95;
    int my_proc = 0;
    int nprocs = 0;
    process_info(my_proc, nprocs);
    if (my_proc == nprocs - 1) abort_job(status);
    full_mat a(4);
    full_mat c(4);
    int info = 0;
    matmult(4, cplx(1.0, 0.0), a, a, c, info);
    process_exit();
    return 0;  // not reached: matmult waits for the last process
}
