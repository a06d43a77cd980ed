// The per-order results of a run: efficiencies, moduli, phases and
// ellipsometric values from the final r_mat, t_mat, the energy balance, and
// the step that checks and writes them.
#pragma once

#include <vector>

#include "run/output_files.hpp"
#include "run/state.hpp"

namespace rcwa::run {

// The energy sums and the records of the orders inside the output window,
// from the final r_mat, t_mat (pure computation, no output).
void order_results(const run_setup& s, const stack_state& stack,
                   std::vector<order_record>& records, double& error_te, double& error_tm);

// The results step: project file, per-order records, end-of-run records and
// the console lines of the energy balance (process 0 writes). Before anything
// is written it stops with 62 when a value to be written is not finite, and
// with 63 when the stack (no material has gain) under a lossless superstrate
// gives back more than the incident energy.
void per_order_results(const run_setup& s, const stack_state& stack);

}  // namespace rcwa::run
