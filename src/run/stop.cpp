#include "run/stop.hpp"

#include "parallel/processes.hpp"
#include "platform/platform.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::run {

void stop(const status_entry& entry, std::string_view tail) {
    throw run_stop(entry.code, {(textio::free_line() << entry.message << tail).str()}, entry.ends_job);
}

void internal_stop() {
    platform::console_line(internal_error_line(std::current_exception()));
    parallel::abort_job(internal_error.code);
}

std::string internal_error_line(const std::exception_ptr& e) {
    std::string what = "an exception of unknown type";
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        what = x.what();
    } catch (...) {
    }
    return (textio::free_line() << internal_error.message << what).str();
}

}  // namespace rcwa::run
