// Free-format lines. The expected texts are what gfortran 12 writes with
// write(*,*) for the same items.
#include <gtest/gtest.h>

#include <complex>
#include <limits>
#include <string>

#include "textio/free_writer.hpp"

namespace {

using rcwa::textio::free_line;
using cplx = std::complex<double>;

const double nan_v = std::numeric_limits<double>::quiet_NaN();
const double inf_v = std::numeric_limits<double>::infinity();

TEST(TextioFreeLine, MixedItemsAndTheirSeparators) {
    EXPECT_EQ((free_line() << "abc" << 5 << 1.5 << cplx(1, 2) << true).str(),
              " abc           5   1.5000000000000000                    (1.0000000000000000,2.0000000000000000) T");
    // Two texts in a row have no blank between them; every other pair has one.
    EXPECT_EQ((free_line() << "abc" << "def").str(), " abcdef");
    EXPECT_EQ((free_line() << 5 << "abc").str(), "           5 abc");
    EXPECT_EQ((free_line() << true << "x" << false).str(), " T x F");
    EXPECT_EQ((free_line() << "x" << "" << "y").str(), " xy");
    EXPECT_EQ((free_line() << "x" << 1.0 << "y").str(), " x   1.0000000000000000      y");
    // No items: an empty line; an empty text: the leading blank alone.
    EXPECT_EQ(free_line().str(), "");
    EXPECT_EQ((free_line() << "").str(), " ");
}

TEST(TextioFreeLine, IntegersInElevenCharacters) {
    EXPECT_EQ((free_line() << 5 << -5).str(), "           5          -5");
    EXPECT_EQ((free_line() << 2147483647 << (-2147483647 - 1)).str(), "  2147483647 -2147483648");
    EXPECT_EQ((free_line() << 7L).str(), "           7");
}

TEST(TextioFreeLine, RealsInFixedPointBetweenPointOneAndTenToTheSeventeen) {
    EXPECT_EQ((free_line() << 0.0 << -0.0).str(), "   0.0000000000000000       -0.0000000000000000     ");
    EXPECT_EQ((free_line() << 123456789012.0 << 0.1 << 0.01).str(),
              "   123456789012.00000       0.10000000000000001        1.0000000000000000E-002");
    EXPECT_EQ((free_line() << 1e16 << 99999999999999984.0 << 1e17).str(),
              "   10000000000000000.        99999999999999984.        1.0000000000000000E+017");
    EXPECT_EQ((free_line() << -1.0 << -1e-5 << -123.456).str(),
              "  -1.0000000000000000       -1.0000000000000001E-005  -123.45600000000000     ");
    EXPECT_EQ((free_line() << 1e300 << 1e-100).str(), "   1.0000000000000001E+300   1.0000000000000000E-100");
}

TEST(TextioFreeLine, NanAndInfinity) {
    EXPECT_EQ((free_line() << nan_v << inf_v << -inf_v).str(),
              "                       NaN                  Infinity                 -Infinity");
    EXPECT_EQ((free_line() << cplx(nan_v, inf_v) << cplx(-inf_v, 0)).str(),
              "                                             (NaN,Inf)                             (-Inf,0.0000000000000000)");
}

TEST(TextioFreeLine, ComplexPartsWithoutBlanksRightAligned) {
    // In its E form a complex part shows one digit more than a real does.
    EXPECT_EQ((free_line() << cplx(0, -0.0) << cplx(0.1, 0.01) << cplx(1e16, 1e17)).str(),
              "              (0.0000000000000000,-0.0000000000000000)        "
              "(0.10000000000000001,1.00000000000000002E-002)         (10000000000000000.,1.00000000000000000E+017)");
    EXPECT_EQ((free_line() << cplx(-1e300, 1e-300)).str(),
              "  (-1.00000000000000005E+300,1.00000000000000003E-300)");
}

}  // namespace
