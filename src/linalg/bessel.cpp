#include "linalg/bessel.hpp"

#include <cmath>
#include <cstdlib>

namespace rcwa::linalg {

namespace {

// Orders 0 to 100. Nothing in the system fills the table, so it holds zeros.
const array1<cplx>& jn_table() {
    static const array1<cplx> table(101, cplx(0.0, 0.0));
    return table;
}

double modulus(cplx z) { return std::sqrt(z.real() * z.real() + z.imag() * z.imag()); }

// z**m for an integer m >= 0 by repeated squaring (std::pow would go
// through exp and log).
cplx int_power(cplx z, int m) {
    cplx result(1.0, 0.0);
    cplx x = z;
    unsigned u = static_cast<unsigned>(m);
    while (u != 0) {
        if (u & 1U) result *= x;
        u >>= 1U;
        if (u != 0) x *= x;
    }
    return result;
}

}  // namespace

double inv_factorial(int n) {
    double f = 1.0;
    for (int k = 1; k <= n; ++k) f /= static_cast<double>(k);
    return f;
}

void bessel_table(int index, cplx /*z*/, const array1<cplx>& table, cplx& value) {
    // The table is short: an order beyond it reads as zero rather than
    // reading past its end.
    value = (index >= 1 && index <= table.size()) ? table(index) : cplx(0.0, 0.0);
}

void bessel_jn(cplx& result, bool use_table, int n, cplx z) {
    const int m = std::abs(n);
    if (use_table) {
        bessel_table(m + 1, z, jn_table(), result);
    } else if (z.real() == 0.0 && z.imag() == 0.0) {
        result = (m == 0) ? cplx(1.0, 0.0) : cplx(0.0, 0.0);
    } else {
        cplx term = int_power(z / 2.0, m) * inv_factorial(m);
        cplx sum = term;
        const cplx w = z * z / 4.0;
        for (int k = 1; k <= 100000; ++k) {
            term = ((-term) / static_cast<double>(k)) * w / static_cast<double>(m + k);
            const double s = modulus(sum);
            if (s != 0.0 && modulus(term) / s < 1e-25) break;
            sum += term;
        }
        result = sum;
    }
    if (n < 0 && (m % 2) == 1) result = -result;
}

}  // namespace rcwa::linalg
