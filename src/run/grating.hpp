// Grating layers of the layer loop: the entries that read a layer's structure
// (patches, a pixel map from an eps-fill file, rasters of one or two shapes)
// and build its permittivity Fourier matrices, and the modal step that turns
// those matrices into the layer's modes and joins the layer onto r_mat, t_mat.
#pragma once

#include "run/input.hpp"
#include "run/state.hpp"
#include "structure/fourier.hpp"

namespace rcwa::run {

// A grating-layer entry (|layer_type| 4, 5, 9 or 10; the signed code as read)
// followed by its modal step. Collective: every process calls it for the same
// entries in the same order.
void grating_layer(const run_setup& s, layer_cursor& cur, stack_state& stack, scratch& work,
                   run_streams& st, int layer_type);

using structure::grating_eps;

// The entries: each clears lay_diag, reads its records from the entry's stream
// (and the eps-fill file), sets cur.thickness and fills eps.
void patch_entry(const run_setup& s, layer_cursor& cur, run_streams& st, grating_eps& eps);
void pixel_map_entry(const run_setup& s, layer_cursor& cur, run_streams& st, grating_eps& eps);
void raster_entry(const run_setup& s, layer_cursor& cur, run_streams& st, int layer_type,
                  grating_eps& eps);

// The modal step: the layer's modes (structure/grating_modes.hpp), then the
// three link steps through the layer's thickness. Frees the four matrices of
// eps.
void grating_modal_step(const run_setup& s, double thickness, stack_state& stack, scratch& work,
                        grating_eps& eps);

}  // namespace rcwa::run
