// Times the collective product and inverse (matmult, matinv) of order 882 and
// 1922 with the process count this program is started with, against zgemm
// and zgetrf+zgetrs called directly on process 0, and splits the collective
// time into grid set-up, the moves between process 0 and the grid (scatter
// and gather) and the distributed arithmetic. Run by hand (bench/run-kernels).
#include <mpi.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "linalg/dense.hpp"
#include "linalg/distributed.hpp"
#include "linalg/grid.hpp"
#include "linalg/lapack.hpp"
#include "parallel/processes.hpp"
#include "../tests/support/dense_check.hpp"

using namespace rcwa::linalg;
using rcwa_test::max_diff;

namespace {

int proc() {
    int me = 0;
    int count = 0;
    rcwa::parallel::process_info(me, count);
    return me;
}

int count() {
    int me = 0;
    int n = 0;
    rcwa::parallel::process_info(me, n);
    return n;
}

// The kernels print their console lines on process 0; keep them out of the
// figures.
class quiet_stdout {
public:
    quiet_stdout() {
        std::fflush(stdout);
        saved_ = dup(1);
        const int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        close(null_fd);
    }
    ~quiet_stdout() {
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
    }

private:
    int saved_ = -1;
};

full_mat random_full(int n, unsigned seed) {
    std::mt19937_64 gen(seed);
    return rcwa_test::random_full(gen, n, 2.0);
}

double now() { return MPI_Wtime(); }

// Best of reps, each timed between barriers on every process.
template <class F>
double best_time(int reps, F&& f) {
    double best = 1e300;
    for (int k = 0; k < reps; ++k) {
        MPI_Barrier(MPI_COMM_WORLD);
        const double t0 = now();
        f();
        MPI_Barrier(MPI_COMM_WORLD);
        best = std::min(best, now() - t0);
    }
    return best;
}

// The kernels' grids and descriptors, built with the kernels' own steps so
// that each phase can be timed apart.
struct grids {
    int line = -1, calc = -1, root = -1;
    void make(bool with_line) {
        const int sys = grid::system_context();
        if (with_line) line = grid::make_grid(sys, "Row-major", count(), 1);
        const grid::kernel_grids kernel(sys, count());
        calc = kernel.calc;
        root = kernel.root;
    }
    void free() {
        for (int g : {calc, root, line}) grid::free_grid(g);
        line = calc = root = -1;
    }
};

struct dist_mat {
    grid::desc_t desc0{};
    grid::desc_t desc{};
    std::vector<cplx> loc;
    int mp = 0, nb = 1;
    void setup(int n, const grids& g) {
        int info = 0;
        const grid::local_shape s(n, block_size(n), g.calc);
        nb = s.nb;
        mp = s.mp;
        grid::full_descriptor(desc0, n, proc(), g.root, info);
        grid::dist_descriptor(desc, n, s, g.calc, info);
        loc.assign(s.entries(), cplx());
    }
    void scatter(int n, const full_mat& a, int calc) { grid::redistribute(n, a.data(), desc0, loc.data(), desc, calc); }
    void gather(int n, full_mat& a, int calc) { grid::redistribute(n, loc.data(), desc, a.data(), desc0, calc); }
};

void report(const char* what, int n, double serial, double collective, double setup, double moves,
            double arithmetic) {
    if (proc() != 0) return;
    std::printf("%-8s n=%5d  serial %8.3f s  collective %8.3f s  ratio %6.2f  | grids %7.4f s  "
                "scatter+gather %7.3f s  arithmetic %8.3f s\n",
                what, n, serial, collective, collective / serial, setup, moves, arithmetic);
    std::fflush(stdout);
}

void bench_order(int n, int reps) {
    const full_mat a = random_full(n, 1u);
    const full_mat b = random_full(n, 2u);
    full_mat c(n);
    full_mat ref(n);
    const cplx one_c(1.0, 0.0);
    const cplx zero_c(0.0, 0.0);
    const int one = 1;

    // ---- product ----
    double serial = 0.0;
    if (proc() == 0) {
        serial = 1e300;
        for (int k = 0; k < reps; ++k) {
            const double t0 = now();
            zgemm_("N", "N", &n, &n, &n, &one_c, a.data(), &n, b.data(), &n, &zero_c, ref.data(), &n, 1, 1);
            serial = std::min(serial, now() - t0);
        }
    }
    int info = 0;
    const double coll = best_time(reps, [&] {
        quiet_stdout q;
        matmult(n, one_c, a, b, c, info);
    });
    if (proc() == 0 && max_diff(c, ref) > 1e-9 * n) std::printf("  matmult result differs from zgemm!\n");

    grids g;
    const double setup = best_time(reps, [&] {
        g.make(true);
        g.free();
    });
    g.make(true);
    double moves = 0.0;
    double arith = 0.0;
    if (g.calc >= 0) {
        dist_mat da, db, dc;
        da.setup(n, g);
        db.setup(n, g);
        dc.setup(n, g);
        moves = 1e300;
        arith = 1e300;
        for (int k = 0; k < reps; ++k) {
            Cblacs_barrier(g.calc, "a");
            double t0 = now();
            da.scatter(n, a, g.calc);
            db.scatter(n, b, g.calc);
            dc.gather(n, c, g.calc);
            Cblacs_barrier(g.calc, "a");
            moves = std::min(moves, now() - t0);
            t0 = now();
            pzgemm_("N", "N", &n, &n, &n, &one_c, da.loc.data(), &one, &one, da.desc.data(), db.loc.data(), &one,
                    &one, db.desc.data(), &zero_c, dc.loc.data(), &one, &one, dc.desc.data(), 1, 1);
            Cblacs_barrier(g.calc, "a");
            arith = std::min(arith, now() - t0);
        }
    }
    g.free();
    report("matmult", n, serial, coll, setup, moves, arith);

    // ---- inverse ----
    if (proc() == 0) {
        serial = 1e300;
        std::vector<int> piv(static_cast<std::size_t>(n));
        for (int k = 0; k < reps; ++k) {
            full_mat lu = a;
            full_mat e(n);
            for (int i = 1; i <= n; ++i) e(i, i) = 1.0;
            const double t0 = now();
            zgetrf_(&n, &n, lu.data(), &n, piv.data(), &info);
            zgetrs_("N", &n, &n, lu.data(), &n, piv.data(), e.data(), &n, &info, 1);
            serial = std::min(serial, now() - t0);
            ref = e;
        }
    }
    full_mat inv = a;
    double coll_inv = 1e300;
    for (int k = 0; k < reps; ++k) {
        inv = a;
        coll_inv = std::min(coll_inv, best_time(1, [&] {
                                quiet_stdout q;
                                matinv(1, n, inv);
                            }));
    }
    if (proc() == 0 && max_diff(inv, ref) > 1e-8) std::printf("  matinv result differs from zgetrf+zgetrs!\n");

    const double setup_inv = best_time(reps, [&] {
        g.make(false);
        g.free();
    });
    g.make(false);
    moves = 0.0;
    arith = 0.0;
    if (g.calc >= 0) {
        dist_mat da, db;
        da.setup(n, g);
        db.setup(n, g);
        std::vector<int> ipiv(static_cast<std::size_t>(da.mp + da.nb));
        full_mat ident(n);
        for (int i = 1; i <= n; ++i) ident(i, i) = 1.0;
        full_mat out(n);
        moves = 1e300;
        arith = 1e300;
        for (int k = 0; k < reps; ++k) {
            Cblacs_barrier(g.calc, "a");
            double t0 = now();
            da.scatter(n, a, g.calc);
            db.scatter(n, ident, g.calc);
            db.gather(n, out, g.calc);
            Cblacs_barrier(g.calc, "a");
            moves = std::min(moves, now() - t0);
            db.scatter(n, ident, g.calc);
            Cblacs_barrier(g.calc, "a");
            t0 = now();
            pzgetrf_(&n, &n, da.loc.data(), &one, &one, da.desc.data(), ipiv.data(), &info);
            pzgetrs_("N", &n, &n, da.loc.data(), &one, &one, da.desc.data(), ipiv.data(), db.loc.data(), &one,
                     &one, db.desc.data(), &info, 1);
            Cblacs_barrier(g.calc, "a");
            arith = std::min(arith, now() - t0);
        }
    }
    g.free();
    report("matinv", n, serial, coll_inv, setup_inv, moves, arith);
}

}  // namespace

int main(int argc, char** argv) {
    int my_proc = 0;
    int nprocs = 0;
    rcwa::parallel::process_info(my_proc, nprocs);
    int nprow = 1;
    int npcol = 1;
    grid_shape(nprocs, nprow, npcol);
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    if (my_proc == 0) {
        const char* threads = std::getenv("OPENBLAS_NUM_THREADS");
        std::printf("bench_kernels: %d cores, %d processes (grid %d x %d), OPENBLAS_NUM_THREADS=%s, best of %d\n",
                    static_cast<int>(std::thread::hardware_concurrency()), nprocs, nprow, npcol,
                    threads ? threads : "(unset)", reps);
        std::printf("serial = zgemm or zgetrf+zgetrs on process 0; collective = matmult or matinv; "
                    "ratio = collective / serial\n");
        std::fflush(stdout);
    }
    for (int n : {882, 1922}) bench_order(n, reps);
    rcwa::parallel::process_exit();
    return 0;
}
