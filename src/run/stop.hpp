// The one way a run ends early: the code that meets an input or output error
// throws run_stop; rcwa2d_main prints its lines and ends with its status.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "run/statuses.hpp"

namespace rcwa::run {

struct run_stop : std::runtime_error {
    // lines: the console lines to print, already formatted (free-format lines
    // with their leading blank, fixed-format lines as they stand).
    // ends_job: a stop that the processes may not all meet at the same point
    // (the result and project files, met by process 0 alone; the control file,
    // whose lock and console pauses each process meets on its own): it must
    // end the whole job, or a process could wait for ever in a collective
    // call that the stopped ones never reach. On one host process 0 ends it
    // by telling the others, which follow it; otherwise it is aborted.
    run_stop(int stop_status, std::vector<std::string> stop_lines, bool stop_ends_job = false)
        : std::runtime_error(stop_lines.empty() ? std::string() : stop_lines.back()),
          status(stop_status), lines(std::move(stop_lines)), ends_job(stop_ends_job) {}
    int status;
    std::vector<std::string> lines;
    bool ends_job;
};

// Stops with the entry's status, its message printed as a free-format line
// (with tail, a variable part such as a name or an index, appended).
[[noreturn]] void stop(const status_entry& entry, std::string_view tail = {});

// An exception that is neither a run_stop nor a shortage of memory is a
// fault of the program, not of its input, and one process may meet it alone:
// internal_stop, called in a handler, prints internal_error_line of the
// exception in flight and ends the whole job with its status.
[[noreturn]] void internal_stop();

// " internal error: " and what the exception says, or that its type is unknown.
std::string internal_error_line(const std::exception_ptr& e);

}  // namespace rcwa::run
