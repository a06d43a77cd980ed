// The permittivity Fourier matrices of grating layers (patches, pixel maps,
// rasters), the radix-2 FFT they use, the raster painters, and the two factors
// of a grating layer's eigenproblem.
//
// Directions: the first lattice direction goes with the period dy and the
// first order index ord_i1, the second with dz and ord_i2. Every N by N
// matrix is indexed by positions in the order list.
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

// ---- eigen-matrix factors (2N by 2N outputs) ------------------------------------
// p_mat = [[ i(kz ky' C - k0sq s), i(k0sq - kz kz' C) ], [ i(ky ky' C - k0sq),
// i(k0sq s - ky kz' C) ]] with C = eps_conv (N by N, not scaled by k0sq), ky,
// kz the wave vector of the row's order, ky', kz' of the column's, and
// s = sin(grid_angle), the Kronecker delta on every k0sq term.
void eigen_matrix_eps(const order_set& orders, double k0sq, const full_mat& eps_conv,
                      double grid_angle, full_mat& p_mat);

// q_mat of the Li rules from the three N by N matrices (already scaled by
// k0^2): diagonal blocks +-i(s V - ky kz delta), off-diagonal
// i(kz^2 delta - c^2 B - s^2 V) and i(c^2 A + s^2 V - ky^2 delta), with A =
// eps_li_1, B = eps_li_2, V = eps_inv_rule, c^2 = 1 - s^2.
void eigen_matrix_li(const order_set& orders, const full_mat& eps_li_1, const full_mat& eps_li_2,
                     const full_mat& eps_inv_rule, double grid_angle, full_mat& q_mat);

// q_mat of the mixed rule: eigen_matrix_li with B = w A + (1 - w) V and A
// replaced by (1 - w) A + w V, w = mix_weight.
void eigen_matrix_mix(const order_set& orders, double mix_weight, const full_mat& eps_li_1,
                      const full_mat& eps_inv_rule, double grid_angle, full_mat& q_mat);

// ---- patch layers: layout rules and closed-form coefficients ---------------------
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
// not add up to the cell's within 1e-14.
void patch_layout_check(int ieps, const rect_table& rect);

// out (N by N) = [[eps]] of the patches p = 1..ieps of value eps(p) (eps_pat
// or inv_eps) and bounds rect, in closed form over index differences up to
// 2 iomax, the origin at the cell middle. Runs patch_layout_check first.
void patch_fourier(const order_set& orders, int ieps, const array1<cplx>& eps,
                   const rect_table& rect, full_mat& out);

// ---- patch layers: edge sweep ------------------------------------------------------
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

// ---- FFT -----------------------------------------------------------------------------
// x(1..n) replaced by X(k+1) = sum_j x(j+1) exp(i sign 2 pi j k / n); n a power
// of two; no scaling.
void fft_1d(int n, cplx* x, int sign);
void fft_1d(int n, array1<cplx>& x, int sign);
// Two-dimensional transform of the n by n matrix a, same sign in both directions.
void fft_2d(int n, full_mat& a, int sign);
void c_swap(cplx& a, cplx& b);

// ---- raster shapes -------------------------------------------------------------------
// n(1..2): background and shape refractive indices; lo(1..2) the shape's full
// widths, hi(1..2) its centre offset (fractions of dy, dz); rot in degrees;
// ratio = dz/dy; eps_grid of order M.
void fill_eps_grid(bool shape_flag, double ratio, double grid_angle, const array1<cplx>& n,
                   const array1<double>& lo, const array1<double>& hi, double rot, int m,
                   full_mat& eps_grid, double p);

// n(1..3): background, shape 1, shape 2; rot(1..2), p(1..2) per shape.
void fill_eps_grid2(bool shape_flag, double ratio, double grid_angle, const array1<cplx>& n,
                    const array1<double>& lo1, const array1<double>& hi1,
                    const array1<double>& lo2, const array1<double>& hi2,
                    const array1<double>& rot, int m, full_mat& eps_grid,
                    const array1<double>& p);

bool in_superellipse(double u, double umin, double umax, double v, double vmin, double vmax,
                     double r, double p);

// ---- pixel maps and rasters: Fourier matrices -------------------------------------
// The four N by N permittivity Fourier matrices of one grating layer, from
// its entry to its modal step.
struct grating_eps {
    full_mat eps_conv;      // [[eps]]^-1
    full_mat eps_li_1;      // Li rule, inverse along the second direction (or [[eps]])
    full_mat eps_li_2;      // Li rule, inverse along the first direction (or zero)
    full_mat eps_inv_rule;  // [[1/eps]]^-1, or zero where not needed
};

// grid: M by M permittivities (first index along the first direction); holds
// 1/eps in every pixel on return. The four matrices of eps must hold N by N
// on entry.
void layer_eps_matrices(bool li_rules, full_mat& grid, double grid_angle, const order_set& orders,
                        grating_eps& eps);

// out (N by N) = [[grid]] of the M by M grid (m = M), index differences
// wrapped onto the grid. The grid is unchanged on return (it is transformed in
// place and restored).
void eps_fourier_fft(full_mat& grid, int m, const order_set& orders, full_mat& out);

// out (N by N): inverse rule along the first direction, ordinary rule along
// the second, from M line-wise Toeplitz inverses of order nmax1d.
void grid_li_rows(const full_mat& grid, int m, const order_set& orders, full_mat& out);
// out (N by N): inverse rule along the second direction, ordinary rule along
// the first.
void grid_li_cols(const full_mat& grid, int m, const order_set& orders, full_mat& out);

// t (order n) = inverse of the Toeplitz matrix with entry (r,s) = c(((r-s) mod m)+1);
// c points at m values.
void toeplitz_inv(int m, int n, const cplx* c, full_mat& t);

// stack: n matrices of order m. 'F' copies entry (r,s) of matrix k into v(k),
// 'B' copies v(k) back, k = 1..n; any other letter does nothing.
void stack_line_fb(char direction, int n, int m, int r, int s, std::vector<full_mat>& stack,
                   cplx* v);

void mat_transpose(int n, full_mat& a);

// ---- routines that no step of a run calls -------------------------------------------
// The same as patch_li (both take the sign factor from the order indices).
void patch_li_xy(bool dir_flag, const order_set& orders, int ieps, const array1<cplx>& eps,
                 const rect_table& rect, full_mat& out, bool& err_flag);

// Half-swap, fft_1d, half-swap again.
void fft_1d_centred(int n, cplx* x, int sign);

// n(1..2) refractive indices; cy(1..2P+1) holds the coefficients of index
// -P..P (cy(P+1+m) is index m), cz likewise for -Q..Q. out is inverted in
// place. Index differences beyond the tables count as zero coefficients.
void eps_matrix_separable(const array1<cplx>& n, const array1<cplx>& cy, const array1<cplx>& cz,
                          const order_set& orders, full_mat& out, int p, int q);

// r = a^2 A + b^2 B, then inverted in place.
void mat_mix_inv(int n, double a, double b, const full_mat& am, const full_mat& bm, full_mat& r);

}  // namespace rcwa::structure
