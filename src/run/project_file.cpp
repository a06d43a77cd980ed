// The project file: one block per run with the data of every propagating
// reflected and transmitted order, appended to a file whose name never changes.
#include "run/project_file.hpp"

#include <cmath>
#include <complex>
#include <string>

#include "linalg/constants.hpp"
#include "platform/platform.hpp"
#include "run/stop.hpp"
#include "textio/fixed_writer.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::run {

namespace {

// The exit angles are computed in single precision (about 7 significant
// digits); the free-format lines print 17, so the float steps show in the
// file's bytes and must stay float.
double asin_deg(double q) {
    const float a = std::asin(static_cast<float>(q)) * 180.0f;
    return static_cast<double>(a) / linalg::pi;
}

double acos_deg(double q) {
    const float a = std::acos(static_cast<float>(q)) * 180.0f;
    return static_cast<double>(a) / linalg::pi;
}

double sq_abs(cplx z) { return z.real() * z.real() + z.imag() * z.imag(); }

bool finite_value(double x) { return std::isfinite(x); }
bool finite_value(cplx z) { return std::isfinite(z.real()) && std::isfinite(z.imag()); }

// A record and its line end, added to the block.
void put(std::string& block, const std::string& record) {
    block += record;
    block += '\n';
}

void put(std::string& block, const textio::free_line& line) { put(block, line.str()); }

}  // namespace

std::string project_block(const run_setup& s, const stack_state& stack, bool& finite) {
    // The block is built whole and written in one piece, so that a run
    // killed while it writes cannot glue the next run's block onto a cut line.
    std::string block;
    static const textio::format par_fmt("(F12.6)");
    static const textio::format count_fmt("(I5)");
    finite = true;
    // Every number of the block passes here on its way into it.
    auto v = [&finite](auto x) {
        finite = finite && finite_value(x);
        return x;
    };

    const structure::order_set& o = s.orders;
    const int n = o.norder;
    const int w0 = o.ord_of((n + 1) / 2);
    const int wm = w0 + n;
    const int iomin = -s.par.iomax;
    const cplx es = s.media.k0sq_eps_sup, eb = s.media.k0sq_eps_sub;
    const double kn_inc = stack.kn_sup(w0).real();

    if (s.cmd.run_index != 0) put(block, textio::write_fixed(par_fmt, {s.cmd.par_value}));
    put(block, textio::free_line() << v(es.real()) << v(eb.real()));

    // Exit angles of position i in a medium of real index n_re.
    auto angles = [&](int i, double n_re) {
        const double kt = std::sqrt(o.kt2(i));
        const double theta = asin_deg(kt / (s.media.k0 * n_re));
        const double phi = o.kt2(i) == 0.0 ? 0.0 : acos_deg(o.ky_1d(o.ord_i1(i)) / kt);
        return textio::free_line() << v(theta) << v(phi);
    };

    put(block, "reflection");
    put(block, textio::write_fixed(count_fmt, {stack.n_prop_r}));
    for (int i = 1; i <= n; ++i) {
        if (stack.prop_r(i) != 1) continue;
        const int j = o.ord_of(i);
        const double c_r = stack.kn_sup(i).real() / kn_inc;
        put(block, textio::free_line() << iomin + o.ord_i1(i) - 1 << iomin + o.ord_i2(i) - 1 << v(c_r));
        put(block, angles(i, s.media.n_sup.real()));
        put(block, textio::free_line() << v(stack.r_mat(j, w0)));
        put(block, textio::free_line() << v(stack.r_mat(j + n, w0)));
        put(block, textio::free_line() << v(stack.r_mat(j, wm)));
        put(block, textio::free_line() << v(stack.r_mat(j + n, wm)));
    }

    put(block, textio::free_line());
    put(block, "transmission");
    put(block, textio::write_fixed(count_fmt, {stack.n_prop_t}));
    const double eb_sq = sq_abs(eb);
    for (int i = 1; i <= n; ++i) {
        if (stack.prop_t(i) != 1) continue;
        const int j = o.ord_of(i);
        const cplx kn = stack.kn_sub(i);
        const double c_te = kn.real() / kn_inc;
        // the whole factor of the MM efficiency, Re(es) and 1/|eb|^2 included
        const double c_tm = es.real() * (kn * std::conj(eb)).real() / (kn_inc * eb_sq);
        put(block, textio::free_line() << iomin + o.ord_i1(i) - 1 << iomin + o.ord_i2(i) - 1 << v(c_te)
                                   << v(c_tm));
        put(block, angles(i, s.media.n_sub.real()));
        put(block, textio::free_line() << v(stack.t_mat(j, w0)));
        put(block, textio::free_line() << v(stack.t_mat(j + n, w0)));
        put(block, textio::free_line() << v(stack.t_mat(j, wm)));
        put(block, textio::free_line() << v(stack.t_mat(j + n, wm)));
    }
    return block;
}

void write_project_block(const run_setup& s, const std::string& block) {
    if (!s.out.lproject || !s.root()) return;
    platform::out_file f;
    if (!f.open_append(s.out.fname_out_mat)) stop(project_open_error);
    const bool written = f.write_block(block);
    if (!f.close() || !written) stop(project_write_error);
}

void write_project_file(const run_setup& s, const stack_state& stack) {
    bool finite = true;
    write_project_block(s, project_block(s, stack, finite));
}

}  // namespace rcwa::run
