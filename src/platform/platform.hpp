// The only code that touches the operating system: console, files, clock,
// sleep, command line and process exit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace rcwa::platform {

// ---- console ---------------------------------------------------------------

// Writes one line (a line end is added) to standard output and flushes it, so
// that lines of several processes and of a crash are not lost in a buffer.
void console_line(std::string_view line);

// Shows a prompt line and, when standard input is a terminal, waits for one
// line of it. Returns false when nothing was read: standard input is no
// terminal (a file, a pipe, closed) or at its end. A batch run never hangs here.
bool console_pause(std::string_view prompt);

// ---- file names --------------------------------------------------------------

// Turns a name as it stands in an input file (blank-padded, possibly with
// backslash separators) into a path of this machine: trailing blanks are
// dropped and every backslash becomes a slash.
std::string map_path(std::string_view name);

// Does anything exist at this name (after map_path)?
bool path_exists(std::string_view name);

// Deletes a file; true when it is gone afterwards.
bool delete_file(std::string_view name);

// ---- files -------------------------------------------------------------------

// A text file opened for reading, line by line. With deny_writers the file is
// held under a shared advisory lock (flock) for as long as it is open, and the
// open fails while anyone holds an exclusive lock on it; our own writers take
// an exclusive lock, so they cannot change a file that a run is reading.
class in_file {
public:
    in_file() = default;
    ~in_file();
    in_file(const in_file&) = delete;
    in_file& operator=(const in_file&) = delete;
    in_file(in_file&& other) noexcept;
    in_file& operator=(in_file&& other) noexcept;

    // Opens an existing file; false when it does not exist, cannot be read or
    // (with deny_writers) is locked by a writer.
    bool open(std::string_view name, bool deny_writers);
    bool is_open() const { return fp_ != nullptr; }
    // Next line without its line end (a trailing carriage return of a DOS line
    // end is dropped too). False at the end of the file, and from a line of
    // max_line_length characters on: the file counts as ending there.
    bool get_line(std::string& line);
    static constexpr std::size_t max_line_length = 1 << 20;
    void close();

private:
    std::FILE* fp_ = nullptr;
    bool overlong_ = false;
};

// A text file opened for appending (created when missing), under an exclusive
// advisory lock while it is open. It holds only whole records: when a write
// or the close fails, a regular file is cut back to the size it had at the
// open; and a file that ends inside a line (its writer was killed) gets a
// line end before the first text written to it, so the cut record stays a
// line of its own.
class out_file {
public:
    out_file() = default;
    ~out_file();
    out_file(const out_file&) = delete;
    out_file& operator=(const out_file&) = delete;
    out_file(out_file&& other) noexcept;
    out_file& operator=(out_file&& other) noexcept;

    // create_missing=false: the file must exist already (status "old").
    bool open_append(std::string_view name, bool create_missing = true);
    bool is_open() const { return fp_ != nullptr; }
    // Writes text and a line end; false when the write fails.
    bool write_line(std::string_view text);
    // Writes text without a line end; false when the write fails.
    bool write_text(std::string_view text);
    // True for a regular file that nothing has been written to yet (by
    // anyone): decided under the lock, so of two writers one finds it empty.
    bool empty();
    // Writes text to the file in one piece, starting it on a fresh line when
    // the file ends inside a line (text written before it without a line end,
    // or a writer killed mid-record); false when the write fails.
    bool write_block(std::string_view text);
    // Flushes and closes; false when a write failed or buffered data could
    // not be written, and the file is then cut back to its size at the open.
    bool close();

private:
    // Writes text, then a line end when line_end is set.
    bool put(std::string_view text, bool line_end);

    std::FILE* fp_ = nullptr;
    long long open_size_ = -1;  // size at the open; -1 for no regular file
    bool inside_line_ = false;  // the file ends inside a line; nothing written yet
    bool failed_ = false;       // a block's write failed (the stream keeps its own error)
};

// ---- clock -------------------------------------------------------------------

// Time of day: hour, minute, second, hundredths.
std::array<int, 4> time_of_day_hundredths();

// Date and time with milliseconds: year, month, day, offset from UTC in
// minutes, hour, minute, second, millisecond.
std::array<int, 8> date_time_ms();

// Sleeps 10 milliseconds.
void sleep_10ms();

// ---- environment and processors ---------------------------------------------

// True when the environment variable is set to something other than "" or "0".
bool env_flag(const char* name);

// The processors this thread may run on, one bit each (processor i is bit
// i % 8 of byte i / 8); empty when the system does not tell.
std::vector<unsigned char> cpu_mask();

// Lets this thread, and the threads it starts from now on, run on the
// processors of the mask; false when the system refuses.
bool set_cpu_mask(const std::vector<unsigned char>& mask);

// ---- memory ------------------------------------------------------------------

// Keeps memory that the process frees for its later allocations instead of
// giving it back to the system: a run allocates and frees matrices of the
// same large size again and again, and fresh pages cost a fault each on
// first use.
void keep_freed_memory();

// Asks the system to back the pages of this block, before their first use,
// with large pages where it can: a large matrix then costs a few hundred
// page faults instead of tens of thousands.
void prefer_large_pages(void* p, std::size_t bytes);

// ---- process -----------------------------------------------------------------

// Ends the process with this status after flushing the standard streams.
[[noreturn]] void exit_process(int status);

}  // namespace rcwa::platform
