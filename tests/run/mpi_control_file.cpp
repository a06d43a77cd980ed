// A control file locked by a writer, under mpirun: each process uses up its
// ten tries on its own, and a stop must end the whole job; otherwise a process
// that met it later would go on alone into a collective call and the job
// would never end. Console input that stays open and silent is no terminal:
// the "wait" prompts do not wait for it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/run_support.hpp"

namespace rcwa::test {
namespace {

TEST(mpi, control_file_stop_ends_the_job) {
    work_dir d;
    param_input p;
    stack_input s;
    outctl_input o;
    set_table_output(o);
    write_inputs(d, p, s, o);

    const int lock_fd = ::open(d.file("qalder.ctr").c_str(), O_RDONLY);
    ASSERT_GE(lock_fd, 0);
    ASSERT_EQ(::flock(lock_fd, LOCK_EX), 0);

    int to_child[2];
    ASSERT_EQ(::pipe(to_child), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Console input that stays open and silent.
        ::dup2(to_child[0], 0);
        ::close(to_child[0]);
        ::close(to_child[1]);
        const int null_fd = ::open("/dev/null", O_WRONLY);
        ::dup2(null_fd, 1);
        ::dup2(null_fd, 2);
        if (::chdir(d.path().c_str()) != 0) ::_exit(126);
        ::execl(RCWA_MPIRUN, RCWA_MPIRUN, "--oversubscribe", "-np", "3", RCWA2D_EXE,
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(to_child[0]);

    int status = 0;
    bool ended = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            ended = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ::close(to_child[1]);
    ::close(lock_fd);
    ASSERT_TRUE(ended) << "the job did not end within 60 s";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 101);
}

}  // namespace
}  // namespace rcwa::test
