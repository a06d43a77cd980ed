// The clearing rule of the grating-layer modal step: an entry becomes exactly
// zero only when both of its parts lie strictly below 1e-9 k_unit^4 in
// magnitude: at a wavelength of 2 length units every entry of M = P Q is 1/16
// of its value at 1, and so is the threshold.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "structure/grating_modes.hpp"

namespace rcwa::structure {
namespace {

TEST(clear_tiny_entries, both_parts_strictly_below_the_threshold) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const cplx in[] = {{1e-9, 0.0},     {9.9e-10, -9.9e-10}, {5e-10, 1e-3},  {-1e-9, 1e-10},
                       {0.0, -1e-9},    {-3e-10, 2e-10},     {nan, 0.0},     {0.0, nan},
                       {1.0, 1.0},      {-0.0, 0.0},         {1e-300, -1e-300}, {2.0, -1e-12}};
    const bool cleared[] = {false, true, false, false, false, true,
                            false, false, false, true, true,  false};
    for (const double k_unit : {1.0, 0.5}) {
    const double f = k_unit * k_unit * k_unit * k_unit;
    const int n = 4;  // 16 entries; the first 12 as above, the rest tiny
    full_mat m(n);
    for (int k = 0; k < 16; ++k) m.data()[k] = (k < 12 ? in[k] : cplx(1e-12, 1e-12)) * f;
    clear_tiny_entries(n, m, k_unit);
    for (int k = 0; k < 16; ++k) {
        const cplx z = m.data()[k];
        if (k >= 12 || cleared[k]) {
            EXPECT_EQ(z.real(), 0.0) << k;
            EXPECT_EQ(z.imag(), 0.0) << k;
            EXPECT_FALSE(std::signbit(z.real())) << k;
            EXPECT_FALSE(std::signbit(z.imag())) << k;
        } else if (std::isnan(in[k].real()) || std::isnan(in[k].imag())) {
            EXPECT_TRUE(std::isnan(z.real()) || std::isnan(z.imag())) << k;
        } else {
            EXPECT_EQ(z, in[k] * f) << k;
        }
    }
    }
}

}  // namespace
}  // namespace rcwa::structure
