#include "run/input.hpp"

#include <climits>
#include <cmath>
#include <cstdlib>

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

// The material record of a half-space with its two checks.
void read_halfspace_material(double lambda, run_streams& st, cplx& n, int read_status,
                             const char* read_msg, int neg_status, const char* neg_msg) {
    const nk_record m = read_material(lambda, 0, st.materials());
    n = m.n;
    if (m.read_error) stop_free(read_status, read_msg);
    if (m.neg_k) stop_free(neg_status, neg_msg);
}

}  // namespace

nk_record read_material(double lambda, int mat_src, const structure::material_streams& streams) {
    nk_record m;
    structure::read_nk(m.n, lambda, mat_src, streams, m.read_error, m.neg_k);
    return m;
}

// ---- command line ------------------------------------------------------------

void read_command_line(const std::vector<std::string>& args, command_line& cmd,
                       std::string& arg_buffer) {
    for (int k = 1; k <= 3; ++k) {
        arg_buffer = padded(k <= static_cast<int>(args.size()) ? args[k - 1] : std::string(), 128);
        if (k > static_cast<int>(args.size())) {
            if (k == 3) cmd.ios_arg = 1;
            continue;
        }
        textio::string_source src(arg_buffer);
        if (k == 1) {
            // Whatever it replaces, it heads every result record.
            read_record(src, {&cmd.par_value});
            if (!std::isfinite(cmd.par_value)) stop_free(10, " wrong value: par_value (argument 1)");
        } else if (k == 2) {
            read_record(src, {&cmd.par_kind});
        } else {
            int v = cmd.run_index;
            cmd.ios_arg = read_record(src, {&v}) ? 0 : 1;
            if (cmd.ios_arg == 0) cmd.run_index = v;
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
    if (!platform::path_exists(ctr_name)) stop_free(100, " opening error qalder.ctr", true);

    for (int attempt = 1; attempt <= 10; ++attempt) {
        if (st.ctr.open(ctr_name, true)) break;
        platform::sleep_10ms();
        platform::console_pause((textio::free_line() << "wait").str());
    }

    static const textio::format echo("(A40)");
    static const textio::format open_err("(\" opening error:  \",A240)");
    textio::file_source* files[3] = {&st.par, &st.stack, &st.outctl};
    for (int k = 1; k <= 3; ++k) {
        std::string name;
        // With every try failed the stream is not open and this read fails.
        if (!st.ctr.is_open() || !read_record(st.ctr, {text(name, 260)}))
            stop_free(101, " read error rcwa.ctr", true);
        fixed_out(root, echo, {std::string_view(name)});
        if (!files[k - 1]->open(name, false))
            throw run_stop(110 + k, {textio::write_fixed(open_err, {std::string_view(name)})});
    }
}

// ---- parameter file ---------------------------------------------------------------

namespace {
// Above this the 2N of the mode matrices no longer fits an int (and no machine
// holds matrices of that order anyway).
constexpr int max_iomax = 15000;
}  // namespace

void read_order_limits(param_file& par, run_streams& st) {
    static const char* const msg = " read error or wrong values: iomin,iomax";
    if (!read_record(st.par, {&par.iomin})) stop_free(11, msg);
    if (!read_record(st.par, {&par.iomax})) stop_free(11, msg);
    // A negative iomax leaves no order set to build; it is a wrong value too.
    if (static_cast<long long>(par.iomin) + par.iomax != 0 || par.iomax < 0 || par.iomax > max_iomax) stop_free(11, msg);
}

void read_incidence(const command_line& cmd, param_file& par, run_streams& st) {
    if (!read_finite(st.par, {&par.theta_i})) stop_free(12, " read error input: theta_i");
    if (!read_finite(st.par, {&par.phi_i})) stop_free(13, " read error input: phi_i");
    if (!read_finite(st.par, {&par.lambda})) stop_free(14, " read error input: lambda");

    switch (cmd.par_kind) {
        case 0: par.lambda = cmd.par_value; break;
        case 1:
            // The order count must stay a non-negative int: anything else would
            // build no order set (or overflow the conversion).
            if (!(cmd.par_value > -1.0 && cmd.par_value < max_iomax + 1.0))
                stop_free(11, " read error or wrong values: iomin,iomax");
            par.iomax = static_cast<int>(std::trunc(cmd.par_value));
            par.iomin = -par.iomax;
            break;
        case 2: par.theta_i = cmd.par_value; break;
        case 4: par.phi_i = cmd.par_value; break;
        default: break;
    }
    if (!(par.lambda > 0.0)) stop_free(14, " read error input: lambda");

    static const char* const dummy_msg = " read error input: dummy(pol)";
    bool dummy = false;
    if (!read_record(st.par, {&dummy})) stop_free(15, dummy_msg);
    if (!read_record(st.par, {&dummy})) stop_free(15, dummy_msg);
    if (!read_finite(st.par, {&par.trunc_shape})) stop_free(15, dummy_msg);
    // At or above 3 the exponent 3 - trunc_shape is not positive and the
    // truncation keeps not even the incident order; NaN likewise.
    if (!(par.trunc_shape < 3.0)) stop_free(15, dummy_msg);
    st.par.close();
}

void echo_incidence(bool root, param_file& par) {
    static const textio::format f_theta("(\" Incidence Angle =\",F8.2)");
    static const textio::format f_phi("(\" Azimuth Angle =\",F8.2)");
    static const textio::format f_lambda("(\" Wavelength =\",F8.2,\" nm\")");
    static const textio::format f_trunc("(\" Truncation: \",I5,\"   thru\",I5)");
    free_out(root, textio::free_line());
    fixed_out(root, f_theta, {par.theta_i});
    fixed_out(root, f_phi, {par.phi_i});
    fixed_out(root, f_lambda, {par.lambda * 1000.0});
    par.theta_i = par.theta_i * 3.141592653589793 / 180.0;
    par.phi_i = par.phi_i * 3.141592653589793 / 180.0;
    fixed_out(root, f_trunc, {par.iomin, par.iomax});
    free_out(root, textio::free_line());
}

// ---- 2D-stack file ------------------------------------------------------------------

void read_stack_header(stack_header& hdr, run_streams& st) {
    if (!read_record(st.stack, {text(hdr.stack_id, 10)})) stop_free(170, " read error stack ID ");
    if (hdr.stack_id.compare(0, 8, "2D_Stack") != 0) stop_free(152, " Select 2D stack File ");
    hdr.li_rules = hdr.stack_id[9] != 'l';
    if (!hdr.li_rules && !read_finite(st.stack, {&hdr.mix_weight}))
        stop_free(170, " read error stack ID ");
}

void read_periods(stack_header& hdr, run_streams& st) {
    static const char* const msg = " read error gitter: dy, dz";
    if (!read_finite(st.stack, {&hdr.dy})) stop_free(20, msg);
    if (!read_finite(st.stack, {&hdr.dz})) stop_free(20, msg);
    if (!(hdr.dy > 0.0 && hdr.dz > 0.0)) stop_free(20, msg);
    hdr.grid_angle = 0.0;
    if (hdr.stack_id[8] == '_' && !read_finite(st.stack, {&hdr.grid_angle})) stop_free(20, msg);
    if (!read_record(st.stack, {&hdr.nlayer})) stop_free(21, " read error gitter: nlayer");
}

void read_superstrate(const param_file& par, const stack_header& hdr, media_values& media,
                      run_streams& st) {
    read_halfspace_material(par.lambda, st, media.n_sup, 17, " read error gitter: eps_sup", 16,
                            " Error Imag(n) sup/sub < 0 !");
    // Without a real part there is no incident wave to measure against.
    if (media.n_sup.real() == 0.0) stop_free(17, " read error gitter: eps_sup");
    if (!read_finite(st.stack, {&media.thick_sup})) stop_free(28, " read error gitter: thickness");
    media.eps_sup = media.n_sup * media.n_sup;
    media.k0sq_eps_sup = media.k0sq * media.eps_sup;
    const double s = std::sin(par.theta_i);
    const double c = media.k0 * media.n_sup.real() * s;
    media.k_inc_z = std::sin(par.phi_i + hdr.grid_angle * 0.017453292519943295) * c;
    media.k_inc_y = std::cos(par.phi_i) * c;
}

void read_substrate(const param_file& par, media_values& media, run_streams& st) {
    read_halfspace_material(par.lambda, st, media.n_sub, 27, " read error layer: refraction index !", 27,
                            " Error layer: Imag(n) < 0 ");
    media.eps_sub = media.n_sub * media.n_sub;
    if (!read_finite(st.stack, {&media.thick_sub})) stop_free(28, " read error gitter: thickness");
    media.k0sq_eps_sub = media.k0sq * media.eps_sub;
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

void read_output_control(const command_line& cmd, output_control& out, run_streams& st) {
    textio::file_source& f = st.outctl;
    if (!read_record(f, {&out.lfout})) stop_free(51, " read error: lfout");
    // Layout and format codes are used by their moduli: INT_MIN has none.
    if (!read_record(f, {&out.iout}) || out.iout == INT_MIN) stop_free(52, " read error: iout");
    if (!read_record(f, {&out.l_info})) stop_free(53, " read error: l_info");
    if (!read_record(f, {text(out.fname_out, 260)})) stop_free(54, " read error: fname_out");
    if (cmd.run_index != 0) out.fname_out = sweep_name(out.fname_out, cmd.run_index);
    if (!read_record(f, {&out.i_eff})) stop_free(55, " read error: i_eff");
    if (!read_record(f, {&out.lpercent})) stop_free(57, " read error: lpercent");
    for (int k = 1; k <= 4; ++k)
        if (!read_record(f, {&out.nop[k]})) stop_free(58, " read error: nop");
    for (int k = 1; k <= 4; ++k) {
        std::string unused;
        if (!read_record(f, {text(unused, 260)})) stop_free(58, " read error: nop");
    }
    if (!read_record(f, {&out.i_format}) || out.i_format == INT_MIN)
        stop_free(56, " read error: i_format");
    if (!read_record(f, {&out.lproject})) stop_free(59, " read error: fname out_mat");
    if (out.lproject && !read_record(f, {text(out.fname_out_mat, 260)}))
        stop_free(59, " read error: fname out_mat");
    f.close();
}

}  // namespace rcwa::run
