// The collective product and inverse, and the full-form link steps built on
// them, under every process count: process 0's results against serial LAPACK,
// what the other processes keep, the console lines of each kernel, and the
// grids each kernel builds and frees.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "linalg/dense.hpp"
#include "linalg/distributed.hpp"
#include "linalg/eigen_dist.hpp"
#include "linalg/lapack.hpp"
#include "linalg/link.hpp"
#include "support/dense_check.hpp"
#include "support/mpi_gtest.hpp"
#include "support/stdout_capture.hpp"

using namespace rcwa::linalg;
using rcwa_test::my_proc;
using rcwa_test::identity;
using rcwa_test::in_calc_grid;
using rcwa_test::kernels_meant_on_root;
using rcwa_test::lapack_inverse;
using rcwa_test::lin;
using rcwa_test::max_abs;
using rcwa_test::max_diff;
using rcwa_test::nprocs;
using rcwa_test::same;
using rcwa_test::stdout_capture;
using rcwa_test::zgemm_product;

namespace {

const int orders[] = {1, 2, 17, 224, 225, 300};

// Process 0 draws the operands; every other process fills its matrices with
// other numbers, which must neither be used nor changed.
full_mat random_full(int n, unsigned seed, double diag_boost = 0.0) {
    std::mt19937_64 gen(seed + 7919u * static_cast<unsigned>(my_proc()));
    return rcwa_test::random_full(gen, n, diag_boost);
}

struct line_counts {
    int grid = 0;
    int matmult = 0;
    int matinv = 0;
    int other = 0;
};

line_counts count_lines(const std::vector<std::string>& lines) {
    static const std::regex mm("TIME matmult: [ 0-9]{3} minutes[ 0-9]{4}\\.[ 0-9]{3} seconds");
    static const std::regex mi("TIME matinv: [ 0-9]{3} minutes[ 0-9]{4}\\.[ 0-9]{3} seconds");
    int nprow = 0;
    int npcol = 0;
    grid_shape(nprocs(), nprow, npcol);
    line_counts c;
    for (const auto& line : lines) {
        std::istringstream in(line);
        int r = 0;
        int k = 0;
        std::string rest;
        if (std::regex_match(line, mm)) {
            ++c.matmult;
        } else if (std::regex_match(line, mi)) {
            ++c.matinv;
        } else if ((in >> r >> k) && !(in >> rest) && r == nprow && k == npcol) {
            ++c.grid;
        } else {
            ++c.other;
        }
    }
    return c;
}

// Every BLACS grid creation and free of this process while a log is open:
// the library's entry points are wrapped below.
struct grid_event {
    bool init = false;  // gridinit, else gridexit
    std::string order;
    int nprow = 0;
    int npcol = 0;
    int ctxt = -1;
};

std::vector<grid_event>*& open_grid_log() {
    static std::vector<grid_event>* log = nullptr;
    return log;
}

class grid_log {
public:
    grid_log() { open_grid_log() = &events_; }
    ~grid_log() { open_grid_log() = nullptr; }
    std::vector<grid_event> finish() {
        open_grid_log() = nullptr;
        return events_;
    }

private:
    std::vector<grid_event> events_;
};

template <class F>
F real_entry(const char* name) {
    void* p = dlsym(RTLD_NEXT, name);
    if (p == nullptr) std::abort();
    return reinterpret_cast<F>(p);
}

struct grid_spec {
    const char* order;
    int nprow;
    int npcol;
    bool member;  // whether this process belongs to the grid
};

// A kernel must create exactly these grids in this order, each with a valid
// context on its members only, and free the valid ones once each in the order
// given by free_order (indices into want). The redistribution routine builds and frees contexts of its own
// (through another entry point) while the kernel's are alive; their frees are
// left out by context number.
void expect_grids(const std::vector<grid_event>& got, const std::vector<grid_spec>& want,
                  const std::vector<std::size_t>& free_order, const char* what) {
    std::vector<int> made;
    std::vector<int> freed;
    for (const grid_event& e : got) {
        if (e.init) {
            made.push_back(e.ctxt);
            const std::size_t k = made.size() - 1;
            ASSERT_LT(k, want.size()) << what << ": more grids than expected";
            EXPECT_EQ(e.order, want[k].order) << what << ", grid " << k;
            EXPECT_EQ(e.nprow, want[k].nprow) << what << ", grid " << k;
            EXPECT_EQ(e.npcol, want[k].npcol) << what << ", grid " << k;
            EXPECT_EQ(e.ctxt >= 0, want[k].member) << what << ", grid " << k << ", context " << e.ctxt;
        } else if (std::find(made.begin(), made.end(), e.ctxt) != made.end() &&
                   std::find(freed.begin(), freed.end(), e.ctxt) == freed.end()) {
            freed.push_back(e.ctxt);
        }
    }
    ASSERT_EQ(made.size(), want.size()) << what;
    std::vector<int> valid;
    for (std::size_t k : free_order)
        if (made[k] >= 0) valid.push_back(made[k]);
    EXPECT_EQ(freed, valid) << what << ": the valid grids are not freed once each, in the expected order";
}

}  // namespace

extern "C" void Cblacs_gridinit(int* icontxt, const char* order, int nprow, int npcol) {
    using fn = void (*)(int*, const char*, int, int);
    static const fn real = real_entry<fn>("Cblacs_gridinit");
    real(icontxt, order, nprow, npcol);
    if (auto* log = open_grid_log()) log->push_back({true, order, nprow, npcol, *icontxt});
}

extern "C" void Cblacs_gridexit(int icontxt) {
    using fn = void (*)(int);
    static const fn real = real_entry<fn>("Cblacs_gridexit");
    if (auto* log = open_grid_log()) log->push_back({false, "", 0, 0, icontxt});
    real(icontxt);
}

TEST(Grid, EveryKernelBuildsAndFreesItsGridsInOrder) {
    // Created line (not in matinv), calc, root; freed calc, root, line: the
    // same whether the kernels compute on the grid or, with one process,
    // directly on process 0's matrices. In the one-host mode: no grid.
    int nprow = 0;
    int npcol = 0;
    grid_shape(nprocs(), nprow, npcol);
    const bool none = kernels_meant_on_root();
    const grid_spec line{"Row-major", nprocs(), 1, true};
    const grid_spec calc{"Row-major", nprow, npcol, in_calc_grid()};
    const grid_spec root{"R", 1, 1, my_proc() == 0};
    using specs = std::vector<grid_spec>;
    using order = std::vector<std::size_t>;
    for (int n : {30, 120}) {
        const full_mat a = random_full(n, 61u, 2.0);
        full_mat c(n);
        int info = 0;
        {
            grid_log log;
            stdout_capture quiet;
            matmult(n, 1.0, a, a, c, info);
            quiet.finish();
            expect_grids(log.finish(), none ? specs{} : specs{line, calc, root}, none ? order{} : order{1, 2, 0},
                         "matmult");
        }
        {
            grid_log log;
            stdout_capture quiet;
            matinv(1, n, c);
            quiet.finish();
            expect_grids(log.finish(), none ? specs{} : specs{calc, root}, none ? order{} : order{0, 1}, "matinv");
        }
        {
            array1<cplx> w(n);
            array1<cplx> gam(n);
            full_mat vl(n);
            full_mat vr(n);
            grid_log log;
            eigen_dist(n, 90, 0.0, a, w, gam, vl, vr, info);
            expect_grids(log.finish(), none ? specs{} : specs{line, calc, root}, none ? order{} : order{1, 2, 0},
                         "eigen_dist");
        }
    }
}

TEST(Grid, ShapeAndBlockSize) {
    const int expect[][3] = {{1, 1, 1}, {2, 1, 2}, {3, 1, 3}, {4, 2, 2}, {5, 2, 2},  {6, 2, 3},
                             {8, 2, 4}, {9, 3, 3}, {15, 3, 5}, {16, 4, 4}, {17, 4, 4}};
    for (const auto& e : expect) {
        int nprow = 0;
        int npcol = 0;
        grid_shape(e[0], nprow, npcol);
        EXPECT_EQ(nprow, e[1]) << e[0];
        EXPECT_EQ(npcol, e[2]) << e[0];
    }
    EXPECT_EQ(block_size(1), 2);
    EXPECT_EQ(block_size(3), 2);
    EXPECT_EQ(block_size(4), 3);
    EXPECT_EQ(block_size(224), 15);
    EXPECT_EQ(block_size(225), 16);
    EXPECT_EQ(block_size(300), 16);
    EXPECT_EQ(block_size(100000), 16);
}

TEST(MatMult, AgreesWithSerialProduct) {
    const cplx alpha(0.75, -1.25);
    for (int n : orders) {
        const full_mat a = random_full(n, 11u + static_cast<unsigned>(n));
        const full_mat b = random_full(n, 23u + static_cast<unsigned>(n));
        const full_mat c0 = random_full(n, 37u + static_cast<unsigned>(n));
        full_mat c = c0;
        int info = 99;
        matmult(n, alpha, a, b, c, info);
        EXPECT_EQ(info, in_calc_grid() ? 0 : -1) << "n=" << n;
        if (my_proc() == 0) {
            const full_mat ref = zgemm_product(alpha, a, b);
            EXPECT_LT(max_diff(c, ref), 1e-14 * n * max_abs(ref) + 1e-300) << "n=" << n;
        } else {
            EXPECT_TRUE(same(c, c0)) << "n=" << n << ": c changed off process 0";
        }
    }
}

TEST(MatMult, ResultMayBeAnOperand) {
    const cplx alpha(1.0, 0.0);
    for (int n : {17, 225}) {
        const full_mat a0 = random_full(n, 101u);
        const full_mat b0 = random_full(n, 202u);
        const full_mat ref = zgemm_product(alpha, a0, b0);
        const full_mat sq = zgemm_product(alpha, a0, a0);
        full_mat a = a0;
        full_mat b = b0;
        int info = 0;
        matmult(n, alpha, a, b, a, info);  // c is a
        matmult(n, alpha, a0, b, b, info);  // c is b
        full_mat s = a0;
        matmult(n, alpha, s, s, s, info);  // all three
        if (my_proc() == 0) {
            EXPECT_LT(max_diff(a, ref), 1e-13 * n);
            EXPECT_LT(max_diff(b, ref), 1e-13 * n);
            EXPECT_LT(max_diff(s, sq), 1e-13 * n);
        } else {
            EXPECT_TRUE(same(a, a0));
            EXPECT_TRUE(same(b, b0));
            EXPECT_TRUE(same(s, a0));
        }
    }
}

TEST(MatInv, AgreesWithSerialInverse) {
    for (int n : orders) {
        const full_mat a0 = random_full(n, 55u + static_cast<unsigned>(n), 2.0);
        full_mat a = a0;
        matinv(1, n, a);
        if (my_proc() == 0) {
            const full_mat ref = lapack_inverse(a0);
            EXPECT_LT(max_diff(a, ref), 1e-11 * max_abs(ref)) << "n=" << n;
            EXPECT_LT(max_diff(zgemm_product(1.0, a0, a), identity(n)), 1e-10) << "n=" << n;
        } else if (in_calc_grid()) {
            EXPECT_TRUE(same(a, identity(n))) << "n=" << n << ": not the identity on a grid process";
        } else {
            EXPECT_TRUE(same(a, a0)) << "n=" << n << ": a changed outside the grid";
        }
    }
}

TEST(MatInv, OtherModeGivesZero) {
    const int n = 20;
    const full_mat a0 = random_full(n, 77u, 2.0);
    full_mat a = a0;
    matinv(2, n, a);
    if (in_calc_grid()) {
        EXPECT_TRUE(same(a, full_mat(n)));
    } else {
        EXPECT_TRUE(same(a, a0));
    }
}

TEST(Kernels, ConsoleLinesOnProcessZeroOnly) {
    const int n = 30;
    const full_mat a = random_full(n, 1u, 2.0);
    const full_mat b = random_full(n, 2u, 2.0);
    full_mat c(n);
    full_mat r = lin(0.2, random_full(n, 3u), 0, a);
    full_mat t = random_full(n, 4u);
    int info = 0;

    struct expected {
        int grid, matmult, matinv;
    };
    std::vector<std::pair<line_counts, expected>> seen;

    {
        stdout_capture cap;
        matmult(n, 1.0, a, b, c, info);
        seen.push_back({count_lines(cap.finish()), {1, 1, 0}});
    }
    {
        stdout_capture cap;
        matinv(1, n, c);
        seen.push_back({count_lines(cap.finish()), {0, 0, 1}});
    }
    {
        stdout_capture cap;
        rti_link(a, b, r, t, n);
        seen.push_back({count_lines(cap.finish()), {5, 5, 1}});
    }
    {
        stdout_capture cap;
        rt_link(a, b, r, t, n);
        seen.push_back({count_lines(cap.finish()), {4, 4, 1}});
    }
    for (std::size_t k = 0; k < seen.size(); ++k) {
        const line_counts& got = seen[k].first;
        const expected want = my_proc() == 0 ? seen[k].second : expected{0, 0, 0};
        EXPECT_EQ(got.grid, want.grid) << "call " << k;
        EXPECT_EQ(got.matmult, want.matmult) << "call " << k;
        EXPECT_EQ(got.matinv, want.matinv) << "call " << k;
        EXPECT_EQ(got.other, 0) << "call " << k;
    }
}

// A link step's result: the reference on process 0, the state untouched on
// every other process.
void expect_on_root_only(const full_mat& r, const full_mat& t, const full_mat& r_ref,
                         const full_mat& t_ref, const full_mat& r0, const full_mat& t0, double tol) {
    if (my_proc() == 0) {
        EXPECT_LT(max_diff(r, r_ref), tol);
        EXPECT_LT(max_diff(t, t_ref), tol);
    } else {
        EXPECT_TRUE(same(r, r0));
        EXPECT_TRUE(same(t, t0));
    }
}

TEST(FullLink, AgreesWithSerialFormulas) {
    const int n = 40;
    const full_mat a = random_full(n, 301u, 2.0);
    const full_mat b = random_full(n, 302u, 2.0);
    const full_mat c = random_full(n, 303u, 2.0);
    const full_mat d = random_full(n, 304u, 2.0);
    const full_mat r0 = lin(0.2, random_full(n, 305u), 0, a);
    const full_mat t0 = random_full(n, 306u);
    const full_mat e = identity(n);
    auto prod = [](const full_mat& x, const full_mat& y) { return zgemm_product(1.0, x, y); };

    full_mat r = r0;
    full_mat t = t0;
    rti_link(a, b, r, t, n);
    full_mat r_ref = prod(lapack_inverse(lin(1, b, 1, prod(r0, a))), lin(1, b, -1, prod(r0, a)));
    full_mat t_ref = prod(prod(t0, a), lin(1, e, 1, r_ref));
    const double tol = 1e-10;
    expect_on_root_only(r, t, r_ref, t_ref, r0, t0, tol);

    r = r0;
    t = t0;
    rt_link(a, b, r, t, n);
    full_mat m = lapack_inverse(prod(a, lin(1, e, 1, r0)));
    r_ref = prod(prod(b, lin(1, e, -1, r0)), m);
    t_ref = prod(t0, m);
    expect_on_root_only(r, t, r_ref, t_ref, r0, t0, tol);

    r = r0;
    t = t0;
    rti_link_gen(a, b, c, d, r, t, n);
    r_ref = prod(lapack_inverse(lin(1, d, -1, prod(r0, b))), lin(1, prod(r0, a), -1, c));
    t_ref = prod(t0, lin(1, a, 1, prod(b, r_ref)));
    expect_on_root_only(r, t, r_ref, t_ref, r0, t0, tol);

    r = r0;
    t = t0;
    rt_link_gen(a, b, c, d, r, t, n);
    m = lapack_inverse(lin(1, a, 1, prod(b, r0)));
    r_ref = prod(lin(1, c, 1, prod(d, r0)), m);
    t_ref = prod(t0, m);
    expect_on_root_only(r, t, r_ref, t_ref, r0, t0, tol);
}

TEST(CayleyLink, ResultOnProcessZeroOnly) {
    const int n = 16;
    std::vector<cplx> s(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) s[static_cast<std::size_t>(i)] = cplx(1.0 + 0.1 * i, 0.3);
    const full_mat m0 = lin(0.3, random_full(n, 401u), 0, identity(n));
    const full_mat y0 = random_full(n, 402u);
    full_mat m = m0;
    full_mat y = y0;
    full_mat w1(n);
    full_mat w2(n);
    std::vector<cplx> v(static_cast<std::size_t>(n));
    cayley_link(0, true, s, cplx(1.0, 0.0), v, m, y, w1, w2, n);
    full_mat dv(n);
    for (int i = 1; i <= n; ++i) dv(i, i) = s[static_cast<std::size_t>(i - 1)];
    const full_mat ip = lapack_inverse(lin(1, m0, 1, identity(n)));
    if (my_proc() == 0) {
        const full_mat want = zgemm_product(1.0, zgemm_product(1.0, dv, lin(1, identity(n), -1, m0)), ip);
        EXPECT_LT(max_diff(m, want), 1e-11);
        EXPECT_LT(max_diff(y, zgemm_product(1.0, y0, ip)), 1e-11);
    } else {
        EXPECT_TRUE(same(m, m0));
        EXPECT_TRUE(same(y, y0));
    }
}

int main(int argc, char** argv) { return rcwa_test::run_mpi_gtest(argc, argv); }
