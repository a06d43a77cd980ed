// The per-order pass on a hand-made final state: which orders are recorded,
// what the energy sums count, percent scaling, modulus scaling and the
// ellipsometric values.
#include <gtest/gtest.h>

#include <cmath>

#include "run/results.hpp"

namespace rcwa::run {
namespace {

// Three orders in one row (first index -1, 0, 1), the zeroth at position 2;
// both half-spaces with k0^2 eps = 4 and kn = 2 for propagating orders.
run_state three_orders() {
    run_state rs;
    rs.setup.par.iomax = 1;
    rs.setup.orders.norder = 3;
    rs.setup.media.k0 = 2.0;
    rs.setup.orders.ord_i1.resize(3);
    rs.setup.orders.ord_i2.resize(3);
    rs.setup.orders.ord_of.resize(3);
    for (int i = 1; i <= 3; ++i) {
        rs.setup.orders.ord_i1(i) = i;
        rs.setup.orders.ord_i2(i) = 2;
        rs.setup.orders.ord_of(i) = i;
    }
    rs.setup.media.k0sq_eps_sup = 4.0;
    rs.setup.media.k0sq_eps_sub = 4.0;
    rs.stack.kn_sup.resize(6, cplx(2.0, 0.0));
    rs.stack.kn_sub.resize(6, cplx(2.0, 0.0));
    rs.stack.r_mat.resize(6);
    rs.stack.t_mat.resize(6);
    for (int k = 1; k <= 4; ++k) rs.setup.out.nop[k] = (k % 2) ? -5 : 5;
    return rs;
}

TEST(run_results, sums_count_every_order_and_window_selects_records) {
    run_state rs = three_orders();
    // TE incidence (column 2): reflected TE amplitudes per order, transmitted
    // TE of the zeroth order. TM incidence (column 5): the same in TM.
    rs.stack.r_mat(1, 2) = 0.3;
    rs.stack.r_mat(2, 2) = cplx(0.0, 0.4);
    rs.stack.r_mat(3, 2) = 0.1;
    rs.stack.t_mat(2, 2) = 0.8;
    rs.stack.r_mat(4, 5) = 0.2;
    rs.stack.t_mat(5, 5) = cplx(0.6, 0.6);
    rs.setup.out.nop[1] = 0;  // first index 0..0
    rs.setup.out.nop[2] = 0;
    std::vector<order_record> recs;
    double e_te = 0, e_tm = 0;
    order_results(rs.setup, rs.stack, recs, e_te, e_tm);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].i1, 0);
    EXPECT_EQ(recs[0].i2, 0);
    EXPECT_NEAR(recs[0].r_eff[0], 0.16, 1e-15);
    EXPECT_NEAR(recs[0].t_eff[0], 0.64, 1e-15);
    // Orders outside the window still count in the sums.
    EXPECT_NEAR(e_te, 1.0 - (0.09 + 0.16 + 0.01 + 0.64), 1e-15);
    // TM: |r|^2 = 0.04, |t_MM|^2 = 0.72, with TM factors Re(es)/|eb|^2 * Re(kn eb*)/Re kn = 1.
    EXPECT_NEAR(e_tm, 1.0 - (0.04 + 0.72), 1e-15);
    EXPECT_FALSE(recs[0].ellipso);
}

TEST(run_results, percent_moduli_and_ellipsometry) {
    run_state rs = three_orders();
    rs.setup.out.lpercent = true;
    rs.setup.cmd.run_index_given = true;
    rs.stack.t_mat(2, 2) = 0.5;                 // EE
    rs.stack.t_mat(5, 2) = cplx(0.0, 0.3);      // EM
    rs.stack.t_mat(2, 5) = -0.1;                // ME
    rs.stack.t_mat(5, 5) = cplx(0.0, 1.0);      // MM
    rs.stack.r_mat(2, 2) = 0.25;
    rs.stack.r_mat(5, 5) = -0.5;
    std::vector<order_record> recs;
    double e_te = 0, e_tm = 0;
    order_results(rs.setup, rs.stack, recs, e_te, e_tm);
    ASSERT_EQ(recs.size(), 3u);
    const order_record& z = recs[1];
    EXPECT_EQ(z.i1, 0);
    EXPECT_NEAR(z.t_eff[0], 25.0, 1e-12);
    EXPECT_NEAR(e_te, 100.0 * (1.0 - 0.25 - 0.0625 - 0.09 / 4.0), 1e-12);
    // EM modulus over k0 (2), ME modulus times k0.
    EXPECT_NEAR(z.t_mod[1], 0.15, 1e-15);
    EXPECT_NEAR(z.t_mod[2], 0.2, 1e-15);
    EXPECT_NEAR(z.t_mod[0], 0.5, 1e-15);
    ASSERT_TRUE(z.ellipso);
    EXPECT_NEAR(z.tan_t, std::log(1.0 / 0.5), 1e-14);
    EXPECT_NEAR(z.cos_t, 0.0, 1e-14);   // phases 90 and 0 degrees
    EXPECT_NEAR(z.tan_r, std::log(2.0), 1e-14);
    EXPECT_NEAR(z.cos_r, -1.0, 1e-14);  // phases 180 and 0 degrees
    EXPECT_NEAR(std::fabs(z.t_phase[3]), 90.0, 1e-12);
}

TEST(run_results, evanescent_order_reflects_nothing) {
    run_state rs = three_orders();
    rs.stack.kn_sup(1) = rs.stack.kn_sup(4) = cplx(0.0, 1.5);
    rs.stack.kn_sub(1) = rs.stack.kn_sub(4) = cplx(0.0, 1.5);
    rs.stack.r_mat(1, 2) = 0.7;
    rs.stack.t_mat(1, 2) = 0.7;
    rs.stack.r_mat(4, 5) = 0.7;
    std::vector<order_record> recs;
    double e_te = 0, e_tm = 0;
    order_results(rs.setup, rs.stack, recs, e_te, e_tm);
    ASSERT_EQ(recs.size(), 3u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(recs[0].r_eff[k], 0.0);
        EXPECT_EQ(recs[0].t_eff[k], 0.0);
    }
    EXPECT_EQ(e_te, 1.0);
}

}  // namespace
}  // namespace rcwa::run
