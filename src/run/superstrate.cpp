// The superstrate step: the last change of the reflection/transmission state.
#include "run/superstrate.hpp"

#include "linalg/link.hpp"
#include "linalg/timing.hpp"
#include "platform/platform.hpp"
#include "structure/modal.hpp"
#include "structure/orders.hpp"

namespace rcwa::run {

void superstrate_step(const run_setup& s, stack_state& stack, scratch& work, run_streams& st) {
    const structure::order_set& o = s.orders;
    const int n = o.norder;
    const bool talk = s.talk();
    linalg::time_stamp start{};
    if (talk) start = linalg::take_stamp();

    structure::oblique_basis(o, s.hdr.grid_angle, stack.r_mat, stack.t_mat);
    structure::kn_orders_2n(o, s.media.k0sq_eps_sup, stack.kn_sup);
    structure::mark_propagating(o, s.media.k0sq_eps_sup.real(), stack.n_prop_r, stack.prop_r);
    structure::uniform_blocks(stack.kn_sup, s.media.k0sq_eps_sup, work.p_mat, work.q_mat, work.x_mat, work.y_mat,
                              n);

    if (talk) platform::console_line("rti_link: sup");
    linalg::rti_link(work.p_mat, work.x_mat, stack.r_mat, stack.t_mat, 2 * n);
    linalg::t_link(s.media.thick_sup, stack.kn_sup, stack.r_mat, stack.t_mat, n);
    st.stack.close();

    if (talk) platform::console_line(linalg::timing_line_since("TIME superstrate: ", start));
}

}  // namespace rcwa::run
