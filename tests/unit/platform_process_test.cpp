// Console lines, the console pause, process exit, clock and sleep. Console
// cases run in a child process with its own standard input and output.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/platform.hpp"

namespace pf = rcwa::platform;

namespace {

struct child_result {
    int status = -1;  // exit status, or -1 when the child did not exit normally
    std::string out;  // everything it wrote to standard output
};

// Runs body in a child whose standard input is `input` (then end of input,
// unless keep_open) through a pipe or a terminal, and whose standard output is
// captured.
child_result run_child(const std::string& input, const std::function<int()>& body,
                       bool keep_open = false, bool terminal = false) {
    int in_pipe[2];
    int out_pipe[2];
    child_result r;
    if (terminal) {
        // in_pipe[1]: the keyboard side of a pseudo-terminal; in_pipe[0]: the terminal
        in_pipe[1] = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (in_pipe[1] < 0 || ::grantpt(in_pipe[1]) != 0 || ::unlockpt(in_pipe[1]) != 0 ||
            (in_pipe[0] = ::open(::ptsname(in_pipe[1]), O_RDWR | O_NOCTTY)) < 0)
            return r;
    } else if (::pipe(in_pipe) != 0) {
        return r;
    }
    if (::pipe(out_pipe) != 0) return r;
    std::fflush(stdout);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in_pipe[0], 0);
        ::dup2(out_pipe[1], 1);
        ::close(in_pipe[0]);
        ::close(in_pipe[1]);
        ::close(out_pipe[0]);
        ::close(out_pipe[1]);
        int status = body();
        std::fflush(stdout);
        ::_exit(status);
    }
    ::close(in_pipe[0]);
    ::close(out_pipe[1]);
    if (!input.empty()) {
        ssize_t n = ::write(in_pipe[1], input.data(), input.size());
        (void)n;
    }
    if (!keep_open) ::close(in_pipe[1]);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out_pipe[0], buf, sizeof buf)) > 0) r.out.append(buf, static_cast<std::size_t>(n));
    ::close(out_pipe[0]);
    if (keep_open) ::close(in_pipe[1]);
    int ws = 0;
    ::waitpid(pid, &ws, 0);
    if (WIFEXITED(ws)) r.status = WEXITSTATUS(ws);
    return r;
}

}  // namespace

TEST(PlatformConsole, LineIsWrittenAndFlushedAtOnce) {
    // The child never flushes itself: _exit would drop anything buffered.
    auto r = run_child("", [] {
        pf::console_line(" hello");
        pf::console_line("");
        pf::console_line("TIME matmult:   0 minutes   1.  5 seconds");
        ::_exit(0);
        return 0;
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, " hello\n\nTIME matmult:   0 minutes   1.  5 seconds\n");
}

TEST(PlatformConsole, PauseEndsAtEndOfInput) {
    auto r = run_child("", [] { return pf::console_pause(" hit any key to finish") ? 1 : 2; });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, " hit any key to finish\n");

    // Standard input closed altogether.
    auto c = run_child("", [] {
        ::close(0);
        return pf::console_pause("wait") ? 1 : 2;
    });
    EXPECT_EQ(c.status, 2);
    EXPECT_EQ(c.out, "wait\n");

    // A pipe that stays open (mpirun's to process 0) may never end: it is no
    // terminal, so its line stays unread and nothing waits.
    auto o = run_child("x\n", [] {
        const bool answered = pf::console_pause("wait");
        char line[8] = {};
        ::fcntl(0, F_SETFL, O_NONBLOCK);
        return answered ? 1 : ::read(0, line, sizeof line) == 2 && line[0] == 'x' ? 2 : 3;
    }, true);
    EXPECT_EQ(o.status, 2);
}

TEST(PlatformConsole, PauseTakesOneLineOfATerminal) {
    // Two pauses take two lines; the third meets the end of input (^D).
    auto r = run_child("\nsome answer\n\x04", [] {
        int code = 0;
        if (pf::console_pause("a")) code += 1;
        if (pf::console_pause("b")) code += 10;
        if (pf::console_pause("c")) code += 100;
        return code;
    }, true, true);
    if (r.status < 0) GTEST_SKIP() << "no pseudo-terminal";
    EXPECT_EQ(r.status, 11);
    EXPECT_EQ(r.out, "a\nb\nc\n");

    // A last line without its line end is still an answer.
    auto p = run_child("x\x04\x04", [] { return pf::console_pause("p") ? 1 : 2; }, true, true);
    EXPECT_EQ(p.status, 1);
}

TEST(PlatformProcess, ExitFlushesAndKeepsStatus) {
    auto r = run_child("", []() -> int {
        std::printf("buffered without line end");
        pf::exit_process(93);
    });
    EXPECT_EQ(r.status, 93);
    EXPECT_EQ(r.out, "buffered without line end");

    // The kernel keeps 8 bits of the status: 750 shows as 238.
    auto big = run_child("", []() -> int { pf::exit_process(750); });
    EXPECT_EQ(big.status, 238);
}

TEST(PlatformClock, DateTimeIsLocalTimeWithItsOffset) {
    const std::time_t before = std::time(nullptr);
    const auto t = pf::date_time_ms();
    const std::time_t after = std::time(nullptr);
    EXPECT_GE(t[1], 1);
    EXPECT_LE(t[1], 12);
    EXPECT_GE(t[2], 1);
    EXPECT_LE(t[2], 31);
    EXPECT_GE(t[3], -16 * 60);
    EXPECT_LE(t[3], 16 * 60);
    EXPECT_GE(t[4], 0);
    EXPECT_LE(t[4], 23);
    EXPECT_GE(t[5], 0);
    EXPECT_LE(t[5], 59);
    EXPECT_GE(t[6], 0);
    EXPECT_LE(t[6], 60);
    EXPECT_GE(t[7], 0);
    EXPECT_LE(t[7], 999);

    // Local fields minus the offset give back the epoch second of the call.
    std::tm tm{};
    tm.tm_year = t[0] - 1900;
    tm.tm_mon = t[1] - 1;
    tm.tm_mday = t[2];
    tm.tm_hour = t[4];
    tm.tm_min = t[5];
    tm.tm_sec = t[6];
    const std::time_t utc = ::timegm(&tm) - static_cast<std::time_t>(t[3]) * 60;
    EXPECT_GE(utc, before);
    EXPECT_LE(utc, after);
}

TEST(PlatformClock, TimeOfDayInHundredths) {
    const auto t = pf::time_of_day_hundredths();
    EXPECT_GE(t[0], 0);
    EXPECT_LE(t[0], 23);
    EXPECT_GE(t[1], 0);
    EXPECT_LE(t[1], 59);
    EXPECT_GE(t[2], 0);
    EXPECT_LE(t[2], 60);
    EXPECT_GE(t[3], 0);
    EXPECT_LE(t[3], 99);
}

TEST(PlatformClock, SleepLastsAtLeastTenMilliseconds) {
    const auto t0 = std::chrono::steady_clock::now();
    pf::sleep_10ms();
    const auto t1 = std::chrono::steady_clock::now();
    EXPECT_GE(t1 - t0, std::chrono::milliseconds(10));
}
