// For linalg unit tests whose collective kernels start MPI as a singleton:
// ends MPI once all tests are through. Also brings in the shared dense checks
// and the stdout capture.
#pragma once

#include <gtest/gtest.h>
#include <mpi.h>

#include "linalg/distributed.hpp"
#include "parallel/processes.hpp"
#include "support/dense_check.hpp"
#include "support/stdout_capture.hpp"

namespace rcwa_test {

class mpi_end : public ::testing::Environment {
public:
    void TearDown() override {
        int started = 0;
        int ended = 0;
        MPI_Initialized(&started);
        MPI_Finalized(&ended);
        if (started && !ended) rcwa::parallel::process_exit();
    }
};

// Registered once in each test program that includes this header.
inline const auto* const mpi_end_env = ::testing::AddGlobalTestEnvironment(new mpi_end);

}  // namespace rcwa_test
