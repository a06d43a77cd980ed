#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "run/main.hpp"
#include "run/stop.hpp"

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        rcwa::platform::exit_process(rcwa::run::rcwa2d_main(args));
    } catch (...) {
        // rcwa2d_main ends every run itself: this meets only a failure to copy
        // the arguments.
        rcwa::run::internal_stop();
    }
}
