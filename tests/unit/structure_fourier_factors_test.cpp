// The two eigen-matrix factors: the closed form for one order, the dispersion
// relation of a homogeneous medium (orthogonal and oblique lattice), and the
// mixed rule as the Li form with exchanged weights.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "structure/eigen_factors.hpp"
#include "unit/structure_fourier_support.hpp"

namespace {

using namespace fourier_test;
using rcwa::structure::eigen_matrix_eps;
using rcwa::structure::eigen_matrix_li;
using rcwa::structure::eigen_matrix_mix;

using rcwa::structure::order_set;

order_set make_lattice(int iomax, double dy, double dz, double kiy, double kiz) {
    order_set l = square_orders(iomax).set();
    const int n1 = l.nmax1d;
    l.ky_1d.resize(n1);
    l.kz_1d.resize(n1);
    for (int m = 1; m <= n1; ++m) {
        l.ky_1d(m) = (m - iomax - 1) * 2.0 * pi / dy + kiy;
        l.kz_1d(m) = (m - iomax - 1) * 2.0 * pi / dz + kiz;
    }
    return l;
}

full_mat random_mat(int n, std::mt19937& g) {
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    full_mat a(n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) a(i, j) = cplx(d(g), d(g));
    return a;
}

TEST(EigenFactors, OneOrderOrthogonalClosedForm) {
    order_set one = square_orders(0).set();
    one.ky_1d.resize(1, 0.7);
    one.kz_1d.resize(1, -1.3);
    const double k = 2.5;
    const cplx e(0.4, 0.1), a(3.0, 0.2), b(2.0, -0.3), v(9.0, 9.0);
    full_mat econv(1), a1(1), b1(1), v1(1), p(2), q(2);
    econv(1, 1) = e;
    a1(1, 1) = a;
    b1(1, 1) = b;
    v1(1, 1) = v;
    eigen_matrix_eps(one, k, econv, 0.0, p);
    eigen_matrix_li(one, k, a1, b1, v1, 0.0, q);
    const cplx I(0.0, 1.0);
    const double y = 0.7, z = -1.3;
    EXPECT_NEAR(std::abs(p(1, 1) - I * (z * y * e)), 0.0, 1e-15);
    EXPECT_NEAR(std::abs(p(1, 2) - I * (k - z * z * e)), 0.0, 1e-15);
    EXPECT_NEAR(std::abs(p(2, 1) - I * (y * y * e - k)), 0.0, 1e-15);
    EXPECT_NEAR(std::abs(p(2, 2) - I * (-y * z * e)), 0.0, 1e-15);
    // At a zero grid angle the inverse-rule matrix does not enter at all.
    EXPECT_EQ(q(1, 1), I * cplx(-y * z, 0.0));
    EXPECT_EQ(q(2, 2), I * cplx(y * z, 0.0));
    EXPECT_NEAR(std::abs(q(1, 2) - I * (z * z - k * b)), 0.0, 1e-15);
    EXPECT_NEAR(std::abs(q(2, 1) - I * (k * a - y * y)), 0.0, 1e-15);
}

TEST(EigenFactors, OrthogonalGridLeavesInverseRuleOut) {
    std::mt19937 g(7);
    const order_set l = make_lattice(1, 0.8, 1.1, 0.3, -0.2);
    const int n = l.norder;
    full_mat a = random_mat(n, g), b = random_mat(n, g), v = random_mat(n, g), q(2 * n);
    eigen_matrix_li(l, 1.7, a, b, v, 0.0, q);
    for (int r = 1; r <= n; ++r)
        for (int c = 1; c <= n; ++c) {
            const cplx expect = r == c ? cplx(0.0, -l.ky(r) * l.kz(r)) : cplx(0.0, 0.0);
            EXPECT_EQ(q(r, c), expect);
            EXPECT_EQ(q(n + r, n + c), -expect);
        }
}

// In a homogeneous medium every order is a mode of its own with
// gamma^2 = k0^2 eps - kt^2, so M = P Q / cos^2 = -k0^2 (k0^2 eps - kt^2) I.
void check_homogeneous(double angle_deg, bool li) {
    const double dy = 0.9, dz = 1.3, k0sq = std::pow(2.0 * pi / 0.63, 2);
    const order_set l = make_lattice(1, dy, dz, 0.7, -0.4);
    const int n = l.norder;
    const cplx eps(2.25, 0.3);
    full_mat econv(n), a(n), b(n), v(n), p(2 * n), q(2 * n);
    for (int i = 1; i <= n; ++i) {
        econv(i, i) = 1.0 / eps;
        a(i, i) = b(i, i) = v(i, i) = eps;
    }
    eigen_matrix_eps(l, k0sq, econv, angle_deg, p);
    if (li)
        eigen_matrix_li(l, k0sq, a, b, v, angle_deg, q);
    else
        eigen_matrix_mix(l, k0sq, 0.37, a, v, angle_deg, q);
    const double c = std::cos(angle_deg * pi / 180.0), s = std::sin(angle_deg * pi / 180.0);
    full_mat m = product(p, q);
    for (int r = 1; r <= 2 * n; ++r)
        for (int col = 1; col <= 2 * n; ++col) {
            const int o = r > n ? r - n : r;
            const double ky = l.ky(o), kz = l.kz(o);
            const double kt2 = (ky * ky + kz * kz - 2.0 * ky * kz * s) / (c * c);
            const cplx expect = r == col ? -k0sq * (k0sq * eps - kt2) : cplx(0.0, 0.0);
            EXPECT_NEAR(std::abs(m(r, col) / (c * c) - expect), 0.0, 1e-11 * k0sq * k0sq)
                << r << "," << col;
        }
}

TEST(EigenFactors, HomogeneousDispersionOrthogonal) {
    check_homogeneous(0.0, true);
    check_homogeneous(0.0, false);
}

TEST(EigenFactors, HomogeneousDispersionOblique) {
    check_homogeneous(25.0, true);
    check_homogeneous(-40.0, false);
}

// The mixed rule is the Li form with B = w A + (1-w) V and A = (1-w) A + w V.
TEST(EigenFactors, MixIsLiWithExchangedWeights) {
    std::mt19937 g(11);
    const order_set l = make_lattice(1, 1.0, 0.7, -0.1, 0.5);
    const int n = l.norder;
    full_mat a = random_mat(n, g), v = random_mat(n, g);
    for (double angle : {0.0, 25.0}) {
        for (double w : {0.0, 1.0, 0.3, 1.7}) {
            full_mat a2(n), b2(n), qm(2 * n), ql(2 * n);
            for (int j = 1; j <= n; ++j)
                for (int i = 1; i <= n; ++i) {
                    b2(i, j) = w * a(i, j) + (1.0 - w) * v(i, j);
                    a2(i, j) = (1.0 - w) * a(i, j) + w * v(i, j);
                }
            eigen_matrix_mix(l, 1.3, w, a, v, angle, qm);
            eigen_matrix_li(l, 1.3, a2, b2, v, angle, ql);
            EXPECT_LT(max_abs_diff(qm, ql), 1e-12) << angle << " " << w;
        }
    }
}

}  // namespace
