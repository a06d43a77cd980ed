#include "linalg/timing.hpp"

#include "platform/platform.hpp"
#include "textio/fixed_writer.hpp"

namespace rcwa::linalg {

time_stamp take_stamp() { return platform::date_time_ms(); }

void elapsed_between(const time_stamp& start, const time_stamp& now, int& minutes, int& seconds,
                     int& milliseconds) {
    // Fields: 3 UTC offset, 4 hour, 5 minute, 6 second, 7 millisecond.
    minutes = (now[4] * 60 + now[5]) - (start[4] * 60 + start[5]);
    seconds = now[6] - start[6];
    milliseconds = now[7] - start[7];
    if (milliseconds < 0) {
        seconds -= 1;
        milliseconds += 1000;
    }
    if (seconds < 0) {
        minutes -= 1;
        seconds += 60;
    }
    // The readings are local times of day: a change of the UTC offset between
    // them (daylight saving) is taken out, and a step that runs past midnight
    // would otherwise show a negative time.
    minutes -= now[3] - start[3];
    if (minutes < 0) minutes += 24 * 60;
}

void elapsed_time(const time_stamp& start, int& minutes, int& seconds, int& milliseconds) {
    elapsed_between(start, take_stamp(), minutes, seconds, milliseconds);
}

std::string timing_line(std::string_view label, int minutes, int seconds, int fraction) {
    // (label,I3,' minutes',I4,'.',I3,' seconds')
    std::string line(label);
    line += textio::edit_i(minutes, 3);
    line += " minutes";
    line += textio::edit_i(seconds, 4);
    line += '.';
    line += textio::edit_i(fraction, 3);
    line += " seconds";
    return line;
}

std::string timing_line_since(std::string_view label, const time_stamp& start) {
    int minutes = 0;
    int seconds = 0;
    int milliseconds = 0;
    elapsed_time(start, minutes, seconds, milliseconds);
    return timing_line(label, minutes, seconds, milliseconds);
}

}  // namespace rcwa::linalg
