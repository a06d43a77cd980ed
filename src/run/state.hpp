// The values and arrays of one run. rcwa2d_main owns one run_state and
// passes it (or parts of it) by reference to the steps; nothing else keeps run
// state between calls. Arrays are indexed from 1.
#pragma once

#include <complex>
#include <string>

#include "linalg/dense.hpp"
#include "structure/orders.hpp"

namespace rcwa::run {

using linalg::array1;
using linalg::bd_mat;
using linalg::cplx;
using linalg::full_mat;

struct run_state {
    // ---- process and command line ----
    int my_proc = 0;
    int nprocs = 1;
    double par_value = 0.0;   // argument 1
    int par_kind = -1;        // argument 2 (-1: replaces nothing)
    int run_index = 0;        // argument 3
    int ios_arg = 1;          // 0 when argument 3 was read as an integer

    // ---- parameter file ----
    int iomin = 0, iomax = 0;
    double theta_i = 0.0, phi_i = 0.0;  // degrees as read, radians after the echo
    double lambda = 0.0;                // micrometres
    double trunc_shape = 0.0;

    // ---- 2D-stack file header ----
    std::string stack_id;     // 10 characters
    bool li_rules = true;
    double mix_weight = 0.0;
    double dy = 0.0, dz = 0.0, grid_angle = 0.0;
    int nlayer = 0;

    // ---- output-control file ----
    bool lfout = false;
    int iout = 0;
    bool l_info = false;
    std::string fname_out;    // 260 characters, with the sweep suffix
    int i_eff = 0;
    bool lpercent = false;
    int nop[5] = {0, 0, 0, 0, 0};  // nop[1..4]
    int i_format = 0;
    bool lproject = false;
    std::string fname_out_mat;  // 260 characters
    int tag_pos = 0;

    // ---- derived values ----
    int nmax1d = 1;
    int norder = 0;           // N
    double k0 = 0.0, k0sq = 0.0;
    cplx n_sup, eps_sup, k0sq_eps_sup;
    double thick_sup = 0.0;
    cplx n_sub, eps_sub, k0sq_eps_sub;
    double thickness = 0.0;
    double k_inc_y = 0.0, k_inc_z = 0.0;

    // ---- layer loop ----
    bool err_flag = false;
    bool neg_k_flag = false;
    int mat_src = 0;          // 0 2D-stack file, 1 sequence file, 2 eps-fill file
    bool lay_diag = true;
    int nseq = 0, seq_count = 0;
    double fak_thick = 1.0;

    // ---- order set ----
    array1<double> ky_1d, kz_1d;     // nmax1d
    structure::row_ranges row_range; // 2 by nmax1d: row_range(k, n), k = 1, 2
    array1<int> ord_i1, ord_i2, ord_slot, ord_of;  // N
    array1<double> kt2;              // N

    // ---- run arrays ----
    array1<cplx> gam, kn_sub, kn_sup;  // 2N
    bd_mat p_bd, q_bd, x_bd, y_bd;     // N by 4
    full_mat r_mat, t_mat;             // 2N by 2N: rt_state
    full_mat p_mat, q_mat, x_mat, y_mat, q_copy, m_mat;
    array1<int> prop_t, prop_r;        // N
    int n_prop_t = 0, n_prop_r = 0;
};

}  // namespace rcwa::run
