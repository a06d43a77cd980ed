// The result files: the results step computes the values of every order inside
// the output window and hands them over here; these routines (process 0 only)
// write the one-file table, the per-quantity files, the closing record and the
// energy-error file, and name them.
#pragma once

#include <string>

#include "run/state.hpp"

namespace rcwa::run {

// The values of one order inside the output window.
struct order_record {
    int i1 = 0, i2 = 0;      // first and second order index
    // efficiencies (after any percent scaling): EE, EM, ME, MM
    double r_eff[4] = {}, t_eff[4] = {};
    // phases in degrees and moduli (EM over k0, ME times k0): EE, EM, ME, MM
    double r_phase[4] = {}, t_phase[4] = {};
    double r_mod[4] = {}, t_mod[4] = {};
    // ellipsometric values, valid when ellipso is true (run_index_given)
    bool ellipso = false;
    double tan_r = 0, cos_r = 0, tan_t = 0, cos_t = 0;
    // the unscaled amplitudes r_mat/t_mat at (j,w0), (j+N,w0), (j,wm), (j+N,wm)
    cplx r_amp[4], t_amp[4];
};

// Prepares the result files of layout |code| (process 0, before the substrate
// is read); a negative code deletes the old files of a sweep's first run. In
// the per-quantity layouts tag_pos gets the position of the order tag in
// out.fname_out; otherwise it is left alone. False when an old file could not
// be deleted or a new table not started. A per-quantity window with an order
// whose tag names no file throws run_stop 90 (ends_job) before anything is
// deleted.
bool init_output_files(int code, const output_control& out, const structure::order_set& orders,
                       int& tag_pos);

// The records of one order inside the window (process 0, lfout true).
// Uses s.out, par_value, k0, n_sub; may throw run_stop 95
// (ends_job) when a file cannot be opened or a record not written.
void write_order_output(const run_setup& s, const order_record& rec);

// Whether every value that write_order_output writes for rec (in the layout
// s.out.layout() and the quantity s.out.i_eff) is finite.
bool order_output_finite(const run_setup& s, const order_record& rec);

// After the pass (process 0, lfout true): the closing record of layout 0 and,
// in the one-file layouts, the energy-error record. May throw run_stop 95
// (open or write failed; 96 for the closing record).
void write_run_end(const run_setup& s, double error_te, double error_tm);

// ---- names of the result files ----

// "energy_error.txt" for run_index 0, else "energy_error", run_index_digits
// and ".txt".
std::string energy_name(int run_index);

// Whether the tag character of an order index can stand in a file name
// (|index| 44 gives the backslash; 208 and above leave the byte).
bool tag_names_a_file(int index);

// The four characters that name an order in the per-quantity files: sign
// letter and code character of the second index, then of the first.
std::string order_tag(int i1, int i2);

}  // namespace rcwa::run
