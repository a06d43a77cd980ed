// Material records and n,k tables.
#include "structure/material.hpp"

#include <cmath>
#include <cstddef>
#include <optional>
#include <vector>

#include "platform/platform.hpp"
#include "textio/fixed_writer.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::structure {

namespace {

constexpr std::size_t name_width = 260;

textio::line_source* choose_stream(record_source from, const material_streams& streams) {
    switch (from) {
        case record_source::sequence_file: return streams.sequence;
        case record_source::eps_fill_file: return streams.eps_fill;
        case record_source::stack_file: break;
    }
    return streams.stack;
}

// How many parameters (one record each) follow a code; -1 for a complex
// value, 0 for a table name.
int param_count(int code) {
    switch (code) {
    case 1: return 0;
    case 2: return 4;
    case 3: return 3;
    case 4: return 3;
    case 5: return 4;
    case 6: return 5;
    default: return -1;
    }
}

// Reads the code's items, one record each: params for codes 2..6, the name
// for code 1, the complex value otherwise.
bool read_items(textio::line_source& src, int code, cplx& value, std::string& name,
                double params[5]) {
    const int np = param_count(code);
    if (np < 0) return textio::read_finite(src, {&value});
    if (np == 0) return textio::read_record(src, {textio::text(name, name_width)});
    for (int i = 0; i < np; ++i)
        if (!textio::read_finite(src, {&params[i]})) return false;
    return true;
}

std::string trimmed(const std::string& s) {
    std::size_t end = s.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

// The table at name (already fallen back to NKData when missing), looked up
// at lam. Returns false on an open or read error and when the table has no
// entry that brackets lam; value is written only on success.
bool table_lookup(const std::string& name, double lam, cplx& value) {
    textio::file_source table;
    // Tables are input only and read by every process of a run at once; a
    // shared lock would buy nothing.
    if (!table.open(platform::map_path(name), false)) return false;
    std::string nk_header;
    int count = 0;
    if (!textio::read_record(table, {textio::text(nk_header, name_width)})) return false;
    if (!textio::read_record(table, {&count})) return false;
    // Grown entry by entry: a count beyond the file ends at its read error,
    // not at an allocation for entries that never come.
    std::vector<double> wl;
    std::vector<cplx> v;
    for (int i = 0; i < count; ++i) {
        double wl_nm = 0.0, n = 0.0, k = 0.0;
        if (!textio::read_finite(table, {&wl_nm, &n, &k})) return false;
        wl.push_back(wl_nm / 1000.0);
        v.emplace_back(n, std::fabs(k));  // a table's k is taken by its modulus
        if (wl[i] > lam) {
            // Below the first entry there is nothing to interpolate with.
            if (i == 0) break;
            value = (v[i] * (lam - wl[i - 1]) + v[i - 1] * (wl[i] - lam)) / (wl[i] - wl[i - 1]);
            return true;
        }
        if (wl[i] == lam) {
            value = v[i];
            return true;
        }
    }
    platform::console_line((textio::free_line() << "no entry for wavelength" << lam
                                                << "in n,k table " + trimmed(name))
                               .str());
    return false;
}

void read_nk_value(cplx& value, double lambda, record_source from, const material_streams& streams,
                   bool& err_flag, bool& neg_k_flag) {
    err_flag = false;
    neg_k_flag = false;
    textio::line_source* src = choose_stream(from, streams);
    if (src == nullptr) {
        err_flag = true;
        return;
    }
    int code = 0;
    if (!textio::read_record(*src, {&code})) {
        err_flag = true;
        return;
    }
    cplx nk = value;
    std::string nk_file_name;
    double par[5] = {0.0, 0.0, 0.0, 0.0, 0.0};
    if (!read_items(*src, code, nk, nk_file_name, par)) {
        err_flag = true;
        return;
    }
    const double lam = lambda;
    const double lam2 = lam * lam;
    const double lam3 = lam * lam2;
    const double lam4 = lam2 * lam2;
    const double a = par[0], b = par[1], c = par[2], d = par[3], e = par[4];
    // The permittivity n^2; a formula that gives it before its root sets it
    // there, since the root (k >= 0) hides the sign of its imaginary part.
    std::optional<cplx> eps;
    switch (code) {
    case 1: {
        if (!platform::path_exists(nk_file_name)) {
            const std::size_t bs = nk_file_name.rfind('\\');
            if (bs != std::string::npos) {
                nk_file_name = "NKData\\" + nk_file_name.substr(bs + 1);
                if (nk_file_name.size() > name_width) nk_file_name.resize(name_width);
            }
        }
        if (!table_lookup(nk_file_name, lam, value)) err_flag = true;
        break;
    }
    case 2: {
        // The factor 0.001 is single precision on purpose: the formula's
        // constants were fitted with it.
        const double s = (lam - d) * static_cast<double>(0.001f);
        const double u = s / (2.5 * s + 1.0);
        value = cplx(a + u * (b + u * c), 0.0);
        break;
    }
    case 3:
        value = cplx(a + b / lam2 + c / lam4, 0.0);
        break;
    case 4: {
        const double f = b * b * (lam2 + c * c);
        const double er = a - lam2 * c * c / f;
        const double ei = c * lam3 / f;
        eps = cplx(er, ei);
        const double t = std::sqrt(er * er + ei * ei);
        value = cplx(std::sqrt((t + er) * 0.5), std::sqrt((t - er) * 0.5));
        break;
    }
    case 5:
        // Four parameters but no formula: never hand back a stale value.
        platform::console_line((textio::free_line() << "material code 5 has no formula").str());
        err_flag = true;
        break;
    case 6: {
        const double n = std::sqrt(a / (b / lam2 + 1.0) + 1.0);
        value = cplx(n, c / (n * d * lam + e / lam + 1.0 / lam3));
        break;
    }
    default:
        value = nk;
        break;
    }
    // Gain is refused whatever gave the index: a constant, a formula or a
    // table. The optics sees the permittivity n^2 only, so a negative n with a
    // positive k, whose n^2 is that of -n with k < 0, is gain too.
    if (!err_flag && (value.imag() < 0.0 || eps.value_or(value * value).imag() < 0.0))
        neg_k_flag = true;
}

}  // namespace

void read_nk(cplx& value, double lambda, record_source from, const material_streams& streams,
             bool& err_flag, bool& neg_k_flag) {
    read_nk_value(value, lambda, from, streams, err_flag, neg_k_flag);
    // A formula or table that gives no finite index (a zero denominator, the
    // root of a negative number, two entries at one wavelength) describes no
    // material: the record is as unusable as an unreadable one.
    if (!err_flag && !(std::isfinite(value.real()) && std::isfinite(value.imag())))
        err_flag = true;
}

// ---- routines that no step of a run calls ----

void read_nk_record(textio::line_source& stream, int& code, cplx& value, std::string& name,
                    double params[5], bool& err_flag) {
    err_flag = false;
    if (!textio::read_record(stream, {&code})) {
        err_flag = true;
        return;
    }
    if (!read_items(stream, code, value, name, params)) err_flag = true;
}

void write_nk_record(std::string& out, int code, cplx value, const std::string& name, double a,
                     double b, double c, double d, double e, bool& err_flag) {
    err_flag = false;
    auto line = [&out](const std::string& s) {
        out += s;
        out += '\n';
    };
    line((textio::free_line() << code).str());
    const int np = param_count(code);
    if (np == 0) {
        static const textio::format quoted("(\"'\",A,\"'\")");
        // An apostrophe inside the name is doubled so that the record reads
        // back as the same name.
        std::string body;
        for (char ch : name.substr(0, static_cast<std::size_t>(name_len(name)))) {
            body += ch;
            if (ch == '\'') body += '\'';
        }
        line(textio::write_fixed(quoted, {std::string_view(body)}));
    } else if (np > 0) {
        const double p[5] = {a, b, c, d, e};
        for (int i = 0; i < np; ++i) line((textio::free_line() << p[i]).str());
    } else {
        line((textio::free_line() << value).str());
    }
}

// Names are blank-padded texts; a name ends at its first pair of blanks.
// Positions past the end of the string count as blanks, so a name that fills
// its text without such a pair ends at its last non-blank character.
int name_len(const std::string& name) {
    const std::size_t len = name.size();
    for (std::size_t p = 0; p + 1 < len; ++p)
        if (name[p] == ' ' && name[p + 1] == ' ') return static_cast<int>(p);
    if (len > 0 && name[len - 1] == ' ') return static_cast<int>(len - 1);
    return static_cast<int>(len);
}

// Writes ext (padded with blanks or cut to n + 1 characters) right behind the
// name. The text grows as needed, but never past 260 characters: what would
// fall beyond is dropped.
void name_add_ext(std::string& name, int n, const std::string& ext) {
    if (n < 0) return;
    const std::size_t p = static_cast<std::size_t>(name_len(name));
    for (std::size_t k = 0; k <= static_cast<std::size_t>(n); ++k) {
        const std::size_t at = p + k;
        if (at >= name_width) break;
        if (name.size() <= at) name.resize(at + 1, ' ');
        name[at] = k < ext.size() ? ext[k] : ' ';
    }
}

void name_parse_ext(const std::string& name, std::string& ext, bool& is_r, bool& is_e, bool& is_s,
                    bool& err_flag) {
    err_flag = false;
    auto at = [&name](std::size_t p) { return p - 1 < name.size() ? name[p - 1] : ' '; };
    std::size_t p = 0;
    for (std::size_t q = 1; q <= 79; ++q) {
        if (at(q) == '.' && (at(q + 1) == 't' || at(q + 1) == 'r' || at(q + 1) == 's')) {
            p = q;
            break;
        }
    }
    if (p == 0) {
        err_flag = true;
        return;
    }
    if (ext.size() < 4) ext.resize(4, ' ');
    ext[0] = '.';
    const char c1 = at(p + 1);
    if (c1 == 'r') {
        is_r = true;
        ext[1] = 'r';
    } else if (c1 == 't') {
        is_r = false;
        ext[1] = 't';
    } else {
        err_flag = true;
    }
    is_s = at(p + 2) == 's';
    const char c3 = at(p + 3);
    if (c3 == 'e') {
        is_e = true;
        ext[2] = is_s ? 's' : 't';
        ext[3] = 'e';
    } else if (c3 == 'm') {
        is_e = false;
        ext[2] = is_s ? 's' : 't';
        ext[3] = 'm';
    } else {
        err_flag = true;
    }
}

}  // namespace rcwa::structure
