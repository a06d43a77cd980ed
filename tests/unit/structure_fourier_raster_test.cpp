// Raster shapes: painted areas against the superellipse's analytic area,
// oblique lattices, rotations, sampling positions and paint order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "structure/raster.hpp"
#include "unit/structure_fourier_support.hpp"

namespace {

using namespace fourier_test;
using rcwa::structure::fill_eps_grid;
using rcwa::structure::fill_eps_grid2;
using rcwa::structure::in_superellipse;
using rcwa::structure::raster_shape;

const cplx n_bg(1.0, 0.0), n_1(1.5, 0.1), n_2(2.0, 0.0);


array1<cplx> indices() {
    array1<cplx> n(3);
    n(1) = n_bg;
    n(2) = n_1;
    n(3) = n_2;
    return n;
}

// |x/a|^p + |y/b|^p < 1 with full widths w1, w2.
double superellipse_area(double w1, double w2, double p) {
    return w1 * w2 * std::pow(std::tgamma(1.0 + 1.0 / p), 2) / std::tgamma(1.0 + 2.0 / p);
}

double fraction_of(const full_mat& g, cplx value) {
    int count = 0;
    for (int j = 1; j <= g.order(); ++j)
        for (int i = 1; i <= g.order(); ++i) count += g(i, j) == value ? 1 : 0;
    return static_cast<double>(count) / (static_cast<double>(g.order()) * g.order());
}

int differences(const full_mat& a, const full_mat& b) {
    int d = 0;
    for (int j = 1; j <= a.order(); ++j)
        for (int i = 1; i <= a.order(); ++i) d += a(i, j) == b(i, j) ? 0 : 1;
    return d;
}

full_mat paint1(bool flag, double ratio, double angle, double w1, double w2, double c1, double c2,
                double rot, double p, int m) {
    full_mat g(m);
    fill_eps_grid(flag, ratio, angle, indices(), raster_shape{w1, w2, c1, c2, rot, p}, m, g);
    return g;
}

// One shape through the two-shape painter (shape 2 of zero size).
full_mat paint2(bool flag, double ratio, double angle, double w1, double w2, double c1, double c2,
                double rot, double p, int m) {
    full_mat g(m);
    fill_eps_grid2(flag, ratio, angle, indices(), raster_shape{w1, w2, c1, c2, rot, p},
                   raster_shape{0.0, 0.0, 0.0, 0.0, 0.0, 2.0}, m, g);
    return g;
}

TEST(Raster, PaintedAreaMatchesSuperellipse) {
    struct shape {
        double w1, w2, c1, c2, p;
    };
    const int m = 256;
    const cplx inside = n_1 * n_1;
    for (const shape& s : {shape{0.6, 0.6, 0.0, 0.0, 2.0}, shape{0.5, 0.7, 0.1, -0.05, 4.0},
                           shape{0.8, 0.4, 0.0, 0.0, 1.0}, shape{0.5, 0.3, -0.2, 0.1, 200.0},
                           shape{0.3, 0.9, 0.0, 0.0, 0.7}}) {
        const double want = superellipse_area(s.w1, s.w2, s.p);
        const double tol = (s.w1 + s.w2) / m;
        for (bool corner : {true, false}) {
            full_mat g = corner ? paint1(false, 1.0, 0.0, s.w1, s.w2, s.c1, s.c2, 0.0, s.p, m)
                                : paint2(false, 1.0, 0.0, s.w1, s.w2, s.c1, s.c2, 0.0, s.p, m);
            EXPECT_NEAR(fraction_of(g, inside), want, tol) << s.p << " corner=" << corner;
            EXPECT_NEAR(fraction_of(g, n_bg * n_bg), 1.0 - want, tol);
        }
    }
}

// On an oblique lattice the cell's area is cos(angle) times that of the
// rectangle of the two periods, so a shape fills 1/cos(angle) more of it.
TEST(Raster, ObliqueLatticeScalesTheFilledFraction) {
    const int m = 256;
    const double angle = 30.0;
    const double want = superellipse_area(0.4, 0.4, 2.0) / std::cos(angle * pi / 180.0);
    for (double ratio : {1.0, 1.5}) {
        full_mat g = paint2(true, ratio, angle, 0.4, 0.4, 0.0, 0.0, 0.0, 2.0, m);
        EXPECT_NEAR(fraction_of(g, n_1 * n_1), want, 0.8 / m) << ratio;
        full_mat h = paint1(true, ratio, angle, 0.4, 0.4, 0.0, 0.0, 20.0, 2.0, m);
        EXPECT_NEAR(fraction_of(h, n_1 * n_1), want, 0.8 / m) << ratio;
    }
}

TEST(Raster, ZeroAngleAndZeroRotationChangeNothing) {
    const int m = 64;
    EXPECT_EQ(differences(paint1(true, 1.7, 0.0, 0.5, 0.3, 0.1, 0.0, 30.0, 3.0, m),
                          paint1(false, 1.7, 0.0, 0.5, 0.3, 0.1, 0.0, 30.0, 3.0, m)),
              0);
    EXPECT_EQ(differences(paint2(true, 1.7, 0.0, 0.5, 0.3, 0.1, 0.0, 30.0, 3.0, m),
                          paint2(false, 1.7, 0.0, 0.5, 0.3, 0.1, 0.0, 30.0, 3.0, m)),
              0);
    EXPECT_EQ(differences(paint2(false, 1.0, 0.0, 0.5, 0.3, 0.0, 0.0, 360.0, 2.0, m),
                          paint2(false, 1.0, 0.0, 0.5, 0.3, 0.0, 0.0, 0.0, 2.0, m)),
              0);
}

// Rotating by 90 degrees exchanges the Cartesian widths; with dz = 2 dy the
// widths (0.5 dy, 0.15 dz) become (0.3 dy, 0.25 dz).
TEST(Raster, QuarterTurnSwapsWidths) {
    const int m = 64;
    EXPECT_EQ(differences(paint2(false, 1.0, 0.0, 0.5, 0.3, 0.0, 0.0, 90.0, 2.0, m),
                          paint2(false, 1.0, 0.0, 0.3, 0.5, 0.0, 0.0, 0.0, 2.0, m)),
              0);
    EXPECT_EQ(differences(paint2(false, 2.0, 0.0, 0.5, 0.15, 0.0, 0.0, 90.0, 2.0, m),
                          paint2(false, 2.0, 0.0, 0.3, 0.25, 0.0, 0.0, 0.0, 2.0, m)),
              0);
    EXPECT_EQ(differences(paint2(false, 2.0, 0.0, 0.5, 0.15, 0.0, 0.0, -90.0, 6.0, m),
                          paint2(false, 2.0, 0.0, 0.3, 0.25, 0.0, 0.0, 0.0, 6.0, m)),
              0);
}

// Index j stands for (j-1)/M from the cell's lower edge, the middle at
// M/2 + 1, as in a pixel map; a shape crossing the cell edge continues at the
// opposite edge.
TEST(Raster, SamplePositionsAndStorage) {
    const cplx e1 = n_bg * n_bg, e2 = n_1 * n_1;
    struct sampled {
        double w, c1, c2;
        int m;
        std::vector<int> j1, j2;  // the indices inside the shape along each direction
        bool corner;              // one-shape raster (samples at (j-1)/M)
    };
    // Exponent 50: nearly a square, so the samples inside form a box.
    const sampled cases[] = {
        {0.2, 0.0, 0.0, 2, {2}, {2}, true},
        {0.2, 0.25, -0.125, 8, {7}, {4}, true},
        {0.3, 0.5, 0.5, 8, {8, 1, 2}, {8, 1, 2}, true},
        {0.3, -0.4375, 0.0, 16, {16, 1, 2, 3, 4}, {7, 8, 9, 10, 11}, true},
        // Pixel centres: the four samples at +-1/16 from the middle.
        {0.2, 0.0, 0.0, 8, {4, 5}, {4, 5}, false},
        {0.2, 0.5, 0.0, 8, {8, 1}, {4, 5}, false},
    };
    for (const sampled& s : cases) {
        const full_mat g = s.corner ? paint1(false, 1.0, 0.0, s.w, s.w, s.c1, s.c2, 0.0, 50.0, s.m)
                                    : paint2(false, 1.0, 0.0, s.w, s.w, s.c1, s.c2, 0.0, 50.0, s.m);
        auto in = [](const std::vector<int>& v, int k) {
            return std::find(v.begin(), v.end(), k) != v.end();
        };
        for (int c = 1; c <= s.m; ++c)
            for (int r = 1; r <= s.m; ++r)
                EXPECT_EQ(g(r, c), in(s.j1, r) && in(s.j2, c) ? e2 : e1)
                    << s.c1 << " " << s.c2 << " at " << r << "," << c;
    }
    // A width of 0 holds no sample.
    EXPECT_EQ(fraction_of(paint1(false, 1.0, 0.0, 0.0, 0.5, 0.0, 0.0, 0.0, 2.0, 16), e1), 1.0);
    EXPECT_EQ(fraction_of(paint2(false, 1.0, 0.0, 0.5, 0.0, 0.0, 0.0, 0.0, 2.0, 16), e1), 1.0);
}

TEST(Raster, SecondShapeIsPaintedOverTheFirst) {
    const int m = 32;
    full_mat g(m);
    fill_eps_grid2(false, 1.0, 0.0, indices(), raster_shape{0.5, 0.5, 0.0, 0.0, 0.0, 2.0},
                   raster_shape{0.5, 0.5, 0.0, 0.0, 0.0, 2.0}, m, g);
    EXPECT_EQ(fraction_of(g, n_1 * n_1), 0.0);
    EXPECT_GT(fraction_of(g, n_2 * n_2), 0.15);
    // Overlapping shapes: the first keeps only what the second leaves. The
    // samples (k + 1/2)/32 - 1/2 give 12 rows, 13 columns per shape, 6 shared.
    fill_eps_grid2(false, 1.0, 0.0, indices(), raster_shape{0.4, 0.4, -0.1, 0.0, 0.0, 100.0},
                   raster_shape{0.4, 0.4, 0.1, 0.0, 0.0, 100.0}, m, g);
    EXPECT_EQ(fraction_of(g, n_2 * n_2), 13.0 * 12.0 / 1024.0);
    EXPECT_EQ(fraction_of(g, n_1 * n_1), 7.0 * 12.0 / 1024.0);
}

TEST(Raster, SuperellipseTest) {
    // p = 1 is the rhombus; its boundary is outside (strict).
    EXPECT_FALSE(in_superellipse(0.5, -1.0, 1.0, 0.5, -1.0, 1.0, 1.0, 1.0));
    EXPECT_TRUE(in_superellipse(0.49, -1.0, 1.0, 0.5, -1.0, 1.0, 1.0, 1.0));
    // Below p = 1 the shape is inside the rhombus.
    EXPECT_FALSE(in_superellipse(0.4, -1.0, 1.0, 0.4, -1.0, 1.0, 1.0, 0.5));
    EXPECT_TRUE(in_superellipse(0.1, -1.0, 1.0, 0.1, -1.0, 1.0, 1.0, 0.5));
    // The box is strict; a NaN is outside.
    EXPECT_FALSE(in_superellipse(1.0, -1.0, 1.0, 0.0, -1.0, 1.0, 1.0, 50.0));
    EXPECT_TRUE(in_superellipse(0.99, -1.0, 1.0, 0.99, -1.0, 1.0, 1.0, 1000.0));
    EXPECT_FALSE(in_superellipse(std::nan(""), -1.0, 1.0, 0.0, -1.0, 1.0, 1.0, 2.0));
}

}  // namespace
