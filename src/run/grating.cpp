// Grating-layer entries: rectangular patches (4), a pixel map from an eps-fill
// file (5) and rasters of one (9) or two (10) shapes. Each reads its records,
// builds the layer's structure inputs and leaves the four permittivity
// Fourier matrices for the modal step, which turns them into the layer's
// modes and joins the layer onto r_mat, t_mat with the three link steps.
#include "run/grating.hpp"

#include <array>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "linalg/dense.hpp"
#include "linalg/link.hpp"
#include "linalg/timing.hpp"
#include "platform/platform.hpp"
#include "run/layers.hpp"
#include "run/stop.hpp"
#include "structure/fourier.hpp"
#include "structure/grating_modes.hpp"
#include "structure/material.hpp"
#include "structure/raster.hpp"
#include "textio/free_reader.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::run {

namespace {

using textio::read_finite;
using textio::read_record;

// Four bounds per patch (and two edges per patch in the sweep) must stay
// indexable by an int.
constexpr int max_ieps = INT_MAX / 4;

// Grid sides beyond 2^15 would overflow M*M in an int (and memory long before).
constexpr int max_kexp = 15;

// A grid side M = 2^kexp that the Fourier step can use: at least nmax1d, since
// the transforms are read at order differences up to nmax1d - 1.
bool grid_exponent_ok(int kexp, int nmax1d) {
    return kexp >= 0 && kexp <= max_kexp && (1 << kexp) >= nmax1d;
}

}  // namespace

void grating_layer(const run_setup& s, layer_cursor& cur, stack_state& stack, scratch& work,
                   run_streams& st, int layer_type) {
    grating_eps eps;
    switch (std::llabs(static_cast<long long>(layer_type))) {
        case patch_code: patch_entry(s, cur, st, eps); break;
        case pixel_map_code: pixel_map_entry(s, cur, st, eps); break;
        case raster_one_code:
        case raster_two_code: raster_entry(s, cur, st, layer_type, eps); break;
        default: return;
    }
    grating_modal_step(s, cur.thickness, stack, work, eps);
}

// ---- patches (type 4) -------------------------------------------------------------

void patch_entry(const run_setup& s, layer_cursor& cur, run_streams& st, grating_eps& eps) {
    cur.lay_diag = false;
    textio::line_source& src = entry_stream(cur, st);

    int ieps = 0;
    if (!read_record(src, {&ieps})) stop(read_error_ieps);
    // No patch, or a negative count, leaves the layer's matrices all zero;
    // beyond max_ieps the patch tables could not be indexed.
    if (ieps < 1 || ieps > max_ieps) stop(read_error_ieps);

    // Grown patch by patch: a count beyond the file ends at its read error,
    // not at an allocation for patches that never come.
    std::vector<cplx> n_read;
    std::vector<std::array<double, 4>> bounds;
    double c1 = 0.0, c2 = 0.0, c3 = 0.0, c4 = 0.0;
    for (int p = 1; p <= ieps; ++p) {
        const cplx n_pat = read_material(s.par.lambda, cur.mat_src, st.materials(),
                                         read_error_patch_eps, neg_k_layer);
        n_read.push_back(n_pat);
        if (!read_finite(src, {&c1, &c2, &c3, &c4})) stop(read_error_patch);
        // A sequence file gives fractions of the periods already.
        std::array<double, 4> b{c3, c2, c1, c4};
        if (cur.mat_src != record_source::sequence_file)
            b = {c3 / s.hdr.dz, c2 / s.hdr.dy, c1 / s.hdr.dz, c4 / s.hdr.dy};
        for (double& v : b)
            if (!structure::patch_bound_in_cell(v)) stop(patch_outside_cell, std::to_string(p));
        bounds.push_back(b);
    }
    array1<cplx> eps_pat(ieps);  // permittivities n^2
    structure::rect_table rect(ieps);
    for (int p = 1; p <= ieps; ++p) {
        const std::size_t at = static_cast<std::size_t>(p - 1);
        eps_pat(p) = n_read[at] * n_read[at];
        for (int k = 1; k <= 4; ++k) rect(k, p) = bounds[at][static_cast<std::size_t>(k - 1)];
    }

    layer_thickness(cur, src, read_error_thickness);

    std::optional<grating_eps> built =
        structure::layer_eps_matrices(s.hdr.li_rules, eps_pat, rect, s.hdr.grid_angle, s.orders);
    if (!built) stop(too_many_patches);
    eps = std::move(*built);

    if (s.talk())
        platform::console_line((textio::free_line() << " eh_inv").str());
}

// ---- pixel map from an eps-fill file (type 5) ---------------------------------------

void pixel_map_entry(const run_setup& s, layer_cursor& cur, run_streams& st, grating_eps& eps) {
    cur.lay_diag = false;
    textio::line_source& src = entry_stream(cur, st);

    std::string fill_name;
    if (!read_record(src, {textio::text(fill_name, 260)})) stop(read_error_fill_info);

    const cplx n_bg = read_material(s.par.lambda, cur.mat_src, st.materials(),
                                    read_error_fill_background, neg_k_layer);

    textio::file_source fill;
    if (!fill.open(fill_name, false)) stop(open_error_fill);
    int fill_count = 0;
    if (!read_record(fill, {&fill_count})) stop(read_error_fill);
    if (fill_count < 0) stop(read_error_fill);

    structure::material_streams materials = st.materials();
    materials.eps_fill = &fill;
    // eps_pat[0] is the background; grown record by record, so that a count
    // larger than the file ends at a read error rather than a huge allocation.
    std::vector<cplx> eps_pat(1);
    for (int k = 1; k <= fill_count; ++k) {
        const cplx n_k = read_material(s.par.lambda, record_source::eps_fill_file, materials,
                                       read_error_fill_index, neg_k_layer);
        eps_pat.push_back(n_k * n_k);
    }
    eps_pat[0] = n_bg * n_bg;

    int kexp = 0, nruns = 0;
    if (!read_record(fill, {&kexp, &nruns})) stop(read_error_fill);
    if (!grid_exponent_ok(kexp, s.orders.nmax1d)) stop(read_error_fill);
    const int m = 1 << kexp;

    // Position p = j + (k-1)*M holds grid cell (j, k): the column-major storage
    // of the M by M grid itself.
    full_mat fill_pixels(m);
    cplx* pixels = fill_pixels.data();
    const long long total = static_cast<long long>(m) * m;
    long long position = 0;
    int run_length = 0, index = 0;
    for (int r = 1; r <= nruns; ++r) {
        if (!read_record(fill, {&run_length, &index})) stop(read_error_fill);
        if (run_length < 0 || index < 0 || index > fill_count) stop(read_error_fill);
        if (position + run_length > total) stop(fill_inconsistent);
        const cplx value = eps_pat[static_cast<std::size_t>(index)];
        for (int q = 0; q < run_length; ++q) pixels[position + q] = value;
        position += run_length;
    }
    fill.close();
    if (position != total) stop(fill_inconsistent);

    layer_thickness(cur, src, read_error_fill_info);

    eps = structure::layer_eps_matrices(s.hdr.li_rules, fill_pixels, s.hdr.grid_angle, s.orders);
}

// ---- rasters of one or two shapes (types 9 and 10) ----------------------------------

void raster_entry(const run_setup& s, layer_cursor& cur, run_streams& st, int layer_type,
                  grating_eps& eps) {
    cur.lay_diag = false;
    textio::line_source& src = entry_stream(cur, st);
    const bool two_shapes = std::llabs(static_cast<long long>(layer_type)) == raster_two_code;
    const int nmat = two_shapes ? 3 : 2;

    // Refractive indices (background first); the painters square them.
    array1<cplx> n_mat(nmat);
    for (int k = 1; k <= nmat; ++k) {
        n_mat(k) = read_material(s.par.lambda, cur.mat_src, st.materials(), read_error_patch_eps,
                                 neg_k_layer);
    }

    std::array<structure::raster_shape, 2> shapes{};
    double c1 = 0.0, c2 = 0.0, c3 = 0.0, c4 = 0.0;
    const std::size_t nshape = two_shapes ? 2 : 1;
    for (std::size_t k = 0; k < nshape; ++k) {
        structure::raster_shape& shape = shapes[k];
        if (!read_finite(src, {&shape.power})) stop(read_error_patch);
        if (!read_finite(src, {&c1, &c2, &c3, &c4})) stop(read_error_patch);
        if (!read_finite(src, {&shape.rot})) stop(read_error_thickness);
        // Lengths in micrometres in either file.
        shape.width_y = c1 / s.hdr.dy;
        shape.width_z = c2 / s.hdr.dz;
        shape.centre_y = c3 / s.hdr.dy;
        shape.centre_z = c4 / s.hdr.dz;
    }

    int kexp = 0;
    if (!read_record(src, {&kexp})) stop(read_error_thickness);
    if (!grid_exponent_ok(kexp, s.orders.nmax1d)) stop(read_error_thickness);
    const int m = 1 << kexp;
    layer_thickness(cur, src, read_error_thickness);

    full_mat eps_grid(m);
    const bool shape_flag = layer_type > 0;
    const double ratio = s.hdr.dz / s.hdr.dy;
    if (two_shapes) {
        structure::fill_eps_grid2(shape_flag, ratio, s.hdr.grid_angle, n_mat, shapes[0], shapes[1], m,
                                  eps_grid);
    } else {
        structure::fill_eps_grid(shape_flag, ratio, s.hdr.grid_angle, n_mat, shapes[0], m, eps_grid);
    }
    eps = structure::layer_eps_matrices(s.hdr.li_rules, eps_grid, s.hdr.grid_angle, s.orders);
}

// ---- the modal step ------------------------------------------------------------------

void grating_modal_step(const run_setup& setup, double thickness, stack_state& stack, scratch& work,
                        grating_eps& eps) {
    const int n = setup.orders.norder;
    const int n2 = 2 * n;
    const bool talk = setup.talk();
    linalg::time_stamp stamp{};
    if (setup.root()) stamp = linalg::take_stamp();

    const structure::modal_rules rules{setup.media.k0, setup.media.k0sq, setup.hdr.grid_angle,
                                       setup.hdr.li_rules, setup.hdr.mix_weight};
    const structure::mode_storage modes{work.p_mat, work.x_mat, work.gam,
                                        work.q_mat, work.q_copy, work.m_mat};
    // Only process 0 meets a failure, so it ends the whole job.
    if (!structure::grating_modes(setup.orders, rules, setup.root(), std::move(eps), modes))
        stop(eigen_error);

    if (talk) {
        platform::console_line(linalg::timing_line_since("TIME for Eigen: ", stamp));
        stamp = linalg::take_stamp();
    }
    linalg::rti_link(work.p_mat, work.x_mat, stack.r_mat, stack.t_mat, n2);
    if (talk) {
        platform::console_line(linalg::timing_line_since("TIME for rti_link: ", stamp));
        stamp = linalg::take_stamp();
    }
    linalg::t_link(thickness, work.gam, stack.r_mat, stack.t_mat, n);
    if (talk) {
        platform::console_line(linalg::timing_line_since("TIME for t_link: ", stamp));
        stamp = linalg::take_stamp();
    }
    linalg::rt_link(work.p_mat, work.x_mat, stack.r_mat, stack.t_mat, n2);
    if (talk) platform::console_line(linalg::timing_line_since("TIME for rt_link: ", stamp));
}

}  // namespace rcwa::run
