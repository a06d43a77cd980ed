#include "support/run_support.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rcwa::test {

namespace fs = std::filesystem;

// ---- work_dir ------------------------------------------------------------------

work_dir::work_dir() {
    std::string tmpl = (fs::temp_directory_path() / "rcwa_run_XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

work_dir::~work_dir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void work_dir::write(const std::string& name, const std::string& text) const {
    std::ofstream f(file(name), std::ios::binary);
    f << text;
}

std::string work_dir::read(const std::string& name) const {
    std::ifstream f(file(name), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool work_dir::exists(const std::string& name) const { return fs::exists(file(name)); }

// ---- run_result ------------------------------------------------------------------

std::vector<std::string> run_result::lines() const {
    std::vector<std::string> v;
    std::string cur;
    for (char c : out) {
        if (c == '\n') {
            v.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) v.push_back(cur);
    return v;
}

bool run_result::has_line(const std::string& line) const { return count_line(line) > 0; }

int run_result::count_line(const std::string& line) const {
    int n = 0;
    for (const std::string& l : lines()) n += l == line ? 1 : 0;
    return n;
}

namespace {

std::string slurp_fd(int fd) {
    std::string s;
    ::lseek(fd, 0, SEEK_SET);
    char buf[4096];
    for (;;) {
        ssize_t k = ::read(fd, buf, sizeof buf);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) break;
        s.append(buf, static_cast<std::size_t>(k));
    }
    return s;
}

int temp_fd() {
    std::string tmpl = (fs::temp_directory_path() / "rcwa_out_XXXXXX").string();
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    ::unlink(tmpl.c_str());
    return fd;
}

}  // namespace

run_result run_rcwa(const work_dir& dir, const std::vector<std::string>& args, int nprocs,
                    bool stdin_closed, int deadline_s) {
    std::vector<std::string> argv_s;
    if (nprocs > 0) {
        argv_s = {RCWA_MPIRUN, "--oversubscribe", "-np", std::to_string(nprocs), RCWA2D_EXE};
    } else {
        argv_s = {RCWA2D_EXE};
    }
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : argv_s) argv.push_back(s.data());
    argv.push_back(nullptr);

    const int out_fd = temp_fd();
    const int err_fd = temp_fd();
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::setpgid(0, 0);
        if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
        if (stdin_closed) ::close(0);
        else ::dup2(::open("/dev/null", O_RDONLY), 0);
        ::dup2(out_fd, 1);
        ::dup2(err_fd, 2);
        ::setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
        ::setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
        ::setenv("OMPI_MCA_rmaps_base_oversubscribe", "1", 1);
        ::setenv("OPENBLAS_NUM_THREADS", "1", 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }

    // A hung run (a process left waiting in a collective call) must fail the
    // test, not block it.
    run_result r;
    int wstatus = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(deadline_s);
    for (;;) {
        const pid_t w = ::waitpid(pid, &wstatus, WNOHANG);
        if (w == pid) break;
        if (w < 0 && errno != EINTR) break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &wstatus, 0);
            ADD_FAILURE() << "run did not end in time";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus)) r.status = 128 + WTERMSIG(wstatus);
    r.out = slurp_fd(out_fd);
    r.err = slurp_fd(err_fd);
    ::close(out_fd);
    ::close(err_fd);
    return r;
}

// ---- input files --------------------------------------------------------------------

namespace {

std::string num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string logical(bool b) { return b ? "T" : "F"; }

}  // namespace

param_input incidence(double lambda, double theta, double phi, int iomax, double trunc_shape) {
    param_input p;
    p.iomin = -iomax;
    p.iomax = iomax;
    p.theta = theta;
    p.phi = phi;
    p.lambda = lambda;
    p.trunc_shape = trunc_shape;
    return p;
}

std::string param_text(const param_input& p) {
    std::ostringstream s;
    s << p.iomin << "   iomin\n"
      << p.iomax << "   iomax\n"
      << num(p.theta) << "   theta_i\n"
      << num(p.phi) << "   phi_i\n"
      << num(p.lambda) << "   lambda\n"
      << "F   not used\n"
      << "F   not used\n"
      << num(p.trunc_shape) << "   trunc_shape\n";
    return s.str();
}

std::string outctl_text(const outctl_input& o) {
    std::ostringstream s;
    s << logical(o.lfout) << "   lfout\n"
      << o.iout << "   iout\n"
      << logical(o.l_info) << "   l_info\n"
      << "'" << o.fname_out << "'   fname_out\n"
      << o.i_eff << "   i_eff\n"
      << logical(o.lpercent) << "   lpercent\n";
    for (int k = 0; k < 4; ++k) s << o.nop[k] << "   nop\n";
    for (int k = 0; k < 4; ++k) s << "unused" << k << "   name\n";
    s << o.i_format << "   i_format\n" << logical(o.lproject) << "   lproject\n";
    if (o.lproject) s << "'" << o.fname_out_mat << "'\n";
    return s.str();
}

std::string nk_record(cplx n) {
    return "0\n(" + num(n.real()) + "," + num(n.imag()) + ")\n";
}

std::string film_entry(cplx n, double thickness) {
    return "1\n" + nk_record(n) + num(thickness) + "\n";
}

std::string stack_text(const stack_input& s) {
    std::string t = s.header + "\n" + num(s.dy) + "\n" + num(s.dz) + "\n";
    if (s.header.size() >= 9 && s.header[8] == '_') t += num(s.grid_angle) + "\n";
    t += std::to_string(s.nlayer) + "\n";
    t += nk_record(s.n_sup) + num(s.d_sup) + "\n";
    t += nk_record(s.n_sub) + num(s.d_sub) + "\n";
    t += s.entries;
    return t;
}

void write_inputs(const work_dir& dir, const param_input& p, const stack_input& s,
                  const outctl_input& o) {
    dir.write("qalder.ctr", "param.txt\nstack.txt\noutctl.txt\n");
    dir.write("param.txt", param_text(p));
    dir.write("stack.txt", stack_text(s));
    dir.write("outctl.txt", outctl_text(o));
}

void set_table_output(outctl_input& o) {
    o.lfout = true;
    o.iout = 0;
    o.i_eff = 0;
    o.i_format = 5;
    o.l_info = false;
}

// ---- results -------------------------------------------------------------------------

std::vector<order_eff> read_eff_table(const std::string& text) {
    std::vector<order_eff> v;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::vector<std::string> tok;
        std::string t;
        while (ls >> t) tok.push_back(t);
        if (tok.size() != 11) continue;
        char* end = nullptr;
        std::strtod(tok[0].c_str(), &end);
        if (*end != '\0') continue;  // the heading
        order_eff e;
        e.i2 = std::stoi(tok[1]);
        e.i1 = std::stoi(tok[2]);
        for (int k = 0; k < 4; ++k) {
            e.r[k] = std::strtod(tok[3 + k].c_str(), nullptr);
            e.t[k] = std::strtod(tok[7 + k].c_str(), nullptr);
        }
        v.push_back(e);
    }
    return v;
}

order_eff find_order(const std::vector<order_eff>& table, int i1, int i2) {
    for (const order_eff& e : table)
        if (e.i1 == i1 && e.i2 == i2) return e;
    ADD_FAILURE() << "order (" << i1 << "," << i2 << ") missing from the table";
    return {};
}

void run_table_of(table_run& t, const param_input& p, const stack_input& s, outctl_input o,
                  const std::vector<std::string>& args,
                  const std::vector<std::pair<std::string, std::string>>& files, int nprocs) {
    set_table_output(o);
    write_inputs(t.d, p, s, o);
    for (const auto& [name, text] : files) t.d.write(name, text);
    t.r = run_rcwa(t.d, args, nprocs);
    ASSERT_EQ(t.r.status, 1) << t.r.out << t.r.err;
    t.table = read_eff_table(t.d.read("res.txt"));
    std::istringstream e(t.d.read("energy_error.txt"));
    double par = 0;
    e >> par >> t.err_te >> t.err_tm;
}

bool energy_errors(const run_result& r, double& error_te, double& error_tm) {
    for (const std::string& l : r.lines()) {
        if (l.rfind(" Error_TE =", 0) != 0) continue;
        const std::size_t m = l.find("Error_TM =");
        if (m == std::string::npos) return false;
        error_te = std::strtod(l.substr(11, 12).c_str(), nullptr);
        error_tm = std::strtod(l.substr(m + 10).c_str(), nullptr);
        return true;
    }
    return false;
}

// ---- characteristic matrices -----------------------------------------------------------

rt_power airy(double n_in, const std::vector<film>& films, cplx n_out, double theta_deg,
              double lambda) {
    const double pi = std::acos(-1.0);
    const double k0 = 2.0 * pi / lambda;
    const double s = n_in * std::sin(theta_deg * pi / 180.0);
    const cplx i(0.0, 1.0);
    // Normal component of the index, q = n cos(theta), in the medium n; the
    // principal root has Re >= 0 and Im >= 0 for passive media.
    auto q_of = [&](cplx n) { return std::sqrt(n * n - cplx(s * s, 0.0)); };
    rt_power res{};
    for (int pol = 0; pol < 2; ++pol) {
        // Tilted admittances: s: q; p: n^2 / q (ratio of tangential H to E).
        auto eta = [&](cplx n) { return pol == 0 ? q_of(n) : n * n / q_of(n); };
        cplx m11 = 1.0, m12 = 0.0, m21 = 0.0, m22 = 1.0;
        for (const film& f : films) {
            const cplx delta = k0 * f.d * q_of(f.n);
            const cplx e = eta(f.n);
            // Fields as exp(-i omega t): [[cos, -i sin/eta], [-i eta sin, cos]].
            const cplx a11 = std::cos(delta), a12 = -i * std::sin(delta) / e;
            const cplx a21 = -i * e * std::sin(delta), a22 = std::cos(delta);
            const cplx b11 = m11 * a11 + m12 * a21, b12 = m11 * a12 + m12 * a22;
            const cplx b21 = m21 * a11 + m22 * a21, b22 = m21 * a12 + m22 * a22;
            m11 = b11;
            m12 = b12;
            m21 = b21;
            m22 = b22;
        }
        const cplx eta_out = eta(n_out);
        const cplx eta_in = eta(cplx(n_in, 0.0));
        const cplx b = m11 + m12 * eta_out;
        const cplx c = m21 + m22 * eta_out;
        const cplx r = (eta_in * b - c) / (eta_in * b + c);
        const double t = 4.0 * eta_in.real() * eta_out.real() / std::norm(eta_in * b + c);
        if (pol == 0) {
            res.rs = std::norm(r);
            res.ts = t;
        } else {
            res.rp = std::norm(r);
            res.tp = t;
        }
    }
    return res;
}

}  // namespace rcwa::test
