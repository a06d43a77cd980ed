// Eigen-decompositions on one process and the eigenpair orderings. The
// collective solvers start MPI as a singleton through BLACS.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "linalg/distributed.hpp"
#include "linalg/eigen_dist.hpp"
#include "linalg/eigen_serial.hpp"
#include "linalg/lapack.hpp"
#include "unit/linalg_test_support.hpp"

using namespace rcwa::linalg;
using rcwa_test::left_residual;
using rcwa_test::max_abs;
using rcwa_test::right_residual;
using rcwa_test::same;
using rcwa_test::stdout_capture;

namespace {

full_mat random_full(int n, unsigned seed) {
    std::mt19937_64 gen(seed);
    return rcwa_test::random_full(gen, n);
}

// Eigenvalues by LAPACK's simple driver, as the reference spectrum.
std::vector<cplx> reference_eigenvalues(const full_mat& a) {
    int info = 0;
    std::vector<cplx> w = rcwa_test::zgeevx_eigenvalues(a, info);
    EXPECT_EQ(info, 0);
    return w;
}

// Largest distance from an eigenvalue of one set to its partner in the other
// (greedy nearest matching).
double spectrum_distance(std::vector<cplx> want, const array1<cplx>& got) {
    double worst = 0.0;
    std::vector<bool> used(want.size(), false);
    for (int k = 1; k <= got.size(); ++k) {
        std::size_t best = want.size();
        for (std::size_t i = 0; i < want.size(); ++i)
            if (!used[i] && (best == want.size() || std::abs(want[i] - got(k)) < std::abs(want[best] - got(k))))
                best = i;
        if (best == want.size()) return 1e300;
        used[best] = true;
        worst = std::max(worst, std::abs(want[best] - got(k)));
    }
    return worst;
}

bool starts_with(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

// Eigenpairs tagged so that moves can be followed: column k holds v(k) in its
// first row and k in its second.
void tagged(const std::vector<cplx>& v, array1<cplx>& w, full_mat& vr) {
    const int n = static_cast<int>(v.size());
    w.resize(n);
    vr.resize(n);
    for (int k = 1; k <= n; ++k) {
        w(k) = v[static_cast<std::size_t>(k - 1)];
        vr(1, k) = w(k);
        if (n > 1) vr(2, k) = static_cast<double>(k);
    }
}

void expect_values(const array1<cplx>& w, const full_mat& vr, const std::vector<cplx>& want) {
    ASSERT_EQ(w.size(), static_cast<int>(want.size()));
    for (int k = 1; k <= w.size(); ++k) {
        EXPECT_EQ(w(k), want[static_cast<std::size_t>(k - 1)]) << "position " << k;
        EXPECT_EQ(vr(1, k), w(k)) << "column " << k << " did not move with its eigenvalue";
    }
}

}  // namespace

// ---- gam rules ---------------------------------------------------------------------

TEST(GamRules, Examples) {
    EXPECT_EQ(gam_rule_a(cplx(4.0, 0.0), 0.0), cplx(0.0, 2.0));
    EXPECT_EQ(gam_rule_a(cplx(-4.0, 0.0), 0.0), cplx(2.0, 0.0));
    EXPECT_EQ(gam_rule_a(cplx(3.0, 4.0), 0.0), cplx(-1.0, 2.0));
    EXPECT_EQ(gam_rule_a(cplx(0.0, 0.0), 0.0), cplx(0.0, 0.0));
    EXPECT_EQ(gam_rule_a(cplx(-5.0, 0.0), 1.0), cplx(2.0, 0.0));  // q_shift^2 added to Re

    EXPECT_EQ(gam_rule_b(cplx(-4.0, 0.0), 0.0), cplx(2.0, 0.0));
    EXPECT_EQ(gam_rule_b(cplx(0.0, 0.0), 0.0), cplx(1.000000013351432e-10, 0.0));
    EXPECT_EQ(gam_rule_b(cplx(4.0, 0.0), 0.0), cplx(0.0, 2.0));
    EXPECT_EQ(gam_rule_b(cplx(3.0, 4.0), 0.0), cplx(1.0, 2.0));  // branch from the sign -1
    EXPECT_EQ(gam_rule_b(cplx(-1.0, 0.0), 1.0), cplx(1.000000013351432e-10, 0.0));
}

TEST(GamRules, RuleANegatesOnlyStrictlyBelowThreshold) {
    // Find an eigenvalue whose principal root has real part exactly 1e-10:
    // then Im g = 1e-10 and Re g < 0, which must stay.
    cplx z;
    bool found = false;
    for (double y = 1.0; y < 2.0 && !found; y += 0.0137) {
        const cplx s(1e-10, y);
        z = s * s;
        found = std::sqrt(z).real() == 1e-10 && std::sqrt(z).imag() > 0.0;
    }
    ASSERT_TRUE(found);
    const cplx g = gam_rule_a(z, 0.0);
    EXPECT_EQ(g.imag(), 1e-10);
    EXPECT_LT(g.real(), 0.0);

    // Just below: negated.
    const cplx s2(0.5e-10, 1.5);
    const cplx g2 = gam_rule_a(s2 * s2, 0.0);
    EXPECT_GT(g2.real(), 0.0);
    EXPECT_LT(g2.imag(), 0.0);
}

// ---- collective solvers on one process ------------------------------------------------

TEST(EigenDist, EigenpairsOfRandomMatrices) {
    for (int n : {1, 2, 5, 90, 91, 200}) {
        const full_mat a0 = random_full(n, 100u + static_cast<unsigned>(n));
        const full_mat a = a0;
        array1<cplx> w(n);
        array1<cplx> gam(n);
        full_mat vl(n);
        full_mat vr(n);
        int info = 77;
        eigen_dist(n, 90, 0.0, a, w, gam, vl, vr, info);
        EXPECT_EQ(info, 0) << "n=" << n;
        EXPECT_LT(right_residual(a0, w, vr), 1e-14) << "n=" << n;
        EXPECT_LT(left_residual(a0, w, vl), 1e-14) << "n=" << n;
        EXPECT_LT(spectrum_distance(reference_eigenvalues(a0), w), 1e-11) << "n=" << n;
        for (int k = 1; k <= n; ++k) {
            EXPECT_EQ(gam(k), gam_rule_a(w(k), 0.0));
            // Each vector is scaled so that its largest |Re|+|Im| is 1.
            double mr = 0.0;
            double ml = 0.0;
            for (int i = 1; i <= n; ++i) {
                mr = std::max(mr, std::abs(vr(i, k).real()) + std::abs(vr(i, k).imag()));
                ml = std::max(ml, std::abs(vl(i, k).real()) + std::abs(vl(i, k).imag()));
            }
            EXPECT_NEAR(mr, 1.0, 1e-14);
            EXPECT_NEAR(ml, 1.0, 1e-14);
        }
        EXPECT_TRUE(same(a, a0)) << "a changed, n=" << n;
        // Left vectors not wanted (empty vl): the same eigenpairs bit for bit.
        full_mat no_vl;
        array1<cplx> w2(n);
        full_mat vr2(n);
        eigen_dist(n, 90, 0.0, a, w2, gam, no_vl, vr2, info);
        EXPECT_TRUE(same(w2, w) && same(vr2, vr) && no_vl.order() == 0) << "n=" << n;
    }
}

TEST(EigenDist, DiagonalMatrixKeepsItsOrder) {
    const int n = 7;
    full_mat a(n);
    const cplx d[] = {{3, 1}, {-2, 0}, {0.5, -4}, {10, 0}, {-1, -1}, {2, 2}, {0.25, 0}};
    for (int i = 1; i <= n; ++i) a(i, i) = d[i - 1];
    array1<cplx> w(n);
    array1<cplx> gam(n);
    full_mat vl(n);
    full_mat vr(n);
    int info = 0;
    eigen_dist(n, 90, 0.0, a, w, gam, vl, vr, info);
    for (int k = 1; k <= n; ++k) {
        EXPECT_NEAR(std::abs(w(k) - d[k - 1]), 0.0, 1e-15) << k;
        for (int i = 1; i <= n; ++i) {
            const double want = i == k ? 1.0 : 0.0;
            EXPECT_NEAR(std::abs(vr(i, k) - want), 0.0, 1e-15) << i << "," << k;
            EXPECT_NEAR(std::abs(vl(i, k) - want), 0.0, 1e-15) << i << "," << k;
        }
    }
}

TEST(EigenDist, SmallBlockSizeStillGivesEigenpairs) {
    // The QR step refuses blocks of fewer than 5 rows; the block size is
    // raised instead of returning the Hessenberg matrix as a Schur form.
    const int n = 40;
    const full_mat a = random_full(n, 4242u);
    for (int nb : {1, 2, 4}) {
        array1<cplx> w(n);
        array1<cplx> gam(n);
        full_mat vl(n);
        full_mat vr(n);
        int info = 5;
        eigen_dist(n, nb, 0.0, a, w, gam, vl, vr, info);
        EXPECT_EQ(info, 0) << "nb=" << nb;
        EXPECT_LT(right_residual(a, w, vr), 1e-14) << "nb=" << nb;
        EXPECT_LT(left_residual(a, w, vl), 1e-14) << "nb=" << nb;
    }
}

TEST(EigenDist, PairedEigenvaluesGiveIndependentVectors) {
    // Every eigenvalue twice, as the two polarisations of a homogeneous layer
    // give: a = S*diag(d)*S^-1, large enough for LAPACK's multishift QR. The
    // eigenvectors must still form an invertible basis: vr^-1*a*vr = diag(w).
    const int n = 180;
    full_mat s = random_full(n, 777u);
    for (int i = 1; i <= n; ++i) s(i, i) += 4.0;
    full_mat s_inv = s;
    matinv_lapack(n, s_inv);
    std::vector<cplx> d(static_cast<std::size_t>(n));
    for (int k = 0; k < n / 2; ++k) {
        const cplx v(std::cos(0.37 * k) * (1.0 + 0.05 * k), 0.2 * std::sin(0.11 * k));
        d[2 * static_cast<std::size_t>(k)] = v;
        d[2 * static_cast<std::size_t>(k) + 1] = v;
    }
    full_mat a(n);
    const cplx one(1.0, 0.0);
    const cplx zero(0.0, 0.0);
    full_mat sd = s;
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) sd(i, j) *= d[static_cast<std::size_t>(j - 1)];
    int nn = n;
    zgemm_("N", "N", &nn, &nn, &nn, &one, sd.data(), &nn, s_inv.data(), &nn, &zero, a.data(), &nn, 1, 1);

    array1<cplx> w(n);
    array1<cplx> gam(n);
    full_mat vl(n);
    full_mat vr(n);
    int info = 3;
    eigen_dist(n, 90, 0.0, a, w, gam, vl, vr, info);
    EXPECT_EQ(info, 0);
    EXPECT_LT(spectrum_distance(d, w), 1e-9);
    EXPECT_LT(right_residual(a, w, vr), 1e-14);
    EXPECT_LT(left_residual(a, w, vl), 1e-14);

    full_mat vr_inv = vr;
    matinv_lapack(n, vr_inv);
    full_mat av(n);
    full_mat diag(n);
    zgemm_("N", "N", &nn, &nn, &nn, &one, a.data(), &nn, vr.data(), &nn, &zero, av.data(), &nn, 1, 1);
    zgemm_("N", "N", &nn, &nn, &nn, &one, vr_inv.data(), &nn, av.data(), &nn, &zero, diag.data(), &nn, 1, 1);
    double off = 0.0;
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) off = std::max(off, std::abs(diag(i, j) - (i == j ? w(j) : zero)));
    EXPECT_LT(off, 1e-8);
}

TEST(EigenDist, QShiftEntersGam) {
    const int n = 3;
    full_mat a(n);
    a(1, 1) = -4.0;
    a(2, 2) = 5.0;
    a(3, 3) = cplx(1.0, 2.0);
    array1<cplx> w(n);
    array1<cplx> gam(n);
    full_mat vl(n);
    full_mat vr(n);
    int info = 0;
    eigen_dist(n, 90, 2.0, a, w, gam, vl, vr, info);
    for (int k = 1; k <= n; ++k) EXPECT_EQ(gam(k), gam_rule_a(w(k), 2.0));
    EXPECT_NEAR(std::abs(gam(1) - cplx(0.0, 0.0)), 0.0, 1e-7);  // -4 + 2^2 = 0
    EXPECT_NEAR(std::abs(gam(2) - cplx(0.0, 3.0)), 0.0, 1e-14);
}

TEST(EigenHsein, VectorsForGivenEigenvalues) {
    for (int n : {1, 2, 30}) {
        const full_mat a0 = random_full(n, 900u + static_cast<unsigned>(n));
        array1<cplx> w(n);
        array1<cplx> gam(n);
        full_mat vl(n);
        full_mat vr(n);
        int info = 0;
        eigen_dist(n, 90, 0.0, a0, w, gam, vl, vr, info);

        full_mat a = a0;
        array1<cplx> w2 = w;
        array1<cplx> gam2(n);
        full_mat vr2(n);
        stdout_capture cap;
        eigen_hsein(n, a, 0.0, gam2, w2, vr2);
        const auto lines = cap.finish();

        EXPECT_LT(right_residual(a0, w2, vr2), 1e-13) << "n=" << n;
        EXPECT_LT(spectrum_distance(std::vector<cplx>(w.data(), w.data() + n), w2), 1e-12);
        for (int k = 1; k <= n; ++k) EXPECT_EQ(gam2(k), gam_rule_b(w2(k), 0.0));
        ASSERT_EQ(lines.size(), 2u) << "n=" << n;
        EXPECT_TRUE(starts_with(lines[0], "TIME for Hessenberg effi: ")) << lines[0];
        EXPECT_TRUE(starts_with(lines[1], "TIME for Schur: ")) << lines[1];
        EXPECT_NE(lines[1].find(" minutes"), std::string::npos);

        // a now holds the Hessenberg form: its Hessenberg part has the same
        // spectrum.
        full_mat h = a;
        for (int j = 1; j <= n; ++j)
            for (int i = j + 2; i <= n; ++i) h(i, j) = 0.0;
        EXPECT_LT(spectrum_distance(reference_eigenvalues(h), w), 1e-11);
    }
}

TEST(EigenDist, PrintsNothing) {
    const full_mat a = random_full(20, 5u);
    array1<cplx> w(20);
    array1<cplx> gam(20);
    full_mat vl(20);
    full_mat vr(20);
    int info = 0;
    stdout_capture cap;
    eigen_dist(20, 3, 0.0, a, w, gam, vl, vr, info);
    EXPECT_TRUE(cap.finish().empty());
}

// ---- serial solvers -----------------------------------------------------------------------

TEST(SerialSolvers, EigenpairsAndGam) {
    const int n = 40;
    const full_mat a0 = random_full(n, 31u);
    const auto ref = reference_eigenvalues(a0);
    {
        full_mat a = a0;
        array1<cplx> w(n);
        array1<cplx> gam(n);
        full_mat vr(n);
        eigen_geevx_bal(n, a, 0.5, gam, w, vr);
        full_mat res(n);
        eigen_residual(n, a0, vr, w, res);
        EXPECT_LT(max_abs(res), 1e-13);
        EXPECT_LT(spectrum_distance(ref, w), 1e-11);
        for (int k = 1; k <= n; ++k) EXPECT_EQ(gam(k), gam_rule_a(w(k), 0.5));
    }
    {
        full_mat a = a0;
        array1<cplx> w(n);
        array1<cplx> gam(n);
        full_mat vr(n);
        eigen_geevx(n, a, 0.5, gam, w, vr);
        full_mat res(n);
        eigen_residual(n, a0, vr, w, res);
        EXPECT_LT(max_abs(res), 1e-13);
        EXPECT_LT(spectrum_distance(ref, w), 1e-11);
        for (int k = 1; k <= n; ++k) {
            EXPECT_EQ(gam(k), gam_rule_b(w(k), 0.5));
            double norm2 = 0.0;  // the driver normalises to Euclidean length 1
            for (int i = 1; i <= n; ++i) norm2 += std::norm(vr(i, k));
            EXPECT_NEAR(norm2, 1.0, 1e-13);
        }
    }
    {
        full_mat a = a0;
        array1<cplx> w(n);
        full_mat vr(n);
        eigen_geevx_sort(n, a, w, vr);
        full_mat res(n);
        eigen_residual(n, a0, vr, w, res);
        EXPECT_LT(max_abs(res), 1e-13);
        EXPECT_LT(spectrum_distance(ref, w), 1e-11);
        // No real eigenvalues: partners j and h+j are the j-th smallest and
        // largest imaginary parts.
        const int h = n / 2;
        for (int j = 1; j <= h; ++j) EXPECT_LT(w(j).imag(), w(h + j).imag());
        for (int j = 1; j < h; ++j) EXPECT_LE(w(j).imag(), w(j + 1).imag());
        for (int j = 1; j < h; ++j) EXPECT_GE(w(h + j).imag(), w(h + j + 1).imag());
    }
}

TEST(SerialSolvers, ResidualFormula) {
    // a = [[1, 1], [0, 2]] has the exact eigenpairs 1: (1, 0) and 2: (1, 1).
    full_mat a(2);
    a(1, 1) = 1.0;
    a(1, 2) = 1.0;
    a(2, 2) = 2.0;
    full_mat vr(2);
    vr(1, 1) = 1.0;
    vr(1, 2) = 1.0;
    vr(2, 2) = 1.0;
    array1<cplx> w(2);
    w(1) = 1.0;
    w(2) = 2.0;
    full_mat res(2);
    eigen_residual(2, a, vr, w, res);
    EXPECT_EQ(max_abs(res), 0.0);
    w(2) = cplx(2.0, 1.0);  // wrong eigenvalue: res(:,2) = -i*(1, 1)
    eigen_residual(2, a, vr, w, res);
    EXPECT_EQ(res(1, 2), cplx(0.0, -1.0));
    EXPECT_EQ(res(2, 2), cplx(0.0, -1.0));
    EXPECT_EQ(res(1, 1), cplx(0.0, 0.0));
}

// ---- ordering ---------------------------------------------------------------------------------

TEST(Ordering, SortIndex) {
    array1<double> x(4);
    x(1) = 3;
    x(2) = 1;
    x(3) = 2;
    x(4) = 1;
    array1<double> sorted(4);
    array1<int> perm(4);
    sort_index(4, x, sorted, perm);
    const double ws[] = {1, 1, 2, 3};
    const int wp[] = {2, 4, 3, 1};
    for (int j = 1; j <= 4; ++j) {
        EXPECT_EQ(sorted(j), ws[j - 1]);
        EXPECT_EQ(perm(j), wp[j - 1]);
    }

    // A NaN key is appended and then passed over.
    array1<double> y(3);
    y(1) = 2;
    y(2) = std::numeric_limits<double>::quiet_NaN();
    y(3) = 1;
    sort_index(3, y, sorted, perm);
    EXPECT_EQ(perm(1), 3);
    EXPECT_EQ(perm(2), 1);
    EXPECT_EQ(perm(3), 2);
    EXPECT_TRUE(std::isnan(sorted(3)));
}

TEST(Ordering, SwapHalves) {
    array1<cplx> w;
    full_mat vr;
    tagged({1, 2, 3, 4}, w, vr);
    eigen_swap_halves(4, w, vr);
    expect_values(w, vr, {3, 4, 1, 2});
    tagged({1, 2, 3, 4, 5}, w, vr);  // odd: the last entry stays
    eigen_swap_halves(5, w, vr);
    expect_values(w, vr, {3, 4, 1, 2, 5});
}

TEST(Ordering, PairOrder) {
    const cplx c1(0, -1), c2(0, 1), r1(1, 0), r2(2, 0);
    array1<cplx> w;
    full_mat vr;
    tagged({c1, c2, r1, r2}, w, vr);
    eigen_pair_order(4, 2, 2, w, vr);
    expect_values(w, vr, {c1, r1, c2, r2});

    // Odd group counts: the unpaired middles fill the open positions, so no
    // eigenpair is lost or doubled.
    tagged({10, 20, 30}, w, vr);
    eigen_pair_order(3, 3, 0, w, vr);
    expect_values(w, vr, {10, 30, 20});
    tagged({1, 2, 3, 4, 5, 6}, w, vr);
    eigen_pair_order(6, 3, 3, w, vr);
    expect_values(w, vr, {1, 4, 2, 3, 6, 5});
}

TEST(Ordering, Sort2) {
    array1<cplx> w;
    full_mat vr;
    tagged({{0, 4}, {0, 1}, {0, 3}, {0, 2}}, w, vr);
    eigen_sort2(4, w, vr);
    expect_values(w, vr, {{0, 1}, {0, 2}, {0, 4}, {0, 3}});
    tagged({{0, 6}, {0, 5}, {0, 4}, {0, 3}, {0, 2}, {0, 1}}, w, vr);
    eigen_sort2(6, w, vr);
    expect_values(w, vr, {{0, 1}, {0, 2}, {0, 3}, {0, 6}, {0, 5}, {0, 4}});
}

TEST(Ordering, SortOnlyReal) {
    array1<cplx> w;
    full_mat vr;
    tagged({3, 1, 2, 4}, w, vr);
    eigen_sort(4, w, vr);
    expect_values(w, vr, {1, 2, 4, 3});
}

TEST(Ordering, SortNoReal) {
    array1<cplx> w;
    full_mat vr;
    tagged({{1, 3}, {2, -1}, {3, 2}, {4, -2}}, w, vr);
    eigen_sort(4, w, vr);
    expect_values(w, vr, {{4, -2}, {2, -1}, {1, 3}, {3, 2}});
}

TEST(Ordering, SortMixedExchangesNeighbours) {
    // Complex group by Im: 0-2i, 9-1i, 1+1i, 10+2i; real group 5, 6, 7, 8.
    // Pairing puts 0-2i, 9-1i first and 10+2i at h+1; 9-1i lies closer to
    // 10+2i in its real part, so the first two are exchanged.
    array1<cplx> w;
    full_mat vr;
    tagged({7, {1, 1}, {10, 2}, 5, {0, -2}, 8, {9, -1}, 6}, w, vr);
    eigen_sort(8, w, vr);
    expect_values(w, vr, {{9, -1}, {0, -2}, 5, 6, {10, 2}, {1, 1}, 8, 7});
}

TEST(Ordering, SplitPairs) {
    array1<double> x(6);
    for (int i = 1; i <= 6; ++i) x(i) = 10.0 * i;
    array1<double> y(6);
    array1<int> perm(6);
    split_pairs(6, x, y, perm);
    const int want[] = {1, 3, 5, 2, 4, 6};
    for (int i = 1; i <= 6; ++i) {
        EXPECT_EQ(perm(i), want[i - 1]);
        EXPECT_EQ(y(i), 10.0 * want[i - 1]);
    }
}

TEST(Ordering, SortAbsCentreOut) {
    // Moduli 1..4 sorted s1..s4 end as (s4, s2, s1, s3); with 5, (s4, s2, s1, s3, s5).
    array1<cplx> w;
    full_mat vr;
    tagged({{0, 3}, -1, {4, 0}, {0, -2}}, w, vr);
    array1<cplx> val_tmp(4);
    array1<double> mag(4);
    full_mat vec_tmp(4);
    eigen_sort_abs(4, w, val_tmp, vr, mag, vec_tmp);
    expect_values(w, vr, {{4, 0}, {0, -2}, -1, {0, 3}});

    tagged({5, {0, 3}, -1, {4, 0}, {0, -2}}, w, vr);
    val_tmp.resize(5);
    mag.resize(5);
    vec_tmp.resize(5);
    eigen_sort_abs(5, w, val_tmp, vr, mag, vec_tmp);
    expect_values(w, vr, {{4, 0}, {0, -2}, -1, {0, 3}, 5});
}

TEST(Ordering, SortReImCentreOut) {
    // gam with a real part (5, 2) first by descending Re, then the rest by
    // ascending Im (1, 3); centre-out gives (s4, s2, s1, s3).
    array1<cplx> w;
    full_mat vr;
    tagged({100, 200, 300, 400}, w, vr);
    array1<cplx> gam(4);
    gam(1) = cplx(0, 3);
    gam(2) = cplx(2, 0);
    gam(3) = cplx(0, 1);
    gam(4) = cplx(5, 0);
    array1<cplx> val_tmp(4);
    array1<cplx> gam_tmp(4);
    full_mat vec_tmp(4);
    array1<double> key(4);
    eigen_sort_re_im(4, w, val_tmp, vr, gam, gam_tmp, vec_tmp, key);
    expect_values(w, vr, {100, 200, 400, 300});
    EXPECT_EQ(gam(1), cplx(0, 3));
    EXPECT_EQ(gam(2), cplx(2, 0));
    EXPECT_EQ(gam(3), cplx(5, 0));
    EXPECT_EQ(gam(4), cplx(0, 1));
}
