// Step timing: the difference of two clock readings and the timing line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "linalg/timing.hpp"

namespace la = rcwa::linalg;

namespace {

la::time_stamp at(int hour, int minute, int second, int ms, int offset = 60) {
    return {2024, 3, 14, offset, hour, minute, second, ms};
}

struct elapsed {
    int m, s, ms;
    bool operator==(const elapsed&) const = default;
};

[[maybe_unused]] void PrintTo(const elapsed& e, std::ostream* os) {
    *os << e.m << " min " << e.s << " s " << e.ms << " ms";
}

elapsed between(const la::time_stamp& a, const la::time_stamp& b) {
    elapsed e{-99, -99, -99};
    la::elapsed_between(a, b, e.m, e.s, e.ms);
    return e;
}

}  // namespace

TEST(TimingElapsed, BorrowRules) {
    EXPECT_EQ(between(at(10, 0, 0, 0), at(10, 0, 0, 0)), (elapsed{0, 0, 0}));
    EXPECT_EQ(between(at(10, 0, 0, 0), at(10, 0, 1, 5)), (elapsed{0, 1, 5}));
    // milliseconds borrow from the seconds
    EXPECT_EQ(between(at(10, 0, 0, 900), at(10, 0, 1, 100)), (elapsed{0, 0, 200}));
    // seconds borrow from the minutes
    EXPECT_EQ(between(at(10, 4, 50, 0), at(10, 5, 10, 0)), (elapsed{0, 20, 0}));
    // both borrows in one step: 12:59:59.999 to 13:00:00.000
    EXPECT_EQ(between(at(12, 59, 59, 999), at(13, 0, 0, 0)), (elapsed{0, 0, 1}));
    // minutes run past 59; the date is not looked at
    la::time_stamp later = at(13, 30, 15, 250);
    later[2] = 15;
    EXPECT_EQ(between(at(11, 10, 5, 500), later), (elapsed{140, 9, 750}));
}

TEST(TimingElapsed, MidnightAndOffsetChange) {
    // A step that runs past midnight.
    EXPECT_EQ(between(at(23, 59, 58, 500), at(0, 0, 1, 0)), (elapsed{0, 2, 500}));
    EXPECT_EQ(between(at(23, 0, 0, 0), at(1, 30, 0, 0)), (elapsed{150, 0, 0}));
    // Clocks put back an hour (offset 120 -> 60): 02:59 then 02:01 local is 2 minutes.
    EXPECT_EQ(between(at(2, 59, 0, 0, 120), at(2, 1, 0, 0, 60)), (elapsed{2, 0, 0}));
    // Clocks put forward (60 -> 120): 01:59:30 then 03:00:30 local is 1 minute.
    EXPECT_EQ(between(at(1, 59, 30, 0, 60), at(3, 0, 30, 0, 120)), (elapsed{1, 0, 0}));
}

TEST(TimingElapsed, FromTheClock) {
    const la::time_stamp start = la::take_stamp();
    int m = -1, s = -1, ms = -1;
    la::elapsed_time(start, m, s, ms);
    EXPECT_EQ(m, 0);
    EXPECT_GE(s, 0);
    EXPECT_LE(s, 59);
    EXPECT_GE(ms, 0);
    EXPECT_LE(ms, 999);
}

TEST(TimingLine, FixedLayoutBytes) {
    // ('TIME matmult: ',I3,' minutes',I4,'.',I3,' seconds')
    EXPECT_EQ(la::timing_line("TIME matmult: ", 0, 1, 5), "TIME matmult:   0 minutes   1.  5 seconds");
    EXPECT_EQ(la::timing_line("TIME matinv: ", 12, 59, 999), "TIME matinv:  12 minutes  59.999 seconds");
    EXPECT_EQ(la::timing_line("TIME for Eigen: ", 139, 0, 0), "TIME for Eigen: 139 minutes   0.  0 seconds");
    // Total run time with hundredths in the same fields
    EXPECT_EQ(la::timing_line("Total TIME: ", 2, 7, 40), "Total TIME:   2 minutes   7. 40 seconds");
    // Values too wide for their fields fill them with asterisks.
    EXPECT_EQ(la::timing_line("TIME superstrate: ", 1000, 12345, 1000),
              "TIME superstrate: *** minutes****.*** seconds");
    EXPECT_EQ(la::timing_line("X", -5, -100, -1), "X -5 minutes-100. -1 seconds");
    EXPECT_EQ(la::timing_line("", -100, 0, 0), "*** minutes   0.  0 seconds");
}

TEST(TimingLine, SinceStartUsesTheLayout) {
    const std::string line = la::timing_line_since("TIME for t_link: ", la::take_stamp());
    ASSERT_EQ(line.size(), std::string("TIME for t_link:   0 minutes   0.  0 seconds").size());
    EXPECT_EQ(line.substr(0, 28), "TIME for t_link:   0 minutes");
    EXPECT_EQ(line.substr(line.size() - 8), " seconds");
}


// gfortran writes the same values through the same edit descriptors.
TEST(TimingLine, AgreesWithGfortran) {
    const int cases[][3] = {{0, 1, 5},    {0, 0, 0},     {7, 59, 999}, {59, 0, 10},  {999, 9999, 999},
                            {1000, 1, 1}, {1, 10000, 1}, {1, 1, 1000}, {-5, -100, -1}, {-100, 3, 4}};
    char tmpl[] = "/tmp/rcwa_timing_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    {
        std::ofstream f(dir + "/t.f90");
        f << "program t\n  integer :: m, s, k, i\n  do i = 1, " << std::size(cases) << "\n"
          << "    read (*, *) m, s, k\n"
          << "    write (*, '(''TIME matmult: '',I3,'' minutes'',I4,''.'',I3,'' seconds'')') m, s, k\n"
          << "  end do\nend program t\n";
        std::ofstream in(dir + "/in.txt");
        for (const auto& c : cases) in << c[0] << ' ' << c[1] << ' ' << c[2] << '\n';
    }
    const std::string cmd = std::string(RCWA_GFORTRAN) + " -o " + dir + "/t " + dir + "/t.f90 && " + dir +
                            "/t < " + dir + "/in.txt > " + dir + "/out.txt";
    const int rc = std::system(cmd.c_str());
    std::ifstream out(dir + "/out.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    std::system(("rm -rf " + dir).c_str());
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(lines.size(), std::size(cases));
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(la::timing_line("TIME matmult: ", cases[i][0], cases[i][1], cases[i][2]), lines[i]);
}
