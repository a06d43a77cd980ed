#include "textio/free_writer.hpp"

#include <string>

#include "textio/float_edit.hpp"

namespace rcwa::textio {

namespace {

// gfortran's list-directed layout of a default integer and of a double
// precision real (1PG25.17E3; in its E form one digit fewer).
constexpr std::size_t int_width = 11;
const detail::float_spec real_spec{detail::float_spec::G, 25, 17, 3, 1, 1, false};
// The parts of a complex: the same, without blanks and with the full 17
// digits behind the point in the E form; the pair is right-aligned in
// 2*25+3 characters.
const detail::float_spec part_spec{detail::float_spec::G, 25, 17, 3, 1, 0, true};
constexpr std::size_t complex_width = 2 * 25 + 3;

}  // namespace

free_line& free_line::operator<<(int v) { return *this << static_cast<long>(v); }

free_line& free_line::operator<<(long v) {
    // A blank starts the line and separates items; the number then fills
    // gfortran's field (wider only when it would not fit).
    const std::string digits = std::to_string(v);
    text_ += ' ';
    if (digits.size() < int_width) text_.append(int_width - digits.size(), ' ');
    text_ += digits;
    last_ = last_t::other;
    return *this;
}

free_line& free_line::operator<<(double v) {
    text_ += ' ';
    text_ += detail::edit_real(v, real_spec);
    last_ = last_t::other;
    return *this;
}

free_line& free_line::operator<<(std::complex<double> v) {
    std::string body = "(" + detail::edit_real(v.real(), part_spec) + "," +
                       detail::edit_real(v.imag(), part_spec) + ")";
    text_ += ' ';
    if (body.size() < complex_width) text_.append(complex_width - body.size(), ' ');
    text_ += body;
    last_ = last_t::other;
    return *this;
}

free_line& free_line::operator<<(bool v) {
    text_ += ' ';
    text_ += v ? 'T' : 'F';
    last_ = last_t::other;
    return *this;
}

free_line& free_line::operator<<(std::string_view v) {
    // Two character items in a row are written without a blank between them.
    if (last_ != last_t::character) text_ += ' ';
    text_ += v;
    last_ = last_t::character;
    return *this;
}

std::string free_line::str() const { return text_; }

}  // namespace rcwa::textio
