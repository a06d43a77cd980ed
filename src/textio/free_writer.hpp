// Free-format (list-directed) lines, byte for byte as gfortran writes them
// with `write(*,*)`/`print *`: a blank begins the line and separates items,
// except between two character items; an integer is right-aligned in 11
// characters (wider only when it needs more), a double in 25 (gfortran's
// 1PG25.17E3: fixed point with 5 trailing blanks from 0.1 up to 1e17, else
// d.dddddddddddddddE+ddd), a complex as (re,im) with its parts unpadded and
// right-aligned in 53, a logical as T or F; character items are written as
// they are. A line without items is empty (no blank).
#pragma once

#include <complex>
#include <string>
#include <string_view>

namespace rcwa::textio {

class free_line {
public:
    free_line& operator<<(int v);
    free_line& operator<<(long v);
    free_line& operator<<(double v);
    free_line& operator<<(std::complex<double> v);
    free_line& operator<<(bool v);
    free_line& operator<<(std::string_view v);
    free_line& operator<<(const char* v) { return *this << std::string_view(v); }
    free_line& operator<<(const std::string& v) { return *this << std::string_view(v); }
    // The finished line, without a line end.
    std::string str() const;

private:
    std::string text_;
    enum class last_t { none, character, other } last_ = last_t::none;
};

}  // namespace rcwa::textio
