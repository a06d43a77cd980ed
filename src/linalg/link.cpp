// The full-form link steps. Every product and inverse goes through the
// collective kernels, so every process makes the same calls in the same
// order; the element-wise steps between them matter on process 0 alone and
// are skipped elsewhere, and only process 0 holds the work matrices. t_link,
// element-wise only, runs on every process.
#include "linalg/link.hpp"

#include "linalg/distributed.hpp"
#include "parallel/processes.hpp"

namespace rcwa::linalg {

namespace {

const cplx one(1.0, 0.0);

void product(int n, cplx alpha, const full_mat& x, const full_mat& y, full_mat& z) {
    int info = 0;  // no one acts on it
    matmult(n, alpha, x, y, z, info);
}

void inverse(int n, full_mat& x) { matinv(1, n, x); }

}  // namespace

void rti_link(const full_mat& a, const full_mat& b, full_mat& r, full_mat& t, int n) {
    const bool root = parallel::process_zero();
    full_mat work1(root ? n : 0);
    full_mat work2(root ? n : 0);

    product(n, one, r, a, work1);
    if (root) {
        mat_lincomb(n, -1.0, -1.0, b, work1, work1);  // -(b + r a)
        mat_copy(n, work2, work1);
    }
    inverse(n, work2);  // -(b + r a)^-1
    product(n, one, r, a, work1);
    if (root) mat_lincomb(n, 1.0, -1.0, work1, b, work1);  // r a - b
    product(n, one, work2, work1, r);  // (b + r a)^-1 (b - r a)
    if (root) mat_copy(n, work1, t);
    product(n, one, a, r, work2);
    if (root) mat_lincomb(n, 1.0, 1.0, a, work2, work2);  // a (I + r)
    product(n, one, work1, work2, t);
}

void rt_link(const full_mat& a, const full_mat& b, full_mat& r, full_mat& t, int n) {
    const bool root = parallel::process_zero();
    full_mat work1(root ? n : 0);
    full_mat work2(root ? n : 0);

    product(n, one, a, r, work1);
    if (root) {
        mat_lincomb(n, 1.0, 1.0, a, work1, work1);  // a (I + r)
        mat_copy(n, work2, work1);
    }
    inverse(n, work2);  // M
    product(n, cplx(-1.0, 0.0), b, r, work1);
    if (root) mat_lincomb(n, 1.0, 1.0, b, work1, work1);  // b (I - r)
    product(n, one, work1, work2, r);
    if (root) mat_copy(n, work1, t);
    product(n, one, work1, work2, t);
}

cplx phase_factor(double d, cplx g) { return std::exp(cplx(0.0, d) * g); }

void t_link(double d, const array1<cplx>& gam, full_mat& r_mat, full_mat& t_mat, int norder) {
    const int n2 = 2 * norder;
    std::vector<cplx> e(static_cast<std::size_t>(n2));
    for (int k = 1; k <= n2; ++k) e[k - 1] = phase_factor(d, gam(k));
    for (int j = 1; j <= n2; ++j) {
        const cplx ej = e[j - 1];
        for (int i = 1; i <= n2; ++i) {
            r_mat(i, j) = (e[i - 1] * r_mat(i, j)) * ej;
            t_mat(i, j) = ej * t_mat(i, j);
        }
    }
}

void rti_link_gen(const full_mat& a, const full_mat& b, const full_mat& c, const full_mat& d,
                  full_mat& r, full_mat& t, int n) {
    const bool root = parallel::process_zero();
    full_mat work1(root ? n : 0);
    full_mat work2(root ? n : 0);

    product(n, one, r, b, work1);
    if (root) {
        mat_lincomb(n, 1.0, -1.0, d, work1, work1);  // d - r b
        mat_copy(n, work2, work1);
    }
    inverse(n, work2);
    product(n, one, r, a, work1);
    if (root) mat_lincomb(n, 1.0, -1.0, work1, c, work1);  // r a - c
    product(n, one, work2, work1, r);
    if (root) mat_copy(n, work1, t);
    product(n, one, b, r, work2);
    if (root) mat_lincomb(n, 1.0, 1.0, a, work2, work2);  // a + b r
    product(n, one, work1, work2, t);
}

void rt_link_gen(const full_mat& a, const full_mat& b, const full_mat& c, const full_mat& d,
                 full_mat& r, full_mat& t, int n) {
    const bool root = parallel::process_zero();
    full_mat work1(root ? n : 0);
    full_mat work2(root ? n : 0);

    product(n, one, b, r, work1);
    if (root) {
        mat_lincomb(n, 1.0, 1.0, a, work1, work1);  // a + b r
        mat_copy(n, work2, work1);
    }
    inverse(n, work2);  // M
    product(n, one, d, r, work1);
    if (root) mat_lincomb(n, 1.0, 1.0, c, work1, work1);  // c + d r
    product(n, one, work1, work2, r);
    if (root) mat_copy(n, work1, t);
    product(n, one, work1, work2, t);
}

}  // namespace rcwa::linalg
