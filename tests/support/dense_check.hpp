// Header-only helpers for checking dense complex results: random operands,
// differences and residuals written out here, and serial LAPACK references.
// Needs only rcwa_linalg (and LAPACK through it), so unit tests and benches
// may include it as well as the mpi tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <random>
#include <vector>

#include "linalg/dense.hpp"
#include "linalg/lapack.hpp"

namespace rcwa_test {

using rcwa::linalg::array1;
using rcwa::linalg::cplx;
using rcwa::linalg::full_mat;

// n by n, column by column, each entry (u, u) with u uniform in [-1, 1) from
// gen; diag_boost is added to the diagonal afterwards.
template <class Gen>
full_mat random_full(Gen& gen, int n, double diag_boost = 0.0) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    full_mat a(n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) a(i, j) = cplx(u(gen), u(gen));
    for (int i = 1; i <= n; ++i) a(i, i) += diag_boost;
    return a;
}

inline full_mat identity(int n) {
    full_mat e(n);
    for (int i = 1; i <= n; ++i) e(i, i) = 1.0;
    return e;
}

// s1*a + s2*b
inline full_mat lin(double s1, const full_mat& a, double s2, const full_mat& b) {
    const int n = a.order();
    full_mat c(n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) c(i, j) = s1 * a(i, j) + s2 * b(i, j);
    return c;
}

// a*b written out, independent of the library.
inline full_mat mul(const full_mat& a, const full_mat& b) {
    const int n = a.order();
    full_mat c(n);
    for (int j = 1; j <= n; ++j)
        for (int k = 1; k <= n; ++k)
            for (int i = 1; i <= n; ++i) c(i, j) += a(i, k) * b(k, j);
    return c;
}

inline double max_abs(const full_mat& a) {
    double m = 0.0;
    for (int j = 1; j <= a.order(); ++j)
        for (int i = 1; i <= a.order(); ++i) m = std::max(m, std::abs(a(i, j)));
    return m;
}

// max |a - b| over the entries
inline double max_diff(const full_mat& a, const full_mat& b) {
    double d = 0.0;
    for (int j = 1; j <= a.order(); ++j)
        for (int i = 1; i <= a.order(); ++i) d = std::max(d, std::abs(a(i, j) - b(i, j)));
    return d;
}

// The same order and bit for bit the same entries.
inline bool same(const full_mat& a, const full_mat& b) {
    if (a.order() != b.order()) return false;
    for (int j = 1; j <= a.order(); ++j)
        for (int i = 1; i <= a.order(); ++i)
            if (a(i, j) != b(i, j)) return false;
    return true;
}

inline bool same(const array1<cplx>& a, const array1<cplx>& b) {
    if (a.size() != b.size()) return false;
    for (int k = 1; k <= a.size(); ++k)
        if (a(k) != b(k)) return false;
    return true;
}

// ---- serial references, straight from BLAS and LAPACK -------------------------

inline full_mat zgemm_product(cplx alpha, const full_mat& a, const full_mat& b) {
    int n = a.order();
    full_mat c(n);
    const cplx beta(0.0, 0.0);
    zgemm_("N", "N", &n, &n, &n, &alpha, a.data(), &n, b.data(), &n, &beta, c.data(), &n, 1, 1);
    return c;
}

// By ZGETRF and ZGETRS on the identity.
inline full_mat lapack_inverse(const full_mat& a) {
    int n = a.order();
    full_mat lu = a;
    full_mat e = identity(n);
    std::vector<int> piv(static_cast<std::size_t>(n));
    int info = 0;
    zgetrf_(&n, &n, lu.data(), &n, piv.data(), &info);
    zgetrs_("N", &n, &n, lu.data(), &n, piv.data(), e.data(), &n, &info, 1);
    return e;
}

// The spectrum by serial ZGEEVX (balancing, no vectors); info is LAPACK's.
inline std::vector<cplx> zgeevx_eigenvalues(const full_mat& a0, int& info) {
    full_mat a = a0;
    int n = a.order();
    std::vector<cplx> w(static_cast<std::size_t>(n));
    std::vector<cplx> vl(1);
    std::vector<cplx> vr(1);
    int ilo = 0;
    int ihi = 0;
    double abnrm = 0.0;
    std::vector<double> scale(static_cast<std::size_t>(n));
    std::vector<double> rce(static_cast<std::size_t>(n));
    std::vector<double> rcv(static_cast<std::size_t>(n));
    int lwork = 4 * n * n + 4 * n;
    std::vector<cplx> work(static_cast<std::size_t>(lwork));
    std::vector<double> rwork(2 * static_cast<std::size_t>(n));
    int one = 1;
    info = 0;
    zgeevx_("B", "N", "N", "N", &n, a.data(), &n, w.data(), vl.data(), &one, vr.data(), &one, &ilo, &ihi,
            scale.data(), &abnrm, rce.data(), rcv.data(), work.data(), &lwork, rwork.data(), &info, 1, 1, 1, 1);
    return w;
}

// ---- eigenpair residuals ------------------------------------------------------

// max |a*vr - vr*diag(w)| relative to max|a|*n
inline double right_residual(const full_mat& a, const array1<cplx>& w, const full_mat& vr) {
    const int n = a.order();
    double r = 0.0;
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
            cplx s = -vr(i, j) * w(j);
            for (int k = 1; k <= n; ++k) s += a(i, k) * vr(k, j);
            r = std::max(r, std::abs(s));
        }
    return r / (max_abs(a) * n);
}

// max |vl^H*a - diag(w)*vl^H| relative to max|a|*n
inline double left_residual(const full_mat& a, const array1<cplx>& w, const full_mat& vl) {
    const int n = a.order();
    double r = 0.0;
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
            cplx s = -w(i) * std::conj(vl(j, i));
            for (int k = 1; k <= n; ++k) s += std::conj(vl(k, i)) * a(k, j);
            r = std::max(r, std::abs(s));
        }
    return r / (max_abs(a) * n);
}

}  // namespace rcwa_test
