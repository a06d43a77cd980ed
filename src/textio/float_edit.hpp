// Real numbers edited as gfortran's run-time library edits them, shared by the
// fixed-format writer (F, E, ES, G) and the free-format line writer (its
// list-directed 1PG25.17E3). Digits come from the C library's exact decimal
// conversion (round to nearest, ties to even, on the exact binary value), as
// gfortran's own do; the choice between the F and E forms of G follows
// gfortran's thresholds, computed in double precision as it computes them.
#pragma once

#include <string>

namespace rcwa::textio::detail {

struct float_spec {
    enum kind_t { F, E, ES, G } kind = F;
    int w = 0;
    int d = 0;
    int e = -1;              // exponent digits; -1: not given (two, or three without the letter)
    int scale = 0;           // kP scale factor (0, or 1 for list-directed output)
    int comp_d = 0;          // digits G gives up in its E form (1 for a list-directed real)
    bool no_blanks = false;  // no padding at all (the parts of a list-directed complex)
};

// The field as gfortran writes it: exactly w characters, or, with no_blanks,
// the bare number.
std::string edit_real(double v, const float_spec& f);

// An integer right-aligned in w characters; asterisks when it does not fit.
std::string edit_int(long long v, int w);

}  // namespace rcwa::textio::detail
