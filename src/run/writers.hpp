// The fixed-format records of the result files. Each call writes one record
// (and its line end) on a stream the caller has opened. i_format picks the
// number format (1..6 or -1..-6; its sign chooses two or one index columns in
// the order records only); any other i_format writes nothing. A failed write
// sets err_flag, which a writer never clears.
#pragma once

#include "platform/platform.hpp"

namespace rcwa::run {

// Order records: the parameter value, the indices (second index first) and
// eight, four, two or one values, as the name says; values below 1e-16 in
// modulus (single precision) are written as 0.
void write_order_eight(platform::out_file& out, int i_format, double par_value, int i2, int i1,
                     const double (&values)[8], bool& err_flag);
void write_order_four(platform::out_file& out, int i_format, double par_value, int i2, int i1,
                     const double (&values)[4], bool& err_flag);
void write_order_two(platform::out_file& out, int i_format, double par_value, int i2, int i1,
                       const double (&values)[2], bool& err_flag);
// No step of a run calls write_order_one; it stays built and tested.
void write_order_one(platform::out_file& out, int i_format, double par_value, int i2, int i1,
                     double value, bool& err_flag);

// Records without indices and without the print threshold.
void write_ellipso(platform::out_file& out, int i_format, double par_value,
                   const double (&values)[4], bool& err_flag);
void write_param_two(platform::out_file& out, int i_format, double par_value, double value1,
                     double value2, bool& err_flag);
void write_param_one(platform::out_file& out, int i_format, double par_value, double value,
                     bool& err_flag);

}  // namespace rcwa::run
