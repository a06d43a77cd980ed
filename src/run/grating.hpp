// Grating layers of the layer loop: the entries that read a layer's structure
// (patches, a pixel map from an eps-fill file, rasters of one or two shapes)
// and build its permittivity Fourier matrices, and the modal step that turns
// those matrices into the layer's modes and joins the layer onto r_mat, t_mat.
#pragma once

#include "linalg/dense.hpp"
#include "run/input.hpp"
#include "run/state.hpp"

namespace rcwa::run {

// A grating-layer entry (|layer_type| 4, 5, 9 or 10; the signed code as read)
// followed by its modal step. Collective: every process calls it for the same
// entries in the same order.
void grating_layer(run_state& rs, run_streams& st, int layer_type);

// The four N by N permittivity Fourier matrices of one grating layer, from
// its entry to its modal step.
struct grating_eps {
    full_mat eps_conv;      // [[eps]]^-1
    full_mat eps_li_1;      // Li rule, inverse along the second direction (or [[eps]])
    full_mat eps_li_2;      // Li rule, inverse along the first direction (or zero)
    full_mat eps_inv_rule;  // [[1/eps]]^-1, or zero where not needed
};

// The entries: each clears lay_diag, reads its records from the entry's stream
// (and the eps-fill file), sets rs.thickness and fills eps.
void patch_entry(run_state& rs, run_streams& st, grating_eps& eps);
void pixel_map_entry(run_state& rs, run_streams& st, grating_eps& eps);
void raster_entry(run_state& rs, run_streams& st, int layer_type, grating_eps& eps);

// The modal step: factors, product, eigen-decomposition, mode matrices and the
// three link steps with rs.thickness. Frees the four matrices of eps.
void grating_modal_step(run_state& rs, grating_eps& eps);

// Sets to exactly zero every entry of the n by n matrix m whose real and
// imaginary parts are both below 1e-9 in magnitude (NaN parts stay).
void clear_tiny_entries(int n, full_mat& m);

}  // namespace rcwa::run
