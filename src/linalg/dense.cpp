#include "linalg/dense.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "linalg/constants.hpp"
#include "linalg/lapack.hpp"
#include "platform/platform.hpp"

namespace rcwa::linalg {

namespace {

// Fresh memory costs a page fault (and the system's zeroing of the page) at
// its first write; for the run's large matrices that is a noticeable part of
// a run when one thread takes it. The threads that BLAS may use take the
// faults side by side instead.
void first_touch(cplx* p, std::size_t bytes) {
    const int threads = std::max(1, openblas_get_num_threads());
    if (threads == 1) return;
    unsigned char* base = reinterpret_cast<unsigned char*>(p);
    const std::size_t chunk = (bytes + threads - 1) / threads;
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        const std::size_t from = std::min(bytes, chunk * static_cast<std::size_t>(t));
        const std::size_t len = std::min(bytes - from, chunk);
        if (len > 0) pool.emplace_back([base, from, len] { std::memset(base + from, 0, len); });
    }
    for (std::thread& th : pool) th.join();
}

}  // namespace

void full_mat::resize(int n) {
    n_ = n < 0 ? 0 : n;
    const std::size_t entries = static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_);
    // A large matrix gets fresh storage with the large-page hint before its
    // first use; the hint is pointless below a few large pages.
    if (entries * sizeof(cplx) >= (std::size_t{8} << 20) && entries != a_.size()) {
        a_ = std::vector<cplx>();
        a_.reserve(entries);
        platform::prefer_large_pages(a_.data(), entries * sizeof(cplx));
        first_touch(a_.data(), entries * sizeof(cplx));
    }
    a_.assign(entries, cplx(0.0, 0.0));
}


// The entry-wise routines run columns in the outer loop and rows in the
// inner one, along the column-major storage; each output entry depends only
// on the input entries at its own place, so an output that is also an input
// is read before it is written whatever the order.

void mat_lincomb(int n, double s1, double s2, const full_mat& x, const full_mat& y, full_mat& z) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) z(i, j) = s1 * x(i, j) + s2 * y(i, j);
    }
}

void mat_set_diag(int n, full_mat& a, cplx v) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) a(i, j) = cplx(0.0, 0.0);
        a(j, j) = v;
    }
}

void mat_scale(int n, full_mat& a, double s) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) a(i, j) = s * a(i, j);
    }
}

void mat_copy(int n, full_mat& dst, const full_mat& src) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) dst(i, j) = src(i, j);
    }
}

void mul_2x2(const mat2& a, const mat2& b, mat2& c) {
    // c may be a or b: the product is formed apart and copied out at the end.
    static mat2 m2_tmp;
    m2_tmp[0] = a[0] * b[0] + a[2] * b[1];
    m2_tmp[1] = a[1] * b[0] + a[3] * b[1];
    m2_tmp[2] = a[0] * b[2] + a[2] * b[3];
    m2_tmp[3] = a[1] * b[2] + a[3] * b[3];
    for (int k = 0; k < 4; ++k) c[k] = m2_tmp[k];
}

void csqrt_sign(cplx& w, cplx z, double s) {
    const double re = z.real();
    const double im = z.imag();
    const double m = std::sqrt(re * re + im * im);
    // m >= |re| holds except when re*re underflows; clamping keeps a tiny
    // argument from turning into a NaN there.
    const double wr = std::sqrt(std::max((m + re) * 0.5, 0.0));
    const double wi = s * std::sqrt(std::max((m - re) * 0.5, 0.0));
    w = cplx(wr, wi);
}

void matinv_lapack(int n, full_mat& a) {
    if (n <= 0) return;
    assert(a.order() >= n);
    std::vector<int> pivots(static_cast<std::size_t>(n));
    full_mat e(n);
    mat_set_diag(n, e, cplx(0.0, 0.0));
    for (int i = 1; i <= n; ++i) e(i, i) = cplx(1.0, 0.0);

    const int lda = a.order();
    int info = 0;
    // A singular matrix is not reported: the solve leaves infinities or NaNs.
    zgetrf_(&n, &n, a.data(), &lda, pivots.data(), &info);
    const char trans = 'N';
    zgetrs_(&trans, &n, &n, a.data(), &lda, pivots.data(), e.data(), &n, &info, 1);
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) a(i, j) = e(i, j);
    }
}

double phase_deg(cplx z) {
    return 180.0 * std::atan2(z.imag(), z.real()) / pi;
}

double c_modulus(cplx z) {
    // sqrt(re^2 + im^2) as written, without the scaling of std::abs (hypot):
    // the two can differ in the last bit, and every modulus a run writes comes
    // from this one formula. Amplitudes are far from overflow.
    return std::sqrt(z.real() * z.real() + z.imag() * z.imag());
}

// ---- routines that no step of a run calls -------------------------------------

void matmul_naive(int n, const full_mat& a, const full_mat& b, full_mat& c) {
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) {
            cplx sum(0.0, 0.0);
            for (int k = 1; k <= n; ++k) sum += a(i, k) * b(k, j);
            c(i, j) = sum;
        }
    }
}

void matmul_naive2(int n, const full_mat& a, const full_mat& b, full_mat& c) {
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) {
            cplx sum(0.0, 0.0);
            for (int k = 1; k <= n; ++k) sum = sum + a(i, k) * b(k, j);
            c(i, j) = sum;
        }
    }
}

void diag_mul(int n, const std::vector<cplx>& v, const full_mat& a, full_mat& c) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) c(i, j) = v[static_cast<std::size_t>(i - 1)] * a(i, j);
    }
}

void mat_addsub(bool flag, int n, const full_mat& a, const full_mat& b, full_mat& c) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) c(i, j) = flag ? a(i, j) + b(i, j) : a(i, j) - b(i, j);
    }
}

void mat_add_diag(bool flag, int n, cplx v, const full_mat& a, full_mat& c) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) {
            cplx t = a(i, j);
            if (i == j) t += v;
            c(i, j) = flag ? -t : t;
        }
    }
}

void mat_negate(int n, full_mat& a) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) a(i, j) = -a(i, j);  // a zero becomes -0
    }
}

void vec_copy(int n, cplx* dst, const cplx* src) {
    for (int i = 0; i < n; ++i) dst[i] = src[i];
}

float mat_norm(int n, const full_mat& a) {
    // A size measure, not an accurate norm: each term is added in double and
    // the running sum rounded back to float, and the root is single too, so
    // small terms after a large one are lost.
    // Row by row: the rounding of the sum depends on the order of its terms.
    float sum = 0.0f;
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) {
            const double re = a(i, j).real();
            const double im = a(i, j).imag();
            sum = static_cast<float>(static_cast<double>(sum) + (re * re + im * im));
        }
    }
    return std::sqrt(sum);
}

}  // namespace rcwa::linalg
