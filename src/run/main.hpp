// The main program as a library function.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace rcwa::run {

// Runs one parameter point in the working directory. args are the
// command-line arguments after the program name. Returns the exit status
// (1 after a normal run, the error's code otherwise), the same on every
// process; a stop that the processes need not all meet ends the whole job
// itself (on one host process 0 passes its status to the others instead).
int rcwa2d_main(const std::vector<std::string>& args);

// The "Total TIME: " line from two times of day (hour, minute, second,
// hundredths): minutes, seconds and hundredths with borrows.
std::string total_time_line(const std::array<int, 4>& start, const std::array<int, 4>& now);

}  // namespace rcwa::run
