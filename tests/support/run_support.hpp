// Whole runs of the rcwa2d executable in a temporary working directory: the
// input files, the child process (optionally under mpirun), its console
// output and exit status, and readers for the result files.
#pragma once

#include <complex>
#include <string>
#include <utility>
#include <vector>

namespace rcwa::test {

using cplx = std::complex<double>;

// A fresh directory under /tmp, removed with its contents at the end.
class work_dir {
public:
    work_dir();
    ~work_dir();
    work_dir(const work_dir&) = delete;
    work_dir& operator=(const work_dir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& text) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    std::string path_;
};

struct run_result {
    int status = -1;  // exit status; 128 + signal when killed
    std::string out, err;
    std::vector<std::string> lines() const;  // stdout split at line ends
    // True when stdout holds this exact line.
    bool has_line(const std::string& line) const;
    // Number of stdout lines equal to line.
    int count_line(const std::string& line) const;
};

// Runs rcwa2d in dir with the arguments, stdin from /dev/null (closed with
// stdin_closed). With nprocs > 0 it runs under "mpirun --oversubscribe -np
// nprocs". A run still going after deadline_s seconds is killed and fails the
// test.
run_result run_rcwa(const work_dir& dir, const std::vector<std::string>& args = {},
                    int nprocs = 0, bool stdin_closed = false, int deadline_s = 240);

// ---- input files ----

// The parameter file.
struct param_input {
    int iomin = 0, iomax = 0;
    double theta = 0.0, phi = 0.0, lambda = 0.5;
    double trunc_shape = 0.0;
};
std::string param_text(const param_input& p);
// The parameter file of one wavelength, incidence and symmetric order limit.
param_input incidence(double lambda, double theta, double phi, int iomax,
                      double trunc_shape = 0.0);

// The output-control file.
struct outctl_input {
    bool lfout = false;
    int iout = 0;
    bool l_info = true;
    std::string fname_out = "res.txt";
    int i_eff = 0;
    bool lpercent = false;
    int nop[4] = {-99, 99, -99, 99};
    int i_format = 5;
    bool lproject = false;
    std::string fname_out_mat = "proj.qpr";
};
std::string outctl_text(const outctl_input& o);

// A material record of code 0 (constant index).
std::string nk_record(cplx n);
// A homogeneous layer entry (code 1).
std::string film_entry(cplx n, double thickness);

// The 2D-stack file: header, periods, layer count, superstrate and substrate,
// then the layer entries as given.
struct stack_input {
    std::string header = "2D_Stack";
    double dy = 1.0, dz = 1.0;
    double grid_angle = 0.0;  // written only when header[8] is '_'
    int nlayer = 0;
    cplx n_sup = 1.0, n_sub = 1.5;
    double d_sup = 0.0, d_sub = 0.0;
    std::string entries;
};
std::string stack_text(const stack_input& s);

// Writes qalder.ctr naming param.txt, stack.txt and outctl.txt, and the three.
void write_inputs(const work_dir& dir, const param_input& p, const stack_input& s,
                  const outctl_input& o);

// The one-file table layout read by read_eff_table (iout 0, i_eff 0, ES16.8),
// result files on and no l_info line.
void set_table_output(outctl_input& o);

// ---- results ----

// One order of a one-file table written with iout 0, i_eff 0 and i_format 5:
// r and t hold EE, EM, ME, MM.
struct order_eff {
    int i2 = 0, i1 = 0;
    double r[4] = {}, t[4] = {};
};
std::vector<order_eff> read_eff_table(const std::string& text);
// The order (i1, i2) of a table; fails the test when it is missing.
order_eff find_order(const std::vector<order_eff>& table, int i1, int i2);

// A run with a one-file table of efficiencies and the energy-error file.
struct table_run {
    work_dir d;
    run_result r;
    std::vector<order_eff> table;
    double err_te = 1e300, err_tm = 1e300;
};
// Writes the inputs with o set to the table layout and the extra files (name,
// text), runs with args (under mpirun with nprocs > 0) and reads the table
// and the energy errors; fails the test when the run does not end with
// status 1.
void run_table_of(table_run& t, const param_input& p, const stack_input& s, outctl_input o,
                  const std::vector<std::string>& args,
                  const std::vector<std::pair<std::string, std::string>>& files, int nprocs);

// Error_TE and Error_TM from the l_info console line; false when absent.
bool energy_errors(const run_result& r, double& error_te, double& error_tm);

// ---- independent truth: characteristic-matrix (Airy) thin-film optics ----

struct film {
    cplx n;
    double d;  // micrometres
};
// Power reflectance and transmittance of a stack for s (TE) and p (TM)
// light incident from a lossless medium n_in at theta (degrees); films listed
// from the incidence side down to the substrate n_out.
struct rt_power {
    double rs, ts, rp, tp;
};
rt_power airy(double n_in, const std::vector<film>& films, cplx n_out, double theta_deg,
              double lambda);

}  // namespace rcwa::test
