// The entries of the layer loop that are not grating layers: homogeneous
// layers, sequence and cone entries, the codes the loop refuses, and what every
// entry shares (its stream and its thickness record).
#pragma once

#include "run/input.hpp"
#include "run/state.hpp"
#include "run/statuses.hpp"

namespace rcwa::run {

// Layer type codes of an entry, by absolute value. 0, 1 and 12 and above are
// homogeneous layers; 2, 3, 6 and 7 are refused (rejected_layer_code).
enum layer_code : int {
    homogeneous_code = 1,
    patch_code = 4,
    pixel_map_code = 5,
    sequence_code = 8,
    raster_one_code = 9,
    raster_two_code = 10,
    cone_code = 11,
};

constexpr bool grating_layer_code(long long code) {
    return code == patch_code || code == pixel_map_code || code == raster_one_code ||
           code == raster_two_code;
}

constexpr bool rejected_layer_code(long long code) {
    return code == 2 || code == 3 || code == 6 || code == 7;
}

// The stream the layer loop took the current entry's type code from: the
// sequence file while the entry's records come from it, else the 2D-stack file.
textio::line_source& entry_stream(const layer_cursor& cur, run_streams& st);

// The thickness record of the current entry into cur.thickness, times
// fak_thick inside a sequence file; stops with read_error when the record
// cannot be read or the thickness is below zero.
void layer_thickness(layer_cursor& cur, textio::line_source& src, const status_entry& read_error);

// A homogeneous layer (codes 1, 0, 12 and above) from the current stream,
// joined onto r_mat, t_mat in block-diagonal form while lay_diag holds.
void homogeneous_layer(const run_setup& s, layer_cursor& cur, stack_state& stack, scratch& work,
                       run_streams& st);

// The records of a sequence entry (code 8) and the header and count of its
// sequence file, which is left open on st.seq; cur.nseq and cur.fak_thick are
// set. The run driver then splices the file into the loop.
void sequence_entry(layer_cursor& cur, run_streams& st);

// A cone entry (code 11): clears lay_diag, reads its records over (material
// records at wavelength lambda), then continues as a sequence entry.
void cone_entry(double lambda, layer_cursor& cur, run_streams& st);

// Codes 2, 3, 6 and 7 (every process prints the lines).
[[noreturn]] void rejected_code();

}  // namespace rcwa::run
