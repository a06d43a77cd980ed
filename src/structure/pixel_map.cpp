// Fourier matrices of a layer given as an M by M grid of permittivities
// (pixel maps and rasters): [[eps]] from a 2D FFT, Li's inverse rule along one
// direction and the ordinary rule along the other from line-wise 1D FFTs.
//
// Order differences are wrapped periodically onto the grid (the grid is one
// period sampled at M points). With M >= nmax1d this is the usual aliasing;
// a smaller grid then still reads inside its arrays.
#include "structure/pixel_map.hpp"

#include <cmath>
#include <vector>

#include "structure/fft.hpp"

namespace rcwa::structure {

namespace {

int wrap(int d, int m) {
    const int r = d % m;
    return r < 0 ? r + m : r;
}

double parity_sign(int k) { return k % 2 == 0 ? 1.0 : -1.0; }

// The shared core of the two grid Li rules. w: the grid laid out so that its
// first index runs along the inverse-rule direction. idx_inv / idx_lau: the
// order indices along the inverse-rule and the ordinary-rule direction.
void grid_li_core(full_mat& w, int m, const array1<int>& idx_inv, const array1<int>& idx_lau,
                  full_mat& out, int l, int norder, bool inverse_is_first) {
    std::vector<full_mat> stack(static_cast<std::size_t>(m));
    for (int c = 1; c <= m; ++c) {
        fft_1d(m, &w(1, c), -1);
        toeplitz_inv(m, l, &w(1, c), stack[static_cast<std::size_t>(c - 1)]);
    }
    std::vector<cplx> v(static_cast<std::size_t>(m));
    for (int r = 1; r <= l; ++r) {
        for (int s = 1; s <= l; ++s) {
            stack_line_fb('F', m, l, r, s, stack, v.data());
            fft_1d(m, v.data(), -1);
            stack_line_fb('B', m, l, r, s, stack, v.data());
        }
    }
    for (int a = 1; a <= norder; ++a) {
        for (int b = 1; b <= norder; ++b) {
            const int d_inv = idx_inv(a) - idx_inv(b) + 1;           // not wrapped
            const int d_lau = wrap(idx_lau(a) - idx_lau(b), m) + 1;  // stack index
            const int parity = inverse_is_first ? d_inv - d_lau : d_lau - d_inv;
            out(a, b) = parity_sign(parity) *
                        stack[static_cast<std::size_t>(d_lau - 1)](idx_inv(a), idx_inv(b));
        }
    }
}

}  // namespace

void eps_fourier_fft(full_mat& grid, int m, const order_set& orders, full_mat& out) {
    const array1<int>& ord_i1 = orders.ord_i1;
    const array1<int>& ord_i2 = orders.ord_i2;
    full_mat saved(m);
    linalg::mat_copy(m, saved, grid);
    fft_2d(m, grid, -1);
    const double scale = static_cast<double>(m * m);
    for (int a = 1; a <= orders.norder; ++a) {
        for (int b = 1; b <= orders.norder; ++b) {
            const int f = wrap(ord_i1(a) - ord_i1(b), m) + 1;
            const int g = wrap(ord_i2(a) - ord_i2(b), m) + 1;
            out(a, b) = parity_sign(f - g) * grid(f, g) / scale;
        }
    }
    linalg::mat_copy(m, grid, saved);
}

void grid_li_rows(const full_mat& grid, int m, const order_set& orders, full_mat& out) {
    full_mat w(m);
    linalg::mat_copy(m, w, grid);
    grid_li_core(w, m, orders.ord_i1, orders.ord_i2, out, orders.nmax1d, orders.norder, true);
}

void grid_li_cols(const full_mat& grid, int m, const order_set& orders, full_mat& out) {
    full_mat w(m);
    linalg::mat_copy(m, w, grid);
    mat_transpose(m, w);
    grid_li_core(w, m, orders.ord_i2, orders.ord_i1, out, orders.nmax1d, orders.norder, false);
}

void toeplitz_inv(int m, int n, const cplx* c, full_mat& t) {
    t.resize(n);
    for (int r = 1; r <= n; ++r) {
        t(r, r) = c[0];
        for (int s = r + 1; s <= n; ++s) {
            t(r, s) = c[wrap(r - s, m)];
            t(s, r) = c[wrap(s - r, m)];
        }
    }
    linalg::matinv_lapack(n, t);
}

void stack_line_fb(char direction, int n, int /*m*/, int r, int s, std::vector<full_mat>& stack,
                   cplx* v) {
    if (direction == 'F') {
        for (int k = 1; k <= n; ++k) v[k - 1] = stack[static_cast<std::size_t>(k - 1)](r, s);
    } else if (direction == 'B') {
        for (int k = 1; k <= n; ++k) stack[static_cast<std::size_t>(k - 1)](r, s) = v[k - 1];
    }
}

void mat_transpose(int n, full_mat& a) {
    for (int j = 2; j <= n; ++j)
        for (int i = 1; i < j; ++i) std::swap(a(i, j), a(j, i));
}

void eps_matrix_separable(const array1<cplx>& n, const array1<cplx>& cy, const array1<cplx>& cz,
                          const order_set& orders, full_mat& out, int p, int q) {
    const int norder = orders.norder;
    const array1<int>& ord_i1 = orders.ord_i1;
    const array1<int>& ord_i2 = orders.ord_i2;
    const cplx e1 = n(1) * n(1);
    const cplx e2 = n(2) * n(2);
    // Coefficient table c(mm, k), mm = -p..p, k = -q..q.
    const int ny = 2 * p + 1;
    std::vector<cplx> c(static_cast<std::size_t>(ny) * (2 * q + 1));
    auto at = [&](int mm, int k) {
        return static_cast<std::size_t>(k + q) * ny + static_cast<std::size_t>(mm + p);
    };
    for (int k = -q; k <= q; ++k)
        for (int mm = -p; mm <= p; ++mm) c[at(mm, k)] = (cz(k + q + 1) * (e2 - e1)) * cy(mm + p + 1);
    c[at(0, 0)] += e1;
    for (int a = 1; a <= norder; ++a) {
        for (int b = 1; b <= norder; ++b) {
            const int d1 = ord_i1(a) - ord_i1(b);
            const int d2 = ord_i2(a) - ord_i2(b);
            out(a, b) = (d1 < -p || d1 > p || d2 < -q || d2 > q) ? cplx(0.0, 0.0) : c[at(d1, d2)];
        }
    }
    linalg::matinv_lapack(norder, out);
}

void mat_mix_inv(int n, double a, double b, const full_mat& am, const full_mat& bm, full_mat& r) {
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) r(i, j) = a * a * am(i, j) + b * b * bm(i, j);
    linalg::matinv_lapack(n, r);
}

}  // namespace rcwa::structure
