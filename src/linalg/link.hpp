// The reflection/transmission recursion that joins a layer, given by its mode
// blocks, onto the state (r, t), and carries the state through the layer's
// thickness: full form (link.cpp, collective) and block-diagonal form
// (link_bd.cpp, serial, order by order).
#pragma once

#include "linalg/dense.hpp"

namespace rcwa::linalg {

// ---- full form (n = 2N) ----
void rti_link(const full_mat& a, const full_mat& b, full_mat& r, full_mat& t, int n);
void rt_link(const full_mat& a, const full_mat& b, full_mat& r, full_mat& t, int n);

// exp(i d g), the exponent formed as the product (0, d) * g: the phase a mode
// of normal wave vector g gathers over the thickness d.
cplx phase_factor(double d, cplx g);

// Through the thickness d of a layer whose 2N modes have the normal wave
// vectors gam: r(i, j) gains the phases of modes i and j, t(i, j) that of
// mode j (r and t 2N by 2N, norder = N). Serial, on every process.
void t_link(double d, const array1<cplx>& gam, full_mat& r_mat, full_mat& t_mat, int norder);

// ---- block-diagonal form (N orders; r and t are 2N by 2N) ----
void bd_mul_full(int norder, const bd_mat& a, const full_mat& f, bd_mat& z);
void full_mul_bd(int norder, const full_mat& f, const bd_mat& b, bd_mat& z);
void full_mul_bd_full(int norder, const full_mat& f, const bd_mat& b, full_mat& g);
void bd_mul_bd_full(int norder, const bd_mat& a, const bd_mat& b, full_mat& g);
void bd_add(int norder, const bd_mat& a, const bd_mat& b, bd_mat& z);
// Inverts each order's 2 by 2 block; a determinant within tiny of the size
// of its products (the size taken at most det_unit, the determinants' scale)
// is floored.
void bd_inv(int norder, bd_mat& a, double det_unit = 1.0);
// The link steps of a homogeneous layer: a, b of the unit k and c, d of k^2,
// so the blocks inverted have determinants of the unit k^4 (rti) and k^2
// (rt); k_unit is the run's scale of k (linalg/constants).
void rti_link_bd(const bd_mat& a, const bd_mat& b, const bd_mat& c, const bd_mat& d, full_mat& r,
                 full_mat& t, int norder, double k_unit = 1.0);
void rt_link_bd(const bd_mat& a, const bd_mat& b, const bd_mat& c, const bd_mat& d, full_mat& r,
                full_mat& t, int norder, double k_unit = 1.0);
// t_link for a state that is still block-diagonal: the four blocks of each
// order alone.
void t_link_bd(double d, const array1<cplx>& gam, full_mat& r_mat, full_mat& t_mat, int norder);

// ---- variants that no step of a run calls ----
void rti_link_gen(const full_mat& a, const full_mat& b, const full_mat& c, const full_mat& d,
                  full_mat& r, full_mat& t, int n);
void rt_link_gen(const full_mat& a, const full_mat& b, const full_mat& c, const full_mat& d,
                 full_mat& r, full_mat& t, int n);
void rt_link_diag(bool flag, const std::vector<cplx>& s, cplx z, full_mat& r, full_mat& t, int n);
void rti_link_diag(bool flag, const std::vector<cplx>& s, cplx z, full_mat& r, full_mat& t, int n);
void cayley_link(int ignored, bool flag, const std::vector<cplx>& s, cplx z, std::vector<cplx>& v,
                 full_mat& m, full_mat& y, full_mat& w1, full_mat& w2, int n);
void cayley_link2(int ignored, bool flag, const std::vector<cplx>& s, cplx z, std::vector<cplx>& v,
                  full_mat& m, full_mat& y, full_mat& w1, full_mat& w2, int n);

}  // namespace rcwa::linalg
