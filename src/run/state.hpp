// The values and arrays of one run, in parts named by what they hold.
// rcwa2d_main owns one run_state and passes its parts by reference to the
// steps: a step's signature names the parts it reads (const) and writes.
// Nothing else keeps run state between calls. Arrays are indexed from 1.
//
// Glossary of the names that come from the problem's vocabulary:
//   N, norder    number of retained diffraction orders; the mode matrices are 2N by 2N
//   nmax1d       table indices per lattice direction, 2 iomax + 1
//   iomin, iomax lowest and highest order index of the truncation square
//   ord_i1/i2    table indices (1..nmax1d) of the order at a list position
//   ord_slot     a position's entry of kt2; ord_of: output position to list position
//   kt2          squared in-plane wave vector of an order
//   kn_orders    normal wave vectors sqrt(k0^2 eps - kt2) of every order in a medium
//   kn_sup/sub   those of the superstrate and substrate
//   gam          normal wave vectors of the current layer's modes, for t_link
//   r_mat, t_mat reflection and transmission matrices of the stack built so far
//   rti_link     takes (r, t) into a layer's mode basis at its lower side
//   t_link       carries (r, t) through a layer's thickness
//   rt_link      takes (r, t) out of the mode basis at the layer's upper side
//   bd_mat, _bd  the block-diagonal (N by 4) form of a 2N matrix: one 2 by 2
//                block per order, enough while every layer is homogeneous
//   lay_diag     true while no grating layer has come: r_mat, t_mat stay block-diagonal
//   mat_src      the file the current entry's records come from (record_source)
//   fak_thick    factor on every thickness of a sequence file
//   nseq         entries of the open sequence file; seq_count those taken
//   iout         layout of the result files by its modulus (0, 4..6 one file; 1..3 one
//                file per quantity); layout() is that modulus
//   i_eff        what is written per order (efficiencies, phases, moduli, ellipsometry, amplitudes)
//   i_format     number format of the records (its sign: two or one index columns)
//   nop          nop[1..2] first-index window, nop[3..4] second-index window of the output
//   lfout        result files are written; lproject: the project file is written
//   l_info       the informational console lines are printed
//   par_value    the sweep parameter (argument 1); par_kind which input it replaces
#pragma once

#include <complex>
#include <string>

#include "linalg/dense.hpp"
#include "structure/material.hpp"
#include "structure/orders.hpp"

namespace rcwa::run {

using linalg::array1;
using linalg::bd_mat;
using linalg::cplx;
using linalg::full_mat;
using structure::record_source;

// The three arguments of the command line.
struct command_line {
    double par_value = 0.0;   // argument 1
    int par_kind = -1;        // argument 2 (-1: replaces nothing)
    int run_index = 0;        // argument 3
    bool run_index_given = false;  // argument 3 was read as an integer
};

// The parameter file, with the command-line override applied.
struct param_file {
    int iomin = 0, iomax = 0;
    double theta_i = 0.0, phi_i = 0.0;  // degrees
    double lambda = 0.0;                // micrometres
    double trunc_shape = 0.0;
};

// The 2D-stack file's header and lattice.
struct stack_header {
    std::string stack_id;     // 10 characters
    bool li_rules = true;
    double mix_weight = 0.0;
    double dy = 0.0, dz = 0.0, grid_angle = 0.0;
    int nlayer = 0;           // entries as the file gives them
};

// The output-control file.
struct output_control {
    bool lfout = false;
    int iout = 0;             // as read: layout() and, by its sign, whether old files go first
    bool l_info = false;
    std::string fname_out;    // 260 characters, with the sweep suffix
    int i_eff = 0;
    bool lpercent = false;
    int nop[5] = {0, 0, 0, 0, 0};  // nop[1..4]
    int i_format = 0;
    bool lproject = false;
    std::string fname_out_mat;  // 260 characters
    int tag_pos = 0;          // where the order tag goes in fname_out (per-quantity layouts)

    // The layout of the result files: iout without its sign (read_output_control
    // refuses INT_MIN, which has none).
    int layout() const { return iout < 0 ? -iout : iout; }
    // One table for every order (0, 4 and above) rather than one file per
    // order and quantity (1 to 3).
    bool one_file() const { return layout() == 0 || layout() >= 4; }
};

// The wave and the two half-spaces.
struct media_values {
    double k0 = 0.0, k0sq = 0.0;
    cplx n_sup, eps_sup, k0sq_eps_sup;
    double thick_sup = 0.0;
    cplx n_sub, eps_sub, k0sq_eps_sub;
    double thick_sub = 0.0;
    double k_inc_y = 0.0, k_inc_z = 0.0;
};

// Everything a run knows before the layer loop; the loop only reads it.
struct run_setup {
    int my_proc = 0;
    int nprocs = 1;
    command_line cmd;
    param_file par;
    stack_header hdr;
    output_control out;
    media_values media;
    structure::order_set orders;

    bool root() const { return my_proc == 0; }
    // The informational console lines: asked for, and this is process 0.
    bool talk() const { return out.l_info && my_proc == 0; }
};

// Where the layer loop stands.
struct layer_cursor {
    record_source mat_src = record_source::stack_file;
    bool lay_diag = true;
    int nseq = 0, seq_count = 0;
    double fak_thick = 1.0;
    double thickness = 0.0;   // of the current entry
};

// The stack joined so far and, per order, the half-spaces the results read.
struct stack_state {
    full_mat r_mat, t_mat;             // 2N by 2N
    array1<cplx> kn_sub, kn_sup;       // 2N
    array1<int> prop_t, prop_r;        // N: 1 where the order propagates
    int n_prop_t = 0, n_prop_r = 0;
};

// Work arrays of the layer steps; nothing in them outlives a step.
struct scratch {
    array1<cplx> gam;                  // 2N
    bd_mat p_bd, q_bd, x_bd, y_bd;     // N by 4
    full_mat p_mat, q_mat, x_mat, y_mat, q_copy, m_mat;  // 2N by 2N
};

struct run_state {
    run_setup setup;
    layer_cursor cursor;
    stack_state stack;
    scratch work;
};

}  // namespace rcwa::run
