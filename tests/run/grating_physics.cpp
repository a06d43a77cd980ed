// Grating layers as whole runs against truth from outside the code: a grating
// layer of one material is a thin film (characteristic-matrix optics written
// in the support library); lossless gratings conserve energy; one lamellar
// grating described as patches, as a pixel map and as a raster gives one
// answer; symmetric gratings at normal incidence diffract symmetrically.
#include <gtest/gtest.h>

#include <algorithm>
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

// The grating layer of film case c in a stack of films, from the substrate:
// a film below, the grating layer, a film n_top above (full form, after the
// grating layer), against characteristic-matrix optics.
void expect_film(const film_case& c, const param_input& p, cplx n_film, cplx n_top) {
    const double d = 0.13;
    const std::vector<film> below = {{1.46, 0.2}};
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
    s.nlayer = 3;
    s.entries = film_entry(below[0].n, below[0].d) + c.entry(n_film, d, c.dy, c.dz, files) +
                film_entry(n_top, 0.1);
    table_run t;
    run_table(t, p, s, files);
    ASSERT_EQ(t.table.size(), 9u);

    const std::vector<film> films = {{n_top, 0.1}, {n_film, d}, below[0]};
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

TEST_P(uniform_grating, is_the_thin_film) {
    expect_film(GetParam(), incidence(0.6, 35.0, 25.0, 1),
                cplx(2.0, 0.05), 1.38);
}

// At normal incidence and lambda = 2 dy the orders (+-1, 0) graze inside the
// lossless layer of index 2 and the film of the same index above it: at that
// point the mode has no normal wave vector, and just beside it almost none.
TEST_P(uniform_grating, is_the_thin_film_at_and_near_a_grazing_order) {
    const film_case& c = GetParam();
    for (double shift : {0.0, 1e-9, -1e-7}) {
        SCOPED_TRACE(shift);
        expect_film(c, incidence(2.0 * c.dy * (1.0 + shift), 0.0, 0.0, 1), 2.0, 2.0);
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

param_input lamellar_param(double theta, double phi) { return incidence(0.6, theta, phi, 3); }

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

// Far above the period a lamellar grating is a form-birefringent film: E along
// the ridges (TE at normal incidence) sees f e1 + (1 - f) e2, E across them
// 1 / (f / e1 + (1 - f) / e2). TE departs from that film as (d / lambda)^2; TM
// also by the near fields at the ridge corners, a term of order d / lambda.
// A raster far above its period stays lossless to rounding.
TEST(long_wavelengths, a_lamellar_grating_is_a_form_birefringent_film) {
    const double e1 = 1.45 * 1.45, e_par = 0.5 * e1 + 0.5, e_perp = 1.0 / (0.5 / e1 + 0.5);
    for (const auto& [lambda, lambda_raster] : {std::pair{100.0, 500.0}, std::pair{1000.0, 1000.0}}) {
        SCOPED_TRACE(lambda);
        const double d = 0.3 * lambda, ratio = 1.0 / lambda;
        stack_input s;
        s.dz = 0.7;
        s.n_sub = 1.45;
        s.nlayer = 1;
        s.entries = patch_entry({{1.45, 0.7, 0.0, 0.0, 0.5}, {1.0, 0.7, 0.5, 0.0, 1.0}}, d);
        table_run t;
        run_table(t, incidence(lambda, 0.0, 0.0, 5), s);
        const order_eff z = find_order(t.table, 0, 0);
        const double te = airy(1.0, {{std::sqrt(e_par), d}}, 1.45, 0.0, lambda).rs;
        const double tm = airy(1.0, {{std::sqrt(e_perp), d}}, 1.45, 0.0, lambda).rs;
        EXPECT_NEAR(z.r[0], te, te * ratio * ratio);
        EXPECT_NEAR(z.r[3], tm, tm * ratio);
        EXPECT_LT(std::fabs(t.err_te) + std::fabs(t.err_tm), 1e-7);

        s.dy = 0.6;
        s.dz = 0.5;
        s.n_sub = 1.52;
        s.entries = raster_entry(9, {1.0, 1.7}, {{4.0, 0.3, 0.2, 0.05, 0.05, 30.0}}, 4, 0.2);
        table_run r;
        run_table(r, incidence(lambda_raster, 15.0, 40.0, 2), s);
        EXPECT_LT(std::fabs(r.err_te) + std::fabs(r.err_tm), 1e-10);
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
    const param_input p = incidence(0.55, 30.0, 20.0, 2);
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
    const param_input p = incidence(0.6, 20.0, 35.0, 2);
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

// ---- one structure, many descriptions -------------------------------------------------

// A layer drawn as blocks of index n on a background, in fractions of the
// periods from the cell's lower edge (first direction y along dy, second z
// along dz). Rasters draw each block as a superellipse of exponent `power`
// (1000: the block itself), turned by `rot` degrees. A block from -1 to 2
// spans the whole period.
struct block {
    double y0, y1, z0, z1;
};
struct drawing {
    cplx n_bg, n;
    std::vector<block> blocks;
    double d;
    double power = 1000.0;
    double rot = 0.0;
};
// images9 and images10: a pixel map of every lattice image of the rasters'
// superellipses, sampled where a raster of one (two) shapes samples; film: a
// homogeneous layer of index n.
enum class kind { patches, pixels, raster9, raster10, images9, images10, film };

constexpr int desc_kexp = 8;  // 256 by 256 grids
constexpr int desc_m = 1 << desc_kexp;

// Block edges a quarter sample off the grid: no sample of any grid kind lies
// on an edge, and pixel maps and both raster kinds sample the same pixels.
double px(int k) { return (k - 0.25) / desc_m; }

bool inside(const drawing& w, double y, double z) {
    for (const block& b : w.blocks)
        if (b.y0 < y && y < b.y1 && b.z0 < z && z < b.z1) return true;
    return false;
}

std::string as_patches(const drawing& w, double dy, double dz) {
    // The grid of every edge cuts the cell into rectangles of one index each.
    std::vector<double> ys = {0.0, 1.0}, zs = {0.0, 1.0};
    for (const block& b : w.blocks) {
        ys.insert(ys.end(), {b.y0, b.y1});
        zs.insert(zs.end(), {b.z0, b.z1});
    }
    for (std::vector<double>* e : {&ys, &zs}) {
        for (double& v : *e) v = std::clamp(v, 0.0, 1.0);
        std::sort(e->begin(), e->end());
        e->erase(std::unique(e->begin(), e->end()), e->end());
    }
    std::vector<patch> ps;
    for (std::size_t i = 0; i + 1 < ys.size(); ++i)
        for (std::size_t k = 0; k + 1 < zs.size(); ++k) {
            const bool in = inside(w, 0.5 * (ys[i] + ys[i + 1]), 0.5 * (zs[k] + zs[k + 1]));
            ps.push_back({in ? w.n : w.n_bg, zs[k + 1] * dz, ys[i] * dy, zs[k] * dz, ys[i + 1] * dy});
        }
    return patch_entry(ps, w.d);
}

// Pixel (j1, j2) is of index w.n where in((j1 - 1 + shift)/M, (j2 - 1 + shift)/M).
template <class In>
std::string as_pixels(const drawing& w, double shift, In in, const std::string& name,
                      std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<run_length> runs;
    for (int j2 = 1; j2 <= desc_m; ++j2)
        for (int j1 = 1; j1 <= desc_m; ++j1) {
            const int index = in((j1 - 1 + shift) / desc_m, (j2 - 1 + shift) / desc_m) ? 1 : 0;
            if (!runs.empty() && runs.back().index == index) ++runs.back().length;
            else runs.push_back({1, index});
        }
    files.push_back({name, fill_text({w.n}, desc_kexp, runs)});
    return pixel_entry(name, w.n_bg, w.d);
}

std::string as_raster(const drawing& w, bool two_shapes, double dy, double dz) {
    std::vector<shape> shapes;
    for (const block& b : w.blocks)
        shapes.push_back({w.power, (b.y1 - b.y0) * dy, (b.z1 - b.z0) * dz,
                          (0.5 * (b.y0 + b.y1) - 0.5) * dy, (0.5 * (b.z0 + b.z1) - 0.5) * dz, w.rot});
    if (two_shapes && shapes.size() == 1) shapes.push_back({2.0, 0.0, 0.0, 0.0, 0.0, 0.0});
    if (two_shapes) return raster_entry(10, {w.n_bg, w.n, w.n}, shapes, desc_kexp, w.d);
    return raster_entry(9, {w.n_bg, w.n}, shapes, desc_kexp, w.d);
}

drawing mirrored(drawing w) {
    for (block& b : w.blocks) b = {1.0 - b.y1, 1.0 - b.y0, b.z0, b.z1};
    return w;
}

// One description of a stack: its layers, how each is written, and the rules;
// every length (periods, wavelength, thicknesses, bounds, widths) is scale
// times the setting's.
struct description {
    std::vector<drawing> layers;
    std::vector<kind> kinds;  // per layer
    bool li_off = false;
    double mix_weight = 0.0;
    double scale = 1.0;
};

// The cell, the light and the order set of a case.
struct setting {
    double dy, dz, lambda, theta, phi;
    int iomax;
    double trunc_shape;
    double grid_angle = 0.0;  // degrees; not 0: an oblique lattice
};

struct agreement_case {
    std::string name;
    setting g;
    description a, b;
    bool mirror;   // b is a's mirror image along dy: order (i1, i2) of a is (-i1, i2) of b
    double tol;    // largest difference of any efficiency of any order
    bool blazed;   // both send more light into order (-1, 0) than into (1, 0)
};

// Is the point (y, z), in fractions of the periods, inside a lattice image
// (up to 3 periods away) of one of the blocks' superellipses? Fractions (u, v)
// lie at u (dy, 0) + v dz (sin angle, cos angle); a shape turned by rot holds
// the point (py, pz) from its centre when (py cos rot - pz sin rot,
// pz cos rot + py sin rot) lies in its unturned superellipse.
bool in_images(const drawing& w, const setting& g, double y, double z) {
    const double deg = std::acos(-1.0) / 180.0, al = g.grid_angle * deg, th = w.rot * deg;
    for (const block& b : w.blocks) {
        const double ay = 0.5 * (b.y1 - b.y0) * g.dy, az = 0.5 * (b.z1 - b.z0) * g.dz;
        for (int i = -3; i <= 3; ++i)
            for (int j = -3; j <= 3; ++j) {
                const double u = y - 0.5 * (b.y0 + b.y1) + i, v = z - 0.5 * (b.z0 + b.z1) + j;
                const double py = u * g.dy + v * g.dz * std::sin(al), pz = v * g.dz * std::cos(al);
                const double q1 = (py * std::cos(th) - pz * std::sin(th)) / ay;
                const double q2 = (pz * std::cos(th) + py * std::sin(th)) / az;
                if (std::pow(std::fabs(q1), w.power) + std::pow(std::fabs(q2), w.power) < 1.0)
                    return true;
            }
    }
    return false;
}

void run_description(table_run& t, const agreement_case& c, const description& dsc) {
    setting g = c.g;
    for (double* v : {&g.dy, &g.dz, &g.lambda}) *v *= dsc.scale;
    const param_input p = incidence(g.lambda, g.theta, g.phi, g.iomax, g.trunc_shape);
    stack_input s;
    s.dy = g.dy;
    s.dz = g.dz;
    if (g.grid_angle != 0.0) s.header = "2D_Stack_";
    s.grid_angle = g.grid_angle;
    s.n_sub = 1.5;
    s.nlayer = static_cast<int>(dsc.layers.size());
    std::vector<std::pair<std::string, std::string>> files;
    for (std::size_t k = 0; k < dsc.layers.size(); ++k) {
        drawing w = dsc.layers[k];
        w.d *= dsc.scale;
        const std::string map = "map" + std::to_string(k) + ".txt";
        const auto blocks = [&w](double y, double z) { return inside(w, y, z); };
        const auto images = [&w, &g](double y, double z) { return in_images(w, g, y, z); };
        switch (dsc.kinds[k]) {
            case kind::patches: s.entries += as_patches(w, g.dy, g.dz); break;
            case kind::pixels: s.entries += as_pixels(w, 0.0, blocks, map, files); break;
            case kind::images9: s.entries += as_pixels(w, 0.0, images, map, files); break;
            case kind::images10: s.entries += as_pixels(w, 0.5, images, map, files); break;
            case kind::raster9: s.entries += as_raster(w, false, g.dy, g.dz); break;
            case kind::raster10: s.entries += as_raster(w, true, g.dy, g.dz); break;
            case kind::film: s.entries += film_entry(w.n, w.d); break;
        }
    }
    if (dsc.li_off) set_li_off(s, dsc.mix_weight, g.grid_angle != 0.0);
    run_table(t, p, s, files);
}

std::ostream& operator<<(std::ostream& os, const agreement_case& c) { return os << c.name; }

// An off-centre L of index 2 in air, 0.15 um thick.
drawing l_shape() {
    return {1.0, 2.0, {{px(40), px(151), px(30), px(81)}, {px(40), px(91), px(81), px(201)}}, 0.15};
}
// An off-centre square of index 1.6, 0.1 um thick.
drawing square() { return {1.0, 1.6, {{px(150), px(230), px(120), px(200)}}, 0.1}; }
// One step of a staircase: index 1.5 over k samples of dy from the lower
// edge, 0.3 um thick (a quarter wave of phase at 0.6 um); with k = 192, 128
// and 64 the four levels make a blazed grating whose thick side faces order -1.
drawing step(int k) { return {1.0, 1.5, {{px(1), px(1 + k), -1.0, 2.0}}, 0.3}; }
// A disc of index 2 across 0.41 of dy = dz = 0.8 um, centre offset (c1, c2)
// in samples.
drawing disc(int c1, int c2) {
    const double r = 0.5 * 0.41 / 0.8, y = 0.5 + c1 / double(desc_m), z = 0.5 + c2 / double(desc_m);
    drawing w{1.0, 2.0, {{y - r, y + r, z - r, z + r}}, 0.2};
    w.power = 2.0;
    return w;
}

// A superellipse of index n on n_bg, 0.3 um thick, centred in the cell: full
// widths wy, wz in fractions of dy, dz, exponent p, turned by rot degrees.
drawing turned(cplx n_bg, cplx n, double wy, double wz, double p, double rot) {
    const double y0 = 0.5 - 0.5 * wy, z0 = 0.5 - 0.5 * wz;
    return {n_bg, n, {{y0, y0 + wy, z0, z0 + wz}}, 0.3, p, rot};
}
// Shapes that reach past their cell: a disc on a square lattice described
// obliquely, holes of 0.95 of the period on a hexagonal lattice, a bar turned
// 30 degrees, one 2.8 periods long and a square whose corners cross the edges.
const drawing wide_disc = turned(1.0, 1.45, 0.8, 0.8 / std::sqrt(2.0), 2.0, 0.0),
              big_holes = turned(2.0, 1.0, 0.95, 0.95, 2.0, 0.0),
              bar = turned(1.0, 2.0, 1.2, 0.16, 1000.0, 30.0),
              long_bar = turned(1.0, 2.0, 2.8, 0.1, 1000.0, 25.0),
              tilted_square = turned(1.0, 2.0, 0.9, 0.9, 1000.0, 30.0);

description as(std::vector<drawing> layers, std::vector<kind> kinds, bool li_off = false,
               double w = 0.0) {
    return {std::move(layers), std::move(kinds), li_off, w};
}

const std::vector<drawing> staircase = {step(192), step(128), step(64)};
const std::vector<kind> stair_patches(3, kind::patches), stair_pixels(3, kind::pixels);

// Largest differences: the table's last digit (ES16.8) for one structure in
// two positions or mirrored; the sampling error of a 256 by 256 grid for one
// layer, and for two layers of which one is sampled a quarter sample off.
constexpr double exact = 2e-9, sampled = 1e-4, sampled_pair = 3e-4;

const setting l_cell = {0.8, 0.7, 0.6, 8.0, 20.0, 2, 0.0}, l_cell_normal = {0.8, 0.7, 0.6, 0.0, 0.0, 2, 0.0},
              stair_cell = {2.0, 0.3, 0.6, 0.0, 0.0, 3, 0.0}, disc_cell = {0.8, 0.8, 0.6, 8.0, 20.0, 2, 0.0},
              square_oblique = {1.0, std::sqrt(2.0), 1.3, 10.0, 30.0, 3, 0.0, 45.0},
              hexagonal = {1.0, 1.0, 1.3, 10.0, 30.0, 3, 0.0, 30.0},
              square_cell = {1.0, 1.0, 1.3, 10.0, 30.0, 3, 0.0};

// A raster of one shape (or two) against the pixel map of every image of it.
agreement_case raster_against_images(const char* name, const setting& g, const drawing& w, bool two) {
    return {name, g, as({w}, {two ? kind::images10 : kind::images9}),
            as({w}, {two ? kind::raster10 : kind::raster9}), false, exact, false};
}

// Maxwell's equations have no length of their own: one structure with every
// length times f, against f = 1.
void add_scaled(std::vector<agreement_case>& v, const std::string& name, const setting& g,
                const description& d, std::vector<double> factors = {1e-3, 1e2, 1e3, 1e4, 1e5}) {
    for (double f : factors) {
        description b = d;
        b.scale = f;
        const long e = std::lround(std::log10(f));
        const std::string tag = (e < 0 ? "_x1em" : "_x1e") + std::to_string(std::labs(e));
        v.push_back({"scaled_" + name + tag, g, d, b, false, 1e-9, false});
    }
}

// Two films under a film of 1.38; lamellar ridges along dz; a square pillar of
// patches on a hexagonal lattice; the L as a pixel map; a disc raster on a
// hexagonal lattice; ridges with orders (+-2, 0) grazing in the substrate.
drawing film_of(cplx n, double d) { return {n, n, {}, d}; }
const setting film_light = {1.0, 1.0, 0.55, 20.0, 30.0, 1, 0.0},
              lamellar_light = {1.0, 0.7, 0.8, 20.0, 30.0, 3, 0.0},
              grazing_light = {0.8, 0.3, 0.6, 0.0, 0.0, 3, 0.0};

std::vector<agreement_case> agreement_cases() {
    std::vector<agreement_case> v = {
    {"L_patches_pixels", l_cell,
     as({l_shape()}, {kind::patches}), as({l_shape()}, {kind::pixels}), false, sampled, false},
    {"L_pixels_raster10", l_cell,
     as({l_shape()}, {kind::pixels}), as({l_shape()}, {kind::raster10}), false, sampled, false},
    {"L_patches_pixels_li_off", l_cell,
     as({l_shape()}, {kind::patches}, true, 0.5), as({l_shape()}, {kind::pixels}, true, 0.5),
     false, sampled, false},
    {"L_mirror", l_cell_normal,
     as({l_shape()}, {kind::patches}), as({mirrored(l_shape())}, {kind::patches}), true, exact, false},
    {"stair_li_on_off", stair_cell,
     as(staircase, stair_patches), as(staircase, stair_patches, true, 0.0), false, sampled, true},
    {"stair_pixels_li_on_off", stair_cell,
     as(staircase, stair_pixels), as(staircase, stair_pixels, true, 0.0), false, sampled, true},
    {"stair_patches_raster9", stair_cell,
     as(staircase, stair_patches), as(staircase, std::vector<kind>(3, kind::raster9)), false, sampled, true},
    {"stair_pixels_raster10", stair_cell,
     as(staircase, stair_pixels), as(staircase, std::vector<kind>(3, kind::raster10)), false, sampled, true},
    {"pair_square", l_cell,
     as({l_shape(), square()}, {kind::patches, kind::pixels}),
     as({l_shape(), square()}, {kind::pixels, kind::pixels}), false, sampled_pair, false},
    {"pair_ellipse", {0.8, 0.7, 0.6, 8.0, 20.0, 3, 1.0},
     as({l_shape(), square()}, {kind::patches, kind::pixels}),
     as({l_shape(), square()}, {kind::pixels, kind::pixels}), false, sampled_pair, false},
    {"pair_diamond", {0.8, 0.7, 0.6, 8.0, 20.0, 3, 2.0},
     as({l_shape(), square()}, {kind::patches, kind::pixels}),
     as({l_shape(), square()}, {kind::pixels, kind::pixels}), false, sampled_pair, false},
    {"raster9_over_patches", l_cell,
     as({l_shape(), square()}, {kind::patches, kind::patches}),
     as({l_shape(), square()}, {kind::patches, kind::raster9}), false, sampled_pair, false},
    {"raster10_over_patches", l_cell,
     as({l_shape(), square()}, {kind::patches, kind::raster9}),
     as({l_shape(), square()}, {kind::patches, kind::raster10}), false, sampled, false},
    {"disc_moved_raster9", disc_cell,
     as({disc(0, 0)}, {kind::raster9}), as({disc(96, 64)}, {kind::raster9}), false, exact, false},
    {"disc_moved_raster10", disc_cell,
     as({disc(0, 0)}, {kind::raster10}), as({disc(96, 64)}, {kind::raster10}), false, exact, false},
    raster_against_images("disc_oblique_raster9", square_oblique, wide_disc, false),
    raster_against_images("disc_oblique_raster10", square_oblique, wide_disc, true),
    raster_against_images("hex_holes_raster9", hexagonal, big_holes, false),
    raster_against_images("hex_holes_raster10", hexagonal, big_holes, true),
    raster_against_images("bar_raster9", square_cell, bar, false),
    raster_against_images("bar_raster10", square_cell, bar, true),
    raster_against_images("long_bar_raster9", hexagonal, long_bar, false),
    raster_against_images("long_bar_raster10", hexagonal, long_bar, true),
    raster_against_images("tilted_square_raster9", square_cell, tilted_square, false),
    raster_against_images("tilted_square_raster10", square_cell, tilted_square, true),
    };
    const drawing ridge = {1.0, 1.45, {{0.0, 0.5, -1.0, 2.0}}, 0.4};
    add_scaled(v, "films", film_light,
               as({film_of(2.1, 0.05), film_of(1.38, 0.09964)}, {kind::film, kind::film}),
               {1e-3, 1e2, 1e3, 1e4, 1e5, 1e6});
    add_scaled(v, "lamellar_li", lamellar_light, as({ridge}, {kind::patches}));
    add_scaled(v, "lamellar_mixed", lamellar_light, as({ridge}, {kind::patches}, true, 0.5));
    add_scaled(v, "pillar_hexagonal", hexagonal, as({square()}, {kind::patches}));
    add_scaled(v, "pixel_map", l_cell, as({l_shape()}, {kind::pixels}));
    add_scaled(v, "disc_raster_hexagonal", hexagonal, as({wide_disc}, {kind::raster9}));
    add_scaled(v, "grazing", grazing_light, as({step(128)}, {kind::patches}));
    return v;
}

class descriptions : public ::testing::TestWithParam<agreement_case> {};

TEST_P(descriptions, give_one_answer) {
    const agreement_case& c = GetParam();
    table_run a, b;
    run_description(a, c, c.a);
    run_description(b, c, c.b);
    ASSERT_EQ(a.table.size(), b.table.size());
    double worst = 0.0;
    for (const order_eff& e : a.table) {
        const order_eff f = find_order(b.table, c.mirror ? -e.i1 : e.i1, e.i2);
        for (int k = 0; k < 4; ++k)
            worst = std::fmax(worst, std::fmax(std::fabs(e.r[k] - f.r[k]), std::fabs(e.t[k] - f.t[k])));
    }
    EXPECT_LE(worst, c.tol);
    // Lossless stacks: the size leaves the energy balance at rounding level.
    if (c.b.scale != 1.0) {
        EXPECT_LE(std::fabs(b.err_te), std::fmax(10.0 * std::fabs(a.err_te), 1e-14));
        EXPECT_LE(std::fabs(b.err_tm), std::fmax(10.0 * std::fabs(a.err_tm), 1e-14));
    }
    if (!c.blazed) return;
    for (const table_run* t : {&a, &b}) {
        const order_eff m = find_order(t->table, -1, 0), p = find_order(t->table, 1, 0);
        EXPECT_GT(m.t[0] + m.t[1], 0.5);
        EXPECT_GT(m.t[2] + m.t[3], 0.5);
        EXPECT_LT(p.t[0] + p.t[1], 0.1);
        EXPECT_LT(p.t[2] + p.t[3], 0.1);
    }
}

INSTANTIATE_TEST_SUITE_P(run, descriptions, ::testing::ValuesIn(agreement_cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace rcwa::test
