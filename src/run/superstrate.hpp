// The superstrate step: the last change of the reflection/transmission state.
#pragma once

#include "run/input.hpp"
#include "run/state.hpp"

namespace rcwa::run {

// Takes r_mat, t_mat out of the oblique basis and through the superstrate;
// sets kn_sup and the reflected orders' mask; closes the 2D-stack file.
void superstrate_step(const run_setup& s, stack_state& stack, scratch& work, run_streams& st);

}  // namespace rcwa::run
