// The total run time line: borrows between its fields and a run across
// midnight. The line of an exception that no code throws on purpose.
#include <gtest/gtest.h>

#include <exception>
#include <stdexcept>

#include "run/main.hpp"
#include "run/stop.hpp"

namespace rcwa::run {
namespace {

TEST(run_driver, total_time_borrows) {
    EXPECT_EQ(total_time_line({12, 0, 5, 90}, {12, 1, 5, 10}), "Total TIME:   0 minutes  59. 20 seconds");
    EXPECT_EQ(total_time_line({10, 59, 58, 0}, {11, 0, 1, 5}), "Total TIME:   0 minutes   3.  5 seconds");
    EXPECT_EQ(total_time_line({10, 0, 0, 0}, {12, 30, 0, 0}), "Total TIME: 150 minutes   0.  0 seconds");
    EXPECT_EQ(total_time_line({7, 7, 7, 7}, {7, 7, 7, 7}), "Total TIME:   0 minutes   0.  0 seconds");
}

TEST(run_driver, total_time_across_midnight) {
    EXPECT_EQ(total_time_line({23, 59, 30, 0}, {0, 0, 15, 50}), "Total TIME:   0 minutes  45. 50 seconds");
}

TEST(run_driver, internal_error_line_says_what_happened) {
    const struct {
        std::exception_ptr e;
        const char* line;
    } cases[] = {
        {std::make_exception_ptr(std::invalid_argument("format (I3,: empty item")),
         "  internal error: format (I3,: empty item"},
        {std::make_exception_ptr(std::length_error("")), "  internal error: "},
        {std::make_exception_ptr(42), "  internal error: an exception of unknown type"},
    };
    for (const auto& c : cases) EXPECT_EQ(internal_error_line(c.e), c.line);
}

}  // namespace
}  // namespace rcwa::run
