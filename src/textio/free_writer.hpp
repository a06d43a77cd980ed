// Free-format (list-directed) lines, in the style gfortran writes them with
// `write(*,*)`/`print *`: the line begins with a blank; numbers take
// gfortran's widths (integer I12 after the leading blank, double precision
// as gfortran's G-style of 17 significant digits, complex as (re,im));
// character items are written as they are.
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
