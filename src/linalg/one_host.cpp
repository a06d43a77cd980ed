// The one-host mode of the collective kernels: its choice, process 0's share
// of the host's processors and threads, and the sleeping waits of the others.
#include "linalg/one_host.hpp"

#include <mpi.h>

#include <algorithm>
#include <bit>
#include <list>
#include <vector>

#include "linalg/distributed.hpp"
#include "linalg/lapack.hpp"
#include "platform/platform.hpp"

namespace rcwa::linalg::one_host {

namespace {

// A notice of process 0 to the others, kept until every send has completed.
struct notice {
    int value = 0;
    std::vector<MPI_Request> sends;
};

struct mode {
    bool decided = false;
    bool on_root = false;
    int nprocs = 1;
    MPI_Comm comm = MPI_COMM_NULL;  // process 0's notices, apart from BLACS's own traffic
    std::list<notice> pending;       // process 0
};

mode& the_mode() {
    static mode m;
    return m;
}

constexpr int done_tag = 1;

// Waits for the request without taking a processor from those that work: an
// idle Open MPI process would otherwise poll at full speed.
void sleep_until(MPI_Request& req) {
    int done = 0;
    MPI_Test(&req, &done, MPI_STATUS_IGNORE);
    while (!done) {
        platform::sleep_10ms();
        MPI_Test(&req, &done, MPI_STATUS_IGNORE);
    }
}

// Process 0 gets the OpenBLAS threads of all the processes, at most one per
// processor that any of them may use, and may run on all those processors
// (a launcher may have bound it to one core, which its new threads would
// otherwise share).
void give_threads_to_root(MPI_Comm host, int my_proc) {
    std::vector<unsigned char> mask = platform::cpu_mask();
    const int known = mask.empty() ? 0 : 1;
    int all_known = 0;
    MPI_Allreduce(&known, &all_known, 1, MPI_INT, MPI_MIN, host);
    const int threads = std::max(1, openblas_get_num_threads());
    int total = 0;
    MPI_Reduce(&threads, &total, 1, MPI_INT, MPI_SUM, 0, host);
    std::vector<unsigned char> joint(mask.size());
    if (all_known)
        MPI_Reduce(mask.data(), joint.data(), static_cast<int>(mask.size()), MPI_UNSIGNED_CHAR, MPI_BOR, 0,
                   host);
    if (my_proc != 0) return;
    if (all_known) {
        int cpus = 0;
        for (const unsigned char b : joint) cpus += std::popcount(b);
        if (cpus > 0) total = std::min(total, cpus);
        platform::set_cpu_mask(joint);
    }
    if (total > threads) openblas_set_num_threads(total);
}

}  // namespace

bool kernels_on_root() {
    mode& m = the_mode();
    if (m.decided) return m.on_root;
    m.decided = true;
    int my_proc = 0;
    int nprocs = 0;
    process_info(my_proc, nprocs);  // starts MPI
    m.nprocs = std::max(1, nprocs);
    const bool forced_grid = platform::env_flag("RCWA2D_SCALAPACK");
    if (m.nprocs == 1) {
        m.on_root = !forced_grid;
        return m.on_root;
    }
    MPI_Comm host = MPI_COMM_NULL;
    MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, my_proc, MPI_INFO_NULL, &host);
    int host_size = 0;
    MPI_Comm_size(host, &host_size);
    // Every process must take the same path, even if the setting reached
    // only some of them.
    const int mine = (host_size == m.nprocs && !forced_grid) ? 1 : 0;
    int all = 0;
    MPI_Allreduce(&mine, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
    m.on_root = all == 1;
    if (m.on_root) {
        give_threads_to_root(host, my_proc);
        MPI_Comm_dup(MPI_COMM_WORLD, &m.comm);
    }
    MPI_Comm_free(&host);
    return m.on_root;
}

void kernel_done(int my_proc, int* status) {
    mode& m = the_mode();
    if (m.comm == MPI_COMM_NULL) return;
    if (my_proc == 0) {
        // Process 0 never waits for the others: the sends complete on their
        // own and are collected at later notices.
        m.pending.remove_if([](notice& n) {
            int done = 0;
            MPI_Testall(static_cast<int>(n.sends.size()), n.sends.data(), &done, MPI_STATUSES_IGNORE);
            return done != 0;
        });
        notice& n = m.pending.emplace_back();
        n.value = status ? *status : 0;
        n.sends.resize(static_cast<std::size_t>(m.nprocs - 1));
        for (int p = 1; p < m.nprocs; ++p)
            MPI_Isend(&n.value, 1, MPI_INT, p, done_tag, m.comm, &n.sends[static_cast<std::size_t>(p - 1)]);
    } else {
        int value = 0;
        MPI_Request req = MPI_REQUEST_NULL;
        MPI_Irecv(&value, 1, MPI_INT, 0, done_tag, m.comm, &req);
        sleep_until(req);
        if (status) *status = value;
    }
}

void finish() {
    mode& m = the_mode();
    if (m.comm == MPI_COMM_NULL) return;
    // Every notice has been received by now: the others took each one
    // before going on.
    for (notice& n : m.pending)
        MPI_Waitall(static_cast<int>(n.sends.size()), n.sends.data(), MPI_STATUSES_IGNORE);
    m.pending.clear();
    MPI_Request req = MPI_REQUEST_NULL;
    MPI_Ibarrier(m.comm, &req);
    sleep_until(req);
    MPI_Comm_free(&m.comm);
}

}  // namespace rcwa::linalg::one_host
