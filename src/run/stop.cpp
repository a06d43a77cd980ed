#include "run/stop.hpp"

#include "textio/free_writer.hpp"

namespace rcwa::run {

void stop_free(int status, const std::string& message, bool ends_job) {
    throw run_stop(status, {(textio::free_line() << message).str()}, ends_job);
}

}  // namespace rcwa::run
