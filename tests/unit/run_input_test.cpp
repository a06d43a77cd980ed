// Sweep naming of the result base name.
#include <gtest/gtest.h>

#include "run/input.hpp"

namespace rcwa::run {
namespace {

std::string pad(std::string s) {
    s.resize(260, ' ');
    return s;
}

TEST(run_input, sweep_names) {
    EXPECT_EQ(sweep_name(pad("abc"), 7), pad("abc7.txt"));
    EXPECT_EQ(sweep_name(pad("abc"), -7), pad("abc7.txt"));
    EXPECT_EQ(sweep_name(pad("abc"), -12), pad("abc12.txt"));
    EXPECT_EQ(sweep_name(pad("abc"), 1234), pad("abc1234.txt"));
    // The base ends at the first two blanks: a single blank belongs to it.
    EXPECT_EQ(sweep_name(pad("my res  x"), 3), pad("my res3.txt"));
    EXPECT_EQ(sweep_name(pad("res.txt"), -1), pad("res.txt1.txt"));
}

}  // namespace
}  // namespace rcwa::run
