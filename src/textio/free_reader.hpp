// Free-format (list-directed) reading of input records, as the input files of
// the system are written: one read takes the next line, and further lines
// while items are missing, and skips the rest of the last line it took.
#pragma once

#include <complex>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/platform.hpp"

namespace rcwa::textio {

// Where the lines of a reader come from.
class line_source {
public:
    virtual ~line_source() = default;
    // Next line without its line end; false at the end.
    virtual bool next_line(std::string& line) = 0;
};

// Lines of a text held in memory (split at '\n'); used for command-line
// arguments and in tests.
class string_source : public line_source {
public:
    explicit string_source(std::string_view text);
    bool next_line(std::string& line) override;

private:
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
};

// Lines of a file (platform::in_file).
class file_source : public line_source {
public:
    bool open(std::string_view name, bool deny_writers);
    bool is_open() const { return file_.is_open(); }
    void close() { file_.close(); }
    bool next_line(std::string& line) override { return file_.get_line(line); }

private:
    platform::in_file file_;
};

// A text item: read into *s, which ends up exactly len characters long (the
// item cut, or padded with blanks on the right).
struct text_ref {
    std::string* s;
    std::size_t len;
};
inline text_ref text(std::string& s, std::size_t len) { return {&s, len}; }

// One target of a read. A null value or a slash leaves its target unchanged.
using item = std::variant<int*, double*, std::complex<double>*, bool*, text_ref>;

// Reads one free-format record into the items, in order. Returns true on
// success, false on a read error; an end of the source where an item is
// expected is a read error too. A read with no items consumes one line
// (false when there is none).
bool read_record(line_source& src, std::initializer_list<item> items);

// read_record for the input files of a run, whose quantities are all finite:
// a real or complex item that ends up NaN or infinite is a read error too.
bool read_finite(line_source& src, std::initializer_list<item> items);

}  // namespace rcwa::textio
