// Closed-form Fourier coefficients of a layer of axis-parallel rectangular
// patches (used when Li's rules are off), and the layout rules of every patch
// layer: bounds inside the cell, the overlap and area checks.
#include "structure/patch_fourier.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "linalg/constants.hpp"
#include "platform/platform.hpp"
#include "textio/fixed_writer.hpp"

namespace rcwa::structure {

namespace {

using linalg::two_pi;

// Integral of exp(-i 2 pi k x) over [lo, hi]: the kernel of the edge sweep and
// of the pixel-map FFT, so that every layer kind puts a patch where it is.
cplx g_coef(int k, double lo, double hi) { return edge_integral(two_pi * k, lo, hi); }

// Open rectangles of two patches intersect along one direction.
bool overlaps_1d(double lo, double hi, double lo_q, double hi_q) {
    return (hi_q >= hi && hi > lo_q) || (hi >= hi_q && hi_q > lo);
}

}  // namespace

bool patch_bound_in_cell(double& bound) {
    // A bound computed in single precision is off by a few units in its last
    // place, each 2^-23 (1.2e-7) of the period near the upper edge; a millionth
    // of the period allows eight of them and is still far below any length
    // the orders of a run resolve.
    constexpr double tolerance = 1e-6;
    if (bound < 0.0) {
        if (bound < -tolerance) return false;
        bound = 0.0;
    } else if (bound > 1.0) {
        if (bound > 1.0 + tolerance) return false;
        bound = 1.0;
    }
    return true;
}

void patch_layout_check(int ieps, const rect_table& rect) {
    static const textio::format overlap_fmt("(\" overlap error:  \",I3,I3)");
    static const textio::format area_fmt(
        "(\"total area does not match: \",\"ai =\",G11.3,\"a0=\",G11.3)");
    constexpr double a0 = 1.0;

    double ai = 0.0;
    for (int p = 1; p <= ieps; ++p) {
        ai += rect.area(p);
        for (int q = p + 1; q <= ieps; ++q) {
            const bool first = overlaps_1d(rect(2, p), rect(4, p), rect(2, q), rect(4, q));
            const bool second = overlaps_1d(rect(1, p), rect(3, p), rect(1, q), rect(3, q));
            if (first && second)
                platform::console_line(textio::write_fixed(overlap_fmt, {p, q}));
        }
    }
    // An exact tiling misses a0 by rounding only: with u = 2^-53, each area is
    // off by 3u of itself at most (two widths and their product) and each
    // addition by u of the partial sum, (ieps + 2) u in all. Two ulps of 1.0
    // (4u) per patch leave room and stay far below any gap a layout means; a
    // few patches keep the former 1e-14. A NaN sum compares false and prints
    // nothing.
    const double tolerance = std::max(1e-14, 2.0 * ieps * std::numeric_limits<double>::epsilon());
    if (std::abs(ai - a0) > tolerance)
        platform::console_line(textio::write_fixed(area_fmt, {ai, a0}));
}

void patch_fourier(const order_set& orders, int ieps, const array1<cplx>& eps,
                   const rect_table& rect, full_mat& out) {
    // 1. Layout checks and the mean value.
    patch_layout_check(ieps, rect);
    cplx mean(0.0, 0.0);
    for (int p = 1; p <= ieps; ++p)
        mean += rect.area(p) * eps(p);

    // 2. Coefficient table over every index difference two orders can have:
    // T(c+m, c+n), m along the second direction, n along the first.
    const int kmax = 2 * orders.iomax();
    const int side = 2 * kmax + 1;
    const int c = kmax + 1;
    std::vector<cplx> t(static_cast<std::size_t>(side) * side, cplx(0.0, 0.0));
    auto tab = [&](int i, int j) -> cplx& {
        return t[static_cast<std::size_t>(j - 1) * side + static_cast<std::size_t>(i - 1)];
    };
    // G per patch and positive index, computed once: f1 along the second
    // direction (rect 1, 3), f2 along the first (rect 2, 4).
    std::vector<cplx> f1(static_cast<std::size_t>(kmax + 1) * (ieps > 0 ? ieps : 0));
    std::vector<cplx> f2(f1.size());
    auto at = [&](int k, int p) {
        return static_cast<std::size_t>(p - 1) * (kmax + 1) + static_cast<std::size_t>(k);
    };
    for (int p = 1; p <= ieps; ++p) {
        for (int k = 1; k <= kmax; ++k) {
            f1[at(k, p)] = g_coef(k, rect(1, p), rect(3, p));
            f2[at(k, p)] = g_coef(k, rect(2, p), rect(4, p));
        }
    }
    for (int m = 1; m <= kmax; ++m) {
        for (int n = 1; n <= kmax; ++n) {
            for (int p = 1; p <= ieps; ++p) {
                const cplx a1 = f1[at(m, p)];
                const cplx a2 = f2[at(n, p)];
                tab(c + m, c + n) += eps(p) * a1 * a2;
                tab(c + m, c - n) += eps(p) * a1 * std::conj(a2);
                tab(c - m, c + n) += eps(p) * std::conj(a1) * a2;
                tab(c - m, c - n) += eps(p) * std::conj(a1) * std::conj(a2);
            }
        }
    }
    for (int m = 1; m <= kmax; ++m) {
        for (int p = 1; p <= ieps; ++p) {
            const double w2 = rect(4, p) - rect(2, p);
            tab(c + m, c) += eps(p) * f1[at(m, p)] * w2;
            tab(c - m, c) += eps(p) * std::conj(f1[at(m, p)]) * w2;
        }
    }
    for (int n = 1; n <= kmax; ++n) {
        for (int p = 1; p <= ieps; ++p) {
            const double w1 = rect(3, p) - rect(1, p);
            tab(c, c + n) += eps(p) * f2[at(n, p)] * w1;
            tab(c, c - n) += eps(p) * std::conj(f2[at(n, p)]) * w1;
        }
    }
    tab(c, c) = mean;

    // 3. Gather, with the sign of the order-index differences.
    const array1<int>& ord_i1 = orders.ord_i1;
    const array1<int>& ord_i2 = orders.ord_i2;
    for (int a = 1; a <= orders.norder; ++a) {
        for (int b = 1; b <= orders.norder; ++b) {
            const int d1 = ord_i1(a) - ord_i1(b);
            const int d2 = ord_i2(a) - ord_i2(b);
            const double sign = ((d1 - d2) % 2 == 0) ? 1.0 : -1.0;
            out(a, b) = sign * tab(c + d2, c + d1);
        }
    }
}

}  // namespace rcwa::structure
