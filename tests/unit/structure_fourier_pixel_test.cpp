// Pixel-map Fourier matrices: uniform maps, agreement with the patch
// routines for pixel-aligned rectangles (the DFT of cells differs from the
// Fourier integral by one sinc factor per direction), the grid Li rules
// against a construction from naive DFTs, shifts, and single-order means.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "structure/fourier.hpp"
#include "structure/pixel_map.hpp"
#include "unit/structure_fourier_support.hpp"

namespace {

using namespace fourier_test;
using rcwa::structure::eps_fourier_fft;
using rcwa::structure::eps_matrix_separable;
using rcwa::structure::grating_eps;
using rcwa::structure::grid_li_cols;
using rcwa::structure::grid_li_rows;
using rcwa::structure::layer_eps_matrices;
using rcwa::structure::mat_mix_inv;
using rcwa::structure::patch_fourier;
using rcwa::structure::patch_fourier_stripes;
using rcwa::structure::rect_table;

grating_eps run_layer(bool li, double angle, full_mat grid, const orders& o) {
    return layer_eps_matrices(li, grid, angle, o.set());
}

full_mat scaled_identity(int n, cplx v) {
    full_mat a(n);
    for (int i = 1; i <= n; ++i) a(i, i) = v;
    return a;
}

full_mat random_grid(int m, std::mt19937& g) {
    std::uniform_real_distribution<double> d(-0.3, 0.3);
    full_mat a(m);
    for (int j = 1; j <= m; ++j)
        for (int i = 1; i <= m; ++i) a(i, j) = cplx(2.0 + d(g), 0.2 * d(g));
    return a;
}

int wrap(int d, int m) { return ((d % m) + m) % m; }

TEST(PixelMap, UniformMapGivesScaledIdentities) {
    const cplx e(2.25, 0.3);
    full_mat grid(8);
    for (int j = 1; j <= 8; ++j)
        for (int i = 1; i <= 8; ++i) grid(i, j) = e;
    for (const orders& o : {square_orders(1), diamond_orders(2)}) {
        const full_mat ei = scaled_identity(o.n, e), zero(o.n);
        grating_eps f = run_layer(true, 0.0, grid, o);
        EXPECT_LT(max_abs_diff(f.eps_conv, scaled_identity(o.n, 1.0 / e)), 1e-7);
        EXPECT_LT(max_abs_diff(f.eps_li_1, ei), 1e-6);
        EXPECT_LT(max_abs_diff(f.eps_li_2, ei), 1e-6);
        EXPECT_EQ(max_abs_diff(f.eps_inv_rule, zero), 0.0);

        f = run_layer(true, 10.0, grid, o);
        EXPECT_LT(max_abs_diff(f.eps_inv_rule, ei), 1e-6);

        f = run_layer(false, 0.0, grid, o);
        EXPECT_LT(max_abs_diff(f.eps_li_1, ei), 1e-6);  // [[eps]] itself, not inverted
        EXPECT_EQ(max_abs_diff(f.eps_li_2, zero), 0.0);
        EXPECT_LT(max_abs_diff(f.eps_inv_rule, ei), 1e-6);
        EXPECT_LT(max_abs_diff(f.eps_conv, scaled_identity(o.n, 1.0 / e)), 1e-7);
    }
    // The grid holds 1/eps on return.
    full_mat g2 = grid;
    orders o = square_orders(1);
    layer_eps_matrices(true, g2, 0.0, o.set());
    EXPECT_LT(std::abs(g2(3, 5) - 1.0 / e), 1e-15);
}

// Sample j sits at (j-1)/M; as a cell it spans [(j-1.5)/M, (j-0.5)/M]. The
// DFT of such cells times sinc(pi d1/M) sinc(pi d2/M) is their Fourier
// integral, which the patch routines compute exactly.
TEST(PixelMap, PixelAlignedRectangleMatchesPatchRoutines) {
    const int m = 32, iomax = 2;
    const cplx eb(2.0, 0.0), er(6.0, 0.5);
    struct box {
        int j1a, j1b, j2a, j2b;
    };
    for (const box& b : {box{5, 14, 10, 25}, box{10, 24, 3, 31}}) {
        full_mat grid(m);
        for (int j2 = 1; j2 <= m; ++j2)
            for (int j1 = 1; j1 <= m; ++j1)
                grid(j1, j2) = (j1 >= b.j1a && j1 <= b.j1b && j2 >= b.j2a && j2 <= b.j2b) ? er : eb;
        const double y0 = (b.j1a - 1.5) / m, y1 = (b.j1b - 0.5) / m;
        const double z0 = (b.j2a - 1.5) / m, z1 = (b.j2b - 0.5) / m;
        rect_table rect(5);
        array1<cplx> eps(5);
        const double tiles[5][4] = {{0.0, 0.0, 1.0, y0}, {0.0, y1, 1.0, 1.0}, {0.0, y0, z0, y1},
                                    {z1, y0, 1.0, y1}, {z0, y0, z1, y1}};
        for (int p = 1; p <= 5; ++p) {
            for (int k = 1; k <= 4; ++k) rect(k, p) = tiles[p - 1][k - 1];
            eps(p) = p == 5 ? er : eb;
        }
        const orders o = square_orders(iomax);
        full_mat pix(o.n), stripes(o.n), closed(o.n);
        eps_fourier_fft(grid, m, o.set(), pix);
        bool err = true;
        patch_fourier_stripes(o.set(), 5, eps, rect, stripes, err);
        ASSERT_FALSE(err);
        patch_fourier(o.set(), 5, eps, rect, closed);
        double worst = 0.0, worst_closed = 0.0;
        for (int r = 1; r <= o.n; ++r)
            for (int c = 1; c <= o.n; ++c) {
                const int d1 = o.i1(r) - o.i1(c), d2 = o.i2(r) - o.i2(c);
                auto sinc = [&](int d) { return d == 0 ? 1.0 : std::sin(pi * d / m) / (pi * d / m); };
                const cplx corrected = pix(r, c) * sinc(d1) * sinc(d2);
                worst = std::max(worst, std::abs(corrected - stripes(r, c)));
                worst_closed = std::max(worst_closed, std::abs(corrected - closed(r, c)));
            }
        EXPECT_LT(worst, 1e-6) << b.j1a;
        EXPECT_LT(worst_closed, 1e-6) << b.j1a;
    }
}

// Inverse rule along the first grid index (rows) or the second (cols), built
// from naive double-precision DFTs and our own inverse.
full_mat li_expected(const full_mat& g, const orders& o, bool inverse_along_first) {
    const int m = g.order(), l = 2 * o.iomax + 1;
    auto at = [&](int along, int line) { return inverse_along_first ? g(along, line) : g(line, along); };
    std::vector<full_mat> tinv;
    for (int line = 1; line <= m; ++line) {
        std::vector<cplx> coef(static_cast<std::size_t>(m));
        for (int k = 0; k < m; ++k) {
            cplx s(0.0, 0.0);
            for (int j = 1; j <= m; ++j) s += at(j, line) * std::exp(cplx(0.0, -2.0 * pi * (j - 1) * k / m));
            coef[static_cast<std::size_t>(k)] = s / static_cast<double>(m);
        }
        full_mat t(l);
        for (int r = 1; r <= l; ++r)
            for (int s = 1; s <= l; ++s) t(r, s) = coef[static_cast<std::size_t>(wrap(r - s, m))];
        tinv.push_back(inverse(t));
    }
    full_mat out(o.n);
    for (int a = 1; a <= o.n; ++a)
        for (int b = 1; b <= o.n; ++b) {
            const int d1 = o.i1(a) - o.i1(b), d2 = o.i2(a) - o.i2(b);
            const int across = inverse_along_first ? d2 : d1;
            const int ra = inverse_along_first ? o.i1(a) : o.i2(a);
            const int rb = inverse_along_first ? o.i1(b) : o.i2(b);
            cplx s(0.0, 0.0);
            for (int line = 1; line <= m; ++line)
                s += tinv[static_cast<std::size_t>(line - 1)](ra, rb) *
                     std::exp(cplx(0.0, -2.0 * pi * (line - 1) * wrap(across, m) / m));
            out(a, b) = pm1(d1 + d2) * s / static_cast<double>(m);
        }
    return out;
}

TEST(PixelMap, GridLiRulesMatchInverseRuleConstruction) {
    std::mt19937 gen(21);
    for (const orders& o : {square_orders(1), diamond_orders(2)}) {
        const full_mat g = random_grid(8, gen);
        full_mat rows(o.n), cols(o.n);
        grid_li_rows(g, 8, o.set(), rows);
        grid_li_cols(g, 8, o.set(), cols);
        EXPECT_LT(max_abs_diff(rows, li_expected(g, o, true)), 1e-5);
        EXPECT_LT(max_abs_diff(cols, li_expected(g, o, false)), 1e-5);
    }
}

// A grating that varies along the first direction only: each line along the
// second is uniform, so the inverse rule along the second gives [[eps]].
TEST(PixelMap, StripeGratingInverseRuleAcrossIsLaurent) {
    const int m = 16;
    full_mat grid(m);
    for (int j2 = 1; j2 <= m; ++j2)
        for (int j1 = 1; j1 <= m; ++j1) grid(j1, j2) = (j1 >= 3 && j1 <= 9) ? cplx(9.0, 1.0) : cplx(1.0, 0.0);
    const orders o = square_orders(2);
    full_mat conv(o.n);
    eps_fourier_fft(grid, m, o.set(), conv);
    grating_eps f = run_layer(true, 0.0, grid, o);
    EXPECT_LT(max_abs_diff(f.eps_li_1, conv), 1e-5);
    EXPECT_LT(max_abs_diff(f.eps_conv, inverse(conv)), 1e-5);
    // Along the grating the inverse rule differs from Laurent's.
    EXPECT_GT(max_abs_diff(f.eps_li_2, conv), 0.1);
}

TEST(PixelMap, CyclicShiftMultipliesByPhase) {
    std::mt19937 gen(4);
    const int m = 8;
    const full_mat g = random_grid(m, gen);
    full_mat shifted(m);
    for (int j2 = 1; j2 <= m; ++j2)
        for (int j1 = 1; j1 <= m; ++j1) shifted(j1 == m ? 1 : j1 + 1, j2) = g(j1, j2);
    const orders o = square_orders(1);
    grating_eps a = run_layer(false, 0.0, g, o), b = run_layer(false, 0.0, shifted, o);
    double worst = 0.0, worst_inv = 0.0;
    for (int r = 1; r <= o.n; ++r)
        for (int c = 1; c <= o.n; ++c) {
            const cplx ph = std::exp(cplx(0.0, -2.0 * pi * (o.i1(r) - o.i1(c)) / m));
            worst = std::max(worst, std::abs(b.eps_li_1(r, c) - a.eps_li_1(r, c) * ph));
            worst_inv = std::max(worst_inv, std::abs(b.eps_conv(r, c) - a.eps_conv(r, c) * ph));
        }
    EXPECT_LT(worst, 1e-6);
    EXPECT_LT(worst_inv, 1e-6);
}

// One order: arithmetic and harmonic means in the two directions.
TEST(PixelMap, SingleOrderMeans) {
    std::mt19937 gen(8);
    const int m = 4;
    const full_mat g = random_grid(m, gen);
    cplx mean(0.0, 0.0), inv_mean(0.0, 0.0), li1(0.0, 0.0), li2(0.0, 0.0);
    for (int j2 = 1; j2 <= m; ++j2)
        for (int j1 = 1; j1 <= m; ++j1) {
            mean += g(j1, j2) / 16.0;
            inv_mean += 1.0 / g(j1, j2) / 16.0;
        }
    for (int line = 1; line <= m; ++line) {
        cplx h1(0.0, 0.0), h2(0.0, 0.0);
        for (int k = 1; k <= m; ++k) {
            h1 += 1.0 / g(line, k) / 4.0;  // along the second direction
            h2 += 1.0 / g(k, line) / 4.0;  // along the first direction
        }
        li1 += 1.0 / h1 / 4.0;
        li2 += 1.0 / h2 / 4.0;
    }
    const orders o = square_orders(0);
    grating_eps f = run_layer(true, 5.0, g, o);
    EXPECT_LT(std::abs(f.eps_conv(1, 1) - 1.0 / mean), 1e-7);
    EXPECT_LT(std::abs(f.eps_inv_rule(1, 1) - 1.0 / inv_mean), 1e-7);
    EXPECT_LT(std::abs(f.eps_li_1(1, 1) - li1), 1e-7);
    EXPECT_LT(std::abs(f.eps_li_2(1, 1) - li2), 1e-7);
}

TEST(PixelMap, SmallGridWrapsDifferencesInsideIt) {
    // M = 2 below nmax1d = 5: differences alias onto the two samples.
    full_mat g(2);
    g(1, 1) = 1.0;
    g(2, 1) = 3.0;
    g(1, 2) = 5.0;
    g(2, 2) = 7.0;
    const orders o = square_orders(2);
    full_mat out(o.n);
    eps_fourier_fft(g, 2, o.set(), out);
    for (int r = 1; r <= o.n; ++r)
        for (int c = 1; c <= o.n; ++c) {
            const int d1 = o.i1(r) - o.i1(c), d2 = o.i2(r) - o.i2(c);
            cplx want(0.0, 0.0);
            for (int j2 = 0; j2 < 2; ++j2)
                for (int j1 = 0; j1 < 2; ++j1) want += g(j1 + 1, j2 + 1) * pm1(j1 * d1 + j2 * d2);
            EXPECT_LT(std::abs(out(r, c) - pm1(d1 + d2) * want / 4.0), 1e-12);
        }
    grating_eps f = run_layer(true, 3.0, g, o);
    EXPECT_EQ(f.eps_conv.order(), o.n);
}

TEST(PixelMap, SeparableAndMixedInverses) {
    const orders o = square_orders(1);
    const cplx n1(1.0, 0.0), n2(2.0, 0.1);
    array1<cplx> n(2);
    n(1) = n1;
    n(2) = n2;
    // cy: only index 0; cz: a lamellar series. Then c(0, k) = cz(k) (e2 - e1)
    // plus e1 at (0, 0), and nothing for d1 != 0.
    const int p = 2, q = 2;
    array1<cplx> cy(2 * p + 1, cplx(0.0, 0.0)), cz(2 * q + 1);
    cy(p + 1) = 1.0;
    for (int k = -q; k <= q; ++k) cz(k + q + 1) = cplx(0.1 * k, 0.3 - 0.05 * k * k);
    full_mat out(o.n);
    eps_matrix_separable(n, cy, cz, o.set(), out, p, q);
    full_mat want(o.n);
    for (int r = 1; r <= o.n; ++r)
        for (int c = 1; c <= o.n; ++c) {
            const int d1 = o.i1(r) - o.i1(c), d2 = o.i2(r) - o.i2(c);
            if (d1 == 0) want(r, c) = cz(d2 + q + 1) * (n2 * n2 - n1 * n1) + (d2 == 0 ? n1 * n1 : 0.0);
        }
    EXPECT_LT(max_abs_diff(out, inverse(want)), 1e-12);

    std::mt19937 gen(2);
    const full_mat a = random_grid(4, gen), b = random_grid(4, gen);
    full_mat r(4), sum(4);
    mat_mix_inv(4, 0.5, -2.0, a, b, r);
    for (int j = 1; j <= 4; ++j)
        for (int i = 1; i <= 4; ++i) sum(i, j) = 0.25 * a(i, j) + 4.0 * b(i, j);
    EXPECT_LT(max_abs_diff(r, inverse(sum)), 1e-12);
}

}  // namespace
