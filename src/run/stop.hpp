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
    // ends_job: a stop that the processes may not all meet at the same point
    // (the result and project files, met by process 0 alone; the control file,
    // whose lock and console pauses each process meets on its own): it must
    // end the whole job, or a process could wait for ever in a collective
    // call that the stopped ones never reach.
    run_stop(int status, std::vector<std::string> lines, bool ends_job = false)
        : std::runtime_error(lines.empty() ? std::string() : lines.back()),
          status(status), lines(std::move(lines)), ends_job(ends_job) {}
    int status;
    std::vector<std::string> lines;
    bool ends_job;
};

// Stops with one message printed as a free-format line (the message as the
// system words it, e.g. " read error: lfout").
[[noreturn]] void stop_free(int status, const std::string& message, bool ends_job = false);

}  // namespace rcwa::run
