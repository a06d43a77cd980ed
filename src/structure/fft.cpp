// Radix-2 complex FFT of power-of-two length, in place, unscaled. The stage
// count, the angle step and every twiddle factor are single precision: the
// pixel-map matrices of the system carry exactly this rounding.
#include "structure/fft.hpp"

#include <cmath>
#include <utility>
#include <vector>

#include "linalg/constants.hpp"

namespace rcwa::structure {

void c_swap(cplx& a, cplx& b) { std::swap(a, b); }

void fft_1d(int n, cplx* x, int sign) {
    // Only power-of-two lengths are defined; any other would index outside x.
    if (n < 2 || (n & (n - 1)) != 0) return;

    // Stage count in single precision on purpose, like the twiddles below.
    const float lnn = std::log(static_cast<float>(n));
    const int m = static_cast<int>(std::lround(lnn / 0.6931472f));
    const int half = n / 2;

    // Bit reversal (0-based positions). rev(i) reverses the m low bits of an
    // even i below n/2; integer halving is exact, as the single-precision one is.
    auto rev = [&](int i) {
        int r = 0;
        int wgt = half;
        int v = i;
        for (int k = 1; k < m; ++k) {  // bits 0..m-2; bit m-1 of an i below n/2 is 0
            r += (v % 2) * wgt;
            v /= 2;
            wgt /= 2;
        }
        return r;
    };
    for (int i = 0; i <= half - 2; i += 2) {
        const int r = rev(i);
        if (r > i) {
            c_swap(x[i], x[r]);
            c_swap(x[i + half + 1], x[r + half + 1]);
        }
        c_swap(x[i + 1], x[r + half]);
    }

    // Twiddle table: w[k] = cos(k theta), k = 0..n/4; the step in single precision.
    const float theta_f = static_cast<float>(linalg::two_pi) / static_cast<float>(n);
    const double theta = theta_f;
    const double cs = std::cos(theta);
    const double sn = std::sin(theta);
    const int q = n / 4;
    std::vector<double> w(static_cast<std::size_t>(q + 1));
    w[0] = 1.0;
    w[static_cast<std::size_t>(q)] = 0.0;
    double cr = 1.0, sr = 0.0;
    for (int k = 1; k <= n / 8; ++k) {
        const double cr_new = cr * cs - sr * sn;
        sr = sr * cs + cr * sn;
        cr = cr_new;
        w[static_cast<std::size_t>(k)] = cr;
        w[static_cast<std::size_t>(q - k)] = sr;
    }

    for (int j = 0; j < m; ++j) {
        const int hs = 1 << j;
        const int gc = 1 << (m - 1 - j);
        for (int e = 0; e < gc; ++e) {
            for (int g = 0; g < hs; ++g) {
                const int top = 2 * hs * e + g;
                const int bottom = top + hs;
                const int jj = gc * g;
                double wr, wi;
                if (jj == 0) {
                    // The first twiddle is 1; the table's two ends coincide when n = 2.
                    wr = 1.0;
                    wi = 0.0;
                } else if (jj <= q) {
                    wr = w[static_cast<std::size_t>(jj)];
                    wi = sign * w[static_cast<std::size_t>(q - jj)];
                } else {
                    wr = -w[static_cast<std::size_t>(half - jj)];
                    wi = sign * w[static_cast<std::size_t>(jj - q)];
                }
                // Twiddles rounded to single precision on purpose (see the file head).
                wr = static_cast<float>(wr);
                wi = static_cast<float>(wi);
                const cplx t = cplx(wr, wi) * x[bottom];
                const cplx old_top = x[top];
                x[top] = old_top + t;
                x[bottom] = old_top - t;
            }
        }
    }
}

void fft_1d(int n, array1<cplx>& x, int sign) { fft_1d(n, x.data(), sign); }

void fft_2d(int n, full_mat& a, int sign) {
    full_mat work(n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) work(j, i) = a(i, j);
    for (int j = 1; j <= n; ++j) fft_1d(n, &work(1, j), sign);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) a(i, j) = work(j, i);
    for (int j = 1; j <= n; ++j) fft_1d(n, &a(1, j), sign);
}

void fft_1d_centred(int n, cplx* x, int sign) {
    auto half_swap = [&]() {
        const int h = n / 2;
        std::vector<cplx> tmp(x, x + n);
        for (int i = 1; i <= n; ++i) x[i - 1] = i <= h ? tmp[i + h - 1] : tmp[i - h - 1];
    };
    half_swap();
    fft_1d(n, x, sign);
    half_swap();
}

}  // namespace rcwa::structure
