// The one-host mode of the collective kernels: its choice, process 0's share
// of the host's processors and threads, and the sleeping waits of the others.
#include "linalg/one_host.hpp"

#include <mpi.h>

#include <algorithm>
#include <array>
#include <bit>
#include <list>
#include <string>
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
    bool leading = false;            // process 0 of a followed run
    std::array<int, 2> end_header{};  // process 0: the end notice, kept until sent
    std::vector<char> end_text;
    std::vector<MPI_Request> end_sends;
};

mode& the_mode() {
    static mode m;
    return m;
}

constexpr int done_tag = 1;
constexpr int end_tag = 2;

// Waits for the requests without taking a processor from those that work: an
// idle Open MPI process would otherwise poll at full speed.
void sleep_until(std::vector<MPI_Request>& reqs) {
    const int count = static_cast<int>(reqs.size());
    int done = 0;
    MPI_Testall(count, reqs.data(), &done, MPI_STATUSES_IGNORE);
    while (!done) {
        platform::sleep_10ms();
        MPI_Testall(count, reqs.data(), &done, MPI_STATUSES_IGNORE);
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
        if (m.leading) return;
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
        std::vector<MPI_Request> req(1);
        MPI_Irecv(&value, 1, MPI_INT, 0, done_tag, m.comm, req.data());
        sleep_until(req);
        if (status) *status = value;
    }
}

bool start_followed_run(int my_proc) {
    mode& m = the_mode();
    if (!kernels_on_root() || m.comm == MPI_COMM_NULL) return false;
    if (my_proc == 0) m.leading = true;
    return true;
}

// The end notice: a header (the status and the length of the text), then the
// text, each line followed by a newline (no console line holds one). The
// follower sleeps on the header; the text is then already on its way.
void send_end(int status, const std::vector<std::string>& lines) {
    mode& m = the_mode();
    if (!m.leading) return;
    for (const std::string& line : lines) {
        m.end_text.insert(m.end_text.end(), line.begin(), line.end());
        m.end_text.push_back('\n');
    }
    m.end_header = {status, static_cast<int>(m.end_text.size())};
    for (int p = 1; p < m.nprocs; ++p) {
        MPI_Request& head = m.end_sends.emplace_back();
        MPI_Isend(m.end_header.data(), 2, MPI_INT, p, end_tag, m.comm, &head);
        MPI_Request& text = m.end_sends.emplace_back();
        MPI_Isend(m.end_text.data(), m.end_header[1], MPI_CHAR, p, end_tag, m.comm, &text);
    }
}

void wait_for_end(int& status, std::vector<std::string>& lines) {
    mode& m = the_mode();
    std::array<int, 2> header{};
    std::vector<MPI_Request> req(1);
    MPI_Irecv(header.data(), 2, MPI_INT, 0, end_tag, m.comm, req.data());
    sleep_until(req);
    status = header[0];
    std::string text(static_cast<std::size_t>(header[1]), '\0');
    MPI_Recv(text.data(), header[1], MPI_CHAR, 0, end_tag, m.comm, MPI_STATUS_IGNORE);
    lines.clear();
    std::size_t from = 0;
    for (std::size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', from)) {
        lines.push_back(text.substr(from, nl - from));
        from = nl + 1;
    }
}

void finish() {
    mode& m = the_mode();
    if (m.comm == MPI_COMM_NULL) return;
    // Every kernel notice has been received by now: the others took each one
    // before going on (a followed run sends none). The end notice is taken
    // by followers that are already waiting for it.
    for (notice& n : m.pending) sleep_until(n.sends);
    m.pending.clear();
    sleep_until(m.end_sends);
    m.end_sends.clear();
    std::vector<MPI_Request> req(1);
    MPI_Ibarrier(m.comm, req.data());
    sleep_until(req);
    MPI_Comm_free(&m.comm);
}

}  // namespace rcwa::linalg::one_host
