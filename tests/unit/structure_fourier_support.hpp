// Small helpers shared by the Fourier-matrix tests: order lists written out by
// hand, and a dense inverse and product of our own so that expected values do
// not come from the code under test.
#pragma once

#include <cmath>
#include <complex>
#include <utility>
#include <vector>

#include "linalg/dense.hpp"
#include "structure/orders.hpp"
#include "support/dense_check.hpp"

namespace fourier_test {

using rcwa::linalg::array1;
using rcwa::linalg::cplx;
using rcwa::linalg::full_mat;

constexpr double pi = 3.14159265358979323846;

struct orders {
    int iomax = 0;
    int n = 0;
    array1<int> i1, i2;

    // As the order set of a run (the wave-vector tables left empty).
    rcwa::structure::order_set set() const {
        rcwa::structure::order_set s;
        s.nmax1d = 2 * iomax + 1;
        s.norder = n;
        s.ord_i1 = i1;
        s.ord_i2 = i2;
        return s;
    }
};

// Every order of a (2 iomax + 1)^2 square, row by row (second index outer).
inline orders square_orders(int iomax) {
    orders o;
    o.iomax = iomax;
    const int l = 2 * iomax + 1;
    o.n = l * l;
    o.i1.resize(o.n);
    o.i2.resize(o.n);
    int e = 0;
    for (int n2 = 1; n2 <= l; ++n2)
        for (int n1 = 1; n1 <= l; ++n1) {
            ++e;
            o.i1(e) = n1;
            o.i2(e) = n2;
        }
    return o;
}

// The diamond |m - c| + |n - c| <= iomax, row by row.
inline orders diamond_orders(int iomax) {
    orders o;
    o.iomax = iomax;
    const int l = 2 * iomax + 1;
    const int c = iomax + 1;
    std::vector<std::pair<int, int>> v;
    for (int n2 = 1; n2 <= l; ++n2)
        for (int n1 = 1; n1 <= l; ++n1)
            if (std::abs(n1 - c) + std::abs(n2 - c) <= iomax) v.emplace_back(n1, n2);
    o.n = static_cast<int>(v.size());
    o.i1.resize(o.n);
    o.i2.resize(o.n);
    for (int e = 1; e <= o.n; ++e) {
        o.i1(e) = v[static_cast<std::size_t>(e - 1)].first;
        o.i2(e) = v[static_cast<std::size_t>(e - 1)].second;
    }
    return o;
}

// Gauss-Jordan inverse with partial pivoting.
inline full_mat inverse(const full_mat& a) {
    const int n = a.order();
    full_mat m = a, r(n);
    for (int i = 1; i <= n; ++i) r(i, i) = 1.0;
    for (int k = 1; k <= n; ++k) {
        int piv = k;
        for (int i = k + 1; i <= n; ++i)
            if (std::abs(m(i, k)) > std::abs(m(piv, k))) piv = i;
        for (int j = 1; j <= n; ++j) {
            std::swap(m(k, j), m(piv, j));
            std::swap(r(k, j), r(piv, j));
        }
        const cplx d = m(k, k);
        for (int j = 1; j <= n; ++j) {
            m(k, j) /= d;
            r(k, j) /= d;
        }
        for (int i = 1; i <= n; ++i) {
            if (i == k) continue;
            const cplx f = m(i, k);
            for (int j = 1; j <= n; ++j) {
                m(i, j) -= f * m(k, j);
                r(i, j) -= f * r(k, j);
            }
        }
    }
    return r;
}

inline full_mat product(const full_mat& a, const full_mat& b) { return rcwa_test::mul(a, b); }

inline double max_abs_diff(const full_mat& a, const full_mat& b) { return rcwa_test::max_diff(a, b); }

inline cplx interval_integral(double k, double lo, double hi) {
    const double w = hi - lo;
    const double t = 0.5 * k * w;
    const double sinc = t == 0.0 ? 1.0 : std::sin(t) / t;
    return w * sinc * std::exp(cplx(0.0, 0.5 * k * (lo + hi)));
}

inline double pm1(int k) { return k % 2 == 0 ? 1.0 : -1.0; }

}  // namespace fourier_test
