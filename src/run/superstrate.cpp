// The superstrate step: the last change of the reflection/transmission state.
#include "linalg/link.hpp"
#include "linalg/timing.hpp"
#include "platform/platform.hpp"
#include "run/steps.hpp"
#include "structure/modal.hpp"
#include "structure/orders.hpp"

namespace rcwa::run {

void superstrate_step(run_state& rs, run_streams& st) {
    const int n = rs.norder;
    const bool talk = rs.l_info && rs.my_proc == 0;
    linalg::time_stamp start{};
    if (talk) start = linalg::take_stamp();

    structure::oblique_basis(rs.nmax1d, n, rs.grid_angle, rs.ord_i1, rs.ord_i2, rs.ky_1d,
                             rs.kz_1d, rs.r_mat, rs.t_mat);
    structure::kn_orders(n, true, rs.k0sq_eps_sup, rs.ord_slot, rs.kt2, rs.kn_sup);
    for (int i = 1; i <= n; ++i) rs.kn_sup(n + i) = rs.kn_sup(i);
    structure::mark_propagating(n, rs.k0sq_eps_sup.real(), rs.kt2, rs.ord_slot, rs.n_prop_r,
                                rs.prop_r);
    structure::uniform_blocks(rs.kn_sup, rs.k0sq_eps_sup, rs.p_mat, rs.q_mat, rs.x_mat, rs.y_mat,
                              n);

    if (talk) platform::console_line("rti_link: sup");
    linalg::rti_link(rs.p_mat, rs.x_mat, rs.r_mat, rs.t_mat, 2 * n);
    structure::t_link(rs.thick_sup, rs.kn_sup, rs.r_mat, rs.t_mat, n);
    st.stack.close();

    if (talk) platform::console_line(linalg::timing_line_since("TIME superstrate: ", start));
}

}  // namespace rcwa::run
