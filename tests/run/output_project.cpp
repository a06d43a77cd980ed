// The project file of whole runs: one block per run, the propagating orders
// found by the grating equation written here, their exit angles and factors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/run_support.hpp"
#include "support/text_check.hpp"

namespace rcwa::test {
namespace {

const double pi = 3.141592653589793;

struct order_block {
    int i1 = 0, i2 = 0;
    std::vector<double> factors;  // c_r, or c_te and c_tm
    double theta = 0, phi = 0;
    cplx amp[4];
};

struct project_block {
    bool has_par = false;
    double par = 0;
    double es = 0, eb = 0;
    std::vector<order_block> refl, trans;
};

// Reads the blocks of a project file; fails the test on a malformed block.
std::vector<project_block> read_project(const std::string& text) {
    std::vector<std::string> l;
    {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) l.push_back(line);
    }
    std::vector<project_block> blocks;
    std::size_t k = 0;
    auto orders = [&](std::vector<order_block>& out, std::size_t nfac) {
        const int count = std::atoi(l.at(k++).c_str());
        for (int q = 0; q < count; ++q) {
            order_block o;
            const std::vector<double> head = pair_numbers(l.at(k++));
            EXPECT_EQ(head.size(), 2 + nfac);
            if (head.size() != 2 + nfac) return;
            o.i1 = static_cast<int>(head[0]);
            o.i2 = static_cast<int>(head[1]);
            o.factors.assign(head.begin() + 2, head.end());
            const std::vector<double> ang = pair_numbers(l.at(k++));
            EXPECT_EQ(ang.size(), 2u);
            if (ang.size() != 2u) return;
            o.theta = ang[0];
            o.phi = ang[1];
            for (cplx& a : o.amp) {
                const std::vector<double> c = pair_numbers(l.at(k++));
                EXPECT_EQ(c.size(), 2u);
                if (c.size() == 2) a = cplx(c[0], c[1]);
            }
            out.push_back(o);
        }
    };
    while (k < l.size()) {
        project_block b;
        std::vector<double> first = pair_numbers(l[k]);
        if (first.size() == 1) {
            b.has_par = true;
            b.par = first[0];
            EXPECT_EQ(l[k].size(), 12u) << "(F12.6): [" << l[k] << "]";
            first = pair_numbers(l.at(++k));
        }
        EXPECT_EQ(first.size(), 2u) << l[k];
        if (first.size() != 2) break;
        b.es = first[0];
        b.eb = first[1];
        ++k;
        EXPECT_EQ(l.at(k++), "reflection");
        EXPECT_EQ(l.at(k).size(), 5u);
        orders(b.refl, 1);
        EXPECT_EQ(l.at(k++), "");
        EXPECT_EQ(l.at(k++), "transmission");
        EXPECT_EQ(l.at(k).size(), 5u);
        orders(b.trans, 2);
        blocks.push_back(b);
    }
    return blocks;
}

struct setup {
    double theta = 25.0, phi = 30.0, lambda = 0.6;
    double n_sup = 1.33, n_sub = 1.6;
    double dy = 1.1, dz = 0.9;
    int iomax = 2;
};

void write_case(const work_dir& d, const setup& c) {
    const param_input p = incidence(c.lambda, c.theta, c.phi, c.iomax);
    stack_input s;
    s.dy = c.dy;
    s.dz = c.dz;
    s.n_sup = c.n_sup;
    s.n_sub = c.n_sub;
    s.nlayer = 1;
    s.entries = film_entry(cplx(2.1, 0.0), 0.15);
    outctl_input o;
    set_table_output(o);
    o.fname_out = "res";
    o.lproject = true;
    o.fname_out_mat = "proj.qpr";
    write_inputs(d, p, s, o);
}

// The orders propagating in a medium of index n, in order-list order (second
// index outer), with their exit angles, from the grating equation.
struct expected_order {
    int i1, i2;
    double theta, phi, cos_ratio;
};
std::vector<expected_order> propagating(const setup& c, double lambda, double n) {
    const double k0 = 2 * pi / lambda;
    const double th = c.theta * pi / 180, ph = c.phi * pi / 180;
    const double kiy = k0 * c.n_sup * std::sin(th) * std::cos(ph);
    const double kiz = k0 * c.n_sup * std::sin(th) * std::sin(ph);
    const double cos_in = std::sqrt(1.0 - std::pow(std::sin(th), 2));
    std::vector<expected_order> v;
    for (int i2 = -c.iomax; i2 <= c.iomax; ++i2)
        for (int i1 = -c.iomax; i1 <= c.iomax; ++i1) {
            const double ky = kiy + 2 * pi * i1 / c.dy, kz = kiz + 2 * pi * i2 / c.dz;
            const double kt = std::sqrt(ky * ky + kz * kz);
            if (kt > k0 * n) continue;
            const double theta = std::asin(kt / (k0 * n)) * 180 / pi;
            const double phi = kt == 0.0 ? 0.0 : std::acos(ky / kt) * 180 / pi;
            // Re kn / Re kn of the incident order in the superstrate
            const double ratio = std::sqrt(n * n * k0 * k0 - kt * kt) / (k0 * c.n_sup * cos_in);
            v.push_back({i1, i2, theta, phi, ratio});
        }
    return v;
}

void expect_block(const project_block& b, const setup& c, double lambda) {
    const double k0 = 2 * pi / lambda;
    EXPECT_NEAR(b.es, k0 * k0 * c.n_sup * c.n_sup, 1e-9 * b.es);
    EXPECT_NEAR(b.eb, k0 * k0 * c.n_sub * c.n_sub, 1e-9 * b.eb);
    const auto r = propagating(c, lambda, c.n_sup);
    const auto t = propagating(c, lambda, c.n_sub);
    ASSERT_EQ(b.refl.size(), r.size());
    ASSERT_EQ(b.trans.size(), t.size());
    ASSERT_GT(r.size(), 1u);  // the case must show more than the zeroth order
    for (std::size_t k = 0; k < r.size(); ++k) {
        SCOPED_TRACE("reflected " + std::to_string(r[k].i1) + "," + std::to_string(r[k].i2));
        EXPECT_EQ(b.refl[k].i1, r[k].i1);
        EXPECT_EQ(b.refl[k].i2, r[k].i2);
        ASSERT_EQ(b.refl[k].factors.size(), 1u);
        EXPECT_NEAR(b.refl[k].factors[0], r[k].cos_ratio, 1e-12);
        EXPECT_NEAR(b.refl[k].theta, r[k].theta, 5e-5);
        EXPECT_NEAR(b.refl[k].phi, r[k].phi, 5e-5);
        if (r[k].i1 == 0 && r[k].i2 == 0) {
            EXPECT_NEAR(b.refl[k].theta, c.theta, 5e-5);
        }
    }
    for (std::size_t k = 0; k < t.size(); ++k) {
        SCOPED_TRACE("transmitted " + std::to_string(t[k].i1) + "," + std::to_string(t[k].i2));
        EXPECT_EQ(b.trans[k].i1, t[k].i1);
        EXPECT_EQ(b.trans[k].i2, t[k].i2);
        ASSERT_EQ(b.trans[k].factors.size(), 2u);
        EXPECT_NEAR(b.trans[k].factors[0], t[k].cos_ratio, 1e-12);
        // lossless media: c_tm = Re(es) Re(kn_sub) / (Re kn_sup(w0) Re(eb))
        EXPECT_NEAR(b.trans[k].factors[1], t[k].cos_ratio * c.n_sup * c.n_sup / (c.n_sub * c.n_sub), 1e-12);
        EXPECT_NEAR(b.trans[k].theta, t[k].theta, 5e-5);
        EXPECT_NEAR(b.trans[k].phi, t[k].phi, 5e-5);
        if (t[k].i1 == 0 && t[k].i2 == 0) {
            // the law of refraction
            const double s = c.n_sup * std::sin(c.theta * pi / 180) / c.n_sub;
            EXPECT_NEAR(b.trans[k].theta, std::asin(s) * 180 / pi, 5e-5);
        }
    }
}

}  // namespace

TEST(output_project, blocks_of_a_sweep) {
    work_dir d;
    const setup c;
    write_case(d, c);
    const double lambdas[2] = {0.6, 0.65};
    const char* index[2] = {"-1", "2"};
    const char* par[2] = {"0.6", "0.65"};
    for (int k = 0; k < 2; ++k) {
        const run_result r = run_rcwa(d, {par[k], "0", index[k]});
        ASSERT_EQ(r.status, 1) << r.out << r.err;
    }
    const std::vector<project_block> b = read_project(d.read("proj.qpr"));
    ASSERT_EQ(b.size(), 2u);
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(lambdas[k]);
        EXPECT_TRUE(b[k].has_par);
        EXPECT_DOUBLE_EQ(b[k].par, lambdas[k]);
        expect_block(b[k], c, lambdas[k]);
        // the zeroth reflected EE amplitude gives the table's R_TEE (c_r = 1)
        const auto table = read_eff_table(d.read("res" + std::string(k == 0 ? "1" : "2") + ".txt"));
        const order_eff z = find_order(table, 0, 0);
        for (const order_block& o : b[k].refl)
            if (o.i1 == 0 && o.i2 == 0) {
                EXPECT_NEAR(std::norm(o.amp[0]), z.r[0], 1e-8);
                EXPECT_NEAR(std::norm(o.amp[3]), z.r[3], 1e-8);
            }
    }
}

TEST(output_project, single_run_has_no_parameter_record) {
    work_dir d;
    setup c;
    c.theta = 0.0;  // normal incidence: the zeroth orders leave at 0, 0
    write_case(d, c);
    const run_result r = run_rcwa(d);
    ASSERT_EQ(r.status, 1) << r.out << r.err;
    const std::vector<project_block> b = read_project(d.read("proj.qpr"));
    ASSERT_EQ(b.size(), 1u);
    EXPECT_FALSE(b[0].has_par);
    expect_block(b[0], c, c.lambda);
    int zeroth = 0;
    for (const auto* list : {&b[0].refl, &b[0].trans})
        for (const order_block& o : *list)
            if (o.i1 == 0 && o.i2 == 0) {
                ++zeroth;
                EXPECT_EQ(o.theta, 0.0);
                EXPECT_EQ(o.phi, 0.0);
            }
    EXPECT_EQ(zeroth, 2);
}

TEST(output_project, killed_run_loses_only_its_own_records) {
    // Two runs (the sweep's first and one more) on files left intact: their
    // blocks are those of blocks_of_a_sweep.
    const setup c;
    const char* const names[] = {"proj.qpr", "res1.txt", "energy_error1.txt"};
    work_dir intact;
    write_case(intact, c);
    ASSERT_EQ(run_rcwa(intact, {"0.6", "0", "-1"}).status, 1);
    ASSERT_EQ(run_rcwa(intact, {"0.65", "0", "1"}).status, 1);
    for (const char* torn_name : names) {
        SCOPED_TRACE(torn_name);
        work_dir d;
        write_case(d, c);
        ASSERT_EQ(run_rcwa(d, {"0.6", "0", "-1"}).status, 1);
        // a run killed while it wrote leaves its records cut inside a line
        const std::string first = d.read(torn_name);
        const std::string torn = first.substr(0, first.find('.') + 1);
        d.write(torn_name, first + torn);
        const run_result r = run_rcwa(d, {"0.65", "0", "1"});
        ASSERT_EQ(r.status, 1) << r.out << r.err;
        // the next records start on a fresh line; the intact files take no line end
        for (const char* name : names) {
            const std::string whole = intact.read(name);
            const std::string expect =
                std::string_view(name) == torn_name ? first + torn + "\n" + whole.substr(first.size()) : whole;
            EXPECT_EQ(d.read(name), expect) << name;
        }
    }
}

}  // namespace rcwa::test
