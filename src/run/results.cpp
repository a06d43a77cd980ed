// Per-order efficiencies, moduli, phases and ellipsometric values, and the
// energy balance, from the columns of the incident order in r_mat and t_mat.
#include "run/results.hpp"

#include <cmath>
#include <limits>
#include <string>

#include "linalg/dense.hpp"
#include "linalg/constants.hpp"
#include "platform/platform.hpp"
#include "run/project_file.hpp"
#include "run/stop.hpp"
#include "textio/fixed_writer.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::run {

namespace {

double abs2(cplx z) { return z.real() * z.real() + z.imag() * z.imag(); }

// ln(a / b) of two moduli, finite for every finite a and b: a modulus of zero
// (no reflection off an index-matched interface, no transmission through an
// opaque film) counts as the smallest normal double, and a quotient beyond
// the range of the numbers becomes a difference of logarithms.
double log_ratio(double a, double b) {
    const double q = a / b;
    if (q > 0.0 && q <= std::numeric_limits<double>::max()) return std::log(q);
    const double least = std::numeric_limits<double>::min();
    return std::log(a == 0.0 ? least : a) - std::log(b == 0.0 ? least : b);
}

// A stack without gain under a lossless superstrate gives back at most the
// incident energy: an energy error (unscaled) below -energy_margin means the
// numbers broke down. Lossless stacks stay within 1e-12 of it at every size,
// within 3e-7 up to lambda/d = 1e4 and 7.5e-9 at grazing orders (2N up to
// 3362); an order exactly grazing in a film above a grating reaches 1.5e-5,
// with efficiencies still right to 5e-6. The margin is over 6 times that.
constexpr double energy_margin = 1e-4;

}  // namespace

void order_results(const run_setup& s, const stack_state& stack,
                   std::vector<order_record>& records, double& error_te, double& error_tm) {
    records.clear();
    const structure::order_set& o = s.orders;
    const int n = o.norder;
    const int w0 = o.ord_of((n + 1) / 2);
    const int wm = w0 + n;
    const cplx es = s.media.k0sq_eps_sup;
    const cplx eb = s.media.k0sq_eps_sub;
    const double es2 = abs2(es);
    const double eb2 = abs2(eb);
    const double kn0 = stack.kn_sup(w0).real();
    const double pct = s.out.lpercent ? 100.0 : 1.0;
    double sum_te = 0.0, sum_tm = 0.0;

    for (int i = 1; i <= n; ++i) {
        const int j = o.ord_of(i);
        const int jm = j + n;
        const cplx r_amp[4] = {stack.r_mat(j, w0), stack.r_mat(jm, w0), stack.r_mat(j, wm), stack.r_mat(jm, wm)};
        const cplx t_amp[4] = {stack.t_mat(j, w0), stack.t_mat(jm, w0), stack.t_mat(j, wm), stack.t_mat(jm, wm)};

        const double c_r = stack.kn_sup(j).real() / kn0;
        const double c_te = stack.kn_sub(j).real() / kn0;
        const double c_tm =
            (stack.kn_sub(j).real() * eb.real() + stack.kn_sub(j).imag() * eb.imag()) / kn0;

        double r_eff[4], t_eff[4];
        r_eff[0] = c_r * abs2(r_amp[0]);
        r_eff[1] = c_r * abs2(r_amp[1]) * es.real() / es2;
        r_eff[2] = c_r * es.real() * abs2(r_amp[2]);
        r_eff[3] = c_r * abs2(r_amp[3]);
        t_eff[0] = c_te * abs2(t_amp[0]);
        t_eff[1] = c_tm * abs2(t_amp[1]) / eb2;
        t_eff[2] = c_te * es.real() * abs2(t_amp[2]);
        t_eff[3] = abs2(t_amp[3]) * c_tm * es.real() / eb2;

        sum_te = (((sum_te + t_eff[0]) + r_eff[0]) + t_eff[1]) + r_eff[1];
        sum_tm = (((sum_tm + t_eff[3]) + r_eff[3]) + t_eff[2]) + r_eff[2];

        const int i1 = o.ord_i1(j) - s.par.iomax - 1;
        const int i2 = o.ord_i2(j) - s.par.iomax - 1;
        if (i2 < s.out.nop[3] || i2 > s.out.nop[4] || i1 < s.out.nop[1] || i1 > s.out.nop[2]) continue;

        order_record rec;
        rec.i1 = i1;
        rec.i2 = i2;
        for (int k = 0; k < 4; ++k) {
            rec.r_eff[k] = r_eff[k] * pct;
            rec.t_eff[k] = t_eff[k] * pct;
            rec.r_amp[k] = r_amp[k];
            rec.t_amp[k] = t_amp[k];
            rec.t_phase[k] = linalg::phase_deg(t_amp[k]);
            rec.r_phase[k] = linalg::phase_deg(r_amp[k]);
            rec.t_mod[k] = linalg::c_modulus(t_amp[k]);
            rec.r_mod[k] = linalg::c_modulus(r_amp[k]);
        }
        // EM moduli over k0, ME moduli times k0.
        rec.t_mod[1] /= s.media.k0;
        rec.r_mod[1] /= s.media.k0;
        rec.t_mod[2] *= s.media.k0;
        rec.r_mod[2] *= s.media.k0;

        if (s.cmd.run_index_given) {
            rec.ellipso = true;
            rec.tan_t = log_ratio(linalg::c_modulus(t_amp[3]), linalg::c_modulus(t_amp[0]));
            rec.cos_t = std::cos((rec.t_phase[3] - rec.t_phase[0]) * linalg::deg_to_rad);
            rec.tan_r = log_ratio(linalg::c_modulus(r_amp[3]), linalg::c_modulus(r_amp[0]));
            rec.cos_r = std::cos((rec.r_phase[3] - rec.r_phase[0]) * linalg::deg_to_rad);
        }
        records.push_back(rec);
    }

    error_te = (1.0 - sum_te) * pct;
    error_tm = (1.0 - sum_tm) * pct;
}

void per_order_results(const run_setup& s, const stack_state& stack) {
    const bool root = s.root();
    std::vector<order_record> records;
    double error_te = 0.0, error_tm = 0.0;
    order_results(s, stack, records, error_te, error_tm);
    // Every value that the run writes is checked before the first is written:
    // an input that the checks let through but the optics cannot take shows
    // here. Only process 0's state means anything.
    std::string block;
    if (root) {
        bool finite = std::isfinite(error_te) && std::isfinite(error_tm);
        if (s.out.lfout)
            for (const order_record& rec : records) finite = finite && order_output_finite(s, rec);
        bool block_finite = true;
        if (s.out.lproject) block = project_block(s, stack, block_finite);
        if (!finite || !block_finite) stop(results_not_finite);
        const double pct = s.out.lpercent ? 100.0 : 1.0;
        const bool passive = s.media.n_sup.imag() == 0.0;
        if (passive && (error_te / pct < -energy_margin || error_tm / pct < -energy_margin))
            stop(results_exceed_energy);
    }

    if (s.out.lproject && root) write_project_block(s, block);
    if (root) platform::console_line(textio::free_line().str());

    if (root && s.out.lfout) {
        for (const order_record& rec : records) write_order_output(s, rec);
        write_run_end(s, error_te, error_tm);
    }

    if (root && !(s.out.lfout && s.out.one_file())) {
        platform::console_line(textio::free_line().str());
        if (s.out.l_info) {
            static const textio::format f("(\" Error_TE =\",E12.6,5X,\"Error_TM =\",E12.6)");
            platform::console_line(textio::write_fixed(f, {error_te, error_tm}));
        }
    }
}

}  // namespace rcwa::run
