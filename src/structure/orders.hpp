// The retained diffraction orders, their in-plane wave vectors, and per medium
// the normal wave vector of every order and the mask of propagating orders.
#pragma once

#include "linalg/dense.hpp"

namespace rcwa::structure {

using linalg::array1;
using linalg::cplx;

// row_range(1, n) and row_range(2, n): lowest and highest first index kept in
// row n (n = 1..n2).
class row_ranges {
public:
    void resize(int n2) { a_.resize(2 * n2); }
    int& operator()(int k, int n) { return a_(2 * (n - 1) + k); }
    int operator()(int k, int n) const { return a_(2 * (n - 1) + k); }

private:
    array1<int> a_;
};

// trunc_shape 0 keeps the full square; below 3 a superellipse of exponent
// 3 - trunc_shape. At 3 or above (rejected by the run driver) rows that keep
// nothing come out empty (upper = lower - 1), never negative.
void truncate_orders(int n1, int n2, double trunc_shape, row_ranges& row_range, int& norder);

void order_tables(int n1, int n2, int norder, const row_ranges& row_range, double grid_angle,
                  double dy, double dz, double k_inc_y, double k_inc_z, array1<double>& ky_1d,
                  array1<double>& kz_1d, array1<double>& kt2, array1<int>& ord_slot,
                  array1<int>& ord_of, array1<int>& ord_i1, array1<int>& ord_i2);

// w = k0^2 eps - kt^2 of an order, kept away from an exact zero at grazing
// exit (|Re w| and |Im w| below 1e-8 give 1e-8): a mode with no normal wave
// vector would carry no field and make the link steps divide by zero.
cplx grazing_floor(cplx w);

// The change of k0^2 eps that takes an order with w = kt^2 - c^2 k0^2 eps
// (c the cosine of the grid angle) to that floor: exactly 0 away from it.
cplx grazing_shift(cplx w, double c);

// Fills kn(1..norder); kn may be longer (2N), the rest is left alone.
void kn_orders(int norder, bool flip, cplx k0sq_eps, const array1<int>& ord_slot,
               const array1<double>& kt2, array1<cplx>& kn);

void mark_propagating(int norder, double x, const array1<double>& kt2, const array1<int>& ord_slot,
                      int& count, array1<int>& mask);

// ---- routines that no step of a run calls ----
void order_k_row(int m0, int n, double dk, double k0, double kfix, array1<double>& k,
                 array1<int>& idx, array1<double>& ksq);
void kn_orders_oblique(int norder, bool flip, cplx k0sq_eps, const array1<int>& ord_slot,
                       const array1<double>& kt2, const array1<double>& v, array1<cplx>& kn,
                       double angle);
void count_propagating(int norder, double x, const array1<double>& kt2,
                       const array1<int>& ord_slot, int& count, int& first);
void sort_ends_inward(int n, const array1<double>& values, array1<double>& out, array1<int>& pos);
void perm_invert(int n, array1<int>& inv, const array1<int>& perm);

}  // namespace rcwa::structure
