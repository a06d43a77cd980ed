#include "run/input.hpp"

#include <climits>
#include <cmath>
#include <cstdlib>

#include "linalg/constants.hpp"
#include "platform/platform.hpp"
#include "run/stop.hpp"
#include "textio/fixed_writer.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::run {

namespace {

using textio::read_finite;
using textio::read_record;
using textio::text;

void free_out(bool root, const textio::free_line& line) {
    if (root) platform::console_line(line.str());
}

void fixed_out(bool root, const textio::format& f, std::initializer_list<textio::value> values) {
    if (root) platform::console_line(textio::write_fixed(f, values));
}

std::string padded(std::string s, std::size_t len) {
    s.resize(len, ' ');
    return s;
}

}  // namespace

bool read_thickness(textio::line_source& src, double& thickness) {
    return read_finite(src, {&thickness}) && !(thickness < 0.0);
}

cplx read_material(double lambda, record_source from, const structure::material_streams& streams,
                   const status_entry& read_error, const status_entry& neg_k) {
    cplx n;
    bool err = false, gain = false;
    structure::read_nk(n, lambda, from, streams, err, gain);
    if (err) stop(read_error);
    if (gain) stop(neg_k);
    return n;
}

// ---- command line ------------------------------------------------------------

void read_command_line(const std::vector<std::string>& args, command_line& cmd,
                       std::string& arg_buffer) {
    for (int k = 1; k <= 3; ++k) {
        arg_buffer = padded(k <= static_cast<int>(args.size()) ? args[k - 1] : std::string(), 128);
        if (k > static_cast<int>(args.size())) {
            if (k == 3) cmd.run_index_given = false;
            continue;
        }
        textio::string_source src(arg_buffer);
        if (k == 1) {
            // Whatever it replaces, it heads every result record.
            read_record(src, {&cmd.par_value});
            if (!std::isfinite(cmd.par_value)) stop(wrong_par_value);
        } else if (k == 2) {
            read_record(src, {&cmd.par_kind});
        } else {
            int v = cmd.run_index;
            cmd.run_index_given = read_record(src, {&v});
            if (cmd.run_index_given) cmd.run_index = v;
        }
    }
}

void print_banner(bool root, const command_line& cmd, const std::string& arg_buffer) {
    static const char* const box[] = {
        "********************************************",
        "*  RCWA-2D: crossed gratings, rigorous     *",
        "*  coupled-wave analysis     version 1.0   *",
        "*  Parallel Looping & MPI Implemented      *",
        "*     Non-Orthogonal Grid Option           *",
        "********************************************",
    };
    free_out(root, textio::free_line() << "arg    : " << arg_buffer.substr(0, 60));
    free_out(root, textio::free_line());
    for (const char* line : box) free_out(root, textio::free_line() << line);
    free_out(root, textio::free_line());
    free_out(root, textio::free_line());
    free_out(root, textio::free_line() << "parameter : " << cmd.par_value);
}

// ---- control file ---------------------------------------------------------------

void open_input_files(bool root, run_streams& st) {
    static const char* const ctr_name = "qalder.ctr";
    // Each process meets the control file on its own (a writer's lock, the
    // console pauses), so a stop here ends the whole job.
    if (!platform::path_exists(ctr_name)) stop(no_control_file);

    for (int attempt = 1; attempt <= 10; ++attempt) {
        if (st.ctr.open(ctr_name, true)) break;
        platform::sleep_10ms();
        platform::console_pause((textio::free_line() << "wait").str());
    }

    static const textio::format echo("(A40)");
    static const textio::format name_field("(A240)");
    static const status_entry* const open_errors[3] = {&open_error_par, &open_error_stack,
                                                       &open_error_outctl};
    textio::file_source* files[3] = {&st.par, &st.stack, &st.outctl};
    for (int k = 1; k <= 3; ++k) {
        std::string name;
        // With every try failed the stream is not open and this read fails.
        if (!st.ctr.is_open() || !read_record(st.ctr, {text(name, 260)}))
            stop(read_error_control);
        fixed_out(root, echo, {std::string_view(name)});
        const status_entry& open_error = *open_errors[k - 1];
        if (!files[k - 1]->open(name, false))
            throw run_stop(open_error.code, {std::string(open_error.message) +
                                             textio::write_fixed(name_field, {std::string_view(name)})});
    }
}

// ---- parameter file ---------------------------------------------------------------

namespace {
// Above this the 2N of the mode matrices no longer fits an int (and no machine
// holds matrices of that order anyway).
constexpr int max_iomax = 15000;
}  // namespace

void read_order_limits(param_file& par, run_streams& st) {
    if (!read_record(st.par, {&par.iomin})) stop(read_error_orders);
    if (!read_record(st.par, {&par.iomax})) stop(read_error_orders);
    // A negative iomax leaves no order set to build; it is a wrong value too.
    if (static_cast<long long>(par.iomin) + par.iomax != 0 || par.iomax < 0 || par.iomax > max_iomax) stop(read_error_orders);
}

void read_incidence(const command_line& cmd, param_file& par, run_streams& st) {
    if (!read_finite(st.par, {&par.theta_i})) stop(read_error_theta_i);
    if (!read_finite(st.par, {&par.phi_i})) stop(read_error_phi_i);
    if (!read_finite(st.par, {&par.lambda})) stop(read_error_lambda);

    switch (cmd.par_kind) {
        case 0: par.lambda = cmd.par_value; break;
        case 1:
            // The order count must stay a non-negative int: anything else would
            // build no order set (or overflow the conversion).
            if (!(cmd.par_value > -1.0 && cmd.par_value < max_iomax + 1.0))
                stop(read_error_orders);
            par.iomax = static_cast<int>(std::trunc(cmd.par_value));
            par.iomin = -par.iomax;
            break;
        case 2: par.theta_i = cmd.par_value; break;
        case 4: par.phi_i = cmd.par_value; break;
        default: break;
    }
    if (!(par.lambda > 0.0)) stop(read_error_lambda);

    bool dummy = false;
    if (!read_record(st.par, {&dummy})) stop(read_error_dummy);
    if (!read_record(st.par, {&dummy})) stop(read_error_dummy);
    if (!read_finite(st.par, {&par.trunc_shape})) stop(read_error_dummy);
    // At or above 3 the exponent 3 - trunc_shape is not positive and the
    // truncation keeps not even the incident order; NaN likewise.
    if (!(par.trunc_shape < 3.0)) stop(read_error_dummy);
    st.par.close();
}

void echo_incidence(bool root, const param_file& par) {
    static const textio::format f_theta("(\" Incidence Angle =\",F8.2)");
    static const textio::format f_phi("(\" Azimuth Angle =\",F8.2)");
    static const textio::format f_lambda("(\" Wavelength =\",F8.2,\" nm\")");
    static const textio::format f_trunc("(\" Truncation: \",I5,\"   thru\",I5)");
    free_out(root, textio::free_line());
    fixed_out(root, f_theta, {par.theta_i});
    fixed_out(root, f_phi, {par.phi_i});
    fixed_out(root, f_lambda, {par.lambda * 1000.0});
    fixed_out(root, f_trunc, {par.iomin, par.iomax});
    free_out(root, textio::free_line());
}

// ---- 2D-stack file ------------------------------------------------------------------

void read_stack_header(stack_header& hdr, run_streams& st) {
    if (!read_record(st.stack, {text(hdr.stack_id, 10)})) stop(read_error_stack_id);
    if (hdr.stack_id.compare(0, 8, "2D_Stack") != 0) stop(not_a_stack_file);
    hdr.li_rules = hdr.stack_id[9] != 'l';
    if (!hdr.li_rules && !read_finite(st.stack, {&hdr.mix_weight}))
        stop(read_error_stack_id);
}

void read_periods(stack_header& hdr, run_streams& st) {
    if (!read_finite(st.stack, {&hdr.dy})) stop(read_error_periods);
    if (!read_finite(st.stack, {&hdr.dz})) stop(read_error_periods);
    if (!(hdr.dy > 0.0 && hdr.dz > 0.0)) stop(read_error_periods);
    hdr.grid_angle = 0.0;
    if (hdr.stack_id[8] == '_' && !read_finite(st.stack, {&hdr.grid_angle})) stop(read_error_periods);
    if (!read_record(st.stack, {&hdr.nlayer})) stop(read_error_nlayer);
}

void read_superstrate(const param_file& par, const stack_header& hdr, media_values& media,
                      run_streams& st) {
    media.n_sup = read_material(par.lambda, record_source::stack_file, st.materials(),
                                read_error_eps_sup, neg_k_halfspace);
    // Without a real part there is no incident wave to measure against.
    if (media.n_sup.real() == 0.0) stop(read_error_eps_sup);
    if (!read_thickness(st.stack, media.thick_sup)) stop(read_error_thickness);
    media.eps_sup = media.n_sup * media.n_sup;
    media.k0sq_eps_sup = media.k0sq * media.eps_sup;
    const double theta = par.theta_i * linalg::pi / 180.0;
    const double phi = par.phi_i * linalg::pi / 180.0;
    const double c = media.k0 * media.n_sup.real() * std::sin(theta);
    media.k_inc_z = std::sin(phi + hdr.grid_angle * linalg::deg_to_rad) * c;
    media.k_inc_y = std::cos(phi) * c;
}

void read_substrate(const param_file& par, media_values& media, run_streams& st) {
    media.n_sub = read_material(par.lambda, record_source::stack_file, st.materials(),
                                read_error_layer_index, neg_k_layer);
    media.eps_sub = media.n_sub * media.n_sub;
    if (!read_thickness(st.stack, media.thick_sub)) stop(read_error_thickness);
    media.k0sq_eps_sub = media.k0sq * media.eps_sub;
}

// ---- output-control file --------------------------------------------------------------

std::string run_index_digits(int run_index) {
    const long long a = std::llabs(static_cast<long long>(run_index));
    const std::string field = textio::edit_i(a, 4);
    const std::size_t keep = a < 10 ? 1 : a < 100 ? 2 : a < 1000 ? 3 : 4;
    return field.substr(4 - keep);
}

std::string sweep_name(const std::string& fname_out, int run_index) {
    const std::size_t p = fname_out.find("  ");
    std::string base = fname_out.substr(0, p);  // npos: the whole name
    return padded(base + run_index_digits(run_index) + ".txt", 260);
}

void read_output_control(const command_line& cmd, output_control& out, run_streams& st) {
    textio::file_source& f = st.outctl;
    if (!read_record(f, {&out.lfout})) stop(read_error_lfout);
    // Layout and format codes are used by their moduli: INT_MIN has none.
    if (!read_record(f, {&out.iout}) || out.iout == INT_MIN) stop(read_error_iout);
    if (!read_record(f, {&out.l_info})) stop(read_error_l_info);
    if (!read_record(f, {text(out.fname_out, 260)})) stop(read_error_fname_out);
    if (cmd.run_index != 0) out.fname_out = sweep_name(out.fname_out, cmd.run_index);
    if (!read_record(f, {&out.i_eff})) stop(read_error_i_eff);
    if (!read_record(f, {&out.lpercent})) stop(read_error_lpercent);
    for (int k = 1; k <= 4; ++k)
        if (!read_record(f, {&out.nop[k]})) stop(read_error_nop);
    for (int k = 1; k <= 4; ++k) {
        std::string unused;
        if (!read_record(f, {text(unused, 260)})) stop(read_error_nop);
    }
    if (!read_record(f, {&out.i_format}) || out.i_format == INT_MIN)
        stop(read_error_i_format);
    if (!read_record(f, {&out.lproject})) stop(read_error_fname_out_mat);
    if (out.lproject && !read_record(f, {text(out.fname_out_mat, 260)}))
        stop(read_error_fname_out_mat);
    f.close();
}

}  // namespace rcwa::run
