// Order set, wave-vector tables, normal wave vectors and propagating masks.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <vector>

#include "structure/orders.hpp"

using namespace rcwa::structure;
using rcwa::linalg::array1;
using rcwa::linalg::cplx;

namespace {

order_set build(int iomax, double shape, double angle = 0.0, double dy = 0.5, double dz = 0.8,
                double kiy = 1.2, double kiz = -0.3) {
    order_set o;
    o.nmax1d = 2 * iomax + 1;
    truncate_orders(o.nmax1d, o.nmax1d, shape, o.row_range, o.norder);
    order_tables(o, angle, dy, dz, kiy, kiz);
    return o;
}

// A hand-made list: order i in slot i with the given squared wave vector.
order_set slotted(std::initializer_list<double> kt2) {
    order_set o;
    o.norder = static_cast<int>(kt2.size());
    o.kt2.resize(o.norder);
    o.ord_slot.resize(o.norder);
    int i = 0;
    for (double v : kt2) {
        ++i;
        o.kt2(i) = v;
        o.ord_slot(i) = i;
    }
    return o;
}

// Retention test written out: (|m-c|/r)^p + (|n-c|/r)^p <= 1 with p = 3 - shape,
// and the tips (centre of the first and last rows, whole centre row).
bool kept(int m, int n, int iomax, double shape) {
    const int c = iomax + 1;
    if (n == 1 || n == 2 * iomax + 1) return m == c;
    if (n == c) return true;
    const double p = 3.0 - shape;
    const double r = iomax;
    return std::pow(std::abs(m - c) / r, p) + std::pow(std::abs(n - c) / r, p) <= 1.0 + 1e-12;
}

// Principal square root through the polar form, apart from std::sqrt.
cplx polar_sqrt(cplx w) {
    const double r = std::sqrt(std::hypot(w.real(), w.imag()));
    const double th = std::atan2(w.imag(), w.real()) / 2.0;
    return cplx(r * std::cos(th), r * std::sin(th));
}

}  // namespace

TEST(Truncation, SingleOrderWhateverTheShape) {
    for (double shape : {0.0, 1.0, 2.0, 0.5}) {
        order_set o = build(0, shape);
        EXPECT_EQ(o.norder, 1) << shape;
        EXPECT_EQ(o.row_range(1, 1), 1);
        EXPECT_EQ(o.row_range(2, 1), 1);
        EXPECT_EQ(o.ord_i1(1), 1);
        EXPECT_EQ(o.ord_i2(1), 1);
    }
}

TEST(Truncation, IomaxTwoForTheThreeShapes) {
    order_set sq = build(2, 0.0);
    EXPECT_EQ(sq.norder, 25);
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(sq.row_range(1, n), 1);
        EXPECT_EQ(sq.row_range(2, n), 5);
    }
    // Ellipse and diamond agree at iomax 2; the diamond's (1/2 + 1/2) is exactly 1, kept.
    for (double shape : {1.0, 2.0}) {
        order_set o = build(2, shape);
        EXPECT_EQ(o.norder, 13) << shape;
        const int lo[5] = {3, 2, 1, 2, 3}, hi[5] = {3, 4, 5, 4, 3};
        for (int n = 1; n <= 5; ++n) {
            EXPECT_EQ(o.row_range(1, n), lo[n - 1]) << shape << " row " << n;
            EXPECT_EQ(o.row_range(2, n), hi[n - 1]) << shape << " row " << n;
        }
        EXPECT_EQ(o.ord_i1(7), 3);
        EXPECT_EQ(o.ord_i2(7), 3);
    }
}

TEST(Truncation, AgreesWithTheRetentionRule) {
    for (int iomax : {3, 4, 6}) {
        for (double shape : {1.0, 2.0, 0.5, 1.7, 2.9}) {
            order_set o = build(iomax, shape);
            const int n1 = 2 * iomax + 1;
            int count = 0, pos = 0;
            for (int n = 1; n <= n1; ++n)
                for (int m = 1; m <= n1; ++m)
                    if (kept(m, n, iomax, shape)) {
                        ++count;
                        ++pos;
                        ASSERT_LE(pos, o.norder);
                        EXPECT_EQ(o.ord_i1(pos), m) << iomax << " " << shape;
                        EXPECT_EQ(o.ord_i2(pos), n) << iomax << " " << shape;
                    }
            EXPECT_EQ(o.norder, count) << iomax << " " << shape;
            // The zeroth order sits in the middle of the list.
            EXPECT_EQ(o.ord_i1((o.norder + 1) / 2), iomax + 1);
            EXPECT_EQ(o.ord_i2((o.norder + 1) / 2), iomax + 1);
        }
    }
    // Hand counts: diamond and ellipse at iomax 3.
    EXPECT_EQ(build(3, 2.0).norder, 25);
    EXPECT_EQ(build(3, 1.0).norder, 29);
}

TEST(Truncation, TipsAlwaysKept) {
    // p = 0.1 keeps hardly anything but the tips and the centre column.
    order_set o = build(4, 2.9);
    EXPECT_EQ(o.row_range(1, 1), 5);
    EXPECT_EQ(o.row_range(2, 1), 5);
    EXPECT_EQ(o.row_range(1, 9), 5);
    EXPECT_EQ(o.row_range(2, 9), 5);
    EXPECT_EQ(o.row_range(1, 5), 1);
    EXPECT_EQ(o.row_range(2, 5), 9);
    EXPECT_EQ(o.norder, 17);
}

TEST(Truncation, EvenSizesKeepTwoCentresAndTwoWholeRows) {
    order_set o;
    truncate_orders(4, 4, 1.0, o.row_range, o.norder);
    EXPECT_EQ(o.row_range(1, 1), 2);
    EXPECT_EQ(o.row_range(2, 1), 3);
    EXPECT_EQ(o.row_range(1, 4), 2);
    EXPECT_EQ(o.row_range(2, 4), 3);
    for (int n : {2, 3}) {
        EXPECT_EQ(o.row_range(1, n), 1);
        EXPECT_EQ(o.row_range(2, n), 4);
    }
    EXPECT_EQ(o.norder, 12);
}

TEST(Truncation, MeaninglessShapesNeverGiveNegativeRows) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double shape : {3.0, 4.0, 10.0, nan}) {
        order_set o;
        truncate_orders(7, 7, shape, o.row_range, o.norder);
        int sum = 0;
        for (int n = 1; n <= 7; ++n) {
            const int cnt = o.row_range(2, n) - o.row_range(1, n) + 1;
            EXPECT_GE(cnt, 0) << shape << " row " << n;
            sum += cnt;
        }
        EXPECT_EQ(sum, o.norder);
        // The set stays point-symmetric: the zeroth order in the middle.
        order_set t = build(3, shape);
        EXPECT_EQ(t.ord_i1((t.norder + 1) / 2), 4) << shape;
        EXPECT_EQ(t.ord_i2((t.norder + 1) / 2), 4) << shape;
    }
    order_set o;
    truncate_orders(7, 7, 3.0, o.row_range, o.norder);
    EXPECT_EQ(o.norder, 9);  // the two tips and the centre row
    truncate_orders(7, 7, nan, o.row_range, o.norder);
    EXPECT_EQ(o.norder, 2 + 5 * 7);
}

TEST(OrderTables, WaveVectorsAndLists) {
    const double two_pi = 2.0 * M_PI;
    order_set o = build(1, 0.0);
    for (int m = 1; m <= 3; ++m) {
        EXPECT_NEAR(o.ky_1d(m), (m - 2) * two_pi / 0.5 + 1.2, 1e-13);
        EXPECT_NEAR(o.kz_1d(m), (m - 2) * two_pi / 0.8 - 0.3, 1e-13);
    }
    for (int e = 1; e <= 9; ++e) {
        EXPECT_EQ(o.ord_slot(e), e);
        EXPECT_EQ(o.ord_of(e), e);
        EXPECT_EQ(o.ord_i1(e), (e - 1) % 3 + 1);  // first index inner
        EXPECT_EQ(o.ord_i2(e), (e - 1) / 3 + 1);  // second index outer
        const double ky = o.ky_1d(o.ord_i1(e)), kz = o.kz_1d(o.ord_i2(e));
        EXPECT_NEAR(o.kt2(e), ky * ky + kz * kz, 1e-12 * (1 + ky * ky + kz * kz));
    }
}

TEST(OrderTables, GridAngleAppliesToEveryOrder) {
    const double a = 30.0 * M_PI / 180.0;
    order_set o = build(1, 0.0, 30.0);
    for (int e = 1; e <= 9; ++e) {
        const double ky = o.ky_1d(o.ord_i1(e)), kz = o.kz_1d(o.ord_i2(e));
        // Squared length of the in-plane vector on the oblique lattice.
        const double ref = (ky * ky + kz * kz - 2 * ky * kz * std::sin(a)) / std::pow(std::cos(a), 2);
        EXPECT_NEAR(o.kt2(e), ref, 1e-12 * (1 + std::fabs(ref))) << e;
    }
    // The zeroth order too: not just ky^2 + kz^2.
    EXPECT_GT(std::fabs(o.kt2(5) - (1.2 * 1.2 + 0.3 * 0.3)), 0.1);
}

TEST(NormalWaveVector, BranchRules) {
    const double k = 10.0;
    // propagating, evanescent, grazing exactly, within the guard, zero, just
    // outside the guard
    const order_set o = slotted({4.0, 30.0, 10.0, 10.0 - 5e-9, 0.0, 10.0 + 2e-8});
    array1<cplx> kn(12, cplx(99.0, 99.0));
    kn_orders(o, true, cplx(k, 0.0), kn);
    EXPECT_DOUBLE_EQ(kn(1).real(), std::sqrt(6.0));
    EXPECT_EQ(kn(1).imag(), 0.0);
    EXPECT_EQ(kn(2).real(), 0.0);
    EXPECT_DOUBLE_EQ(kn(2).imag(), std::sqrt(20.0));
    EXPECT_DOUBLE_EQ(kn(3).real(), 1e-4);
    EXPECT_EQ(kn(3).imag(), 0.0);
    EXPECT_DOUBLE_EQ(kn(4).real(), 1e-4);
    EXPECT_DOUBLE_EQ(kn(5).real(), std::sqrt(10.0));
    EXPECT_NEAR(kn(6).imag(), std::sqrt(2e-8), 1e-12);
    // Only the first N entries are written.
    for (int i = 7; i <= 12; ++i) EXPECT_EQ(kn(i), cplx(99.0, 99.0));
    // The 2N modes: each order's value twice, TE then TM.
    array1<cplx> kn2(12);
    kn_orders_2n(o, cplx(k, 0.0), kn2);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(kn2(i), kn2(i + 6)) << i;
    EXPECT_DOUBLE_EQ(kn2(7).real(), std::sqrt(6.0));
    EXPECT_DOUBLE_EQ(kn2(8).imag(), std::sqrt(20.0));
}

TEST(NormalWaveVector, AbsorbingMediaAndFlip) {
    const order_set o = slotted({3.0});
    array1<cplx> kn(1);
    // A lossy metal: w in the second quadrant, the root in the first; no flip.
    const cplx metal(-10.0, 1.0);
    kn_orders(o, true, metal, kn);
    const cplx ref = polar_sqrt(metal - 3.0);
    EXPECT_NEAR(kn(1).real(), ref.real(), 1e-14);
    EXPECT_NEAR(kn(1).imag(), ref.imag(), 1e-14);
    EXPECT_GT(kn(1).imag(), 0.0);
    // w in the third quadrant: the principal root has Re + Im < 0 and is
    // negated when flip is set, kept otherwise.
    const cplx odd(1.0, -0.5);
    const cplx root = polar_sqrt(odd - 3.0);
    ASSERT_LT(root.real() + root.imag(), 0.0);
    kn_orders(o, true, odd, kn);
    EXPECT_NEAR(kn(1).real(), -root.real(), 1e-14);
    EXPECT_NEAR(kn(1).imag(), -root.imag(), 1e-14);
    kn_orders(o, false, odd, kn);
    EXPECT_NEAR(kn(1).real(), root.real(), 1e-14);
    EXPECT_NEAR(kn(1).imag(), root.imag(), 1e-14);
}

TEST(NormalWaveVector, GratingEquationOnARealOrderSet) {
    // Independent grating equation: k_m = k0 n sin(th) cos(ph) + 2 pi m / d.
    const double lam = 0.633, k0 = 2 * M_PI / lam, th = 0.3, ph = 0.4;
    const cplx n_sup(1.0, 0.0), n_sub(1.45, 0.02);
    const double kiy = k0 * n_sup.real() * std::sin(th) * std::cos(ph);
    const double kiz = k0 * n_sup.real() * std::sin(th) * std::sin(ph);
    order_set o = build(3, 1.0, 0.0, 0.9, 1.1, kiy, kiz);
    array1<cplx> kn(2 * o.norder);
    const cplx kk = k0 * k0 * n_sub * n_sub;
    kn_orders(o, true, kk, kn);
    for (int e = 1; e <= o.norder; ++e) {
        const double ky = kiy + 2 * M_PI * (o.ord_i1(e) - 4) / 0.9;
        const double kz = kiz + 2 * M_PI * (o.ord_i2(e) - 4) / 1.1;
        const cplx ref = polar_sqrt(kk - (ky * ky + kz * kz));
        EXPECT_NEAR(std::abs(kn(e) - ref), 0.0, 1e-11 * std::abs(ref)) << e;
    }
}

TEST(Propagating, EqualityCountsAndNaNDoesNot) {
    const order_set o = slotted({2.0, 2.0 + 1e-15, 0.5, std::numeric_limits<double>::quiet_NaN()});
    array1<int> mask(4, 7);
    int count = -1;
    mark_propagating(o, 2.0, count, mask);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(mask(1), 1);
    EXPECT_EQ(mask(2), 0);
    EXPECT_EQ(mask(3), 1);
    EXPECT_EQ(mask(4), 0);
    int first = -5;
    count_propagating(o, 2.0, count, first);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(first, 1);
    first = -5;
    count_propagating(o, 0.1, count, first);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(first, -5);  // not written when none propagates
}

TEST(UnusedOrderRoutines, RowObliqueSortAndInverse) {
    array1<double> k(3), ksq(3);
    array1<int> idx(3);
    order_k_row(-1, 3, 2.0, 0.5, 3.0, k, idx, ksq);
    EXPECT_DOUBLE_EQ(k(1), -1.5);
    EXPECT_DOUBLE_EQ(k(3), 2.5);
    EXPECT_DOUBLE_EQ(ksq(3), 6.25 + 9.0);
    EXPECT_EQ(idx(2), 2);

    const order_set o = slotted({1.0, 9.0});
    array1<double> v(2);
    v(1) = 0.7, v(2) = -0.2;
    array1<cplx> kn(2), kn0(2);
    kn_orders_oblique(o, true, cplx(4.0, 0.0), v, kn, 0.0);
    kn_orders(o, true, cplx(4.0, 0.0), kn0);
    EXPECT_EQ(kn(1), kn0(1));
    EXPECT_EQ(kn(2), kn0(2));
    kn_orders_oblique(o, true, cplx(4.0, 0.0), v, kn, 30.0);
    EXPECT_NEAR(kn(1).real(), 0.5 * 0.7 + std::cos(M_PI / 6) * std::sqrt(3.0), 1e-14);
    EXPECT_NEAR(kn(2).real(), 0.5 * -0.2, 1e-14);
    EXPECT_NEAR(kn(2).imag(), std::cos(M_PI / 6) * std::sqrt(5.0), 1e-14);

    const double vals[5] = {3, 1, 4, 1, 5};
    array1<double> in(5), out(5);
    array1<int> pos(5);
    for (int i = 1; i <= 5; ++i) in(i) = vals[i - 1];
    sort_ends_inward(5, in, out, pos);
    const double want[5] = {1, 3, 5, 4, 1};
    const int wpos[5] = {2, 1, 5, 3, 4};  // stable: the first 1 comes first
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(out(i), want[i - 1]) << i;
        EXPECT_EQ(pos(i), wpos[i - 1]) << i;
    }
    array1<double> in4(4), out4(4);
    array1<int> pos4(4);
    in4(1) = 4, in4(2) = std::numeric_limits<double>::quiet_NaN(), in4(3) = 2, in4(4) = 1;
    sort_ends_inward(4, in4, out4, pos4);
    // sorted 1, 2, 4, NaN -> ends 1 and 2, middle 4 and NaN
    EXPECT_EQ(out4(1), 1.0);
    EXPECT_EQ(out4(2), 4.0);
    EXPECT_TRUE(std::isnan(out4(3)));
    EXPECT_EQ(out4(4), 2.0);
    EXPECT_EQ(pos4(3), 2);

    array1<int> perm(4), inv(4);
    perm(1) = 3, perm(2) = 1, perm(3) = 4, perm(4) = 2;
    perm_invert(4, inv, perm);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(inv(perm(i)), i);
}
