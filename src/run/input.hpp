// The input of a run: the command line, the control file and the records of
// the parameter, 2D-stack and output-control files, read in the order the run
// driver gives. Every read error stops the run (run_stop) with the record's
// message and status; an end of file where a record is expected counts as a
// read error of that record.
#pragma once

#include <string>
#include <vector>

#include "run/state.hpp"
#include "run/statuses.hpp"
#include "structure/material.hpp"
#include "textio/free_reader.hpp"

namespace rcwa::run {

// The input streams of a run, one per file.
struct run_streams {
    textio::file_source ctr;     // "qalder.ctr"
    textio::file_source par;     // parameter file
    textio::file_source stack;   // 2D-stack file
    textio::file_source outctl;  // output-control file
    textio::file_source seq;     // the open sequence file, if any

    // The streams read_nk chooses from by record_source (an eps-fill file is
    // the caller's to add).
    structure::material_streams materials() {
        structure::material_streams m;
        m.stack = &stack;
        m.sequence = &seq;
        return m;
    }
};

// Command line: par_value, par_kind, run_index, each read as one free-format
// item. A missing argument keeps the default of run_state (no override, run
// index 0, no ellipsometric values). arg_buffer ends up holding the text of
// argument 3, blank-padded to 128 characters.
void read_command_line(const std::vector<std::string>& args, command_line& cmd,
                       std::string& arg_buffer);

// The "arg", banner and "parameter" lines (process 0).
void print_banner(bool root, const command_line& cmd, const std::string& arg_buffer);

// Control file: existence check, up to ten tries to open it with writers
// denied, then the three names, each echoed (process 0) and its file opened.
void open_input_files(bool root, run_streams& st);

// Parameter file records 1 and 2 (iomin, iomax) and their check.
void read_order_limits(param_file& par, run_streams& st);

// 2D-stack header and, with Li's rules off, mix_weight.
void read_stack_header(stack_header& hdr, run_streams& st);

// Parameter file records 3 to 8 with the par_kind override; closes the file.
void read_incidence(const command_line& cmd, param_file& par, run_streams& st);

// Incidence and truncation echo (process 0).
void echo_incidence(bool root, const param_file& par);

// 2D-stack file: dy, dz, grid_angle when the header asks for it, nlayer.
void read_periods(stack_header& hdr, run_streams& st);

// The whole output-control file; fname_out gets its sweep suffix.
void read_output_control(const command_line& cmd, output_control& out, run_streams& st);

// Superstrate material and thickness; eps_sup, k0sq_eps_sup, k_inc_y, k_inc_z
// (from the angles of par, in degrees).
void read_superstrate(const param_file& par, const stack_header& hdr, media_values& media,
                      run_streams& st);

// Substrate material and thickness; eps_sub, k0sq_eps_sub.
void read_substrate(const param_file& par, media_values& media, run_streams& st);

// The index n + ik of a material record (structure::read_nk) at wavelength
// lambda from the stream of from; stops with read_error when the record cannot
// be read or gives no finite index, with neg_k when the material has gain.
cplx read_material(double lambda, record_source from, const structure::material_streams& streams,
                   const status_entry& read_error, const status_entry& neg_k);

// A thickness record; false when it cannot be read or the thickness is below
// zero (a zero thickness is a layer that does nothing).
bool read_thickness(textio::line_source& src, double& thickness);

// The digits of |run_index| that name the files of a sweep's run, as an I4
// field writes them ("****" from 10000 on).
std::string run_index_digits(int run_index);

// The result base name of a sweep run: the part of fname_out before its first
// two blanks, run_index_digits and ".txt", blank-padded to 260.
std::string sweep_name(const std::string& fname_out, int run_index);

}  // namespace rcwa::run
