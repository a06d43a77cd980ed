// Grating layers as whole runs against truth from outside the code: a grating
// layer of one material is a thin film (characteristic-matrix optics written
// in the support library); lossless gratings conserve energy; one lamellar
// grating described as patches, as a pixel map and as a raster gives one
// answer; symmetric gratings at normal incidence diffract symmetrically.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "support/grating_support.hpp"
#include "support/run_support.hpp"

namespace rcwa::test {
namespace {

// ---- a grating layer of one material is a film ------------------------------------

struct film_case {
    const char* name;
    double dy, dz;
    double grid_angle;  // > 0: oblique lattice
    bool li_off;
    // The layer entry (or entries) for a film of index n and thickness d; may
    // add files.
    std::string (*entry)(cplx n, double d, double dy, double dz,
                         std::vector<std::pair<std::string, std::string>>& files);
};

std::string whole_cell_patch(cplx n, double d, double dy, double dz,
                             std::vector<std::pair<std::string, std::string>>&) {
    return patch_entry({{n, dz, 0.0, 0.0, dy}}, d);
}

std::string whole_cell_patches_in_sequence(cplx n, double d, double, double,
                                           std::vector<std::pair<std::string, std::string>>& f) {
    // Fractions of the periods in a sequence file; the thickness factor 2
    // doubles the thickness; two patches halve the cell along dz.
    f.push_back({"seq.txt", "2D_Stack_Sequence\n1\n" +
                                patch_entry({{n, 1.0, 0.0, 0.5, 1.0}, {n, 0.5, 0.0, 0.0, 1.0}},
                                            d / 2, -4)});
    return "8\nseq.txt\n2.0\n";
}

std::string empty_raster(cplx n, double d, double, double,
                         std::vector<std::pair<std::string, std::string>>&) {
    // A shape of width 0 covers no sample; the shape material is not the film's.
    return raster_entry(9, {n, cplx(3.0, 0.2)}, {{2.0, 0.0, 0.4, 0.0, 0.0, 0.0}}, 3, d);
}

std::string empty_raster_negative_code(cplx n, double d, double dy, double,
                                       std::vector<std::pair<std::string, std::string>>&) {
    return raster_entry(-9, {n, cplx(3.0, 0.2)}, {{4.0, 0.3 * dy, 0.0, 0.1, 0.0, 30.0}}, 3, d);
}

std::string two_shape_raster_of_one_material(cplx n, double d, double dy, double dz,
                                             std::vector<std::pair<std::string, std::string>>&) {
    // Both shapes made of the background material.
    return raster_entry(10, {n, n, n},
                        {{2.0, 0.5 * dy, 0.5 * dz, 0.0, 0.0, 0.0},
                         {6.0, 0.3 * dy, 0.2 * dz, 0.1 * dy, -0.2 * dz, 15.0}},
                        3, d);
}

std::string uniform_pixel_map(cplx n, double d, double, double,
                              std::vector<std::pair<std::string, std::string>>& f) {
    // Materials 1 and 2 have the background's index; runs of all three.
    f.push_back({"map.txt", fill_text({n, n}, 3, {{10, 0}, {20, 1}, {1, 2}, {33, 0}})});
    return pixel_entry("map.txt", n, d);
}

std::string uniform_pixel_map_in_sequence(cplx n, double d, double, double,
                                          std::vector<std::pair<std::string, std::string>>& f) {
    // The entry's records come from the sequence file, the film after it too.
    f.push_back({"map.txt", fill_text({n}, 2, {{16, 1}})});
    f.push_back({"seq.txt", "2D_Stack_Sequence\n2\n" + pixel_entry("map.txt", n, d / 4) +
                                film_entry(n, d / 4)});
    return "8\nseq.txt\n2.0\n";
}

const film_case film_cases[] = {
    {"patch_li", 0.7, 0.9, 0.0, false, whole_cell_patch},
    {"patch_li_oblique", 0.7, 0.9, 20.0, false, whole_cell_patch},
    {"patch_mixed_rule", 0.7, 0.9, 0.0, true, whole_cell_patch},
    {"patch_mixed_rule_oblique", 0.7, 0.9, -15.0, true, whole_cell_patch},
    {"patches_in_sequence", 0.7, 0.9, 0.0, false, whole_cell_patches_in_sequence},
    {"empty_raster", 0.7, 0.9, 0.0, false, empty_raster},
    {"empty_raster_oblique_mixed", 0.7, 0.9, 25.0, true, empty_raster},
    {"empty_raster_negative_code", 0.7, 0.9, 10.0, false, empty_raster_negative_code},
    {"two_shape_raster", 0.7, 0.9, 0.0, false, two_shape_raster_of_one_material},
    {"pixel_map", 0.7, 0.9, 0.0, false, uniform_pixel_map},
    {"pixel_map_oblique_mixed", 0.7, 0.9, 20.0, true, uniform_pixel_map},
    {"pixel_map_in_sequence", 0.7, 0.9, 0.0, false, uniform_pixel_map_in_sequence},
};

void PrintTo(const film_case& c, std::ostream* os) { *os << c.name; }

class uniform_grating : public ::testing::TestWithParam<film_case> {};

TEST_P(uniform_grating, is_the_thin_film) {
    const film_case& c = GetParam();
    const cplx n_film(2.0, 0.05);
    const double d = 0.13;
    const std::vector<film> below = {{1.46, 0.2}};  // a film between grating and substrate
    param_input p;
    p.iomin = -1;
    p.iomax = 1;
    p.theta = 35.0;
    p.phi = 25.0;
    p.lambda = 0.6;
    stack_input s;
    s.dy = c.dy;
    s.dz = c.dz;
    if (c.grid_angle != 0.0) {
        s.header = "2D_Stack_";
        s.grid_angle = c.grid_angle;
    }
    if (c.li_off) set_li_off(s, 0.3, c.grid_angle != 0.0);
    s.n_sub = 1.5;
    std::vector<std::pair<std::string, std::string>> files;
    // From the substrate: the film below, the grating layer, a film above.
    s.nlayer = 3;
    s.entries = film_entry(below[0].n, below[0].d) + c.entry(n_film, d, c.dy, c.dz, files) +
                film_entry(1.38, 0.1);
    table_run t;
    run_table(t, p, s, files);
    ASSERT_EQ(t.table.size(), 9u);

    const std::vector<film> films = {{1.38, 0.1}, {n_film, d}, below[0]};
    const rt_power a = airy(1.0, films, 1.5, p.theta, p.lambda);
    const order_eff z = find_order(t.table, 0, 0);
    // The table holds 9 significant digits.
    const double tol = 2e-9;
    EXPECT_NEAR(z.r[0], a.rs, tol);
    EXPECT_NEAR(z.t[0], a.ts, tol);
    EXPECT_NEAR(z.r[3], a.rp, tol);
    EXPECT_NEAR(z.t[3], a.tp, tol);
    // An isotropic layer does not turn the polarisation.
    for (int k : {1, 2}) {
        EXPECT_NEAR(z.r[k], 0.0, 1e-12);
        EXPECT_NEAR(z.t[k], 0.0, 1e-12);
    }
    for (const order_eff& e : t.table) {
        if (e.i1 == 0 && e.i2 == 0) continue;
        for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(e.r[k], 0.0, 1e-12) << e.i1 << " " << e.i2;
            EXPECT_NEAR(e.t[k], 0.0, 1e-12) << e.i1 << " " << e.i2;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(run, uniform_grating, ::testing::ValuesIn(film_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- one lamellar grating, four descriptions -----------------------------------------

// Ridges of index 1.5 along dz, 73/128 of the period dy wide, in air; the
// pixel map and the raster sample exactly this width on 128 pixels.
constexpr int lam_kexp = 7;
constexpr int lam_ridge = 73;
constexpr double lam_dy = 0.8, lam_dz = 0.3, lam_d = 0.25;

param_input lamellar_param(double theta, double phi) {
    param_input p;
    p.iomin = -3;
    p.iomax = 3;
    p.theta = theta;
    p.phi = phi;
    p.lambda = 0.6;
    return p;
}

stack_input lamellar_stack(const std::string& entry) {
    stack_input s;
    s.dy = lam_dy;
    s.dz = lam_dz;
    s.n_sub = 1.5;
    s.nlayer = 1;
    s.entries = entry;
    return s;
}

std::string lamellar_patches() {
    const double w = lam_dy * lam_ridge / 128.0;
    return patch_entry({{1.5, lam_dz, 0.0, 0.0, w}, {1.0, lam_dz, w, 0.0, lam_dy}}, lam_d);
}

std::string lamellar_raster() {
    // Corner samples at k/128 from the cell centre, |k| <= 36: 73 samples. The
    // shape reaches well past the cell along dz, and its high exponent makes it
    // a rectangle there.
    const double w = lam_dy * lam_ridge / 128.0;
    return raster_entry(9, {1.0, 1.5}, {{40.0, w, 3.0 * lam_dz, 0.0, 0.0, 0.0}}, lam_kexp, lam_d);
}

void lamellar_runs_of_all_kinds(double theta, double phi, table_run& li, table_run& mixed,
                                table_run& map, table_run& raster) {
    const param_input p = lamellar_param(theta, phi);
    run_table(li, p, lamellar_stack(lamellar_patches()));
    stack_input s = lamellar_stack(lamellar_patches());
    set_li_off(s, 0.0, false);
    run_table(mixed, p, s);
    run_table(map, p, lamellar_stack(pixel_entry("map.txt", 1.0, lam_d)),
              {{"map.txt", fill_text({1.5}, lam_kexp, lamellar_runs(lam_kexp, lam_ridge))}});
    run_table(raster, p, lamellar_stack(lamellar_raster()));
}

TEST(lamellar, every_description_gives_one_grating) {
    table_run li, mixed, map, raster;
    lamellar_runs_of_all_kinds(20.0, 30.0, li, mixed, map, raster);
    ASSERT_EQ(li.table.size(), 49u);
    // For ridges along one direction, the mixed rule with weight 0 is Li's
    // rule: only rounding tells them apart.
    EXPECT_LT(max_table_difference(li.table, mixed.table), 1e-8);
    // Point-sampled pixels differ from the exact step by a sinc factor in the
    // higher Fourier coefficients (below 1e-4 here).
    EXPECT_LT(max_table_difference(li.table, map.table), 5e-4);
    // The raster and the pixel map sample the same 73 of 128 pixels.
    EXPECT_LT(max_table_difference(map.table, raster.table), 1e-8);
    // The grating diffracts: the first orders carry light.
    const order_eff m1 = find_order(li.table, -1, 0);
    EXPECT_GT(m1.t[0] + m1.t[1] + m1.t[2] + m1.t[3], 0.01);
    // Ridges along dz couple no orders along dz.
    for (const order_eff& e : li.table) {
        if (e.i2 == 0) continue;
        for (int k = 0; k < 4; ++k) EXPECT_LT(e.r[k] + e.t[k], 1e-10) << e.i1 << " " << e.i2;
    }
}

// Lossless gratings conserve energy in conical incidence; the sums of the
// table agree with the energy-error file.
TEST(energy, lossless_gratings_conserve_energy) {
    table_run li, mixed, map, raster;
    lamellar_runs_of_all_kinds(25.0, 40.0, li, mixed, map, raster);
    for (const table_run* t : {&li, &mixed, &map, &raster}) {
        EXPECT_LT(std::fabs(t->err_te), 1e-12);
        EXPECT_LT(std::fabs(t->err_tm), 1e-12);
        double te = 0.0, tm = 0.0;
        for (const order_eff& e : t->table) {
            te += e.r[0] + e.r[1] + e.t[0] + e.t[1];
            tm += e.r[2] + e.r[3] + e.t[2] + e.t[3];
        }
        EXPECT_NEAR(te, 1.0, 1e-9);
        EXPECT_NEAR(tm, 1.0, 1e-9);
    }
}

TEST(energy, crossed_gratings_conserve_energy) {
    param_input p;
    p.iomin = -2;
    p.iomax = 2;
    p.theta = 30.0;
    p.phi = 20.0;
    p.lambda = 0.55;
    const double dy = 0.7, dz = 0.6;
    std::vector<std::string> entries = {
        // discs of high index in glass, oblique lattice
        raster_entry(9, {1.45, 2.2}, {{2.0, 0.4, 0.35, 0.05, 0.0, 0.0}}, 5, 0.2),
        // two shapes
        raster_entry(10, {1.0, 1.6, 2.4},
                     {{2.0, 0.45, 0.4, 0.0, 0.0, 0.0}, {8.0, 0.2, 0.1, 0.1, 0.1, 30.0}}, 5, 0.15),
        // a pixel map with three materials
        pixel_entry("map.txt", 1.0, 0.18),
        // patches: an L-shaped ridge
        patch_entry({{2.0, 0.3, 0.0, 0.0, 0.35},
                     {2.0, 0.6, 0.0, 0.3, 0.2},
                     {1.0, 0.6, 0.2, 0.3, 0.7},
                     {1.0, 0.3, 0.35, 0.0, 0.7}},
                    0.12),
    };
    // 16 by 16 pixels: half the lines along dz start with 5 pixels of
    // material 1, the other half with 7 of material 2.
    std::vector<run_length> runs;
    for (int k = 0; k < 16; ++k) {
        if (k < 8) runs.insert(runs.end(), {{5, 1}, {11, 0}});
        else runs.insert(runs.end(), {{7, 2}, {9, 0}});
    }
    const std::string map = fill_text({1.8, 1.3}, 4, runs);
    for (int variant = 0; variant < 3; ++variant) {
        for (std::size_t k = 0; k < entries.size(); ++k) {
            stack_input s;
            s.dy = dy;
            s.dz = dz;
            s.n_sub = 1.5;
            s.nlayer = 1;
            s.entries = entries[k];
            if (variant >= 1) {
                s.header = "2D_Stack_";
                s.grid_angle = 12.0;
            }
            if (variant == 2) set_li_off(s, 0.5, true);
            table_run t;
            run_table(t, p, s, {{"map.txt", map}});
            ASSERT_EQ(t.table.size(), 25u);
            EXPECT_LT(std::fabs(t.err_te), 1e-12) << k << " " << variant;
            EXPECT_LT(std::fabs(t.err_tm), 1e-12) << k << " " << variant;
            double diffracted = 0.0;
            for (const order_eff& e : t.table)
                if (e.i1 != 0 || e.i2 != 0)
                    for (int c = 0; c < 4; ++c) diffracted += e.r[c] + e.t[c];
            EXPECT_GT(diffracted, 1e-3) << k << " " << variant;
        }
    }
}

TEST(energy, absorbing_grating_loses_energy) {
    param_input p = lamellar_param(10.0, 0.0);
    stack_input s = lamellar_stack(patch_entry(
        {{cplx(1.5, 0.1), lam_dz, 0.0, 0.0, 0.4}, {1.0, lam_dz, 0.4, 0.0, lam_dy}}, lam_d));
    table_run t;
    run_table(t, p, s);
    EXPECT_GT(t.err_te, 1e-3);
    EXPECT_GT(t.err_tm, 1e-3);
    EXPECT_LT(t.err_te, 1.0);
    EXPECT_LT(t.err_tm, 1.0);
}

// ---- a raster on a cell with dy != dz --------------------------------------------------

// A shape turned by a quarter turn is the shape with its widths swapped; on a
// cell of dz = dy / 2 the turn must scale the two directions by dz/dy and
// dy/dz, or the turned shape covers another area. The shapes are centred
// well inside the cell, so where the samples sit does not matter.
TEST(raster, quarter_turn_on_a_rectangular_cell_swaps_the_widths) {
    param_input p;
    p.iomin = -2;
    p.iomax = 2;
    p.theta = 20.0;
    p.phi = 35.0;
    p.lambda = 0.6;
    stack_input s;
    s.dy = 1.0;
    s.dz = 0.5;
    s.n_sub = 1.5;
    s.nlayer = 1;
    // widths along dy and dz in micrometres: 0.6 by 0.2, and 0.2 by 0.1 inside it
    const double p1 = 2.0, p2 = 6.0;
    const std::pair<std::string, std::string> pairs[] = {
        {raster_entry(9, {1.0, 2.0}, {{p1, 0.2, 0.6, 0.0, 0.0, 90.0}}, 6, 0.15),
         raster_entry(9, {1.0, 2.0}, {{p1, 0.6, 0.2, 0.0, 0.0, 0.0}}, 6, 0.15)},
        {raster_entry(10, {1.0, 2.0, 1.5},
                      {{p1, 0.2, 0.6, 0.0, 0.0, 90.0}, {p2, 0.1, 0.2, 0.0, 0.0, -90.0}}, 6, 0.15),
         raster_entry(10, {1.0, 2.0, 1.5},
                      {{p1, 0.6, 0.2, 0.0, 0.0, 0.0}, {p2, 0.2, 0.1, 0.0, 0.0, 0.0}}, 6, 0.15)},
    };
    for (const auto& [turned, plain] : pairs) {
        table_run a, b;
        s.entries = turned;
        run_table(a, p, s);
        s.entries = plain;
        run_table(b, p, s);
        ASSERT_EQ(a.table.size(), 25u);
        EXPECT_LT(max_table_difference(a.table, b.table), 1e-9);
        double diffracted = 0.0;
        for (const order_eff& e : b.table)
            if (e.i1 != 0 || e.i2 != 0) diffracted += e.t[0] + e.t[3];
        EXPECT_GT(diffracted, 1e-3);
    }
}

// ---- symmetry ---------------------------------------------------------------------------

void expect_same_order(const order_eff& a, const order_eff& b, double tol) {
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(a.r[k], b.r[k], tol) << a.i1 << "," << a.i2 << " vs " << b.i1 << "," << b.i2;
        EXPECT_NEAR(a.t[k], b.t[k], tol) << a.i1 << "," << a.i2 << " vs " << b.i1 << "," << b.i2;
    }
}

// Degenerate modes (the symmetry makes pairs of them) cost the eigenvectors
// about half the digits: agreement to some 1e-8.
TEST(symmetry, symmetric_gratings_at_normal_incidence) {
    const double tol = 2e-8;
    // Lamellar patches: orders +m and -m alike.
    {
        table_run t;
        run_table(t, lamellar_param(0.0, 0.0), lamellar_stack(lamellar_patches()));
        double first = 0.0;
        for (int m = 1; m <= 3; ++m) {
            expect_same_order(find_order(t.table, m, 0), find_order(t.table, -m, 0), tol);
            const order_eff e = find_order(t.table, m, 0);
            if (m == 1) first = e.t[0] + e.t[3];
        }
        EXPECT_GT(first, 0.01);
    }
    // A disc in a square cell: mirror symmetric in both directions, and a
    // quarter turn takes order (1,0) under TE incidence to order (0,1) under TM.
    {
        param_input p;
        p.iomin = -2;
        p.iomax = 2;
        p.lambda = 0.5;
        stack_input s;
        s.dy = s.dz = 0.8;
        s.n_sub = 1.5;
        s.nlayer = 1;
        s.entries = raster_entry(9, {1.0, 2.0}, {{2.0, 0.5, 0.5, 0.0, 0.0, 0.0}}, 5, 0.2);
        table_run t;
        run_table(t, p, s);
        for (int m = 1; m <= 2; ++m) {
            expect_same_order(find_order(t.table, m, 0), find_order(t.table, -m, 0), tol);
            expect_same_order(find_order(t.table, 0, m), find_order(t.table, 0, -m), tol);
            expect_same_order(find_order(t.table, m, m), find_order(t.table, -m, -m), tol);
            const order_eff a = find_order(t.table, m, 0);
            const order_eff b = find_order(t.table, 0, m);
            EXPECT_NEAR(a.r[0] + a.r[1], b.r[2] + b.r[3], tol) << m;
            EXPECT_NEAR(a.t[0] + a.t[1], b.t[2] + b.t[3], tol) << m;
        }
        const order_eff z = find_order(t.table, 0, 0);
        EXPECT_NEAR(z.t[0], z.t[3], tol);
        EXPECT_NEAR(z.r[0], z.r[3], tol);
    }
}

}  // namespace
}  // namespace rcwa::test
