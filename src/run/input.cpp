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

void free_out(const run_state& rs, const textio::free_line& line) {
    if (rs.my_proc == 0) platform::console_line(line.str());
}

void fixed_out(const run_state& rs, const textio::format& f,
               std::initializer_list<textio::value> values) {
    if (rs.my_proc == 0) platform::console_line(textio::write_fixed(f, values));
}

std::string padded(std::string s, std::size_t len) {
    s.resize(len, ' ');
    return s;
}

// The material record of a half-space with its two checks.
void read_halfspace_material(run_state& rs, run_streams& st, cplx& n,
                             const status_entry& read_error, const status_entry& neg_k) {
    structure::read_nk(n, rs.lambda, 0, st.materials(), rs.err_flag, rs.neg_k_flag);
    if (rs.err_flag) stop(read_error);
    if (rs.neg_k_flag) stop(neg_k);
}

}  // namespace

// ---- command line ------------------------------------------------------------

void read_command_line(const std::vector<std::string>& args, run_state& rs,
                       std::string& arg_buffer) {
    for (int k = 1; k <= 3; ++k) {
        arg_buffer = padded(k <= static_cast<int>(args.size()) ? args[k - 1] : std::string(), 128);
        if (k > static_cast<int>(args.size())) {
            if (k == 3) rs.ios_arg = 1;
            continue;
        }
        textio::string_source src(arg_buffer);
        if (k == 1) {
            // Whatever it replaces, it heads every result record.
            read_record(src, {&rs.par_value});
            if (!std::isfinite(rs.par_value)) stop(wrong_par_value);
        } else if (k == 2) {
            read_record(src, {&rs.par_kind});
        } else {
            int v = rs.run_index;
            rs.ios_arg = read_record(src, {&v}) ? 0 : 1;
            if (rs.ios_arg == 0) rs.run_index = v;
        }
    }
}

void print_banner(const run_state& rs, const std::string& arg_buffer) {
    static const char* const box[] = {
        "********************************************",
        "*  RCWA-2D: crossed gratings, rigorous     *",
        "*  coupled-wave analysis     version 1.0   *",
        "*  Parallel Looping & MPI Implemented      *",
        "*     Non-Orthogonal Grid Option           *",
        "********************************************",
    };
    free_out(rs, textio::free_line() << "arg    : " << arg_buffer.substr(0, 60));
    free_out(rs, textio::free_line());
    for (const char* line : box) free_out(rs, textio::free_line() << line);
    free_out(rs, textio::free_line());
    free_out(rs, textio::free_line());
    free_out(rs, textio::free_line() << "parameter : " << rs.par_value);
}

// ---- control file ---------------------------------------------------------------

void open_input_files(run_state& rs, run_streams& st) {
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
        fixed_out(rs, echo, {std::string_view(name)});
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

void read_order_limits(run_state& rs, run_streams& st) {
    if (!read_record(st.par, {&rs.iomin})) stop(read_error_orders);
    if (!read_record(st.par, {&rs.iomax})) stop(read_error_orders);
    // A negative iomax leaves no order set to build; it is a wrong value too.
    if (static_cast<long long>(rs.iomin) + rs.iomax != 0 || rs.iomax < 0 || rs.iomax > max_iomax) stop(read_error_orders);
}

void read_incidence(run_state& rs, run_streams& st) {
    if (!read_finite(st.par, {&rs.theta_i})) stop(read_error_theta_i);
    if (!read_finite(st.par, {&rs.phi_i})) stop(read_error_phi_i);
    if (!read_finite(st.par, {&rs.lambda})) stop(read_error_lambda);

    switch (rs.par_kind) {
        case 0: rs.lambda = rs.par_value; break;
        case 1:
            // The order count must stay a non-negative int: anything else would
            // build no order set (or overflow the conversion).
            if (!(rs.par_value > -1.0 && rs.par_value < max_iomax + 1.0))
                stop(read_error_orders);
            rs.iomax = static_cast<int>(std::trunc(rs.par_value));
            rs.iomin = -rs.iomax;
            break;
        case 2: rs.theta_i = rs.par_value; break;
        case 4: rs.phi_i = rs.par_value; break;
        default: break;
    }
    if (!(rs.lambda > 0.0)) stop(read_error_lambda);

    bool dummy = false;
    if (!read_record(st.par, {&dummy})) stop(read_error_dummy);
    if (!read_record(st.par, {&dummy})) stop(read_error_dummy);
    if (!read_finite(st.par, {&rs.trunc_shape})) stop(read_error_dummy);
    // At or above 3 the exponent 3 - trunc_shape is not positive and the
    // truncation keeps not even the incident order; NaN likewise.
    if (!(rs.trunc_shape < 3.0)) stop(read_error_dummy);
    st.par.close();
}

void echo_incidence(run_state& rs) {
    static const textio::format f_theta("(\" Incidence Angle =\",F8.2)");
    static const textio::format f_phi("(\" Azimuth Angle =\",F8.2)");
    static const textio::format f_lambda("(\" Wavelength =\",F8.2,\" nm\")");
    static const textio::format f_trunc("(\" Truncation: \",I5,\"   thru\",I5)");
    free_out(rs, textio::free_line());
    fixed_out(rs, f_theta, {rs.theta_i});
    fixed_out(rs, f_phi, {rs.phi_i});
    fixed_out(rs, f_lambda, {rs.lambda * 1000.0});
    rs.theta_i = rs.theta_i * linalg::pi / 180.0;
    rs.phi_i = rs.phi_i * linalg::pi / 180.0;
    fixed_out(rs, f_trunc, {rs.iomin, rs.iomax});
    free_out(rs, textio::free_line());
}

// ---- 2D-stack file ------------------------------------------------------------------

void read_stack_header(run_state& rs, run_streams& st) {
    if (!read_record(st.stack, {text(rs.stack_id, 10)})) stop(read_error_stack_id);
    if (rs.stack_id.compare(0, 8, "2D_Stack") != 0) stop(not_a_stack_file);
    rs.li_rules = rs.stack_id[9] != 'l';
    if (!rs.li_rules && !read_finite(st.stack, {&rs.mix_weight}))
        stop(read_error_stack_id);
}

void read_periods(run_state& rs, run_streams& st) {
    if (!read_finite(st.stack, {&rs.dy})) stop(read_error_periods);
    if (!read_finite(st.stack, {&rs.dz})) stop(read_error_periods);
    if (!(rs.dy > 0.0 && rs.dz > 0.0)) stop(read_error_periods);
    rs.grid_angle = 0.0;
    if (rs.stack_id[8] == '_' && !read_finite(st.stack, {&rs.grid_angle})) stop(read_error_periods);
    if (!read_record(st.stack, {&rs.nlayer})) stop(read_error_nlayer);
}

void read_superstrate(run_state& rs, run_streams& st) {
    read_halfspace_material(rs, st, rs.n_sup, read_error_eps_sup, neg_k_halfspace);
    // Without a real part there is no incident wave to measure against.
    if (rs.n_sup.real() == 0.0) stop(read_error_eps_sup);
    if (!read_finite(st.stack, {&rs.thick_sup})) stop(read_error_thickness);
    rs.eps_sup = rs.n_sup * rs.n_sup;
    rs.k0sq_eps_sup = rs.k0sq * rs.eps_sup;
    const double s = std::sin(rs.theta_i);
    const double c = rs.k0 * rs.n_sup.real() * s;
    rs.k_inc_z = std::sin(rs.phi_i + rs.grid_angle * linalg::deg_to_rad) * c;
    rs.k_inc_y = std::cos(rs.phi_i) * c;
}

void read_substrate(run_state& rs, run_streams& st) {
    read_halfspace_material(rs, st, rs.n_sub, read_error_layer_index, neg_k_layer);
    rs.eps_sub = rs.n_sub * rs.n_sub;
    if (!read_finite(st.stack, {&rs.thickness})) stop(read_error_thickness);
    rs.k0sq_eps_sub = rs.k0sq * rs.eps_sub;
}

// ---- output-control file --------------------------------------------------------------

std::string sweep_name(const std::string& fname_out, int run_index) {
    const std::size_t p = fname_out.find("  ");
    std::string base = fname_out.substr(0, p);  // npos: the whole name
    const long long a = std::llabs(static_cast<long long>(run_index));
    const std::string field = textio::edit_i(a, 4);
    const std::size_t keep = a < 10 ? 1 : a < 100 ? 2 : a < 1000 ? 3 : 4;
    return padded(base + field.substr(4 - keep) + ".txt", 260);
}

void read_output_control(run_state& rs, run_streams& st) {
    textio::file_source& f = st.outctl;
    if (!read_record(f, {&rs.lfout})) stop(read_error_lfout);
    // Layout and format codes are used by their moduli: INT_MIN has none.
    if (!read_record(f, {&rs.iout}) || rs.iout == INT_MIN) stop(read_error_iout);
    if (!read_record(f, {&rs.l_info})) stop(read_error_l_info);
    if (!read_record(f, {text(rs.fname_out, 260)})) stop(read_error_fname_out);
    if (rs.run_index != 0) rs.fname_out = sweep_name(rs.fname_out, rs.run_index);
    if (!read_record(f, {&rs.i_eff})) stop(read_error_i_eff);
    if (!read_record(f, {&rs.lpercent})) stop(read_error_lpercent);
    for (int k = 1; k <= 4; ++k)
        if (!read_record(f, {&rs.nop[k]})) stop(read_error_nop);
    for (int k = 1; k <= 4; ++k) {
        std::string unused;
        if (!read_record(f, {text(unused, 260)})) stop(read_error_nop);
    }
    if (!read_record(f, {&rs.i_format}) || rs.i_format == INT_MIN)
        stop(read_error_i_format);
    if (!read_record(f, {&rs.lproject})) stop(read_error_fname_out_mat);
    if (rs.lproject && !read_record(f, {text(rs.fname_out_mat, 260)}))
        stop(read_error_fname_out_mat);
    f.close();
}

}  // namespace rcwa::run
