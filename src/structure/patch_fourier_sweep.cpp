// Fourier matrices of a patch layer by an edge sweep: the cell is cut into
// stripes at every patch edge along the sweep direction; inside a stripe the
// permittivity varies along the other direction only, so one Toeplitz matrix
// of that direction describes it (inverted for Li's inverse rule), and the
// stripes are joined by Fourier integrals across the sweep direction.
#include "structure/patch_fourier.hpp"

#include <cmath>
#include <vector>

#include "linalg/constants.hpp"

namespace rcwa::structure {

namespace {

using linalg::two_pi;

enum class rule { laurent, inverse };

// The sweep shared by the three routines. q: sweep direction (2 first, 1
// second lattice direction); the stripe direction is the other one.
void sweep(int q, rule r, const order_set& orders, int ieps, const array1<cplx>& eps,
           const rect_table& rect, full_mat& out, bool& err_flag) {
    const int p = q == 2 ? 1 : 2;
    const int l = orders.nmax1d;
    const array1<int>& ord_i1 = orders.ord_i1;
    const array1<int>& ord_i2 = orders.ord_i2;

    err_flag = false;
    edge_flags flags;
    flags.resize(ieps);
    patch_flags_reset(flags, ieps);
    // Zero-width patches can put both their edges at one position.
    array1<int> list(2 * (ieps > 0 ? ieps : 0) + 1, 0);
    std::vector<int> active;
    active.reserve(static_cast<std::size_t>(ieps > 0 ? ieps : 0));
    // Stripe s lies between x[s-1] and x[s]; sized as the sweep goes, so
    // layouts with gaps or overlaps (more stripes than patches) are safe.
    std::vector<double> x(1, 0.0);
    std::vector<full_mat> stripes;

    int h = 2 * ieps;
    int i = 0;
    int counter = 10000;
    int count = 0;
    double position = 1.0;

    // Work for one stripe: its Toeplitz values per index difference.
    std::vector<cplx> diff_val(static_cast<std::size_t>(2 * l - 1));
    std::vector<cplx> v_act;

    for (;;) {
        if (h <= 0) break;
        if (counter < 0) {
            err_flag = true;
            return;
        }
        patch_edge_min(ieps, rect, q, flags, list, count, position);
        h -= count;
        if (h <= 0) continue;
        x[static_cast<std::size_t>(i)] = position;
        if (!(position < 1.0)) {
            counter -= 1;
            continue;
        }
        i += 1;
        x.push_back(0.0);
        for (int k = 1; k <= count; ++k) {
            const int e = list(k);
            if (e > 0) {
                active.push_back(e);
                flags.set(1, e, false);
            } else {
                for (std::size_t j = 0; j < active.size(); ++j) {
                    if (active[j] == -e) {
                        active[j] = active.back();
                        active.pop_back();
                        break;
                    }
                }
                flags.set(2, -e, false);
            }
        }

        // Stripe table over the order indices 1..l of the stripe direction.
        v_act.resize(active.size());
        cplx mean(0.0, 0.0);
        for (std::size_t j = 0; j < active.size(); ++j) {
            const int t = active[j];
            v_act[j] = r == rule::inverse ? cplx(1.0, 0.0) / eps(t) : eps(t);
            mean += (rect(p + 2, t) - rect(p, t)) * v_act[j];
        }
        // The table is Toeplitz: entry (j,k) depends on j-k only.
        for (int d = -(l - 1); d <= l - 1; ++d) {
            cplx sum(0.0, 0.0);
            if (d == 0) {
                sum = mean;
            } else {
                const double kappa = two_pi * d;
                for (std::size_t j = 0; j < active.size(); ++j) {
                    const int t = active[j];
                    sum += (v_act[j] - mean) * edge_integral(kappa, rect(p, t), rect(p + 2, t));
                }
            }
            diff_val[static_cast<std::size_t>(d + l - 1)] = sum;
        }
        full_mat s(l);
        for (int k = 1; k <= l; ++k)
            for (int j = 1; j <= l; ++j) s(j, k) = diff_val[static_cast<std::size_t>(j - k + l - 1)];
        if (r == rule::inverse) linalg::matinv_lapack(l, s);
        stripes.push_back(std::move(s));

        counter -= 1;
    }

    // Gather: the last stripe ends at the cell boundary.
    x[static_cast<std::size_t>(i)] = 1.0;
    const int kmax = 2 * orders.iomax();
    // Integrals over each stripe per index difference across the stripes.
    std::vector<cplx> hs(static_cast<std::size_t>((2 * kmax + 1) * (i > 0 ? i : 0)));
    auto hat = [&](int k, int s) -> cplx& {
        return hs[static_cast<std::size_t>(s - 1) * (2 * kmax + 1) + static_cast<std::size_t>(k + kmax)];
    };
    for (int s = 1; s <= i; ++s)
        for (int k = -kmax; k <= kmax; ++k)
            hat(k, s) = edge_integral(two_pi * k, x[static_cast<std::size_t>(s - 1)], x[static_cast<std::size_t>(s)]);

    for (int a = 1; a <= orders.norder; ++a) {
        for (int b = 1; b <= orders.norder; ++b) {
            const int d1 = ord_i1(a) - ord_i1(b);
            const int d2 = ord_i2(a) - ord_i2(b);
            // Moves the origin from the cell corner to its middle; a translation
            // only when taken from the order indices, whatever the truncation.
            const double sigma = (d1 - d2) % 2 == 0 ? 1.0 : -1.0;
            int u, w, kk;
            if (q == 2) {
                u = ord_i2(a);
                w = ord_i2(b);
                kk = d1;
            } else {
                u = ord_i1(a);
                w = ord_i1(b);
                kk = d2;
            }
            cplx mean(0.0, 0.0);
            for (int s = 1; s <= i; ++s)
                mean += stripes[static_cast<std::size_t>(s - 1)](u, w) *
                        (x[static_cast<std::size_t>(s)] - x[static_cast<std::size_t>(s - 1)]);
            cplx val;
            if (kk == 0) {
                val = mean;
            } else {
                val = cplx(0.0, 0.0);
                for (int s = 1; s <= i; ++s)
                    val += (stripes[static_cast<std::size_t>(s - 1)](u, w) - mean) * hat(kk, s);
            }
            out(a, b) = val * sigma;
        }
    }
}

}  // namespace

cplx edge_integral(double kappa, double lo, double hi) {
    if (kappa == 0.0) return cplx(hi - lo, 0.0);
    return cplx(0.0, 1.0) * (std::exp(cplx(0.0, -kappa * hi)) - std::exp(cplx(0.0, -kappa * lo))) /
           kappa;
}

void patch_flags_reset(edge_flags& flags, int ieps) {
    for (int t = 1; t <= ieps; ++t) {
        flags.set(1, t, true);
        flags.set(2, t, true);
    }
}

void patch_edge_min(int ieps, const rect_table& rect, int q, const edge_flags& flags,
                    array1<int>& list, int& count, double& position) {
    count = 0;
    position = 1.0;
    auto consider = [&](double v, int entry) {
        if (v < position) {
            position = v;
            count = 1;
            list(1) = entry;
        } else if (v == position) {
            count += 1;
            list(count) = entry;
        }
    };
    for (int t = 1; t <= ieps; ++t) {
        if (flags(1, t)) consider(rect(q, t), t);
        if (flags(2, t)) consider(rect(q + 2, t), -t);
    }
}

void patch_fourier_stripes(const order_set& orders, int ieps, const array1<cplx>& eps,
                           const rect_table& rect, full_mat& out, bool& err_flag) {
    sweep(2, rule::laurent, orders, ieps, eps, rect, out, err_flag);
}

void patch_li(bool dir_flag, const order_set& orders, int ieps, const array1<cplx>& eps,
              const rect_table& rect, full_mat& out, bool& err_flag) {
    sweep(dir_flag ? 2 : 1, rule::inverse, orders, ieps, eps, rect, out, err_flag);
}

void patch_li_xy(bool dir_flag, const order_set& orders, int ieps, const array1<cplx>& eps,
                 const rect_table& rect, full_mat& out, bool& err_flag) {
    patch_li(dir_flag, orders, ieps, eps, rect, out, err_flag);
}

}  // namespace rcwa::structure
