// All of the job's MPI outside the ScaLAPACK grids: its start and end, the
// one-host decision with process 0's share of the host's processors and
// threads, the kernels' notices and the followed run with the sleeping waits
// of the others, and the abort of the whole job.
#include "parallel/processes.hpp"

#include <mpi.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <list>
#include <string>
#include <vector>

#include "platform/platform.hpp"

// OpenBLAS's own thread control. linalg/lapack.hpp declares the library's
// entry points for the kernels; this layer sits below linalg and needs only
// these two.
extern "C" {
void openblas_set_num_threads(int num_threads);
int openblas_get_num_threads(void);
}

namespace rcwa::parallel {

namespace {

// A notice of process 0 to the others, kept until every send has completed.
struct notice {
    int value = 0;
    std::vector<MPI_Request> sends;
};

// What this process knows of the job. There is one per process, as there is
// one MPI: it is started and ended once, and the kernels that ask for the
// path are reached from every layer above without a handle to pass. Nothing
// outside this file sees it.
struct job_state {
    bool started = false;
    int my_proc = 0;
    int nprocs = 1;
    bool decided = false;
    bool on_root = false;
    MPI_Comm comm = MPI_COMM_NULL;  // process 0's notices, apart from BLACS's own traffic
    std::list<notice> pending;       // process 0
    bool leading = false;            // process 0 of a followed run
    std::array<int, 2> end_header{};  // process 0: the end notice, kept until sent
    std::vector<char> end_text;
    std::vector<MPI_Request> end_sends;
};

job_state& the_job() {
    static job_state j;
    return j;
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

void process_info(int& my_proc, int& nprocs) {
    job_state& j = the_job();
    if (!j.started) {
        j.started = true;
        int up = 0;
        MPI_Initialized(&up);
        if (!up) MPI_Init(nullptr, nullptr);
        MPI_Comm_size(MPI_COMM_WORLD, &j.nprocs);
        MPI_Comm_rank(MPI_COMM_WORLD, &j.my_proc);
    }
    my_proc = j.my_proc;
    nprocs = j.nprocs;
}

bool process_zero() {
    int my_proc = 0;
    int nprocs = 0;
    process_info(my_proc, nprocs);
    return my_proc == 0;
}

bool kernels_on_root() {
    job_state& j = the_job();
    if (j.decided) return j.on_root;
    j.decided = true;
    int my_proc = 0;
    int nprocs = 0;
    process_info(my_proc, nprocs);
    const bool forced_grid = platform::env_flag("RCWA2D_SCALAPACK");
    if (nprocs == 1) {
        j.on_root = !forced_grid;
        return j.on_root;
    }
    MPI_Comm host = MPI_COMM_NULL;
    MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, my_proc, MPI_INFO_NULL, &host);
    int host_size = 0;
    MPI_Comm_size(host, &host_size);
    // Every process must take the same path, even if the setting reached
    // only some of them.
    const int mine = (host_size == nprocs && !forced_grid) ? 1 : 0;
    int all = 0;
    MPI_Allreduce(&mine, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
    j.on_root = all == 1;
    if (j.on_root) {
        give_threads_to_root(host, my_proc);
        MPI_Comm_dup(MPI_COMM_WORLD, &j.comm);
    }
    MPI_Comm_free(&host);
    return j.on_root;
}

void kernel_done(int my_proc, int* status) {
    job_state& j = the_job();
    if (j.comm == MPI_COMM_NULL) return;
    if (my_proc == 0) {
        if (j.leading) return;
        // Process 0 never waits for the others: the sends complete on their
        // own and are collected at later notices.
        j.pending.remove_if([](notice& n) {
            int done = 0;
            MPI_Testall(static_cast<int>(n.sends.size()), n.sends.data(), &done, MPI_STATUSES_IGNORE);
            return done != 0;
        });
        notice& n = j.pending.emplace_back();
        n.value = status ? *status : 0;
        n.sends.resize(static_cast<std::size_t>(j.nprocs - 1));
        for (int p = 1; p < j.nprocs; ++p)
            MPI_Isend(&n.value, 1, MPI_INT, p, done_tag, j.comm, &n.sends[static_cast<std::size_t>(p - 1)]);
    } else {
        int value = 0;
        std::vector<MPI_Request> req(1);
        MPI_Irecv(&value, 1, MPI_INT, 0, done_tag, j.comm, req.data());
        sleep_until(req);
        if (status) *status = value;
    }
}

bool start_followed_run() {
    int my_proc = 0;
    int nprocs = 0;
    process_info(my_proc, nprocs);
    job_state& j = the_job();
    if (!kernels_on_root() || j.comm == MPI_COMM_NULL) return false;
    if (my_proc == 0) j.leading = true;
    return true;
}

// The end notice: a header (the status and the length of the text), then the
// text, each line followed by a newline (no console line holds one). The
// follower sleeps on the header; the text is then already on its way.
void end_followed_run(int status, const std::vector<std::string>& lines) {
    job_state& j = the_job();
    if (!j.leading) return;
    for (const std::string& line : lines) {
        j.end_text.insert(j.end_text.end(), line.begin(), line.end());
        j.end_text.push_back('\n');
    }
    j.end_header = {status, static_cast<int>(j.end_text.size())};
    for (int p = 1; p < j.nprocs; ++p) {
        MPI_Request& head = j.end_sends.emplace_back();
        MPI_Isend(j.end_header.data(), 2, MPI_INT, p, end_tag, j.comm, &head);
        MPI_Request& text = j.end_sends.emplace_back();
        MPI_Isend(j.end_text.data(), j.end_header[1], MPI_CHAR, p, end_tag, j.comm, &text);
    }
}

void follow_run(int& status, std::vector<std::string>& lines) {
    job_state& j = the_job();
    std::array<int, 2> header{};
    std::vector<MPI_Request> req(1);
    MPI_Irecv(header.data(), 2, MPI_INT, 0, end_tag, j.comm, req.data());
    sleep_until(req);
    status = header[0];
    std::string text(static_cast<std::size_t>(header[1]), '\0');
    MPI_Recv(text.data(), header[1], MPI_CHAR, 0, end_tag, j.comm, MPI_STATUS_IGNORE);
    lines.clear();
    std::size_t from = 0;
    for (std::size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', from)) {
        lines.push_back(text.substr(from, nl - from));
        from = nl + 1;
    }
}

void process_exit() {
    job_state& j = the_job();
    if (j.comm != MPI_COMM_NULL) {
        // Every kernel notice has been received by now: the others took each
        // one before going on (a followed run sends none). The end notice is
        // taken by followers that are already waiting for it.
        for (notice& n : j.pending) sleep_until(n.sends);
        j.pending.clear();
        sleep_until(j.end_sends);
        j.end_sends.clear();
        std::vector<MPI_Request> req(1);
        MPI_Ibarrier(j.comm, req.data());
        sleep_until(req);
        MPI_Comm_free(&j.comm);
    }
    MPI_Finalize();
}

void abort_job(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    int started = 0;
    int ended = 0;
    MPI_Initialized(&started);
    MPI_Finalized(&ended);
    if (started && !ended) {
        int size = 1;
        MPI_Comm_size(MPI_COMM_WORLD, &size);
        // Alone, there is nobody to stop: end MPI in order and spare the user
        // the launcher's abort notice.
        if (size > 1) MPI_Abort(MPI_COMM_WORLD, status);
        MPI_Finalize();
    }
    platform::exit_process(status);
}

}  // namespace rcwa::parallel
