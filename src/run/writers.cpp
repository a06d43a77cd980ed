#include "run/writers.hpp"

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "textio/fixed_writer.hpp"

namespace rcwa::run {

namespace {

using textio::format;
using textio::value;

// The layouts as users' scripts parse them by column; the blanks around the
// index part differ between writers and formats, and each is part of the file
// format, so none may be evened out.
// Rows: i_format -6..-1, then 1..6.
constexpr std::array<const char*, 12> order_eight_layouts = {
    "(G12.4,2X,I3,2X,8(ES12.4,1X))", "(G12.4,2X,I3,2X,8(ES16.8,1X))",
    "(G12.4,2X,I3,8(F12.4,1X))",     "(G12.4,2X,I3,2X,8(F16.8,1X))",
    "(G12.4,2X,I3,4X,8(G12.4,1X))",  "(G12.4,2X,I3,4X,8(G16.8,1X))",
    "(G12.4,2X,2(I3,2X),2X,8(G16.8,1X))", "(G12.4,2X,2(I3,2X),8(G12.4,1X))",
    "(G12.4,2X,2(I3,2X),8(F16.8,1X))",    "(G12.4,2X,I3,2X,I3,8(F12.4,1X))",
    "(G12.4,2X,2(I3,2X),8(ES16.8,1X))",   "(G12.4,2X,2(I3,2X),8(ES12.4,1X))"};

constexpr std::array<const char*, 12> order_four_layouts = {
    "(G12.4,2X,I3,2X,4(ES12.4,1X))", "(G12.4,2X,I3,2X,4(ES16.8,1X))",
    "(G12.4,2X,I3,2X,4(F12.4,1X))",  "(G12.4,2X,I3,2X,4(F16.8,1X))",
    "(G12.4,2X,I3,4X,4(G12.4,1X))",  "(G12.4,2X,I3,2X,4(G16.8,1X))",
    "(G12.4,2X,2(I3,2X),3X,4(G16.8,1X))", "(G12.4,2X,2(I3,2X),3X,4(G12.4,1X))",
    "(G12.4,2X,2(I3,2X),4(F16.8,1X))",    "(G12.4,2X,2(I3,2X),4(F12.4,1X))",
    "(G12.4,2X,2(I3,2X),4(ES16.8,1X))",   "(G12.4,2X,2(I3,2X),4(ES12.4,1X))"};

constexpr std::array<const char*, 12> order_two_layouts = {
    "(G12.4,2X,I3,2X,2(ES12.4,1X))", "(G12.4,2X,I3,2X,2(ES16.8,1X))",
    "(G12.4,2X,I3,2X,2(F12.4,1X))",  "(G12.4,2X,I3,2X,2(F16.8,1X))",
    "(G12.4,2X,I3,4X,2(G12.4,1X))",  "(G12.4,2X,I3,2X,2(G16.8,1X))",
    "(G12.4,2X,2(I3,2X),3X,2(G16.8,1X))", "(G12.4,2X,2(I3,2X),3X,2(G12.4,1X))",
    "(G12.4,2X,2(I3,2X),2(F16.8,1X))",    "(G12.4,2X,2(I3,2X),2(F12.4,1X))",
    "(G12.4,2X,2(I3,2X),2(ES16.8,1X))",   "(G12.4,2X,2(I3,2X),2(ES12.4,1X))"};

constexpr std::array<const char*, 12> order_one_layouts = {
    "(G12.4,2X,I3,2X,ES12.4)", "(G12.4,2X,I3,2X,ES16.8)",
    "(G12.4,2X,I3,2X,F12.4)",  "(G12.4,2X,I3,2X,F16.8)",
    "(G12.4,2X,I3,4X,G12.4)",  "(G12.4,2X,I3,2X,G16.8)",
    "(G12.4,2X,2(I3,2X),3X,G16.8)", "(G12.4,2X,2(I3,2X),3X,G12.4)",
    "(G12.4,2X,2(I3,2X),F16.8)",    "(G12.4,2X,2(I3,2X),F12.4)",
    "(G12.4,2X,2(I3,2X),ES16.8)",   "(G12.4,2X,2(I3,2X),ES12.4)"};

// Rows: abs(i_format) 1..6.
constexpr std::array<const char*, 6> ellipso_layouts = {
    "(G12.4,4X,4(G16.8,1X))", "(G12.4,6X,4(G12.4,1X))", "(G12.4,2X,4(F16.8,1X))",
    "(G12.4,2X,4(F12.4,1X))", "(G12.4,2X,4(ES16.8,1X))", "(G12.4,2X,4(ES12.4,1X))"};

constexpr std::array<const char*, 6> param_two_layouts = {
    "(F11.4,2X,2(G23.16,2X))", "(F11.4,2X,2(G11.4,2X))", "(F11.4,2X,2(F15.8,2X))",
    "(F11.4,2X,2(F11.4,2X))",  "(F11.4,2X,2(ES15.8,2X))", "(F11.4,2X,2(ES11.4,2X))"};

constexpr std::array<const char*, 6> param_one_layouts = {
    "(F11.4,2X,G15.8)", "(F11.4,2X,G11.4)", "(F11.4,2X,F15.8)",
    "(F11.4,2X,F11.4)", "(F11.4,2X,ES15.8)", "(F11.4,2X,ES11.4)"};

template <std::size_t n>
std::vector<format> parse_all(const std::array<const char*, n>& notations) {
    std::vector<format> out;
    out.reserve(n);
    for (const char* s : notations) out.emplace_back(s);
    return out;
}

// The parsed layout of an order record, or nullptr for an unsupported i_format.
const format* order_layout(const std::vector<format>& table, int i_format) {
    if (i_format >= -6 && i_format <= -1) return &table[static_cast<std::size_t>(i_format + 6)];
    if (i_format >= 1 && i_format <= 6) return &table[static_cast<std::size_t>(i_format + 5)];
    return nullptr;
}

const format* plain_layout(const std::vector<format>& table, int i_format) {
    const int a = i_format < 0 ? -i_format : i_format;
    if (a < 1 || a > 6) return nullptr;
    return &table[static_cast<std::size_t>(a - 1)];
}

// Values below 1e-16 print as zero in the order records. The threshold is
// 1e-16 rounded to single precision and widened (1.0000000168623835e-16), so a
// value between the two prints as 0 as well; a NaN passes unchanged.
double print_value(double v) {
    static const double threshold = static_cast<double>(1.0e-16f);
    return std::fabs(v) < threshold ? 0.0 : v;
}

void put_record(platform::out_file& out, const format& f, const std::vector<value>& items,
                bool& err_flag) {
    if (!out.write_line(textio::write_fixed(f, items))) err_flag = true;
}

template <std::size_t n>
void write_order(platform::out_file& out, const format* f, int i_format, double par_value, int i2,
                 int i1, const double (&values)[n], bool& err_flag) {
    if (f == nullptr) return;
    std::vector<value> items;
    items.reserve(n + 3);
    items.emplace_back(par_value);
    items.emplace_back(i2);
    if (i_format > 0) items.emplace_back(i1);
    for (double v : values) items.emplace_back(print_value(v));
    put_record(out, *f, items, err_flag);
}

}  // namespace

void write_order_eight(platform::out_file& out, int i_format, double par_value, int i2, int i1,
                     const double (&values)[8], bool& err_flag) {
    static const std::vector<format> table = parse_all(order_eight_layouts);
    write_order(out, order_layout(table, i_format), i_format, par_value, i2, i1, values, err_flag);
}

void write_order_four(platform::out_file& out, int i_format, double par_value, int i2, int i1,
                     const double (&values)[4], bool& err_flag) {
    static const std::vector<format> table = parse_all(order_four_layouts);
    write_order(out, order_layout(table, i_format), i_format, par_value, i2, i1, values, err_flag);
}

void write_order_two(platform::out_file& out, int i_format, double par_value, int i2, int i1,
                       const double (&values)[2], bool& err_flag) {
    static const std::vector<format> table = parse_all(order_two_layouts);
    write_order(out, order_layout(table, i_format), i_format, par_value, i2, i1, values, err_flag);
}

void write_order_one(platform::out_file& out, int i_format, double par_value, int i2, int i1,
                     double value, bool& err_flag) {
    static const std::vector<format> table = parse_all(order_one_layouts);
    const double values[1] = {value};
    write_order(out, order_layout(table, i_format), i_format, par_value, i2, i1, values, err_flag);
}

void write_ellipso(platform::out_file& out, int i_format, double par_value,
                   const double (&values)[4], bool& err_flag) {
    static const std::vector<format> table = parse_all(ellipso_layouts);
    const format* f = plain_layout(table, i_format);
    if (f == nullptr) return;
    put_record(out, *f, {par_value, values[0], values[1], values[2], values[3]}, err_flag);
}

void write_param_two(platform::out_file& out, int i_format, double par_value, double value1,
                     double value2, bool& err_flag) {
    static const std::vector<format> table = parse_all(param_two_layouts);
    const format* f = plain_layout(table, i_format);
    if (f == nullptr) return;
    put_record(out, *f, {par_value, value1, value2}, err_flag);
}

void write_param_one(platform::out_file& out, int i_format, double par_value, double value,
                     bool& err_flag) {
    static const std::vector<format> table = parse_all(param_one_layouts);
    const format* f = plain_layout(table, i_format);
    if (f == nullptr) return;
    put_record(out, *f, {par_value, value}, err_flag);
}

}  // namespace rcwa::run
