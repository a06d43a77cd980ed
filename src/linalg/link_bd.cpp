// The block-diagonal form: while every 2N by 2N matrix of the recursion
// couples each order only with itself, the link steps work order by order on
// 2 by 2 blocks, serially on every process. Also the diagonal and Cayley
// variants of the link steps.
#include "linalg/link.hpp"

#include <cmath>

#include "linalg/constants.hpp"
#include "linalg/distributed.hpp"
#include "parallel/processes.hpp"

namespace rcwa::linalg {

namespace {

// A 2 by 2 block [[p, q], [u, w]].
struct block {
    cplx p, q, u, w;
};

block operator*(const block& x, const block& y) {
    return {x.p * y.p + x.q * y.u, x.p * y.q + x.q * y.w, x.u * y.p + x.w * y.u, x.u * y.q + x.w * y.w};
}

block get(const bd_mat& a, int i) { return {a(i, 1), a(i, 2), a(i, 3), a(i, 4)}; }

void put(bd_mat& a, int i, const block& x) {
    a(i, 1) = x.p;
    a(i, 2) = x.q;
    a(i, 3) = x.u;
    a(i, 4) = x.w;
}

// The block of order i of a 2N by 2N matrix.
block get(const full_mat& f, int norder, int i) {
    return {f(i, i), f(i, norder + i), f(norder + i, i), f(norder + i, norder + i)};
}

void put(full_mat& f, int norder, int i, const block& x) {
    f(i, i) = x.p;
    f(i, norder + i) = x.q;
    f(norder + i, i) = x.u;
    f(norder + i, norder + i) = x.w;
}

void bd_negate(int norder, bd_mat& a) {
    for (int c = 1; c <= 4; ++c)
        for (int i = 1; i <= norder; ++i) a(i, c) = -a(i, c);
}

// x / y as x * conj(y) * (1 / |y|^2), without a guard against y = 0.
cplx divide(cplx x, cplx y) {
    const double g = 1.0 / (y.real() * y.real() + y.imag() * y.imag());
    return x * std::conj(y) * g;
}

cplx diag_factor(bool flag, cplx s, cplx z) { return flag ? s : divide(-s, z); }

}  // namespace

// ---- bd_mat kernels ----
// Each block is read in full before its result is stored, so these are safe
// even when an output is one of the inputs.

void bd_mul_full(int norder, const bd_mat& a, const full_mat& f, bd_mat& z) {
    for (int i = 1; i <= norder; ++i) put(z, i, get(a, i) * get(f, norder, i));
}

void full_mul_bd(int norder, const full_mat& f, const bd_mat& b, bd_mat& z) {
    for (int i = 1; i <= norder; ++i) put(z, i, get(f, norder, i) * get(b, i));
}

void full_mul_bd_full(int norder, const full_mat& f, const bd_mat& b, full_mat& g) {
    for (int i = 1; i <= norder; ++i) put(g, norder, i, get(f, norder, i) * get(b, i));
}

void bd_mul_bd_full(int norder, const bd_mat& a, const bd_mat& b, full_mat& g) {
    mat_set_diag(2 * norder, g, cplx(0.0, 0.0));
    for (int i = 1; i <= norder; ++i) put(g, norder, i, get(a, i) * get(b, i));
}

void bd_add(int norder, const bd_mat& a, const bd_mat& b, bd_mat& z) {
    for (int c = 1; c <= 4; ++c)
        for (int i = 1; i <= norder; ++i) z(i, c) = a(i, c) + b(i, c);
}

void bd_inv(int norder, bd_mat& a, double det_unit) {
    // A determinant that vanishes to within tiny of the size of its two
    // products becomes the floor, tiny rounded to single precision, at that
    // size: a singular block then gives large finite entries instead of
    // infinities, and those entries scale with the floor's exact value. The
    // size counts from det_unit down only: blocks of grazing orders keep the
    // floor of the run's scale, while a regular block of small entries (a
    // film of index near 0) is inverted as it is. A zero block gives a zero
    // block.
    for (int i = 1; i <= norder; ++i) {
        const block x = get(a, i);
        const cplx pw = x.p * x.w, qu = x.q * x.u;
        cplx det = pw - qu;
        double size = std::abs(pw) + std::abs(qu);
        if (!(size > 0.0 && size < det_unit)) size = det_unit;
        if (std::abs(det.real()) <= tiny * size && std::abs(det.imag()) <= tiny * size)
            det = cplx(tiny_single * size, 0.0);
        const double g = 1.0 / (det.real() * det.real() + det.imag() * det.imag());
        const cplx cd = std::conj(det);
        put(a, i, {x.w * cd * g, -x.q * cd * g, -x.u * cd * g, x.p * cd * g});
    }
}

// ---- block-diagonal link steps ----

void rti_link_bd(const bd_mat& a, const bd_mat& b, const bd_mat& c, const bd_mat& d, full_mat& r,
                 full_mat& t, int norder, double k_unit) {
    bd_mat work1(norder);
    bd_mat work2(norder);

    full_mul_bd(norder, r, b, work1);
    work2 = work1;
    bd_negate(norder, work2);
    bd_add(norder, d, work2, work1);  // d - r b
    const double k2 = k_unit * k_unit;
    bd_inv(norder, work1, k2 * k2);

    full_mul_bd(norder, r, a, work2);
    bd_negate(norder, work2);
    bd_add(norder, c, work2, work2);
    bd_negate(norder, work2);  // r a - c

    bd_mul_bd_full(norder, work1, work2, r);  // clears r off its block diagonals

    bd_mul_full(norder, b, r, work1);
    bd_add(norder, a, work1, work1);  // a + b r, with the new r
    // full_mul_bd_full reads each block of t before writing it, so t needs no copy.
    full_mul_bd_full(norder, t, work1, t);
}

void rt_link_bd(const bd_mat& a, const bd_mat& b, const bd_mat& c, const bd_mat& d, full_mat& r,
                full_mat& t, int norder, double k_unit) {
    bd_mat work1(norder);
    bd_mat work2(norder);

    bd_mul_full(norder, b, r, work1);
    bd_add(norder, a, work1, work1);
    bd_inv(norder, work1, k_unit * k_unit);  // M = (a + b r)^-1

    bd_mul_full(norder, d, r, work2);
    bd_add(norder, c, work2, work2);  // c + d r

    bd_mul_bd_full(norder, work2, work1, r);
    full_mul_bd_full(norder, t, work1, t);
}

void t_link_bd(double d, const array1<cplx>& gam, full_mat& r_mat, full_mat& t_mat, int norder) {
    for (int i = 1; i <= norder; ++i) {
        const int j = norder + i;
        const cplx e1 = phase_factor(d, gam(i));
        const cplx e2 = phase_factor(d, gam(j));
        r_mat(i, i) = r_mat(i, i) * e1 * e1;
        r_mat(i, j) = r_mat(i, j) * e1 * e2;
        r_mat(j, i) = r_mat(j, i) * e2 * e1;
        r_mat(j, j) = r_mat(j, j) * e2 * e2;
        t_mat(i, i) *= e1;
        t_mat(j, i) *= e1;
        t_mat(i, j) *= e2;
        t_mat(j, j) *= e2;
    }
}

// ---- diagonal and Cayley variants ----

void rt_link_diag(bool flag, const std::vector<cplx>& s, cplx z, full_mat& r, full_mat& t, int n) {
    const cplx one(1.0, 0.0);
    for (int i = 1; i <= n; ++i) {
        const cplx v = diag_factor(flag, s[static_cast<std::size_t>(i - 1)], z);
        const cplx rii = r(i, i);
        r(i, i) = divide(v * (one - rii), one + rii);
        t(i, i) = divide(t(i, i), one + rii);
    }
}

void rti_link_diag(bool flag, const std::vector<cplx>& s, cplx z, full_mat& r, full_mat& t, int n) {
    const cplx one(1.0, 0.0);
    for (int i = 1; i <= n; ++i) {
        const cplx v = diag_factor(flag, s[static_cast<std::size_t>(i - 1)], z);
        r(i, i) = divide(v - r(i, i), v + r(i, i));
        t(i, i) = t(i, i) * (one + r(i, i));
    }
}

void cayley_link(int /*ignored*/, bool flag, const std::vector<cplx>& s, cplx z, std::vector<cplx>& v,
                 full_mat& m, full_mat& y, full_mat& w1, full_mat& w2, int n) {
    // Collective through matmult and matinv; the element-wise steps matter on
    // process 0 alone, so m and y stay as they were elsewhere.
    const bool root = parallel::process_zero();
    const cplx one(1.0, 0.0);
    int info = 0;
    v.resize(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i) v[static_cast<std::size_t>(i - 1)] = diag_factor(flag, s[static_cast<std::size_t>(i - 1)], z);

    if (root) {
        mat_add_diag(false, n, one, m, w1);  // m + I
        mat_copy(n, w2, w1);
    }
    matinv(1, n, w2);
    if (root) mat_add_diag(true, n, -one, m, m);  // I - m
    matmult(n, one, m, w2, w1, info);
    if (root) {
        diag_mul(n, v, w1, m);
        mat_copy(n, w1, y);
    }
    matmult(n, one, w1, w2, y, info);
}

void cayley_link2(int /*ignored*/, bool flag, const std::vector<cplx>& s, cplx z, std::vector<cplx>& v,
                  full_mat& m, full_mat& y, full_mat& w1, full_mat& w2, int n) {
    const bool root = parallel::process_zero();
    const cplx one(1.0, 0.0);
    const cplx half(0.5, 0.0);
    int info = 0;
    v.resize(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i) {
        const cplx si = s[static_cast<std::size_t>(i - 1)];
        v[static_cast<std::size_t>(i - 1)] = flag ? divide(half, si) : divide(-z * 0.5, si);
    }

    if (root) {
        diag_mul(n, v, m, m);
        mat_add_diag(false, n, half, m, w1);  // m' + I/2
        mat_copy(n, w2, w1);
    }
    matinv(1, n, w2);
    if (root) mat_add_diag(true, n, -half, m, w1);  // I/2 - m'
    matmult(n, one, w1, w2, m, info);
    if (root) mat_copy(n, w1, y);
    matmult(n, one, w1, w2, y, info);
}

}  // namespace rcwa::linalg
