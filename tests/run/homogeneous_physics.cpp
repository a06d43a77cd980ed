// Homogeneous stacks against thin-film optics computed independently here
// (characteristic matrices): Fresnel at one interface, single films and
// multilayers with absorbing media, total internal reflection, energy
// conservation, and the equivalence of the entry kinds and matrix forms; and
// every folder of examples/ against thin-film optics and the README's figures.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_support.hpp"
#include "support/text_check.hpp"

namespace rcwa::test {
namespace {

// Runs with a one-file table of efficiencies (iout 0, i_eff 0, ES16.8) and the
// energy-error file.
void run_table(table_run& t, const param_input& p, const stack_input& s, outctl_input o = {},
               const std::vector<std::string>& args = {}) {
    run_table_of(t, p, s, o, args, {}, 0);
}

std::string films_entries(const std::vector<film>& films_top_down) {
    // The 2D-stack file lists layers from the substrate upward.
    std::string e;
    for (auto it = films_top_down.rbegin(); it != films_top_down.rend(); ++it)
        e += film_entry(it->n, it->d);
    return e;
}

stack_input stack_of(double n_sup, const std::vector<film>& films, cplx n_sub) {
    stack_input s;
    s.n_sup = n_sup;
    s.n_sub = n_sub;
    s.nlayer = static_cast<int>(films.size());
    s.entries = films_entries(films);
    return s;
}

void expect_airy(const order_eff& z, const rt_power& a, double tol = 2e-8) {
    EXPECT_NEAR(z.r[0], a.rs, tol) << "R TE";
    EXPECT_NEAR(z.r[3], a.rp, tol) << "R TM";
    EXPECT_NEAR(z.t[0], a.ts, tol) << "T TE";
    EXPECT_NEAR(z.t[3], a.tp, tol) << "T TM";
    // An isotropic stack does not turn the polarisation.
    for (int k : {1, 2}) {
        EXPECT_NEAR(z.r[k], 0.0, 1e-12) << "R cross " << k;
        EXPECT_NEAR(z.t[k], 0.0, 1e-12) << "T cross " << k;
    }
}

struct fresnel_case {
    double n_sup;
    cplx n_sub;
    double theta, phi, lambda;
    std::vector<film> films = {};
};

void PrintTo(const fresnel_case& c, std::ostream* os) {
    *os << "n_sup " << c.n_sup << " n_sub " << c.n_sub << " theta " << c.theta << " phi " << c.phi
        << " lambda " << c.lambda << " films " << c.films.size();
}

class fresnel : public ::testing::TestWithParam<fresnel_case> {};

TEST_P(fresnel, single_interface_or_film) {
    const fresnel_case c = GetParam();
    param_input p;
    p.theta = c.theta;
    p.phi = c.phi;
    p.lambda = c.lambda;
    table_run t;
    run_table(t, p, stack_of(c.n_sup, c.films, c.n_sub));
    ASSERT_EQ(t.table.size(), 1u);
    expect_airy(find_order(t.table, 0, 0), airy(c.n_sup, c.films, c.n_sub, c.theta, c.lambda));
    if (c.n_sub.imag() == 0.0) {
        EXPECT_LT(std::fabs(t.err_te), 1e-10);
        EXPECT_LT(std::fabs(t.err_tm), 1e-10);
    }
}

INSTANTIATE_TEST_SUITE_P(run, fresnel,
                         ::testing::Values(fresnel_case{1.0, 1.5, 40.0, 0.0, 0.5},
                                           fresnel_case{1.0, 1.5, 40.0, 30.0, 0.5},
                                           fresnel_case{1.0, 1.5, 65.0, 90.0, 0.7},
                                           fresnel_case{1.0, 1.5, 56.3099324740202, 217.0, 0.6},
                                           fresnel_case{1.5, 1.0, 30.0, 45.0, 0.5},
                                           fresnel_case{1.33, cplx(0.2, 3.4), 55.0, 10.0, 0.6},
                                           fresnel_case{1.0, cplx(3.9, 0.02), 0.0, 0.0, 0.8},
                                           // index near 0: small 2 by 2 blocks, far from singular
                                           fresnel_case{1.0, 1.52, 0.0, 0.0, 0.55, {{3e-4, 0.1}}}));

TEST(films, single_absorbing_film_several_azimuths) {
    const std::vector<film> films = {{cplx(2.0, 0.05), 0.12}};
    for (double phi : {0.0, 25.0, 90.0, 300.0}) {
        param_input p;
        p.theta = 35.0;
        p.phi = phi;
        p.lambda = 0.55;
        table_run t;
        run_table(t, p, stack_of(1.0, films, 1.5));
        expect_airy(find_order(t.table, 0, 0), airy(1.0, films, 1.5, 35.0, 0.55));
    }
}

TEST(films, multilayer_with_absorbing_layers_and_substrate) {
    const std::vector<film> films = {{1.38, 0.09},         {cplx(2.3, 0.01), 0.06},
                                     {cplx(0.5, 2.5), 0.01}, {1.46, 0.2},
                                     {cplx(2.3, 0.01), 0.07}};
    const cplx sub(3.9, 0.02);
    for (double phi : {0.0, 60.0, 135.0}) {
        param_input p;
        p.theta = 50.0;
        p.phi = phi;
        p.lambda = 0.633;
        table_run t;
        run_table(t, p, stack_of(1.0, films, sub));
        expect_airy(find_order(t.table, 0, 0), airy(1.0, films, sub, 50.0, 0.633));
    }
}

// The thicknesses of the half-spaces move the planes the amplitudes refer
// to: each pass through a thickness d of a half-space of index n adds the
// phase k0 n cos(theta) d (complex in an absorbing substrate), twice for the
// reflected wave, once in each half-space for the transmitted one.
TEST(films, half_space_thicknesses_shift_the_phases) {
    struct thick_case {
        double n_sup;
        cplx n_sub;
        double theta, phi, d_sup, d_sub;
    };
    for (const thick_case c : {thick_case{1.0, 1.5, 30.0, 20.0, 0.37, 0.23},
                               thick_case{1.33, cplx(2.0, 0.3), 50.0, 0.0, 0.21, 0.4}}) {
        SCOPED_TRACE(c.theta);
        const double lambda = 0.6, k0 = 2 * std::acos(-1.0) / lambda;
        // amplitudes EE, MM of reflection then transmission, without and with thicknesses
        cplx amp[2][4];
        for (int thick = 0; thick < 2; ++thick) {
            work_dir d;
            param_input p;
            p.theta = c.theta;
            p.phi = c.phi;
            p.lambda = lambda;
            stack_input s = stack_of(c.n_sup, {{cplx(2.1, 0.02), 0.11}}, c.n_sub);
            s.d_sup = thick ? c.d_sup : 0.0;
            s.d_sub = thick ? c.d_sub : 0.0;
            outctl_input o;
            o.lfout = true;
            o.iout = 6;
            o.i_eff = 6;  // complex amplitudes, ES16.8
            o.i_format = 5;
            o.l_info = false;
            write_inputs(d, p, s, o);
            const run_result r = run_rcwa(d);
            ASSERT_EQ(r.status, 1) << r.out << r.err;
            const std::vector<std::string> l = lines_of(d.read("res.txt"));
            ASSERT_EQ(l.size(), 4u);  // heading, empty line, two records
            for (int m = 0; m < 2; ++m) {
                const std::vector<double> v = numbers(l[2 + m]);
                ASSERT_EQ(v.size(), 11u);
                amp[thick][2 * m] = cplx(v[3], v[4]);
                amp[thick][2 * m + 1] = cplx(v[9], v[10]);
            }
        }
        const cplx i(0.0, 1.0);
        const double st = c.n_sup * std::sin(c.theta * std::acos(-1.0) / 180);
        const double kz_sup = k0 * std::sqrt(c.n_sup * c.n_sup - st * st);
        const cplx kz_sub = k0 * std::sqrt(c.n_sub * c.n_sub - st * st);
        const cplx shift[4] = {std::exp(2.0 * i * kz_sup * c.d_sup), std::exp(2.0 * i * kz_sup * c.d_sup),
                               std::exp(i * (kz_sup * c.d_sup + kz_sub * c.d_sub)),
                               std::exp(i * (kz_sup * c.d_sup + kz_sub * c.d_sub))};
        for (int k = 0; k < 4; ++k) {
            ASSERT_GT(std::abs(amp[0][k]), 0.05) << k;
            EXPECT_LT(std::abs(amp[1][k] - amp[0][k] * shift[k]), 2e-8 * std::abs(amp[0][k])) << k;
        }
    }
}

TEST(films, lossless_stack_conserves_energy) {
    std::vector<film> films;
    for (int k = 0; k < 10; ++k) films.push_back({k % 2 ? cplx(1.46) : cplx(2.35), 0.05 + 0.01 * k});
    param_input p;
    p.theta = 42.0;
    p.phi = 17.0;
    p.lambda = 0.6;
    table_run t;
    run_table(t, p, stack_of(1.0, films, 1.52));
    const order_eff z = find_order(t.table, 0, 0);
    expect_airy(z, airy(1.0, films, 1.52, 42.0, 0.6));
    EXPECT_NEAR(z.r[0] + z.t[0], 1.0, 1e-8);
    EXPECT_NEAR(z.r[3] + z.t[3], 1.0, 1e-8);
    EXPECT_LT(std::fabs(t.err_te), 1e-10);
    EXPECT_LT(std::fabs(t.err_tm), 1e-10);
}

TEST(films, total_internal_reflection_and_tunnelling) {
    param_input p;
    p.theta = 60.0;
    p.phi = 20.0;
    p.lambda = 0.5;
    {
        table_run t;
        run_table(t, p, stack_of(1.5, {}, 1.0));
        const order_eff z = find_order(t.table, 0, 0);
        EXPECT_NEAR(z.r[0], 1.0, 1e-10);
        EXPECT_NEAR(z.r[3], 1.0, 1e-10);
        EXPECT_NEAR(z.t[0], 0.0, 1e-12);
        EXPECT_NEAR(z.t[3], 0.0, 1e-12);
        EXPECT_LT(std::fabs(t.err_te), 1e-10);
        EXPECT_LT(std::fabs(t.err_tm), 1e-10);
    }
    {
        // A thin air gap between two glasses: frustrated total reflection.
        const std::vector<film> gap = {{1.0, 0.1}};
        table_run t;
        run_table(t, p, stack_of(1.5, gap, 1.5));
        const order_eff z = find_order(t.table, 0, 0);
        const rt_power a = airy(1.5, gap, 1.5, 60.0, 0.5);
        EXPECT_GT(a.ts, 0.01);
        expect_airy(z, a);
        EXPECT_LT(std::fabs(t.err_te), 1e-10);
        EXPECT_LT(std::fabs(t.err_tm), 1e-10);
    }
}

TEST(films, oblique_lattice_does_not_change_a_homogeneous_stack) {
    const std::vector<film> films = {{2.1, 0.08}, {1.38, 0.1}};
    param_input p;
    p.theta = 30.0;
    p.phi = 40.0;
    p.lambda = 0.55;
    stack_input s = stack_of(1.0, films, 1.5);
    s.header = "2D_Stack_";
    s.grid_angle = 25.0;
    table_run t;
    run_table(t, p, s);
    expect_airy(find_order(t.table, 0, 0), airy(1.0, films, 1.5, 30.0, 0.55));
}

// Orders beyond the zeroth exist in the set but carry nothing in a
// homogeneous stack; the zeroth order is the same as with one order.
TEST(orders, higher_orders_stay_dark) {
    const std::vector<film> films = {{cplx(2.0, 0.05), 0.12}, {1.46, 0.3}};
    param_input p;
    p.theta = 20.0;
    p.phi = 10.0;
    p.lambda = 0.5;
    table_run one, many;
    run_table(one, p, stack_of(1.0, films, 1.5));
    p.iomin = -2;
    p.iomax = 2;
    stack_input s = stack_of(1.0, films, 1.5);
    s.dy = 0.8;
    s.dz = 1.1;
    run_table(many, p, s);
    ASSERT_EQ(many.table.size(), 25u);
    const order_eff z1 = find_order(one.table, 0, 0);
    const order_eff z = find_order(many.table, 0, 0);
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(z.r[k], z1.r[k], 1e-12);
        EXPECT_NEAR(z.t[k], z1.t[k], 1e-12);
    }
    for (const order_eff& e : many.table) {
        if (e.i1 == 0 && e.i2 == 0) continue;
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(e.r[k], 0.0) << e.i1 << " " << e.i2;
            EXPECT_EQ(e.t[k], 0.0) << e.i1 << " " << e.i2;
        }
    }
}

// The block-diagonal path (films before any cone entry) and the full path
// (after a cone entry) give the same efficiencies; a sequence with a factor
// gives the films it describes.
TEST(forms, cone_entry_forces_full_form_with_same_result) {
    const std::vector<film> films = {{cplx(2.0, 0.05), 0.12}, {1.46, 0.3}, {1.38, 0.1}};
    param_input p;
    p.iomin = -1;
    p.iomax = 1;
    p.theta = 25.0;
    p.phi = 33.0;
    p.lambda = 0.6;

    table_run bd;
    stack_input s = stack_of(1.0, films, 1.5);
    s.dy = 0.9;
    s.dz = 0.7;
    run_table(bd, p, s);

    table_run full;
    // Cone entry: two records read over, two materials, seven records read
    // over, then the sequence name and factor. The sequence holds the lower
    // two films at half thickness (factor 2); the top film follows from the
    // 2D-stack file.
    stack_input sf = s;
    sf.nlayer = 2;
    sf.entries = "11\nx\ny\n" + nk_record(1.2) + nk_record(cplx(1.0, 0.5)) + "1\n2\n3\n4\n5\n6\n7\n" +
                 "'seq file.txt'  name with a blank\n2.0\n" + film_entry(films[0].n, films[0].d);
    full.d.write("seq file.txt", "2D_Stack_Sequence  trailing words\n2\n" +
                                     film_entry(films[2].n, films[2].d / 2) +
                                     film_entry(films[1].n, films[1].d / 2));
    run_table(full, p, sf);

    ASSERT_EQ(bd.table.size(), 9u);
    ASSERT_EQ(full.table.size(), 9u);
    for (std::size_t k = 0; k < bd.table.size(); ++k) {
        const order_eff& a = bd.table[k];
        const order_eff& b = full.table[k];
        EXPECT_EQ(a.i1, b.i1);
        EXPECT_EQ(a.i2, b.i2);
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(a.r[c], b.r[c], 1e-9);
            EXPECT_NEAR(a.t[c], b.t[c], 1e-9);
        }
    }
    expect_airy(find_order(full.table, 0, 0), airy(1.0, films, 1.5, 25.0, 0.6));
}

TEST(forms, sequence_spliced_between_films) {
    // Stack from the substrate: film A, a sequence of two films (factor 1.5),
    // film B; then the superstrate. A sequence with no entries changes nothing.
    const film a{1.6, 0.1}, s1{2.2, 0.04}, s2{1.4, 0.06}, b{1.9, 0.05};
    table_run t;
    stack_input s;
    s.nlayer = 4;
    s.entries = film_entry(a.n, a.d) + "-8\nseq.txt\n1.5\n" + "8\nempty.txt\n3\n" + film_entry(b.n, b.d);
    t.d.write("seq.txt", "2D_Stack_Sequence\n2\n" + film_entry(s1.n, s1.d / 1.5) + film_entry(s2.n, s2.d / 1.5));
    t.d.write("empty.txt", "2D_Stack_Sequence\n0\n");
    param_input p;
    p.theta = 45.0;
    p.lambda = 0.5;
    run_table(t, p, s);
    const std::vector<film> top_down = {b, s2, s1, a};
    expect_airy(find_order(t.table, 0, 0), airy(1.0, top_down, 1.5, 45.0, 0.5));
}

TEST(results, percent_scaling_and_window) {
    const std::vector<film> films = {{2.0, 0.1}};
    param_input p;
    p.iomin = -1;
    p.iomax = 1;
    p.theta = 10.0;
    p.lambda = 0.5;
    outctl_input o;
    o.lpercent = true;
    o.nop[0] = 0;  // first index 0..1
    o.nop[1] = 1;
    o.nop[2] = -1;  // second index -1..0
    o.nop[3] = 0;
    table_run t;
    run_table(t, p, stack_of(1.0, films, 1.5), o);
    ASSERT_EQ(t.table.size(), 4u);
    for (const order_eff& e : t.table) {
        EXPECT_GE(e.i1, 0);
        EXPECT_LE(e.i1, 1);
        EXPECT_GE(e.i2, -1);
        EXPECT_LE(e.i2, 0);
    }
    const rt_power a = airy(1.0, films, 1.5, 10.0, 0.5);
    const order_eff z = find_order(t.table, 0, 0);
    EXPECT_NEAR(z.r[0], 100 * a.rs, 2e-6);
    EXPECT_NEAR(z.t[3], 100 * a.tp, 2e-6);
    // Errors in percent, still near zero for a lossless stack.
    EXPECT_LT(std::fabs(t.err_te), 1e-8);
    EXPECT_LT(std::fabs(t.err_tm), 1e-8);
}

TEST(results, energy_error_on_the_console_with_absorption) {
    // Per-quantity layout: the energy errors go to the console with l_info.
    const std::vector<film> films = {{cplx(1.5, 0.2), 0.2}};
    work_dir d;
    param_input p;
    p.theta = 30.0;
    p.lambda = 0.5;
    outctl_input o;
    o.lfout = true;
    o.iout = 1;
    o.l_info = true;
    o.fname_out = "pq";
    write_inputs(d, p, stack_of(1.0, films, 1.5), o);
    const run_result r = run_rcwa(d);
    ASSERT_EQ(r.status, 1) << r.out << r.err;
    double e_te = 0, e_tm = 0;
    ASSERT_TRUE(energy_errors(r, e_te, e_tm)) << r.out;
    const rt_power a = airy(1.0, films, 1.5, 30.0, 0.5);
    EXPECT_NEAR(e_te, 1.0 - a.rs - a.ts, 1e-6);
    EXPECT_NEAR(e_tm, 1.0 - a.rp - a.tp, 1e-6);
    EXPECT_GT(e_te, 0.01);
    EXPECT_FALSE(d.exists("energy_error.txt"));
}

// ---- the examples of examples/ -------------------------------------------------------

// Per folder, the cells of its row in the README's examples table after the
// folder and what it shows: REE, RMM, TEE, TMM of order (0, 0), Error_TE,
// Error_TM, as the README prints them.
std::map<std::string, std::vector<std::string>> readme_example_figures() {
    std::ifstream in(RCWA_SOURCE_DIR "/README.md");
    std::map<std::string, std::vector<std::string>> rows;
    const std::string mark = "| `examples/";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(mark, 0) != 0) continue;
        std::vector<std::string> cells;
        std::istringstream row(line.substr(1));
        for (std::string cell; std::getline(row, cell, '|');)
            cells.push_back(cell.substr(1, cell.size() - 2));
        const std::string folder = cells[0].substr(mark.size() - 2);
        rows[folder.substr(0, folder.size() - 1)].assign(cells.begin() + 2, cells.end());
    }
    return rows;
}

// An example's incidence and films read by hand from its input files; a
// grating has no films.
struct example_case {
    std::string name;
    double theta, lambda;
    std::vector<film> films;  // from the air down to the substrate
    cplx n_sub;
    bool lossless;  // no absorbing layer: the energy errors are rounding alone
};

std::vector<example_case> example_cases() {
    // Eight pairs, SiO2 on top, every thickness times fak_thick 0.6.
    std::vector<film> mirror;
    for (int pair = 0; pair < 8; ++pair) {
        mirror.push_back({1.46, 0.6 * 0.17123});
        mirror.push_back({2.35, 0.6 * 0.10638});
    }
    // Drude: eps = a - lambda^2 / (b^2 (1 + i lambda / c)), a 5, b 0.136, c 17.
    const double lam = 0.6;
    const cplx silver = std::sqrt(5.0 - lam * lam / (0.136 * 0.136 * cplx(1.0, lam / 17.0)));
    return {
        {"ar_film", 0.0, 0.55, {{1.38, 0.09964}}, 1.52, true},
        {"bragg_mirror", 0.0, 0.6, mirror, 1.52, true},
        // gold.nk has an entry at 550 nm itself.
        {"metal_film", 45.0, 0.55, {{cplx(0.43, 2.46), 0.045}}, 1.52, false},
        {"drude_metal", 45.0, lam, {{silver, 0.03}}, 1.52, false},
        {"oblique_grid", 20.0, 0.633, {{1.46, 0.1}, {2.0, 0.08}}, cplx(3.88, 0.02), true},
        {"lamellar_patches", 0.0, 0.8, {}, 1.45, true},
        {"post_grating", 10.0, 0.6, {}, 1.52, true},
    };
}

TEST(examples, every_folder_runs_and_gives_the_readme_figures) {
    namespace fs = std::filesystem;
    const fs::path root = RCWA_SOURCE_DIR "/examples";
    const std::map<std::string, std::vector<std::string>> readme = readme_example_figures();
    std::set<std::string> folders, rows, cases;
    for (const fs::directory_entry& e : fs::directory_iterator(root))
        folders.insert(e.path().filename().string());
    for (const auto& [name, figures] : readme) rows.insert(name);
    for (const example_case& c : example_cases()) cases.insert(c.name);
    EXPECT_EQ(rows, folders);
    EXPECT_EQ(cases, folders);

    for (const example_case& c : example_cases()) {
        SCOPED_TRACE(c.name);
        work_dir d;
        fs::copy(root / c.name, d.path(), fs::copy_options::recursive);
        const run_result r = run_rcwa(d);
        ASSERT_EQ(r.status, 1) << r.out << r.err;
        const order_eff z = find_order(read_eff_table(d.read("result.txt")), 0, 0);
        double par = 0.0, err_te = 1.0, err_tm = 1.0;
        std::istringstream(d.read("energy_error.txt")) >> par >> err_te >> err_tm;

        // The README's figures, to the digits it prints.
        const double got[6] = {z.r[0], z.r[3], z.t[0], z.t[3], err_te, err_tm};
        const auto row = readme.find(c.name);
        ASSERT_NE(row, readme.end());
        ASSERT_EQ(row->second.size(), 6u);
        for (std::size_t k = 0; k < 6; ++k) {
            const std::string& shown = row->second[k];
            const std::size_t point = shown.find('.');
            const double decimals = point == std::string::npos ? 0.0 : shown.size() - point - 1.0;
            EXPECT_NEAR(got[k], std::stod(shown), 0.5 * std::pow(10.0, -decimals)) << "column " << k;
        }
        if (!c.films.empty()) expect_airy(z, airy(1.0, c.films, c.n_sub, c.theta, c.lambda));
        if (c.lossless) {
            EXPECT_LT(std::fabs(err_te), 1e-12);
            EXPECT_LT(std::fabs(err_tm), 1e-12);
        }
    }
}

}  // namespace
}  // namespace rcwa::test
