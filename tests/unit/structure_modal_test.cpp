// Half-spaces and homogeneous layers.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "structure/modal.hpp"
#include "structure/orders.hpp"

using namespace rcwa::structure;
using rcwa::linalg::array1;
using rcwa::linalg::bd_mat;
using rcwa::linalg::cplx;
using rcwa::linalg::full_mat;

namespace {

order_set make_orders(int iomax, double angle, double kiy, double kiz, double dy = 0.7,
                      double dz = 0.9) {
    order_set o;
    o.nmax1d = 2 * iomax + 1;
    truncate_orders(o.nmax1d, o.nmax1d, 0.0, o.row_range, o.norder);
    order_tables(o, angle, dy, dz, kiy, kiz);
    return o;
}

void fill_garbage(full_mat& m, double seed) {
    for (int j = 1; j <= m.order(); ++j)
        for (int i = 1; i <= m.order(); ++i)
            m(i, j) = cplx(std::sin(seed + 1.3 * i + 0.7 * j), std::cos(seed * i - 0.4 * j));
}

bool in_block_diagonal(int i, int j, int n) {
    return (i - 1) % n == (j - 1) % n;
}

// Block (o, p) as [[a, b], [c, d]].
struct blk {
    cplx a, b, c, d;
};
blk block(const full_mat& m, int n, int o, int p) {
    return {m(o, p), m(o, n + p), m(n + o, p), m(n + o, n + p)};
}
blk mul(const blk& x, const blk& y) {
    return {x.a * y.a + x.b * y.c, x.a * y.b + x.b * y.d, x.c * y.a + x.d * y.c,
            x.c * y.b + x.d * y.d};
}
void expect_blk(const blk& got, const blk& want, double tol, const char* what) {
    EXPECT_NEAR(std::abs(got.a - want.a), 0.0, tol) << what;
    EXPECT_NEAR(std::abs(got.b - want.b), 0.0, tol) << what;
    EXPECT_NEAR(std::abs(got.c - want.c), 0.0, tol) << what;
    EXPECT_NEAR(std::abs(got.d - want.d), 0.0, tol) << what;
}

// Root with Re >= 0 and Im <= 0 of w, through the polar form.
cplx lower_root(cplx w) {
    const double r = std::sqrt(std::abs(w));
    const double th = std::atan2(w.imag(), w.real()) / 2.0;
    cplx g(r * std::cos(th), r * std::sin(th));
    if (g.real() < 0) g = -g;
    if (g.imag() > 0) g = std::conj(g);
    return g;
}

}  // namespace

TEST(HalfSpace, NormalIncidenceZerothOrderBlockIsS) {
    order_set o = make_orders(1, 0.0, 0.0, 0.0);
    const int n = o.norder, w0 = (n + 1) / 2;
    array1<cplx> kn(2 * n);
    const cplx kk(12.0, 0.5);
    for (int i = 1; i <= n; ++i) kn(i) = kn(n + i) = std::sqrt(kk - o.kt2(i));
    full_mat r(2 * n), t(2 * n);
    fill_garbage(r, 1.0);
    fill_garbage(t, 2.0);
    const double d = 0.37;
    halfspace_te_tm(o, 0.0, r, t, kn, kk, d);
    const cplx kap = kn(w0);
    expect_blk(block(r, n, w0, w0), {0.0, -kk / kap, kap, 0.0}, 1e-14, "r zeroth");
    const cplx e = std::exp(cplx(0, 1) * d * kap);
    expect_blk(block(t, n, w0, w0), {e, 0.0, 0.0, -e * kk / kap}, 1e-13, "t zeroth");
    // Nothing outside the order blocks.
    for (int j = 1; j <= 2 * n; ++j)
        for (int i = 1; i <= 2 * n; ++i)
            if (!in_block_diagonal(i, j, n)) {
                EXPECT_EQ(r(i, j), cplx(0.0, 0.0));
                EXPECT_EQ(t(i, j), cplx(0.0, 0.0));
            }
}

TEST(HalfSpace, RotatedBlocksAndZeroThickness) {
    order_set o = make_orders(1, 0.0, 1.1, -0.6);
    const int n = o.norder;
    array1<cplx> kn(2 * n);
    const cplx kk(30.0, 0.2);
    for (int i = 1; i <= n; ++i) kn(i) = kn(n + i) = std::sqrt(kk - o.kt2(i));
    full_mat r(2 * n), t(2 * n);
    halfspace_te_tm(o, 0.0, r, t, kn, kk, 0.0);
    for (int p = 1; p <= n; ++p) {
        const double ky = o.ky_1d(o.ord_i1(p)), kz = o.kz_1d(o.ord_i2(p)), kt = std::hypot(ky, kz);
        // In-plane rotation onto the order's direction and its transpose.
        const blk rot{ky / kt, kz / kt, -kz / kt, ky / kt};
        const blk rot_t{ky / kt, -kz / kt, kz / kt, ky / kt};
        const cplx kap = kn(p);
        const blk s{0.0, -kk / kap, kap, 0.0};
        expect_blk(block(r, n, p, p), mul(rot, mul(s, rot_t)), 1e-12, "r rotated");
        // Thickness 0: B^-1 with its second row scaled by -K/kappa.
        const cplx f = -kk / kap;
        expect_blk(block(t, n, p, p), {rot_t.a, rot_t.b, f * rot_t.c, f * rot_t.d}, 1e-12,
                   "t at d = 0");
    }
}

TEST(ObliqueBasis, ZeroStateRotationAndInverse) {
    order_set o = make_orders(1, 0.0, 0.8, 0.5);
    const int n = o.norder;
    full_mat r(2 * n), t(2 * n);
    oblique_basis(o, 0.0, r, t);
    for (int j = 1; j <= 2 * n; ++j)
        for (int i = 1; i <= 2 * n; ++i) {
            EXPECT_EQ(r(i, j), cplx(0.0, 0.0));
            EXPECT_EQ(t(i, j), cplx(0.0, 0.0));
        }
    // Angle 0: block (o, p) of r becomes R(o)^T X R(p), of t X R(p).
    fill_garbage(r, 3.0);
    fill_garbage(t, 4.0);
    full_mat r0 = r, t0 = t;
    oblique_basis(o, 0.0, r, t);
    auto rot = [&](int p) {
        const double ky = o.ky_1d(o.ord_i1(p)), kz = o.kz_1d(o.ord_i2(p)), kt = std::hypot(ky, kz);
        return blk{ky / kt, kz / kt, -kz / kt, ky / kt};
    };
    for (int p = 1; p <= n; ++p)
        for (int q = 1; q <= n; ++q) {
            const blk rq = rot(q), rp = rot(p);
            const blk rp_t{rp.a, rp.c, rp.b, rp.d};
            expect_blk(block(r, n, p, q), mul(rp_t, mul(block(r0, n, p, q), rq)), 1e-13, "r");
            expect_blk(block(t, n, p, q), mul(block(t0, n, p, q), rq), 1e-13, "t");
        }
}

TEST(ObliqueBasis, NormalOrderUnchangedAtAngleZeroAndInverseAtAnAngle) {
    order_set o = make_orders(0, 0.0, 0.0, 0.0);
    full_mat r(2), t(2);
    fill_garbage(r, 5.0);
    fill_garbage(t, 6.0);
    const full_mat r0 = r, t0 = t;
    oblique_basis(o, 0.0, r, t);
    for (int j = 1; j <= 2; ++j)
        for (int i = 1; i <= 2; ++i) {
            EXPECT_EQ(r(i, j), r0(i, j));
            EXPECT_EQ(t(i, j), t0(i, j));
        }
    // On an identity state the diagonal blocks become B^-1 B (= I) in r and
    // B in t, whose determinant is cos of the grid angle.
    for (double kiy : {0.0, 0.9}) {
        order_set g = make_orders(1, 25.0, kiy, -0.4 * kiy);
        const int n = g.norder;
        full_mat ri(2 * n), ti(2 * n);
        for (int i = 1; i <= 2 * n; ++i) ri(i, i) = ti(i, i) = 1.0;
        oblique_basis(g, 25.0, ri, ti);
        for (int p = 1; p <= n; ++p) {
            expect_blk(block(ri, n, p, p), {1.0, 0.0, 0.0, 1.0}, 1e-13, "B^-1 B");
            const blk b = block(ti, n, p, p);
            EXPECT_NEAR(std::abs(b.a * b.d - b.b * b.c - std::cos(25.0 * M_PI / 180)), 0.0, 1e-13);
        }
    }
}

TEST(UniformLayer, IdentitiesAndClosedForms) {
    for (double angle : {0.0, 30.0}) {
        order_set o = make_orders(2, angle, 1.3, 0.4);
        const int n = o.norder;
        const double k0sq = std::pow(2 * M_PI / 0.8, 2);
        for (cplx eps : {cplx(2.25, 0.0), cplx(-8.0, 1.5), cplx(1.0, 0.0)}) {
            full_mat p(2 * n), q(2 * n), x(2 * n), y(2 * n);
            fill_garbage(p, 1.0);
            fill_garbage(q, 2.0);
            fill_garbage(x, 3.0);
            fill_garbage(y, 4.0);
            uniform_layer(o, angle, eps, k0sq, p, q, x, y);
            for (int j = 1; j <= 2 * n; ++j)
                for (int i = 1; i <= 2 * n; ++i) {
                    EXPECT_EQ(x(i, j) + y(i, j), cplx(0.0, 0.0));
                    EXPECT_EQ(p(i, j), q(i, j));
                    if (!in_block_diagonal(i, j, n)) {
                        EXPECT_EQ(p(i, j), cplx(0.0, 0.0));
                        EXPECT_EQ(y(i, j), cplx(0.0, 0.0));
                    }
                }
            const double c = std::cos(angle * M_PI / 180);
            const cplx kk = k0sq * eps;
            for (int i = 1; i <= n; ++i) {
                const cplx g = p(i, i);
                EXPECT_EQ(p(n + i, n + i), g);
                EXPECT_EQ(p(i, n + i), cplx(0.0, 0.0));
                // g = c * sqrt(kt^2 - K) on the lower branch; with the
                // grating equation's kz = sqrt(K - kt^2) (principal) that is
                // g = -i c kz.
                const cplx kz_ref = std::sqrt(kk - o.kt2(i));
                EXPECT_NEAR(std::abs(g - cplx(0, -1) * c * kz_ref), 0.0, 1e-10 * std::abs(kk))
                    << angle << " " << eps << " " << i;
                EXPECT_NEAR(std::abs(g - c * lower_root(o.kt2(i) - kk)), 0.0,
                            1e-10 * std::abs(kk));
                // The coupling block squares to -K g^2 times the identity.
                const blk yb = block(y, n, i, i);
                const blk y2 = mul(yb, yb);
                const cplx want = -kk * g * g;
                expect_blk(y2, {want, 0.0, 0.0, want}, 1e-9 * std::norm(kk), "Y^2");
            }
            // A lossless propagating order: a pure negative-imaginary root.
            if (angle == 0.0 && eps == cplx(2.25, 0.0)) {
                const int w0 = (n + 1) / 2;
                ASSERT_LT(o.kt2(w0), k0sq * 2.25);
                EXPECT_EQ(p(w0, w0).real(), 0.0);
                EXPECT_LT(p(w0, w0).imag(), 0.0);
            }
        }
    }
}

TEST(UniformLayer, BlockDiagonalFormMatchesTheFullForm) {
    order_set o = make_orders(1, 20.0, 0.6, -1.1);
    const int n = o.norder;
    const cplx eps(3.1, 0.4);
    const double k0sq = 40.0;
    full_mat p(2 * n), q(2 * n), x(2 * n), y(2 * n);
    uniform_layer(o, 20.0, eps, k0sq, p, q, x, y);
    bd_mat pb, qb, xb, yb;
    uniform_layer_bd(o, 20.0, eps, k0sq, pb, qb, xb, yb);
    for (int i = 1; i <= n; ++i) {
        const int cols[4][2] = {{i, i}, {i, n + i}, {n + i, i}, {n + i, n + i}};
        for (int c = 1; c <= 4; ++c) {
            const int r0 = cols[c - 1][0], c0 = cols[c - 1][1];
            EXPECT_EQ(pb(i, c), p(r0, c0));
            EXPECT_EQ(qb(i, c), q(r0, c0));
            EXPECT_EQ(xb(i, c), x(r0, c0));
            EXPECT_EQ(yb(i, c), y(r0, c0));
        }
    }
}

TEST(UniformBlocks, SuperstrateStructure) {
    const int n = 3;
    array1<cplx> kn(2 * n);
    for (int i = 1; i <= n; ++i) kn(i) = cplx(i, -0.1 * i);
    const cplx kk(5.0, 0.3);
    full_mat p(2 * n), q(2 * n), x(2 * n), y(2 * n);
    fill_garbage(p, 1.0);
    fill_garbage(q, 2.0);
    fill_garbage(x, 3.0);
    fill_garbage(y, 4.0);
    uniform_blocks(kn, kk, p, q, x, y, n);
    for (int i = 1; i <= n; ++i) {
        // P and Q differ in the sign of the TM entry; X and Y in the sign of kappa.
        EXPECT_EQ(p(i, i), cplx(1.0, 0.0));
        EXPECT_NEAR(std::abs(p(n + i, n + i) + kn(i) / kk), 0.0, 1e-15);
        EXPECT_EQ(q(n + i, n + i), -p(n + i, n + i));
        EXPECT_EQ(x(i, n + i), cplx(1.0, 0.0));
        EXPECT_EQ(x(n + i, i), kn(i));
        EXPECT_EQ(y(n + i, i), -kn(i));
        EXPECT_EQ(y(i, n + i), cplx(1.0, 0.0));
    }
    int nonzero = 0;
    for (const full_mat* m : {&p, &q, &x, &y})
        for (int j = 1; j <= 2 * n; ++j)
            for (int i = 1; i <= 2 * n; ++i) nonzero += (*m)(i, j) != cplx(0.0, 0.0);
    EXPECT_EQ(nonzero, 8 * n);
}

TEST(UnusedModalRoutines, AltLayerAndEigenBranch) {
    array1<cplx> kn(2);
    kn(1) = cplx(2.0, 1.0);
    kn(2) = cplx(0.5, 0.0);
    const cplx eps(4.0, 0.0);
    bd_mat m1, m2, m3, m4;
    uniform_layer_alt(2, kn, eps, m1, m2, m3, m4);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(m1(i, 1), cplx(1.0, 0.0));
        EXPECT_EQ(m2(i, 4), cplx(1.0, 0.0));
        EXPECT_EQ(m1(i, 2), cplx(0.0, 0.0));
        EXPECT_EQ(m3(i, 1), kn(i));
        EXPECT_EQ(m3(i, 4), -kn(i) / eps);
        EXPECT_EQ(m4(i, 1), -kn(i));
    }
    array1<cplx> z(4);
    z(1) = cplx(1.0, -2.0);    // Im clearly negative: negated
    z(2) = cplx(-1.0, 1e-13);  // Im tiny, Re negative: negated
    z(3) = cplx(-1.0, 0.5);    // kept
    z(4) = cplx(1.0, -1e-13);  // Im tiny, Re positive: kept
    array1<int> idx(4);
    array1<double> im(4);
    eigen_branch(4, idx, im, z);
    EXPECT_EQ(z(1), cplx(-1.0, 2.0));
    EXPECT_EQ(z(2), cplx(1.0, -1e-13));
    EXPECT_EQ(z(3), cplx(-1.0, 0.5));
    EXPECT_EQ(z(4), cplx(1.0, -1e-13));
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(idx(i), i);
        EXPECT_EQ(im(i), z(i).imag());
    }
}
