// The seven record writers: the documented records byte for byte, and every
// layout of every i_format against gfortran writing the same values with the
// same edit descriptors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/platform.hpp"
#include "run/writers.hpp"

namespace pf = rcwa::platform;
using namespace rcwa::run;

namespace {

std::string read_all(const std::string& p) {
    std::ifstream i(p, std::ios::binary);
    std::stringstream s;
    s << i.rdbuf();
    return s.str();
}

class scratch {
public:
    scratch() {
        char tmpl[] = "/tmp/rcwa_writers_XXXXXX";
        if (::mkdtemp(tmpl) == nullptr) std::abort();
        dir_ = tmpl;
    }
    ~scratch() {
        const std::string cmd = "rm -rf '" + dir_ + "'";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", dir_.c_str());
    }
    std::string file(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

// What one call of a writer puts in a new file.
std::string written(const std::function<void(pf::out_file&, bool&)>& call, bool* flag = nullptr) {
    static scratch dir;
    const std::string p = dir.file("rec.txt");
    pf::delete_file(p);
    pf::out_file f;
    if (!f.open_append(p)) return "<open failed>";
    bool err = false;
    call(f, err);
    f.close();
    if (flag != nullptr) *flag = err;
    return read_all(p);
}

std::vector<std::string> tokens(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> t;
    std::string w;
    while (in >> w) t.push_back(w);
    return t;
}

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

}  // namespace

// ---- the documented records ------------------------------------------------------

TEST(RunWriters, OrderEffNarrowFixedRecordOf75Characters) {
    const double v[4] = {0.1234, 5e-17, -0.5, -0.0};
    const std::string rec = written([&](pf::out_file& f, bool& e) {
        write_order_four(f, 4, 0.55, 0, -1, v, e);
    });
    const std::string expect = "  0.5500    " + blanks(2) + "  0" + blanks(2) + " -1" + blanks(2) +
                               "      0.1234" + " " + "      0.0000" + " " + "     -0.5000" + " " +
                               "      0.0000";
    EXPECT_EQ(rec, expect + "\n");
    EXPECT_EQ(expect.size(), 75u);
}

TEST(RunWriters, OrderEffOneIndexTwin) {
    const double v[4] = {0.1234, 5e-17, -0.5, -0.0};
    const std::string rec = written([&](pf::out_file& f, bool& e) {
        write_order_four(f, -4, 0.55, 0, -1, v, e);
    });
    EXPECT_EQ(rec, "  0.5500    " + blanks(2) + "  0" + blanks(2) + "      0.1234" + " " +
                       "      0.0000" + " " + "     -0.5000" + " " + "      0.0000\n");
}

TEST(RunWriters, ParamOneKeepsTinyValues) {
    const std::string rec = written([](pf::out_file& f, bool& e) {
        write_param_one(f, 5, 0.55, 5e-17, e);
    });
    EXPECT_EQ(rec, "     0.5500" + blanks(2) + " 5.00000000E-17\n");
    // narrow fixed: parameter in columns 1-11, value in 14-24, nothing behind
    const std::string rec4 = written([](pf::out_file& f, bool& e) {
        write_param_one(f, 4, 0.55, -2.5, e);
    });
    EXPECT_EQ(rec4, "     0.5500" + blanks(2) + "    -2.5000\n");
}

TEST(RunWriters, OrderAmpColumnPositions) {
    // values that fill their F12.4 field show where each field starts
    const double v[8] = {-100000.0, -200000.0, -300000.0, -400000.0,
                         -500000.0, -600000.0, -700000.0, -800000.0};
    struct layout {
        int i_format;
        int first;  // column of the first value
    };
    for (const layout l : {layout{4, 23}, layout{-4, 18}}) {
        std::string rec = written([&](pf::out_file& f, bool& e) {
            write_order_eight(f, l.i_format, 0.5, 3, -7, v, e);
        });
        ASSERT_FALSE(rec.empty());
        rec.pop_back();
        SCOPED_TRACE(l.i_format);
        EXPECT_EQ(rec.substr(0, 12), "  0.5000    ");
        EXPECT_EQ(rec.substr(14, 3), "  3");
        if (l.i_format == 4) {
            EXPECT_EQ(rec.substr(17, 5), "   -7");
        }
        for (int k = 1; k <= 8; ++k) {
            const std::size_t col = static_cast<std::size_t>(l.first + 13 * (k - 1));
            EXPECT_EQ(rec.substr(col - 1, 12), "-" + std::to_string(k) + "00000.0000");
            if (k < 8) {
                EXPECT_EQ(rec[col - 1 + 12], ' ');
            }
        }
        EXPECT_EQ(rec.size(), static_cast<std::size_t>(l.first + 13 * 7 + 11));
    }
    // G12.4 values: i2 in 15-17, i1 in 20-22, value k in 25+13(k-1) .. 36+13(k-1)
    const double g[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::string rec = written([&](pf::out_file& f, bool& e) {
        write_order_eight(f, 2, 0.5, -2, 11, g, e);
    });
    rec.pop_back();
    EXPECT_EQ(rec.substr(12, 2), "  ");
    EXPECT_EQ(rec.substr(14, 3), " -2");
    EXPECT_EQ(rec.substr(17, 2), "  ");
    EXPECT_EQ(rec.substr(19, 3), " 11");
    EXPECT_EQ(rec.substr(22, 2), "  ");
    for (int k = 1; k <= 8; ++k) {
        const std::size_t col = static_cast<std::size_t>(25 + 13 * (k - 1));
        EXPECT_EQ(rec.substr(col - 1, 12), "   " + std::to_string(k) + ".000    ");
    }
}

TEST(RunWriters, IndexFieldTouchesFirstValueAtMinusFour) {
    const double v[8] = {-123456.5, 0, 0, 0, 0, 0, 0, 0};
    std::string rec = written([&](pf::out_file& f, bool& e) {
        write_order_eight(f, -4, 1.0, 12, 0, v, e);
    });
    EXPECT_EQ(rec.substr(14, 3 + 12), " 12-123456.5000");
}

TEST(RunWriters, PrintThresholdOnlyInOrderRecords) {
    const double tiny = 1.0e-16;                 // below 1e-16 taken in single precision
    const double edge = 1.0000000168623835e-16;  // that value itself: kept
    const double v[4] = {tiny, -tiny, edge, -0.0};
    const std::string rec = written([&](pf::out_file& f, bool& e) {
        write_order_four(f, 5, 1.0, 0, 0, v, e);
    });
    EXPECT_EQ(tokens(rec), (std::vector<std::string>{"1.000", "0", "0", "0.00000000E+00",
                                                     "0.00000000E+00", "1.00000002E-16",
                                                     "0.00000000E+00"}));
    const std::string ell = written([&](pf::out_file& f, bool& e) { write_ellipso(f, 5, 1.0, v, e); });
    EXPECT_EQ(tokens(ell), (std::vector<std::string>{"1.000", "1.00000000E-16", "-1.00000000E-16",
                                                     "1.00000002E-16", "-0.00000000E+00"}));
    const std::string par = written([&](pf::out_file& f, bool& e) { write_param_two(f, 6, 1.0, tiny, -0.0, e); });
    EXPECT_EQ(tokens(par), (std::vector<std::string>{"1.0000", "1.0000E-16", "-0.0000E+00"}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double n4[4] = {nan, 0, 0, 0};
    const std::string rn = written([&](pf::out_file& f, bool& e) { write_order_four(f, 4, 1.0, 0, 0, n4, e); });
    EXPECT_EQ(tokens(rn)[3], "NaN") << rn;
}

TEST(RunWriters, UnsupportedFormatsWriteNothing) {
    const double v8[8] = {}, v4[4] = {}, v2[2] = {};
    for (int fmt : {0, 7, -7, 100, -100}) {
        bool flag = false;
        std::string all;
        all += written([&](pf::out_file& f, bool& e) { write_order_eight(f, fmt, 1, 0, 0, v8, e); }, &flag);
        EXPECT_FALSE(flag);
        all += written([&](pf::out_file& f, bool& e) { write_order_four(f, fmt, 1, 0, 0, v4, e); }, &flag);
        all += written([&](pf::out_file& f, bool& e) { write_order_two(f, fmt, 1, 0, 0, v2, e); }, &flag);
        all += written([&](pf::out_file& f, bool& e) { write_order_one(f, fmt, 1, 0, 0, 1.0, e); }, &flag);
        all += written([&](pf::out_file& f, bool& e) { write_ellipso(f, fmt, 1, v4, e); }, &flag);
        all += written([&](pf::out_file& f, bool& e) { write_param_two(f, fmt, 1, 1, 2, e); }, &flag);
        all += written([&](pf::out_file& f, bool& e) { write_param_one(f, fmt, 1, 1, e); }, &flag);
        EXPECT_EQ(all, "") << fmt;
        EXPECT_FALSE(flag);
    }
}

TEST(RunWriters, PlainRecordsIgnoreTheSign) {
    const double v4[4] = {0.25, -1.5e-3, 42.0, -7.0};
    for (int fmt = 1; fmt <= 6; ++fmt) {
        auto w = [&](int s) {
            return written([&](pf::out_file& f, bool& e) {
                write_ellipso(f, s, 3.5, v4, e);
                write_param_two(f, s, 3.5, v4[0], v4[1], e);
                write_param_one(f, s, 3.5, v4[2], e);
            });
        };
        EXPECT_EQ(w(fmt), w(-fmt)) << fmt;
    }
}

TEST(RunWriters, ErrFlagIsSetOnFailureAndNeverCleared) {
    // a full device: records go to the buffer until it must be written out
    pf::out_file full;
    ASSERT_TRUE(full.open_append("/dev/full", false));
    bool err = false;
    const double v8[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (int k = 0; k < 2000 && !err; ++k) write_order_eight(full, 1, 1.0, 0, 0, v8, err);
    EXPECT_TRUE(err);
    full.close();

    bool flag = true;
    const std::string rec = written(
        [&](pf::out_file& f, bool& e) {
            e = true;  // an earlier failure
            write_param_one(f, 4, 1.0, 2.0, e);
            flag = e;
        });
    EXPECT_EQ(rec, "     1.0000       2.0000\n");
    EXPECT_TRUE(flag);
}

// ---- every layout against gfortran ----------------------------------------------------

namespace {

const char* oracle_source = R"(program oracle
  implicit none
  character(len=200) :: fmt
  integer :: thr, nidx, nval, idx(2), ios
  double precision :: par, v(8)
  do
    read(*,'(A)',iostat=ios) fmt
    if (ios /= 0) exit
    read(*,*) thr, nidx, nval
    read(*,*) par, idx(1:nidx), v(1:nval)
    if (thr == 1) then
      where (abs(v(1:nval)) < 1.0e-16) v(1:nval) = 0d0
    end if
    write(*,fmt) par, idx(1:nidx), v(1:nval)
  end do
end program
)";

// The layouts as the documentation lists them, by i_format -6..-1, 1..6.
struct layout_row {
    int i_format;
    const char* amp;
    const char* eff;
    const char* te_tm;
    const char* one;
};
const layout_row order_rows[] = {
    {1, "(G12.4,2X,2(I3,2X),2X,8(G16.8,1X))", "(G12.4,2X,2(I3,2X),3X,4(G16.8,1X))",
     "(G12.4,2X,2(I3,2X),3X,2(G16.8,1X))", "(G12.4,2X,2(I3,2X),3X,G16.8)"},
    {2, "(G12.4,2X,2(I3,2X),8(G12.4,1X))", "(G12.4,2X,2(I3,2X),3X,4(G12.4,1X))",
     "(G12.4,2X,2(I3,2X),3X,2(G12.4,1X))", "(G12.4,2X,2(I3,2X),3X,G12.4)"},
    {3, "(G12.4,2X,2(I3,2X),8(F16.8,1X))", "(G12.4,2X,2(I3,2X),4(F16.8,1X))",
     "(G12.4,2X,2(I3,2X),2(F16.8,1X))", "(G12.4,2X,2(I3,2X),F16.8)"},
    {4, "(G12.4,2X,I3,2X,I3,8(F12.4,1X))", "(G12.4,2X,2(I3,2X),4(F12.4,1X))",
     "(G12.4,2X,2(I3,2X),2(F12.4,1X))", "(G12.4,2X,2(I3,2X),F12.4)"},
    {5, "(G12.4,2X,2(I3,2X),8(ES16.8,1X))", "(G12.4,2X,2(I3,2X),4(ES16.8,1X))",
     "(G12.4,2X,2(I3,2X),2(ES16.8,1X))", "(G12.4,2X,2(I3,2X),ES16.8)"},
    {6, "(G12.4,2X,2(I3,2X),8(ES12.4,1X))", "(G12.4,2X,2(I3,2X),4(ES12.4,1X))",
     "(G12.4,2X,2(I3,2X),2(ES12.4,1X))", "(G12.4,2X,2(I3,2X),ES12.4)"},
    {-1, "(G12.4,2X,I3,4X,8(G16.8,1X))", "(G12.4,2X,I3,2X,4(G16.8,1X))",
     "(G12.4,2X,I3,2X,2(G16.8,1X))", "(G12.4,2X,I3,2X,G16.8)"},
    {-2, "(G12.4,2X,I3,4X,8(G12.4,1X))", "(G12.4,2X,I3,4X,4(G12.4,1X))",
     "(G12.4,2X,I3,4X,2(G12.4,1X))", "(G12.4,2X,I3,4X,G12.4)"},
    {-3, "(G12.4,2X,I3,2X,8(F16.8,1X))", "(G12.4,2X,I3,2X,4(F16.8,1X))",
     "(G12.4,2X,I3,2X,2(F16.8,1X))", "(G12.4,2X,I3,2X,F16.8)"},
    {-4, "(G12.4,2X,I3,8(F12.4,1X))", "(G12.4,2X,I3,2X,4(F12.4,1X))",
     "(G12.4,2X,I3,2X,2(F12.4,1X))", "(G12.4,2X,I3,2X,F12.4)"},
    {-5, "(G12.4,2X,I3,2X,8(ES16.8,1X))", "(G12.4,2X,I3,2X,4(ES16.8,1X))",
     "(G12.4,2X,I3,2X,2(ES16.8,1X))", "(G12.4,2X,I3,2X,ES16.8)"},
    {-6, "(G12.4,2X,I3,2X,8(ES12.4,1X))", "(G12.4,2X,I3,2X,4(ES12.4,1X))",
     "(G12.4,2X,I3,2X,2(ES12.4,1X))", "(G12.4,2X,I3,2X,ES12.4)"},
};
struct plain_row {
    const char* ellipso;
    const char* two;
    const char* one;
};
const plain_row plain_rows[] = {
    {"(G12.4,4X,4(G16.8,1X))", "(F11.4,2X,2(G23.16,2X))", "(F11.4,2X,G15.8)"},
    {"(G12.4,6X,4(G12.4,1X))", "(F11.4,2X,2(G11.4,2X))", "(F11.4,2X,G11.4)"},
    {"(G12.4,2X,4(F16.8,1X))", "(F11.4,2X,2(F15.8,2X))", "(F11.4,2X,F15.8)"},
    {"(G12.4,2X,4(F12.4,1X))", "(F11.4,2X,2(F11.4,2X))", "(F11.4,2X,F11.4)"},
    {"(G12.4,2X,4(ES16.8,1X))", "(F11.4,2X,2(ES15.8,2X))", "(F11.4,2X,ES15.8)"},
    {"(G12.4,2X,4(ES12.4,1X))", "(F11.4,2X,2(ES11.4,2X))", "(F11.4,2X,ES11.4)"},
};

const double inf = std::numeric_limits<double>::infinity();
const double nan_v = std::numeric_limits<double>::quiet_NaN();

const std::vector<double> sample_values = {
    0.0, -0.0, 5e-17, -5e-17, 1e-16, 1.0000000168623835e-16, 0.1234, -0.5, 0.099999999, 0.1,
    0.09999, 0.99995, 0.999949, 9999.4999, 9999.5, 99999.5, 123.456789, -98765.4321, 1e-5,
    -3.3e-3, 1e5, 1.23456789e8, 1e10, -1e20, 1e-300, 1e300, nan_v, inf, -inf, 6.02214076e23,
    180.0, -179.99999, 1.0, -1.0, 12345678.9, 0.5, 2.5, 0.00049999, 7.77777777777e-8, 45.0};
const std::vector<double> sample_pars = {0.55,  -0.001, 1234.5678, 1e6,    0.0, 1e-20,
                                         99999.99, 1e7, 0.6328, -45.0, 1e-4, 9999.9};
const std::vector<std::pair<int, int>> sample_idx = {{0, -1}, {5, 10}, {-99, 999}, {-100, 1000},
                                                     {0, 0},  {-3, 2}, {12, -12}};

std::string fortran_real(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

struct oracle_case {
    std::string fmt;
    bool threshold;
    int nidx;
    double par;
    int idx[2];
    std::vector<double> v;
    std::string ours;
    std::string what;
};

std::vector<std::string> run_oracle(const std::vector<oracle_case>& cases) {
    static scratch dir;
    const std::string src = dir.file("oracle.f90"), exe = dir.file("oracle"),
                      in = dir.file("oracle.in"), out = dir.file("oracle.out");
    {
        std::ofstream o(src);
        o << oracle_source;
    }
    const std::string cc = std::string(RCWA_GFORTRAN) + " -o '" + exe + "' '" + src + "'";
    if (std::system(cc.c_str()) != 0) return {};
    {
        std::ofstream o(in);
        for (const auto& c : cases) {
            o << c.fmt << "\n" << (c.threshold ? 1 : 0) << " " << c.nidx << " " << c.v.size() << "\n";
            o << fortran_real(c.par);
            for (int k = 0; k < c.nidx; ++k) o << " " << c.idx[k];
            for (double x : c.v) o << " " << fortran_real(x);
            o << "\n";
        }
    }
    const std::string run = "'" + exe + "' < '" + in + "' > '" + out + "'";
    if (std::system(run.c_str()) != 0) return {};
    std::ifstream i(out);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(i, line)) lines.push_back(line);
    return lines;
}

template <std::size_t n>
void fill(double (&a)[n], const std::vector<double>& v) {
    for (std::size_t k = 0; k < n; ++k) a[k] = v[k];
}

}  // namespace

TEST(RunWritersOracle, EveryLayoutMatchesGfortran) {
    std::vector<oracle_case> cases;
    std::size_t next = 0;
    auto take = [&](std::size_t count) {
        std::vector<double> v;
        for (std::size_t k = 0; k < count; ++k) v.push_back(sample_values[(next++) % sample_values.size()]);
        return v;
    };
    const std::size_t rounds = 12;
    for (const layout_row& row : order_rows) {
        for (std::size_t r = 0; r < rounds; ++r) {
            const double par = sample_pars[r % sample_pars.size()];
            const auto [i2, i1] = sample_idx[r % sample_idx.size()];
            const int nidx = row.i_format > 0 ? 2 : 1;
            const int fmt = row.i_format;
            auto add = [&](const char* f, std::vector<double> v, std::string ours, const char* w) {
                cases.push_back({f, true, nidx, par, {i2, i1}, std::move(v), std::move(ours),
                                 std::string(w) + " i_format " + std::to_string(fmt)});
            };
            {
                auto v = take(8);
                double a[8];
                fill(a, v);
                add(row.amp, v, written([&](pf::out_file& f, bool& e) { write_order_eight(f, fmt, par, i2, i1, a, e); }),
                    "write_order_eight");
            }
            {
                auto v = take(4);
                double a[4];
                fill(a, v);
                add(row.eff, v, written([&](pf::out_file& f, bool& e) { write_order_four(f, fmt, par, i2, i1, a, e); }),
                    "write_order_four");
            }
            {
                auto v = take(2);
                double a[2];
                fill(a, v);
                add(row.te_tm, v,
                    written([&](pf::out_file& f, bool& e) { write_order_two(f, fmt, par, i2, i1, a, e); }),
                    "write_order_two");
            }
            {
                auto v = take(1);
                add(row.one, v,
                    written([&](pf::out_file& f, bool& e) { write_order_one(f, fmt, par, i2, i1, v[0], e); }),
                    "write_order_one");
            }
        }
    }
    for (int a = 1; a <= 6; ++a) {
        const plain_row& row = plain_rows[a - 1];
        for (std::size_t r = 0; r < 2 * rounds; ++r) {
            const double par = sample_pars[r % sample_pars.size()];
            const int fmt = (r % 2 == 0) ? a : -a;
            auto add = [&](const char* f, std::vector<double> v, std::string ours, const char* w) {
                cases.push_back({f, false, 0, par, {0, 0}, std::move(v), std::move(ours),
                                 std::string(w) + " i_format " + std::to_string(fmt)});
            };
            {
                auto v = take(4);
                double x[4];
                fill(x, v);
                add(row.ellipso, v, written([&](pf::out_file& f, bool& e) { write_ellipso(f, fmt, par, x, e); }),
                    "write_ellipso");
            }
            {
                auto v = take(2);
                add(row.two, v,
                    written([&](pf::out_file& f, bool& e) { write_param_two(f, fmt, par, v[0], v[1], e); }),
                    "write_param_two");
            }
            {
                auto v = take(1);
                add(row.one, v, written([&](pf::out_file& f, bool& e) { write_param_one(f, fmt, par, v[0], e); }),
                    "write_param_one");
            }
        }
    }

    const std::vector<std::string> expect = run_oracle(cases);
    ASSERT_EQ(expect.size(), cases.size()) << "gfortran oracle failed (" << RCWA_GFORTRAN << ")";
    int mismatches = 0;
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const oracle_case& c = cases[k];
        std::string values;
        for (double x : c.v) values += " " + fortran_real(x);
        if (c.ours != expect[k] + "\n" && ++mismatches <= 30) {
            ADD_FAILURE() << c.what << " par " << fortran_real(c.par) << " values" << values
                          << "\n ours:     [" << c.ours.substr(0, c.ours.size() ? c.ours.size() - 1 : 0)
                          << "]\n gfortran: [" << expect[k] << "]";
        }
    }
    EXPECT_EQ(mismatches, 0) << "of " << cases.size() << " records";
}
