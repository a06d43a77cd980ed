// Patch layers: their layout rules and the Fourier matrices of rectangular
// patches, in closed form (patch_fourier.cpp) and by the edge sweep
// (patch_fourier_sweep.cpp). Directions and indexing as in fourier.hpp.
#pragma once

#include <cstddef>
#include <vector>

#include "linalg/dense.hpp"
#include "structure/orders.hpp"

namespace rcwa::structure {

using linalg::array1;
using linalg::cplx;
using linalg::full_mat;

// Per patch p: rect(1,p), rect(3,p) its lower and upper bound along the second
// lattice direction, rect(2,p), rect(4,p) those along the first, as fractions
// of the periods.
class rect_table {
public:
    rect_table() = default;
    explicit rect_table(int ieps) { resize(ieps); }
    void resize(int ieps) { a_.resize(4 * (ieps < 0 ? 0 : ieps)); }
    int count() const { return a_.size() / 4; }
    double& operator()(int k, int p) { return a_(4 * (p - 1) + k); }
    double operator()(int k, int p) const { return a_(4 * (p - 1) + k); }
    // The area of patch p as a fraction of the cell's.
    double area(int p) const { return ((*this)(3, p) - (*this)(1, p)) * ((*this)(4, p) - (*this)(2, p)); }

private:
    array1<double> a_;
};

// Edge flags of the patch sweep: flag(1,t) the lower edge of patch t still
// pending, flag(2,t) its upper edge.
class edge_flags {
public:
    void resize(int ieps) { a_.assign(static_cast<std::size_t>(2 * (ieps < 0 ? 0 : ieps)), 0); }
    bool operator()(int k, int t) const { return a_[idx(k, t)] != 0; }
    void set(int k, int t, bool v) { a_[idx(k, t)] = v ? 1 : 0; }

private:
    static std::size_t idx(int k, int t) { return static_cast<std::size_t>(2 * (t - 1) + (k - 1)); }
    std::vector<unsigned char> a_;
};

// ---- layout rules and closed-form coefficients ------------------------------------
// Integral of exp(-i kappa x) over [lo, hi] (hi - lo for kappa 0): the
// Fourier kernel of every grating layer.
cplx edge_integral(double kappa, double lo, double hi);

// A patch bound (a fraction of the period) within rounding of the cell [0, 1]
// outside it is moved onto the edge; one inside stays as it is. False for a
// bound outside the cell by more than rounding.
bool patch_bound_in_cell(double& bound);

// The layout checks of the patches p = 1..ieps with bounds rect: prints an
// " overlap error:" record for every pair p < q whose open rectangles
// intersect, then a "total area does not match:" record when their areas do
// not add up to the cell's within the rounding of their sum.
void patch_layout_check(int ieps, const rect_table& rect);

// out (N by N) = [[eps]] of the patches p = 1..ieps of value eps(p) (their
// permittivities or its inverses) and bounds rect, in closed form over index
// differences up to 2 iomax, the origin at the cell middle. Runs
// patch_layout_check first.
void patch_fourier(const order_set& orders, int ieps, const array1<cplx>& eps,
                   const rect_table& rect, full_mat& out);

// ---- edge sweep ----------------------------------------------------------------------
void patch_flags_reset(edge_flags& flags, int ieps);

// Next sweep position along q (2: first direction, 1: second). list must hold
// 2*ieps entries (patches of zero width put both their edges at one position).
void patch_edge_min(int ieps, const rect_table& rect, int q, const edge_flags& flags,
                    array1<int>& list, int& count, double& position);

// out (N by N) = [[eps]] as patch_fourier, by the edge sweep along the first
// direction. err_flag: cleared on entry, set (and out left as it was) when the
// sweep counter runs out.
void patch_fourier_stripes(const order_set& orders, int ieps, const array1<cplx>& eps,
                           const rect_table& rect, full_mat& out, bool& err_flag);

// out (N by N): Li's rule by the edge sweep. dir_flag true: inverse rule along
// the second direction (eps_li_1); false: along the first (eps_li_2).
// err_flag as for patch_fourier_stripes.
void patch_li(bool dir_flag, const order_set& orders, int ieps, const array1<cplx>& eps,
              const rect_table& rect, full_mat& out, bool& err_flag);

// ---- routines that no step of a run calls -------------------------------------------
// The same as patch_li (both take the sign factor from the order indices).
void patch_li_xy(bool dir_flag, const order_set& orders, int ieps, const array1<cplx>& eps,
                 const rect_table& rect, full_mat& out, bool& err_flag);

}  // namespace rcwa::structure
