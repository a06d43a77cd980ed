// The project file block of a run, from a hand-made state of three orders.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "run/project_file.hpp"
#include "run/stop.hpp"
#include "support/text_check.hpp"

using namespace rcwa::run;
using rcwa::test::pair_numbers;

namespace {

const double pi = 3.141592653589793;

class ProjectFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/rcwa_project_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        const std::string cmd = "rm -rf '" + dir_ + "'";
        if (std::system(cmd.c_str()) != 0) std::perror("rm");
    }
    std::vector<std::string> lines(const std::string& p) const {
        std::ifstream i(p);
        std::vector<std::string> v;
        std::string line;
        while (std::getline(i, line)) v.push_back(line);
        return v;
    }
    std::string dir_;
};

// Three orders of one row: first index -1, 0, 1, second index 0.
run_state three_orders() {
    run_state rs;
    rs.setup.out.lproject = true;
    rs.setup.cmd.par_value = 0.6328;
    rs.setup.par.iomax = 1;
    rs.setup.orders.norder = 3;
    rs.setup.media.k0 = 2 * pi / 0.5;
    rs.setup.media.n_sup = cplx(1.0, 0.0);
    rs.setup.media.n_sub = cplx(1.5, 0.01);
    rs.setup.media.k0sq_eps_sup = cplx(rs.setup.media.k0 * rs.setup.media.k0, 0.0);
    rs.setup.media.k0sq_eps_sub = cplx(rs.setup.media.k0 * rs.setup.media.k0 * 2.25, 0.5);
    rs.setup.orders.ord_i1.resize(3);
    rs.setup.orders.ord_i2.resize(3);
    rs.setup.orders.ord_of.resize(3);
    rs.setup.orders.kt2.resize(3);
    rs.setup.orders.ky_1d.resize(3);
    rs.stack.prop_r.resize(3);
    rs.stack.prop_t.resize(3);
    rs.stack.kn_sup.resize(6);
    rs.stack.kn_sub.resize(6);
    const double ky[3] = {-2.0, 0.0, 2.0};
    const cplx ksup[3] = {{3, 0}, {4, 0}, {0, 2}};
    const cplx ksub[3] = {{5, 0.1}, {6, 0.2}, {7, 0.3}};
    for (int i = 1; i <= 3; ++i) {
        rs.setup.orders.ord_i1(i) = i;
        rs.setup.orders.ord_i2(i) = 2;
        rs.setup.orders.ord_of(i) = i;
        rs.setup.orders.ky_1d(i) = ky[i - 1];
        rs.setup.orders.kt2(i) = ky[i - 1] * ky[i - 1] + 0.25;
        rs.stack.kn_sup(i) = rs.stack.kn_sup(i + 3) = ksup[i - 1];
        rs.stack.kn_sub(i) = rs.stack.kn_sub(i + 3) = ksub[i - 1];
    }
    rs.stack.prop_r(1) = 1;
    rs.stack.prop_r(2) = 1;
    rs.stack.n_prop_r = 2;
    rs.stack.prop_t(2) = 1;
    rs.stack.prop_t(3) = 1;
    rs.stack.n_prop_t = 2;
    rs.stack.r_mat.resize(6);
    rs.stack.t_mat.resize(6);
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j) {
            rs.stack.r_mat(i, j) = cplx(i + 10 * j, -(i * j));
            rs.stack.t_mat(i, j) = cplx(100 + i + 10 * j, i - j);
        }
    return rs;
}

void expect_numbers(const std::string& line, const std::vector<double>& expect, double tol = 1e-13) {
    const std::vector<double> got = pair_numbers(line);
    ASSERT_EQ(got.size(), expect.size()) << "[" << line << "]";
    for (std::size_t k = 0; k < got.size(); ++k)
        EXPECT_NEAR(got[k], expect[k], tol * (1.0 + std::abs(expect[k]))) << "item " << k << " of [" << line << "]";
}

// An angle in degrees as the file holds it: its product with pi was a float.
void expect_single_angle(double deg) {
    const double x = deg * pi;
    EXPECT_NEAR(static_cast<double>(static_cast<float>(x)), x, 1e-14 * std::abs(x)) << deg;
}

double deg(double rad) { return rad * 180.0 / pi; }

}  // namespace

TEST_F(ProjectFile, BlockOfASweepRun) {
    run_state rs = three_orders();
    rs.setup.cmd.run_index = 3;
    rs.setup.out.fname_out_mat = dir_ + "/proj.qpr" + std::string(200, ' ');
    write_project_file(rs.setup, rs.stack);
    const std::vector<std::string> l = lines(dir_ + "/proj.qpr");
    ASSERT_EQ(l.size(), 31u);
    EXPECT_EQ(l[0], "    0.632800");
    expect_numbers(l[1], {rs.setup.media.k0 * rs.setup.media.k0, rs.setup.media.k0 * rs.setup.media.k0 * 2.25});
    EXPECT_EQ(l[2], "reflection");
    EXPECT_EQ(l[3], "    2");
    const double k0 = rs.setup.media.k0;
    const double es = k0 * k0;
    const cplx eb = rs.setup.media.k0sq_eps_sub;
    // reflected orders 1 and 2 (first index -1 and 0), w0 = 2, wm = 5
    for (int i = 1; i <= 2; ++i) {
        const std::size_t at = 4 + 6 * static_cast<std::size_t>(i - 1);
        expect_numbers(l[at], {double(i - 2), 0.0, rs.stack.kn_sup(i).real() / 4.0});
        const double kt = std::sqrt(rs.setup.orders.kt2(i));
        const std::vector<double> ang = pair_numbers(l[at + 1]);
        ASSERT_EQ(ang.size(), 2u);
        EXPECT_NEAR(ang[0], deg(std::asin(kt / k0)), 2e-5);
        EXPECT_NEAR(ang[1], deg(std::acos(rs.setup.orders.ky_1d(i) / kt)), 2e-5);
        expect_single_angle(ang[0]);
        expect_single_angle(ang[1]);
        expect_numbers(l[at + 2], {double(i + 20), double(-2 * i)});
        expect_numbers(l[at + 3], {double(i + 3 + 20), double(-2 * (i + 3))});
        expect_numbers(l[at + 4], {double(i + 50), double(-5 * i)});
        expect_numbers(l[at + 5], {double(i + 3 + 50), double(-5 * (i + 3))});
    }
    EXPECT_EQ(l[16], "");
    EXPECT_EQ(l[17], "transmission");
    EXPECT_EQ(l[18], "    2");
    for (int i = 2; i <= 3; ++i) {
        const std::size_t at = 19 + 6 * static_cast<std::size_t>(i - 2);
        const cplx kn = rs.stack.kn_sub(i);
        const double c_te = kn.real() / 4.0;
        const double c_tm = es * (kn.real() * eb.real() + kn.imag() * eb.imag()) / (4.0 * std::norm(eb));
        expect_numbers(l[at], {double(i - 2), 0.0, c_te, c_tm});
        const double kt = std::sqrt(rs.setup.orders.kt2(i));
        const std::vector<double> ang = pair_numbers(l[at + 1]);
        ASSERT_EQ(ang.size(), 2u);
        EXPECT_NEAR(ang[0], deg(std::asin(kt / (k0 * 1.5))), 2e-5);
        EXPECT_NEAR(ang[1], deg(std::acos(rs.setup.orders.ky_1d(i) / kt)), 2e-5);
        expect_single_angle(ang[0]);
        expect_numbers(l[at + 2], {double(100 + i + 20), double(i - 2)});
        expect_numbers(l[at + 3], {double(100 + i + 3 + 20), double(i + 3 - 2)});
        expect_numbers(l[at + 4], {double(100 + i + 50), double(i - 5)});
        expect_numbers(l[at + 5], {double(100 + i + 3 + 50), double(i + 3 - 5)});
    }

    // a second run appends its block; run index 0 has no parameter record
    rs.setup.cmd.run_index = 0;
    write_project_file(rs.setup, rs.stack);
    const std::vector<std::string> l2 = lines(dir_ + "/proj.qpr");
    ASSERT_EQ(l2.size(), 31u + 30u);
    EXPECT_EQ(l2[31], l[1]);
    EXPECT_EQ(l2[32], "reflection");
}

TEST_F(ProjectFile, ZeroCountsAndNoSwitch) {
    run_state rs = three_orders();
    for (int i = 1; i <= 3; ++i) rs.stack.prop_r(i) = rs.stack.prop_t(i) = 0;
    rs.stack.n_prop_r = rs.stack.n_prop_t = 0;
    rs.setup.out.fname_out_mat = dir_ + "/zero.qpr";
    write_project_file(rs.setup, rs.stack);
    const std::vector<std::string> l = lines(dir_ + "/zero.qpr");
    ASSERT_EQ(l.size(), 6u);
    EXPECT_EQ(l[1], "reflection");
    EXPECT_EQ(l[2], "    0");
    EXPECT_EQ(l[3], "");
    EXPECT_EQ(l[4], "transmission");
    EXPECT_EQ(l[5], "    0");

    rs.setup.out.lproject = false;
    rs.setup.out.fname_out_mat = dir_ + "/none.qpr";
    write_project_file(rs.setup, rs.stack);
    EXPECT_TRUE(lines(dir_ + "/none.qpr").empty());
}

TEST_F(ProjectFile, FileThatCannotBeOpenedEndsTheJob) {
    run_state rs = three_orders();
    rs.setup.out.fname_out_mat = dir_ + "/missing/proj.qpr";
    try {
        write_project_file(rs.setup, rs.stack);
        ADD_FAILURE() << "no stop";
    } catch (const run_stop& s) {
        EXPECT_EQ(s.status, 750);
        EXPECT_TRUE(s.ends_job);
        ASSERT_EQ(s.lines.size(), 1u);
        EXPECT_NE(s.lines[0].find(" Open error QalderPRoject (.QPR) File "), std::string::npos);
    }
}
