// Whole runs under mpirun: one and three processes give the same results; an
// input error is met and reported by every process; a stop that only process
// 0 meets ends the whole job with its status.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/run_support.hpp"

namespace rcwa::test {
namespace {

// A stack that takes the full (collective) form: a cone entry first, then a
// sequence of films and two more films, at oblique incidence with 9 orders.
void write_full_form_stack(const work_dir& d) {
    param_input p;
    p.iomin = -1;
    p.iomax = 1;
    p.theta = 28.0;
    p.phi = 15.0;
    p.lambda = 0.55;
    stack_input s;
    s.dy = 0.8;
    s.dz = 0.6;
    s.n_sub = cplx(1.5, 0.01);
    s.nlayer = 3;
    s.entries = "11\nx\ny\n" + nk_record(1.0) + nk_record(1.0) + "1\n2\n3\n4\n5\n6\n7\nseq.txt\n1.0\n" +
                film_entry(cplx(2.0, 0.05), 0.1) + film_entry(1.38, 0.12);
    outctl_input o;
    set_table_output(o);
    write_inputs(d, p, s, o);
    d.write("seq.txt", "2D_Stack_Sequence\n2\n" + film_entry(1.46, 0.2) + film_entry(2.3, 0.05));
}

TEST(mpi, one_and_three_processes_agree) {
    work_dir d1, d3;
    write_full_form_stack(d1);
    write_full_form_stack(d3);
    const run_result r1 = run_rcwa(d1, {}, 1);
    const run_result r3 = run_rcwa(d3, {}, 3);
    ASSERT_EQ(r1.status, 1) << r1.out << r1.err;
    ASSERT_EQ(r3.status, 1) << r3.out << r3.err;
    const auto t1 = read_eff_table(d1.read("res.txt"));
    const auto t3 = read_eff_table(d3.read("res.txt"));
    ASSERT_EQ(t1.size(), 9u);
    ASSERT_EQ(t3.size(), 9u);
    for (std::size_t k = 0; k < t1.size(); ++k) {
        EXPECT_EQ(t1[k].i1, t3[k].i1);
        EXPECT_EQ(t1[k].i2, t3[k].i2);
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(t1[k].r[c], t3[k].r[c], 1e-10);
            EXPECT_NEAR(t1[k].t[c], t3[k].t[c], 1e-10);
        }
    }
    // Process 0 alone prints the run's lines and writes the files: one banner.
    EXPECT_EQ(r3.count_line(" *  Parallel Looping & MPI Implemented      *"), 1);
    EXPECT_EQ(d3.read("energy_error.txt"), d1.read("energy_error.txt"));
}

TEST(mpi, every_process_reports_an_input_error) {
    work_dir d;
    stack_input s;
    s.nlayer = 1;
    s.entries = "6\n";
    write_inputs(d, {}, s, {});
    const run_result r = run_rcwa(d, {}, 3);
    EXPECT_EQ(r.status, 22) << r.out << r.err;
    EXPECT_EQ(r.count_line("  Sorry, not yet implemented-result likely to be wrong"), 3);
    EXPECT_EQ(r.count_line("  read error gitter: ntype"), 3);
}

TEST(mpi, a_stop_of_process_zero_ends_the_job) {
    // The result table cannot be created: process 0 stops with 90 while the
    // others would go on into the collective steps of the full form.
    work_dir d;
    write_full_form_stack(d);
    outctl_input o;
    o.lfout = true;
    o.fname_out = "nodir/res.txt";
    d.write("outctl.txt", outctl_text(o));
    const run_result r = run_rcwa(d, {}, 3);
    EXPECT_EQ(r.status, 90) << r.out << r.err;
    EXPECT_EQ(r.count_line("  error output initialization"), 1);
}

}  // namespace
}  // namespace rcwa::test
