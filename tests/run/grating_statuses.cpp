// The input errors of the grating-layer entries and eps-fill files, each as a
// whole run with its exit status and console message; and the console lines
// of a grating layer (marker, step timing, kernel timing, layout warnings).
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/grating_support.hpp"
#include "support/run_support.hpp"

namespace rcwa::test {
namespace {

// A free-format console line of a message as the system words it.
std::string ff(const std::string& msg) { return " " + msg; }

struct stop_case {
    const char* name;
    std::string entry;  // the one layer entry of the 2D-stack file
    std::vector<std::pair<std::string, std::string>> files;
    int status;
    std::string message;  // the last console line, as the system words it
};

const std::string good_patch = "0\n(1.5,0)\n1 0 0 1\n";
// A material whose formula (code 6) gives n = 1.5 with a negative k.
const std::string formula_neg_k = "6\n1.25\n0\n-0.1\n1\n0\n";
const std::vector<run_length> runs16 = {{10, 0}, {6, 1}};

// Strips of equal width along dy, count of them, that tile the unit cell.
std::vector<patch> strips(int count) {
    std::vector<patch> ps;
    for (int k = 0; k < count; ++k)
        ps.push_back({1.5, 1.0, double(k) / count, 0.0, double(k + 1) / count});
    return ps;
}

std::vector<stop_case> cases() {
    const std::string nk15 = nk_record(1.5);
    const std::string map_ok = fill_text({1.5}, 2, runs16);
    const std::string fill_msg = " read error: eps-fill file";
    const std::string info_msg = " read error: 2d eps-fill information";
    const std::string neg = " Error layer: Imag(n) < 0 ";
    const std::string thick = " read error gitter: thickness";
    const std::string shape_msg = " read error: patch";
    const std::string r9 = "9\n" + nk15 + nk_record(2.0);
    const std::string shape_ok = "2\n0.5 0.5 0 0\n0\n";
    return {
        // ---- patches ----
        {"ieps_unreadable", "4\nmany\n", {}, 40, " read error: ieps (stack/RCWA)"},
        {"ieps_negative", "4\n-2\n", {}, 40, " read error: ieps (stack/RCWA)"},
        {"patch_material_unreadable", "4\n1\n0\n(1.5,x)\n1 0 0 1\n0.1\n", {}, 41,
         " read error patch: eps"},
        {"patch_material_negative_k", "4\n1\n" + nk_record(cplx(1.5, -0.1)) + "1 0 0 1\n0.1\n", {},
         27, neg},
        // n = (-1.5, 0.1) squares to 2.24 - 0.3i; noticed only once every
        // patch record has been read, so a bad later record wins.
        {"patch_square_negative_imag", "4\n2\n" + nk_record(cplx(-1.5, 0.1)) + "1 0 0 0.5\n" +
                                           good_patch + "0.1\n",
         {}, 27, neg},
        // Gain is refused at its material record, before a later faulty record.
        {"patch_gain_before_later_records",
         "4\n2\n" + nk_record(cplx(-1.5, 0.1)) + "1 0 0 0.5\n" + nk15 + "1 0.5 x 1\n0.1\n", {},
         27, neg},
        {"patch_record_unreadable", "4\n1\n" + nk15 + "1 0 0\n", {}, 42, shape_msg},
        {"patch_thickness_unreadable", "4\n1\n" + good_patch + "thick\n", {}, 28, thick},
        // 10001 strips along dy: one stripe more than the sweep's 10000 steps.
        {"patch_sweep_runs_out", patch_entry(strips(10001), 0.1), {}, 60,
         " number of patches exceeds 1000"},

        // ---- pixel map entry ----
        {"fill_name_missing", "5\n", {}, 84, info_msg},
        {"fill_background_unreadable", "5\nmap.txt\n0\n(x)\n0.1\n", {{"map.txt", map_ok}}, 85,
         " read error: refraction index of 2d eps-fill"},
        {"fill_background_negative_k", "5\nmap.txt\n" + nk_record(cplx(1, -1)) + "0.1\n",
         {{"map.txt", map_ok}}, 27, neg},
        {"fill_file_missing", pixel_entry("nomap.txt", 1.0, 0.1), {}, 86,
         " open error: eps-fill file"},
        {"fill_thickness_unreadable", "5\nmap.txt\n" + nk15 + "t\n", {{"map.txt", map_ok}}, 84,
         info_msg},

        // ---- eps-fill file ----
        {"fill_count_unreadable", pixel_entry("m.txt", 1.0, 0.1), {{"m.txt", "one\n"}}, 87,
         fill_msg},
        {"fill_count_negative", pixel_entry("m.txt", 1.0, 0.1), {{"m.txt", "-1\n2 1\n16 0\n"}}, 87,
         fill_msg},
        {"fill_material_unreadable", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", "2\n" + nk15 + "0\n(2,\n"}}, 88,
         " read error: refraction index of 2d eps-fill file"},
        {"fill_material_missing", pixel_entry("m.txt", 1.0, 0.1), {{"m.txt", "3\n" + nk15}}, 88,
         " read error: refraction index of 2d eps-fill file"},
        {"fill_material_negative_k", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", "1\n" + nk_record(cplx(2, -0.5)) + "2 1\n16 1\n"}}, 27, neg},
        {"fill_kexp_record_unreadable", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", "1\n" + nk15 + "2\n"}}, 87, fill_msg},
        {"fill_kexp_too_large", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", "1\n" + nk15 + "16 1\n16 0\n"}}, 87, fill_msg},
        {"fill_kexp_negative", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", "1\n" + nk15 + "-1 1\n1 0\n"}}, 87, fill_msg},
        // 2 by 2 pixels cannot hold the index differences of 3 orders per line.
        {"fill_grid_below_orders", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", "1\n" + nk15 + "1 1\n4 0\n"}}, 87, fill_msg},
        {"fill_run_unreadable", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", "1\n" + nk15 + "2 2\n10 0\n6 x\n"}}, 87, fill_msg},
        {"fill_run_missing", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", "1\n" + nk15 + "2 3\n10 0\n6 1\n"}}, 87, fill_msg},
        {"fill_run_negative_length", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", "1\n" + nk15 + "2 3\n10 0\n-4 1\n10 0\n"}}, 87, fill_msg},
        {"fill_run_index_too_large", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", "1\n" + nk15 + "2 2\n10 0\n6 2\n"}}, 87, fill_msg},
        {"fill_run_index_negative", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", "1\n" + nk15 + "2 2\n10 -1\n6 0\n"}}, 87, fill_msg},
        {"fill_runs_short", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", fill_text({1.5}, 2, {{10, 0}, {5, 1}})}}, 89,
         " consistency error: eps-fill file"},
        {"fill_runs_too_long", pixel_entry("m.txt", 1.0, 0.1),
         {{"m.txt", fill_text({1.5}, 2, {{10, 0}, {7, 1}, {1, 0}})}}, 89,
         " consistency error: eps-fill file"},

        // ---- rasters ----
        {"raster_material_unreadable", "9\n" + nk15 + "0\nx\n", {}, 41, " read error patch: eps"},
        {"raster_material_negative_k", "10\n" + nk15 + nk15 + nk_record(cplx(1, -1)), {}, 27, neg},
        // A formula with negative k is refused where it is read, before the shape record.
        {"raster9_formula_negative_k", "9\n" + nk15 + formula_neg_k + shape_ok + "3\n0.1\n", {}, 27,
         neg},
        {"raster9_index_check_before_shape_record",
         "9\n" + nk15 + formula_neg_k + "2\n0.5 0.5 0\n", {}, 27, neg},
        // ... type 10 right after its three materials.
        {"raster10_index_check_first", "10\n" + nk15 + nk15 + formula_neg_k + "x\n", {}, 27, neg},
        {"raster_power_unreadable", r9 + "p\n", {}, 42, shape_msg},
        {"raster_shape_record_unreadable", r9 + "2\n0.5 0.5 0 zero\n", {}, 42, shape_msg},
        {"raster_angle_unreadable", r9 + "2\n0.5 0.5 0 0\nangle\n", {}, 28, thick},
        {"raster_kexp_unreadable", r9 + shape_ok + "2.5\n0.1\n", {}, 28, thick},
        {"raster_kexp_too_large", r9 + shape_ok + "16\n0.1\n", {}, 28, thick},
        {"raster_kexp_below_orders", r9 + shape_ok + "1\n0.1\n", {}, 28, thick},
        {"raster_thickness_unreadable", r9 + shape_ok + "3\nd\n", {}, 28, thick},
        {"raster10_second_shape_angle",
         "-10\n" + nk15 + nk15 + nk15 + shape_ok + "2\n0.2 0.2 0 0\n", {}, 28, thick},
    };
}

void PrintTo(const stop_case& c, std::ostream* os) { *os << c.name; }

class grating_stops : public ::testing::TestWithParam<stop_case> {};

TEST_P(grating_stops, status_and_message) {
    const stop_case& c = GetParam();
    work_dir d;
    param_input p;
    p.iomin = -1;
    p.iomax = 1;
    stack_input s;
    s.nlayer = 1;
    s.entries = c.entry;
    write_inputs(d, p, s, {});
    for (const auto& [name, text] : c.files) d.write(name, text);
    const run_result r = run_rcwa(d);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    const auto lines = r.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), ff(c.message)) << r.out;
}

INSTANTIATE_TEST_SUITE_P(run, grating_stops, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs that sum to exactly M*M are accepted; the file may be shared by two
// layers, and material index 0 is the background.
TEST(pixel_map, exact_runs_accepted_and_file_reused) {
    work_dir d;
    param_input p;
    p.iomin = -1;
    p.iomax = 1;
    stack_input s;
    s.nlayer = 2;
    s.entries = pixel_entry("m.txt", 1.2, 0.1) + pixel_entry("m.txt", 1.4, 0.1);
    write_inputs(d, p, s, {});
    d.write("m.txt", fill_text({1.5}, 2, runs16));
    const run_result r = run_rcwa(d);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
}

// ---- console lines ---------------------------------------------------------------------

int count_prefix(const run_result& r, const std::string& prefix) {
    int n = 0;
    for (const std::string& l : r.lines()) n += l.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

run_result run_one(const work_dir& d, const stack_input& s, bool l_info,
                   const std::vector<std::pair<std::string, std::string>>& files = {}) {
    param_input p;
    p.iomin = -1;
    p.iomax = 1;
    outctl_input o;
    o.l_info = l_info;
    write_inputs(d, p, s, o);
    for (const auto& [name, text] : files) d.write(name, text);
    return run_rcwa(d);
}

TEST(console, step_timing_and_kernel_lines_of_a_patch_layer) {
    const std::string layer = patch_entry({{1.5, 1.0, 0.0, 0.0, 0.5}, {1.0, 1.0, 0.5, 0.0, 1.0}}, 0.2);
    // l_info on, orthogonal grid, Li's rules: one inverse of the entry, one in
    // each of the layer's two link steps and one in the superstrate step.
    {
        work_dir d;
        stack_input s;
        s.nlayer = 1;
        s.entries = layer;
        const run_result r = run_one(d, s, true);
        ASSERT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(r.count_line("  eh_inv"), 1) << r.out;
        EXPECT_EQ(count_prefix(r, "TIME matinv: "), 4) << r.out;
        // two products of the modal step, 5 + 4 of its link steps, 5 of the
        // superstrate step
        EXPECT_EQ(count_prefix(r, "TIME matmult: "), 16) << r.out;
        const char* steps[] = {"TIME for Eigen: ", "TIME for rti_link: ", "TIME for t_link: ",
                               "TIME for rt_link: "};
        std::vector<std::size_t> at;
        const auto lines = r.lines();
        for (const char* label : steps) {
            EXPECT_EQ(count_prefix(r, label), 1) << label;
            for (std::size_t k = 0; k < lines.size(); ++k)
                if (lines[k].rfind(label, 0) == 0) at.push_back(k);
        }
        ASSERT_EQ(at.size(), 4u);
        for (int k = 0; k < 3; ++k) EXPECT_LT(at[k], at[k + 1]);
        // The format of a step line: label, I3 minutes, I4.I3 seconds.
        const std::string& eig = lines[at[0]];
        EXPECT_EQ(eig.size(), std::string("TIME for Eigen: ").size() + 3 + 8 + 4 + 1 + 3 + 8) << eig;
        EXPECT_EQ(eig.substr(eig.size() - 8), " seconds");
        // " eh_inv" ends the entry, before the modal step.
        std::size_t eh = 0;
        for (std::size_t k = 0; k < lines.size(); ++k)
            if (lines[k] == "  eh_inv") eh = k;
        EXPECT_LT(eh, at[0]);
    }
    // An oblique grid inverts the inverse-rule matrix too.
    {
        work_dir d;
        stack_input s;
        s.header = "2D_Stack_";
        s.grid_angle = 10.0;
        s.nlayer = 1;
        s.entries = layer;
        const run_result r = run_one(d, s, false);
        ASSERT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(count_prefix(r, "TIME matinv: "), 5) << r.out;
        // Without l_info: no marker and no step lines, the kernel lines stay.
        EXPECT_EQ(r.count_line("  eh_inv"), 0);
        EXPECT_EQ(count_prefix(r, "TIME for "), 0);
        EXPECT_EQ(count_prefix(r, "TIME matmult: "), 16);
    }
}

TEST(console, pixel_maps_and_rasters_invert_serially) {
    work_dir d;
    stack_input s;
    s.nlayer = 2;
    s.entries = pixel_entry("m.txt", 1.0, 0.1) +
                raster_entry(9, {1.0, 1.5}, {{2.0, 0.5, 0.5, 0.0, 0.0, 0.0}}, 2, 0.1);
    const run_result r = run_one(d, s, true, {{"m.txt", fill_text({1.5}, 2, runs16)}});
    ASSERT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.count_line("  eh_inv"), 0);
    EXPECT_EQ(count_prefix(r, "TIME for Eigen: "), 2);
    EXPECT_EQ(count_prefix(r, "TIME matinv: "), 2 * 2 + 1);
    EXPECT_EQ(count_prefix(r, "TIME matmult: "), 2 * 11 + 5);
}

// The first grating layer ends the block-diagonal form: a film above it is
// joined in full form with its markers, a film below it is not.
TEST(console, film_above_a_grating_takes_the_full_form) {
    work_dir d;
    stack_input s;
    s.nlayer = 3;
    s.entries = film_entry(1.3, 0.1) + raster_entry(-9, {1.0, 1.5}, {{2.0, 0.5, 0.5, 0.0, 0.0, 0.0}}, 2, 0.1) +
                film_entry(1.4, 0.1);
    const run_result r = run_one(d, s, true);
    ASSERT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.count_line("rti_link: g1"), 1) << r.out;
    EXPECT_EQ(r.count_line(" rt_link: g1"), 1) << r.out;
}

TEST(console, layout_warnings_with_li_rules_on_and_off) {
    // Patch 1 covers dy 0..0.5, patch 2 dy 0.4..0.8, both the whole of dz: they
    // overlap and leave a gap, and their areas add up to 0.5 + 0.4 = 0.9 of the
    // cell. Li's rules on: the warnings once; off: once for the permittivities
    // and once for their inverses.
    const std::string entry =
        patch_entry({{1.5, 1.0, 0.0, 0.0, 0.5}, {1.0, 1.0, 0.4, 0.0, 0.8}}, 0.2);
    for (bool li_off : {false, true}) {
        work_dir d;
        stack_input s;
        if (li_off) set_li_off(s, 0.5, false);
        s.nlayer = 1;
        s.entries = entry;
        const run_result r = run_one(d, s, false);
        ASSERT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(r.count_line(" overlap error:    1  2"), li_off ? 2 : 1) << r.out;
        EXPECT_EQ(r.count_line("total area does not match: ai =  0.900    a0=   1.00    "),
                  li_off ? 2 : 1)
            << r.out;
    }
}

}  // namespace
}  // namespace rcwa::test
