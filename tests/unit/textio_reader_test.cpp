// Free-format records: each convention of the input files, every kind of read
// error and the end of the file. gfortran's list-directed READ is the
// reference (textio_gfortran_test compares the two on generated records); the
// few places where we keep the Fortran standard's reading instead of
// gfortran's are tested at the end.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "textio/free_reader.hpp"

namespace {

using namespace rcwa::textio;
using cplx = std::complex<double>;

std::string next(line_source& src) {
    std::string line;
    return src.next_line(line) ? line : "<EOF>";
}

TEST(TextioReader, StringSourceLines) {
    string_source a("x\n\ny\n");
    EXPECT_EQ(next(a), "x");
    EXPECT_EQ(next(a), "");
    EXPECT_EQ(next(a), "y");
    EXPECT_EQ(next(a), "<EOF>");
    string_source b("");
    EXPECT_EQ(next(b), "<EOF>");
}

TEST(TextioReader, BlanksCommasTabsAndLineEndsSeparate) {
    string_source src("1 2,3\t4 ,  5\n6\n");
    int a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
    ASSERT_TRUE(read_record(src, {&a, &b, &c, &d, &e, &f}));
    EXPECT_EQ(a + b * 10 + c * 100 + d * 1000 + e * 10000 + f * 100000, 654321);
}

TEST(TextioReader, ContinuationLinesAndTheRestOfTheLastLineSkipped) {
    string_source src("1\n\n   \n  2 3 junk\nnext\n");
    int a = 0, b = 0;
    ASSERT_TRUE(read_record(src, {&a, &b}));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(next(src), "next");
    // A comma that ends a line and one that begins the next are one separator each.
    string_source s2("1,\n2\n3\n,4 junk\n");
    int c = 0, d = 0;
    ASSERT_TRUE(read_record(s2, {&a, &b}));
    ASSERT_TRUE(read_record(s2, {&c, &d}));
    EXPECT_EQ(a * 1000 + b * 100 + c * 10 + d, 1234);
}

TEST(TextioReader, NullValuesLeaveItemsUnchanged) {
    string_source src("1 ,  , 3\n,2\n,,\n1,\n,2\n");
    int a = -1, b = -1, c = -1;
    ASSERT_TRUE(read_record(src, {&a, &b, &c}));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, -1);
    EXPECT_EQ(c, 3);
    a = b = -1;
    ASSERT_TRUE(read_record(src, {&a, &b}));
    EXPECT_EQ(a, -1);
    EXPECT_EQ(b, 2);
    a = b = -1;
    ASSERT_TRUE(read_record(src, {&a, &b}));
    EXPECT_EQ(a, -1);
    EXPECT_EQ(b, -1);
    // A comma at the end of a line and one at the start of the next: a null between.
    ASSERT_TRUE(read_record(src, {&a, &b}));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, -1);
}

TEST(TextioReader, SlashEndsTheReadAndKeepsTheRemainingItems) {
    string_source src("1 /5\nnext\n2/\n'a/b' x/y\n");
    int a = -1, b = -1;
    ASSERT_TRUE(read_record(src, {&a, &b}));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, -1);
    EXPECT_EQ(next(src), "next");
    ASSERT_TRUE(read_record(src, {&a, &b}));
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, -1);
    std::string s, t = "keep";
    ASSERT_TRUE(read_record(src, {text(s, 5), text(t, 5)}));
    EXPECT_EQ(s, "a/b  ");
    EXPECT_EQ(t, "x    ");
}

TEST(TextioReader, RepeatCounts) {
    string_source src("3*1.5\n2* 9\n2*'a b'\n2*,7\n");
    double x = 0, y = 0, z = 0;
    ASSERT_TRUE(read_record(src, {&x, &y, &z}));
    EXPECT_EQ(x + y + z, 4.5);
    int a = -1, b = -1, c = -1;
    ASSERT_TRUE(read_record(src, {&a, &b, &c}));
    EXPECT_EQ(a, -1);
    EXPECT_EQ(b, -1);
    EXPECT_EQ(c, 9);
    std::string s, t;
    ASSERT_TRUE(read_record(src, {text(s, 4), text(t, 2)}));
    EXPECT_EQ(s, "a b ");
    EXPECT_EQ(t, "a ");
    a = b = c = -1;
    ASSERT_TRUE(read_record(src, {&a, &b, &c}));
    EXPECT_EQ(a + b, -2);
    EXPECT_EQ(c, 7);
    // A count of zero, or a count without its star next to it, is an error.
    string_source bad("0*5 9\n2 * 3\n");
    EXPECT_FALSE(read_record(bad, {&a, &b}));
    EXPECT_FALSE(read_record(bad, {&a, &b}));
}

TEST(TextioReader, RealForms) {
    string_source src("1. .5 1e5 1D-5 1q2 +3 1.5+3 1.5-3 -.5 2.5d+003\n");
    double v[10] = {};
    ASSERT_TRUE(read_record(src, {&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9]}));
    const double want[10] = {1.0, 0.5, 1e5, 1e-5, 100.0, 3.0, 1500.0, 1.5e-3, -0.5, 2500.0};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(v[k], want[k]) << k;
    // Correct rounding of long digit strings; out of range gives inf or 0.
    string_source s2("0.1000000000000000055511151231257827021181583404541015625000001 1e400 -1e-400 4.9e-324\n");
    double a, b, c, d;
    ASSERT_TRUE(read_record(s2, {&a, &b, &c, &d}));
    EXPECT_EQ(a, 0.1);
    EXPECT_EQ(b, HUGE_VAL);
    EXPECT_EQ(c, 0.0);
    EXPECT_TRUE(std::signbit(c));
    EXPECT_EQ(d, 4.9e-324);
    string_source s3("inf -Infinity nan NaN(abc_1) +INF\n");
    double e;
    ASSERT_TRUE(read_record(s3, {&a, &b, &c, &d, &e}));
    EXPECT_EQ(a, HUGE_VAL);
    EXPECT_EQ(b, -HUGE_VAL);
    EXPECT_TRUE(std::isnan(c));
    EXPECT_TRUE(std::isnan(d));
    EXPECT_EQ(e, HUGE_VAL);
}

TEST(TextioReader, MalformedRealsAndTextsInNumbersAreReadErrors) {
    for (const char* rec : {"1.5abc", "1.5e", "1.5e+", ".", "e5", ".e5", "'1.5'", "T", "1.5.5", "1e5.5", "infx",
                            "nan(", "nan(a b)", "0x10", "(1,2)", "1.5(", "1.5ee3", "-", "abc"}) {
        string_source src(rec);
        double x = 0;
        EXPECT_FALSE(read_record(src, {&x})) << rec;
    }
}

TEST(TextioReader, Integers) {
    string_source src("+5 -6 007 -2147483648 2147483647\n");
    int a, b, c, d, e;
    ASSERT_TRUE(read_record(src, {&a, &b, &c, &d, &e}));
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, -6);
    EXPECT_EQ(c, 7);
    EXPECT_EQ(d, -2147483647 - 1);
    EXPECT_EQ(e, 2147483647);
    // A decimal point, an exponent, letters, a text or an overflow: read errors.
    for (const char* rec : {"1.0", "1.", "1e2", "5abc", "2147483648", "'5'", "T", "+", "1_8", "5;6"}) {
        string_source bad(rec);
        int x = 0;
        EXPECT_FALSE(read_record(bad, {&x})) << rec;
    }
}

TEST(TextioReader, ComplexValues) {
    string_source src("( 1.5 ,\n -2.5e-3 ) 7\n(1d0,2)\n");
    cplx z;
    int n = 0;
    ASSERT_TRUE(read_record(src, {&z, &n}));
    EXPECT_EQ(z, cplx(1.5, -2.5e-3));
    EXPECT_EQ(n, 7);
    ASSERT_TRUE(read_record(src, {&z}));
    EXPECT_EQ(z, cplx(1, 2));
    for (const char* rec : {"(1 2)", "(1,2)3", "(1,2)x", "1 2", "(,2)", "(1,)", "(1,2,3)", "(1;2)", "(1/2)"}) {
        string_source bad(rec);
        EXPECT_FALSE(read_record(bad, {&z})) << rec;
    }
}

TEST(TextioReader, Logicals) {
    string_source src("T F .T. .F. .TRUE. .false. t f .Tabc .fxyz\n");
    bool v[10];
    ASSERT_TRUE(read_record(src, {&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9]}));
    for (int k = 0; k < 10; ++k) EXPECT_EQ(v[k], k % 2 == 0) << k;
    for (const char* rec : {"x", ".", ". T", "..T", "1", "'T'"}) {
        string_source bad(rec);
        bool b;
        EXPECT_FALSE(read_record(bad, {&b})) << rec;
    }
}

TEST(TextioReader, DelimitedAndUndelimitedTexts) {
    string_source src("'it''s, a/b' \"say \"\"hi\"\"\" 'a\"b' plain,next/rest\n");
    std::string a, b, c, d, e;
    ASSERT_TRUE(read_record(src, {text(a, 12), text(b, 10), text(c, 3), text(d, 5), text(e, 4)}));
    EXPECT_EQ(a, "it's, a/b   ");
    EXPECT_EQ(b, "say \"hi\"  ");
    EXPECT_EQ(c, "a\"b");
    EXPECT_EQ(d, "plain");
    EXPECT_EQ(e, "next");
    // Cut to the declared length, or padded; a line end inside quotes adds nothing.
    string_source s2("abcdefghijklmno 'x' 'ab\ncd' ''\n");
    std::string f, g, h, i;
    ASSERT_TRUE(read_record(s2, {text(f, 10), text(g, 20), text(h, 10), text(i, 3)}));
    EXPECT_EQ(f, "abcdefghij");
    EXPECT_EQ(g, std::string("x") + std::string(19, ' '));
    EXPECT_EQ(h, "abcd      ");
    EXPECT_EQ(i, "   ");
    // File names up to 260 characters, backslashes kept as they are.
    const std::string name = "C:\\data\\" + std::string(300, 'n');
    string_source s3(name + "\n");
    std::string path;
    ASSERT_TRUE(read_record(s3, {text(path, 260)}));
    EXPECT_EQ(path, name.substr(0, 260));
    // A closing quote must be followed by a separator; the end of the file
    // closes an open quote (as gfortran reads it).
    string_source s4("'ab'cd\n");
    EXPECT_FALSE(read_record(s4, {text(a, 4)}));
    string_source s5("'ab\n");
    ASSERT_TRUE(read_record(s5, {text(a, 4)}));
    EXPECT_EQ(a, "ab  ");
}

TEST(TextioReader, ReadWithoutItemsConsumesOneLine) {
    string_source src("'unterminated, 1 2 /\nnext\n");
    EXPECT_TRUE(read_record(src, {}));
    EXPECT_EQ(next(src), "next");
    EXPECT_FALSE(read_record(src, {}));
}

TEST(TextioReader, EndOfFileWhereAnItemIsExpectedIsAReadError) {
    int a = -1, b = -1;
    string_source empty("");
    EXPECT_FALSE(read_record(empty, {&a}));
    string_source one("1\n\n  \n");
    EXPECT_FALSE(read_record(one, {&a, &b}));
    string_source comma("1,\n");
    EXPECT_FALSE(read_record(comma, {&a, &b}));
    string_source nulls("2*\n");
    EXPECT_FALSE(read_record(nulls, {&a, &b, &a}));
    string_source open_complex("(1,\n");
    cplx z;
    EXPECT_FALSE(read_record(open_complex, {&z}));
}

// Where gfortran 12 departs from the standard's reading of list-directed
// input, the standard's reading is kept: a record means the same to every
// Fortran compiler that may have written the system's files before.
TEST(TextioReader, StandardReadingWhereGfortranDeparts) {
    int a = -1, b = -1, c = -1;
    // A line holding only a comma after a line end is a null value (gfortran
    // takes it as part of the separator and reads 6 into the second item).
    string_source s1("5\n,\n,6\n");
    ASSERT_TRUE(read_record(s1, {&a, &b, &c}));
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, -1);
    EXPECT_EQ(c, 6);
    // So is a comma at the start of a record whose first line is blank.
    a = b = -1;
    string_source s2("\n,5\n");
    ASSERT_TRUE(read_record(s2, {&a, &b}));
    EXPECT_EQ(a, -1);
    EXPECT_EQ(b, 5);
    // Letters after T or F end at the separator like those after .T (gfortran
    // takes the blank as the separator and the comma as a null).
    bool p = false, q = true;
    string_source s3("Tabc ,F\nTr/ue F\n");
    ASSERT_TRUE(read_record(s3, {&p, &q}));
    EXPECT_TRUE(p);
    EXPECT_FALSE(q);
    q = true;
    ASSERT_TRUE(read_record(s3, {&p, &q}));
    EXPECT_TRUE(q);
    // r*c gives r copies of the constant c, each read as its item's type
    // (gfortran rejects a repeat that spans items of different types).
    double x = 0;
    string_source s4("2*5\n");
    ASSERT_TRUE(read_record(s4, {&a, &x}));
    EXPECT_EQ(a, 5);
    EXPECT_EQ(x, 5.0);
    // A semicolon is no separator when the decimal mark is a point.
    std::string s;
    string_source s5("a;b c\n");
    ASSERT_TRUE(read_record(s5, {text(s, 3)}));
    EXPECT_EQ(s, "a;b");
}

TEST(TextioReader, FileSourceReadsLinesOfAFile) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("textio_reader_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string name = (dir / "in.txt").string();
    std::ofstream(name, std::ios::binary) << "2D_Stack  \r\n 1.5, 2\r\n(1,0)\r\n";
    file_source f;
    ASSERT_TRUE(f.open(name, true));
    EXPECT_TRUE(f.is_open());
    std::string head;
    double x = 0, y = 0;
    cplx z;
    ASSERT_TRUE(read_record(f, {text(head, 10)}));
    ASSERT_TRUE(read_record(f, {&x, &y}));
    ASSERT_TRUE(read_record(f, {&z}));
    EXPECT_EQ(head, "2D_Stack  ");
    EXPECT_EQ(x, 1.5);
    EXPECT_EQ(y, 2.0);
    EXPECT_EQ(z, cplx(1, 0));
    EXPECT_FALSE(read_record(f, {&x}));
    f.close();
    EXPECT_FALSE(f.is_open());
    file_source missing;
    EXPECT_FALSE(missing.open((dir / "missing.txt").string(), false));
    std::filesystem::remove_all(dir);
}

}  // namespace
