// A grating layer's four permittivity Fourier matrices from its description.
// [[eps]] and [[1/eps]] are built first and inverted in place last.
#include "structure/fourier.hpp"

#include <utility>

#include "linalg/distributed.hpp"
#include "structure/pixel_map.hpp"

namespace rcwa::structure {

namespace {

// The matrices other than eps_conv, N by N and zero: what a layer does not
// need stays so.
grating_eps zero_matrices(int n) {
    grating_eps eps;
    eps.eps_li_1.resize(n);
    eps.eps_li_2.resize(n);
    eps.eps_inv_rule.resize(n);
    return eps;
}

}  // namespace

std::optional<grating_eps> layer_eps_matrices(bool li_rules, const array1<cplx>& eps_pat,
                                              const rect_table& rect, double grid_angle,
                                              const order_set& orders) {
    const int n = orders.norder;
    const int ieps = rect.count();
    grating_eps eps = zero_matrices(n);
    full_mat conv(n);  // [[eps]] until its inversion at the end

    if (li_rules) {
        // The edge sweep does not check the layout (patch_fourier does).
        patch_layout_check(ieps, rect);
        bool too_many = false;
        patch_fourier_stripes(orders, ieps, eps_pat, rect, conv, too_many);
        patch_li(true, orders, ieps, eps_pat, rect, eps.eps_li_1, too_many);
        if (too_many) return std::nullopt;
        patch_li(false, orders, ieps, eps_pat, rect, eps.eps_li_2, too_many);
        if (too_many) return std::nullopt;
    } else {
        patch_fourier(orders, ieps, eps_pat, rect, conv);
        linalg::mat_copy(n, eps.eps_li_1, conv);
    }

    if (!(grid_angle == 0.0) || !li_rules) {
        array1<cplx> inv_eps(ieps);
        for (int p = 1; p <= ieps; ++p) inv_eps(p) = cplx(1.0, 0.0) / eps_pat(p);
        // [[1/eps]], then its inverse.
        if (li_rules) {
            bool unused_flag = false;  // the same patches: their count passed above
            patch_fourier_stripes(orders, ieps, inv_eps, rect, eps.eps_inv_rule, unused_flag);
        } else {
            patch_fourier(orders, ieps, inv_eps, rect, eps.eps_inv_rule);
        }
        linalg::matinv(1, n, eps.eps_inv_rule);
    }
    linalg::matinv(1, n, conv);
    eps.eps_conv = std::move(conv);
    return eps;
}

grating_eps layer_eps_matrices(bool li_rules, full_mat& grid, double grid_angle,
                               const order_set& orders) {
    const int m = grid.order();
    const int n = orders.norder;
    grating_eps eps = zero_matrices(n);
    full_mat conv(n);  // [[eps]] until its inversion at the end

    eps_fourier_fft(grid, m, orders, conv);

    for (int j = 1; j <= m; ++j) {
        for (int i = 1; i <= m; ++i) {
            const cplx z = grid(i, j);
            grid(i, j) = std::conj(z) * (1.0 / (z * std::conj(z)).real());
        }
    }

    if (!li_rules || !(grid_angle == 0.0)) {
        // [[1/eps]], then its inverse.
        eps_fourier_fft(grid, m, orders, eps.eps_inv_rule);
        linalg::matinv_lapack(n, eps.eps_inv_rule);
    }

    if (li_rules) {
        grid_li_cols(grid, m, orders, eps.eps_li_1);
        grid_li_rows(grid, m, orders, eps.eps_li_2);
    } else {
        linalg::mat_copy(n, eps.eps_li_1, conv);
    }

    linalg::matinv_lapack(n, conv);
    eps.eps_conv = std::move(conv);
    return eps;
}

}  // namespace rcwa::structure
