#include "support/grating_support.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

namespace rcwa::test {

std::string num17(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string patch_entry(const std::vector<patch>& patches, double thickness, int code) {
    std::string e = std::to_string(code) + "\n" + std::to_string(patches.size()) + "\n";
    for (const patch& p : patches)
        e += nk_record(p.n) + num17(p.c1) + " " + num17(p.c2) + " " + num17(p.c3) + " " +
             num17(p.c4) + "\n";
    return e + num17(thickness) + "\n";
}

std::string raster_entry(int code, const std::vector<cplx>& n, const std::vector<shape>& shapes,
                         int kexp, double thickness) {
    std::string e = std::to_string(code) + "\n";
    for (cplx v : n) e += nk_record(v);
    for (const shape& s : shapes)
        e += num17(s.power) + "\n" + num17(s.c1) + " " + num17(s.c2) + " " + num17(s.c3) + " " +
             num17(s.c4) + "\n" + num17(s.angle) + "\n";
    return e + std::to_string(kexp) + "\n" + num17(thickness) + "\n";
}

std::string pixel_entry(const std::string& fill_name, cplx n_bg, double thickness) {
    return "5\n'" + fill_name + "'\n" + nk_record(n_bg) + num17(thickness) + "\n";
}

std::string fill_text(const std::vector<cplx>& materials, int kexp,
                      const std::vector<run_length>& runs) {
    std::string t = std::to_string(materials.size()) + "\n";
    for (cplx v : materials) t += nk_record(v);
    t += std::to_string(kexp) + " " + std::to_string(runs.size()) + "\n";
    for (const run_length& r : runs)
        t += std::to_string(r.length) + " " + std::to_string(r.index) + "\n";
    return t;
}

std::vector<run_length> lamellar_runs(int kexp, int ridge) {
    const int m = 1 << kexp;
    std::vector<run_length> runs;
    for (int k = 0; k < m; ++k) {
        runs.push_back({ridge, 1});
        runs.push_back({m - ridge, 0});
    }
    return runs;
}

void run_table(table_run& t, const param_input& p, const stack_input& s,
               const std::vector<std::pair<std::string, std::string>>& files, int nprocs) {
    run_table_of(t, p, s, {}, {}, files, nprocs);
}

void set_li_off(stack_input& s, double w, bool oblique) {
    s.header = std::string(oblique ? "2D_Stack_l" : "2D_StackXl") + "\n" + num17(w);
}

double max_table_difference(const std::vector<order_eff>& a, const std::vector<order_eff>& b) {
    EXPECT_EQ(a.size(), b.size());
    double d = 0.0;
    for (std::size_t k = 0; k < a.size() && k < b.size(); ++k) {
        EXPECT_EQ(a[k].i1, b[k].i1);
        EXPECT_EQ(a[k].i2, b[k].i2);
        for (int c = 0; c < 4; ++c) {
            d = std::fmax(d, std::fabs(a[k].r[c] - b[k].r[c]));
            d = std::fmax(d, std::fabs(a[k].t[c] - b[k].t[c]));
        }
    }
    return d;
}

}  // namespace rcwa::test
