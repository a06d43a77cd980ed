// Standard output of this process, caught in a temporary file while a
// capture is active (header-only, so unit tests may use it too).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace rcwa_test {

class stdout_capture {
public:
    stdout_capture() {
        std::fflush(stdout);
        char name[] = "/tmp/rcwa_capture_XXXXXX";
        fd_ = mkstemp(name);
        path_ = name;
        saved_ = dup(1);
        dup2(fd_, 1);
    }
    // Ends the capture; the lines written meanwhile.
    std::vector<std::string> finish() {
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
        close(fd_);
        std::ifstream in(path_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        std::remove(path_.c_str());
        return lines;
    }

private:
    int fd_ = -1;
    int saved_ = -1;
    std::string path_;
};

}  // namespace rcwa_test
