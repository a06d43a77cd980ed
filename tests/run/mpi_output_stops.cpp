// Stops that only process 0 meets end the whole job under mpirun, with their
// status and one message: on one host process 0 tells the others, which end
// with it in order; on ScaLAPACK grids it aborts the job. A run without
// result files ends at process 0's console pause even when mpirun's input is
// closed (process 0 then reads a pipe of the launcher that never ends). The
// files are written once, by process 0.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "support/run_support.hpp"
#include "support/text_check.hpp"

namespace rcwa::test {
namespace {

void write_case(const work_dir& d, outctl_input o, int iomax = 1) {
    param_input p;
    p.iomin = -iomax;
    p.iomax = iomax;
    p.theta = 20.0;
    p.phi = 10.0;
    p.lambda = 0.6;
    stack_input s;
    s.dy = 0.7;
    s.dz = 0.8;
    s.n_sub = 1.5;
    s.nlayer = 2;
    s.entries = film_entry(cplx(2.0, 0.01), 0.1) + film_entry(1.38, 0.11);
    o.l_info = false;
    write_inputs(d, p, s, o);
}

struct stop_case {
    const char* what;
    int status;
    const char* line;
    int nprocs = 3;
};

}  // namespace

TEST(mpi_output, stops_of_process_zero_end_the_job) {
    ::setenv("RCWA2D_SCALAPACK", "0", 1);  // the one-host path, whatever the caller set
    for (const stop_case c : {stop_case{"table", 90, "  error output initialization"},
                              stop_case{"per-quantity", 95, "  cannot open output file "},
                              stop_case{"energy", 95, "  cannot open output file "},
                              stop_case{"records", 95, "  write error output file"},
                              stop_case{"project", 750, "  Open error QalderPRoject (.QPR) File "},
                              stop_case{"memory", 97, "  not enough memory for the arrays of the run"},
                              stop_case{"pause", 1, " hit any key to finish", 1},
                              stop_case{"pause", 1, " hit any key to finish", 2}}) {
        SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(c.nprocs) + " processes");
        work_dir d;
        const std::string what = c.what;
        outctl_input o;
        o.lfout = what != "pause";  // no result files: the run ends at the pause
        std::vector<std::string> args;
        if (what == "table") {
            o.iout = 5;
            o.fname_out = "missing/res.txt";
        } else if (what == "per-quantity") {
            d.write("plain", "a file\n");
            o.iout = 3;
            o.fname_out = "plain/res";
            args = {"0.6", "0", "-1"};
        } else if (what == "energy") {
            o.iout = 4;
            ASSERT_EQ(::mkdir(d.file("energy_error7.txt").c_str(), 0755), 0);
            args = {"0.6", "0", "7"};
        } else if (what == "records") {
            o.iout = 0;
            o.fname_out = "/dev/full";  // every write fails: the disk is full
        } else if (what == "memory") {
            o.fname_out = "res.txt";
        } else if (what == "project") {
            o.lproject = true;
            o.fname_out_mat = "missing/proj.qpr";
        }
        // More orders than a vector can hold: process 0 alone meets it, the
        // others hold no run arrays.
        write_case(d, o, what == "memory" ? 15000 : 1);
        const run_result r = run_rcwa(d, args, c.nprocs, what == "pause", 60);
        EXPECT_EQ(r.status, c.status % 256) << r.out << r.err;
        EXPECT_EQ(r.count_line(c.line), 1) << r.out;
        EXPECT_EQ(r.err.find("MPI_ABORT"), std::string::npos) << r.err;
    }
}

TEST(mpi_output, a_stop_of_process_zero_aborts_the_job_on_grids) {
    work_dir d;
    outctl_input o;
    o.lfout = true;
    o.iout = 0;
    o.fname_out = "/dev/full";
    write_case(d, o);
    ::setenv("RCWA2D_SCALAPACK", "1", 1);
    const run_result r = run_rcwa(d, {}, 3);
    ::unsetenv("RCWA2D_SCALAPACK");
    EXPECT_EQ(r.status, 95) << r.out << r.err;
    EXPECT_EQ(r.count_line("  write error output file"), 1) << r.out;
}

TEST(mpi_output, files_are_written_once) {
    work_dir d;
    outctl_input o;
    o.lfout = true;
    o.iout = 0;
    o.i_eff = 1;
    o.fname_out = "res";
    o.lproject = true;
    write_case(d, o);
    const run_result r = run_rcwa(d, {"0.6", "0", "3"}, 3);
    ASSERT_EQ(r.status, 1) << r.out << r.err;
    // heading, nine orders with an empty line and two records each, closing record
    EXPECT_EQ(lines_of(d.read("res3.txt")).size(), 1u + 9 * 3 + 1);
    EXPECT_EQ(lines_of(d.read("energy_error3.txt")).size(), 1u);
    EXPECT_EQ(r.count_line(" output in one file"), 9);
    // one project block: its parameter record appears once
    int par_records = 0;
    for (const std::string& l : lines_of(d.read("proj.qpr"))) par_records += l == "    0.600000" ? 1 : 0;
    EXPECT_EQ(par_records, 1);
}

}  // namespace rcwa::test
