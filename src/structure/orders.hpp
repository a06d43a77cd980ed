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

// The retained orders of a run and their in-plane wave vectors. Positions
// 1..norder list the orders row by row; ord_i1/ord_i2 give a position's table
// indices (1..nmax1d, the centre nmax1d/2 + 1 being order 0), ord_of maps a
// position of the output to a position of the list, ord_slot a position to
// its entry of kt2.
struct order_set {
    int nmax1d = 1;                  // table indices per direction: 2 iomax + 1
    int norder = 0;                  // N
    array1<double> ky_1d, kz_1d;     // nmax1d: wave-vector component of each table index
    row_ranges row_range;            // 2 by nmax1d
    array1<int> ord_i1, ord_i2, ord_slot, ord_of;  // N
    array1<double> kt2;              // N: squared in-plane wave vector, by slot
    double k_unit = 1.0;             // 1 / lambda: the scale of the thresholds (linalg/constants)

    int iomax() const { return (nmax1d - 1) / 2; }
    // In-plane wave-vector components of the order at list position i.
    double ky(int i) const { return ky_1d(ord_i1(i)); }
    double kz(int i) const { return kz_1d(ord_i2(i)); }
};

// On entry orders.nmax1d, norder and row_range (truncate_orders); on return
// ky_1d, kz_1d, kt2 and the four index arrays, sized. ky = 2 pi m / dy + k_inc_y
// for the signed table index m, kz likewise; on a grid of angle grid_angle
// (degrees) kt2 = (ky^2 + kz^2 - 2 ky kz sin) / cos^2.
void order_tables(order_set& orders, double grid_angle, double dy, double dz, double k_inc_y,
                  double k_inc_z);

// w = k0^2 eps - kt^2 of an order, kept away from an exact zero at grazing
// exit (|Re w| and |Im w| below 1e-8 k_unit^2 give 1e-8 k_unit^2): a mode
// with no normal wave vector would carry no field and make the link steps
// divide by zero.
cplx grazing_floor(cplx w, double k_unit);

// The change of k0^2 eps that takes an order with w = kt^2 - c^2 k0^2 eps
// (c the cosine of the grid angle) to that floor: exactly 0 away from it.
cplx grazing_shift(cplx w, double c, double k_unit);

// kn(i) = sqrt(k0sq_eps - kt2) of every order i = 1..N of orders, the root
// with Re + Im >= 0 when flip is set (the principal root otherwise), grazing
// orders floored. kn may be longer (2N); entries past N are left alone.
void kn_orders(const order_set& orders, bool flip, cplx k0sq_eps, array1<cplx>& kn);

// The normal wave vectors of a medium's 2N modes: kn(i) and kn(N + i) both
// kn_orders(orders, true, k0sq_eps) of order i, the TE and TM mode of an order
// sharing it. kn holds 2N entries.
void kn_orders_2n(const order_set& orders, cplx k0sq_eps, array1<cplx>& kn);

// mask(i) = 1 where order i propagates in a medium with k0^2 Re(eps) = x
// (x - kt2 >= 0; a NaN does not), 0 elsewhere; count the number of ones.
void mark_propagating(const order_set& orders, double x, int& count, array1<int>& mask);

// ---- routines that no step of a run calls ----
void order_k_row(int m0, int n, double dk, double k0, double kfix, array1<double>& k,
                 array1<int>& idx, array1<double>& ksq);
void kn_orders_oblique(const order_set& orders, bool flip, cplx k0sq_eps, const array1<double>& v,
                       array1<cplx>& kn, double angle);
void count_propagating(const order_set& orders, double x, int& count, int& first);
void sort_ends_inward(int n, const array1<double>& values, array1<double>& out, array1<int>& pos);
void perm_invert(int n, array1<int>& inv, const array1<int>& perm);

}  // namespace rcwa::structure
