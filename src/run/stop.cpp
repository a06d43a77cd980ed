#include "run/stop.hpp"

#include "linalg/distributed.hpp"
#include "platform/platform.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::run {

void stop_free(int status, const std::string& message, bool ends_job) {
    throw run_stop(status, {(textio::free_line() << message).str()}, ends_job);
}

void internal_stop() {
    platform::console_line(internal_error_line(std::current_exception()));
    linalg::abort_job(99);
}

std::string internal_error_line(const std::exception_ptr& e) {
    std::string what = "an exception of unknown type";
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        what = x.what();
    } catch (...) {
    }
    return (textio::free_line() << " internal error: " << what).str();
}

}  // namespace rcwa::run
