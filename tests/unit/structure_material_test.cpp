// Material records, dispersion formulas, n,k tables and the name routines.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "structure/material.hpp"
#include "textio/free_reader.hpp"

using namespace rcwa::structure;
using rcwa::linalg::cplx;
using rcwa::textio::string_source;

namespace {

struct result {
    cplx value{-7.0, -7.0};
    bool err = false;
    bool neg = false;
};

// Reads one material from text (as the 2D-stack file) and returns what
// follows it, read as one real.
result read_from(string_source& src, double lambda) {
    result r;
    material_streams st;
    st.stack = &src;
    r.err = true;
    r.neg = true;
    read_nk(r.value, lambda, record_source::stack_file, st, r.err, r.neg);
    return r;
}

double next_real(string_source& src) {
    double x = -1.0;
    EXPECT_TRUE(rcwa::textio::read_record(src, {&x}));
    return x;
}

void expect_value(cplx got, double n, double k, double tol = 1e-14) {
    EXPECT_NEAR(got.real(), n, tol);
    EXPECT_NEAR(got.imag(), k, tol);
}

}  // namespace

TEST(MaterialRecord, ConstantIndexAndOtherCodes) {
    string_source src("0, 99\n(1.5,0.1) (8,8)\n0.25\n");
    result r = read_from(src, 0.6);
    EXPECT_FALSE(r.err);
    EXPECT_FALSE(r.neg);
    EXPECT_EQ(r.value, cplx(1.5, 0.1));
    EXPECT_EQ(next_real(src), 0.25);  // one record per item

    for (const char* text : {"7\n(2.0,0.5)\n0.5\n", "-1\n(2.0,0.5)\n0.5\n", "123\n(2.0,0.5)\n0.5\n"}) {
        string_source s(text);
        result q = read_from(s, 0.6);
        EXPECT_FALSE(q.err) << text;
        EXPECT_EQ(q.value, cplx(2.0, 0.5)) << text;
        EXPECT_EQ(next_real(s), 0.5) << text;
    }
}

TEST(MaterialRecord, NegativeKIsFlaggedAndStored) {
    string_source neg("0\n(1.5,-0.01)\n");
    result r = read_from(neg, 0.6);
    EXPECT_FALSE(r.err);
    EXPECT_TRUE(r.neg);
    EXPECT_EQ(r.value, cplx(1.5, -0.01));

    string_source zero("0\n(1.5,-0.0)\n");
    r = read_from(zero, 0.6);
    EXPECT_FALSE(r.err);
    EXPECT_FALSE(r.neg);
    EXPECT_EQ(r.value.real(), 1.5);
    EXPECT_EQ(r.value.imag(), 0.0);
}

TEST(MaterialRecord, DispersionFormulasWorkedByHand) {
    {  // four-parameter formula at its own reference wavelength: n = a
        string_source s("2\n1.7\n0.3\n0.2\n0.8\n1.0\n");
        result r = read_from(s, 0.8);
        EXPECT_FALSE(r.err);
        expect_value(r.value, 1.7, 0.0, 0.0);
        EXPECT_EQ(next_real(s), 1.0);
    }
    {  // ... and away from it; the factor 0.001 is the single-precision one
       // (a double 0.001 would give 1.5998003743757812)
        string_source s("2\n1.5\n100\n50\n0.5\n");
        result r = read_from(s, 1.5);
        expect_value(r.value, 1.5998003791065807, 0.0, 2e-15);
    }
    {  // Cauchy: 1.5 + 0.01/0.25 = 1.54; with c = 0.001: + 0.001/0.0625
        string_source s("3\n1.5\n0.01\n0\n3\n1.5\n0.01\n0.001\n2.0\n");
        result r = read_from(s, 0.5);
        expect_value(r.value, 1.54, 0.0);
        r = read_from(s, 0.5);
        expect_value(r.value, 1.556, 0.0);
        EXPECT_EQ(next_real(s), 2.0);
    }
    {  // Drude: eps = eps_inf - wp^2 / (w^2 + i g w) in wavelength form
        const double a = 1.0, lp = 0.15, lc = 20.0, lam = 0.6;
        const cplx eps = a - (1.0 / (lp * lp)) / (1.0 / (lam * lam) + cplx(0, 1) / (lam * lc));
        string_source s("4\n1.0\n0.15\n20\n0.75\n");
        result r = read_from(s, lam);
        EXPECT_FALSE(r.err);
        expect_value(r.value, 0.06193379920581498, 3.871620945267054, 1e-13);
        const cplx sq = r.value * r.value;
        EXPECT_NEAR(std::abs(sq - eps), 0.0, 1e-12);
        EXPECT_EQ(next_real(s), 0.75);
    }
    {  // five-parameter formula
        string_source s("6\n1.2\n0.01\n0.002\n1.5\n0.3\n4.5\n");
        result r = read_from(s, 0.8);
        EXPECT_FALSE(r.err);
        expect_value(r.value, 1.4770032029547064, 0.00048774196605105185, 1e-15);
        EXPECT_EQ(next_real(s), 4.5);
    }
}

TEST(MaterialRecord, CodeFiveConsumesFourRecordsAndFails) {
    string_source s("5\n1.0\n2.0\n3.0\n4.0\n0.125\n");
    testing::internal::CaptureStdout();
    result r = read_from(s, 0.6);
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(r.err);
    EXPECT_FALSE(r.neg);
    EXPECT_EQ(r.value, cplx(-7.0, -7.0));  // never a stale or made-up value
    EXPECT_NE(said.find('5'), std::string::npos);
    EXPECT_EQ(said[0], ' ');
    EXPECT_EQ(next_real(s), 0.125);
}

TEST(MaterialRecord, ReadErrorsAndStreamChoice) {
    for (const char* text : {"x\n", "0\n(1.5,abc)\n", "3\n1.5\nbad\n0\n", "0\n"}) {
        string_source s(text);
        result r = read_from(s, 0.6);
        EXPECT_TRUE(r.err) << text;
        EXPECT_EQ(r.value, cplx(-7.0, -7.0)) << text;
    }
    string_source stack("0\n(1.1,0)\n"), seq("0\n(2.2,0)\n"), fill("0\n(3.3,0)\n");
    material_streams st{&stack, &seq, &fill};
    cplx v;
    bool err = true, neg = true;
    read_nk(v, 0.5, record_source::sequence_file, st, err, neg);
    EXPECT_EQ(v, cplx(2.2, 0));
    read_nk(v, 0.5, record_source::eps_fill_file, st, err, neg);
    EXPECT_EQ(v, cplx(3.3, 0));
    read_nk(v, 0.5, record_source::stack_file, st, err, neg);
    EXPECT_EQ(v, cplx(1.1, 0));
    EXPECT_FALSE(err);
    material_streams none;
    read_nk(v, 0.5, record_source::stack_file, none, err, neg);
    EXPECT_TRUE(err);
}

class NkTable : public testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/nktableXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    static void write(const std::string& name, const std::string& text) {
        std::filesystem::path p(name);
        if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
        std::ofstream(name) << text;
    }
    result lookup(const std::string& path, double lambda, std::string* said = nullptr) {
        string_source s("1\n'" + path + "'\n0.375\n");
        testing::internal::CaptureStdout();
        result r = read_from(s, lambda);
        const std::string out = testing::internal::GetCapturedStdout();
        if (said) *said = out;
        if (!r.err) {
            EXPECT_EQ(next_real(s), 0.375);
        }
        return r;
    }
    std::filesystem::path dir_, old_;
};

TEST_F(NkTable, InterpolationExactHitAndUnreadEntries) {
    write("t.txt", "'a title with blanks'\n3\n500 1.5 0.1\n600 1.7 0.3\n700 1.9 0.5\n");
    result r = lookup("t.txt", 0.55);
    EXPECT_FALSE(r.err);
    EXPECT_FALSE(r.neg);
    expect_value(r.value, 1.6, 0.2, 1e-14);
    expect_value(lookup("t.txt", 0.5).value, 1.5, 0.1, 0.0);
    expect_value(lookup("t.txt", 0.625).value, 1.75, 0.35, 1e-14);
    // Entries behind the hit are never read, malformed or not.
    write("u.txt", "title\n3\n500 1.5 0.1\n600 1.7 0.3\n700 not-a-number\n");
    r = lookup("u.txt", 0.6);
    EXPECT_FALSE(r.err);
    expect_value(r.value, 1.7, 0.3, 0.0);
    // ... but one before it is.
    write("v.txt", "title\n3\n500 1.5 0.1\n550 oops 0.3\n700 1.9 0.5\n");
    EXPECT_TRUE(lookup("v.txt", 0.6).err);
}

TEST_F(NkTable, NegativeKTakenByModulus) {
    write("k.txt", "title\n2\n500 1.5 -0.2\n600 1.5 -0.2\n");
    result r = lookup("k.txt", 0.5);
    EXPECT_FALSE(r.err);
    EXPECT_FALSE(r.neg);
    expect_value(r.value, 1.5, 0.2, 0.0);
}

TEST_F(NkTable, NoEntryForTheWavelengthIsAnError) {
    write("t.txt", "title\n2\n500 1.5 0.1\n600 1.7 0.3\n");
    std::string said;
    for (double lam : {0.45, 0.61, 2.0}) {
        result r = lookup("t.txt", lam, &said);
        EXPECT_TRUE(r.err) << lam;
        EXPECT_EQ(r.value, cplx(-7.0, -7.0)) << lam;
        EXPECT_NE(said.find("t.txt"), std::string::npos) << said;
        EXPECT_EQ(said[0], ' ');
    }
    write("empty.txt", "title\n0\n");
    EXPECT_TRUE(lookup("empty.txt", 0.5).err);
    write("neg.txt", "title\n-3\n500 1.5 0.1\n");
    EXPECT_TRUE(lookup("neg.txt", 0.5).err);
    write("short.txt", "title\n5\n500 1.5 0.1\n");  // runs out of lines
    EXPECT_TRUE(lookup("short.txt", 0.6).err);
    write("nocount.txt", "title\n");
    EXPECT_TRUE(lookup("nocount.txt", 0.6).err);
}

TEST_F(NkTable, FallbackFolderAndMissingFiles) {
    write("NKData/gold.txt", "gold\n2\n500 0.9 1.9\n600 0.3 2.9\n");
    result r = lookup("D:\\data\\gold.txt", 0.5);
    EXPECT_FALSE(r.err);
    expect_value(r.value, 0.9, 1.9, 0.0);
    // Without a backslash the name stays as it is, and the file is missing.
    EXPECT_TRUE(lookup("gold.txt", 0.5).err);
    EXPECT_TRUE(lookup("D:\\data\\silver.txt", 0.5).err);
    // A backslash path that exists is used as it stands.
    write("sub/own.txt", "own\n1\n500 1.25 0\n");
    r = lookup("sub\\own.txt", 0.5);
    EXPECT_FALSE(r.err);
    expect_value(r.value, 1.25, 0.0, 0.0);
}

TEST(MaterialRecordIO, WriteThenReadBackEveryCode) {
    const std::string name = "tables\\gold o'k.txt";
    for (int code : {0, 1, 2, 3, 4, 5, 6, 9, -4}) {
        std::string out;
        bool err = true;
        const cplx v(1.4142135623730951, -0.1);
        write_nk_record(out, code, v, name + std::string(260 - name.size(), ' '), 0.1, 2.5e-3,
                        -3.0, 4.0e7, 1.0 / 3.0, err);
        EXPECT_FALSE(err);
        string_source s(out + "0.5\n");
        int code_back = -99;
        cplx v_back;
        std::string name_back;
        double par[5] = {0, 0, 0, 0, 0};
        read_nk_record(s, code_back, v_back, name_back, par, err);
        EXPECT_FALSE(err) << code;
        EXPECT_EQ(code_back, code);
        const int np[7] = {-1, 0, 4, 3, 3, 4, 5};
        const int want_np = (code >= 0 && code <= 6) ? np[code] : -1;
        if (want_np < 0) {
            EXPECT_EQ(v_back, v) << code;
        }
        if (want_np == 0) {
            EXPECT_EQ(name_back.size(), 260u);
            EXPECT_EQ(name_back.substr(0, name.size()), name);
        }
        const double want[5] = {0.1, 2.5e-3, -3.0, 4.0e7, 1.0 / 3.0};
        for (int i = 0; i < 5; ++i) EXPECT_EQ(par[i], i < want_np ? want[i] : 0.0) << code << i;
        EXPECT_EQ(next_real(s), 0.5) << code;  // nothing more, nothing less
    }
    std::string out;
    bool err = true;
    write_nk_record(out, 1, cplx(), "gold.txt" + std::string(252, ' '), 0, 0, 0, 0, 0, err);
    EXPECT_EQ(out.substr(out.find('\n') + 1), "'gold.txt'\n");
}

TEST(MaterialRecordIO, ReadErrorStopsTheRecord) {
    string_source s("2\n1.0\nabc\n3.0\n");
    int code = 0;
    cplx v;
    std::string name;
    double par[5] = {0, 0, 0, 0, 0};
    bool err = false;
    read_nk_record(s, code, v, name, par, err);
    EXPECT_TRUE(err);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(par[0], 1.0);
    EXPECT_EQ(par[2], 0.0);
}

TEST(NameRoutines, LengthAddAndParse) {
    auto pad = [](std::string s) { return s + std::string(260 - s.size(), ' '); };
    EXPECT_EQ(name_len(pad("ab c")), 4);
    EXPECT_EQ(name_len(pad("ab  c")), 2);
    EXPECT_EQ(name_len(pad("")), 0);
    EXPECT_EQ(name_len(std::string(260, 'x')), 260);
    EXPECT_EQ(name_len(std::string(259, 'x') + " "), 259);
    EXPECT_EQ(name_len("gold.txt"), 8);

    std::string n = pad("out");
    name_add_ext(n, 3, ".rte");
    EXPECT_EQ(n, pad("out.rte"));
    n = pad("out");
    name_add_ext(n, 1, ".rte");
    EXPECT_EQ(n, pad("out.r"));
    n = pad("out  abcdefg");
    name_add_ext(n, 5, ".rte");
    EXPECT_EQ(n, pad("out.rte  efg"));
    n = std::string(258, 'x') + "  ";
    name_add_ext(n, 3, ".rte");
    EXPECT_EQ(n, std::string(258, 'x') + ".r");  // nothing beyond 260 characters

    std::string ext = "????";
    bool r = false, e = false, s = false, err = true;
    name_parse_ext(pad("out.rse"), ext, r, e, s, err);
    EXPECT_FALSE(err);
    EXPECT_EQ(ext, ".rse");
    EXPECT_TRUE(r && e && s);
    name_parse_ext(pad("out.tme"), ext, r, e, s, err);
    EXPECT_FALSE(err);
    EXPECT_EQ(ext, ".tte");
    EXPECT_FALSE(r);
    EXPECT_FALSE(s);
    EXPECT_TRUE(e);
    name_parse_ext(pad("out.rxm"), ext, r, e, s, err);
    EXPECT_FALSE(err);
    EXPECT_EQ(ext, ".rtm");
    EXPECT_TRUE(r);
    EXPECT_FALSE(e);
    name_parse_ext(pad("out.s"), ext, r, e, s, err);
    EXPECT_TRUE(err);
    ext = "keep";
    name_parse_ext(pad("nothing_here"), ext, r, e, s, err);
    EXPECT_TRUE(err);
    EXPECT_EQ(ext, "keep");
}
