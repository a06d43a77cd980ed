// matmult and matinv: ScaLAPACK on an nprow by npcol grid, the full matrices
// on process 0 described on a 1 by 1 grid, and PZGEMR2D moving them between
// the two. Every call builds its grids and frees them again. On a 1 by 1
// grid (one process) the grids are still built and freed, but the arithmetic
// runs in BLAS and LAPACK on process 0's own matrices: the copies would be
// pure overhead there. In the one-host mode no grid is built: process 0
// computes as with one process while the others sleep (parallel/processes.hpp).
#include "linalg/distributed.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "linalg/grid.hpp"
#include "linalg/lapack.hpp"
#include "linalg/timing.hpp"
#include "parallel/processes.hpp"
#include "platform/platform.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::linalg {

using namespace grid;

namespace {

// c = alpha*a*b on the only process, straight from its full matrices. c may
// be a or b: then the product goes to a temporary first.
void single_product(int n, cplx alpha, const full_mat& a, const full_mat& b, full_mat& c) {
    const int ld = std::max(1, n);
    const cplx beta(0.0, 0.0);
    if (c.data() != a.data() && c.data() != b.data()) {
        zgemm_("N", "N", &n, &n, &n, &alpha, a.data(), &ld, b.data(), &ld, &beta, c.data(), &ld, 1, 1);
        return;
    }
    std::vector<cplx> product(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    zgemm_("N", "N", &n, &n, &n, &alpha, a.data(), &ld, b.data(), &ld, &beta, product.data(), &ld, 1, 1);
    std::copy(product.begin(), product.end(), c.data());
}

// rhs = a^-1 * rhs on the only process; a is left holding its LU factors. As
// on the grid, the statuses are not acted upon.
void single_solve(int n, full_mat& a, std::vector<cplx>& rhs) {
    const int ld = std::max(1, n);
    std::vector<int> ipiv(static_cast<std::size_t>(ld));
    int status = 0;
    zgetrf_(&n, &n, a.data(), &ld, ipiv.data(), &status);
    zgetrs_("N", &n, &n, a.data(), &ld, ipiv.data(), rhs.data(), &ld, &status, 1);
}

// The right-hand sides of matinv in an n by n matrix: the identity for mode
// 1, zero otherwise.
void set_rhs(int n, int mode, cplx* x) {
    const std::size_t nn = static_cast<std::size_t>(n);
    std::fill(x, x + nn * nn, cplx(0.0, 0.0));
    if (mode == 1)
        for (std::size_t i = 0; i < nn; ++i) x[i * nn + i] = cplx(1.0, 0.0);
}

// The grid-shape line of matmult, on process 0; returns the grid's size.
int print_grid_shape(int my_proc, int nprocs) {
    int nprow = 1;
    int npcol = 1;
    grid_shape(nprocs, nprow, npcol);
    if (my_proc == 0) {
        textio::free_line line;
        line << nprow << npcol;
        platform::console_line(line.str());
    }
    return nprow * npcol;
}

}  // namespace

void grid_shape(int nprocs, int& nprow, int& npcol) {
    // nprow = int(sqrt(nprocs)), npcol = nprocs / nprow. The root is taken in
    // single precision, like the block size's; below 16785407 processes it
    // truncates as the exact root does.
    nprow = static_cast<int>(std::sqrt(static_cast<float>(nprocs)));
    if (nprow < 1) nprow = 1;
    npcol = nprocs / nprow;
}

int block_size(int n) {
    // The root in single precision: below order 225, where the cap of 16 is
    // not reached, it truncates as the exact root does.
    const int nb = static_cast<int>(std::sqrt(static_cast<float>(n))) + 1;
    return std::min(16, nb);
}

void matmult(int n, cplx alpha, const full_mat& a, const full_mat& b, full_mat& c, int& info) {
    info = 0;
    int my_proc = 0;
    int nprocs = 0;
    parallel::process_info(my_proc, nprocs);
    const bool on_root = parallel::kernels_on_root();
    time_stamp start{};
    if (my_proc == 0) start = take_stamp();

    if (on_root) {
        const int grid_size = print_grid_shape(my_proc, nprocs);
        if (my_proc == 0) single_product(n, alpha, a, b, c);
        if (my_proc >= grid_size) info = -1;
        parallel::kernel_done(my_proc);
        if (my_proc == 0) platform::console_line(timing_line_since("TIME matmult: ", start));
        return;
    }

    const int sys_ctxt = system_context();

    // Created first and never used, so every kernel call builds the same
    // sequence of grids on every process.
    const int line_grid = make_grid(sys_ctxt, "Row-major", nprocs, 1);
    const int grid_size = print_grid_shape(my_proc, nprocs);

    const kernel_grids grids(sys_ctxt, nprocs);
    const int calc_grid = grids.calc;
    const int root_grid = grids.root;

    if (calc_grid < 0) {
        info = -1;
    } else {
        const local_shape s(n, block_size(n), calc_grid);

        desc_t desc_a0{};
        desc_t desc_b0{};
        desc_t desc_c0{};
        full_descriptor(desc_a0, n, my_proc, root_grid, info);
        full_descriptor(desc_b0, n, my_proc, root_grid, info);
        full_descriptor(desc_c0, n, my_proc, root_grid, info);
        desc_t desc_a{};
        desc_t desc_b{};
        desc_t desc_c{};
        dist_descriptor(desc_a, n, s, calc_grid, info);
        dist_descriptor(desc_b, n, s, calc_grid, info);
        dist_descriptor(desc_c, n, s, calc_grid, info);

        if (grid_size == 1) {
            // One process: the grid would only copy the operands to and fro.
            single_product(n, alpha, a, b, c);
        } else {
            std::vector<cplx> a_loc(s.entries());
            std::vector<cplx> b_loc(s.entries());
            std::vector<cplx> c_loc(s.entries());

            // Both operands leave process 0 before c is written, so c may be a or b.
            redistribute(n, a.data(), desc_a0, a_loc.data(), desc_a, calc_grid);
            redistribute(n, b.data(), desc_b0, b_loc.data(), desc_b, calc_grid);

            const int one = 1;
            const cplx beta(0.0, 0.0);
            pzgemm_("N", "N", &n, &n, &n, &alpha, a_loc.data(), &one, &one, desc_a.data(), b_loc.data(), &one,
                    &one, desc_b.data(), &beta, c_loc.data(), &one, &one, desc_c.data(), 1, 1);

            redistribute(n, c_loc.data(), desc_c, c.data(), desc_c0, calc_grid);
        }
        Cblacs_barrier(calc_grid, "a");
    }

    if (my_proc == 0) platform::console_line(timing_line_since("TIME matmult: ", start));

    grids.free();
    free_grid(line_grid);
}

void matinv(int mode, int n, full_mat& a) {
    int my_proc = 0;
    int nprocs = 0;
    process_info_setup(my_proc, nprocs);
    const bool on_root = parallel::kernels_on_root();
    time_stamp start{};
    if (my_proc == 0) start = take_stamp();
    n = std::max(0, n);

    // The right-hand sides, then the result: a full matrix on process 0
    // alone, whose a the result replaces. The other processes of the grid
    // end with the right-hand sides in a (where they hold an n by n a).
    std::vector<cplx> ident(my_proc == 0 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n) : 1);
    if (my_proc == 0) set_rhs(n, mode, ident.data());
    auto finish_grid_process = [&]() {
        if (my_proc == 0) std::copy(ident.begin(), ident.end(), a.data());
        else if (a.order() == n) set_rhs(n, mode, a.data());
    };

    if (on_root) {
        int nprow = 1;
        int npcol = 1;
        grid_shape(nprocs, nprow, npcol);
        if (my_proc == 0) single_solve(n, a, ident);
        if (my_proc < nprow * npcol) finish_grid_process();
        parallel::kernel_done(my_proc);
        if (my_proc == 0) platform::console_line(timing_line_since("TIME matinv: ", start));
        return;
    }

    const int sys_ctxt = system_context();
    const kernel_grids grids(sys_ctxt, nprocs);
    const int calc_grid = grids.calc;
    const int root_grid = grids.root;

    if (calc_grid >= 0) {
        int status = 0;  // the library statuses are not acted upon
        const local_shape s(n, block_size(n), calc_grid);

        desc_t desc_a0{};
        desc_t desc_b0{};
        full_descriptor(desc_a0, n, my_proc, root_grid, status);
        full_descriptor(desc_b0, n, my_proc, root_grid, status);
        desc_t desc_a{};
        desc_t desc_b{};
        dist_descriptor(desc_a, n, s, calc_grid, status);
        dist_descriptor(desc_b, n, s, calc_grid, status);

        if (grids.nprow * grids.npcol == 1) {
            // One process: factorise a where it lies (it is overwritten by
            // the solution anyway) and solve for all right-hand sides.
            single_solve(n, a, ident);
        } else {
            std::vector<cplx> a_loc(s.entries());
            std::vector<cplx> b_loc(s.entries());
            std::vector<int> ipiv(static_cast<std::size_t>(s.mp + s.nb));

            redistribute(n, a.data(), desc_a0, a_loc.data(), desc_a, calc_grid);
            redistribute(n, ident.data(), desc_b0, b_loc.data(), desc_b, calc_grid);

            const int one = 1;
            pzgetrf_(&n, &n, a_loc.data(), &one, &one, desc_a.data(), ipiv.data(), &status);
            pzgetrs_("N", &n, &n, a_loc.data(), &one, &one, desc_a.data(), ipiv.data(), b_loc.data(), &one,
                     &one, desc_b.data(), &status, 1);

            redistribute(n, b_loc.data(), desc_b, ident.data(), desc_b0, calc_grid);
        }
        finish_grid_process();
    }

    if (my_proc == 0) platform::console_line(timing_line_since("TIME matinv: ", start));

    grids.free();
}

}  // namespace rcwa::linalg
