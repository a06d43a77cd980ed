#include "support/mpi_gtest.hpp"

#include <gtest/gtest.h>
#include <mpi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "parallel/processes.hpp"

namespace rcwa_test {

namespace {

// On processes other than 0: one line per failed assertion, nothing else.
class failure_printer : public ::testing::EmptyTestEventListener {
public:
    explicit failure_printer(int proc) : proc_(proc) {}
    // The name is kept here: asking gtest for the current test while it
    // reports a result would wait on its own lock.
    void OnTestStart(const ::testing::TestInfo& info) override {
        name_ = std::string(info.test_suite_name()) + "." + info.name();
    }
    void OnTestPartResult(const ::testing::TestPartResult& r) override {
        if (!r.failed()) return;
        std::fprintf(stdout, "[process %d] FAILED %s at %s:%d\n%s\n", proc_, name_.c_str(),
                     r.file_name() ? r.file_name() : "?", r.line_number(), r.message());
        std::fflush(stdout);
    }

private:
    int proc_;
    std::string name_;
};

}  // namespace

int my_proc() {
    int p = 0;
    int n = 0;
    rcwa::parallel::process_info(p, n);
    return p;
}

int nprocs() {
    int p = 0;
    int n = 0;
    rcwa::parallel::process_info(p, n);
    return n;
}

bool in_calc_grid() {
    const int np = nprocs();
    const int nprow = std::max(1, static_cast<int>(std::sqrt(static_cast<float>(np))));
    return my_proc() < nprow * (np / nprow);
}

bool kernels_meant_on_root() {
    const char* v = std::getenv("RCWA2D_SCALAPACK");
    return v == nullptr || std::string(v).empty() || std::string(v) == "0";
}

bool all_processes(bool ok) {
    int mine = ok ? 1 : 0;
    int all = 0;
    MPI_Allreduce(&mine, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
    return all == 1;
}

int run_mpi_gtest(int argc, char** argv) {
    const int proc = my_proc();  // starts MPI
    ::testing::InitGoogleTest(&argc, argv);
    if (proc != 0) {
        auto& listeners = ::testing::UnitTest::GetInstance()->listeners();
        std::unique_ptr<::testing::TestEventListener> quiet(listeners.Release(listeners.default_result_printer()));
        listeners.Append(std::make_unique<failure_printer>(proc).release());
    }
    const int mine = RUN_ALL_TESTS();
    const bool ok = all_processes(mine == 0);
    if (proc == 0 && !ok) {
        std::fprintf(stdout, "FAILED on at least one process (see the [process k] lines above)\n");
        std::fflush(stdout);
    }
    rcwa::parallel::process_exit();
    return ok ? 0 : 1;
}

}  // namespace rcwa_test
