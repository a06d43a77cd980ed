// Result files of whole runs: sweeps in a per-quantity and in a one-file
// layout (names, contents, record counts), appending to an existing table,
// the efficiencies of the table against thin-film optics, and result files
// that cannot be written.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "support/run_support.hpp"
#include "support/text_check.hpp"

namespace rcwa::test {
namespace {

std::set<std::string> files_in(const work_dir& d) {
    std::set<std::string> s;
    for (const auto& e : std::filesystem::directory_iterator(d.path())) s.insert(e.path().filename().string());
    return s;
}

const std::set<std::string> input_names = {"qalder.ctr", "param.txt", "stack.txt", "outctl.txt"};

// One absorbing film on glass, nine orders (iomax 1) of which the window keeps
// the row of second index 0.
const std::vector<film> one_film = {{cplx(2.0, 0.05), 0.12}};

void sweep_inputs(const work_dir& d, outctl_input o) {
    param_input p;
    p.iomin = -1;
    p.iomax = 1;
    p.theta = 30.0;
    p.phi = 20.0;
    p.lambda = 0.55;
    stack_input s;
    s.dy = 0.2;
    s.dz = 0.2;
    s.n_sub = 1.5;
    s.nlayer = 1;
    s.entries = film_entry(one_film[0].n, one_film[0].d);
    o.lfout = true;
    o.l_info = false;
    o.nop[0] = -1;  // first index -1..1
    o.nop[1] = 1;
    o.nop[2] = 0;   // second index 0..0
    o.nop[3] = 0;
    write_inputs(d, p, s, o);
}

const double sweep_lambda[3] = {0.5, 0.55, 0.6};
const char* sweep_index[3] = {"-1", "2", "3"};

run_result sweep_run(const work_dir& d, int k) {
    char par[32];
    std::snprintf(par, sizeof par, "%.2f", sweep_lambda[k]);
    return run_rcwa(d, {par, "0", sweep_index[k]});
}

}  // namespace

TEST(output_files, per_quantity_sweep) {
    work_dir d;
    outctl_input o;
    o.iout = 3;
    o.i_eff = 0;
    o.i_format = 5;
    o.fname_out = "res";
    sweep_inputs(d, o);
    // left from an earlier sweep: the first run deletes it, the others keep theirs
    d.write("res1.txt0000.ree", "old\nold\n");
    d.write("res2.txt0000.ree", "old\n");
    const char* tags[3] = {"00m1", "0000", "00p1"};
    const char* exts[8] = {".tee", ".tem", ".tme", ".tmm", ".ree", ".rem", ".rme", ".rmm"};
    for (int k = 0; k < 3; ++k) {
        const run_result r = sweep_run(d, k);
        ASSERT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(r.count_line(" output in one file"), 0);
    }
    std::set<std::string> expect = input_names;
    for (int run = 1; run <= 3; ++run)
        for (const char* t : tags)
            for (const char* e : exts) expect.insert("res" + std::to_string(run) + ".txt" + t + e);
    EXPECT_EQ(files_in(d), expect);  // no energy-error file in the per-quantity layouts

    for (int run = 1; run <= 3; ++run) {
        const double lambda = sweep_lambda[run - 1];
        const rt_power a = airy(1.0, one_film, 1.5, 30.0, lambda);
        for (const char* t : tags)
            for (int e = 0; e < 8; ++e) {
                const std::string name = "res" + std::to_string(run) + ".txt" + t + exts[e];
                std::vector<std::string> l = lines_of(d.read(name));
                const bool kept = run == 2 && std::string(t) == "0000" && e == 4;
                ASSERT_EQ(l.size(), kept ? 2u : 1u) << name;
                if (kept) {
                    EXPECT_EQ(l[0], "old");
                    l.erase(l.begin());
                }
                // (F11.4,2X,ES15.8): the wavelength and the efficiency
                ASSERT_EQ(l[0].size(), 28u) << name;
                const std::vector<double> v = numbers(l[0]);
                ASSERT_EQ(v.size(), 2u);
                EXPECT_DOUBLE_EQ(v[0], lambda);
                double expect_v = 0.0;
                if (std::string(t) == "0000") {
                    if (e == 0) expect_v = a.ts;
                    if (e == 3) expect_v = a.tp;
                    if (e == 4) expect_v = a.rs;
                    if (e == 7) expect_v = a.rp;
                }
                EXPECT_NEAR(v[1], expect_v, 1e-8) << name;
            }
    }
}

TEST(output_files, one_file_sweep_and_a_second_run) {
    work_dir d;
    outctl_input o;
    o.iout = 0;
    o.i_eff = 0;
    o.i_format = 5;
    o.fname_out = "tab";
    sweep_inputs(d, o);
    for (int k = 0; k < 3; ++k) {
        const run_result r = sweep_run(d, k);
        ASSERT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(r.count_line(" output in one file"), 3);
        EXPECT_EQ(r.count_line(" end write file"), 3);
    }
    std::set<std::string> expect = input_names;
    for (int run = 1; run <= 3; ++run) {
        expect.insert("tab" + std::to_string(run) + ".txt");
        expect.insert("energy_error" + std::to_string(run) + ".txt");
    }
    EXPECT_EQ(files_in(d), expect);

    const std::string heading =
        "parameter     y    x          REE             REM             RME             RMM"
        "             TEE             TEM             TME             TMM";
    for (int run = 1; run <= 3; ++run) {
        const double lambda = sweep_lambda[run - 1];
        const std::vector<std::string> l = lines_of(d.read("tab" + std::to_string(run) + ".txt"));
        // heading, per order an empty line and its record, the closing empty record
        ASSERT_EQ(l.size(), 8u);
        EXPECT_EQ(l[0], heading);
        for (int q = 0; q < 3; ++q) {
            EXPECT_EQ(l[1 + 2 * q], "");
            const std::vector<double> v = numbers(l[2 + 2 * q]);
            ASSERT_EQ(v.size(), 11u);
            EXPECT_DOUBLE_EQ(v[0], lambda);
            EXPECT_EQ(v[1], 0.0);        // second index
            EXPECT_EQ(v[2], q - 1.0);    // first index, in order-list order
            EXPECT_EQ(l[2 + 2 * q].size(), 12u + 2 + 5 + 5 + 8 * 17 - 1);
        }
        EXPECT_EQ(l[7], "");
        const std::vector<std::string> e = lines_of(d.read("energy_error" + std::to_string(run) + ".txt"));
        ASSERT_EQ(e.size(), 1u);
        const std::vector<double> ev = numbers(e[0]);
        ASSERT_EQ(ev.size(), 3u);
        EXPECT_DOUBLE_EQ(ev[0], lambda);
        // the film absorbs: the errors are its absorptance for TE and TM
        const rt_power a = airy(1.0, one_film, 1.5, 30.0, lambda);
        EXPECT_NEAR(ev[1], 1.0 - a.rs - a.ts, 1e-8);
        EXPECT_NEAR(ev[2], 1.0 - a.rp - a.tp, 1e-8);
    }

    // run 2 again: its table grows without a second heading, its energy file by one record
    const run_result r = sweep_run(d, 1);
    ASSERT_EQ(r.status, 1) << r.out << r.err;
    const std::vector<std::string> l = lines_of(d.read("tab2.txt"));
    ASSERT_EQ(l.size(), 15u);
    int headings = 0;
    for (const std::string& s : l) headings += s == heading ? 1 : 0;
    EXPECT_EQ(headings, 1);
    EXPECT_EQ(l[8], "");
    EXPECT_EQ(l[9], l[2]);
    EXPECT_EQ(lines_of(d.read("energy_error2.txt")).size(), 2u);
    // and the first run of a sweep deletes no one-file table
    const run_result r1 = sweep_run(d, 0);
    ASSERT_EQ(r1.status, 1) << r1.out << r1.err;
    EXPECT_EQ(lines_of(d.read("tab1.txt")).size(), 15u);
}

TEST(output_files, one_file_table_against_thin_film_optics) {
    // a two-film stack at oblique incidence, efficiencies in percent
    const std::vector<film> films = {{1.38, 0.1}, {cplx(2.3, 0.02), 0.07}};
    for (const bool percent : {false, true}) {
        SCOPED_TRACE(percent);
        work_dir d;
        param_input p;
        p.theta = 47.0;
        p.phi = 33.0;
        p.lambda = 0.633;
        stack_input s;
        s.n_sup = 1.0;
        s.n_sub = 1.52;
        s.nlayer = 2;
        s.entries = film_entry(films[1].n, films[1].d) + film_entry(films[0].n, films[0].d);
        outctl_input o;
        o.lfout = true;
        o.iout = 6;
        o.i_eff = 0;
        o.i_format = 1;  // G16.8
        o.lpercent = percent;
        o.l_info = false;
        write_inputs(d, p, s, o);
        const run_result r = run_rcwa(d);
        ASSERT_EQ(r.status, 1) << r.out << r.err;
        const std::vector<order_eff> t = read_eff_table(d.read("res.txt"));
        ASSERT_EQ(t.size(), 1u);
        const rt_power a = airy(1.0, films, 1.52, 47.0, 0.633);
        const double f = percent ? 100.0 : 1.0;
        EXPECT_NEAR(t[0].r[0], f * a.rs, f * 1e-7);
        EXPECT_NEAR(t[0].r[3], f * a.rp, f * 1e-7);
        EXPECT_NEAR(t[0].t[0], f * a.ts, f * 1e-7);
        EXPECT_NEAR(t[0].t[3], f * a.tp, f * 1e-7);
        // layout 6 has no closing record: heading, empty line, record
        EXPECT_EQ(lines_of(d.read("res.txt")).size(), 3u);
        const std::vector<double> e = numbers(d.read("energy_error.txt"));
        ASSERT_EQ(e.size(), 3u);
        EXPECT_NEAR(e[1], f * (1.0 - a.rs - a.ts), f * 1e-7);
        EXPECT_NEAR(e[2], f * (1.0 - a.rp - a.tp), f * 1e-7);
    }
}

TEST(output_files, ellipsometric_values_need_an_integer_run_index) {
    for (const bool with_index : {false, true}) {
        work_dir d;
        param_input p;
        p.theta = 60.0;
        p.lambda = 0.5;
        stack_input s;
        s.n_sub = 1.5;
        outctl_input o;
        o.lfout = true;
        o.iout = 4;
        o.i_eff = 5;
        o.i_format = 3;
        o.l_info = false;
        write_inputs(d, p, s, o);
        const run_result r = with_index ? run_rcwa(d, {"0.5", "-1", "0"}) : run_rcwa(d, {"0.5", "-1"});
        ASSERT_EQ(r.status, 1) << r.out << r.err;
        const std::vector<std::string> l = lines_of(d.read("res.txt"));
        const std::string heading = "parameter" + std::string(10, ' ') + "tan_r" + std::string(11, ' ') + "cos_r";
        ASSERT_EQ(l.size(), with_index ? 3u : 2u);
        EXPECT_EQ(l[0], heading);
        EXPECT_EQ(l[1], "");
        if (!with_index) continue;
        // Fresnel at one lossless interface: the zeroth order's efficiencies are
        // |r|^2, so tan_r = ln(|r_p| / |r_s|); both amplitudes are real, so the
        // cosine of their phase difference is +1 or -1
        const double pi = std::acos(-1.0);
        const double ci = std::cos(pi / 3), st = std::sin(pi / 3) / 1.5, ct = std::sqrt(1 - st * st);
        const double rs = (ci - 1.5 * ct) / (ci + 1.5 * ct), rp = (1.5 * ci - ct) / (1.5 * ci + ct);
        const std::vector<double> v = numbers(l[2]);
        ASSERT_EQ(v.size(), 3u);
        EXPECT_DOUBLE_EQ(v[0], 0.5);
        EXPECT_NEAR(v[1], std::log(std::fabs(rp / rs)), 1e-7);
        EXPECT_NEAR(std::fabs(v[2]), 1.0, 1e-7);
    }
}

// ---- result files that cannot be written ----------------------------------------------------

namespace {

run_result run_with_output(const work_dir& d, outctl_input o, const std::vector<std::string>& args = {}) {
    param_input p;
    p.theta = 20.0;
    p.lambda = 0.6;
    stack_input s;
    s.n_sub = 1.5;
    o.lfout = true;
    o.l_info = false;
    write_inputs(d, p, s, o);
    return run_rcwa(d, args);
}

}  // namespace

TEST(output_files, unwritable_results) {
    {
        // a one-file table in a missing directory cannot be created
        work_dir d;
        outctl_input o;
        o.iout = 0;
        o.fname_out = "missing/res.txt";
        const run_result r = run_with_output(d, o);
        EXPECT_EQ(r.status, 90) << r.out << r.err;
        EXPECT_TRUE(r.has_line("  error output initialization")) << r.out;
    }
    {
        // per-quantity files under a regular file cannot be opened
        work_dir d;
        d.write("plain", "a file\n");
        outctl_input o;
        o.iout = 2;
        o.fname_out = "plain/res";
        const run_result r = run_with_output(d, o, {"0.6", "0", "-1"});
        EXPECT_EQ(r.status, 95) << r.out << r.err;
        EXPECT_TRUE(r.has_line("  cannot open output file ")) << r.out;
    }
    {
        // the energy-error file cannot be opened
        work_dir d;
        ASSERT_EQ(::mkdir(d.file("energy_error.txt").c_str(), 0755), 0);
        outctl_input o;
        o.iout = 4;
        const run_result r = run_with_output(d, o);
        EXPECT_EQ(r.status, 95) << r.out << r.err;
        EXPECT_TRUE(r.has_line("  cannot open output file ")) << r.out;
        EXPECT_EQ(lines_of(d.read("res.txt")).size(), 3u);  // written before the end of the run
    }
    {
        // the closing record of layout 0 cannot be written (a window without
        // orders writes no record before it)
        work_dir d;
        outctl_input o;
        o.iout = 0;
        o.fname_out = "/dev/full";
        o.nop[0] = 1;
        o.nop[1] = 0;
        const run_result r = run_with_output(d, o);
        EXPECT_EQ(r.status, 96) << r.out << r.err;
        EXPECT_TRUE(r.has_line("  write error output file")) << r.out;
        EXPECT_FALSE(d.exists("energy_error.txt"));
    }
    {
        // the project file cannot be opened: 750, which Linux shows as 750 mod 256
        work_dir d;
        outctl_input o;
        o.iout = 0;
        o.lproject = true;
        o.fname_out_mat = "missing/proj.qpr";
        const run_result r = run_with_output(d, o);
        EXPECT_EQ(r.status, 750 % 256) << r.out << r.err;
        EXPECT_TRUE(r.has_line("  Open error QalderPRoject (.QPR) File ")) << r.out;
    }
}

// ---- failures that must not pass for success -------------------------------------------------

namespace {

struct hostile_case {
    const char* name;
    int iout;
    const char* full;  // a file of the run that lies on a full disk ("" none)
    bool project;
    int iomax;
    const char* index;
    int status;
    const char* line;
};

// True when a result file holds a NaN or an infinity.
bool has_non_finite(const work_dir& d) {
    for (const std::string& f : files_in(d)) {
        // a link to /dev/full reads as endless zeros
        if (input_names.count(f) != 0 || std::filesystem::is_symlink(d.file(f))) continue;
        std::string t = d.read(f);
        for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (t.find("nan") != std::string::npos || t.find("inf") != std::string::npos) return true;
    }
    return false;
}

}  // namespace

TEST(output_files, hostile_outputs_end_with_their_status) {
    const hostile_case cases[] = {
        {"table_on_full_disk", 4, "res1.txt", false, 0, "1", 95, "  write error output file"},
        {"per_quantity_file_on_full_disk", 1, "res1.txt0000.rmm", false, 0, "1", 95,
         "  write error output file"},
        {"energy_file_on_full_disk", 5, "energy_error1.txt", false, 0, "1", 95,
         "  write error output file"},
        {"project_file_on_full_disk", 4, "proj.qpr", true, 0, "1", 750 % 256,
         "  write error QalderPRoject (.QPR) File "},
        // 48 + 44 is the backslash: refused before the sweep's first run deletes anything
        {"order_index_44", 3, "", false, 44, "-1", 90,
         "  error output initialization: no file-name tag for order index -44"},
    };
    for (const hostile_case& c : cases) {
        SCOPED_TRACE(c.name);
        work_dir d;
        param_input p;
        p.iomin = -c.iomax;
        p.iomax = c.iomax;
        p.theta = 20.0;
        if (c.iomax > 0) p.trunc_shape = 2.99;  // a cross of orders along the two axes
        stack_input s;
        s.nlayer = 1;
        s.entries = film_entry(cplx(2.0, 0.01), 0.1);
        outctl_input o;
        o.lfout = true;
        o.l_info = false;
        o.iout = c.iout;
        o.fname_out = "res";
        o.nop[2] = o.nop[3] = 0;
        o.lproject = c.project;
        write_inputs(d, p, s, o);
        if (*c.full != 0) {
            ASSERT_EQ(::symlink("/dev/full", d.file(c.full).c_str()), 0);
        }
        d.write("res1.txt0000.ree", "kept\n");
        const run_result r = run_rcwa(d, {"0.6", "0", c.index});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(r.count_line(c.line), 1) << r.out;
        EXPECT_FALSE(has_non_finite(d));
        if (c.iout == 3) {
            EXPECT_EQ(d.read("res1.txt0000.ree"), "kept\n");
        }
    }
}

// The sign of iout: a negative code deletes the old files of its layout
// before the run, except that a sweep's first run (index -1) turns the
// per-quantity codes over; the one-file codes keep their sign.
TEST(output_files, sign_of_iout_decides_append_or_replace) {
    struct sign_case {
        int iout;
        const char* index;
        const char* file;
        std::size_t records;  // after two runs
    };
    for (const sign_case c : {sign_case{5, "-1", "res1.txt", 2}, sign_case{-5, "-1", "res1.txt", 1},
                              sign_case{-4, "0", "res", 1},
                              sign_case{2, "-1", "res1.txt0000.tee", 1},
                              sign_case{2, "2", "res2.txt0000.tee", 2},
                              sign_case{-2, "-1", "res1.txt0000.tee", 2},
                              sign_case{-2, "2", "res2.txt0000.tee", 1}}) {
        SCOPED_TRACE(std::to_string(c.iout) + " " + c.index);
        work_dir d;
        outctl_input o;
        o.iout = c.iout;
        o.fname_out = "res";
        for (int run = 0; run < 2; ++run) {
            const run_result r = run_with_output(d, o, {"0.6", "0", c.index});
            ASSERT_EQ(r.status, 1) << r.out << r.err;
        }
        std::size_t records = 0, headings = 0;
        for (const std::string& l : lines_of(d.read(c.file))) {
            records += numbers(l).size() >= 2 && l.find("parameter") == std::string::npos;
            headings += l.find("parameter") != std::string::npos;
        }
        EXPECT_EQ(records, c.records);
        EXPECT_EQ(headings, c.iout == 2 || c.iout == -2 ? 0u : 1u);
    }
}

}  // namespace rcwa::test
