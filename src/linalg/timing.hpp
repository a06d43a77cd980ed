// Step timing on process 0 and the layout that every timing line shares.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace rcwa::linalg {

// year, month, day, offset from UTC in minutes, hour, minute, second, millisecond
using time_stamp = std::array<int, 8>;

// Reads the wall clock.
time_stamp take_stamp();

// Minutes, seconds and milliseconds since start (time of day only).
void elapsed_time(const time_stamp& start, int& minutes, int& seconds, int& milliseconds);

// The same difference between two given readings (elapsed_time with now read
// from the clock).
void elapsed_between(const time_stamp& start, const time_stamp& now, int& minutes, int& seconds,
                     int& milliseconds);

// (label,I3,' minutes',I4,'.',I3,' seconds')
std::string timing_line(std::string_view label, int minutes, int seconds, int fraction);

// Convenience: the timing line of a step that started at start.
std::string timing_line_since(std::string_view label, const time_stamp& start);

}  // namespace rcwa::linalg
