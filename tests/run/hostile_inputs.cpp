// Inputs that a run cannot turn into results: non-finite or meaningless
// numbers, empty layers, counts that overflow or outgrow the file, special
// files. Each stops with its record's status and message, and nothing that
// the run leaves in its working directory says NaN or Infinity.
#include <gtest/gtest.h>

#include <cmath>
#include <dirent.h>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "support/grating_support.hpp"
#include "support/run_support.hpp"

namespace rcwa::test {
namespace {

const double nan_v = std::numeric_limits<double>::quiet_NaN();
const double inf_v = std::numeric_limits<double>::infinity();

struct setup {
    param_input p;
    stack_input s;
    outctl_input o;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> args;
    std::string ctr = "param.txt\nstack.txt\noutctl.txt\n";
};

struct hostile_case {
    const char* name;
    std::function<void(setup&)> mod;
    int status;
    std::string message;  // the last console line
};

void layers(setup& u, int nlayer, const std::string& entries) {
    u.s.nlayer = nlayer;
    u.s.entries = entries;
}

// The ellipsometric values: they exist only with an integer third argument.
void ellipsometry(setup& u) {
    u.o.i_eff = 5;
    u.args = {"0", "9", "1"};
}

std::string nk_table_entry(const std::string& table_name) {
    return "1\n1\n'" + table_name + "'\n0.1\n";
}

const patch whole_cell{2.0, 1.0, 0.0, 0.0, 1.0};
const std::string end = " end write file";  // the last line of a normal run
const std::string thick = "  read error gitter: thickness";
// Code 6 with k term -0.5: k < 0 at every wavelength.
const std::string gain_formula = "6\n1.0\n0.01\n-0.5\n1.0\n1.0\n";
// Drude with a negative damping wavelength: Im eps < 0, while the root taken
// with k >= 0 would be the lossy medium of the same |eps|.
const std::string drude_gain = "4\n1.0\n0.14\n-17.0\n";

// A 2D-stack file of no layers under a superstrate of this material record.
void superstrate_of(setup& u, const std::string& material) {
    u.files.push_back({"stack.txt", "2D_Stack\n1\n1\n0\n" + material + "0\n" + nk_record(1.5) + "0\n"});
}

const hostile_case cases[] = {
    // ---- non-finite and meaningless numbers ----
    {"azimuth_nan", [](setup& u) { u.p.phi = nan_v; }, 13, "  read error input: phi_i"},
    {"lambda_infinite", [](setup& u) { u.p.lambda = inf_v; }, 14, "  read error input: lambda"},
    {"lambda_zero", [](setup& u) { u.p.lambda = 0.0; }, 14, "  read error input: lambda"},
    {"lambda_negative_from_par_value", [](setup& u) { u.args = {"-0.5", "0"}; }, 14,
     "  read error input: lambda"},
    {"par_value_nan", [](setup& u) { u.args = {"NaN", "2", "1"}; }, 10,
     "  wrong value: par_value (argument 1)"},
    {"period_zero", [](setup& u) { u.s.dz = 0.0; }, 20, "  read error gitter: dy, dz"},
    {"grid_angle_nan",
     [](setup& u) {
         u.s.header = "2D_Stack_";
         u.s.grid_angle = nan_v;
     },
     20, "  read error gitter: dy, dz"},
    {"superstrate_index_zero", [](setup& u) { u.s.n_sup = 0.0; }, 17, "  read error gitter: eps_sup"},
    {"substrate_index_infinite", [](setup& u) { u.s.n_sub = cplx(1.5, inf_v); }, 27,
     "  read error layer: refraction index !"},
    {"film_thickness_nan", [](setup& u) { layers(u, 1, film_entry(1.4, nan_v)); }, 28,
     "  read error gitter: thickness"},
    {"film_formula_without_value",
     // Drude with b = 0 divides zero by zero.
     [](setup& u) { layers(u, 1, "1\n4\n1\n0\n0\n0.1\n"); }, 27,
     "  read error layer: refraction index !"},
    {"nk_table_nan",
     [](setup& u) {
         layers(u, 1, nk_table_entry("nk.txt"));
         u.files.push_back({"nk.txt", "title\n2\n400 1.5 0\n900 nan 0\n"});
     },
     27, "  read error layer: refraction index !"},
    {"patch_bound_infinite",
     [](setup& u) { layers(u, 1, patch_entry({{2.0, inf_v, 0.0, 0.0, 1.0}}, 0.1)); }, 42,
     "  read error: patch"},
    // A bound a single-precision rounding step past the cell is its edge; one
    // truly outside names its patch, in a sequence file (fractions) too.
    {"patch_bound_a_rounding_step_past_the_cell",
     [](setup& u) { layers(u, 1, patch_entry({{2.0, 1.0, 0.0, 0.0, 1.0000001}}, 0.1)); }, 1,
     " end write file"},
    {"patch_bound_outside_the_cell",
     [](setup& u) { layers(u, 1, patch_entry({whole_cell, {2.0, 1.0, 0.0, 0.0, 1.1}}, 0.1)); },
     42, "  error patch: bound outside the cell, patch 2"},
    {"patch_bound_ten_millionths_past_the_cell",
     [](setup& u) { layers(u, 1, patch_entry({{2.0, 1.0, 0.0, 0.0, 1.00001}}, 0.1)); }, 42,
     "  error patch: bound outside the cell, patch 1"},
    {"sequence_patch_bound_below_the_cell",
     [](setup& u) {
         layers(u, 1, "8\nseq.txt\n1\n");
         u.files.push_back({"seq.txt", "2D_Stack_Sequence\n1\n" +
                                           patch_entry({{2.0, 1.0, 0.0, -0.01, 1.0}}, 0.1)});
     },
     42, "  error patch: bound outside the cell, patch 1"},
    {"sequence_factor_nan",
     [](setup& u) {
         layers(u, 1, "8\nseq.txt\nnan\n");
         u.files.push_back({"seq.txt", "2D_Stack_Sequence\n1\n" + film_entry(1.4, 0.1)});
     },
     81, "  read error: fak_thick"},
    {"eps_fill_material_nan",
     [](setup& u) {
         layers(u, 1, pixel_entry("map.txt", 1.0, 0.1));
         u.files.push_back({"map.txt", "1\n0\n(nan,0)\n2 1\n16 1\n"});
     },
     88, "  read error: refraction index of 2d eps-fill file"},
    {"raster_angle_infinite",
     [](setup& u) {
         layers(u, 1, raster_entry(9, {1.0, 2.0}, {{2.0, 0.5, 0.5, 0.0, 0.0, inf_v}}, 3, 0.1));
     },
     28, "  read error gitter: thickness"},
    // ---- a layer that describes nothing, a layer the eigen-decomposition cannot take ----
    {"no_patches", [](setup& u) { layers(u, 1, "4\n0\n0.1\n"); }, 40,
     "  read error: ieps (stack/RCWA)"},
    {"patch_of_index_zero",
     [](setup& u) { layers(u, 1, patch_entry({{0.0, 1.0, 0.0, 0.0, 1.0}}, 0.1)); }, 61,
     "  error during eigenroutine"},
    // ---- a grazing order: a normal end with finite results ----
    {"grazing_order",
     [](setup& u) {
         u.s.dy = u.s.dz = 0.8;
         u.p.lambda = 1.6;
         layers(u, 2, patch_entry({{2.0, 0.8, 0.0, 0.0, 0.8}}, 0.3) + film_entry(2.0, 0.2));
     },
     1, " end write file"},
    {"grazing_order_in_two_grating_layers",
     [](setup& u) {
         u.s.dy = u.s.dz = 0.8;
         u.p.lambda = 1.6;
         const patch cell{2.0, 0.8, 0.0, 0.0, 0.8};
         layers(u, 2, patch_entry({cell}, 0.3) + patch_entry({cell}, 0.2));
     },
     1, " end write file"},
    // ---- a periodic cell too small for the numbers ----
    {"period_beyond_range", [](setup& u) { u.s.dy = 1e-300; }, 62,
     "  error: results are not finite numbers"},
    // ---- undefined quotients of valid physics get defined values ----
    {"ellipsometry_without_reflection", [](setup& u) { u.s.n_sub = 1.0; ellipsometry(u); }, 1, end},
    {"ellipsometry_through_opaque_film",
     [](setup& u) {
         layers(u, 1, film_entry(cplx(0.2, 3.0), 50.0));
         u.p.theta = 30.0;
         u.o.iout = 5;
         ellipsometry(u);
     },
     1, end},
    {"amplitudes_into_plasma_substrate", [](setup& u) { u.s.n_sub = cplx(0.0, 3.0); u.o.i_eff = 6; }, 1,
     end},
    // t_EM / (k0 Re n_sub) leaves the range of the numbers: only i_eff 6 writes it.
    {"amplitude_beyond_range",
     [](setup& u) {
         layers(u, 1, patch_entry({{2.0, 1.0, 0.0, 0.0, 0.5}, {1.0, 1.0, 0.5, 0.0, 1.0}}, 0.1));
         u.s.n_sub = cplx(1e-310, 3.0);
         u.p.theta = u.p.phi = 30.0;
         u.o.i_eff = 6;
     },
     62, "  error: results are not finite numbers"},
    // ---- gain, and a breakdown that gives more than the incident energy ----
    {"layer_formula_with_gain", [](setup& u) { layers(u, 1, "1\n" + gain_formula + "0.1\n"); }, 27,
     "  Error layer: Imag(n) < 0 "},
    {"superstrate_formula_with_gain", [](setup& u) { superstrate_of(u, gain_formula); }, 16,
     "  Error Imag(n) sup/sub < 0 !"},
    {"film_drude_with_gain",
     [](setup& u) {
         layers(u, 1, "1\n" + drude_gain + "0.03\n");
         u.p.lambda = 0.55;
         u.p.theta = 30.0;
     },
     27, "  Error layer: Imag(n) < 0 "},
    {"superstrate_drude_with_gain", [](setup& u) { superstrate_of(u, drude_gain); }, 16,
     "  Error Imag(n) sup/sub < 0 !"},
    // n = -1.5 + 0.1i has the permittivity of 1.5 - 0.1i: gain.
    {"film_of_negative_index_has_gain",
     [](setup& u) { layers(u, 1, film_entry(cplx(-1.5, 0.1), 1.0)); }, 27, "  Error layer: Imag(n) < 0 "},
    {"patch_of_index_near_zero",
     [](setup& u) {
         layers(u, 1, patch_entry({{1e-9, 1.0, 0.0, 0.0, 1.0}}, 0.1));
         u.p.theta = 10.0;
         u.p.phi = 30.0;
     },
     63, "  error: results exceed the incident energy"},
    // An order exactly grazing in a film above a grating: rounding leaves
    // energy errors near -1e-5 (their sign by BLAS kernel and thread count),
    // inside the margin, which lpercent does not scale.
    {"order_grazing_in_a_film_in_percent",
     [](setup& u) {
         const cplx air = 1.0;
         layers(u, 2, patch_entry({{2.0, 0.7, 0.3, 0.3, 0.7}, {air, 1.0, 0.0, 0.0, 0.3},
                                   {air, 1.0, 0.7, 0.0, 1.0}, {air, 0.3, 0.3, 0.0, 0.7},
                                   {air, 1.0, 0.3, 0.7, 0.7}}, 0.3) + film_entry(1.5, 0.2));
         u.s.n_sub = 1.7;
         u.p.iomin = -3;
         u.p.iomax = 3;
         u.p.lambda = 1.0606601718;
         u.o.lpercent = true;
     },
     1, end},
    // A lossy superstrate makes no energy balance (here about -5e-3): no stop.
    {"film_under_lossy_superstrate",
     [](setup& u) {
         u.s.n_sup = cplx(1.0, 0.05);
         u.p.theta = 30.0;
         layers(u, 1, film_entry(1.4, 0.1));
     },
     1, end},
    // ---- negative thicknesses ----
    {"film_thickness_negative", [](setup& u) { layers(u, 1, film_entry(cplx(1.5, 0.01), -100.0)); }, 28,
     thick},
    {"patch_thickness_negative", [](setup& u) { layers(u, 1, patch_entry({whole_cell}, -0.1)); }, 28,
     thick},
    {"raster_thickness_negative",
     [](setup& u) {
         layers(u, 1, raster_entry(9, {1.0, 2.0}, {{2.0, 0.5, 0.5, 0.0, 0.0, 0.0}}, 3, -0.1));
     },
     28, thick},
    {"pixel_map_thickness_negative",
     [](setup& u) {
         layers(u, 1, pixel_entry("map.txt", 1.0, -0.1));
         u.files.push_back({"map.txt", fill_text({1.5}, 2, {{16, 1}})});
     },
     84, "  read error: 2d eps-fill information"},
    {"superstrate_thickness_negative", [](setup& u) { u.s.d_sup = -0.1; }, 28, thick},
    {"substrate_thickness_negative", [](setup& u) { u.s.d_sub = -0.1; }, 28, thick},
    {"sequence_factor_negative",
     [](setup& u) {
         layers(u, 1, "8\nseq.txt\n-1\n");
         u.files.push_back({"seq.txt", "2D_Stack_Sequence\n1\n" + film_entry(1.4, 0.1)});
     },
     81, "  read error: fak_thick"},
    // ---- counts ----
    {"sequence_count_overflows_loop",
     [](setup& u) {
         layers(u, 2, "8\nseq.txt\n1\n" + film_entry(1.4, 0.1));
         u.files.push_back({"seq.txt", "2D_Stack_Sequence\n2147483647\n" + film_entry(1.4, 0.1)});
     },
     83, "  read error seq: number of layers "},
    {"patch_count_overflows_table", [](setup& u) { layers(u, 1, "4\n536870912\n"); }, 40,
     "  read error: ieps (stack/RCWA)"},
    {"patch_count_beyond_file",
     [](setup& u) {
         std::string e = patch_entry({whole_cell, whole_cell}, 0.1);
         layers(u, 1, "4\n100000000\n" + e.substr(e.find('\n', 2) + 1));
     },
     41, "  read error patch: eps"},
    {"nk_table_count_beyond_file",
     [](setup& u) {
         layers(u, 1, nk_table_entry("nk.txt"));
         u.files.push_back({"nk.txt", "title\n2147483647\n400 1.5 0\n"});
     },
     27, "  read error layer: refraction index !"},
    {"iout_int_min", [](setup& u) { u.o.iout = std::numeric_limits<int>::min(); }, 52,
     "  read error: iout"},
    {"i_format_int_min", [](setup& u) { u.o.i_format = std::numeric_limits<int>::min(); }, 56,
     "  read error: i_format"},
    {"order_limits_sum_overflows",
     [](setup& u) { u.p.iomin = u.p.iomax = std::numeric_limits<int>::min(); }, 11,
     "  read error or wrong values: iomin,iomax"},
    // ---- a parameter file that never ends a line ----
    {"parameter_file_dev_zero", [](setup& u) { u.ctr = "'/dev/zero'\nstack.txt\noutctl.txt\n"; }, 11,
     "  read error or wrong values: iomin,iomax"},
};

void PrintTo(const hostile_case& c, std::ostream* os) { *os << c.name; }

std::vector<std::string> dir_files(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(path.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        ::closedir(d);
    }
    return names;
}

class hostile : public ::testing::TestWithParam<hostile_case> {};

TEST_P(hostile, stops_with_its_status_and_writes_no_nan) {
    const hostile_case& c = GetParam();
    setup u;
    u.p.iomin = -1;
    u.p.iomax = 1;
    u.s.dy = u.s.dz = 1.0;
    u.o.lfout = true;
    c.mod(u);
    work_dir d;
    write_inputs(d, u.p, u.s, u.o);
    d.write("qalder.ctr", u.ctr);
    for (const auto& [name, text] : u.files) d.write(name, text);
    const run_result r = run_rcwa(d, u.args);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    const auto lines = r.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), c.message) << r.out;
    for (const std::string& name : dir_files(d.path()))
        for (const char* word : {"NaN", "Infinity"})
            EXPECT_EQ(d.read(name).find(word), std::string::npos) << name;
}

INSTANTIATE_TEST_SUITE_P(run, hostile, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rcwa::test
