// Times eigen_dist on random complex matrices with the process count the
// program is started with, against serial ZGEEVX (left and right vectors, no
// balancing) on process 0. Run by hand, e.g.
//   OPENBLAS_NUM_THREADS=1 mpirun -np 4 build/bench_eigen [orders...]
#include <mpi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "linalg/distributed.hpp"
#include "linalg/eigen_dist.hpp"
#include "linalg/lapack.hpp"
#include "parallel/processes.hpp"
#include "../tests/support/dense_check.hpp"

using namespace rcwa::linalg;

namespace {

full_mat random_full(int n, unsigned seed) {
    std::mt19937_64 gen(seed);
    return rcwa_test::random_full(gen, n);
}

// max over a few columns of |a*v - lambda*v|, relative to |a| and n
double sample_residual(const full_mat& a, const array1<cplx>& w, const full_mat& vr) {
    const int n = a.order();
    const double amax = rcwa_test::max_abs(a);
    double r = 0.0;
    for (int j = 1; j <= n; j += std::max(1, n / 7)) {
        for (int i = 1; i <= n; ++i) {
            cplx s = -vr(i, j) * w(j);
            for (int k = 1; k <= n; ++k) s += a(i, k) * vr(k, j);
            r = std::max(r, std::abs(s));
        }
    }
    return r / (amax * n);
}

double serial_zgeevx(const full_mat& a0) {
    full_mat a = a0;
    int n = a.order();
    const std::size_t nn = static_cast<std::size_t>(n);
    std::vector<cplx> w(nn);
    std::vector<cplx> vl(nn * nn);
    std::vector<cplx> vr(nn * nn);
    std::vector<double> scale(nn);
    std::vector<double> rce(nn);
    std::vector<double> rcv(nn);
    std::vector<double> rwork(2 * nn);
    int ilo = 0;
    int ihi = 0;
    double abnrm = 0.0;
    int info = 0;
    int lwork = -1;
    cplx cell;
    zgeevx_("N", "V", "V", "N", &n, a.data(), &n, w.data(), vl.data(), &n, vr.data(), &n, &ilo, &ihi,
            scale.data(), &abnrm, rce.data(), rcv.data(), &cell, &lwork, rwork.data(), &info, 1, 1, 1, 1);
    lwork = std::max(1, static_cast<int>(cell.real()));
    std::vector<cplx> work(static_cast<std::size_t>(lwork));
    const double t0 = MPI_Wtime();
    zgeevx_("N", "V", "V", "N", &n, a.data(), &n, w.data(), vl.data(), &n, vr.data(), &n, &ilo, &ihi,
            scale.data(), &abnrm, rce.data(), rcv.data(), work.data(), &lwork, rwork.data(), &info, 1, 1, 1, 1);
    return MPI_Wtime() - t0;
}

}  // namespace

int main(int argc, char** argv) {
    int my_proc = 0;
    int nprocs = 0;
    rcwa::parallel::process_info(my_proc, nprocs);  // starts MPI
    std::vector<int> orders;
    for (int i = 1; i < argc; ++i) orders.push_back(std::atoi(argv[i]));
    if (orders.empty()) orders = {882, 1922};

    for (int n : orders) {
        const full_mat a = random_full(n, 12345u + static_cast<unsigned>(n));
        array1<cplx> w(n);
        array1<cplx> gam(n);
        full_mat vl;  // empty: right vectors only, as a grating layer asks
        full_mat vr(n);
        int info = 0;
        MPI_Barrier(MPI_COMM_WORLD);
        const double t0 = MPI_Wtime();
        eigen_dist(n, 90, 0.0, a, w, gam, vl, vr, info);
        MPI_Barrier(MPI_COMM_WORLD);
        const double t_dist = MPI_Wtime() - t0;
        if (my_proc == 0) {
            const double t_serial = serial_zgeevx(a);
            std::printf("n=%5d  processes=%d  eigen_dist %8.2f s  (info %d, residual %.1e)  serial zgeevx %8.2f s\n",
                        n, nprocs, t_dist, info, sample_residual(a, w, vr), t_serial);
            std::fflush(stdout);
        }
        MPI_Barrier(MPI_COMM_WORLD);
    }
    rcwa::parallel::process_exit();
    return 0;
}
