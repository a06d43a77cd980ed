// Patch layers: the closed-form coefficients with their layout warnings, the
// edge sweep (Laurent's rule by stripes) and Li's inverse rule, against
// Fourier series and inverse-rule matrices built here from the layout.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "structure/patch_fourier.hpp"
#include "unit/structure_fourier_support.hpp"

namespace {

using namespace fourier_test;
using rcwa::structure::patch_edge_min;
using rcwa::structure::patch_flags_reset;
using rcwa::structure::patch_fourier;
using rcwa::structure::patch_fourier_stripes;
using rcwa::structure::patch_li;
using rcwa::structure::rect_table;

struct patch {
    double y0, y1, z0, z1;  // first direction (dy), second direction (dz)
    cplx eps;
};

struct layout {
    int ieps = 0;
    rect_table rect;
    array1<cplx> eps;
};

layout make_layout(const std::vector<patch>& ps) {
    layout l;
    l.ieps = static_cast<int>(ps.size());
    l.rect.resize(l.ieps);
    l.eps.resize(l.ieps);
    for (int p = 1; p <= l.ieps; ++p) {
        const patch& q = ps[static_cast<std::size_t>(p - 1)];
        l.rect(1, p) = q.z0;
        l.rect(2, p) = q.y0;
        l.rect(3, p) = q.z1;
        l.rect(4, p) = q.y1;
        l.eps(p) = q.eps;
    }
    return l;
}

// Two-dimensional Fourier coefficient of the layout for index (n1, n2) with
// the kernel exp(sgn i 2 pi (n1 y + n2 z)), origin moved to the cell middle.
cplx coefficient(const std::vector<patch>& ps, int n1, int n2, double sgn) {
    cplx s(0.0, 0.0);
    for (const patch& p : ps)
        s += p.eps * interval_integral(sgn * 2.0 * pi * n1, p.y0, p.y1) *
             interval_integral(sgn * 2.0 * pi * n2, p.z0, p.z1);
    return pm1(n1 - n2) * s;
}

std::string capture_patch_fourier(const std::vector<patch>& ps, int iomax = 0) {
    layout l = make_layout(ps);
    orders o = square_orders(iomax);
    full_mat out(o.n);
    testing::internal::CaptureStdout();
    patch_fourier(o.set(), l.ieps, l.eps, l.rect, out);
    return testing::internal::GetCapturedStdout();
}

// An asymmetric layout that tiles the cell: a rectangle with four tiles
// around it.
std::vector<patch> five_tiles() {
    const double y0 = 0.15, y1 = 0.55, z0 = 0.3, z1 = 0.9;
    return {{0.0, y0, 0.0, 1.0, cplx(1.0, 0.0)},
            {y1, 1.0, 0.0, 1.0, cplx(1.5, 0.05)},
            {y0, y1, 0.0, z0, cplx(2.0, 0.0)},
            {y0, y1, z1, 1.0, cplx(1.2, 0.3)},
            {y0, y1, z0, z1, cplx(4.0, 0.5)}};
}

// Largest deviations of the closed form and of the sweep from want(d1, d2)
// over every entry of the matrix on the order set o.
template <class F>
std::pair<double, double> laurent_deviation(const layout& l, const orders& o, F want) {
    full_mat closed(o.n), stripes(o.n);
    patch_fourier(o.set(), l.ieps, l.eps, l.rect, closed);
    bool err = true;
    patch_fourier_stripes(o.set(), l.ieps, l.eps, l.rect, stripes, err);
    EXPECT_FALSE(err);
    double worst_closed = 0.0, worst_stripes = 0.0;
    for (int r = 1; r <= o.n; ++r)
        for (int c = 1; c <= o.n; ++c) {
            const cplx w = want(o.i1(r) - o.i1(c), o.i2(r) - o.i2(c));
            worst_closed = std::max(worst_closed, std::abs(closed(r, c) - w));
            worst_stripes = std::max(worst_stripes, std::abs(stripes(r, c) - w));
        }
    return {worst_closed, worst_stripes};
}

TEST(PatchFourier, SingleOrderIsMeanValue) {
    std::vector<patch> ps = {{0.0, 0.2, 0.0, 1.0, cplx(2.0, 0.1)},
                             {0.2, 0.7, 0.0, 1.0, cplx(3.0, 0.0)},
                             {0.7, 1.0, 0.0, 1.0, cplx(1.0, -0.5)}};
    layout l = make_layout(ps);
    orders o = square_orders(0);
    full_mat out(1);
    testing::internal::CaptureStdout();
    patch_fourier(o.set(), l.ieps, l.eps, l.rect, out);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const cplx mean = 0.2 * cplx(2.0, 0.1) + 0.5 * cplx(3.0, 0.0) + 0.3 * cplx(1.0, -0.5);
    EXPECT_LT(std::abs(out(1, 1) - mean), 1e-15);
}

TEST(PatchFourier, FullCellGivesMultipleOfIdentityOnEveryPath) {
    const cplx e(2.25, 0.4);
    layout l = make_layout({{0.0, 1.0, 0.0, 1.0, e}});
    for (const orders& o : {square_orders(2), diamond_orders(2)}) {
        full_mat want(o.n);
        for (int i = 1; i <= o.n; ++i) want(i, i) = e;
        full_mat out(o.n);
        patch_fourier(o.set(), l.ieps, l.eps, l.rect, out);
        EXPECT_LT(max_abs_diff(out, want), 1e-14);
        bool err = true;
        patch_fourier_stripes(o.set(), l.ieps, l.eps, l.rect, out, err);
        EXPECT_FALSE(err);
        EXPECT_LT(max_abs_diff(out, want), 1e-14);
        for (bool dir : {true, false}) {
            patch_li(dir, o.set(), l.ieps, l.eps, l.rect, out, err);
            EXPECT_FALSE(err);
            EXPECT_LT(max_abs_diff(out, want), 1e-14);
        }
    }
}

// A lamellar grating: closed form eps_n = (e1 - e2) f sinc(pi n f) e^{..}.
TEST(PatchFourier, LamellarGratingMatchesSincSeries) {
    const cplx e1(4.0, 0.2), e2(1.0, 0.0);
    const double a = 0.1, b = 0.45;
    auto expected = [&](int d1, int d2, double sgn) {
        if (d2 != 0) return cplx(0.0, 0.0);
        if (d1 == 0) return (b - a) * e1 + (1.0 - (b - a)) * e2;
        const double k = sgn * 2.0 * pi * d1;
        const double w = b - a;
        const cplx series = (e1 - e2) * w * (std::sin(0.5 * k * w) / (0.5 * k * w)) *
                            cplx(std::cos(0.5 * k * (a + b)), std::sin(0.5 * k * (a + b)));
        return pm1(d1) * series;
    };
    std::vector<patch> ps = {{0.0, a, 0.0, 1.0, e2}, {a, b, 0.0, 1.0, e1}, {b, 1.0, 0.0, 1.0, e2}};
    layout l = make_layout(ps);
    // Both paths integrate exp(-i 2 pi n x), on every truncation.
    for (const orders& o : {square_orders(3), diamond_orders(3)}) {
        const auto [closed, stripes] =
            laurent_deviation(l, o, [&](int d1, int d2) { return expected(d1, d2, -1.0); });
        EXPECT_LT(closed, 1e-14) << o.n;
        EXPECT_LT(stripes, 1e-14) << o.n;
    }
}

TEST(PatchFourier, TiledLayoutMatchesDoubleIntegrals) {
    const std::vector<patch> ps = five_tiles();
    layout l = make_layout(ps);
    for (const orders& o : {square_orders(2), diamond_orders(2)}) {
        const auto [closed, stripes] =
            laurent_deviation(l, o, [&](int d1, int d2) { return coefficient(ps, d1, d2, -1.0); });
        EXPECT_LT(closed, 1e-14) << o.n;
        EXPECT_LT(stripes, 1e-14) << o.n;
    }
}

TEST(PatchFourier, HermitianForRealValuesOnly) {
    std::vector<patch> ps = five_tiles();
    for (auto& p : ps) p.eps = cplx(p.eps.real(), 0.0);
    orders o = square_orders(2);
    full_mat out(o.n);
    layout l = make_layout(ps);
    patch_fourier(o.set(), l.ieps, l.eps, l.rect, out);
    double worst = 0.0;
    for (int r = 1; r <= o.n; ++r)
        for (int c = 1; c <= o.n; ++c) worst = std::max(worst, std::abs(out(c, r) - std::conj(out(r, c))));
    EXPECT_LT(worst, 1e-15);
    layout lc = make_layout(five_tiles());
    patch_fourier(o.set(), lc.ieps, lc.eps, lc.rect, out);
    EXPECT_GT(std::abs(out(1, 2) - std::conj(out(2, 1))), 1e-3);
    for (int r = 1; r <= o.n; ++r) EXPECT_EQ(out(r, r), out(1, 1));
}

// An n by m tiling with bounds k/n and k/m as a user writes them; the last
// strip along the first direction ends gap short of the cell.
std::vector<patch> tiling(int n, int m, double gap = 0.0) {
    std::vector<patch> ps;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j)
            ps.push_back({i / double(n), i + 1 == n ? 1.0 - gap : (i + 1) / double(n), j / double(m),
                          (j + 1) / double(m), 1.0});
    return ps;
}

TEST(PatchFourier, LayoutWarnings) {
    // Sharing an edge, or overlapping along one direction only: nothing.
    EXPECT_EQ(capture_patch_fourier({{0.0, 0.5, 0.0, 1.0, 1.0}, {0.5, 1.0, 0.0, 1.0, 2.0}}), "");
    EXPECT_EQ(capture_patch_fourier({{0.0, 0.5, 0.0, 0.5, 1.0},
                                     {0.25, 0.75, 0.5, 1.0, 1.0},
                                     {0.0, 0.25, 0.5, 1.0, 1.0},
                                     {0.75, 1.0, 0.5, 1.0, 1.0},
                                     {0.5, 1.0, 0.0, 0.5, 1.0}}),
              "");
    // Overlap by a positive amount, then the area record.
    EXPECT_EQ(capture_patch_fourier({{0.0, 0.5, 0.0, 1.0, 1.0}, {0.45, 1.0, 0.0, 1.0, 2.0}}),
              " overlap error:    1  2\n"
              "total area does not match: ai =   1.05    a0=   1.00    \n");
    // Three mutually overlapping patches: pairs in order.
    EXPECT_EQ(capture_patch_fourier({{0.0, 0.6, 0.0, 1.0, 1.0},
                                     {0.3, 0.8, 0.0, 1.0, 1.0},
                                     {0.5, 1.0, 0.2, 0.7, 1.0}}),
              " overlap error:    1  2\n"
              " overlap error:    1  3\n"
              " overlap error:    2  3\n"
              "total area does not match: ai =   1.35    a0=   1.00    \n");
    // A gap of 0.01 of the cell.
    EXPECT_EQ(capture_patch_fourier({{0.0, 0.5, 0.0, 1.0, 1.0}, {0.51, 1.0, 0.0, 1.0, 1.0}}),
              "total area does not match: ai =  0.990    a0=   1.00    \n");
    // Exact tilings of many patches add up to the cell within rounding; a gap
    // of 1e-9 of the cell among 992 patches does not.
    EXPECT_EQ(capture_patch_fourier(tiling(22, 22)), "");
    EXPECT_EQ(capture_patch_fourier(tiling(31, 32)), "");
    EXPECT_EQ(capture_patch_fourier(tiling(31, 32, 1e-9)),
              "total area does not match: ai =   1.00    a0=   1.00    \n");
}

TEST(PatchFourier, PatchNumberAbove999FillsItsField) {
    std::vector<patch> ps;
    for (int p = 1; p <= 999; ++p) ps.push_back({(p - 1) / 999.0, p / 999.0, 0.0, 1.0, 1.0});
    ps.push_back(ps.front());
    const std::string out = capture_patch_fourier(ps);
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), " overlap error:    1***\n");
}

// Inverse rule of a grating that varies along one direction only: the inverse
// of the Toeplitz matrix of 1/eps along it, built here from the sinc series.
full_mat inverse_rule_1d(const std::vector<patch>& ps, int iomax, bool along_first) {
    const int l = 2 * iomax + 1;
    full_mat t(l);
    for (int j = 1; j <= l; ++j)
        for (int k = 1; k <= l; ++k) {
            cplx s(0.0, 0.0);
            for (const patch& p : ps) {
                const double lo = along_first ? p.y0 : p.z0, hi = along_first ? p.y1 : p.z1;
                s += (1.0 / p.eps) * interval_integral(-2.0 * pi * (j - k), lo, hi);
            }
            t(j, k) = s;
        }
    return inverse(t);
}

TEST(PatchLi, StripeGratingFollowsTheInverseRule) {
    const int iomax = 3;
    const std::vector<patch> along_y = {{0.0, 0.2, 0.0, 1.0, cplx(1.0, 0.0)},
                                        {0.2, 0.65, 0.0, 1.0, cplx(12.0, 1.0)},
                                        {0.65, 1.0, 0.0, 1.0, cplx(1.0, 0.0)}};
    std::vector<patch> along_z;
    for (const patch& p : along_y) along_z.push_back({0.0, 1.0, p.y0, p.y1, p.eps});

    for (int variant = 0; variant < 2; ++variant) {
        const bool first = variant == 0;
        const std::vector<patch>& ps = first ? along_y : along_z;
        layout l = make_layout(ps);
        const full_mat inv = inverse_rule_1d(ps, iomax, first);
        for (const orders& o : {square_orders(iomax), diamond_orders(iomax)}) {
            full_mat li_inverse(o.n), li_laurent(o.n);
            bool err = true;
            // Inverse rule along the grating's direction, Laurent across it.
            patch_li(!first, o.set(), l.ieps, l.eps, l.rect, li_inverse, err);
            EXPECT_FALSE(err);
            patch_li(first, o.set(), l.ieps, l.eps, l.rect, li_laurent, err);
            EXPECT_FALSE(err);
            double worst_inv = 0.0, worst_lau = 0.0;
            for (int r = 1; r <= o.n; ++r)
                for (int c = 1; c <= o.n; ++c) {
                    const int d1 = o.i1(r) - o.i1(c), d2 = o.i2(r) - o.i2(c);
                    const int across = first ? d2 : d1;
                    cplx want_inv(0.0, 0.0), want_lau(0.0, 0.0);
                    if (across == 0) {
                        want_inv = pm1(d1 - d2) * (first ? inv(o.i1(r), o.i1(c)) : inv(o.i2(r), o.i2(c)));
                        want_lau = coefficient(ps, d1, d2, -1.0);
                    }
                    worst_inv = std::max(worst_inv, std::abs(li_inverse(r, c) - want_inv));
                    worst_lau = std::max(worst_lau, std::abs(li_laurent(r, c) - want_lau));
                }
            EXPECT_LT(worst_inv, 1e-12) << variant << " " << o.n;
            EXPECT_LT(worst_lau, 1e-12) << variant << " " << o.n;
        }
    }
}

TEST(PatchSweep, EdgeSearchVisitsPositionsInOrder) {
    layout l = make_layout({{0.0, 0.5, 0.0, 1.0, 1.0}, {0.5, 1.0, 0.0, 1.0, 2.0}});
    rcwa::structure::edge_flags flags;
    flags.resize(2);
    patch_flags_reset(flags, 2);
    array1<int> list(4);
    int count = -1;
    double pos = -1.0;
    patch_edge_min(2, l.rect, 2, flags, list, count, pos);
    EXPECT_EQ(pos, 0.0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(list(1), 1);
    flags.set(1, 1, false);
    patch_edge_min(2, l.rect, 2, flags, list, count, pos);
    EXPECT_EQ(pos, 0.5);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(list(1), -1);
    EXPECT_EQ(list(2), 2);
    flags.set(2, 1, false);
    flags.set(1, 2, false);
    patch_edge_min(2, l.rect, 2, flags, list, count, pos);
    EXPECT_EQ(pos, 1.0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(list(1), -2);
    flags.set(2, 2, false);
    patch_edge_min(2, l.rect, 2, flags, list, count, pos);
    EXPECT_EQ(pos, 1.0);
    EXPECT_EQ(count, 0);
}

TEST(PatchSweep, EmptyLayoutRunawayAndLateStart) {
    orders o = square_orders(1);
    const cplx sentinel(7.0, -7.0);
    full_mat out(o.n);
    for (int j = 1; j <= o.n; ++j)
        for (int i = 1; i <= o.n; ++i) out(i, j) = sentinel;
    bool err = true;
    layout none;
    patch_fourier_stripes(o.set(), 0, none.eps, none.rect, out, err);
    EXPECT_FALSE(err);
    EXPECT_EQ(max_abs_diff(out, full_mat(o.n)), 0.0);

    // An upper edge beyond the cell is never met: the counter runs out and
    // the output keeps its contents.
    for (int j = 1; j <= o.n; ++j)
        for (int i = 1; i <= o.n; ++i) out(i, j) = sentinel;
    // The sweep of patch_li(true) and of the stripes runs along the first
    // direction, that of patch_li(false) along the second.
    layout beyond_y = make_layout({{0.0, 1.2, 0.0, 1.0, 2.0}});
    layout beyond_z = make_layout({{0.0, 1.0, 0.0, 1.2, 2.0}});
    patch_li(true, o.set(), beyond_y.ieps, beyond_y.eps, beyond_y.rect, out, err);
    EXPECT_TRUE(err);
    err = false;
    patch_li(false, o.set(), beyond_z.ieps, beyond_z.eps, beyond_z.rect, out, err);
    EXPECT_TRUE(err);
    err = false;
    patch_fourier_stripes(o.set(), beyond_y.ieps, beyond_y.eps, beyond_y.rect, out, err);
    EXPECT_TRUE(err);
    for (int j = 1; j <= o.n; ++j)
        for (int i = 1; i <= o.n; ++i) EXPECT_EQ(out(i, j), sentinel);
    // Along the other direction the same layouts complete.
    patch_li(false, o.set(), beyond_y.ieps, beyond_y.eps, beyond_y.rect, out, err);
    EXPECT_FALSE(err);

    // A layout whose first edge lies above 0: the part before it is left out.
    const cplx e(3.0, 0.5);
    layout late = make_layout({{0.25, 1.0, 0.0, 1.0, e}});
    patch_fourier_stripes(o.set(), late.ieps, late.eps, late.rect, out, err);
    EXPECT_FALSE(err);
    for (int r = 1; r <= o.n; ++r) EXPECT_LT(std::abs(out(r, r) - 0.75 * e), 1e-15);
}

TEST(PatchSweep, GapsAndZeroWidthPatchesStayInsideTheArrays) {
    // Layouts outside the tiling assumption need more stripes or edges at
    // one position than there are patches; the sweep must still complete.
    orders o = square_orders(1);
    full_mat out(o.n);
    bool err = true;
    layout gaps = make_layout({{0.0, 0.1, 0.0, 1.0, 2.0},
                               {0.3, 0.4, 0.0, 1.0, 2.0},
                               {0.6, 0.7, 0.0, 1.0, 2.0},
                               {0.5, 0.5, 0.0, 1.0, 2.0},
                               {0.5, 0.5, 0.0, 1.0, 2.0}});
    patch_fourier_stripes(o.set(), gaps.ieps, gaps.eps, gaps.rect, out, err);
    EXPECT_FALSE(err);
    EXPECT_TRUE(std::isfinite(out(1, 1).real()));
}

}  // namespace
