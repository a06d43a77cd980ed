// Dense complex matrices and the small routines the rest of the system builds
// on. Matrices are column-major and indexed from 1, as the order lists are, so
// a(i, j) in the code is entry (i, j) of the formula it computes; data() hands
// the storage to BLAS, LAPACK and ScaLAPACK.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace rcwa::linalg {

using cplx = std::complex<double>;

// n by n double-complex matrix, column-major, leading dimension n.
class full_mat {
public:
    full_mat() = default;
    explicit full_mat(int n) { resize(n); }
    // Resizes to n by n; every entry becomes zero.
    void resize(int n);
    int order() const { return n_; }
    cplx& operator()(int i, int j) { return a_[idx(i, j)]; }
    const cplx& operator()(int i, int j) const { return a_[idx(i, j)]; }
    cplx* data() { return a_.data(); }
    const cplx* data() const { return a_.data(); }

private:
    std::size_t idx(int i, int j) const {
        return static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(n_) + static_cast<std::size_t>(i - 1);
    }
    int n_ = 0;
    std::vector<cplx> a_;
};

// A 2N by 2N matrix whose four N by N blocks are diagonal, held as N by 4:
// column c holds the diagonal of block (1,1), (1,2), (2,1), (2,2) for c = 1..4.
class bd_mat {
public:
    bd_mat() = default;
    explicit bd_mat(int n) { resize(n); }
    void resize(int n) {
        n_ = n < 0 ? 0 : n;
        a_.assign(static_cast<std::size_t>(n_) * 4, cplx(0.0, 0.0));
    }
    int rows() const { return n_; }
    cplx& operator()(int i, int c) { return a_[idx(i, c)]; }
    const cplx& operator()(int i, int c) const { return a_[idx(i, c)]; }
    cplx* data() { return a_.data(); }
    const cplx* data() const { return a_.data(); }

private:
    std::size_t idx(int i, int c) const {
        return static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(n_) + static_cast<std::size_t>(i - 1);
    }
    int n_ = 0;
    std::vector<cplx> a_;
};

// A vector indexed from 1, like every array of the run.
template <class T>
class array1 {
public:
    array1() = default;
    explicit array1(int n, T v = T()) { resize(n, v); }
    void resize(int n, T v = T()) { a_.assign(n < 0 ? 0 : static_cast<std::size_t>(n), v); }
    int size() const { return static_cast<int>(a_.size()); }
    T& operator()(int i) { return a_[static_cast<std::size_t>(i - 1)]; }
    const T& operator()(int i) const { return a_[static_cast<std::size_t>(i - 1)]; }
    T* data() { return a_.data(); }
    const T* data() const { return a_.data(); }

private:
    std::vector<T> a_;
};

// A 2 by 2 complex matrix in column-major order: (1,1), (2,1), (1,2), (2,2).
using mat2 = cplx[4];

// ---- routines used in a run --------------------------------------------------
void mat_lincomb(int n, double s1, double s2, const full_mat& x, const full_mat& y, full_mat& z);
void mat_set_diag(int n, full_mat& a, cplx v);
void mat_scale(int n, full_mat& a, double s);
void mat_copy(int n, full_mat& dst, const full_mat& src);
void mul_2x2(const mat2& a, const mat2& b, mat2& c);
void csqrt_sign(cplx& w, cplx z, double s);
void matinv_lapack(int n, full_mat& a);
double phase_deg(cplx z);
double c_modulus(cplx z);

// ---- routines that no step of a run calls -------------------------------------
void matmul_naive(int n, const full_mat& a, const full_mat& b, full_mat& c);
void matmul_naive2(int n, const full_mat& a, const full_mat& b, full_mat& c);
void diag_mul(int n, const std::vector<cplx>& v, const full_mat& a, full_mat& c);
void mat_addsub(bool flag, int n, const full_mat& a, const full_mat& b, full_mat& c);
void mat_add_diag(bool flag, int n, cplx v, const full_mat& a, full_mat& c);
void mat_negate(int n, full_mat& a);
void vec_copy(int n, cplx* dst, const cplx* src);
float mat_norm(int n, const full_mat& a);

}  // namespace rcwa::linalg
