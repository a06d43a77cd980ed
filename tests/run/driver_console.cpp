// The console lines of a run: banner, name and incidence echoes, the l_info
// diagnostics and their absence, the end of a run without result files, and
// the command-line overrides as the echo shows them.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/run_support.hpp"

namespace rcwa::test {
namespace {

const std::string star_line = " " + std::string(44, '*');

struct console_run {
    work_dir d;
    run_result r;
    console_run(const param_input& p, const stack_input& s, const outctl_input& o,
                const std::vector<std::string>& args = {}) {
        write_inputs(d, p, s, o);
        r = run_rcwa(d, args);
    }
};

std::vector<std::string> expected_head(const std::string& arg3, const std::string& par_line) {
    std::string arg60 = arg3;
    arg60.resize(60, ' ');
    return {" arg    : " + arg60,
            "",
            star_line,
            // title lines are checked for their frame only
            "", "",
            " *  Parallel Looping & MPI Implemented      *",
            " *     Non-Orthogonal Grid Option           *",
            star_line,
            "",
            "",
            par_line,
            "param.txt" + std::string(31, ' '),
            "stack.txt" + std::string(31, ' '),
            "outctl.txt" + std::string(30, ' ')};
}

void expect_head(const run_result& r, const std::vector<std::string>& head) {
    const auto lines = r.lines();
    ASSERT_GE(lines.size(), head.size()) << r.out;
    for (std::size_t k = 0; k < head.size(); ++k) {
        if (k >= 3 && k <= 4) {
            // banner lines carrying the title: 44 characters framed by asterisks
            ASSERT_EQ(lines[k].size(), 45u) << lines[k];
            EXPECT_EQ(lines[k][1], '*');
            EXPECT_EQ(lines[k][44], '*');
            continue;
        }
        EXPECT_EQ(lines[k], head[k]) << "line " << k;
    }
}

TEST(console, plain_run_lines_in_order) {
    param_input p;
    p.theta = 30.0;
    p.phi = 45.0;
    p.lambda = 0.6328;
    stack_input s;
    s.nlayer = 1;
    s.entries = film_entry(1.38, 0.1);
    outctl_input o;
    o.l_info = false;
    console_run run(p, s, o);
    EXPECT_EQ(run.r.status, 1) << run.r.out << run.r.err;

    auto head = expected_head("", " parameter :    0.0000000000000000     ");
    head.insert(head.end(), {"", " Incidence Angle =   30.00", " Azimuth Angle =   45.00",
                             " Wavelength =  632.80 nm", " Truncation:     0   thru    0", ""});
    expect_head(run.r, head);

    const auto lines = run.r.lines();
    // No diagnostics without l_info.
    EXPECT_FALSE(run.r.has_line(" layer_type =            1"));
    EXPECT_FALSE(run.r.has_line("rti_link: sup"));
    for (const auto& l : lines) {
        EXPECT_NE(l.rfind(" Error_TE =", 0), 0u) << l;
        EXPECT_NE(l.rfind("TIME superstrate: ", 0), 0u) << l;
    }
    // The end of a run without result files: the total time and the pause.
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), " hit any key to finish");
    EXPECT_TRUE(std::regex_match(lines[lines.size() - 2],
                                 std::regex("Total TIME: [ 0-9]{3} minutes[ 0-9]{4}\\.[ 0-9]{3} seconds")))
        << lines[lines.size() - 2];
}

TEST(console, l_info_lines) {
    stack_input s;
    s.nlayer = 2;
    s.entries = film_entry(1.38, 0.1) + "-12\n" + nk_record(2.0) + "0.05\n";
    outctl_input o;
    o.l_info = true;
    console_run run({}, s, o);
    EXPECT_EQ(run.r.status, 1) << run.r.out << run.r.err;
    EXPECT_EQ(run.r.count_line(" layer_type =            1"), 1);
    EXPECT_EQ(run.r.count_line(" layer_type =          -12"), 1);
    EXPECT_EQ(run.r.count_line("rti_link: sup"), 1);
    // Homogeneous layers before any cone entry use the block-diagonal form:
    // no full-form markers.
    EXPECT_EQ(run.r.count_line("rti_link: g1"), 0);
    EXPECT_EQ(run.r.count_line(" rt_link: g1"), 0);
    const auto lines = run.r.lines();
    int sup_time = 0, err_lines = 0;
    std::size_t first_matmult = lines.size(), sup_marker = lines.size();
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const auto& l = lines[k];
        if (std::regex_match(l, std::regex("TIME superstrate: [ 0-9]{3} minutes[ 0-9]{4}\\.[ 0-9]{3} seconds")))
            ++sup_time;
        if (std::regex_match(l, std::regex(" Error_TE =[-0-9.E+]{12}     Error_TM =[-0-9.E+]{12}")))
            ++err_lines;
        if (l.rfind("TIME matmult: ", 0) == 0 && first_matmult == lines.size()) first_matmult = k;
        if (l == "rti_link: sup") sup_marker = k;
    }
    EXPECT_EQ(sup_time, 1);
    EXPECT_EQ(err_lines, 1);
    // The first collective product of a film-only stack is the superstrate's.
    EXPECT_LT(sup_marker, first_matmult);
    EXPECT_LT(first_matmult, lines.size());
}

TEST(console, full_form_markers_after_cone_entry) {
    work_dir d;
    stack_input s;
    s.nlayer = 2;
    s.entries = "11\na\nb\n" + nk_record(1.0) + nk_record(1.0) + "1\n2\n3\n4\n5\n6\n7\nseq.txt\n1.0\n" +
                film_entry(1.45, 0.2);
    outctl_input o;
    o.l_info = true;
    write_inputs(d, {}, s, o);
    d.write("seq.txt", "2D_Stack_Sequence\n1\n" + film_entry(2.1, 0.07));
    const run_result r = run_rcwa(d);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.count_line(" layer_type =           11"), 1);
    // Both films, the sequence's and the one after it, in full form.
    EXPECT_EQ(r.count_line("rti_link: g1"), 2);
    EXPECT_EQ(r.count_line(" rt_link: g1"), 2);
}

TEST(console, result_files_replace_time_and_error_lines) {
    stack_input s;
    outctl_input o;
    o.lfout = true;
    o.l_info = true;
    console_run run({}, s, o);
    EXPECT_EQ(run.r.status, 1) << run.r.out << run.r.err;
    for (const auto& l : run.r.lines()) {
        EXPECT_NE(l.rfind("Total TIME: ", 0), 0u);
        EXPECT_NE(l.rfind(" Error_TE =", 0), 0u);
        EXPECT_NE(l, " hit any key to finish");
    }
    EXPECT_TRUE(run.d.exists("energy_error.txt"));
    EXPECT_TRUE(run.d.exists("res.txt"));
}

TEST(console, overrides_from_the_command_line) {
    param_input p;
    p.lambda = 0.5;
    outctl_input o;
    o.l_info = false;
    {
        console_run run(p, {}, o, {"0.55", "0", "7"});
        EXPECT_EQ(run.r.status, 1);
        EXPECT_TRUE(run.r.has_line(" parameter :   0.55000000000000004     ")) << run.r.out;
        std::string arg60 = "7";
        arg60.resize(60, ' ');
        EXPECT_TRUE(run.r.has_line(" arg    : " + arg60));
        EXPECT_TRUE(run.r.has_line(" Wavelength =  550.00 nm"));
    }
    {
        console_run run(p, {}, o, {"4.7", "1"});
        EXPECT_TRUE(run.r.has_line(" Truncation:    -4   thru    4")) << run.r.out;
    }
    {
        console_run run(p, {}, o, {"12.5", "2"});
        EXPECT_TRUE(run.r.has_line(" Incidence Angle =   12.50")) << run.r.out;
    }
    {
        console_run run(p, {}, o, {"-33", "4", "0"});
        EXPECT_TRUE(run.r.has_line(" Azimuth Angle =  -33.00")) << run.r.out;
    }
    {
        // Other kinds replace nothing.
        console_run run(p, {}, o, {"0.7", "3"});
        EXPECT_TRUE(run.r.has_line(" Wavelength =  500.00 nm")) << run.r.out;
        EXPECT_TRUE(run.r.has_line(" Incidence Angle =    0.00")) << run.r.out;
    }
}

TEST(console, sweep_run_names_its_files) {
    outctl_input o;
    o.lfout = true;
    o.fname_out = "res";
    console_run run({}, {}, o, {"0.5", "9", "-12"});
    EXPECT_EQ(run.r.status, 1) << run.r.out << run.r.err;
    EXPECT_TRUE(run.d.exists("res12.txt"));
    EXPECT_TRUE(run.d.exists("energy_error12.txt"));
    EXPECT_FALSE(run.d.exists("res"));
}

}  // namespace
}  // namespace rcwa::test
