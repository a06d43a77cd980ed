// The collective eigen-decompositions. Both follow the grid rules of the
// collective kernels: grids built from the system context at every call, the
// full matrices on process 0 described as one block on a 1 by 1 grid,
// PZGEMR2D between that and the block-cyclic calculation grid, and every grid
// freed before returning. Processes outside the calculation grid take part in
// the grid creations and frees only. With one process eigen_dist still builds
// and frees its grids but computes with LAPACK on process 0's own matrices;
// in the one-host mode (parallel/processes.hpp) it builds no grid and process 0 alone
// computes so, while the others sleep.
#include <algorithm>
#include <vector>

#include "linalg/distributed.hpp"
#include "linalg/eigen_dist.hpp"
#include "linalg/eigen_serial.hpp"
#include "linalg/grid.hpp"
#include "linalg/lapack.hpp"
#include "linalg/timing.hpp"
#include "parallel/processes.hpp"
#include "platform/platform.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::linalg {

using namespace grid;

namespace {

constexpr int min_qr_block = 6;

// Eigenvectors of the upper triangular Schur form t, multiplied by the Schur
// vectors already in vr, and in vl if it has order n (else vl is not touched
// and no left vectors are computed): eigenvectors of the original matrix, each
// scaled so that its largest |Re|+|Im| is 1. ZTREVC3 computes each side on its
// own, so the right vectors do not depend on the left being wanted. The blocked
// ZTREVC3 gives the same vectors as ZTREVC in about half the time; this serial
// step on process 0 is a large share of a grating layer.
void schur_eigenvectors(int n, cplx* t, full_mat& vl, full_mat& vr, int& status) {
    const bool left = vl.order() == n;
    const char* side = left ? "B" : "R";
    cplx vl_unused(0.0, 0.0);
    cplx* vl_data = left ? vl.data() : &vl_unused;
    const int ldvl = left ? n : 1;
    const int select = 0;  // not referenced with howmny "B"
    int m = 0;
    int lwork = -1, lrwork = -1;
    cplx wquery(0.0, 0.0);
    double rquery = 0.0;
    ztrevc3_(side, "B", &select, &n, t, &n, vl_data, &ldvl, vr.data(), &n, &n, &m, &wquery, &lwork, &rquery,
             &lrwork, &status, 1, 1);
    lwork = std::max(2 * n, static_cast<int>(wquery.real()));
    lrwork = std::max(n, static_cast<int>(rquery));
    std::vector<cplx> work(static_cast<std::size_t>(std::max(1, lwork)));
    std::vector<double> rwork(static_cast<std::size_t>(std::max(1, lrwork)));
    ztrevc3_(side, "B", &select, &n, t, &n, vl_data, &ldvl, vr.data(), &n, &n, &m, work.data(), &lwork,
             rwork.data(), &lrwork, &status, 1, 1);
}

// The answer of a workspace query: the real part of the first work entry,
// truncated; at least 1.
int queried_size(cplx cell) { return std::max(1, static_cast<int>(cell.real())); }

// One process: the same steps on process 0's own copy of a with LAPACK, whose
// multishift QR (ZHSEQR) is much faster than the grid's unblocked one, and
// with no copies between the full matrices and a 1 by 1 grid. The Schur form
// is not unique, so the eigenvalues may come in another order than from the
// grid; column k of eig_vl and eig_vr still belongs to eig_val(k).
void single_process_eigen(int n, const full_mat& a, array1<cplx>& eig_val, full_mat& eig_vl, full_mat& eig_vr,
                          int& info) {
    int status = 0;
    auto keep = [&info, &status]() {
        if (info == 0) info = status;
    };
    info = 0;
    if (eig_val.size() != n) eig_val.resize(n);
    if (eig_vl.order() != 0 && eig_vl.order() != n) eig_vl.resize(n);
    if (eig_vr.order() != n) eig_vr.resize(n);

    const std::size_t entries = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    std::vector<cplx> t(a.data(), a.data() + entries);  // a itself stays as it is
    std::vector<cplx> tau(static_cast<std::size_t>(n));
    const int one = 1;
    const int query = -1;
    cplx cell(0.0, 0.0);
    std::vector<cplx> work;

    // a = Q*H*Q^H
    zgehrd_(&n, &one, &n, t.data(), &n, tau.data(), &cell, &query, &status);
    keep();
    int lwork = queried_size(cell);
    work.assign(static_cast<std::size_t>(lwork), cplx(0.0, 0.0));
    zgehrd_(&n, &one, &n, t.data(), &n, tau.data(), work.data(), &lwork, &status);
    keep();
    work = {};

    // Q, built in eig_vr, where the Schur vectors are wanted next.
    std::copy(t.begin(), t.end(), eig_vr.data());
    cell = cplx(0.0, 0.0);
    zunghr_(&n, &one, &n, eig_vr.data(), &n, tau.data(), &cell, &query, &status);
    keep();
    lwork = queried_size(cell);
    work.assign(static_cast<std::size_t>(lwork), cplx(0.0, 0.0));
    zunghr_(&n, &one, &n, eig_vr.data(), &n, tau.data(), work.data(), &lwork, &status);
    keep();
    work = {};

    // The reflector vectors below the first subdiagonal go; H remains.
    for (int j = 1; j <= n; ++j)
        for (int i = j + 2; i <= n; ++i)
            t[static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(n) + static_cast<std::size_t>(i - 1)] =
                cplx(0.0, 0.0);

    // Schur form T in t, Schur vectors Q*Z in eig_vr, eigenvalues in the
    // order of T's diagonal.
    cell = cplx(0.0, 0.0);
    zhseqr_("S", "V", &n, &one, &n, t.data(), &n, eig_val.data(), eig_vr.data(), &n, &cell, &query, &status, 1,
            1);
    keep();
    lwork = queried_size(cell);
    work.assign(static_cast<std::size_t>(lwork), cplx(0.0, 0.0));
    zhseqr_("S", "V", &n, &one, &n, t.data(), &n, eig_val.data(), eig_vr.data(), &n, work.data(), &lwork,
            &status, 1, 1);
    keep();
    work = {};

    // Eigenvectors of T, multiplied by the Schur vectors: eigenvectors of a,
    // each scaled so its largest |Re|+|Im| is 1.
    if (eig_vl.order() == n) std::copy(eig_vr.data(), eig_vr.data() + entries, eig_vl.data());
    schur_eigenvectors(n, t.data(), eig_vl, eig_vr, status);
    keep();
}

void grid_eigen(int n, int nb, const full_mat& a, array1<cplx>& eig_val, full_mat& eig_vl, full_mat& eig_vr,
                int& info, int my_proc, int nprocs);

void report_eigen_error() {
    textio::free_line line;
    line << "error during eigenroutine";
    platform::console_line(line.str());
}

}  // namespace

void eigen_dist(int n, int nb, double q_shift, const full_mat& a, array1<cplx>& eig_val,
                array1<cplx>& gam, full_mat& eig_vl, full_mat& eig_vr, int& info, double g_unit) {
    if (n < 1) return;  // every process sees the same n: nothing to do anywhere
    int my_proc = 0;
    int nprocs = 0;
    parallel::process_info(my_proc, nprocs);
    if (parallel::kernels_on_root()) {
        // Every process ends with process 0's status, so that all can act
        // on it alike.
        if (my_proc == 0) single_process_eigen(n, a, eig_val, eig_vl, eig_vr, info);
        parallel::kernel_done(my_proc, &info);
    } else {
        grid_eigen(n, nb, a, eig_val, eig_vl, eig_vr, info, my_proc, nprocs);
    }

    // Every process forms gam from its own eig_val; only process 0's means
    // anything.
    if (gam.size() < n) gam.resize(n);
    const int have = std::min(n, eig_val.size());
    for (int k = 1; k <= have; ++k) gam(k) = gam_rule_a(eig_val(k), q_shift, g_unit);
}

namespace {

// eigen_dist on the ScaLAPACK grids.
void grid_eigen(int n, int nb, const full_mat& a, array1<cplx>& eig_val, full_mat& eig_vl, full_mat& eig_vr,
                int& info, int my_proc, int nprocs) {
    const int sys_ctxt = system_context();

    // Created and never used, so that every collective kernel builds the same
    // sequence of grids.
    const int line_grid = make_grid(sys_ctxt, "Row-major", nprocs, 1);
    const kernel_grids grids(sys_ctxt, nprocs);
    const int calc_grid = grids.calc;
    const int root_grid = grids.root;

    if (calc_grid >= 0 && grids.nprow * grids.npcol == 1) {
        single_process_eigen(n, a, eig_val, eig_vl, eig_vr, info);
    } else if (calc_grid >= 0) {
        // PZLAHQR refuses blocks of fewer than 5 rows and then leaves the
        // Hessenberg matrix as it is, which the eigenvector step would take
        // for a Schur form: smaller block sizes are raised to 6.
        const local_shape p(n, std::max(nb, min_qr_block), calc_grid);
        // The first failing step's status is kept, so that a later success
        // cannot hide it; with no failure this is the last step's status.
        int status = 0;
        auto keep = [&info, &status]() {
            if (info == 0) info = status;
        };
        info = 0;
        desc_t desc_a0{};
        full_descriptor(desc_a0, n, my_proc, root_grid, status);
        keep();
        desc_t desc_a{};
        dist_descriptor(desc_a, n, p, calc_grid, status);
        keep();

        std::vector<cplx> a_loc(p.entries());
        std::vector<cplx> z_loc(p.entries());
        std::vector<cplx> tau(static_cast<std::size_t>(n));
        std::vector<cplx> w_schur(static_cast<std::size_t>(n));
        redistribute(n, a.data(), desc_a0, a_loc.data(), desc_a, calc_grid);

        const int one = 1;
        const int query = -1;
        cplx cell(0.0, 0.0);
        std::vector<cplx> work;

        // a = Q*H*Q^H
        pzgehrd_(&n, &one, &n, a_loc.data(), &one, &one, desc_a.data(), tau.data(), &cell, &query, &status);
        keep();
        int lwork = queried_size(cell);
        work.assign(static_cast<std::size_t>(lwork), cplx(0.0, 0.0));
        pzgehrd_(&n, &one, &n, a_loc.data(), &one, &one, desc_a.data(), tau.data(), work.data(), &lwork, &status);
        keep();
        work = {};

        // z_loc = I*Q
        for (int j = 1; j <= p.nq; ++j) {
            const int gj = p.global_col(j);
            for (int i = 1; i <= p.mp; ++i)
                p.at(z_loc, i, j) = (p.global_row(i) == gj) ? cplx(1.0, 0.0) : cplx(0.0, 0.0);
        }
        cell = cplx(0.0, 0.0);
        pzunmhr_("R", "N", &n, &n, &one, &n, a_loc.data(), &one, &one, desc_a.data(), tau.data(), z_loc.data(),
                 &one, &one, desc_a.data(), &cell, &query, &status, 1, 1);
        keep();
        lwork = queried_size(cell);
        work.assign(static_cast<std::size_t>(lwork), cplx(0.0, 0.0));
        pzunmhr_("R", "N", &n, &n, &one, &n, a_loc.data(), &one, &one, desc_a.data(), tau.data(), z_loc.data(),
                 &one, &one, desc_a.data(), work.data(), &lwork, &status, 1, 1);
        keep();
        work = {};

        // The reflector vectors below the first subdiagonal go; H remains.
        for (int j = 1; j <= p.nq; ++j) {
            const int gj = p.global_col(j);
            for (int i = 1; i <= p.mp; ++i) {
                if (p.global_row(i) >= gj + 2) p.at(a_loc, i, j) = cplx(0.0, 0.0);
            }
        }

        // Schur form T in a_loc, Schur vectors Q*Z in z_loc.
        const int wantt = 1;  // Fortran LOGICAL true
        const int wantz = 1;
        int iwork_cell = 0;
        cell = cplx(0.0, 0.0);
        pzlahqr_(&wantt, &wantz, &n, &one, &n, a_loc.data(), desc_a.data(), w_schur.data(), &one, &n,
                 z_loc.data(), desc_a.data(), &cell, &query, &iwork_cell, &one, &status);
        keep();
        lwork = queried_size(cell);
        work.assign(static_cast<std::size_t>(lwork), cplx(0.0, 0.0));
        pzlahqr_(&wantt, &wantz, &n, &one, &n, a_loc.data(), desc_a.data(), w_schur.data(), &one, &n,
                 z_loc.data(), desc_a.data(), work.data(), &lwork, &iwork_cell, &one, &status);
        keep();
        work = {};

        // Process 0 gathers T and Q*Z; elsewhere one-entry placeholders that
        // the gathers do not write.
        const std::size_t full_entries =
            my_proc == 0 ? static_cast<std::size_t>(n) * static_cast<std::size_t>(n) : 1;
        std::vector<cplx> z_full(full_entries);
        std::vector<cplx> t_full(full_entries);
        redistribute(n, z_loc.data(), desc_a, z_full.data(), desc_a0, calc_grid);
        redistribute(n, a_loc.data(), desc_a, t_full.data(), desc_a0, calc_grid);

        if (my_proc == 0) {
            if (eig_val.size() != n) eig_val.resize(n);
            if (eig_vl.order() != 0 && eig_vl.order() != n) eig_vl.resize(n);
            if (eig_vr.order() != n) eig_vr.resize(n);
            if (eig_vl.order() == n) std::copy(z_full.begin(), z_full.end(), eig_vl.data());
            std::copy(z_full.begin(), z_full.end(), eig_vr.data());
            // Eigenvectors of T, multiplied by the Schur vectors: eigenvectors
            // of a, each scaled so its largest |Re|+|Im| is 1.
            schur_eigenvectors(n, t_full.data(), eig_vl, eig_vr, status);
            keep();
            for (int k = 1; k <= n; ++k) eig_val(k) = w_schur[static_cast<std::size_t>(k - 1)];
        }
    }

    grids.free();
    free_grid(line_grid);
}

}  // namespace

void eigen_hsein(int n, full_mat& a, double q_shift, array1<cplx>& gam, array1<cplx>& eig_val,
                 full_mat& eig_vr) {
    if (n < 1) return;
    if (eig_vr.order() != n) eig_vr.resize(n);
    mat_set_diag(n, eig_vr, cplx(1.0, 0.0));

    int my_proc = 0;
    int nprocs = 0;
    process_info_setup(my_proc, nprocs);
    const int sys_ctxt = system_context();
    const kernel_grids grids(sys_ctxt, nprocs);
    const int calc_grid = grids.calc;
    const int root_grid = grids.root;
    const int nb = block_size(n);

    if (calc_grid >= 0) {
        int status = 0;
        const local_shape p(n, nb, calc_grid);
        desc_t desc_a0{};
        desc_t desc_v0{};
        full_descriptor(desc_a0, n, my_proc, root_grid, status);
        full_descriptor(desc_v0, n, my_proc, root_grid, status);
        desc_t desc_a{};
        desc_t desc_v{};
        dist_descriptor(desc_a, n, p, calc_grid, status);
        dist_descriptor(desc_v, n, p, calc_grid, status);
        std::vector<cplx> a_loc(p.entries());
        std::vector<cplx> v_loc(p.entries());
        std::vector<cplx> tau(static_cast<std::size_t>(n));

        if (my_proc == 0 && a.order() != n) a.resize(n);
        redistribute(n, a.data(), desc_a0, a_loc.data(), desc_a, calc_grid);
        redistribute(n, eig_vr.data(), desc_v0, v_loc.data(), desc_v, calc_grid);

        const int one = 1;
        // One work array of 4n^2 entries serves every step; for very small n
        // that is below what the library needs, so it is grown to the
        // library's own answer there.
        const int query = -1;
        cplx cell(0.0, 0.0);
        int lwork = 4 * n * n;
        pzgehrd_(&n, &one, &n, a_loc.data(), &one, &one, desc_a.data(), tau.data(), &cell, &query, &status);
        lwork = std::max(lwork, queried_size(cell));
        cell = cplx(0.0, 0.0);
        pzunmhr_("L", "N", &n, &n, &one, &n, a_loc.data(), &one, &one, desc_a.data(), tau.data(), v_loc.data(),
                 &one, &one, desc_v.data(), &cell, &query, &status, 1, 1);
        lwork = std::max(lwork, queried_size(cell));
        std::vector<cplx> work(static_cast<std::size_t>(lwork));

        time_stamp start{};
        if (my_proc == 0) start = take_stamp();
        pzgehrd_(&n, &one, &n, a_loc.data(), &one, &one, desc_a.data(), tau.data(), work.data(), &lwork, &status);
        if (my_proc == 0) {
            platform::console_line(timing_line_since("TIME for Hessenberg effi: ", start));
            start = take_stamp();
        }

        // a becomes the Hessenberg matrix, the reflector vectors below its
        // first subdiagonal (inverse iteration reads the Hessenberg part only).
        redistribute(n, a_loc.data(), desc_a, a.data(), desc_a0, calc_grid);

        int hsein_status = 0;
        if (my_proc == 0) {
            std::vector<int> select(static_cast<std::size_t>(n), 1);
            if (eig_val.size() < n) eig_val.resize(n);
            std::vector<cplx> vl(1);
            std::vector<double> rwork(2 * static_cast<std::size_t>(n));
            std::vector<int> ifaill(static_cast<std::size_t>(n));
            std::vector<int> ifailr(static_cast<std::size_t>(n));
            int m = 0;
            zhsein_("R", "N", "N", select.data(), &n, a.data(), &n, eig_val.data(), vl.data(), &n,
                    eig_vr.data(), &n, &n, &m, work.data(), rwork.data(), ifaill.data(), ifailr.data(),
                    &hsein_status, 1, 1, 1);
        }

        redistribute(n, eig_vr.data(), desc_v0, v_loc.data(), desc_v, calc_grid);
        pzunmhr_("L", "N", &n, &n, &one, &n, a_loc.data(), &one, &one, desc_a.data(), tau.data(), v_loc.data(),
                 &one, &one, desc_v.data(), work.data(), &lwork, &status, 1, 1);
        redistribute(n, v_loc.data(), desc_v, eig_vr.data(), desc_v0, calc_grid);

        if (my_proc == 0) platform::console_line(timing_line_since("TIME for Schur: ", start));
        work = {};

        // Eigenvectors that inverse iteration could not converge are a
        // failure too, not only a failed back-transformation.
        if (status != 0 || hsein_status != 0) report_eigen_error();

        if (gam.size() < n) gam.resize(n);
        const int have = std::min(n, eig_val.size());
        for (int k = 1; k <= have; ++k) gam(k) = gam_rule_b(eig_val(k), q_shift);
    }

    grids.free();
}

}  // namespace rcwa::linalg
