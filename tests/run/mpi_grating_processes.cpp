// Grating layers under mpirun: every process count gives the results of one
// process for a stack of every kind of grating layer, with the kernels on
// process 0 of the one host and on ScaLAPACK grids (RCWA2D_SCALAPACK), and
// the same console lines either way; an eps-fill error is reported by every
// process, a layout warning by those that compute (all of them on grids only).
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "support/grating_support.hpp"
#include "support/run_support.hpp"

namespace rcwa::test {
namespace {

// From the substrate: a patch layer on an oblique lattice (both collective
// inverses), a pixel map, a film in full form, a two-shape raster (negative
// code) and a one-shape raster; 25 orders, lossy substrate.
void grating_stack(table_run& t, int nprocs) {
    param_input p;
    p.iomin = -2;
    p.iomax = 2;
    p.theta = 22.0;
    p.phi = 35.0;
    p.lambda = 0.6;
    stack_input s;
    s.header = "2D_Stack_";
    s.grid_angle = 8.0;
    s.dy = 0.7;
    s.dz = 0.8;
    s.n_sub = cplx(1.5, 0.01);
    s.nlayer = 5;
    s.entries =
        patch_entry({{2.0, 0.8, 0.0, 0.0, 0.3}, {1.2, 0.8, 0.3, 0.0, 0.7}}, 0.1) +
        pixel_entry("map.txt", 1.0, 0.12) + film_entry(1.46, 0.05) +
        raster_entry(-10, {1.0, 1.7, cplx(2.2, 0.02)},
                     {{2.0, 0.5, 0.4, 0.0, 0.0, 0.0}, {6.0, 0.2, 0.2, 0.05, 0.1, 20.0}}, 4, 0.1) +
        raster_entry(9, {1.3, 1.0}, {{3.0, 0.4, 0.6, 0.1, 0.0, 45.0}}, 4, 0.08);
    std::vector<run_length> runs;
    for (int k = 0; k < 16; ++k) runs.insert(runs.end(), {{3 + k % 5, k % 2 ? 1 : 2}, {13 - k % 5, 0}});
    run_table(t, p, s, {{"map.txt", fill_text({1.6, 2.1}, 4, runs)}}, nprocs);
}

// The console lines with the times of the timing lines left out.
std::vector<std::string> untimed_lines(const run_result& r) {
    std::vector<std::string> lines = r.lines();
    for (std::string& l : lines)
        if (l.rfind("TIME", 0) == 0) l = l.substr(0, l.find(':'));
    return lines;
}

TEST(mpi_grating, every_process_count_agrees_on_one_host_and_on_grids) {
    table_run t1;
    grating_stack(t1, 0);
    ASSERT_EQ(t1.table.size(), 25u);
    std::map<int, std::vector<std::string>> one_host_console;
    for (const bool grids : {false, true}) {
        // Set either way: a caller's own setting must not choose the path.
        ::setenv("RCWA2D_SCALAPACK", grids ? "1" : "0", 1);
        for (const int np : {1, 2, 3, 5}) {
            table_run t;
            grating_stack(t, np);
            const std::string what = (grids ? "grids, " : "one host, ") + std::to_string(np) + " processes";
            EXPECT_LT(max_table_difference(t1.table, t.table), 1e-10) << what;
            EXPECT_NEAR(t1.err_te, t.err_te, 1e-10) << what;
            EXPECT_NEAR(t1.err_tm, t.err_tm, 1e-10) << what;
            if (!grids) one_host_console[np] = untimed_lines(t.r);
            else EXPECT_EQ(untimed_lines(t.r), one_host_console[np]) << what;
        }
        ::unsetenv("RCWA2D_SCALAPACK");
    }
    // Something is diffracted and something absorbed.
    double diffracted = 0.0;
    for (const order_eff& e : t1.table)
        if (e.i1 != 0 || e.i2 != 0)
            for (int c = 0; c < 4; ++c) diffracted += e.r[c] + e.t[c];
    EXPECT_GT(diffracted, 1e-3);
    EXPECT_GT(t1.err_te, 1e-4);
}

// At lambda = 2 dy and normal incidence the orders (+-1, 0) graze inside a
// uniform patch layer of index 2: only process 0 holds the eigen outputs that
// the grazing modes are mended with.
TEST(mpi_grating, a_grazing_order_agrees_across_process_counts) {
    const auto grazing = [](table_run& t, int nprocs) {
        stack_input s;
        s.dy = 0.8;
        s.dz = 0.8;
        s.n_sub = 1.5;
        s.nlayer = 2;
        s.entries = film_entry(2.0, 0.1) + patch_entry({{2.0, 0.8, 0.0, 0.0, 0.8}}, 0.13);
        run_table(t, incidence(1.6, 0.0, 0.0, 1), s, {}, nprocs);
    };
    table_run t1;
    grazing(t1, 0);
    ASSERT_EQ(t1.table.size(), 9u);
    for (const int np : {2, 3}) {
        table_run t;
        grazing(t, np);
        EXPECT_LT(max_table_difference(t1.table, t.table), 1e-10) << np;
        EXPECT_NEAR(t1.err_te, t.err_te, 1e-10) << np;
    }
}

// Every process reports the eps-fill error. The patch layer below it leaves a
// tenth of the cell bare: its area warning (for the permittivities and their
// inverses) comes from each process that works through the layers, which is
// every process on grids and process 0 alone on one host.
TEST(mpi_grating, who_reports_an_eps_fill_error_and_a_layout_warning) {
    const int np = 3;
    for (const bool grids : {false, true}) {
        work_dir d;
        param_input p;
        p.iomin = -1;
        p.iomax = 1;
        stack_input s;
        set_li_off(s, 0.5, false);
        s.nlayer = 3;
        s.entries = film_entry(1.3, 0.1) + patch_entry({{1.5, 1.0, 0.0, 0.0, 0.9}}, 0.1) +
                    pixel_entry("m.txt", 1.0, 0.1);
        write_inputs(d, p, s, {});
        d.write("m.txt", fill_text({1.5}, 2, {{10, 0}, {5, 1}}));
        ::setenv("RCWA2D_SCALAPACK", grids ? "1" : "0", 1);
        const run_result r = run_rcwa(d, {}, np);
        ::unsetenv("RCWA2D_SCALAPACK");
        EXPECT_EQ(r.status, 89) << r.out << r.err;
        EXPECT_EQ(r.count_line("  consistency error: eps-fill file"), np) << r.out;
        EXPECT_EQ(r.count_line("total area does not match: ai =  0.900    a0=   1.00    "), 2 * (grids ? np : 1))
            << r.out;
    }
}

}  // namespace
}  // namespace rcwa::test
