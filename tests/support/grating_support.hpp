// Inputs of grating-layer entries for whole runs (patches, rasters, pixel maps
// with their eps-fill files) and a run that reads back the efficiency table.
#pragma once

#include <string>
#include <vector>

#include "support/run_support.hpp"

namespace rcwa::test {

// A number as the input files write it (17 significant digits).
std::string num17(double v);

// One patch: its refractive index and the record c1 c2 c3 c4 (c1 upper and
// c3 lower bound along dz, c2 lower and c4 upper bound along dy).
struct patch {
    cplx n;
    double c1, c2, c3, c4;
};
// A patch entry (code 4 unless given).
std::string patch_entry(const std::vector<patch>& patches, double thickness, int code = 4);

// One raster shape: exponent, record c1..c4 (widths along dy, dz and centre
// offsets, micrometres) and rotation in degrees.
struct shape {
    double power;
    double c1, c2, c3, c4;
    double angle;
};
// A raster entry: code +-9 with two indices and one shape, +-10 with three and two.
std::string raster_entry(int code, const std::vector<cplx>& n, const std::vector<shape>& shapes,
                         int kexp, double thickness);

// A pixel-map entry (code 5) naming an eps-fill file.
std::string pixel_entry(const std::string& fill_name, cplx n_bg, double thickness);

// An eps-fill file: materials, grid exponent, runs (length, material index).
struct run_length {
    int length, index;
};
std::string fill_text(const std::vector<cplx>& materials, int kexp,
                      const std::vector<run_length>& runs);

// Runs of a map of M = 2^kexp lines along dz, each holding `ridge` pixels of
// material 1 followed by M - ridge of the background: a lamellar grating whose
// ridges run along dz.
std::vector<run_length> lamellar_runs(int kexp, int ridge);

// Writes the inputs (and the extra files), runs (under mpirun with nprocs > 0)
// and reads the table; fails the test when the run does not end with status 1.
void run_table(table_run& t, const param_input& p, const stack_input& s,
               const std::vector<std::pair<std::string, std::string>>& files = {},
               int nprocs = 0);

// Header of a 2D-stack file with Li's rules off (mix_weight w), keeping the
// oblique mark when the grid angle is to be read.
void set_li_off(stack_input& s, double w, bool oblique);

// Largest |difference| of every efficiency of two tables over the same orders.
double max_table_difference(const std::vector<order_eff>& a, const std::vector<order_eff>& b);

}  // namespace rcwa::test
