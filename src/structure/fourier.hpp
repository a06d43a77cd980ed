// The permittivity Fourier matrices of a grating layer: one routine per kind
// of layer description turns it into the four matrices its modes are built
// from (grating_modes.hpp). The pieces: patch layers (patch_fourier.hpp),
// grids of pixel maps and rasters (pixel_map.hpp, raster.hpp), the FFT
// (fft.hpp).
//
// Directions: the first lattice direction goes with the period dy and the
// first order index ord_i1, the second with dz and ord_i2. Every N by N
// matrix is indexed by positions in the order list.
#pragma once

#include <optional>

#include "linalg/dense.hpp"
#include "structure/orders.hpp"
#include "structure/patch_fourier.hpp"

namespace rcwa::structure {

using linalg::array1;
using linalg::cplx;
using linalg::full_mat;

// The four N by N permittivity Fourier matrices of one grating layer.
struct grating_eps {
    full_mat eps_conv;      // [[eps]]^-1
    full_mat eps_li_1;      // Li rule, inverse along the second direction (or [[eps]])
    full_mat eps_li_2;      // Li rule, inverse along the first direction (or zero)
    full_mat eps_inv_rule;  // [[1/eps]]^-1, or zero where not needed
};

// A layer of patches p = 1..rect.count() of permittivity eps_pat(p) and
// bounds rect. Collective (the inverses of [[eps]] and [[1/eps]] go through
// the distributed kernels); prints the layout check's records. Nothing when
// the edge sweep of Li's rules meets more edges than it can take.
std::optional<grating_eps> layer_eps_matrices(bool li_rules, const array1<cplx>& eps_pat,
                                              const rect_table& rect, double grid_angle,
                                              const order_set& orders);

// A layer given as an M by M grid of permittivities (first index along the
// first direction); grid holds 1/eps in every pixel on return. Serial.
grating_eps layer_eps_matrices(bool li_rules, full_mat& grid, double grid_angle,
                               const order_set& orders);

}  // namespace rcwa::structure
