// The radix-2 FFT against a naive double-precision DFT; its twiddles are
// single precision, so agreement is to about 1e-7 relative.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "structure/fft.hpp"
#include "unit/structure_fourier_support.hpp"

namespace {

using namespace fourier_test;
using rcwa::structure::fft_1d;
using rcwa::structure::fft_1d_centred;
using rcwa::structure::fft_2d;

std::vector<cplx> naive_dft(const std::vector<cplx>& x, int sign) {
    const int n = static_cast<int>(x.size());
    std::vector<cplx> y(x.size());
    for (int k = 0; k < n; ++k) {
        cplx s(0.0, 0.0);
        for (int j = 0; j < n; ++j) {
            const long long jk = static_cast<long long>(j) * k % n;
            s += x[static_cast<std::size_t>(j)] * std::exp(cplx(0.0, sign * 2.0 * pi * jk / n));
        }
        y[static_cast<std::size_t>(k)] = s;
    }
    return y;
}

std::vector<cplx> random_vec(int n, std::mt19937& g) {
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    std::vector<cplx> x(static_cast<std::size_t>(n));
    for (auto& v : x) v = cplx(d(g), d(g));
    return x;
}

double max_diff(const std::vector<cplx>& a, const std::vector<cplx>& b) {
    double m = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) m = std::max(m, std::abs(a[i] - b[i]));
    return m;
}

TEST(Fft, MatchesNaiveDftForEveryPowerOfTwo) {
    std::mt19937 g(3);
    for (int n = 1; n <= 64; n *= 2) {
        for (int sign : {-1, 1}) {
            std::vector<cplx> x = random_vec(n, g);
            std::vector<cplx> want = naive_dft(x, sign);
            fft_1d(n, x.data(), sign);
            EXPECT_LT(max_diff(x, want), 2e-7 * n) << "n=" << n << " sign=" << sign;
        }
    }
}

TEST(Fft, RoundTripGivesNTimesInput) {
    std::mt19937 g(5);
    for (int n = 1; n <= 64; n *= 2) {
        const std::vector<cplx> x0 = random_vec(n, g);
        std::vector<cplx> x = x0;
        fft_1d(n, x.data(), -1);
        fft_1d(n, x.data(), 1);
        for (auto& v : x) v /= n;
        EXPECT_LT(max_diff(x, x0), 1e-6) << n;
    }
}

TEST(Fft, SmallLengthsExactly) {
    std::vector<cplx> one{cplx(2.5, -1.0)};
    fft_1d(1, one.data(), -1);
    EXPECT_EQ(one[0], cplx(2.5, -1.0));
    for (int sign : {-1, 1}) {
        std::vector<cplx> two{cplx(1.0, 2.0), cplx(0.5, -3.0)};
        fft_1d(2, two.data(), sign);
        EXPECT_EQ(two[0], cplx(1.5, -1.0));
        EXPECT_EQ(two[1], cplx(0.5, 5.0));
    }
    // Length 4: the twiddles are 1 and sign*i, exact in any precision.
    std::vector<cplx> four{cplx(1, 0), cplx(2, 0), cplx(3, 0), cplx(4, 0)};
    fft_1d(4, four.data(), -1);
    EXPECT_EQ(four[0], cplx(10, 0));
    EXPECT_EQ(four[1], cplx(-2, 2));
    EXPECT_EQ(four[2], cplx(-2, 0));
    EXPECT_EQ(four[3], cplx(-2, -2));
}

TEST(Fft, ImpulseAndConstant) {
    const int n = 32;
    std::vector<cplx> x(n, cplx(0.0, 0.0));
    x[0] = 1.0;
    fft_1d(n, x.data(), -1);
    for (const auto& v : x) EXPECT_LT(std::abs(v - cplx(1.0, 0.0)), 1e-15);
    std::vector<cplx> c(n, cplx(1.0, 0.0));
    fft_1d(n, c.data(), 1);
    EXPECT_LT(std::abs(c[0] - cplx(n, 0.0)), 1e-12);
    for (int k = 1; k < n; ++k) EXPECT_LT(std::abs(c[static_cast<std::size_t>(k)]), 1e-5);
}

TEST(Fft, TwoDimensionalMatchesNaive) {
    std::mt19937 g(9);
    const int n = 8;
    full_mat a(n);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) a(i, j) = cplx(d(g), d(g));
    full_mat want(n);
    for (int k2 = 0; k2 < n; ++k2)
        for (int k1 = 0; k1 < n; ++k1)
            for (int j2 = 0; j2 < n; ++j2)
                for (int j1 = 0; j1 < n; ++j1)
                    want(k1 + 1, k2 + 1) +=
                        a(j1 + 1, j2 + 1) *
                        std::exp(cplx(0.0, -2.0 * pi * ((j1 * k1 + j2 * k2) % n) / n));
    fft_2d(n, a, -1);
    EXPECT_LT(max_abs_diff(a, want), 1e-5);

    full_mat ones(n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) ones(i, j) = 1.0;
    fft_2d(n, ones, -1);
    EXPECT_LT(std::abs(ones(1, 1) - cplx(n * n, 0.0)), 1e-12);
    ones(1, 1) = 0.0;
    EXPECT_LT(max_abs_diff(ones, full_mat(n)), 1e-5);
}

TEST(Fft, CentredTransformSwapsHalves) {
    std::mt19937 g(13);
    const int n = 16;
    std::vector<cplx> x = random_vec(n, g);
    auto swap_halves = [&](const std::vector<cplx>& v) {
        std::vector<cplx> s(v.size());
        for (int i = 0; i < n; ++i) s[static_cast<std::size_t>(i)] = v[static_cast<std::size_t>((i + n / 2) % n)];
        return s;
    };
    std::vector<cplx> want = swap_halves(naive_dft(swap_halves(x), 1));
    fft_1d_centred(n, x.data(), 1);
    EXPECT_LT(max_diff(x, want), 1e-5);
}

}  // namespace
