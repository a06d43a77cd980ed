#include "linalg/grid.hpp"

#include <mpi.h>

#include <algorithm>

#include "linalg/distributed.hpp"
#include "linalg/lapack.hpp"
#include "parallel/processes.hpp"

namespace rcwa::linalg::grid {

namespace {

constexpr int desc_ctxt = 1;  // index of the context entry in a descriptor

// BLACS keeps state of its own for the whole process (its handle on the world
// communicator, its buffered sends, any grid left open), which must be
// released while MPI still runs. MPI_Finalize first deletes the attributes of
// MPI_COMM_SELF, MPI still working: so the processes layer ends MPI without
// knowing of BLACS, and BLACS is released just before.
int release_blacs(MPI_Comm, int, void*, void*) {
    Cblacs_exit(1);  // 1: MPI itself goes on
    return MPI_SUCCESS;
}

// BLACS_PINFO on the MPI that the processes layer has started (BLACS would
// otherwise start it itself), its release arranged at the first call.
void blacs_pinfo(int& my_proc, int& nprocs) {
    parallel::process_info(my_proc, nprocs);
    Cblacs_pinfo(&my_proc, &nprocs);
    static bool release_arranged = false;  // once per process, as MPI ends once
    if (release_arranged) return;
    release_arranged = true;
    int key = MPI_KEYVAL_INVALID;
    MPI_Comm_create_keyval(MPI_COMM_NULL_COPY_FN, release_blacs, &key, nullptr);
    MPI_Comm_set_attr(MPI_COMM_SELF, key, nullptr);
}

}  // namespace

void process_info_setup(int& my_proc, int& nprocs) {
    blacs_pinfo(my_proc, nprocs);
    if (nprocs < 1) {
        nprocs = 4;
        Cblacs_setup(&my_proc, &nprocs);
    }
}

int system_context() {
    int my_proc = 0;
    int nprocs = 0;
    blacs_pinfo(my_proc, nprocs);
    int ctxt = -1;
    Cblacs_get(0, 0, &ctxt);
    return ctxt;
}

int make_grid(int system_ctxt, const char* order, int nprow, int npcol) {
    int ctxt = system_ctxt;
    Cblacs_gridinit(&ctxt, order, nprow, npcol);
    return ctxt;
}

void free_grid(int ctxt) {
    if (ctxt >= 0) Cblacs_gridexit(ctxt);
}

kernel_grids::kernel_grids(int system_ctxt, int nprocs) {
    grid_shape(nprocs, nprow, npcol);
    calc = make_grid(system_ctxt, "Row-major", nprow, npcol);
    root = make_grid(system_ctxt, "R", 1, 1);
}

void kernel_grids::free() const {
    free_grid(calc);
    free_grid(root);
}

void full_descriptor(desc_t& desc, int n, int my_proc, int root_grid, int& info) {
    desc.fill(0);
    if (my_proc == 0) {
        const int zero = 0;
        const int lld = std::max(1, n);
        descinit_(desc.data(), &n, &n, &n, &n, &zero, &zero, &root_grid, &lld, &info);
    } else {
        desc[desc_ctxt] = -1;
    }
}

local_shape::local_shape(int n, int block, int calc_grid) : nb(block) {
    Cblacs_gridinfo(calc_grid, &nprow, &npcol, &my_row, &my_col);
    const int zero = 0;
    mp = std::max(0, numroc_(&n, &nb, &my_row, &zero, &nprow));
    nq = std::max(0, numroc_(&n, &nb, &my_col, &zero, &npcol));
    lld = std::max(1, mp);
}

int local_shape::global_row(int i) const {
    const int zero = 0;
    return indxl2g_(&i, &nb, &my_row, &zero, &nprow);
}

int local_shape::global_col(int j) const {
    const int zero = 0;
    return indxl2g_(&j, &nb, &my_col, &zero, &npcol);
}

void dist_descriptor(desc_t& desc, int n, const local_shape& s, int calc_grid, int& info) {
    const int zero = 0;
    descinit_(desc.data(), &n, &n, &s.nb, &s.nb, &zero, &zero, &calc_grid, &s.lld, &info);
}

void redistribute(int n, const cplx* from, const desc_t& desc_from, cplx* to, const desc_t& desc_to,
                  int calc_grid) {
    const int one = 1;
    pzgemr2d_(&n, &n, from, &one, &one, desc_from.data(), to, &one, &one, desc_to.data(), &calc_grid);
}

}  // namespace rcwa::linalg::grid
