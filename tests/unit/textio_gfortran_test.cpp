// Differential tests: generated values, formats and records go through
// gfortran's own I/O (the oracle program textio_oracle.f90) and through ours;
// the written bytes must be the same, and reads must give the same items or
// fail on both sides. The generator has a fixed seed, so a failure repeats.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "textio/fixed_writer.hpp"
#include "textio/free_reader.hpp"
#include "textio/free_writer.hpp"

#ifndef TEXTIO_ORACLE
#error "TEXTIO_ORACLE (the path of the gfortran oracle program) must be defined"
#endif

namespace {

using namespace rcwa::textio;
namespace fs = std::filesystem;

// ---- random generation ---------------------------------------------------------

class gen {
public:
    explicit gen(std::uint64_t seed) : g_(seed) {}
    std::uint64_t bits() { return g_(); }
    int pick(int n) { return static_cast<int>(g_() % static_cast<std::uint64_t>(n)); }  // 0..n-1
    int range(int lo, int hi) { return lo + pick(hi - lo + 1); }
    bool chance(int percent) { return pick(100) < percent; }
    double unit() { return static_cast<double>(g_() >> 11) * 0x1.0p-53; }

    double real_value() {
        switch (pick(12)) {
        case 0: {  // any bit pattern: denormals, huge values, now and then a NaN
            const std::uint64_t b = bits();
            double v;
            std::memcpy(&v, &b, sizeof v);
            return v;
        }
        case 1: {
            static const double special[] = {0.0,     -0.0,     NAN,          INFINITY,     -INFINITY,
                                             DBL_MAX, -DBL_MAX, DBL_MIN,      4.9e-324,     1e100,
                                             1e-100,  1e-99,    9.99995e99,   -9.99995e-100, 1.0,
                                             0.1,     1e17,     99999999999999984.0, 0.5, -0.5};
            return special[pick(sizeof special / sizeof special[0])];
        }
        case 2:
        case 3: {  // around the thresholds of G: 10**k * (1 - 0.5*10**-d), a few ulps away
            const int d = range(1, 17);
            const int k = range(-2, d + 1);
            double v = std::pow(10.0, k) * (1 - 0.5 * std::pow(10.0, -d));
            for (int s = range(-3, 3); s != 0; s += s > 0 ? -1 : 1) v = std::nextafter(v, s > 0 ? INFINITY : 0.0);
            return chance(30) ? -v : v;
        }
        case 4: {  // halfway cases at the last printed digit (exact in binary or just off)
            const int d = range(0, 8);
            double v = (range(0, 99999) + 0.5) / std::pow(10.0, d);
            if (chance(50)) v = (range(0, 4096) + 0.5) / 1024.0;
            return chance(30) ? -v : v;
        }
        case 5: {  // short decimals, small integers
            const double v = range(-1000, 1000) / std::pow(10.0, range(0, 4));
            return v;
        }
        default: {  // mantissa 1..10 times a power of ten, mostly moderate
            const int k = chance(80) ? range(-20, 20) : range(-320, 308);
            double v = (1 + 9 * unit()) * std::pow(10.0, k);
            return chance(35) ? -v : v;
        }
        }
    }

    int int_value() {
        switch (pick(6)) {
        case 0: {
            static const int special[] = {0, 1, -1, INT_MAX, INT_MIN, 9, 10, 99, 100, -99, -100, 999, -1000};
            return special[pick(sizeof special / sizeof special[0])];
        }
        case 1:
            return static_cast<int>(static_cast<std::uint32_t>(bits()));
        default: {
            const int digits = range(1, 9);
            int v = range(0, 9);
            for (int k = 1; k < digits; ++k) v = v * 10 + range(0, 9);
            return chance(40) ? -v : v;
        }
        }
    }

    std::string printable(int len, bool allow_quotes = true) {
        static const char chars[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,/;:_-+*()!?\\'\"";
        std::string s;
        while (static_cast<int>(s.size()) < len) {
            const char c = chars[pick(sizeof chars - 1)];
            if (!allow_quotes && (c == '\'' || c == '"')) continue;
            s += c;
        }
        return s;
    }

private:
    std::mt19937_64 g_;
};

// The bits of a real, as the oracle reads and prints them.
std::string hex(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(b));
    return buf;
}

// ---- the oracle ----------------------------------------------------------------

// Runs the oracle on the cases and returns its output, split at the "@" lines.
std::vector<std::string> run_oracle(const std::string& input) {
    const fs::path dir = fs::temp_directory_path() / ("textio_oracle_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path in = dir / "cases.txt";
    const fs::path out = dir / "results.txt";
    std::ofstream(in, std::ios::binary) << input;
    const std::string cmd =
        "'" + std::string(TEXTIO_ORACLE) + "' < '" + in.string() + "' > '" + out.string() + "'";
    const int status = std::system(cmd.c_str());
    std::ifstream res(out, std::ios::binary);
    std::stringstream ss;
    ss << res.rdbuf();
    fs::remove_all(dir);
    EXPECT_EQ(status, 0) << "oracle failed";

    std::vector<std::string> cases;
    std::string block, line;
    std::istringstream lines(ss.str());
    while (std::getline(lines, line)) {
        if (line == "@") {
            cases.push_back(block);
            block.clear();
        } else {
            block += line;
            block += '\n';
        }
    }
    return cases;
}

void put_text(std::string& in, std::string_view s) {
    in += std::to_string(s.size()) + "\n";
    in += s;
    in += "\n";
}

// ---- fixed-format writes -------------------------------------------------------

struct fixed_case {
    std::string fmt;
    std::vector<double> lead;
    std::vector<int> ints;
    std::vector<double> tail;
    bool is_text = false;
    std::string text;
};

std::string random_descriptor(gen& g, char kind) {
    char buf[40];
    switch (kind) {
    case 'I':
        std::snprintf(buf, sizeof buf, "I%d", g.range(1, 14));
        break;
    case 'F': {
        const int w = g.range(1, 40);
        std::snprintf(buf, sizeof buf, "F%d.%d", w, g.range(0, std::min(w, 22)));
        break;
    }
    case 'E':
        std::snprintf(buf, sizeof buf, "E%d.%d", g.range(1, 34), g.range(1, 20));
        break;
    case 'S':
        std::snprintf(buf, sizeof buf, "ES%d.%d", g.range(1, 34), g.range(0, 20));
        break;
    default:
        std::snprintf(buf, sizeof buf, "G%d.%d", g.range(1, 34), g.range(1, 20));
        break;
    }
    return buf;
}

std::vector<fixed_case> fixed_cases(gen& g) {
    std::vector<fixed_case> cases;
    // One descriptor, one value.
    for (int n = 0; n < 2500; ++n) {
        fixed_case c;
        const char kind = "IFESG"[g.pick(5)];
        c.fmt = "(" + random_descriptor(g, kind) + ")";
        if (kind == 'I')
            c.ints.push_back(g.int_value());
        else
            c.lead.push_back(g.real_value());
        cases.push_back(c);
    }
    // The layouts of the result records, the timing lines and the console lines.
    const char* order_layouts[] = {
        "(G12.4,2X,2(I3,2X),2X,8(G16.8,1X))", "(G12.4,2X,2(I3,2X),3X,4(G16.8,1X))",
        "(G12.4,2X,2(I3,2X),3X,2(G16.8,1X))", "(G12.4,2X,2(I3,2X),3X,G16.8)",
        "(G12.4,2X,2(I3,2X),8(G12.4,1X))",    "(G12.4,2X,2(I3,2X),3X,4(G12.4,1X))",
        "(G12.4,2X,2(I3,2X),3X,2(G12.4,1X))", "(G12.4,2X,2(I3,2X),3X,G12.4)",
        "(G12.4,2X,2(I3,2X),8(F16.8,1X))",    "(G12.4,2X,2(I3,2X),4(F16.8,1X))",
        "(G12.4,2X,2(I3,2X),2(F16.8,1X))",    "(G12.4,2X,2(I3,2X),F16.8)",
        "(G12.4,2X,I3,2X,I3,8(F12.4,1X))",    "(G12.4,2X,2(I3,2X),4(F12.4,1X))",
        "(G12.4,2X,2(I3,2X),2(F12.4,1X))",    "(G12.4,2X,2(I3,2X),F12.4)",
        "(G12.4,2X,2(I3,2X),8(ES16.8,1X))",   "(G12.4,2X,2(I3,2X),4(ES16.8,1X))",
        "(G12.4,2X,2(I3,2X),2(ES16.8,1X))",   "(G12.4,2X,2(I3,2X),ES16.8)",
        "(G12.4,2X,2(I3,2X),8(ES12.4,1X))",   "(G12.4,2X,2(I3,2X),4(ES12.4,1X))",
        "(G12.4,2X,2(I3,2X),2(ES12.4,1X))",   "(G12.4,2X,2(I3,2X),ES12.4)",
    };
    const char* one_index_layouts[] = {
        "(G12.4,2X,I3,4X,8(G16.8,1X))",  "(G12.4,2X,I3,2X,4(G16.8,1X))", "(G12.4,2X,I3,2X,G16.8)",
        "(G12.4,2X,I3,4X,8(G12.4,1X))",  "(G12.4,2X,I3,4X,2(G12.4,1X))", "(G12.4,2X,I3,2X,8(F16.8,1X))",
        "(G12.4,2X,I3,8(F12.4,1X))",     "(G12.4,2X,I3,2X,4(F12.4,1X))", "(G12.4,2X,I3,2X,F12.4)",
        "(G12.4,2X,I3,2X,8(ES16.8,1X))", "(G12.4,2X,I3,2X,2(ES12.4,1X))", "(G12.4,2X,I3,2X,ES12.4)",
    };
    const char* plain_layouts[] = {
        "(G12.4,4X,4(G16.8,1X))",    "(G12.4,6X,4(G12.4,1X))",    "(G12.4,2X,4(F16.8,1X))",
        "(G12.4,2X,4(F12.4,1X))",    "(G12.4,2X,4(ES16.8,1X))",   "(G12.4,2X,4(ES12.4,1X))",
        "(F11.4,2X,2(G23.16,2X))",   "(F11.4,2X,2(G11.4,2X))",    "(F11.4,2X,2(F15.8,2X))",
        "(F11.4,2X,2(F11.4,2X))",    "(F11.4,2X,2(ES15.8,2X))",   "(F11.4,2X,2(ES11.4,2X))",
        "(F11.4,2X,G15.8)",          "(F11.4,2X,G11.4)",          "(F11.4,2X,F15.8)",
        "(F11.4,2X,F11.4)",          "(F11.4,2X,ES15.8)",         "(F11.4,2X,ES11.4)",
        "(F12.6)",                   "(\" Error_TE =\",E12.6,5X,\"Error_TM =\",E12.6)",
    };
    auto count_reals = [](const std::string& f) {
        // Values a layout takes: every real descriptor, repeat counts included.
        int n = 0;
        format parsed(f);
        for (const auto& d : parsed.descriptors())
            if (d.kind != format::descriptor::X && d.kind != format::descriptor::literal &&
                d.kind != format::descriptor::I)
                ++n;
        return n;
    };
    for (int n = 0; n < 600; ++n) {
        fixed_case c;
        const int which = g.pick(3);
        if (which == 0) {
            c.fmt = order_layouts[g.pick(sizeof order_layouts / sizeof order_layouts[0])];
            c.lead.push_back(g.real_value());
            c.ints = {g.range(-120, 1000), g.range(-120, 120)};
        } else if (which == 1) {
            c.fmt = one_index_layouts[g.pick(sizeof one_index_layouts / sizeof one_index_layouts[0])];
            c.lead.push_back(g.real_value());
            c.ints = {g.range(-120, 1000)};
        } else {
            c.fmt = plain_layouts[g.pick(sizeof plain_layouts / sizeof plain_layouts[0])];
        }
        const int reals = count_reals(c.fmt) - static_cast<int>(c.lead.size());
        for (int k = 0; k < reals; ++k) c.tail.push_back(g.real_value());
        if (which == 2) {
            c.lead = c.tail;
            c.tail.clear();
        }
        cases.push_back(c);
    }
    for (int n = 0; n < 200; ++n) {  // timing lines
        fixed_case c;
        c.fmt = "('TIME for rti_link: ',I3,' minutes',I4,'.',I3,' seconds')";
        c.ints = {g.range(-200, 1200), g.range(-200, 12000), g.range(0, 999)};
        cases.push_back(c);
    }
    // Literals, blanks, groups, and fewer values than descriptors.
    for (int n = 0; n < 400; ++n) {
        fixed_case c;
        std::string f = "(";
        int reals = 0;
        const int parts = g.range(1, 6);
        for (int k = 0; k < parts; ++k) {
            if (k) f += ",";
            switch (g.pick(5)) {
            case 0:
                f += "'" + g.printable(g.range(0, 6), false) + "'";
                break;
            case 1:
                f += std::to_string(g.range(1, 5)) + "X";
                break;
            case 2:
                f += "\"a\"\"b''c\"";
                break;
            default: {
                const int r = g.range(1, 3);
                std::string desc = random_descriptor(g, "FESG"[g.pick(4)]);
                if (g.chance(50)) {
                    f += std::to_string(r) + "(" + desc + "," + std::to_string(g.range(1, 3)) + "X)";
                } else {
                    f += std::to_string(r) + desc;
                }
                reals += r;
            }
            }
        }
        f += ")";
        c.fmt = f;
        const int given = g.chance(30) ? g.range(0, reals) : reals;
        for (int k = 0; k < given; ++k) c.lead.push_back(g.real_value());
        cases.push_back(c);
    }
    // Headings of the result tables: literals and blanks only.
    for (const char* f : {"(\"parameter     y    x\",10X,\"REE\",13X,\"REM\",13X,\"RME\",13X,\"RMM\",13X,\"TEE\","
                          "13X,\"TEM\",13X,\"TME\",13X,\"TMM\")",
                          "(\"parameter     y    x\",9X,\"RE\",10X,\"RM\",10X,\"TE\",10X,\"TM\")",
                          "(\"parameter\",8X,\"tan_r\",7X,\"cos_r\",7X,\"tan_t\",7X,\"cos_t\")",
                          "(\"parameter     y    x\",6X,\"r_EE\",8X,\"i_EE\",8X,\"r_EM\",8X,\"i_EM\")"}) {
        fixed_case c;
        c.fmt = f;
        cases.push_back(c);
    }
    // Texts.
    const char* text_layouts[] = {"(A)", "(A1)", "(A5)", "(A10)", "(A40)", "(\"'\",A,\"'\")",
                                  "(\" opening error:  \",A240)", "(2X,A,3X)"};
    for (int n = 0; n < 200; ++n) {
        fixed_case c;
        c.fmt = text_layouts[g.pick(sizeof text_layouts / sizeof text_layouts[0])];
        c.is_text = true;
        c.text = g.printable(g.chance(20) ? g.range(200, 300) : g.range(0, 15));
        cases.push_back(c);
    }
    return cases;
}

TEST(TextioGfortran, FixedFormatWritesMatchByteForByte) {
    gen g(20240611);
    const std::vector<fixed_case> cases = fixed_cases(g);
    std::string in;
    for (const fixed_case& c : cases) {
        in += "F\n" + c.fmt + "\n";
        in += std::to_string(c.lead.size()) + " " + std::to_string(c.ints.size()) + " " +
              std::to_string(c.tail.size()) + " " + (c.is_text ? "1" : "0") + "\n";
        for (double v : c.lead) in += hex(v) + "\n";
        for (int v : c.ints) in += std::to_string(v) + "\n";
        for (double v : c.tail) in += hex(v) + "\n";
        if (c.is_text) put_text(in, c.text);
    }
    const std::vector<std::string> expected = run_oracle(in);
    ASSERT_EQ(expected.size(), cases.size());
    int failures = 0;
    for (std::size_t k = 0; k < cases.size() && failures < 20; ++k) {
        const fixed_case& c = cases[k];
        std::vector<value> vals;
        for (double v : c.lead) vals.emplace_back(v);
        for (int v : c.ints) vals.emplace_back(v);
        for (double v : c.tail) vals.emplace_back(v);
        if (c.is_text) vals.emplace_back(std::string_view(c.text));
        const std::string got = write_fixed(format(c.fmt), vals) + "\n";
        if (got != expected[k]) {
            ++failures;
            ADD_FAILURE() << "format " << c.fmt << " value "
                          << (c.lead.empty() ? std::string("-") : hex(c.lead[0])) << "\n gfortran [" << expected[k]
                          << "]\n ours     [" << got << "]";
        }
    }
}


// ---- list-directed writes ------------------------------------------------------

struct list_case {
    int pattern = 0;
    std::vector<int> ints;
    std::vector<double> reals;
    std::vector<std::complex<double>> cplx;
    std::vector<bool> logicals;
    std::vector<std::string> texts;
};

TEST(TextioGfortran, FreeLinesMatchListDirectedWrites) {
    gen g(77001);
    std::vector<list_case> cases;
    auto text = [&g] { return g.printable(g.chance(10) ? 0 : g.range(1, 12)); };
    cases.push_back({});  // no items: an empty line
    for (int n = 0; n < 400; ++n) cases.push_back({1, {g.int_value()}, {}, {}, {}, {}});
    for (int n = 0; n < 3000; ++n) cases.push_back({2, {}, {g.real_value()}, {}, {}, {}});
    for (int n = 0; n < 800; ++n) cases.push_back({3, {}, {}, {{g.real_value(), g.real_value()}}, {}, {}});
    cases.push_back({4, {}, {}, {}, {true}, {}});
    cases.push_back({4, {}, {}, {}, {false}, {}});
    for (int n = 0; n < 50; ++n) cases.push_back({5, {}, {}, {}, {}, {text()}});
    for (int n = 0; n < 50; ++n) cases.push_back({6, {}, {}, {}, {}, {text(), text()}});
    for (int n = 0; n < 200; ++n) {
        list_case c;
        c.pattern = 7;
        for (int k = 0; k < 6; ++k) c.ints.push_back(g.int_value());
        for (int k = 0; k < 5; ++k) c.reals.push_back(g.real_value());
        for (int k = 0; k < 5; ++k) c.cplx.emplace_back(g.real_value(), g.real_value());
        for (int k = 0; k < 5; ++k) c.logicals.push_back(g.chance(50));
        for (int k = 0; k < 6; ++k) c.texts.push_back(text());
        cases.push_back(c);
    }

    std::string in;
    for (const list_case& c : cases) {
        in += "L\n" + std::to_string(c.pattern) + "\n";
        for (int v : c.ints) in += std::to_string(v) + "\n";
        for (double v : c.reals) in += hex(v) + "\n";
        for (auto v : c.cplx) in += hex(v.real()) + "\n" + hex(v.imag()) + "\n";
        for (bool v : c.logicals) in += v ? "T\n" : "F\n";
        for (const std::string& t : c.texts) put_text(in, t);
    }
    const std::vector<std::string> expected = run_oracle(in);
    ASSERT_EQ(expected.size(), cases.size());

    int failures = 0;
    for (std::size_t k = 0; k < cases.size() && failures < 20; ++k) {
        const list_case& c = cases[k];
        free_line line;
        switch (c.pattern) {
        case 1: line << c.ints[0]; break;
        case 2: line << c.reals[0]; break;
        case 3: line << c.cplx[0]; break;
        case 4: line << static_cast<bool>(c.logicals[0]); break;
        case 5: line << c.texts[0]; break;
        case 6: line << c.texts[0] << c.texts[1]; break;
        case 7: {
            const auto& i = c.ints;
            const auto& d = c.reals;
            const auto& z = c.cplx;
            const auto l = [&c](int k) { return static_cast<bool>(c.logicals[k]); };
            const auto& s = c.texts;
            line << i[0] << i[1] << d[0] << i[2] << z[0] << i[3] << l(0) << i[4] << s[0] << d[1] << d[2]
                 << z[1] << d[3] << l(1) << d[4] << s[1] << z[2] << z[3] << l(2) << z[4] << s[2] << l(3)
                 << l(4) << s[3] << s[4] << i[5];
            break;
        }
        default: break;
        }
        const std::string got = line.str() + "\n";
        if (got != expected[k]) {
            ++failures;
            ADD_FAILURE() << "pattern " << c.pattern << (c.reals.empty() ? "" : " value " + hex(c.reals[0]))
                          << "\n gfortran [" << expected[k] << "]\n ours     [" << got << "]";
        }
    }
}

// ---- list-directed reads -------------------------------------------------------

// The items of each read pattern, as in the oracle: i integer, d real,
// c complex, l logical, a text(10), b text(20), h text(260), e text(1).
const char* const read_patterns[] = {"",   "i",  "ii",    "iii", "d",  "dd", "ddd",
                                     "c",  "cd", "l",     "ll",  "a",  "aa", "bi",
                                     "h",  "",   "idcla", "cc",  "ee", "di", "lad"};

struct token_gen {
    gen& g;

    std::string int_token(bool valid) {
        if (!valid) {
            static const char* bad[] = {"1.5", "1.",  "1e3", "abc", "'5'", "T",   "5x",   "99999999999",
                                        "2147483648", "--5", "+", "(1,2)", "5.0d0", "0x10", "5abc", "1_8"};
            return bad[g.pick(sizeof bad / sizeof bad[0])];
        }
        const int v = g.int_value();
        std::string s = std::to_string(v);
        if (v >= 0 && g.chance(15)) s = "+" + s;
        if (g.chance(10)) s.insert(s[0] == '-' || s[0] == '+' ? 1 : 0, "00");
        return s;
    }

    std::string digits(int n) {
        std::string s;
        for (int k = 0; k < n; ++k) s += static_cast<char>('0' + g.pick(10));
        return s;
    }

    std::string real_token(bool valid) {
        if (!valid) {
            static const char* bad[] = {"1.5abc", "abc",   ".",      "1e",   "1.5e+", "1.5.5", "e5",
                                        ".e5",    "'1.5'", "T",      "(1,2)", "1.5(", "infx",  "nan(",
                                        "nan(a",  "1.5ee3", "0x1p3", "-",    "+",     "1.5d",  "1e5.5"};
            return bad[g.pick(sizeof bad / sizeof bad[0])];
        }
        switch (g.pick(6)) {
        case 0: {
            static const char* spelled[] = {"inf", "-Inf", "+infinity", "INFINITY", "nan", "NaN",
                                            "-nan", "nan()", "nan(abc_1)", "1.", ".5", "-.5", "+3",
                                            "1e5", "1.5+3", "1.5-3", "00012.5", "1q5", "2.5D-003", "-0",
                                            "1e400", "-1e400", "1e-400", "4.9e-324", "2.2250738585072011e-308"};
            return spelled[g.pick(sizeof spelled / sizeof spelled[0])];
        }
        case 1: {  // long digit strings: the conversion must round correctly
            return (g.chance(30) ? "-" : "") + digits(g.range(1, 3)) + "." + digits(g.range(15, 30)) +
                   (g.chance(50) ? "e" + std::to_string(g.range(-30, 30)) : "");
        }
        case 2: {
            std::string s = g.chance(20) ? "-" : (g.chance(10) ? "+" : "");
            if (g.chance(80)) s += digits(g.range(1, 4));
            if (g.chance(70) || s.empty() || s == "-" || s == "+") s += "." + digits(g.range(1, 5));
            if (g.chance(50)) {
                static const char* letters[] = {"e", "E", "d", "D", "q", "Q", ""};
                std::string letter = letters[g.pick(7)];
                std::string sign = letter.empty() ? (g.chance(50) ? "+" : "-") : (g.chance(30) ? "-" : g.chance(30) ? "+" : "");
                s += letter + sign + digits(g.range(1, 3));
            }
            return s;
        }
        default: {
            double v = g.real_value();
            if (!std::isfinite(v)) v = 1.25;
            char buf[40];
            std::snprintf(buf, sizeof buf, g.chance(50) ? "%.17g" : "%.6g", v);
            return buf;
        }
        }
    }

    std::string ws() {
        static const char* w[] = {"", "", " ", "  ", "\n", " \n  ", "\t"};
        return w[g.pick(7)];
    }

    std::string complex_token(bool valid) {
        if (!valid) {
            static const char* bad[] = {"(1 2)", "(1,2", "1.5",     "(,2)",  "(1,)",  "(1,2)x",
                                        "(1;2)", "(1,2,3)", "((1,2)", "(1/2)", "(T,F)", "('1',2)"};
            return bad[g.pick(sizeof bad / sizeof bad[0])];
        }
        return "(" + ws() + real_token(true) + ws() + "," + ws() + real_token(true) + ws() + ")";
    }

    std::string logical_token(bool valid, bool last) {
        if (!valid) {
            static const char* bad[] = {"x", "1", "'T'", ".", "..T", "0", "(T)", ".x", "yes"};
            return bad[g.pick(sizeof bad / sizeof bad[0])];
        }
        static const char* forms[] = {".T.", ".F.", ".TRUE.", ".FALSE.", ".true.", ".false.", ".t", ".f",
                                      ".Tabc", ".fxyz", "T", "F", "t", "f", ".True.xyz"};
        // Letters after a T or F without the point: only where nothing but the
        // end of the read follows (gfortran reads on in its own way there).
        static const char* last_forms[] = {"true", "FALSE", "Tabc", "fxyz"};
        if (last && g.chance(30)) return last_forms[g.pick(4)];
        return forms[g.pick(sizeof forms / sizeof forms[0])];
    }

    std::string text_token(bool valid, bool long_text) {
        if (!valid) {
            static const char* bad[] = {"'ab'cd", "\"x\"y"};
            return bad[g.pick(2)];
        }
        const int len = long_text && g.chance(50) ? g.range(200, 300) : g.range(0, 24);
        if (g.chance(40)) {  // undelimited: no separators, not starting with a digit or a quote
            static const char first[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_.\\";
            static const char rest[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-:\\()!*+'\"?";
            std::string s(1, first[g.pick(sizeof first - 1)]);
            while (static_cast<int>(s.size()) < std::max(len, 1)) s += rest[g.pick(sizeof rest - 1)];
            return s;
        }
        const char q = g.chance(50) ? '\'' : '"';
        std::string s(1, q);
        for (int k = 0; k < len; ++k) {
            const int r = g.pick(40);
            if (r == 1) {
                s += "\n";  // continued on the next line
            } else {
                const char c = r == 0 ? q : g.printable(1)[0];
                s += c;
                if (c == q) s += q;  // a delimiter inside is doubled
            }
        }
        s += q;
        return s;
    }

    std::string value(char kind, bool valid, bool last) {
        switch (kind) {
        case 'i': return int_token(valid);
        case 'd': return real_token(valid);
        case 'c': return complex_token(valid);
        case 'l': return logical_token(valid, last);
        default: return text_token(valid, kind == 'h');
        }
    }
};

struct read_case {
    int pattern = 0;
    std::vector<std::string> lines;
};

read_case make_read_case(gen& g) {
    token_gen t{g};
    read_case rc;
    rc.pattern = g.range(1, 20);
    const std::string kinds = read_patterns[rc.pattern];
    const int n = static_cast<int>(kinds.size());
    std::string rec;
    bool blank_first_line = false;
    if (g.chance(15)) {
        static const char* lead[] = {"   ", "\n", "\n  \n", "\t", " \n"};
        rec += lead[g.pick(5)];
        blank_first_line = rec.find('\n') != std::string::npos;
    }
    static const char* plain_seps[] = {" ", ",", " , ", "  ", "\t", ", ", "\n", " \n ", ",\n", "\n,", " ,\n  ", "\n\n"};
    static const char* comma_seps[] = {",", " , ", ", ", " ,\n  ", ",\n", "\n,"};
    // After a null value the comma stays on the line of the null: gfortran
    // takes a line of nothing but a comma after a line end as one separator
    // (and a comma after a blank first line likewise), where we keep the null.
    auto sep = [&](bool comma, bool after_null) {
        if (after_null) return comma_seps[g.pick(4)];
        return comma ? comma_seps[g.pick(6)] : plain_seps[g.pick(12)];
    };
    bool prev_null = false;
    bool ended = false;
    int k = 0;
    while (k < n) {
        if (g.chance(2)) {  // the record ends early: the read meets the end of the file
            ended = true;
            rec += g.chance(50) ? "" : " ";
            break;
        }
        if (g.chance(4)) {  // a slash ends the read
            rec += (prev_null || k == 0) ? "/" : std::string(sep(false, false)) + "/";
            k = n;
            break;
        }
        std::string item;
        int covered = 1;
        bool null = false;
        if (g.chance(7) && !(k == 0 && blank_first_line)) {
            null = true;
        } else if (g.chance(7)) {
            int r = g.range(1, 4);
            if (g.chance(50)) {
                item = std::to_string(r) + "*";  // r null values
                null = false;
            } else {
                int same = 1;
                while (k + same < n && kinds[k + same] == kinds[k]) ++same;
                if (r > same && !(k + same == n)) r = same;
                item = std::to_string(r) + "*" + t.value(kinds[k], true, false);
            }
            covered = r;
        } else {
            item = t.value(kinds[k], !g.chance(4), k == n - 1);
        }
        if (k > 0) rec += sep(null || prev_null, prev_null);
        else if (null) rec += g.chance(50) ? "" : " ";
        rec += item;
        prev_null = null;
        k += covered;
    }
    if (!ended) {
        if (prev_null) rec += ",";
        static const char* trailing[] = {"", "", " junk 1 2", ", 5, x", "/", " / more", "\t!note", " 'x", ",,"};
        rec += trailing[g.pick(9)];
    }
    if (!ended && g.chance(60)) {
        static const char* extra[] = {"next 1 2", "", "  x", "7", "'q'"};
        rec += "\n";
        rec += extra[g.pick(5)];
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = rec.find('\n', start);
        rc.lines.push_back(rec.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return rc;
}

void put_d(std::string& o, double v) { o += " d" + (std::isnan(v) ? std::string("NaN") : hex(v)); }

// Our reader on a case, printed as the oracle prints gfortran's results.
std::string our_read(const read_case& rc) {
    std::string text;
    for (const std::string& l : rc.lines) text += l + "\n";
    std::string out[2];
    std::string next;
    for (int pass = 0; pass < 2; ++pass) {
        const bool first = pass == 0;
        int i1 = first ? -7 : 99, i2 = i1, i3 = i1;
        double d1 = first ? -7.0 : 99.5, d2 = d1, d3 = d1;
        std::complex<double> c1 = first ? std::complex<double>(-7, -7) : std::complex<double>(99.5, -99.5), c2 = c1;
        bool l1 = !first, l2 = !first;
        const char fill = first ? '#' : '%';
        std::string a1(1, fill), b1(1, fill), a10(10, fill), b10(10, fill), a20(20, fill), a260(260, fill);
        string_source src(text);
        bool ok = false;
        std::string& o = out[pass];
        auto pi = [&o](int v) { o += " i" + std::to_string(v); };
        auto pd = [&o](double v) { put_d(o, v); };
        auto pc = [&o](std::complex<double> v) { put_d(o, v.real()); put_d(o, v.imag()); };
        auto pl = [&o](bool v) { o += v ? " lT" : " lF"; };
        auto ps = [&o](const std::string& v) { o += " s[" + v + "]"; };
        switch (rc.pattern) {
        case 1: ok = read_record(src, {&i1}); if (ok) pi(i1); break;
        case 2: ok = read_record(src, {&i1, &i2}); if (ok) { pi(i1); pi(i2); } break;
        case 3: ok = read_record(src, {&i1, &i2, &i3}); if (ok) { pi(i1); pi(i2); pi(i3); } break;
        case 4: ok = read_record(src, {&d1}); if (ok) pd(d1); break;
        case 5: ok = read_record(src, {&d1, &d2}); if (ok) { pd(d1); pd(d2); } break;
        case 6: ok = read_record(src, {&d1, &d2, &d3}); if (ok) { pd(d1); pd(d2); pd(d3); } break;
        case 7: ok = read_record(src, {&c1}); if (ok) pc(c1); break;
        case 8: ok = read_record(src, {&c1, &d1}); if (ok) { pc(c1); pd(d1); } break;
        case 9: ok = read_record(src, {&l1}); if (ok) pl(l1); break;
        case 10: ok = read_record(src, {&l1, &l2}); if (ok) { pl(l1); pl(l2); } break;
        case 11: ok = read_record(src, {rcwa::textio::text(a10, 10)}); if (ok) ps(a10); break;
        case 12:
            ok = read_record(src, {rcwa::textio::text(a10, 10), rcwa::textio::text(b10, 10)});
            if (ok) { ps(a10); ps(b10); }
            break;
        case 13: ok = read_record(src, {rcwa::textio::text(a20, 20), &i1}); if (ok) { ps(a20); pi(i1); } break;
        case 14: ok = read_record(src, {rcwa::textio::text(a260, 260)}); if (ok) ps(a260); break;
        case 15: ok = read_record(src, {}); break;
        case 16:
            ok = read_record(src, {&i1, &d1, &c1, &l1, rcwa::textio::text(a10, 10)});
            if (ok) { pi(i1); pd(d1); pc(c1); pl(l1); ps(a10); }
            break;
        case 17: ok = read_record(src, {&c1, &c2}); if (ok) { pc(c1); pc(c2); } break;
        case 18:
            ok = read_record(src, {rcwa::textio::text(a1, 1), rcwa::textio::text(b1, 1)});
            if (ok) { ps(a1); ps(b1); }
            break;
        case 19: ok = read_record(src, {&d1, &i1}); if (ok) { pd(d1); pi(i1); } break;
        case 20:
            ok = read_record(src, {&l1, rcwa::textio::text(a10, 10), &d1});
            if (ok) { pl(l1); ps(a10); pd(d1); }
            break;
        default: break;
        }
        if (!ok) return "ERR\n";
        if (first) {
            std::string line;
            next = src.next_line(line) ? line : "<EOF>";
        }
    }
    return out[0] + "\n" + out[1] + "\n" + "next [" + next + "]\n";
}

TEST(TextioGfortran, ReadsGiveTheSameItemsOrFailOnBothSides) {
    gen g(5150);
    std::vector<read_case> cases;
    for (int n = 0; n < 4000; ++n) cases.push_back(make_read_case(g));
    // A read with no items takes one line, whatever it holds; at the end of
    // the file it fails.
    cases.push_back({15, {"'unterminated", "next"}});
    cases.push_back({15, {}});
    cases.push_back({1, {}});

    std::string in;
    for (const read_case& rc : cases) {
        in += "R\n" + std::to_string(rc.pattern) + " " + std::to_string(rc.lines.size()) + "\n";
        for (const std::string& l : rc.lines) put_text(in, l);
    }
    const std::vector<std::string> expected = run_oracle(in);
    ASSERT_EQ(expected.size(), cases.size());
    int failures = 0, errors = 0;
    for (std::size_t k = 0; k < cases.size() && failures < 20; ++k) {
        const std::string got = our_read(cases[k]);
        if (expected[k] == "ERR\n") ++errors;
        if (got != expected[k]) {
            ++failures;
            std::string shown;
            for (const std::string& l : cases[k].lines) shown += "  |" + l + "|\n";
            ADD_FAILURE() << "pattern " << read_patterns[cases[k].pattern] << " (" << cases[k].pattern << ")\n"
                          << shown << " gfortran " << expected[k] << " ours     " << got;
        }
    }
    // Both kinds of outcome must be well represented.
    EXPECT_GT(errors, 200);
    EXPECT_LT(errors, 2000);
}

}  // namespace
