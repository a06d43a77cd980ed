// The total run time line: borrows between its fields and a run across
// midnight.
#include <gtest/gtest.h>

#include "run/steps.hpp"

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

}  // namespace
}  // namespace rcwa::run
