// Material records: a code and its parameters, turned into the complex
// refractive index n + ik at the run's wavelength.
#pragma once

#include <string>

#include "linalg/dense.hpp"
#include "textio/free_reader.hpp"

namespace rcwa::structure {

using linalg::cplx;

// The file a material record comes from.
enum class record_source { stack_file, sequence_file, eps_fill_file };

// The streams of the files a material record may come from, one per source.
struct material_streams {
    textio::line_source* stack = nullptr;
    textio::line_source* sequence = nullptr;
    textio::line_source* eps_fill = nullptr;
};

// The index n + ik of the next material record of the stream of from, at
// wavelength lambda (micrometres). err_flag: the record cannot be read or gives
// no finite index; neg_k_flag: the material has gain (Im n < 0 or Im n^2 < 0).
void read_nk(cplx& value, double lambda, record_source from, const material_streams& streams,
             bool& err_flag, bool& neg_k_flag);

// ---- routines that no step of a run calls ----
// params: five reals a..e (params[0..4]); name: 260 characters.
void read_nk_record(textio::line_source& stream, int& code, cplx& value, std::string& name,
                    double params[5], bool& err_flag);
// Writes the record as lines appended to out, each ended by '\n'.
void write_nk_record(std::string& out, int code, cplx value, const std::string& name, double a,
                     double b, double c, double d, double e, bool& err_flag);
int name_len(const std::string& name);
void name_add_ext(std::string& name, int n, const std::string& ext);
void name_parse_ext(const std::string& name, std::string& ext, bool& is_r, bool& is_e, bool& is_s,
                    bool& err_flag);

}  // namespace rcwa::structure
