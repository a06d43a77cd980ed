// The Bessel series against published values and the standard library's
// special functions, which are computed independently of our series.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "linalg/bessel.hpp"

using namespace rcwa::linalg;

namespace {

cplx jn(int n, cplx z) {
    cplx r(99.0, 99.0);
    bessel_jn(r, false, n, z);
    return r;
}

}  // namespace

TEST(Bessel, PublishedValueOfJ0AtOne) {
    const cplx r = jn(0, cplx(1.0, 0.0));
    EXPECT_NEAR(r.real(), 0.7651976865579666, 2e-16);
    EXPECT_EQ(r.imag(), 0.0);
}

TEST(Bessel, AtZero) {
    EXPECT_EQ(jn(0, cplx(0.0, 0.0)), cplx(1.0, 0.0));
    EXPECT_EQ(jn(3, cplx(0.0, 0.0)), cplx(0.0, 0.0));
    EXPECT_EQ(jn(-3, cplx(0.0, 0.0)), cplx(0.0, 0.0));
}

TEST(Bessel, NegativeOrders) {
    const cplx z(1.7, -0.4);
    EXPECT_EQ(jn(-1, z), -jn(1, z));
    EXPECT_EQ(jn(-2, z), jn(2, z));
    EXPECT_EQ(jn(-5, z), -jn(5, z));
}

TEST(Bessel, RealArgumentsAgreeWithStandardLibrary) {
    for (int n : {0, 1, 2, 5, 10}) {
        for (double x : {0.1, 1.0, 2.5, 7.0, 12.0}) {
            const cplx r = jn(n, cplx(x, 0.0));
            const double want = std::cyl_bessel_j(static_cast<double>(n), x);
            // The alternating series loses digits to cancellation for larger x.
            EXPECT_NEAR(r.real(), want, 1e-13 * std::exp(x / 2.0)) << "n=" << n << " x=" << x;
            EXPECT_EQ(r.imag(), 0.0);
        }
    }
}

TEST(Bessel, ImaginaryArgumentGivesModifiedBessel) {
    // J_n(i x) = i^n I_n(x)
    const cplx i_unit(0.0, 1.0);
    for (int n : {0, 1, 2, 3, 4}) {
        for (double x : {0.5, 2.0, 6.0}) {
            const cplx r = jn(n, cplx(0.0, x));
            const cplx want = std::pow(i_unit, n) * std::cyl_bessel_i(static_cast<double>(n), x);
            EXPECT_LT(std::abs(r - want), 1e-14 * std::abs(want)) << "n=" << n << " x=" << x;
        }
    }
}

TEST(Bessel, InvFactorial) {
    EXPECT_EQ(inv_factorial(0), 1.0);
    EXPECT_EQ(inv_factorial(-3), 1.0);
    EXPECT_EQ(inv_factorial(1), 1.0);
    EXPECT_DOUBLE_EQ(inv_factorial(5), 1.0 / 120.0);
    EXPECT_DOUBLE_EQ(inv_factorial(20), 1.0 / 2432902008176640000.0);
}

TEST(Bessel, TablePath) {
    // The built-in table holds zeros; the argument is not used.
    cplx r(5.0, 5.0);
    bessel_jn(r, true, 0, cplx(1.0, 0.0));
    EXPECT_EQ(r, cplx(0.0, 0.0));
    bessel_jn(r, true, 100000, cplx(1.0, 0.0));  // beyond the table: zero, not a stray read
    EXPECT_EQ(r, cplx(0.0, 0.0));

    array1<cplx> table(3);
    table(1) = cplx(1.0, 2.0);
    table(3) = cplx(-4.0, 0.5);
    cplx v;
    bessel_table(3, cplx(7.0, 7.0), table, v);
    EXPECT_EQ(v, cplx(-4.0, 0.5));
    bessel_table(1, cplx(0.0, 0.0), table, v);
    EXPECT_EQ(v, cplx(1.0, 2.0));
    bessel_table(4, cplx(0.0, 0.0), table, v);
    EXPECT_EQ(v, cplx(0.0, 0.0));
}
