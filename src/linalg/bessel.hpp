// Bessel function of the first kind of integer order and complex argument,
// by its power series or from a table. No step of a run calls these; they
// stay built and tested.
#pragma once

#include "linalg/dense.hpp"

namespace rcwa::linalg {

// result = J_n(z); with use_table the value comes from the built-in table
// (entry |n| + 1), which holds zeros.
void bessel_jn(cplx& result, bool use_table, int n, cplx z);

// 1/n!, formed as 1 divided in turn by 1, 2, ..., n; 1 for n <= 0.
double inv_factorial(int n);

// value = table(index); z is not used. An index outside the table gives 0.
void bessel_table(int index, cplx z, const array1<cplx>& table, cplx& value);

}  // namespace rcwa::linalg
