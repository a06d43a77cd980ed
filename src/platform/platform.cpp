#include "platform/platform.hpp"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <utility>

#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <stdio_ext.h>
#include <sys/mman.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rcwa::platform {

// ---- console ---------------------------------------------------------------

void console_line(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool console_pause(std::string_view prompt) {
    console_line(prompt);
    // Only a terminal has someone at it. Any other input may never end
    // (under mpirun, process 0 reads a pipe from the launcher that stays
    // open when the launcher's own input is closed), so it is not read.
    if (::isatty(STDIN_FILENO) == 0) return false;
    // Read up to the line end; any character at all counts as an answer, only
    // the end of input (or a read error) means nobody is there to answer.
    bool got_any = false;
    for (;;) {
        int c = std::fgetc(stdin);
        if (c == EOF) {
            if (std::ferror(stdin) && errno == EINTR) {
                std::clearerr(stdin);
                continue;
            }
            return got_any;
        }
        got_any = true;
        if (c == '\n') return true;
    }
}

// ---- file names --------------------------------------------------------------

std::string map_path(std::string_view name) {
    std::size_t n = name.size();
    while (n > 0 && name[n - 1] == ' ') --n;
    std::string path(name.substr(0, n));
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

bool path_exists(std::string_view name) {
    const std::string path = map_path(name);
    if (path.empty()) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool delete_file(std::string_view name) {
    const std::string path = map_path(name);
    if (path.empty()) return false;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

namespace {

// flock that survives signals arriving while it waits.
int flock_retry(int fd, int op) {
    int rc;
    do {
        rc = ::flock(fd, op);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

}  // namespace

// ---- in_file -------------------------------------------------------------------

in_file::~in_file() { close(); }

in_file::in_file(in_file&& other) noexcept
    : fp_(std::exchange(other.fp_, nullptr)), overlong_(std::exchange(other.overlong_, false)) {}

in_file& in_file::operator=(in_file&& other) noexcept {
    if (this != &other) {
        close();
        fp_ = std::exchange(other.fp_, nullptr);
        overlong_ = std::exchange(other.overlong_, false);
    }
    return *this;
}

bool in_file::open(std::string_view name, bool deny_writers) {
    close();
    overlong_ = false;
    const std::string path = map_path(name);
    if (path.empty()) return false;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    // A directory opens for reading on POSIX but is no text file.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    if (deny_writers && flock_retry(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fp_ = ::fdopen(fd, "r");
    if (fp_ == nullptr) {
        ::close(fd);
        return false;
    }
    return true;
}

bool in_file::get_line(std::string& line) {
    line.clear();
    if (fp_ == nullptr || overlong_) return false;
    bool got_any = false;
    for (;;) {
        // No input record is anywhere near this long: the file is not a text
        // input (a special file such as /dev/zero never ends its line), and
        // it ends here.
        if (line.size() >= max_line_length) {
            overlong_ = true;
            line.clear();
            return false;
        }
        int c = std::getc(fp_);
        if (c == EOF) {
            if (std::ferror(fp_) && errno == EINTR) {
                std::clearerr(fp_);
                continue;
            }
            break;
        }
        got_any = true;
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (!got_any) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void in_file::close() {
    if (fp_ != nullptr) {
        std::fclose(fp_);  // closing the descriptor releases the lock
        fp_ = nullptr;
    }
}

// ---- out_file ------------------------------------------------------------------

namespace {

// A file that cannot be read back is taken to end with its line.
bool ends_inside_line(int fd, const struct stat& st) {
    char last = '\n';
    return st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n';
}

void cut_to(int fd, long long size) {
    if (size < 0) return;
    while (::ftruncate(fd, static_cast<off_t>(size)) != 0 && errno == EINTR) {
    }
}

}  // namespace

out_file::~out_file() { close(); }

out_file::out_file(out_file&& other) noexcept
    : fp_(std::exchange(other.fp_, nullptr)),
      open_size_(std::exchange(other.open_size_, -1)),
      inside_line_(std::exchange(other.inside_line_, false)),
      failed_(std::exchange(other.failed_, false)) {}

out_file& out_file::operator=(out_file&& other) noexcept {
    if (this != &other) {
        close();
        fp_ = std::exchange(other.fp_, nullptr);
        open_size_ = std::exchange(other.open_size_, -1);
        inside_line_ = std::exchange(other.inside_line_, false);
        failed_ = std::exchange(other.failed_, false);
    }
    return *this;
}

bool out_file::open_append(std::string_view name, bool create_missing) {
    close();
    const std::string path = map_path(name);
    if (path.empty()) return false;
    // Opened for reading too, so that a writer can see how the file ends; a
    // file we may only write to is still appended to.
    int flags = O_RDWR | O_APPEND | O_CLOEXEC;
    if (create_missing) flags |= O_CREAT;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == EACCES) {
        flags = (flags & ~O_RDWR) | O_WRONLY;
        do {
            fd = ::open(path.c_str(), flags, 0666);
        } while (fd < 0 && errno == EINTR);
    }
    if (fd < 0) return false;
    // Our writers hold the file only for a few records, so waiting is fine.
    // Its size and end are taken under the lock: no writer of ours changes
    // them before our close.
    struct stat st {};
    if (flock_retry(fd, LOCK_EX) != 0 || ::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fp_ = ::fdopen(fd, "a");
    if (fp_ == nullptr) {
        ::close(fd);
        return false;
    }
    open_size_ = S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : -1;
    inside_line_ = ends_inside_line(fd, st);
    failed_ = false;
    return true;
}

bool out_file::put(std::string_view text, bool line_end) {
    if (fp_ == nullptr) return false;
    if (text.empty() && !line_end) return std::ferror(fp_) == 0;
    if (inside_line_) {
        inside_line_ = false;
        if (std::fputc('\n', fp_) == EOF) return false;
    }
    return std::fwrite(text.data(), 1, text.size(), fp_) == text.size() &&
           (!line_end || std::fputc('\n', fp_) != EOF);
}

bool out_file::write_text(std::string_view text) { return put(text, false); }

bool out_file::write_line(std::string_view text) { return put(text, true); }

bool out_file::empty() {
    if (fp_ == nullptr || std::fflush(fp_) != 0) return false;
    struct stat st {};
    // A device (say /dev/null) is never a new file.
    return ::fstat(::fileno(fp_), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

bool out_file::write_block(std::string_view text) {
    if (fp_ == nullptr) return false;
    const int fd = ::fileno(fp_);
    struct stat st {};
    if (std::fflush(fp_) != 0 || ::fstat(fd, &st) != 0) {
        failed_ = true;
        return false;
    }
    inside_line_ = false;  // the end is looked at here, with what was written before
    std::string whole;
    whole.reserve(text.size() + 1);
    if (ends_inside_line(fd, st)) whole.push_back('\n');
    whole.append(text);
    // One write call; short writes come with a full disk or a signal. A
    // process killed during a long write can still leave a cut block: the
    // next block starts on a fresh line, so only the cut one is lost.
    std::size_t done = 0;
    while (done < whole.size()) {
        const ssize_t k = ::write(fd, whole.data() + done, whole.size() - done);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) {
            failed_ = true;
            return false;
        }
        done += static_cast<std::size_t>(k);
    }
    return true;
}

bool out_file::close() {
    if (fp_ == nullptr) return true;
    const int fd = ::fileno(fp_);
    bool ok = !failed_ && std::fflush(fp_) == 0 && std::ferror(fp_) == 0;
    if (!ok) {
        // fclose would write the buffered rest behind the cut.
        ::__fpurge(fp_);
        cut_to(fd, open_size_);
    }
    // A copy of the descriptor keeps the file and its lock past fclose, so
    // that a failed close is cut back as well.
    const int keep = ok && open_size_ >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (std::fclose(fp_) != 0 && ok) {
        ok = false;
        if (keep >= 0) cut_to(keep, open_size_);
    }
    if (keep >= 0) ::close(keep);
    fp_ = nullptr;
    open_size_ = -1;
    inside_line_ = false;
    failed_ = false;
    return ok;
}

// ---- clock -------------------------------------------------------------------

namespace {

struct local_now {
    std::tm tm{};
    long nsec = 0;
};

local_now read_clock() {
    local_now now;
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    const std::time_t secs = ts.tv_sec;
    ::localtime_r(&secs, &now.tm);
    now.nsec = ts.tv_nsec;
    return now;
}

}  // namespace

std::array<int, 4> time_of_day_hundredths() {
    const local_now now = read_clock();
    return {now.tm.tm_hour, now.tm.tm_min, now.tm.tm_sec, static_cast<int>(now.nsec / 10000000L)};
}

std::array<int, 8> date_time_ms() {
    const local_now now = read_clock();
    return {now.tm.tm_year + 1900,
            now.tm.tm_mon + 1,
            now.tm.tm_mday,
            static_cast<int>(now.tm.tm_gmtoff / 60),
            now.tm.tm_hour,
            now.tm.tm_min,
            now.tm.tm_sec,
            static_cast<int>(now.nsec / 1000000L)};
}

void sleep_10ms() {
    timespec req{0, 10000000L};
    timespec rem{};
    while (::nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
}

// ---- environment and processors ---------------------------------------------

bool env_flag(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' && std::string_view(v) != "0";
}

std::vector<unsigned char> cpu_mask() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof(set), &set) != 0) return {};
    std::vector<unsigned char> mask(CPU_SETSIZE / 8, 0);
    for (int i = 0; i < CPU_SETSIZE; ++i)
        if (CPU_ISSET(i, &set)) mask[static_cast<std::size_t>(i / 8)] |= static_cast<unsigned char>(1u << (i % 8));
    return mask;
}

bool set_cpu_mask(const std::vector<unsigned char>& mask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    bool any = false;
    for (std::size_t i = 0; i < mask.size() && i * 8 < CPU_SETSIZE; ++i)
        for (int b = 0; b < 8; ++b)
            if (mask[i] & (1u << b)) {
                CPU_SET(static_cast<int>(i * 8) + b, &set);
                any = true;
            }
    return any && ::sched_setaffinity(0, sizeof(set), &set) == 0;
}

// ---- memory ------------------------------------------------------------------

void keep_freed_memory() {
    // Large blocks would otherwise be mapped and unmapped at every
    // allocation; from the heap they are reused, and the heap is not trimmed.
    ::mallopt(M_MMAP_MAX, 0);
    ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
    ::mallopt(M_TOP_PAD, 0);
}

void prefer_large_pages(void* p, std::size_t bytes) {
    const std::size_t page = 4096;
    const std::size_t from = (reinterpret_cast<std::size_t>(p) + page - 1) / page * page;
    const std::size_t to = (reinterpret_cast<std::size_t>(p) + bytes) / page * page;
    // Only a hint: where the system has no large pages, nothing changes.
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

// ---- process -----------------------------------------------------------------

void exit_process(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(status);
}

}  // namespace rcwa::platform
