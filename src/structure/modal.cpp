// Half-spaces and homogeneous layers.
#include "structure/modal.hpp"

#include <cmath>
#include <vector>

#include "linalg/constants.hpp"
#include "linalg/lapack.hpp"
#include "linalg/link.hpp"
#include "structure/orders.hpp"

namespace rcwa::structure {

using linalg::mat2;
using linalg::mul_2x2;

namespace {

using linalg::deg_to_rad;

cplx times_i(cplx z) { return cplx(-z.imag(), z.real()); }

struct order_k {
    double ky, kz;
};

order_k order_wave(int o, const order_set& orders) { return {orders.ky(o), orders.kz(o)}; }

double order_kt(const order_k& k, double c, double s) {
    return std::sqrt(k.kz * k.kz + k.ky * k.ky - (k.kz + k.kz) * k.ky * s) / c;
}

// The order's polarisation basis B (TE, TM from the in-plane direction on
// the oblique lattice); an order at normal incidence takes the lattice axes.
void basis(const order_k& k, double c, double s, mat2& b) {
    const double kt = order_kt(k, c, s);
    if (kt == 0.0) {
        b[0] = c, b[1] = 0.0, b[2] = s, b[3] = 1.0;
    } else {
        b[0] = (k.ky - k.kz * s) / (kt * c);
        b[1] = (k.ky * s - k.kz) / (kt * c);
        b[2] = k.kz / kt;
        b[3] = k.ky / kt;
    }
}

void basis_inv(const order_k& k, double c, double s, mat2& b) {
    const double kt = order_kt(k, c, s);
    if (kt == 0.0) {
        b[0] = 1.0 / c, b[1] = 0.0, b[2] = -s / c, b[3] = 1.0;
    } else {
        const double c2 = c * c;
        b[0] = k.ky / (c * kt);
        b[1] = (k.kz - k.ky * s) / (c2 * kt);
        b[2] = -k.kz / (c * kt);
        b[3] = (k.ky - k.kz * s) / (c2 * kt);
    }
}

// kt^2 - c^2 k0^2 eps of an order in the oblique coordinates; the real terms
// act on the real part only.
cplx order_w(const order_k& k, double c, double s, cplx kk) {
    return (k.kz * k.kz + k.ky * k.ky) - c * (c * kk) - (k.kz + k.kz) * k.ky * s;
}

void get_block(const full_mat& m, int n, int o, int p, mat2& b) {
    b[0] = m(o, p), b[1] = m(n + o, p), b[2] = m(o, n + p), b[3] = m(n + o, n + p);
}

void put_block(full_mat& m, int n, int o, int p, const mat2& b) {
    m(o, p) = b[0], m(n + o, p) = b[1], m(o, n + p) = b[2], m(n + o, n + p) = b[3];
}

}  // namespace

void halfspace_te_tm(const order_set& orders, double grid_angle, full_mat& r_mat, full_mat& t_mat,
                     const array1<cplx>& kn_sub, cplx k_sub, double d_sub) {
    const int norder = orders.norder;
    const int n2 = 2 * norder;
    linalg::mat_set_diag(n2, r_mat, cplx(0.0, 0.0));
    linalg::mat_set_diag(n2, t_mat, cplx(0.0, 0.0));
    const double a = grid_angle * deg_to_rad;
    const double c = std::cos(a);
    const double s = std::sin(a);
    mat2 b, bi, sm, dm, w;
    for (int o = 1; o <= norder; ++o) {
        const order_k k = order_wave(o, orders);
        basis(k, c, s, b);
        basis_inv(k, c, s, bi);
        const cplx kap = kn_sub(o);
        const cplx e = linalg::phase_factor(d_sub, kap);
        sm[0] = 0.0, sm[1] = kap, sm[2] = -k_sub / kap, sm[3] = 0.0;
        dm[0] = e, dm[1] = 0.0, dm[2] = 0.0, dm[3] = -(e * k_sub) / kap;
        mul_2x2(sm, bi, w);
        mul_2x2(b, w, w);
        put_block(r_mat, norder, o, o, w);
        mul_2x2(dm, bi, w);
        put_block(t_mat, norder, o, o, w);
    }
}

void oblique_basis(const order_set& orders, double grid_angle, full_mat& r_mat, full_mat& t_mat) {
    const int norder = orders.norder;
    const double a = grid_angle * deg_to_rad;
    const double c = std::cos(a);
    const double s = std::sin(a);
    // The bases of every order once, not once per block.
    struct bases_of {
        mat2 b, bi;
    };
    std::vector<bases_of> bases(static_cast<std::size_t>(norder));
    for (int o = 1; o <= norder; ++o) {
        const order_k k = order_wave(o, orders);
        basis(k, c, s, bases[static_cast<std::size_t>(o - 1)].b);
        basis_inv(k, c, s, bases[static_cast<std::size_t>(o - 1)].bi);
    }
    mat2 w;
    // Column blocks outermost: the blocks of one column lie in the same
    // columns of the matrices.
    for (int p = 1; p <= norder; ++p) {
        const mat2& bp = bases[static_cast<std::size_t>(p - 1)].b;
        for (int o = 1; o <= norder; ++o) {
            const mat2& bi = bases[static_cast<std::size_t>(o - 1)].bi;
            get_block(r_mat, norder, o, p, w);
            mul_2x2(w, bp, w);
            mul_2x2(bi, w, w);
            put_block(r_mat, norder, o, p, w);
            get_block(t_mat, norder, o, p, w);
            mul_2x2(w, bp, w);
            put_block(t_mat, norder, o, p, w);
        }
    }
}

void uniform_blocks(const array1<cplx>& kn, cplx k, full_mat& p, full_mat& q, full_mat& x,
                    full_mat& y, int norder) {
    const int n2 = 2 * norder;
    const cplx zero(0.0, 0.0);
    linalg::mat_set_diag(n2, p, zero);
    linalg::mat_set_diag(n2, q, zero);
    linalg::mat_set_diag(n2, x, zero);
    linalg::mat_set_diag(n2, y, zero);
    for (int i = 1; i <= norder; ++i) {
        const cplx kap = kn(i);
        const int j = norder + i;
        p(i, i) = 1.0;
        p(j, j) = -kap / k;
        q(i, i) = 1.0;
        q(j, j) = kap / k;
        x(i, j) = 1.0;
        x(j, i) = kap;
        y(i, j) = 1.0;
        y(j, i) = -kap;
    }
}

void kn_uniform(const order_set& orders, double grid_angle, double k0sq, cplx eps, bd_mat& out) {
    const int norder = orders.norder;
    out.resize(norder);
    const double a = grid_angle * deg_to_rad;
    const double c = std::cos(a);
    const double s = std::sin(a);
    const cplx kk = k0sq * eps;
    for (int i = 1; i <= norder; ++i) {
        const order_k k = order_wave(i, orders);
        // Real terms act on the real part only.
        const cplx w = order_w(k, c, s, kk);
        // At grazing exit the link steps would meet a zero block.
        cplx g;
        linalg::csqrt_sign(g, -grazing_floor(-w, orders.k_unit), -1.0);
        out(i, 1) = g;
        out(i, 4) = g;
    }
}

void uniform_q_blocks(const order_set& orders, double grid_angle, double k0sq, cplx eps,
                      bd_mat& out) {
    const int norder = orders.norder;
    out.resize(norder);
    const double a = grid_angle * deg_to_rad;
    const double c = std::cos(a);
    const double s = std::sin(a);
    for (int i = 1; i <= norder; ++i) {
        const order_k k = order_wave(i, orders);
        // An order at grazing exit is taken at the floor of kn_uniform, or
        // two such layers in a row would leave a zero row to invert.
        const cplx kk0 = k0sq * eps;
        const cplx kk = kk0 + grazing_shift(order_w(k, c, s, kk0), c, orders.k_unit);
        out(i, 1) = times_i(s * kk - k.ky * k.kz);
        out(i, 2) = times_i(k.kz * k.kz - kk);
        out(i, 3) = times_i(kk - k.ky * k.ky);
        out(i, 4) = -out(i, 1);
    }
}

void uniform_layer(const order_set& orders, double grid_angle, cplx eps, double k0sq, full_mat& p,
                   full_mat& q, full_mat& x, full_mat& y) {
    const int norder = orders.norder;
    const int n2 = 2 * norder;
    linalg::mat_set_diag(n2, p, cplx(0.0, 0.0));
    linalg::mat_set_diag(n2, y, cplx(0.0, 0.0));
    bd_mat work1(norder), work2(norder);
    kn_uniform(orders, grid_angle, k0sq, eps, work1);
    for (int i = 1; i <= norder; ++i) {
        p(i, i) = work1(i, 1);
        p(norder + i, norder + i) = work1(i, 4);
    }
    const int total = n2 * n2;
    const int inc = 1;
    zcopy_(&total, p.data(), &inc, q.data(), &inc);
    uniform_q_blocks(orders, grid_angle, k0sq, eps, work2);
    for (int i = 1; i <= norder; ++i) {
        const int j = norder + i;
        y(i, i) = work2(i, 1);
        y(i, j) = work2(i, 2);
        y(j, i) = work2(i, 3);
        y(j, j) = work2(i, 4);
    }
    for (int jj = 1; jj <= n2; ++jj)
        for (int ii = 1; ii <= n2; ++ii) x(ii, jj) = -y(ii, jj);
}

void uniform_layer_bd(const order_set& orders, double grid_angle, cplx eps, double k0sq,
                      bd_mat& p_bd, bd_mat& q_bd, bd_mat& x_bd, bd_mat& y_bd) {
    const int norder = orders.norder;
    p_bd.resize(norder);
    q_bd.resize(norder);
    x_bd.resize(norder);
    y_bd.resize(norder);
    bd_mat work1(norder), work2(norder);
    kn_uniform(orders, grid_angle, k0sq, eps, work1);
    uniform_q_blocks(orders, grid_angle, k0sq, eps, work2);
    for (int i = 1; i <= norder; ++i) {
        p_bd(i, 1) = work1(i, 1);
        p_bd(i, 4) = work1(i, 4);
        for (int col = 1; col <= 4; ++col) {
            q_bd(i, col) = p_bd(i, col);
            y_bd(i, col) = work2(i, col);
            x_bd(i, col) = -work2(i, col);
        }
    }
}

// ---- routines that no step of a run calls ----

void uniform_layer_alt(int norder, const array1<cplx>& kn, cplx eps, bd_mat& m1, bd_mat& m2,
                       bd_mat& m3, bd_mat& m4) {
    m1.resize(norder);
    m2.resize(norder);
    m3.resize(norder);
    m4.resize(norder);
    for (int i = 1; i <= norder; ++i) {
        m1(i, 1) = m2(i, 1) = 1.0;
        m1(i, 4) = m2(i, 4) = 1.0;
        m3(i, 1) = kn(i);
        m3(i, 4) = -kn(i) / eps;
        for (int col = 1; col <= 4; ++col) m4(i, col) = -m3(i, col);
    }
}

void eigen_branch(int norder, array1<int>& idx, array1<double>& im, array1<cplx>& z) {
    for (int i = 1; i <= norder; ++i) {
        const cplx v = z(i);
        const double ai = std::fabs(v.imag());
        if ((v.imag() < 0.0 && ai > 1e-12) || (v.real() < 0.0 && ai < 1e-12)) z(i) = -v;
        im(i) = z(i).imag();
        idx(i) = i;
    }
}

}  // namespace rcwa::structure
