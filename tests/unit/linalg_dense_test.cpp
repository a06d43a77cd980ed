// Dense complex routines and the serial inverse.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "linalg/dense.hpp"
#include "support/dense_check.hpp"

using rcwa::linalg::cplx;
using rcwa::linalg::full_mat;
using rcwa::linalg::mat2;
namespace la = rcwa::linalg;

namespace {

full_mat random_mat(int n, unsigned seed) {
    std::mt19937 gen(seed);
    return rcwa_test::random_full(gen, n);
}

// Product written out in the test helpers, independent of the routines under test.
using rcwa_test::mul;

double max_dev_from_identity(const full_mat& a) {
    double dev = 0.0;
    for (int i = 1; i <= a.order(); ++i)
        for (int j = 1; j <= a.order(); ++j)
            dev = std::max(dev, std::abs(a(i, j) - (i == j ? cplx(1.0, 0.0) : cplx(0.0, 0.0))));
    return dev;
}

void expect_same(const full_mat& a, const full_mat& b) {
    for (int i = 1; i <= a.order(); ++i)
        for (int j = 1; j <= a.order(); ++j) EXPECT_EQ(a(i, j), b(i, j)) << i << "," << j;
}

}  // namespace

TEST(DenseMul2x2, ResultMayBeEitherOperand) {
    // column-major: (1,1), (2,1), (1,2), (2,2)
    const mat2 a0 = {cplx(1, 2), cplx(3, -1), cplx(0, 1), cplx(-2, 0.5)};
    const mat2 b0 = {cplx(2, 0), cplx(-1, 1), cplx(4, -3), cplx(0, 2)};
    // [[a11 a12],[a21 a22]] * [[b11 b12],[b21 b22]] written out
    const cplx e11 = a0[0] * b0[0] + a0[2] * b0[1];
    const cplx e21 = a0[1] * b0[0] + a0[3] * b0[1];
    const cplx e12 = a0[0] * b0[2] + a0[2] * b0[3];
    const cplx e22 = a0[1] * b0[2] + a0[3] * b0[3];

    mat2 c;
    la::mul_2x2(a0, b0, c);
    EXPECT_EQ(c[0], e11);
    EXPECT_EQ(c[1], e21);
    EXPECT_EQ(c[2], e12);
    EXPECT_EQ(c[3], e22);

    mat2 b = {b0[0], b0[1], b0[2], b0[3]};
    la::mul_2x2(a0, b, b);  // as the half-space routines call it
    EXPECT_EQ(b[0], e11);
    EXPECT_EQ(b[1], e21);
    EXPECT_EQ(b[2], e12);
    EXPECT_EQ(b[3], e22);

    mat2 a = {a0[0], a0[1], a0[2], a0[3]};
    la::mul_2x2(a, b0, a);
    EXPECT_EQ(a[0], e11);
    EXPECT_EQ(a[1], e21);
    EXPECT_EQ(a[2], e12);
    EXPECT_EQ(a[3], e22);

    mat2 s = {a0[0], a0[1], a0[2], a0[3]};
    la::mul_2x2(s, s, s);  // the square, all three the same
    EXPECT_EQ(s[0], a0[0] * a0[0] + a0[2] * a0[1]);
    EXPECT_EQ(s[3], a0[1] * a0[2] + a0[3] * a0[3]);
}

TEST(DenseScalar, CsqrtSignBranches) {
    cplx w;
    la::csqrt_sign(w, cplx(-4, 0), -1.0);
    EXPECT_EQ(w, cplx(0, -2));
    la::csqrt_sign(w, cplx(3, 4), 1.0);
    EXPECT_EQ(w, cplx(2, 1));
    la::csqrt_sign(w, cplx(3, -4), 1.0);  // the sign comes from s alone
    EXPECT_EQ(w, cplx(2, 1));
    la::csqrt_sign(w, cplx(3, 4), -1.0);  // w*w is the conjugate of z
    EXPECT_EQ(w, cplx(2, -1));
    EXPECT_EQ(w * w, cplx(3, -4));
    la::csqrt_sign(w, cplx(-4, 0), 1.0);
    EXPECT_EQ(w, cplx(0, 2));
    la::csqrt_sign(w, cplx(9, 0), -1.0);
    EXPECT_EQ(w.real(), 3.0);
    EXPECT_EQ(w.imag(), 0.0);
    la::csqrt_sign(w, cplx(0, 0), 1.0);
    EXPECT_EQ(w, cplx(0, 0));

    // With s = 1 and Im(z) >= 0 it is the principal root.
    for (cplx z : {cplx(0.3, 2.5), cplx(-7.25, 0.125), cplx(1e-3, 1e3)}) {
        la::csqrt_sign(w, z, 1.0);
        const cplx p = std::sqrt(z);
        EXPECT_NEAR(w.real(), p.real(), 1e-14 * std::abs(p));
        EXPECT_NEAR(w.imag(), p.imag(), 1e-14 * std::abs(p));
    }

    // A tiny argument whose square underflows gives a finite root.
    la::csqrt_sign(w, cplx(-1e-170, 0), 1.0);
    EXPECT_TRUE(std::isfinite(w.real()));
    EXPECT_TRUE(std::isfinite(w.imag()));
}

TEST(DenseScalar, PhaseAndModulus) {
    EXPECT_EQ(la::phase_deg(cplx(-1, 0)), 180.0);
    EXPECT_EQ(la::phase_deg(cplx(0, -1)), -90.0);
    EXPECT_EQ(la::phase_deg(cplx(0, 1)), 90.0);
    EXPECT_EQ(la::phase_deg(cplx(0, 0)), 0.0);
    EXPECT_EQ(la::phase_deg(cplx(2, 2)), 45.0);
    EXPECT_NEAR(la::phase_deg(cplx(-1, -1e-9)), -180.0, 1e-6);
    EXPECT_EQ(la::c_modulus(cplx(3, 4)), 5.0);
    EXPECT_EQ(la::c_modulus(cplx(-3, -4)), 5.0);
    EXPECT_EQ(la::c_modulus(cplx(0, 0)), 0.0);
}

TEST(DenseElementwise, LincombWithAliasedOutput) {
    const int n = 4;
    const full_mat x0 = random_mat(n, 1);
    const full_mat y0 = random_mat(n, 2);
    full_mat x = x0;
    la::mat_lincomb(n, 1.0, -1.0, x, y0, x);
    full_mat y = y0;
    la::mat_lincomb(n, 2.0, 0.5, x0, y, y);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) {
            EXPECT_EQ(x(i, j), x0(i, j) - y0(i, j));
            EXPECT_EQ(y(i, j), 2.0 * x0(i, j) + 0.5 * y0(i, j));
        }
    full_mat z = x0;
    la::mat_lincomb(n, 1.0, 1.0, z, z, z);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) EXPECT_EQ(z(i, j), 2.0 * x0(i, j));
}

TEST(DenseElementwise, SetDiagScaleCopy) {
    const int n = 3;
    full_mat a = random_mat(n, 3);
    la::mat_set_diag(n, a, cplx(0, 0));
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) EXPECT_EQ(a(i, j), cplx(0, 0));
    la::mat_set_diag(n, a, cplx(2, -1));
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) EXPECT_EQ(a(i, j), i == j ? cplx(2, -1) : cplx(0, 0));

    const full_mat r = random_mat(n, 4);
    full_mat s = r;
    la::mat_scale(n, s, -2.5);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) EXPECT_EQ(s(i, j), cplx(-2.5 * r(i, j).real(), -2.5 * r(i, j).imag()));

    full_mat d(n);
    la::mat_copy(n, d, r);  // destination first
    expect_same(d, r);

    std::vector<cplx> v = {cplx(1, 1), cplx(-2, 0), cplx(0, 3)};
    std::vector<cplx> w(3);
    la::vec_copy(3, w.data(), v.data());
    EXPECT_EQ(w, v);
}

TEST(DenseElementwise, AddSubAddDiagNegateDiagMul) {
    const int n = 3;
    const full_mat a0 = random_mat(n, 5);
    const full_mat b0 = random_mat(n, 6);
    full_mat c(n);
    la::mat_addsub(true, n, a0, b0, c);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) EXPECT_EQ(c(i, j), a0(i, j) + b0(i, j));
    full_mat a = a0;
    la::mat_addsub(false, n, a, b0, a);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) EXPECT_EQ(a(i, j), a0(i, j) - b0(i, j));

    const cplx v(0.5, -2.0);
    la::mat_add_diag(false, n, v, a0, c);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) EXPECT_EQ(c(i, j), a0(i, j) + (i == j ? v : cplx(0, 0)));
    full_mat m = a0;
    la::mat_add_diag(true, n, v, m, m);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) EXPECT_EQ(m(i, j), -(a0(i, j) + (i == j ? v : cplx(0, 0))));

    full_mat z(2);
    la::mat_negate(2, z);
    EXPECT_TRUE(std::signbit(z(1, 2).real()));
    EXPECT_TRUE(std::signbit(z(2, 1).imag()));
    full_mat g = a0;
    la::mat_negate(n, g);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) EXPECT_EQ(g(i, j), -a0(i, j));

    std::vector<cplx> d = {cplx(2, 0), cplx(0, 1), cplx(-1, -1)};
    full_mat e = a0;
    la::diag_mul(n, d, e, e);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) EXPECT_EQ(e(i, j), d[static_cast<std::size_t>(i - 1)] * a0(i, j));
}

TEST(DenseProducts, NaiveProductsAgreeWithTheDefinition) {
    const int n = 5;
    const full_mat a = random_mat(n, 7);
    const full_mat b = random_mat(n, 8);
    const full_mat want = mul(a, b);
    full_mat c(n);
    full_mat c2(n);
    la::matmul_naive(n, a, b, c);
    la::matmul_naive2(n, a, b, c2);
    expect_same(c, want);
    expect_same(c2, c);
}

TEST(DenseNorm, SinglePrecisionFrobenius) {
    for (int n : {1, 2, 3, 7, 10}) {
        full_mat id(n);
        for (int i = 1; i <= n; ++i) id(i, i) = cplx(1, 0);
        EXPECT_EQ(la::mat_norm(n, id), std::sqrt(static_cast<float>(n)));
    }
    full_mat a(2);
    a(1, 2) = cplx(3, 4);
    a(2, 1) = cplx(0, -12);
    EXPECT_EQ(la::mat_norm(2, a), 13.0f);
    // The running sum is single: after the leading 1 (row 1 comes first) every
    // term 1e-8 is lost, where a double sum would give sqrt(1.00001023).
    const int m = 32;
    full_mat s(m);
    for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= m; ++j) s(i, j) = cplx(0, 1e-4);
    s(1, 1) = cplx(1, 0);
    EXPECT_EQ(la::mat_norm(m, s), 1.0f);
}

TEST(DenseInverse, RandomMatrixTimesInverseIsIdentity) {
    for (int n : {1, 2, 6, 40}) {
        const full_mat a0 = random_mat(n, 100 + static_cast<unsigned>(n));
        full_mat a = a0;
        la::matinv_lapack(n, a);
        EXPECT_LT(max_dev_from_identity(mul(a0, a)), 1e-10) << n;
        EXPECT_LT(max_dev_from_identity(mul(a, a0)), 1e-10) << n;
    }
    // A permutation needs pivoting; its inverse is its transpose.
    full_mat p(3);
    p(1, 2) = cplx(1, 0);
    p(2, 3) = cplx(0, 1);
    p(3, 1) = cplx(-1, 0);
    full_mat q = p;
    la::matinv_lapack(3, q);
    EXPECT_EQ(q(2, 1), cplx(1, 0));
    EXPECT_EQ(q(3, 2), cplx(0, -1));
    EXPECT_EQ(q(1, 3), cplx(-1, 0));
    EXPECT_EQ(q(1, 1), cplx(0, 0));
}

TEST(DenseInverse, IdentityStaysIdentity) {
    const int n = 5;
    full_mat a(n);
    for (int i = 1; i <= n; ++i) a(i, i) = cplx(1, 0);
    la::matinv_lapack(n, a);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) EXPECT_EQ(a(i, j), i == j ? cplx(1, 0) : cplx(0, 0));
    full_mat empty;
    la::matinv_lapack(0, empty);  // nothing to do, and no complaint
}

TEST(DenseInverse, SingularIsNotReported) {
    full_mat a(2);
    a(1, 1) = cplx(1, 0);
    a(1, 2) = cplx(2, 0);
    a(2, 1) = cplx(2, 0);
    a(2, 2) = cplx(4, 0);
    la::matinv_lapack(2, a);
    bool non_finite = false;
    for (int i = 1; i <= 2; ++i)
        for (int j = 1; j <= 2; ++j)
            non_finite = non_finite || !std::isfinite(a(i, j).real()) || !std::isfinite(a(i, j).imag());
    EXPECT_TRUE(non_finite);
}
