// The project file: one block per run with the data of every propagating
// reflected and transmitted order, appended to a file whose name never changes
// (process 0 only).
#pragma once

#include <string>

#include "run/state.hpp"

namespace rcwa::run {

// The project file block of this run from the final stack: r_mat, t_mat,
// kn_sup, kn_sub and the masks, with the order set. finite: whether every
// number of the block is finite.
std::string project_block(const run_setup& s, const stack_state& stack, bool& finite);
// Appends the block to the project file (process 0, lproject true). May throw
// run_stop 750 (ends_job) when the file cannot be opened or the block not
// written.
void write_project_block(const run_setup& s, const std::string& block);
// Both in one call (no step of a run calls it: the run checks the block
// before it writes anything).
void write_project_file(const run_setup& s, const stack_state& stack);

}  // namespace rcwa::run
