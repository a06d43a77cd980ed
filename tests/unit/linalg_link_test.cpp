// The link recursion on one process: the block-diagonal kernels and steps,
// the block inverse's determinant floor, and the full forms' closed-form
// cases. The full forms start MPI as a singleton through the kernels.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "linalg/dense.hpp"
#include "linalg/distributed.hpp"
#include "linalg/lapack.hpp"
#include "linalg/link.hpp"
#include "unit/linalg_test_support.hpp"

using namespace rcwa::linalg;
using rcwa_test::identity;
using rcwa_test::lapack_inverse;
using rcwa_test::lin;
using rcwa_test::max_diff;
using rcwa_test::mul;

namespace {

std::mt19937_64& rng() {
    static std::mt19937_64 gen(20240611);
    return gen;
}

cplx random_c() {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    return {u(rng()), u(rng())};
}

full_mat random_full(int n, double diag_boost = 0.0) {
    full_mat a(n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) a(i, j) = random_c();
    for (int i = 1; i <= n; ++i) a(i, i) += diag_boost;
    return a;
}

bd_mat random_bd(int norder, double diag_boost = 0.0) {
    bd_mat a(norder);
    for (int c = 1; c <= 4; ++c)
        for (int i = 1; i <= norder; ++i) a(i, c) = random_c();
    for (int i = 1; i <= norder; ++i) {
        a(i, 1) += diag_boost;
        a(i, 4) += diag_boost;
    }
    return a;
}

// The 2N by 2N matrix whose block diagonals a holds.
full_mat to_full(const bd_mat& a) {
    const int m = a.rows();
    full_mat f(2 * m);
    for (int i = 1; i <= m; ++i) {
        f(i, i) = a(i, 1);
        f(i, m + i) = a(i, 2);
        f(m + i, i) = a(i, 3);
        f(m + i, m + i) = a(i, 4);
    }
    return f;
}

bool on_block_diagonal(int m, int i, int j) {
    const int ii = (i - 1) % m;
    const int jj = (j - 1) % m;
    return ii == jj;
}

constexpr double tol = 1e-11;

}  // namespace

// ---- the block inverse ---------------------------------------------------------

TEST(BdInv, DeterminantFloor) {
    const double floor = 1.000000013351432e-10;
    ASSERT_EQ(static_cast<double>(1e-10f), floor);
    const double e34 = std::ldexp(1.0, -34), e33 = std::ldexp(1.0, -33);  // exact near 1

    bd_mat a(7);
    // [[1, 1], [1, 1 + 2^-34]]: det 5.8e-11 against products of size 2: floored
    a(1, 1) = 1.0; a(1, 2) = 1.0; a(1, 3) = 1.0; a(1, 4) = 1.0 + e34;
    // det 1.2e-10: kept
    a(2, 1) = 1.0; a(2, 2) = 1.0; a(2, 3) = 1.0; a(2, 4) = 1.0 + e33;
    // det i 2^-34: floored to a real determinant
    a(3, 1) = 1.0; a(3, 2) = 1.0; a(3, 3) = 1.0; a(3, 4) = cplx(1.0, e34);
    // diag(1e-10, 1): small but regular, inverted as it is
    a(4, 1) = 1e-10; a(4, 4) = 1.0;
    // exactly singular [[1,1],[1,1]]
    a(5, 1) = 1.0; a(5, 2) = 1.0; a(5, 3) = 1.0; a(5, 4) = 1.0;
    // identity
    a(6, 1) = 1.0; a(6, 4) = 1.0;
    // 1e-6 [[1,1],[1,1]]: singular at its own size 2e-12, floored there
    a(7, 1) = 1e-6; a(7, 2) = 1e-6; a(7, 3) = 1e-6; a(7, 4) = 1e-6;

    bd_inv(7, a);

    EXPECT_NEAR(a(1, 2).real() * floor, -1.0, 1e-14);
    EXPECT_NEAR(a(2, 2).real() * e33, -1.0, 1e-14);
    EXPECT_NEAR(a(3, 2).real() * floor, -1.0, 1e-14);
    EXPECT_EQ(a(3, 2).imag(), 0.0);

    EXPECT_NEAR(a(4, 1).real() * 1e-10, 1.0, 1e-14);
    EXPECT_NEAR(a(4, 4).real(), 1.0, 1e-15);

    for (int c = 1; c <= 4; ++c) {
        EXPECT_TRUE(std::isfinite(a(5, c).real()));
        const double sign = (c == 1 || c == 4) ? 1.0 : -1.0;
        EXPECT_NEAR(a(5, c).real() * floor, sign, 1e-14);
        EXPECT_EQ(a(5, c).imag(), 0.0);
        EXPECT_NEAR(a(7, c).real() * floor * 2e-12, sign * 1e-6, 1e-20);
    }

    EXPECT_EQ(a(6, 1), cplx(1.0, 0.0));
    EXPECT_EQ(a(6, 2), cplx(0.0, 0.0));
    EXPECT_EQ(a(6, 3), cplx(0.0, 0.0));
    EXPECT_EQ(a(6, 4), cplx(1.0, 0.0));
}

TEST(BdInv, InvertsGeneralBlocks) {
    const int m = 7;
    const bd_mat a = random_bd(m, 1.5);
    bd_mat b = a;
    bd_inv(m, b);
    EXPECT_LT(max_diff(mul(to_full(a), to_full(b)), identity(2 * m)), tol);
}

// ---- thickness propagation ----------------------------------------------------------

TEST(ThicknessPropagation, FullForm) {
    const int n = 2;
    array1<cplx> gam(2 * n);
    gam(1) = cplx(1.5, 0.1);
    gam(2) = cplx(0.0, 2.0);
    gam(3) = cplx(-0.5, 0.3);
    gam(4) = cplx(2.5, 0.0);
    full_mat r = random_full(2 * n), t = random_full(2 * n);
    const full_mat r0 = r, t0 = t;
    t_link(0.0, gam, r, t, n);
    EXPECT_TRUE(rcwa_test::same(r, r0));
    EXPECT_TRUE(rcwa_test::same(t, t0));
    const double d = 0.42;
    t_link(d, gam, r, t, n);
    for (int j = 1; j <= 2 * n; ++j)
        for (int i = 1; i <= 2 * n; ++i) {
            // Reflection crosses the layer twice (outgoing i, incident j),
            // transmission once (incident j).
            const cplx ei = std::exp(cplx(0, 1) * gam(i) * d), ej = std::exp(cplx(0, 1) * gam(j) * d);
            EXPECT_NEAR(std::abs(r(i, j) - ei * ej * r0(i, j)), 0.0, 1e-14);
            EXPECT_NEAR(std::abs(t(i, j) - ej * t0(i, j)), 0.0, 1e-14);
        }
    t_link(-d, gam, r, t, n);
    for (int j = 1; j <= 2 * n; ++j)
        for (int i = 1; i <= 2 * n; ++i) EXPECT_NEAR(std::abs(r(i, j) - r0(i, j)), 0.0, 1e-13);
}

TEST(ThicknessPropagation, BlockDiagonalTouchesOnlyBlockDiagonals) {
    const int n = 3;
    array1<cplx> gam(2 * n);
    for (int k = 1; k <= 2 * n; ++k) gam(k) = cplx(0.3 * k, 0.05 * k);
    full_mat r = random_full(2 * n), t = random_full(2 * n);
    full_mat rf = r, tf = t;
    const full_mat r0 = r, t0 = t;
    t_link_bd(0.8, gam, r, t, n);
    t_link(0.8, gam, rf, tf, n);
    for (int j = 1; j <= 2 * n; ++j)
        for (int i = 1; i <= 2 * n; ++i) {
            if (on_block_diagonal(n, i, j)) {
                EXPECT_NEAR(std::abs(r(i, j) - rf(i, j)), 0.0, 1e-14);
                EXPECT_NEAR(std::abs(t(i, j) - tf(i, j)), 0.0, 1e-14);
            } else {
                EXPECT_EQ(r(i, j), r0(i, j));
                EXPECT_EQ(t(i, j), t0(i, j));
            }
        }
    const full_mat r1 = r, t1 = t;
    t_link_bd(0.0, gam, r, t, n);
    EXPECT_TRUE(rcwa_test::same(r, r1));
    EXPECT_TRUE(rcwa_test::same(t, t1));
}

// ---- bd_mat kernels against full products ----------------------------------------

TEST(BdKernels, AgreeWithFullProducts) {
    const int m = 5;
    const bd_mat a = random_bd(m);
    const bd_mat b = random_bd(m);
    const full_mat f = random_full(2 * m);  // entries off its block diagonals are ignored
    full_mat f_bd(2 * m);
    for (int j = 1; j <= 2 * m; ++j)
        for (int i = 1; i <= 2 * m; ++i)
            if (on_block_diagonal(m, i, j)) f_bd(i, j) = f(i, j);

    bd_mat z(m);
    bd_mul_full(m, a, f, z);
    EXPECT_LT(max_diff(to_full(z), mul(to_full(a), f_bd)), tol);
    full_mul_bd(m, f, b, z);
    EXPECT_LT(max_diff(to_full(z), mul(f_bd, to_full(b))), tol);
    bd_add(m, a, b, z);
    EXPECT_LT(max_diff(to_full(z), lin(1, to_full(a), 1, to_full(b))), 0.0 + 1e-15);
    bd_mat za = a;
    bd_add(m, za, b, za);  // output is an input
    EXPECT_LT(max_diff(to_full(za), to_full(z)), 1e-15);

    // full_mul_bd_full into F itself: block diagonals become F_i B_i, the rest stays.
    full_mat g = f;
    full_mul_bd_full(m, g, b, g);
    const full_mat want = mul(f_bd, to_full(b));
    for (int j = 1; j <= 2 * m; ++j)
        for (int i = 1; i <= 2 * m; ++i) {
            if (on_block_diagonal(m, i, j))
                EXPECT_LT(std::abs(g(i, j) - want(i, j)), tol);
            else
                EXPECT_EQ(g(i, j), f(i, j));
        }

    // bd_mul_bd_full clears the whole result first.
    g = random_full(2 * m);
    bd_mul_bd_full(m, a, b, g);
    EXPECT_LT(max_diff(g, mul(to_full(a), to_full(b))), tol);
    for (int j = 1; j <= 2 * m; ++j)
        for (int i = 1; i <= 2 * m; ++i)
            if (!on_block_diagonal(m, i, j)) {
                EXPECT_EQ(g(i, j), cplx(0.0, 0.0));
            }
}

// ---- block-diagonal link steps ---------------------------------------------------

namespace {

struct bd_case {
    int m = 6;
    bd_mat p, q, x, y;
    full_mat r, t;
    explicit bd_case(int m_) : m(m_) {
        p = random_bd(m, 2.0);
        q = random_bd(m, 2.0);
        x = random_bd(m, 2.0);
        y = random_bd(m);
        bd_mat rb = random_bd(m);
        for (int c = 1; c <= 4; ++c)
            for (int i = 1; i <= m; ++i) rb(i, c) *= 0.3;
        r = to_full(rb);
        t = to_full(random_bd(m));
    }
};

// Fills every entry off the block diagonals with junk.
void add_junk(full_mat& f, int m) {
    for (int j = 1; j <= 2 * m; ++j)
        for (int i = 1; i <= 2 * m; ++i)
            if (!on_block_diagonal(m, i, j)) f(i, j) = random_c();
}

}  // namespace

TEST(BdLink, StepsAgreeWithGeneralFullForms) {
    const bd_case k(6);
    const int n = 2 * k.m;

    full_mat r_bd = k.r, t_bd = k.t;
    rti_link_bd(k.p, k.q, k.x, k.y, r_bd, t_bd, k.m);
    full_mat r_full = k.r, t_full = k.t;
    rti_link_gen(to_full(k.p), to_full(k.q), to_full(k.x), to_full(k.y), r_full, t_full, n);
    EXPECT_LT(max_diff(r_bd, r_full), tol);
    EXPECT_LT(max_diff(t_bd, t_full), tol);

    rt_link_bd(k.p, k.q, k.x, k.y, r_bd, t_bd, k.m);
    rt_link_gen(to_full(k.p), to_full(k.q), to_full(k.x), to_full(k.y), r_full, t_full, n);
    EXPECT_LT(max_diff(r_bd, r_full), tol);
    EXPECT_LT(max_diff(t_bd, t_full), tol);

    // Against closed formulas written here.
    const full_mat a = to_full(k.p), b = to_full(k.q), c = to_full(k.x), d = to_full(k.y);
    full_mat r = k.r, t = k.t;
    const full_mat r1 = mul(lapack_inverse(lin(1, d, -1, mul(r, b))), lin(1, mul(r, a), -1, c));
    const full_mat t1 = mul(t, lin(1, a, 1, mul(b, r1)));
    rti_link_bd(k.p, k.q, k.x, k.y, r, t, k.m);
    EXPECT_LT(max_diff(r, r1), tol);
    EXPECT_LT(max_diff(t, t1), tol);
}

TEST(BdLink, TwoMatrixCaseAgreesWithFullLink) {
    const bd_case k(5);
    const int n = 2 * k.m;
    bd_mat minus_x = k.x;
    for (int c = 1; c <= 4; ++c)
        for (int i = 1; i <= k.m; ++i) minus_x(i, c) = -minus_x(i, c);

    full_mat r_bd = k.r, t_bd = k.t, r_full = k.r, t_full = k.t;
    rti_link_bd(k.p, k.p, k.x, minus_x, r_bd, t_bd, k.m);
    rti_link(to_full(k.p), to_full(k.x), r_full, t_full, n);
    EXPECT_LT(max_diff(r_bd, r_full), tol);
    EXPECT_LT(max_diff(t_bd, t_full), tol);
    rt_link_bd(k.p, k.p, k.x, minus_x, r_bd, t_bd, k.m);
    rt_link(to_full(k.p), to_full(k.x), r_full, t_full, n);
    EXPECT_LT(max_diff(r_bd, r_full), tol);
    EXPECT_LT(max_diff(t_bd, t_full), tol);
}

TEST(BdLink, ZeroReflectionGivesIdentityBlocks) {
    const bd_case k(4);
    bd_mat minus_x = k.x;
    for (int c = 1; c <= 4; ++c)
        for (int i = 1; i <= k.m; ++i) minus_x(i, c) = -minus_x(i, c);
    full_mat r(2 * k.m);
    full_mat t = k.t;
    rti_link_bd(k.p, k.p, k.x, minus_x, r, t, k.m);
    EXPECT_LT(max_diff(r, identity(2 * k.m)), tol);
    EXPECT_LT(max_diff(t, lin(2, mul(k.t, to_full(k.p)), 0, k.t)), tol);
}

TEST(BdLink, ClearsROffBlockDiagonalsAndKeepsTThere) {
    const bd_case k(5);
    for (int step = 0; step < 2; ++step) {
        full_mat r = k.r, t = k.t;
        add_junk(r, k.m);
        add_junk(t, k.m);
        const full_mat t0 = t;
        full_mat r_clean = k.r, t_clean = k.t;
        if (step == 0) {
            rti_link_bd(k.p, k.q, k.x, k.y, r, t, k.m);
            rti_link_bd(k.p, k.q, k.x, k.y, r_clean, t_clean, k.m);
        } else {
            rt_link_bd(k.p, k.q, k.x, k.y, r, t, k.m);
            rt_link_bd(k.p, k.q, k.x, k.y, r_clean, t_clean, k.m);
        }
        for (int j = 1; j <= 2 * k.m; ++j)
            for (int i = 1; i <= 2 * k.m; ++i) {
                if (on_block_diagonal(k.m, i, j)) {
                    EXPECT_EQ(r(i, j), r_clean(i, j));
                    EXPECT_EQ(t(i, j), t_clean(i, j));
                } else {
                    EXPECT_EQ(r(i, j), cplx(0.0, 0.0));
                    EXPECT_EQ(t(i, j), t0(i, j));
                }
            }
    }
}

// ---- full forms (collective kernels on one process) -----------------------------

TEST(FullLink, RtiLinkFromZeroReflection) {
    const int n = 9;
    const full_mat a = random_full(n, 2.0), b = random_full(n, 2.0), t0 = random_full(n);
    full_mat r(n), t = t0;
    rti_link(a, b, r, t, n);
    EXPECT_LT(max_diff(r, identity(n)), tol);
    EXPECT_LT(max_diff(t, lin(2, mul(t0, a), 0, t0)), tol);
}

TEST(FullLink, RtLinkFromZeroAndIdentityReflection) {
    const int n = 9;
    const full_mat a = random_full(n, 2.0), b = random_full(n, 2.0), t0 = random_full(n);
    const full_mat a_inv = lapack_inverse(a);
    full_mat r(n), t = t0;
    rt_link(a, b, r, t, n);
    EXPECT_LT(max_diff(r, mul(b, a_inv)), tol);
    EXPECT_LT(max_diff(t, mul(t0, a_inv)), tol);

    r = identity(n);
    t = t0;
    rt_link(a, b, r, t, n);
    EXPECT_LT(max_diff(r, full_mat(n)), tol);
    EXPECT_LT(max_diff(t, lin(0.5, mul(t0, a_inv), 0, t0)), tol);
}

TEST(FullLink, GeneralFormsMatchTwoMatrixForms) {
    const int n = 12;
    const full_mat a = random_full(n, 2.0), b = random_full(n, 2.0);
    const full_mat minus_b = lin(-1, b, 0, b);
    const full_mat r0 = lin(0.3, random_full(n), 0, a), t0 = random_full(n);

    full_mat r1 = r0, t1 = t0, r2 = r0, t2 = t0;
    rti_link(a, b, r1, t1, n);
    rti_link_gen(a, a, b, minus_b, r2, t2, n);
    EXPECT_LT(max_diff(r1, r2), tol);
    EXPECT_LT(max_diff(t1, t2), tol);
    // and both against the formula
    EXPECT_LT(max_diff(r1, mul(lapack_inverse(lin(1, b, 1, mul(r0, a))), lin(1, b, -1, mul(r0, a)))), tol);
    EXPECT_LT(max_diff(t1, mul(mul(t0, a), lin(1, identity(n), 1, r1))), tol);

    r1 = r0; t1 = t0; r2 = r0; t2 = t0;
    rt_link(a, b, r1, t1, n);
    rt_link_gen(a, a, b, minus_b, r2, t2, n);
    EXPECT_LT(max_diff(r1, r2), tol);
    EXPECT_LT(max_diff(t1, t2), tol);
    const full_mat m = lapack_inverse(mul(a, lin(1, identity(n), 1, r0)));
    EXPECT_LT(max_diff(r1, mul(mul(b, lin(1, identity(n), -1, r0)), m)), tol);
    EXPECT_LT(max_diff(t1, mul(t0, m)), tol);
}

// ---- diagonal and Cayley variants ------------------------------------------------

TEST(DiagLink, VariantsAreTheFullStepsWithAIdentityAndBDiagonal) {
    const int n = 6;
    std::vector<cplx> s(n);
    for (auto& v : s) v = random_c() + 1.5;
    const cplx z(0.7, -0.4);
    for (bool flag : {true, false}) {
        full_mat bv(n);
        for (int i = 1; i <= n; ++i) {
            const cplx si = s[static_cast<std::size_t>(i - 1)];
            bv(i, i) = flag ? si : -si / z;
        }
        full_mat r0(n), t0(n);
        for (int i = 1; i <= n; ++i) {
            r0(i, i) = 0.3 * random_c();
            t0(i, i) = random_c();
        }
        full_mat r = r0, t = t0, rf = r0, tf = t0;
        rt_link_diag(flag, s, z, r, t, n);
        rt_link(identity(n), bv, rf, tf, n);
        EXPECT_LT(max_diff(r, rf), tol);
        EXPECT_LT(max_diff(t, tf), tol);

        r = r0; t = t0; rf = r0; tf = t0;
        rti_link_diag(flag, s, z, r, t, n);
        rti_link(identity(n), bv, rf, tf, n);
        EXPECT_LT(max_diff(r, rf), tol);
        EXPECT_LT(max_diff(t, tf), tol);
    }
    // flag false and s = z: v = -1, so r <- -(1 - r) / (1 + r)
    std::vector<cplx> zs(n, z);
    full_mat r(n), t = identity(n);
    for (int i = 1; i <= n; ++i) r(i, i) = 0.25;
    rt_link_diag(false, zs, z, r, t, n);
    for (int i = 1; i <= n; ++i) {
        EXPECT_NEAR(r(i, i).real(), -0.75 / 1.25, 1e-15);
        EXPECT_NEAR(r(i, i).imag(), 0.0, 1e-15);
        EXPECT_NEAR(t(i, i).real(), 1.0 / 1.25, 1e-15);
    }
}

TEST(CayleyLink, MatchesItsFormulas) {
    const int n = 7;
    std::vector<cplx> s(n);
    for (auto& v : s) v = random_c() + 1.5;
    const cplx z(1.3, 0.2);
    const full_mat m0 = lin(0.3, random_full(n), 0, identity(n)), y0 = random_full(n);
    for (bool flag : {true, false}) {
        full_mat dv(n);
        for (int i = 1; i <= n; ++i) {
            const cplx si = s[static_cast<std::size_t>(i - 1)];
            dv(i, i) = flag ? si : -si / z;
        }
        full_mat m = m0, y = y0, w1(n), w2(n);
        std::vector<cplx> v(n);
        cayley_link(0, flag, s, z, v, m, y, w1, w2, n);
        const full_mat ip = lapack_inverse(lin(1, m0, 1, identity(n)));
        EXPECT_LT(max_diff(m, mul(mul(dv, lin(1, identity(n), -1, m0)), ip)), tol);
        EXPECT_LT(max_diff(y, mul(y0, ip)), tol);
        for (int i = 1; i <= n; ++i) EXPECT_LT(std::abs(v[static_cast<std::size_t>(i - 1)] - dv(i, i)), 1e-14);

        full_mat hv(n);
        for (int i = 1; i <= n; ++i) {
            const cplx si = s[static_cast<std::size_t>(i - 1)];
            hv(i, i) = flag ? 0.5 / si : -z * 0.5 / si;
        }
        m = m0; y = y0;
        cayley_link2(0, flag, s, z, v, m, y, w1, w2, n);
        const full_mat mp = mul(hv, m0);
        const full_mat ip2 = lapack_inverse(lin(1, mp, 0.5, identity(n)));
        EXPECT_LT(max_diff(m, mul(lin(0.5, identity(n), -1, mp), ip2)), tol);
        EXPECT_LT(max_diff(y, mul(y0, ip2)), tol);
    }
}
