#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "run/main.hpp"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    rcwa::platform::exit_process(rcwa::run::rcwa2d_main(args));
}
