// Every input error of the run driver, the input files and the layer entries,
// each as a whole run: its exit status and its console message, printed as the
// last line(s) of the run.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/run_support.hpp"

namespace rcwa::test {
namespace {

// The inputs of one run, as structured values or raw texts that replace them.
struct inputs {
    param_input p;
    stack_input s;
    outctl_input o;
    std::string ctr = "param.txt\nstack.txt\noutctl.txt\n";
    std::string par_raw, stack_raw, out_raw;
    std::map<std::string, std::string> files;
    bool no_ctr = false;

    void write(const work_dir& d) const {
        if (!no_ctr) d.write("qalder.ctr", ctr);
        d.write("param.txt", par_raw.empty() ? param_text(p) : par_raw);
        d.write("stack.txt", stack_raw.empty() ? stack_text(s) : stack_raw);
        d.write("outctl.txt", out_raw.empty() ? outctl_text(o) : out_raw);
        for (const auto& [name, text] : files) d.write(name, text);
    }
};

// A free-format console line of a message as the system words it.
std::string ff(const std::string& msg) { return " " + msg; }

struct stop_case {
    const char* name;
    std::function<void(inputs&)> mod;
    int status;
    std::vector<std::string> tail;  // the last lines of the console output
};

// Replaces the first occurrence of what in text (which must hold it).
std::string repl(std::string text, const std::string& what, const std::string& by) {
    const auto p = text.find(what);
    EXPECT_NE(p, std::string::npos) << what;
    if (p != std::string::npos) text.replace(p, what.size(), by);
    return text;
}

// The base stack text with nlayer and entries given.
std::string stack_with(int nlayer, const std::string& entries, const std::string& header = "2D_Stack") {
    stack_input s;
    s.header = header;
    s.nlayer = nlayer;
    s.entries = entries;
    return stack_text(s);
}

// The records of a cone entry up to its sequence name: two records read over,
// two material records, seven records read over.
std::string cone_records(const std::string& mat1, const std::string& mat2) {
    return "11\nover 1\nover 2\n" + mat1 + mat2 + "a\nb\nc\nd\ne\nf\ng\n";
}

const std::string seq_ok = "2D_Stack_Sequence\n1\n" + film_entry(1.38, 0.1);

std::vector<stop_case> cases() {
    const std::string par = param_text({});
    const std::string out = outctl_text({});
    return {
        // ---- control file ----
        {"no_control_file", [](inputs& in) { in.no_ctr = true; }, 100,
         {ff(" opening error qalder.ctr")}},
        {"empty_control_file", [](inputs& in) { in.ctr = ""; }, 101, {ff(" read error rcwa.ctr")}},
        {"control_file_two_names", [](inputs& in) { in.ctr = "param.txt\nstack.txt\n"; }, 101,
         {ff(" read error rcwa.ctr")}},
        {"missing_parameter_file", [](inputs& in) { in.ctr = "nopar.txt\nstack.txt\noutctl.txt\n"; },
         111, {" opening error:  nopar.txt" + std::string(240 - 9, ' ')}},
        {"missing_stack_file", [](inputs& in) { in.ctr = "param.txt\nnostack.txt\noutctl.txt\n"; },
         112, {" opening error:  nostack.txt" + std::string(240 - 11, ' ')}},
        {"missing_outctl_file", [](inputs& in) { in.ctr = "param.txt\nstack.txt\nnoout.txt\n"; },
         113, {" opening error:  noout.txt" + std::string(240 - 9, ' ')}},
        // ---- parameter file ----
        {"iomin_unreadable", [par](inputs& in) { in.par_raw = repl(par, "0   iomin", "x   iomin"); },
         11, {ff(" read error or wrong values: iomin,iomax")}},
        {"iomax_unreadable", [par](inputs& in) { in.par_raw = repl(par, "0   iomax", "0.5   iomax"); },
         11, {ff(" read error or wrong values: iomin,iomax")}},
        {"iomin_not_minus_iomax", [](inputs& in) { in.p.iomin = -3; in.p.iomax = 4; }, 11,
         {ff(" read error or wrong values: iomin,iomax")}},
        {"iomax_negative", [](inputs& in) { in.p.iomin = 1; in.p.iomax = -1; }, 11,
         {ff(" read error or wrong values: iomin,iomax")}},
        // So many orders that 2N would not fit an int.
        {"iomax_beyond_int_range", [](inputs& in) { in.p.iomin = -15001; in.p.iomax = 15001; }, 11,
         {ff(" read error or wrong values: iomin,iomax")}},
        // Orders by the thousand: the run arrays cannot be had, and the run says so.
        {"iomax_beyond_memory", [](inputs& in) { in.p.iomin = -3000; in.p.iomax = 3000; }, 97,
         {ff(" not enough memory for the arrays of the run")}},
        // The highest order count allowed: (2N)^2 entries are more than a vector can hold.
        {"iomax_beyond_vector_size", [](inputs& in) { in.p.iomin = -15000; in.p.iomax = 15000; }, 97,
         {ff(" not enough memory for the arrays of the run")}},
        {"parameter_file_empty", [](inputs& in) { in.par_raw = "\n"; }, 11,
         {ff(" read error or wrong values: iomin,iomax")}},
        {"theta_unreadable", [par](inputs& in) { in.par_raw = repl(par, "0   theta_i", "abc   theta_i"); },
         12, {ff(" read error input: theta_i")}},
        {"phi_unreadable", [par](inputs& in) { in.par_raw = repl(par, "0   phi_i", "abc   phi_i"); },
         13, {ff(" read error input: phi_i")}},
        {"lambda_unreadable", [par](inputs& in) { in.par_raw = repl(par, "0.5   lambda", "abc   lambda"); },
         14, {ff(" read error input: lambda")}},
        {"lambda_missing", [par](inputs& in) { in.par_raw = par.substr(0, par.find("0.5   lambda")); },
         14, {ff(" read error input: lambda")}},
        {"dummy_logical_unreadable", [par](inputs& in) { in.par_raw = repl(par, "F   not used", "7   not used"); },
         15, {ff(" read error input: dummy(pol)")}},
        {"trunc_shape_unreadable", [par](inputs& in) { in.par_raw = repl(par, "0   trunc_shape", "x   trunc_shape"); },
         15, {ff(" read error input: dummy(pol)")}},
        {"trunc_shape_missing", [par](inputs& in) { in.par_raw = par.substr(0, par.find("0   trunc_shape")); },
         15, {ff(" read error input: dummy(pol)")}},
        {"trunc_shape_three", [](inputs& in) { in.p.trunc_shape = 3.0; }, 15,
         {ff(" read error input: dummy(pol)")}},
        // ---- 2D-stack file ----
        {"stack_empty", [](inputs& in) { in.stack_raw = "\n"; }, 170, {ff(" read error stack ID ")}},
        {"stack_mix_weight_unreadable", [](inputs& in) { in.stack_raw = "2D_Stack_l\nabc\n"; }, 170,
         {ff(" read error stack ID ")}},
        {"stack_header_case", [](inputs& in) { in.stack_raw = stack_with(0, "", "2D_stack"); }, 152,
         {ff(" Select 2D stack File ")}},
        {"stack_header_lower_d", [](inputs& in) { in.stack_raw = stack_with(0, "", "2d_Stack"); }, 152,
         {ff(" Select 2D stack File ")}},
        {"dy_unreadable", [](inputs& in) { in.stack_raw = "2D_Stack\nabc\n1\n0\n"; }, 20,
         {ff(" read error gitter: dy, dz")}},
        {"dz_unreadable", [](inputs& in) { in.stack_raw = "2D_Stack\n1\nabc\n0\n"; }, 20,
         {ff(" read error gitter: dy, dz")}},
        {"grid_angle_unreadable", [](inputs& in) { in.stack_raw = "2D_Stack_\n1\n1\nabc\n0\n"; }, 20,
         {ff(" read error gitter: dy, dz")}},
        {"nlayer_unreadable", [](inputs& in) { in.stack_raw = "2D_Stack\n1\n1\n1.5\n"; }, 21,
         {ff(" read error gitter: nlayer")}},
        {"superstrate_negative_k", [](inputs& in) { in.s.n_sup = cplx(1.0, -0.1); }, 16,
         {ff(" Error Imag(n) sup/sub < 0 !")}},
        {"superstrate_unreadable", [](inputs& in) { in.stack_raw = "2D_Stack\n1\n1\n0\n0\nabc\n"; }, 17,
         {ff(" read error gitter: eps_sup")}},
        {"superstrate_thickness_unreadable",
         [](inputs& in) { in.stack_raw = "2D_Stack\n1\n1\n0\n0\n(1,0)\nabc\n"; }, 28,
         {ff(" read error gitter: thickness")}},
        {"substrate_unreadable", [](inputs& in) { in.stack_raw = "2D_Stack\n1\n1\n0\n0\n(1,0)\n0\n0\nabc\n"; },
         27, {ff(" read error layer: refraction index !")}},
        {"substrate_negative_k", [](inputs& in) { in.s.n_sub = cplx(1.5, -0.01); }, 27,
         {ff(" Error layer: Imag(n) < 0 ")}},
        {"substrate_thickness_missing",
         [](inputs& in) { in.stack_raw = "2D_Stack\n1\n1\n0\n0\n(1,0)\n0\n0\n(1.5,0)\n"; }, 28,
         {ff(" read error gitter: thickness")}},
        // ---- output-control file ----
        {"lfout_unreadable", [out](inputs& in) { in.out_raw = repl(out, "F   lfout", "x   lfout"); }, 51,
         {ff(" read error: lfout")}},
        {"iout_unreadable", [out](inputs& in) { in.out_raw = repl(out, "0   iout", "x   iout"); }, 52,
         {ff(" read error: iout")}},
        {"l_info_unreadable", [out](inputs& in) { in.out_raw = repl(out, "T   l_info", "3   l_info"); }, 53,
         {ff(" read error: l_info")}},
        {"fname_out_missing", [out](inputs& in) { in.out_raw = out.substr(0, out.find("'res.txt'")); },
         54, {ff(" read error: fname_out")}},
        {"i_eff_unreadable", [out](inputs& in) { in.out_raw = repl(out, "0   i_eff", "x   i_eff"); }, 55,
         {ff(" read error: i_eff")}},
        {"lpercent_unreadable", [out](inputs& in) { in.out_raw = repl(out, "F   lpercent", "x   lpercent"); },
         57, {ff(" read error: lpercent")}},
        {"nop_unreadable", [out](inputs& in) { in.out_raw = repl(out, "99   nop", "x   nop"); }, 58,
         {ff(" read error: nop")}},
        {"unused_name_missing", [out](inputs& in) { in.out_raw = out.substr(0, out.find("unused2")); }, 58,
         {ff(" read error: nop")}},
        {"i_format_unreadable", [out](inputs& in) { in.out_raw = repl(out, "5   i_format", "x   i_format"); },
         56, {ff(" read error: i_format")}},
        {"lproject_missing", [out](inputs& in) { in.out_raw = out.substr(0, out.find("F   lproject")); },
         59, {ff(" read error: fname out_mat")}},
        {"project_name_missing",
         [out](inputs& in) { in.out_raw = repl(out, "F   lproject", "T   lproject"); }, 59,
         {ff(" read error: fname out_mat")}},
        // ---- layer entries ----
        {"ntype_unreadable", [](inputs& in) { in.stack_raw = stack_with(1, "x\n"); }, 22,
         {ff(" read error gitter: ntype")}},
        {"ntype_missing", [](inputs& in) { in.stack_raw = stack_with(2, film_entry(1.38, 0.1)); }, 22,
         {ff(" read error gitter: ntype")}},
        {"rejected_code_2", [](inputs& in) { in.stack_raw = stack_with(1, "2\n"); }, 22,
         {ff(" Sorry, not yet implemented-result likely to be wrong"), ff(" read error gitter: ntype")}},
        {"rejected_code_3", [](inputs& in) { in.stack_raw = stack_with(1, "3\n"); }, 22,
         {ff(" Sorry, not yet implemented-result likely to be wrong"), ff(" read error gitter: ntype")}},
        {"rejected_code_minus_6", [](inputs& in) { in.stack_raw = stack_with(1, "-6\n"); }, 22,
         {ff(" Sorry, not yet implemented-result likely to be wrong"), ff(" read error gitter: ntype")}},
        {"rejected_code_7", [](inputs& in) { in.stack_raw = stack_with(1, "7\n"); }, 22,
         {ff(" Sorry, not yet implemented-result likely to be wrong"), ff(" read error gitter: ntype")}},
        {"layer_unreadable_material", [](inputs& in) { in.stack_raw = stack_with(1, "1\n0\nabc\n"); }, 27,
         {ff(" read error layer: refraction index !")}},
        {"layer_negative_k", [](inputs& in) { in.stack_raw = stack_with(1, film_entry(cplx(2.0, -0.5), 0.1)); },
         27, {ff(" Error layer: Imag(n) < 0 ")}},
        {"layer_thickness_unreadable", [](inputs& in) { in.stack_raw = stack_with(1, "1\n0\n(1.4,0)\nabc\n"); },
         28, {ff(" read error gitter: thickness")}},
        {"sequence_name_missing", [](inputs& in) { in.stack_raw = stack_with(1, "8\n"); }, 80,
         {ff(" read error: name of sequence")}},
        {"sequence_factor_unreadable", [](inputs& in) { in.stack_raw = stack_with(1, "8\nseq.txt\nabc\n"); },
         81, {ff(" read error: fak_thick")}},
        {"sequence_file_missing", [](inputs& in) { in.stack_raw = stack_with(1, "8\nnoseq.txt\n1\n"); }, 82,
         {ff(" open error sequence file")}},
        {"sequence_header_wrong",
         [](inputs& in) {
             in.stack_raw = stack_with(1, "8\nseq.txt\n1\n");
             in.files["seq.txt"] = "2D_Stack_Sequence2\n1\n" + film_entry(1.38, 0.1);
         },
         83, {ff(" read error seq: number of layers ")}},
        {"sequence_count_unreadable",
         [](inputs& in) {
             in.stack_raw = stack_with(1, "8\nseq.txt\n1\n");
             in.files["seq.txt"] = "2D_Stack_Sequence\nabc\n";
         },
         83, {ff(" read error seq: number of layers ")}},
        {"sequence_count_negative",
         [](inputs& in) {
             in.stack_raw = stack_with(2, "8\nseq.txt\n1\n" + film_entry(1.38, 0.1));
             in.files["seq.txt"] = "2D_Stack_Sequence\n-1\n";
         },
         83, {ff(" read error seq: number of layers ")}},
        {"sequence_inside_sequence",
         [](inputs& in) {
             in.stack_raw = stack_with(1, "8\nseq.txt\n1\n");
             in.files["seq.txt"] = "2D_Stack_Sequence\n1\n8\n";
         },
         22, {ff(" read error gitter: ntype")}},
        {"sequence_layer_thickness_missing",
         [](inputs& in) {
             in.stack_raw = stack_with(1, "8\nseq.txt\n1\n");
             in.files["seq.txt"] = "2D_Stack_Sequence\n1\n1\n0\n(1.4,0)\n";
         },
         28, {ff(" read error gitter: thickness")}},
        {"cone_record_missing", [](inputs& in) { in.stack_raw = stack_with(1, "11\nover 1\n"); }, 212,
         {ff(" read error cone_3d: other")}},
        {"cone_late_record_missing",
         [](inputs& in) { in.stack_raw = stack_with(1, "11\na\nb\n" + nk_record(1.0) + nk_record(2.0) + "1\n2\n"); },
         212, {ff(" read error cone_3d: other")}},
        {"cone_material_unreadable",
         [](inputs& in) { in.stack_raw = stack_with(1, cone_records(nk_record(1.0), "0\nabc\n")); }, 41,
         {ff(" read error patch: eps")}},
        {"cone_material_negative_k",
         [](inputs& in) { in.stack_raw = stack_with(1, cone_records(nk_record(cplx(1.0, -1.0)), nk_record(1.0))); },
         27, {ff(" Error layer: Imag(n) < 0 ")}},
        // ---- result-file set-up (process 0 only) ----
        {"output_initialization",
         [](inputs& in) {
             in.o.lfout = true;
             in.o.fname_out = "nodir/res.txt";
         },
         90, {ff(" error output initialization")}},
    };
}

void PrintTo(const stop_case& c, std::ostream* os) { *os << c.name; }

class stops : public ::testing::TestWithParam<stop_case> {};

TEST_P(stops, status_and_message) {
    const stop_case& c = GetParam();
    work_dir d;
    inputs in;
    in.files["seq.txt"] = seq_ok;
    c.mod(in);
    in.write(d);
    const run_result r = run_rcwa(d);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    const auto lines = r.lines();
    ASSERT_GE(lines.size(), c.tail.size()) << r.out;
    for (std::size_t k = 0; k < c.tail.size(); ++k)
        EXPECT_EQ(lines[lines.size() - c.tail.size() + k], c.tail[k]) << r.out;
}

INSTANTIATE_TEST_SUITE_P(run, stops, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A control file held under an exclusive lock: ten tries, each followed by the
// "wait" prompt, then the first name cannot be read.
TEST(control_file, ten_waits_then_101_when_locked) {
    work_dir d;
    inputs in;
    in.write(d);
    const int fd = ::open(d.file("qalder.ctr").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const run_result r = run_rcwa(d);
    ::close(fd);
    EXPECT_EQ(r.status, 101);
    EXPECT_EQ(r.count_line(" wait"), 10) << r.out;
    const auto lines = r.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "  read error rcwa.ctr");
    // The prompts come right before the message.
    ASSERT_GE(lines.size(), 11u);
    for (std::size_t k = lines.size() - 11; k + 1 < lines.size(); ++k) EXPECT_EQ(lines[k], " wait");
}

// A shared lock (another run reading the file) does not stop a run.
TEST(control_file, shared_reader_does_not_block) {
    work_dir d;
    inputs in;
    in.write(d);
    const int fd = ::open(d.file("qalder.ctr").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    const run_result r = run_rcwa(d);
    ::close(fd);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.count_line(" wait"), 0);
}

}  // namespace
}  // namespace rcwa::test
