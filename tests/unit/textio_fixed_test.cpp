// Fixed-format records. The expected texts are what gfortran 12 writes for
// the same format and values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "textio/fixed_writer.hpp"

namespace {

using namespace rcwa::textio;

std::string w(const char* fmt, std::initializer_list<value> v) { return write_fixed(format(fmt), v); }

const double nan_v = std::numeric_limits<double>::quiet_NaN();
const double inf_v = std::numeric_limits<double>::infinity();

TEST(TextioFixed, IntegersRightAlignedWithAsterisksOnOverflow) {
    EXPECT_EQ(w("(I3,'|',I3,'|',I3,'|',I3,'|',I5,'|',I1,'|',I11)", {5, -99, 999, -100, 0, 10, -2147483647 - 1}),
              "  5|-99|999|***|    0|*|-2147483648");
    EXPECT_EQ(edit_i(-100, 3), "***");
    EXPECT_EQ(edit_i(123456789012LL, 12), "123456789012");
}

TEST(TextioFixed, FixedPointRoundsTheExactBinaryValueHalfToEven) {
    // 0.125 and 2.5 are exact ties (to even); 0.375 too; 3.5 goes up to 4.
    EXPECT_EQ(w("(F5.2,'|',F5.2,'|',F5.0,'|',F5.0)", {0.125, 0.375, 2.5, 3.5}), " 0.12| 0.38|   2.|   4.");
    // 0.123456785 is slightly below the tie in binary.
    EXPECT_EQ(edit_f(0.123456785, 16, 8), "      0.12345678");
    EXPECT_EQ(w("(F11.4,'|',F12.6)", {123456.78, 0.55}), "123456.7800|    0.550000");
}

TEST(TextioFixed, FixedPointNegativeZeroLeadingZeroAndOverflow) {
    // The sign of a negative value that rounds to zero is kept.
    EXPECT_EQ(w("(F12.4,'|',F12.4,'|',F3.1)", {-0.0, -1e-9, -0.04}), "     -0.0000|     -0.0000|-.0");
    // The zero before the point goes when the field has no room for it.
    EXPECT_EQ(w("(F5.4,'|',F4.4,'|',F2.0,'|',F1.0)", {0.5, 0.5, 0.3, 0.0}), ".5000|****|0.|*");
    EXPECT_EQ(w("(F12.4,'|',F12.4)", {1.23456789e7, 1e8}), "************|************");
}

TEST(TextioFixed, ExponentFormsAndExponentsAboveNinetyNine) {
    // Above 99 the letter E gives way to the third exponent digit.
    EXPECT_EQ(w("(E12.4,'|',E12.4,'|',E10.4,'|',E9.4,'|',E8.4,'|',E12.4)", {1e100, 1e-100, 1e100, 1e5, 1e5, 0.0}),
              "  0.1000+101|  0.1000E-99|0.1000+101|.1000E+06|********|  0.0000E+00");
    // Rounding up moves the exponent: 9.99995e99 becomes 0.1000+101.
    EXPECT_EQ(w("(E12.4,'|',E12.4,'|',E12.4)", {9.99995e99, 0.99995, 1e-99}),
              "  0.1000+101|  0.1000E+01|  0.1000E-98");
    EXPECT_EQ(w("(E12.6,'|',E12.6)", {-0.5, 123456789.0}), "-.500000E+00|0.123457E+09");
    EXPECT_EQ(w("(ES12.4,'|',ES12.4,'|',ES16.8,'|',ES10.0,'|',ES11.4,'|',ES15.8,'|',ES12.4)",
                {1e-300, -0.0, 5e-17, 2.5, 9.99995, 1.0 / 3.0, 1e100}),
              "  1.0000-300| -0.0000E+00|  5.00000000E-17|    2.E+00| 1.0000E+01| 3.33333333E-01|  1.0000+100");
}

TEST(TextioFixed, GeneralFormOnBothSidesOfItsRanges) {
    // Below 0.1 after rounding to d digits: E form; at or above it: F form
    // with four blanks; at 10**d after rounding: E form again.
    EXPECT_EQ(w("(G12.4,'|',G12.4,'|',G12.4,'|',G12.4,'|',G12.4,'|',G12.4)",
                {0.0999949, 0.099995001, 9999.4, 9999.6, 0.55, -0.0}),
              "  0.9999E-01|  0.1000    |   9999.    |  0.1000E+05|  0.5500    |  -0.000    ");
    EXPECT_EQ(w("(G12.4,'|',G12.4,'|',G12.4,'|',G12.4,'|',G23.16,'|',G16.8)",
                {1234.5, 12345.0, 1e100, -123.456, 1.0 / 3.0, 99999999.4}),
              "   1234.    |  0.1234E+05|  0.1000+101|  -123.5    | 0.3333333333333333    |   99999999.    ");
}

TEST(TextioFixed, GeneralFormWritesExactZeroInFixedPointWithOneDigitLess) {
    EXPECT_EQ(w("(G12.4,'|',G16.8,'|',G23.16,'|',G11.4,'|',G15.8)", {0.0, 0.0, 0.0, 0.0, 0.0}),
              "   0.000    |   0.0000000    |  0.000000000000000    |  0.000    |  0.0000000    ");
}

TEST(TextioFixed, NanAndInfinityByFieldWidth) {
    EXPECT_EQ(w("(F8.3,'|',E12.4,'|',ES12.4,'|',G12.4,'|',F3.1,'|',F2.1)", {nan_v, nan_v, nan_v, nan_v, nan_v, nan_v}),
              "     NaN|         NaN|         NaN|         NaN|NaN|**");
    EXPECT_EQ(w("(F8.3,'|',E12.4,'|',G12.4,'|',F3.1,'|',F2.1,'|',F4.1)", {inf_v, inf_v, inf_v, inf_v, inf_v, -inf_v}),
              "Infinity|    Infinity|    Infinity|Inf|**|-Inf");
    EXPECT_EQ(w("(F8.3,'|',F9.1,'|',F3.1,'|',G16.8)", {-inf_v, -inf_v, -inf_v, -inf_v}),
              "    -Inf|-Infinity|***|       -Infinity");
}

TEST(TextioFixed, TextsLiteralsBlanksAndGroups) {
    EXPECT_EQ(w("(A,'|',A5,'|',A2,'|',2X,'x',3X)", {"abc", "abc", "abc"}), "abc|  abc|ab|  x");
    EXPECT_EQ(w("('it''s',1X,\"say \"\"hi\"\"\")", {}), "it's say \"hi\"");
    // Blanks of a final nX are not written.
    EXPECT_EQ(w("(2(I2,1X),3X)", {1, 2}), " 1  2");
    // Output stops at the first data descriptor without a value; the literal
    // before it is written.
    EXPECT_EQ(w("(I3,'a',I3,'b',I3)", {1}), "  1a");
    EXPECT_EQ(w("('TIME matmult: ',I3,' minutes',I4,'.',I3,' seconds')", {0, 1, 5}),
              "TIME matmult:   0 minutes   1.  5 seconds");
    EXPECT_EQ(w("(\" Error_TE =\",E12.6,5X,\"Error_TM =\",E12.6)", {1.5e-3, -2e-12}),
              " Error_TE =0.150000E-02     Error_TM =-.200000E-11");
    // Blanks and lower case are allowed in the notation.
    EXPECT_EQ(w("( 2 ( i2 , 1x ) , f5.1 )", {1, 2, 0.25}), " 1  2   0.2");
}

TEST(TextioFixed, ResultRecordLayouts) {
    // The order record of the efficiencies in the narrow fixed-point layout:
    // 75 characters, no blank behind the last value.
    const std::string eff = w("(G12.4,2X,2(I3,2X),4(F12.4,1X))", {0.55, 0, -1, 0.1234, 0.0, -0.5, 0.0});
    EXPECT_EQ(eff, "  0.5500        0   -1        0.1234       0.0000      -0.5000       0.0000");
    EXPECT_EQ(eff.size(), 75u);
    // One index with no blanks behind it: a full value field touches it.
    EXPECT_EQ(w("(G12.4,2X,I3,8(F12.4,1X))", {0.55, -1, 12345678.1, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0}),
              "  0.5500       -1************       1.0000       2.0000       3.0000       4.0000       5.0000"
              "       6.0000       7.0000");
    EXPECT_EQ(w("(F11.4,2X,ES15.8)", {0.55, 5e-17}), "     0.5500   5.00000000E-17");
    const format f("(G12.4,2X,2(I3,2X),2X,8(G16.8,1X))");
    EXPECT_EQ(f.descriptors().size(), 1u + 1u + 4u + 1u + 16u);
}

TEST(TextioFixed, MalformedFormatsAndMismatchedValuesAreRejected) {
    EXPECT_THROW(format("I3"), std::invalid_argument);
    EXPECT_THROW(format("(I3"), std::invalid_argument);
    EXPECT_THROW(format("(E12)"), std::invalid_argument);
    EXPECT_THROW(format("(E12.0)"), std::invalid_argument);
    EXPECT_THROW(format("('abc)"), std::invalid_argument);
    EXPECT_THROW(format("(Q5)"), std::invalid_argument);
    EXPECT_THROW(w("(I3)", {1.5}), std::invalid_argument);
    EXPECT_THROW(w("(F5.1)", {1}), std::invalid_argument);
    EXPECT_THROW(w("(I3)", {1, 2}), std::invalid_argument);
}

}  // namespace
