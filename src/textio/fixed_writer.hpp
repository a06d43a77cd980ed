// Fixed-format (edit-descriptor) records, as Fortran writes them. A format is
// data: it is parsed once from its usual notation, e.g.
//   static const format f("(G12.4,2X,2(I3,2X),3X,4(G16.8,1X))");
//   std::string rec = write_fixed(f, {par, i2, i1, v1, v2, v3, v4});
// Supported: Iw, Fw.d, Ew.d, ESw.d, Gw.d, Aw, A, nX, quoted literals ('..' or
// "..") and repeat groups r(...) and repeat counts rIw etc. A value too wide
// for its field fills it with asterisks; blanks that an nX places at the end
// of the record are not written. Output stops at the first data descriptor
// for which no value is left (literals before it are still written).
// Numbers are edited exactly as gfortran edits them (rounding of the exact
// binary value, -0.0000 for a negative value that rounds to zero, 0.1000+101
// for exponents above 99, G's exact zero as F(w-4).(d-1) and 4 blanks, NaN
// and Infinity/Inf right-aligned). A malformed notation, a value of the wrong
// type for its descriptor or more values than the format takes throw
// std::invalid_argument: they are faults of the calling code.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rcwa::textio {

class format {
public:
    explicit format(std::string_view notation);

    struct descriptor {
        enum kind_t { I, F, E, ES, G, A, X, literal } kind;
        int w = 0;  // field width (0 for A without width)
        int d = 0;  // digits
        std::string text;  // literal text
    };
    const std::vector<descriptor>& descriptors() const { return flat_; }

private:
    std::vector<descriptor> flat_;  // repeat groups expanded
};

using value = std::variant<int, double, std::string_view>;

std::string write_fixed(const format& f, std::initializer_list<value> values);
std::string write_fixed(const format& f, const std::vector<value>& values);

// One field on its own, for callers that need a single descriptor.
std::string edit_i(long long v, int w);
std::string edit_f(double v, int w, int d);
std::string edit_e(double v, int w, int d);
std::string edit_es(double v, int w, int d);
std::string edit_g(double v, int w, int d);

}  // namespace rcwa::textio
