// Result files: names, the set-up of a run (deleting, headings), the records
// each order adds to every layout, the closing record and the energy-error file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.hpp"
#include "run/input.hpp"
#include "run/output_files.hpp"
#include "run/stop.hpp"
#include "support/text_check.hpp"

namespace pf = rcwa::platform;
using namespace rcwa::run;
using rcwa::test::lines_of;
using rcwa::test::numbers;

namespace {

std::string sp(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

std::string padded(const std::string& s) { return s + sp(260 - static_cast<int>(s.size())); }

// A fresh working directory for each test (the energy-error file lies in the
// working directory).
class OutputFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/rcwa_output_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        char cwd[4096];
        ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
        old_cwd_ = cwd;
        ASSERT_EQ(::chdir(dir_.c_str()), 0);
    }
    void TearDown() override {
        if (::chdir(old_cwd_.c_str()) != 0) std::perror("chdir");
        const std::string cmd = "rm -rf '" + dir_ + "'";
        if (std::system(cmd.c_str()) != 0) std::perror("rm");
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    static std::string read(const std::string& p) {
        std::ifstream i(p, std::ios::binary);
        std::stringstream s;
        s << i.rdbuf();
        return s.str();
    }
    static void write(const std::string& p, const std::string& text) {
        std::ofstream o(p, std::ios::binary);
        o << text;
    }
    static bool exists(const std::string& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0;
    }
    std::string dir_, old_cwd_;
};

// The order set of iomax 1: nine orders, row by row, the second index outer.
struct order_set {
    int iomax = 1, n = 9;
    array1<int> i1, i2, of;
    order_set() : i1(9), i2(9), of(9) {
        for (int j = 1; j <= 9; ++j) {
            i1(j) = (j - 1) % 3 + 1;
            i2(j) = (j - 1) / 3 + 1;
            of(j) = j;
        }
    }
};

struct window {
    int nop1, nop2, nop3, nop4;  // first index from..to, second index from..to
};

output_control control(int i_eff, int i_format, int nop1, int nop2, int nop3, int nop4,
                       const std::string& fname) {
    output_control out;
    out.i_eff = i_eff;
    out.i_format = i_format;
    out.nop[1] = nop1;
    out.nop[2] = nop2;
    out.nop[3] = nop3;
    out.nop[4] = nop4;
    out.fname_out = fname;
    return out;
}

rcwa::structure::order_set as_set(int iomax, int n, const array1<int>& i1, const array1<int>& i2,
                                  const array1<int>& of) {
    rcwa::structure::order_set orders;
    orders.nmax1d = 2 * iomax + 1;
    orders.norder = n;
    orders.ord_i1 = i1;
    orders.ord_i2 = i2;
    orders.ord_of = of;
    return orders;
}

void init(int code, int i_eff, int i_format, const window& w, std::string& fname, bool& err,
          int& tag_pos) {
    const order_set o;
    err = !init_output_files(code, control(i_eff, i_format, w.nop1, w.nop2, w.nop3, w.nop4, fname),
                             as_set(o.iomax, o.n, o.i1, o.i2, o.of), tag_pos);
}

void expect_numbers(const std::string& line, const std::vector<double>& expect) {
    const std::vector<double> got = numbers(line);
    ASSERT_EQ(got.size(), expect.size()) << "[" << line << "]";
    for (std::size_t k = 0; k < got.size(); ++k)
        EXPECT_NEAR(got[k], expect[k], 1e-7 * (1.0 + std::abs(expect[k]))) << "item " << k << " of [" << line << "]";
}

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

}  // namespace

// ---- names ---------------------------------------------------------------------------------

TEST(OutputNames, OrderTags) {
    EXPECT_EQ(order_tag(0, 0), "0000");
    EXPECT_EQ(order_tag(10, 1), "p1p:");
    EXPECT_EQ(order_tag(1, -2), "m2p1");
    EXPECT_EQ(order_tag(-11, 9), "p9m;");
    EXPECT_EQ(order_tag(3, 0), "00p3");
}

TEST(OutputNames, SweepNames) {
    EXPECT_EQ(pf::map_path(sweep_name(padded("abc"), 7)), "abc7.txt");
    EXPECT_EQ(pf::map_path(sweep_name(padded("abc"), -12)), "abc12.txt");
    EXPECT_EQ(pf::map_path(sweep_name(padded("abc"), 1234)), "abc1234.txt");
    EXPECT_EQ(pf::map_path(sweep_name(padded("res.txt"), -1)), "res.txt1.txt");
    EXPECT_EQ(pf::map_path(sweep_name(padded("my res  x"), 3)), "my res3.txt");
}

TEST(OutputNames, EnergyNames) {
    EXPECT_EQ(energy_name(0), "energy_error.txt");
    EXPECT_EQ(energy_name(7), "energy_error7.txt");
    EXPECT_EQ(energy_name(12), "energy_error12.txt");
    EXPECT_EQ(energy_name(-12), "energy_error12.txt");
    EXPECT_EQ(energy_name(-1), "energy_error1.txt");
    EXPECT_EQ(energy_name(1234), "energy_error1234.txt");
    EXPECT_EQ(energy_name(9999), "energy_error9999.txt");
    EXPECT_EQ(energy_name(10000), "energy_error****.txt");
}

// ---- set-up: per-quantity layouts -------------------------------------------------------------

namespace {

const char* all_ext[] = {".ree", ".rem", ".rme", ".rmm", ".tee", ".tem", ".tme", ".tmm"};
// the window: first index 0..1, second index -1..0
const window win{0, 1, -1, 0};
const char* win_tags[] = {"m100", "m1p1", "0000", "00p1"};
const char* out_tags[] = {"m1m1", "0m10", "p1m1", "p1p1", "p100", "p1p1", "0m10"};

}  // namespace

TEST_F(OutputFiles, PerQuantityDeletesOnlyForNegativeCodes) {
    for (int code : {1, 2, 3, -1, -2, -3}) {
        SCOPED_TRACE(code);
        for (const char* t : win_tags)
            for (const char* e : all_ext) write(path("res") + t + e, "old\n");
        for (const char* t : out_tags)
            for (const char* e : all_ext) write(path("res") + t + e, "old\n");
        std::string fname = padded(path("res"));
        bool err = true;
        int tag_pos = 0;
        init(code, 0, 1, win, fname, err, tag_pos);
        EXPECT_FALSE(err);
        EXPECT_EQ(tag_pos, static_cast<int>(path("res").size()) + 1);
        EXPECT_EQ(fname.substr(0, static_cast<std::size_t>(tag_pos - 1)), path("res"));
        const bool del_r = code == -1 || code == -3, del_t = code == -2 || code == -3;
        for (const char* t : win_tags)
            for (int k = 0; k < 8; ++k) {
                const bool gone = k < 4 ? del_r : del_t;
                EXPECT_EQ(exists(path("res") + t + all_ext[k]), !gone) << t << all_ext[k];
            }
        for (const char* t : out_tags)
            for (const char* e : all_ext) EXPECT_TRUE(exists(path("res") + t + e)) << t << e;
    }
}

TEST_F(OutputFiles, PerQuantityEllipsometricNamesHaveNoTag) {
    for (const char* e : {".rta", ".rco", ".tta", ".tco", ".ree"}) write(path("res") + e, "old\n");
    write(path("res0000.ree"), "old\n");
    std::string fname = padded(path("res"));
    bool err = false;
    int tag_pos = 0;
    init(-1, 5, 1, win, fname, err, tag_pos);
    EXPECT_FALSE(err);
    EXPECT_FALSE(exists(path("res.rta")));
    EXPECT_FALSE(exists(path("res.rco")));
    EXPECT_TRUE(exists(path("res.tta")));
    EXPECT_TRUE(exists(path("res.ree")));
    EXPECT_TRUE(exists(path("res0000.ree")));
    fname = padded(path("res"));  // each run starts from the name as read
    init(-3, 5, 1, win, fname, err, tag_pos);
    EXPECT_FALSE(exists(path("res.tta")));
    EXPECT_FALSE(exists(path("res.tco")));
    // a window without any order finds nothing to delete
    write(path("res.rta"), "old\n");
    fname = padded(path("res"));
    init(-3, 5, 1, window{1, 0, 0, 0}, fname, err, tag_pos);
    EXPECT_TRUE(exists(path("res.rta")));
}

TEST_F(OutputFiles, PerQuantityFileThatCannotBeDeleted) {
    // order (0,-1) comes first in the window; a directory in its place stops the set-up
    ASSERT_EQ(::mkdir(path("resm100.rem").c_str(), 0755), 0);
    write(path("res0000.ree"), "old\n");
    std::string fname = padded(path("res"));
    bool err = false;
    int tag_pos = 0;
    init(-1, 0, 1, win, fname, err, tag_pos);
    EXPECT_TRUE(err);
    EXPECT_TRUE(exists(path("res0000.ree")));  // the routine ended at once
}

TEST_F(OutputFiles, OrderIndicesWithoutFileNameTagsAreRefusedFirst) {
    // One row of orders with first indices 0, 207, -44 and 208 (iomax 300).
    const int iomax = 300;
    array1<int> i1(4), i2(4), of(4);
    const int first[4] = {0, 207, -44, 208};
    for (int j = 1; j <= 4; ++j) {
        i1(j) = first[j - 1] + iomax + 1;
        i2(j) = iomax + 1;
        of(j) = j;
    }
    struct refusal_case {
        int code, i_eff, nop1, nop2;
        int refused;  // the index named in the message; 0: none refused
    };
    for (const refusal_case c : {refusal_case{3, 0, 0, 207, 0},      // 207 is the last byte
                                 refusal_case{-3, 0, -44, 0, -44},   // the backslash
                                 refusal_case{1, -1, 0, 208, 208},   // beyond one byte
                                 refusal_case{-3, 5, -44, 208, 0},   // ellipsometric: no tags
                                 refusal_case{3, 6, -44, 208, 0},    // nothing written
                                 refusal_case{-2, 6, -44, 0, -44}}) {  // but deleted
        SCOPED_TRACE(std::to_string(c.code) + " " + std::to_string(c.i_eff));
        write(path("res0000.ree"), "old\n");
        write(path("res0000.tee"), "old\n");
        std::string fname = padded(path("res"));
        int tag_pos = 0;
        try {
            init_output_files(c.code, control(c.i_eff, 1, c.nop1, c.nop2, 0, 0, fname),
                              as_set(iomax, 4, i1, i2, of), tag_pos);
            EXPECT_EQ(c.refused, 0);
        } catch (const run_stop& s) {
            EXPECT_EQ(s.status, 90);
            EXPECT_TRUE(s.ends_job);
            ASSERT_EQ(s.lines.size(), 1u);
            EXPECT_EQ(s.lines[0], "  error output initialization: no file-name tag for order index " +
                                      std::to_string(c.refused));
            // refused before the order 0, first in the window, lost its files
            EXPECT_TRUE(exists(path("res0000.ree")) && exists(path("res0000.tee")));
        }
    }
    EXPECT_TRUE(tag_names_a_file(43) && tag_names_a_file(-45) && tag_names_a_file(-207));
    EXPECT_FALSE(tag_names_a_file(44) || tag_names_a_file(-208) || tag_names_a_file(-2147483647 - 1));
}

// ---- set-up: one-file tables and their headings ------------------------------------------------

namespace {

std::string columns(const std::string& first, int gap0, int gap, const std::vector<std::string>& names) {
    std::string s = first;
    for (std::size_t k = 0; k < names.size(); ++k) s += sp(k == 0 ? gap0 : gap) + names[k];
    return s;
}

// The heading as the documentation lists it; "" for none.
std::string expected_heading(int layout, int i_eff, int i_format) {
    const bool narrow = i_format == 2 || i_format == 4 || i_format == 6;
    const std::string yx = "parameter     y    x";
    const std::vector<std::string> amp = {"r_EE", "i_EE", "r_EM", "i_EM", "r_ME", "i_ME", "r_MM", "i_MM"};
    if (layout != 0 && layout != 4 && layout != 5 && layout != 6) return "";
    if (i_eff >= 7) return "";
    if (i_eff == 6) return narrow ? columns(yx, 6, 8, amp) : columns(yx, 10, 12, amp);
    std::vector<std::string> eight, four, ell;
    if (layout == 0 || layout == 6) {
        eight = {"REE", "REM", "RME", "RMM", "TEE", "TEM", "TME", "TMM"};
        four = {"RE", "RM", "TE", "TM"};
        ell = {"tan_r", "cos_r", "tan_t", "cos_t"};
    } else if (layout == 4) {
        eight = {"REE", "REM", "RME", "RMM"};
        four = {"RE", "RM"};
        ell = {"tan_r", "cos_r"};
    } else {
        eight = {"TEE", "TEM", "TME", "TMM"};
        four = {"TE", "TM"};
        ell = {"tan_t", "cos_t"};
    }
    if (i_eff <= 3) return narrow ? columns(yx, 6, 9, eight) : columns(yx, 10, 13, eight);
    if (i_eff == 4) return narrow ? columns(yx, 9, 10, four) : columns(yx, 9, 14, four);
    return narrow ? columns("parameter", 8, 7, ell) : columns("parameter", 10, 11, ell);
}

}  // namespace

TEST_F(OutputFiles, HeadingOfEveryLayoutAndVariant) {
    int n = 0;
    for (int layout : {0, 4, 5, 6, 7, 9})
        for (int i_eff : {-2, 0, 1, 2, 3, 4, 5, 6, 7})
            for (int i_format : {1, 2, 3, 4, 5, 6, -1, -2, -4, -6, 0, 7}) {
                const std::string name = path("t" + std::to_string(n++) + ".txt");
                std::string fname = padded(name);
                bool err = true;
                int tag_pos = -5;
                init(layout, i_eff, i_format, win, fname, err, tag_pos);
                EXPECT_FALSE(err);
                EXPECT_EQ(tag_pos, -5);
                const std::string h = expected_heading(layout, i_eff, i_format);
                ASSERT_TRUE(exists(name));
                EXPECT_EQ(read(name), h.empty() ? "" : h + "\n")
                    << "layout " << layout << " i_eff " << i_eff << " i_format " << i_format;
            }
}

TEST_F(OutputFiles, ExistingTableGetsNoSecondHeading) {
    write(path("tab.txt"), "kept\n");
    std::string fname = padded(path("tab.txt"));
    bool err = false;
    int tag_pos = 0;
    init(0, 0, 5, win, fname, err, tag_pos);
    EXPECT_FALSE(err);
    EXPECT_EQ(read(path("tab.txt")), "kept\n");
    init(5, 4, 4, win, fname, err, tag_pos);
    EXPECT_EQ(read(path("tab.txt")), "kept\n");
    // a negative code deletes the table first
    init(-5, 4, 4, win, fname, err, tag_pos);
    EXPECT_FALSE(err);
    EXPECT_EQ(read(path("tab.txt")), expected_heading(5, 4, 4) + "\n");
    // an empty table, as a run started at the same moment leaves it, gets the
    // heading once: whether it is new is decided under the lock
    write(path("tab.txt"), "");
    init(5, 4, 4, win, fname, err, tag_pos);
    init(5, 4, 4, win, fname, err, tag_pos);
    EXPECT_FALSE(err);
    EXPECT_EQ(read(path("tab.txt")), expected_heading(5, 4, 4) + "\n");
}

TEST_F(OutputFiles, TableThatCannotBeCreated) {
    write(path("plain"), "a file\n");
    for (const std::string& name : {path("missing/tab.txt"), path("plain/tab.txt")}) {
        std::string fname = padded(name);
        bool err = false;
        int tag_pos = 0;
        init(0, 0, 5, win, fname, err, tag_pos);
        EXPECT_TRUE(err) << name;
    }
}

// ---- records per order ------------------------------------------------------------------------------

namespace {

order_record sample_record(int i1, int i2, bool ellipso) {
    order_record r;
    r.i1 = i1;
    r.i2 = i2;
    for (int k = 0; k < 4; ++k) {
        r.r_eff[k] = 0.11 + 0.01 * k;
        r.t_eff[k] = 0.21 + 0.01 * k;
        r.r_phase[k] = -10.0 * (k + 1);
        r.t_phase[k] = 10.0 * (k + 1);
        r.r_mod[k] = 1.1 + k;
        r.t_mod[k] = 2.1 + k;
        r.r_amp[k] = cplx(k + 1, -(k + 1));
        r.t_amp[k] = cplx(k + 5, -(k + 5));
    }
    r.ellipso = ellipso;
    r.tan_r = 0.31;
    r.cos_r = 0.32;
    r.tan_t = 0.33;
    r.cos_t = 0.34;
    return r;
}

run_state table_state(const std::string& name, int iout, int i_eff) {
    run_state rs;
    rs.setup.out.lfout = true;
    rs.setup.out.iout = iout;
    rs.setup.out.i_eff = i_eff;
    rs.setup.out.i_format = 5;
    rs.setup.cmd.par_value = 0.75;
    rs.setup.media.k0 = 2.0;
    rs.setup.media.n_sub = cplx(1.5, 0.2);
    rs.setup.out.fname_out = padded(name);
    return rs;
}

std::vector<double> with_head(double par, int i2, int i1, std::vector<double> v) {
    v.insert(v.begin(), {par, double(i2), double(i1)});
    return v;
}

}  // namespace

TEST_F(OutputFiles, OneFileRecordsOfEveryLayout) {
    const double p = 0.75;
    const int i2 = -2, i1 = 1;
    const std::vector<double> R = {0.11, 0.12, 0.13, 0.14}, T = {0.21, 0.22, 0.23, 0.24};
    const std::vector<double> RP = {-10, -20, -30, -40}, TP = {10, 20, 30, 40};
    const std::vector<double> RM = {1.1, 2.1, 3.1, 4.1}, TM = {2.1, 3.1, 4.1, 5.1};
    auto cat = [](std::vector<double> a, const std::vector<double>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct expect_case {
        int iout, i_eff;
        std::vector<std::vector<double>> records;
    };
    std::vector<expect_case> cases;
    for (int iout : {0, 6}) {
        cases.push_back({iout, 0, {with_head(p, i2, i1, cat(R, T))}});
        cases.push_back({iout, 1, {with_head(p, i2, i1, cat(R, T)), with_head(p, i2, i1, cat(RP, TP))}});
        cases.push_back({iout, 2, {with_head(p, i2, i1, cat(RM, TM)), with_head(p, i2, i1, cat(RP, TP))}});
        cases.push_back({iout, 3, {with_head(p, i2, i1, cat(RP, TP))}});
        cases.push_back({iout, 4, {with_head(p, i2, i1, {0.23, 0.27, 0.43, 0.47})}});
        cases.push_back({iout, 5, {}});  // not the zeroth order
        // amplitudes: EM over k0 (2), ME times k0; transmission with k0 * Re n_sub (3)
        cases.push_back({iout, 6,
                         {with_head(p, i2, i1, {1, -1, 1, -1, 6, -6, 4, -4}),
                          with_head(p, i2, i1, {5, -5, 2, -2, 21, -21, 8, -8})}});
        cases.push_back({iout, 7, {}});
        cases.push_back({iout, -1, {}});
    }
    for (int iout : {4, 5}) {
        const bool r = iout == 4;
        const auto& E = r ? R : T;
        const auto& P = r ? RP : TP;
        const auto& M = r ? RM : TM;
        cases.push_back({iout, 0, {with_head(p, i2, i1, E)}});
        cases.push_back({iout, 1, {with_head(p, i2, i1, E), with_head(p, i2, i1, P)}});
        cases.push_back({iout, 2, {with_head(p, i2, i1, M), with_head(p, i2, i1, P)}});
        cases.push_back({iout, 3, {with_head(p, i2, i1, P)}});
        cases.push_back({iout, 4, {with_head(p, i2, i1, r ? std::vector<double>{0.23, 0.27}
                                                          : std::vector<double>{0.43, 0.47})}});
        cases.push_back({iout, 5, {}});
        cases.push_back({iout, 6,
                         {with_head(p, i2, i1, r ? std::vector<double>{1, -1, 2, -2, 3, -3, 4, -4}
                                                 : std::vector<double>{5, -5, 6, -6, 7, -7, 8, -8})}});
        cases.push_back({iout, 8, {}});
    }
    for (int i_eff : {0, 4, 6}) cases.push_back({7, i_eff, {}});

    int n = 0;
    for (const expect_case& c : cases) {
        SCOPED_TRACE("iout " + std::to_string(c.iout) + " i_eff " + std::to_string(c.i_eff));
        const std::string name = path("tab" + std::to_string(n++) + ".txt");
        run_state rs = table_state(name, c.iout, c.i_eff);
        testing::internal::CaptureStdout();
        write_order_output(rs.setup, sample_record(i1, i2, true));
        write_order_output(rs.setup, sample_record(i1, i2, true));
        const std::string console = testing::internal::GetCapturedStdout();
        EXPECT_EQ(count_of(console, "output in one file\n"), 2);
        EXPECT_EQ(count_of(console, "end write file\n"), 2);
        const std::vector<std::string> lines = lines_of(read(name));
        ASSERT_EQ(lines.size(), 2 * (1 + c.records.size()));
        for (int pass = 0; pass < 2; ++pass) {
            const std::size_t at = static_cast<std::size_t>(pass) * (1 + c.records.size());
            EXPECT_EQ(lines[at], "");
            for (std::size_t k = 0; k < c.records.size(); ++k) expect_numbers(lines[at + 1 + k], c.records[k]);
        }
    }
}

TEST_F(OutputFiles, EllipsometricRecordsOnlyForTheZerothOrderWithValues) {
    for (int iout : {0, 6, 4, 5}) {
        SCOPED_TRACE(iout);
        const std::string name = path("ell" + std::to_string(iout) + ".txt");
        run_state rs = table_state(name, iout, 5);
        testing::internal::CaptureStdout();
        write_order_output(rs.setup, sample_record(0, 0, false));  // no values: third argument not an integer
        write_order_output(rs.setup, sample_record(1, 0, true));
        write_order_output(rs.setup, sample_record(0, 0, true));
        testing::internal::GetCapturedStdout();
        const std::vector<std::string> lines = lines_of(read(name));
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[0], "");
        EXPECT_EQ(lines[1], "");
        EXPECT_EQ(lines[2], "");
        if (iout == 0 || iout == 6)
            expect_numbers(lines[3], {0.75, 0.31, 0.32, 0.33, 0.34});
        else if (iout == 4)
            expect_numbers(lines[3], {0.75, 0.31, 0.32});
        else
            expect_numbers(lines[3], {0.75, 0.33, 0.34});
    }
}

TEST_F(OutputFiles, PerQuantityRecords) {
    struct pq_case {
        int iout, i_eff;
    };
    int n = 0;
    for (const pq_case c : {pq_case{3, 0}, pq_case{3, 1}, pq_case{3, 2}, pq_case{3, 3}, pq_case{3, 4},
                            pq_case{1, 0}, pq_case{2, 2}, pq_case{3, -1}, pq_case{3, 6}, pq_case{2, 9}}) {
        SCOPED_TRACE("iout " + std::to_string(c.iout) + " i_eff " + std::to_string(c.i_eff));
        const std::string base = path("q" + std::to_string(n++));
        std::string fname = padded(base);
        bool err = false;
        int tag_pos = 0;
        init(-c.iout, c.i_eff, 5, win, fname, err, tag_pos);
        ASSERT_FALSE(err);
        run_state rs = table_state("", c.iout, c.i_eff);
        rs.setup.out.fname_out = fname;
        rs.setup.out.tag_pos = tag_pos;
        testing::internal::CaptureStdout();
        write_order_output(rs.setup, sample_record(1, -2, true));
        write_order_output(rs.setup, sample_record(0, 1, true));
        write_order_output(rs.setup, sample_record(1, -2, true));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        const order_record s = sample_record(1, -2, true);
        for (int m = 0; m < 2; ++m) {
            const bool refl = m == 0;
            const bool written = refl ? (c.iout == 1 || c.iout == 3) : (c.iout == 2 || c.iout == 3);
            const auto& eff = refl ? s.r_eff : s.t_eff;
            const auto& ph = refl ? s.r_phase : s.t_phase;
            const auto& mod = refl ? s.r_mod : s.t_mod;
            for (int k = 0; k < 4; ++k) {
                const std::string ext = all_ext[(refl ? 0 : 4) + k];
                const std::string a = base + "m2p1" + ext, b = base + "p100" + ext;
                const bool present = written && c.i_eff < 5 && (c.i_eff != 4 || k == 0 || k == 3);
                ASSERT_EQ(exists(a), present) << a;
                EXPECT_EQ(exists(b), present) << b;
                if (!present) continue;
                const std::vector<std::string> lines = lines_of(read(a));
                std::vector<double> rec;
                switch (c.i_eff) {
                    case 0: rec = {0.75, eff[k]}; break;
                    case 1: rec = {0.75, eff[k], ph[k]}; break;
                    case 2: rec = {0.75, mod[k], ph[k]}; break;
                    case 3: rec = {0.75, ph[k]}; break;
                    case 4: rec = {0.75, k == 0 ? eff[0] + eff[1] : eff[2] + eff[3]}; break;
                    default: break;
                }
                if (rec.empty()) {
                    EXPECT_TRUE(lines.empty());
                    continue;
                }
                ASSERT_EQ(lines.size(), 2u) << a;
                expect_numbers(lines[0], rec);
                expect_numbers(lines[1], rec);
            }
        }
    }
}

TEST_F(OutputFiles, PerQuantityEllipsometricFiles) {
    std::string fname = padded(path("e"));
    bool err = false;
    int tag_pos = 0;
    init(-3, 5, 4, win, fname, err, tag_pos);
    run_state rs = table_state("", 3, 5);
    rs.setup.out.i_format = 4;
    rs.setup.out.fname_out = fname;
    rs.setup.out.tag_pos = tag_pos;
    write_order_output(rs.setup, sample_record(0, 0, false));
    EXPECT_FALSE(exists(path("e.tta")));
    write_order_output(rs.setup, sample_record(1, 0, true));
    EXPECT_FALSE(exists(path("e.tta")));
    write_order_output(rs.setup, sample_record(0, 0, true));
    EXPECT_EQ(read(path("e.tta")), "     0.7500       0.3300\n");
    EXPECT_EQ(read(path("e.tco")), "     0.7500       0.3400\n");
    EXPECT_EQ(read(path("e.rta")), "     0.7500       0.3100\n");
    EXPECT_EQ(read(path("e.rco")), "     0.7500       0.3200\n");
    rs.setup.out.iout = 2;
    write_order_output(rs.setup, sample_record(0, 0, true));
    EXPECT_EQ(lines_of(read(path("e.tta"))).size(), 2u);
    EXPECT_EQ(lines_of(read(path("e.rta"))).size(), 1u);
}

TEST_F(OutputFiles, FileThatCannotBeOpenedEndsTheJob) {
    for (int iout : {0, 5, 7, 3}) {
        run_state rs = table_state(path("missing/tab.txt"), iout, 0);
        rs.setup.out.tag_pos = static_cast<int>(path("missing/tab.txt").size()) + 1;
        testing::internal::CaptureStdout();
        try {
            write_order_output(rs.setup, sample_record(0, 0, true));
            ADD_FAILURE() << "no stop for iout " << iout;
        } catch (const run_stop& s) {
            EXPECT_EQ(s.status, 95);
            EXPECT_TRUE(s.ends_job);
            ASSERT_EQ(s.lines.size(), 1u);
            EXPECT_NE(s.lines[0].find(" cannot open output file "), std::string::npos);
        }
        testing::internal::GetCapturedStdout();
    }
}

// ---- end of the run ---------------------------------------------------------------------------------

TEST_F(OutputFiles, ClosingRecordAndEnergyErrors) {
    write(path("tab.txt"), "heading\n");
    run_state rs = table_state(path("tab.txt"), 0, 0);
    rs.setup.out.i_format = 4;
    write_run_end(rs.setup, 1.5e-3, -2.25);
    EXPECT_EQ(read(path("tab.txt")), "heading\n\n");  // one empty free-format record
    EXPECT_EQ(read(path("energy_error.txt")),
              "     0.7500" + sp(2) + "     0.0015" + sp(2) + "    -2.2500\n");
    // a sweep run writes its own energy-error file; layout 6 has no closing record
    rs.setup.out.iout = 6;
    rs.setup.cmd.run_index = -12;
    write_run_end(rs.setup, 0.0, 0.0);
    EXPECT_EQ(read(path("tab.txt")), "heading\n\n");
    EXPECT_TRUE(exists(path("energy_error12.txt")));
    // per-quantity layouts write no energy-error record
    rs.setup.out.iout = 3;
    rs.setup.cmd.run_index = 5;
    write_run_end(rs.setup, 0.0, 0.0);
    EXPECT_FALSE(exists(path("energy_error5.txt")));
}

TEST_F(OutputFiles, EndOfRunStops) {
    struct stop_case {
        std::string table;
        int iout;
        bool energy_dir;
        int status;
    };
    ASSERT_EQ(::mkdir(path("energy_error3.txt").c_str(), 0755), 0);
    for (const stop_case& c : {stop_case{path("nothing.txt"), 0, false, 95},  // status "old"
                               stop_case{"/dev/full", 0, false, 96},
                               stop_case{path("tab.txt"), 4, true, 95}}) {
        run_state rs = table_state(c.table, c.iout, 0);
        if (c.energy_dir) rs.setup.cmd.run_index = 3;
        try {
            write_run_end(rs.setup, 0.0, 0.0);
            ADD_FAILURE() << "no stop for " << c.table;
        } catch (const run_stop& s) {
            EXPECT_EQ(s.status, c.status);
            EXPECT_TRUE(s.ends_job);
            ASSERT_EQ(s.lines.size(), 1u);
            EXPECT_NE(s.lines[0].find(c.status == 95 ? " cannot open output file " : " write error output file"),
                      std::string::npos);
        }
    }
    EXPECT_FALSE(exists(path("nothing.txt")));
}
