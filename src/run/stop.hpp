// The one way a run ends early: the code that meets an input or output error
// throws run_stop; rcwa2d_main prints its lines and ends with its status.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace rcwa::run {

struct run_stop : std::runtime_error {
    // lines: the console lines to print, already formatted (free-format lines
    // with their leading blank, fixed-format lines as they stand).
    // root_only: a stop that only process 0 can meet (result and project
    // files); it must end the whole job, not only process 0.
    run_stop(int status, std::vector<std::string> lines, bool root_only = false)
        : std::runtime_error(lines.empty() ? std::string() : lines.back()),
          status(status), lines(std::move(lines)), root_only(root_only) {}
    int status;
    std::vector<std::string> lines;
    bool root_only;
};

// Stops with one message printed as a free-format line (the message as the
// system words it, e.g. " read error: lfout").
[[noreturn]] void stop_free(int status, const std::string& message, bool root_only = false);

}  // namespace rcwa::run
