// Serial eigen solvers (LAPACK's ZGEEVX), the propagation-constant rules and
// the routines that reorder eigenpair lists. Every reordering moves an
// eigenvalue together with its eigenvector column (and its gam entry).
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "linalg/constants.hpp"
#include "linalg/eigen_serial.hpp"
#include "linalg/lapack.hpp"
#include "platform/platform.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::linalg {

namespace {

void report_eigen_error() {
    textio::free_line line;
    line << "error during eigenroutine";
    platform::console_line(line.str());
}

cplx* column(full_mat& a, int j) { return &a(1, j); }

void swap_columns(int n, full_mat& a, int j, int k) {
    const int one = 1;
    zswap_(&n, column(a, j), &one, column(a, k), &one);
}

// ZGEEVX with the four options balanc, jobvl, jobvr, sense taken from one
// literal; right eigenvectors only.
int run_geevx(const char* options, int n, full_mat& a, array1<cplx>& eig_val, full_mat& eig_vr,
              int lwork) {
    if (eig_val.size() < n) eig_val.resize(n);
    if (eig_vr.order() < n) eig_vr.resize(n);
    const int lda = std::max(1, a.order());
    const int ldvr = std::max(1, eig_vr.order());
    const int ldvl = std::max(1, n);
    const std::size_t nn = static_cast<std::size_t>(std::max(1, n));
    std::vector<cplx> vl(nn * nn);
    std::vector<double> scale(nn);
    std::vector<double> rconde(nn);
    std::vector<double> rcondv(nn);
    std::vector<cplx> work(static_cast<std::size_t>(std::max(1, lwork)));
    std::vector<double> rwork(2 * nn);
    int ilo = 0;
    int ihi = 0;
    double abnrm = 0.0;
    int info = 0;
    lwork = std::max(1, lwork);
    zgeevx_(&options[0], &options[1], &options[2], &options[3], &n, a.data(), &lda, eig_val.data(),
            vl.data(), &ldvl, eig_vr.data(), &ldvr, &ilo, &ihi, scale.data(), &abnrm, rconde.data(),
            rcondv.data(), work.data(), &lwork, rwork.data(), &info, 1, 1, 1, 1);
    return info;
}

void fill_gam(int n, const array1<cplx>& eig_val, double q_shift, array1<cplx>& gam,
              cplx (*rule)(cplx, double)) {
    if (gam.size() < n) gam.resize(n);
    for (int k = 1; k <= n; ++k) gam(k) = rule(eig_val(k), q_shift);
}

// Centre-out position of the k-th entry of a sorted list of n.
int centre_out(int n, int k) {
    const int h = n / 2;
    return (k % 2 == 1) ? h + k / 2 + 1 : h - k / 2 + 1;
}

}  // namespace

// ---- gam rules ------------------------------------------------------------------

cplx gam_rule_a(cplx eig_val, double q_shift, double g_unit) {
    const cplx z(eig_val.real() + q_shift * q_shift, eig_val.imag());
    const cplx s = std::sqrt(z);
    cplx g(-s.imag(), s.real());
    if (g.real() < 0.0 && std::abs(g.imag()) < tiny * g_unit) g = -g;
    return g;
}

cplx gam_rule_b(cplx eig_val, double q_shift) {
    cplx w;
    csqrt_sign(w, cplx(eig_val.real() + q_shift * q_shift, eig_val.imag()), -1.0);
    cplx g(-w.imag(), w.real());
    if (std::abs(g.real()) <= tiny && std::abs(g.imag()) <= tiny) g = cplx(tiny_single, 0.0);
    return g;
}

// ---- solvers ------------------------------------------------------------------------

void eigen_geevx_bal(int n, full_mat& a, double q_shift, array1<cplx>& gam, array1<cplx>& eig_val,
                     full_mat& eig_vr) {
    if (run_geevx("BNVN", n, a, eig_val, eig_vr, n * n + 4 * n) != 0) report_eigen_error();
    fill_gam(n, eig_val, q_shift, gam, [](cplx v, double q) { return gam_rule_a(v, q); });
}

void eigen_geevx(int n, full_mat& a, double q_shift, array1<cplx>& gam, array1<cplx>& eig_val,
                 full_mat& eig_vr) {
    if (run_geevx("NNVN", n, a, eig_val, eig_vr, 3 * n) != 0) report_eigen_error();
    fill_gam(n, eig_val, q_shift, gam, gam_rule_b);
}

void eigen_geevx_sort(int n, full_mat& a, array1<cplx>& eig_val, full_mat& eig_vr) {
    run_geevx("NNVN", n, a, eig_val, eig_vr, 3 * n);  // the status is not looked at
    eigen_sort(n, eig_val, eig_vr);
}

void eigen_residual(int n, const full_mat& a, const full_mat& eig_vr, const array1<cplx>& eig_val,
                    full_mat& res) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) {
            cplx r = -eig_vr(i, j) * eig_val(j);
            for (int k = 1; k <= n; ++k) r += a(i, k) * eig_vr(k, j);
            res(i, j) = r;
        }
    }
}

// ---- ordering -------------------------------------------------------------------------

void sort_index(int m, const array1<double>& x, array1<double>& sorted, array1<int>& perm) {
    if (m < 1) return;
    if (sorted.size() < m) sorted.resize(m);
    if (perm.size() < m) perm.resize(m);
    sorted(1) = x(1);
    perm(1) = 1;
    for (int i = 2; i <= m; ++i) {
        // First entry strictly greater: equal keys keep their order, and a NaN
        // on either side never compares greater.
        int pos = i;
        for (int j = 1; j < i; ++j) {
            if (sorted(j) > x(i)) {
                pos = j;
                break;
            }
        }
        for (int j = i; j > pos; --j) {
            sorted(j) = sorted(j - 1);
            perm(j) = perm(j - 1);
        }
        sorted(pos) = x(i);
        perm(pos) = i;
    }
}

void eigen_permute(int n, array1<cplx>& eig_val, full_mat& eig_vr, const array1<int>& perm) {
    if (n < 1) return;
    const array1<cplx> val_copy = eig_val;
    const full_mat vec_copy_ = eig_vr;
    for (int j = 1; j <= n; ++j) {
        const int p = perm(j);
        eig_val(j) = val_copy(p);
        for (int i = 1; i <= n; ++i) eig_vr(i, j) = vec_copy_(i, p);
    }
}

void eigen_sort(int n, array1<cplx>& eig_val, full_mat& eig_vr) {
    if (n < 1) return;
    array1<double> key(n);
    array1<int> perm(n);
    int n_cplx = 0;
    int n_real = 0;
    for (int k = 1; k <= n; ++k) {
        const double im = eig_val(k).imag();
        if (std::abs(im) > tiny || std::isnan(im)) {
            ++n_cplx;
            key(n_cplx) = im;
            perm(n_cplx) = k;
        } else {
            ++n_real;
            key(n - n_real + 1) = eig_val(k).real();
            perm(n - n_real + 1) = k;
        }
    }
    eigen_permute(n, eig_val, eig_vr, perm);

    // Both groups sorted by their keys; one permutation applies both orders.
    array1<double> sorted(n);
    array1<int> order(n);
    for (int j = 1; j <= n; ++j) perm(j) = j;
    if (n_cplx > 0) {
        array1<double> k1(n_cplx);
        for (int j = 1; j <= n_cplx; ++j) k1(j) = key(j);
        sort_index(n_cplx, k1, sorted, order);
        for (int j = 1; j <= n_cplx; ++j) perm(j) = order(j);
    }
    if (n_real > 0) {
        array1<double> k2(n_real);
        for (int j = 1; j <= n_real; ++j) k2(j) = key(n_cplx + j);
        sort_index(n_real, k2, sorted, order);
        for (int j = 1; j <= n_real; ++j) perm(n_cplx + j) = order(j) + n_cplx;
    }
    eigen_permute(n, eig_val, eig_vr, perm);

    eigen_pair_order(n, n_cplx, n_real, eig_val, eig_vr);

    if (n_real > 0) {
        const int h = n / 2;
        const int m = n_cplx / 2;
        for (int k = 1; k <= m; k += 2) {
            if (std::abs(eig_val(k).real() - eig_val(h + k).real()) >
                std::abs(eig_val(k + 1).real() - eig_val(h + k).real())) {
                std::swap(eig_val(k), eig_val(k + 1));
                swap_columns(n, eig_vr, k, k + 1);
            }
        }
    }
}

void eigen_pair_order(int n, int n_cplx, int n_real, array1<cplx>& eig_val, full_mat& eig_vr) {
    if (n < 1) return;
    const int h = n / 2;
    const int h1 = n_cplx / 2;
    const int h2 = n_real / 2;
    array1<int> perm(n, 0);
    for (int l = 1; l <= h1; ++l) {
        perm(l) = l;
        perm(h + l) = n_cplx + 1 - l;
    }
    for (int t = 1; t <= h2; ++t) {
        perm(h1 + t) = n_cplx + t;
        perm(h + h1 + t) = n + 1 - t;
    }
    // A group of odd count leaves its middle entry unpaired and one position
    // unfilled; the middles go to the unfilled positions in order, so that no
    // eigenpair is lost or doubled.
    std::vector<int> middles;
    if (n_cplx % 2 == 1) middles.push_back(h1 + 1);
    if (n_real % 2 == 1) middles.push_back(n_cplx + h2 + 1);
    std::size_t next = 0;
    for (int j = 1; j <= n; ++j) {
        if (perm(j) == 0) perm(j) = next < middles.size() ? middles[next++] : j;
    }
    eigen_permute(n, eig_val, eig_vr, perm);
}

void eigen_sort2(int n, array1<cplx>& eig_val, full_mat& eig_vr) {
    if (n < 1) return;
    array1<double> key(n);
    for (int k = 1; k <= n; ++k) key(k) = eig_val(k).imag();
    array1<double> sorted(n);
    array1<int> perm(n);
    sort_index(n, key, sorted, perm);
    // Reverse positions h+1..n (for odd n the whole tail, so the pairing
    // stays symmetric).
    const int h = n / 2;
    for (int j = h + 1; j < n + h + 1 - j; ++j) std::swap(perm(j), perm(n + h + 1 - j));
    eigen_permute(n, eig_val, eig_vr, perm);
}

void eigen_swap_halves(int n, array1<cplx>& eig_val, full_mat& eig_vr) {
    if (n < 1) return;
    const int h = n / 2;
    array1<int> perm(n);
    for (int t = 1; t <= h; ++t) {
        perm(t) = h + t;
        perm(h + t) = t;
    }
    if (n % 2 == 1) perm(n) = n;  // odd n: the last entry stays
    eigen_permute(n, eig_val, eig_vr, perm);
}

void split_pairs(int n, const array1<double>& x, array1<double>& y, array1<int>& perm) {
    const int h = n / 2;
    for (int i = 1; i <= h; ++i) {
        y(i) = x(2 * i - 1);
        y(h + i) = x(2 * i);
        perm(i) = 2 * i - 1;
        perm(h + i) = 2 * i;
    }
    if (n % 2 == 1 && n > 0) {  // odd n: the unpaired last entry stays last
        y(n) = x(n);
        perm(n) = n;
    }
}

void eigen_sort_abs(int n, array1<cplx>& eig_val, array1<cplx>& val_tmp, full_mat& eig_vr,
                    array1<double>& mag, full_mat& vec_tmp) {
    if (n < 1) return;
    for (int k = 1; k <= n; ++k) {
        const cplx v = eig_val(k);
        mag(k) = std::sqrt(v.real() * v.real() + v.imag() * v.imag());
    }
    for (int i = 1; i <= n - 1; ++i) {
        const int last = n - i + 1;
        int cand = 1;
        for (int j = 2; j <= last; ++j) {
            if (mag(j) >= mag(cand)) cand = j;  // the last of equal maxima; NaN never wins
        }
        if (cand != last) {
            std::swap(eig_val(cand), eig_val(last));
            std::swap(mag(cand), mag(last));
            swap_columns(n, eig_vr, cand, last);
        }
    }
    for (int k = 1; k <= n; ++k) {
        const int p = centre_out(n, k);
        val_tmp(p) = eig_val(k);
        vec_copy(n, column(vec_tmp, p), column(eig_vr, k));
    }
    for (int k = 1; k <= n; ++k) {
        vec_copy(n, column(eig_vr, k), column(vec_tmp, k));
        eig_val(k) = val_tmp(k);
    }
}

void eigen_sort_re_im(int n, array1<cplx>& eig_val, array1<cplx>& val_tmp, full_mat& eig_vr,
                      array1<cplx>& gam, array1<cplx>& gam_tmp, full_mat& vec_tmp,
                      array1<double>& key) {
    if (n < 1) return;
    auto exchange = [&](int j, int k) {
        std::swap(eig_val(j), eig_val(k));
        std::swap(gam(j), gam(k));
        std::swap(key(j), key(k));
        swap_columns(n, eig_vr, j, k);
    };

    // Descending real part: the smallest goes to the end of the unsorted part.
    for (int k = 1; k <= n; ++k) key(k) = gam(k).real();
    for (int i = 1; i <= n - 1; ++i) {
        const int last = n - i + 1;
        int cand = 1;
        for (int j = 2; j <= last; ++j) {
            if (key(j) < key(cand)) cand = j;  // the first of equal minima; NaN never wins
        }
        if (cand != last) exchange(cand, last);
    }

    // The tail without a real part, ascending by imaginary part.
    int s = 0;
    for (int k = 1; k <= n; ++k) {
        if (key(k) < tiny_single) {
            s = k;
            break;
        }
    }
    if (s > 0) {
        for (int k = 1; k <= n; ++k) key(k) = gam(k).imag();
        for (int i = s; i <= n - 1; ++i) {
            int cand = i;
            for (int j = i + 1; j <= n; ++j) {
                if (key(j) < key(cand)) cand = j;
            }
            if (cand != i) exchange(cand, i);
        }
    }

    for (int k = 1; k <= n; ++k) {
        vec_copy(n, column(vec_tmp, k), column(eig_vr, k));
        gam_tmp(k) = gam(k);
        val_tmp(k) = eig_val(k);
    }
    for (int k = 1; k <= n; ++k) {
        const int p = centre_out(n, k);
        eig_val(p) = val_tmp(k);
        gam(p) = gam_tmp(k);
        vec_copy(n, column(eig_vr, p), column(vec_tmp, k));
    }
}

}  // namespace rcwa::linalg
