// The retained diffraction orders and their wave vectors.
#include "structure/orders.hpp"

#include <cmath>
#include <complex>
#include <vector>

#include "linalg/constants.hpp"

namespace rcwa::structure {

namespace {

using linalg::two_pi;
using linalg::deg_to_rad;

// Distance of two table indices, taken in single precision on purpose: the
// retained set of a given input must not change between versions, and which
// orders sit exactly on the boundary (kept) depends on this rounding.
double index_distance(int a, int b) {
    const float d = std::fabs(static_cast<float>(a) - static_cast<float>(b));
    return static_cast<double>(d);
}

// Normal wave vector of one order (the guard and branch rules shared by the
// run's routine and its oblique variant).
cplx kn_one(cplx k0sq_eps, double kt2, bool flip, double k_unit) {
    cplx w = std::sqrt(grazing_floor(cplx(k0sq_eps.real() - kt2, k0sq_eps.imag()), k_unit));
    if (flip && w.real() + w.imag() < 0.0) w = cplx(-w.real(), -w.imag());
    return w;
}

}  // namespace

cplx grazing_floor(cplx w, double k_unit) {
    const double floor = 1e-8 * (k_unit * k_unit);
    if (std::fabs(w.real()) < floor && std::fabs(w.imag()) < floor) w.real(floor);
    return w;
}

cplx grazing_shift(cplx w, double c, double k_unit) {
    return (w + grazing_floor(-w, k_unit)) / (c * c);
}

// The order (m, n) is kept when (|m - c1|/r1)^p + (|n - c2|/r2)^p <= 1 with
// p = 3 - trunc_shape; trunc_shape 0 keeps the full square. The first and last
// rows always keep their centre order and the centre row is always whole.
// An exponent p <= 0 (trunc_shape 3 or more) makes no meaningful set; the run
// driver rejects it, and here a row that the test leaves empty gets
// upper = lower - 1 (no order), never a negative count. A NaN trunc_shape
// keeps every order of the searched rows.
void truncate_orders(int n1, int n2, double trunc_shape, row_ranges& row_range, int& norder) {
    row_range.resize(n2);
    if (trunc_shape == 0.0) {
        for (int n = 1; n <= n2; ++n) {
            row_range(1, n) = 1;
            row_range(2, n) = n1;
        }
        norder = n1 * n2;
        return;
    }
    const double p = 3.0 - trunc_shape;
    const int r1 = n1 / 2;
    const int r2 = n2 / 2;
    const int c1 = r1 + 1;
    const int c2 = r2 + 1;
    // The half widths in single precision, like the distances.
    const double r1p = std::pow(static_cast<double>(static_cast<float>(r1)), p);
    const double r2p = std::pow(static_cast<double>(static_cast<float>(r2)), p);
    norder = 0;
    for (int n = 1; n <= n2; ++n) {
        int lower = 1;
        int upper = n1;
        const double pn = std::pow(index_distance(n, c2), p);
        if (n == 1 || n == n2) {
            if (n1 % 2 == 1) {
                lower = c1;
                upper = c1;
            } else {
                lower = r1;
                upper = r1 + 1;
            }
        } else if (n == c2 || (n2 % 2 == 0 && n == c2 - 1)) {
            // whole row
        } else {
            for (int j = c1; j <= n1; ++j) {
                const double s = std::pow(index_distance(j, c1), p) / r1p + pn / r2p;
                if (s > 1.0) {
                    upper = j - 1;
                    break;
                }
            }
            for (int j = c1; j >= 1; --j) {
                const double s = std::pow(index_distance(j, c1), p) / r1p + pn / r2p;
                if (s > 1.0) {
                    lower = j + 1;
                    break;
                }
            }
            if (upper < lower) upper = lower - 1;
        }
        row_range(1, n) = lower;
        row_range(2, n) = upper;
        norder += upper - lower + 1;
    }
}

void order_tables(order_set& orders, double grid_angle, double dy, double dz, double k_inc_y,
                  double k_inc_z) {
    const int n1 = orders.nmax1d;
    const int n2 = orders.nmax1d;
    const int norder = orders.norder;
    const row_ranges& row_range = orders.row_range;
    array1<double>& ky_1d = orders.ky_1d;
    array1<double>& kz_1d = orders.kz_1d;
    ky_1d.resize(n1);
    kz_1d.resize(n2);
    for (array1<int>* a : {&orders.ord_i1, &orders.ord_i2, &orders.ord_slot, &orders.ord_of})
        a->resize(norder);
    orders.kt2.resize(norder);
    const double s = std::sin(grid_angle * deg_to_rad);
    const double den = 1.0 - s * s;
    for (int m = 1; m <= n1; ++m)
        ky_1d(m) = (static_cast<double>(m - n1 / 2 - 1) * two_pi) / dy + k_inc_y;
    for (int n = 1; n <= n2; ++n)
        kz_1d(n) = (static_cast<double>(n - n2 / 2 - 1) * two_pi) / dz + k_inc_z;

    // Positions are recorded first and read back through ord_slot, so that a
    // reordering of the slots would only have to touch ord_slot.
    std::vector<double> kt_work(static_cast<std::size_t>(norder));
    std::vector<int> idx_work(2 * static_cast<std::size_t>(norder));
    int e = 0;
    for (int n = 1; n <= n2; ++n) {
        for (int m = row_range(1, n); m <= row_range(2, n); ++m) {
            if (e >= norder) break;
            const double ky = ky_1d(m);
            const double kz = kz_1d(n);
            kt_work[e] = (ky * ky + kz * kz - 2.0 * ky * kz * s) / den;
            idx_work[2 * e] = m;
            idx_work[2 * e + 1] = n;
            ++e;
            orders.ord_slot(e) = e;
            orders.ord_of(e) = e;
        }
    }
    for (int f = 1; f <= e; ++f) {
        const int slot = orders.ord_slot(f);
        orders.kt2(slot) = kt_work[f - 1];
        orders.ord_i1(f) = idx_work[2 * (slot - 1)];
        orders.ord_i2(f) = idx_work[2 * (slot - 1) + 1];
    }
}

void kn_orders(const order_set& orders, bool flip, cplx k0sq_eps, array1<cplx>& kn) {
    for (int i = 1; i <= orders.norder; ++i)
        kn(i) = kn_one(k0sq_eps, orders.kt2(orders.ord_slot(i)), flip, orders.k_unit);
}

void kn_orders_2n(const order_set& orders, cplx k0sq_eps, array1<cplx>& kn) {
    const int n = orders.norder;
    kn_orders(orders, true, k0sq_eps, kn);
    for (int i = 1; i <= n; ++i) kn(n + i) = kn(i);
}

void mark_propagating(const order_set& orders, double x, int& count, array1<int>& mask) {
    count = 0;
    for (int i = 1; i <= orders.norder; ++i) {
        if (x - orders.kt2(orders.ord_slot(i)) >= 0.0) {  // a NaN difference does not propagate
            mask(i) = 1;
            ++count;
        } else {
            mask(i) = 0;
        }
    }
}

// ---- routines that no step of a run calls ----

void order_k_row(int m0, int n, double dk, double k0, double kfix, array1<double>& k,
                 array1<int>& idx, array1<double>& ksq) {
    for (int i = 1; i <= n; ++i) {
        k(i) = k0 + static_cast<double>(m0 + i - 1) * dk;
        ksq(i) = k(i) * k(i) + kfix * kfix;
        idx(i) = i;
    }
}

void kn_orders_oblique(const order_set& orders, bool flip, cplx k0sq_eps, const array1<double>& v,
                       array1<cplx>& kn, double angle) {
    const double a = angle * deg_to_rad;
    const double sa = std::sin(a);
    const double ca = std::cos(a);
    for (int i = 1; i <= orders.norder; ++i) {
        const cplx w = kn_one(k0sq_eps, orders.kt2(orders.ord_slot(i)), flip, orders.k_unit);
        kn(i) = cplx(sa * v(orders.ord_slot(i)) + ca * w.real(), ca * w.imag());
    }
}

void count_propagating(const order_set& orders, double x, int& count, int& first) {
    count = 0;
    for (int i = 1; i <= orders.norder; ++i) {
        if (x - orders.kt2(orders.ord_slot(i)) >= 0.0) {
            if (count == 0) first = i;
            ++count;
        }
    }
}

void sort_ends_inward(int n, const array1<double>& values, array1<double>& out, array1<int>& pos) {
    if (n <= 0) return;
    // Stable insertion sort: a value goes before the first sorted value that is
    // strictly greater; a NaN is greater than nothing, so it goes last.
    std::vector<double> sorted;
    std::vector<int> spos;
    sorted.reserve(static_cast<std::size_t>(n));
    spos.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i) {
        const double v = values(i);
        std::size_t at = sorted.size();
        for (std::size_t k = 0; k < sorted.size(); ++k) {
            if (sorted[k] > v) {
                at = k;
                break;
            }
        }
        sorted.insert(sorted.begin() + static_cast<std::ptrdiff_t>(at), v);
        spos.insert(spos.begin() + static_cast<std::ptrdiff_t>(at), i);
    }
    // The middle position, in single precision on purpose (the 0.01 nudge is
    // sized for it), rounded half away from zero.
    const float half = (static_cast<float>(n) + 0.01f) * 0.5f;
    const int k = static_cast<int>(std::lround(half));
    auto put = [&](int o, int s) {
        out(o) = sorted[static_cast<std::size_t>(s - 1)];
        pos(o) = spos[static_cast<std::size_t>(s - 1)];
    };
    for (int o = 1; o <= k - 1; ++o) {
        put(o, 2 * o - 1);
        put(n - o + 1, 2 * o);
    }
    put(k, 2 * k - 1);
    if (2 * k == n) put(k + 1, 2 * k);
}

void perm_invert(int n, array1<int>& inv, const array1<int>& perm) {
    for (int i = 1; i <= n; ++i) inv(perm(i)) = i;
}

}  // namespace rcwa::structure
