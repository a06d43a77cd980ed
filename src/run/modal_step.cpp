// The modal step of a grating layer: the layer's modes from its Fourier
// matrices, then the three link steps that join the layer onto r_mat, t_mat.
#include <utility>

#include "linalg/link.hpp"
#include "linalg/timing.hpp"
#include "platform/platform.hpp"
#include "run/grating.hpp"
#include "run/stop.hpp"
#include "structure/grating_modes.hpp"

namespace rcwa::run {

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
