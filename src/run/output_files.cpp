// The result files: one-file tables, per-quantity files, the closing record
// and the energy-error file. Every file is opened for appending, written and
// closed again, so runs of a sweep and concurrent runs add to the same files.
#include "run/output_files.hpp"

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.hpp"
#include "run/input.hpp"
#include "run/stop.hpp"
#include "run/writers.hpp"
#include "textio/fixed_writer.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::run {

namespace {

constexpr std::size_t name_field = 260;  // length of fname_out as read

// A record that did not reach its file (a full disk, say) loses the run's
// results: the job ends rather than report success.
void close_written(platform::out_file& f, bool write_failed) {
    const bool closed = f.close();
    if (!closed || write_failed) stop(output_write_error);
}

void console_free(std::string_view text) {
    platform::console_line((textio::free_line() << text).str());
}

std::string_view trim_right(std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ') --n;
    return s.substr(0, n);
}

// Position (from 1) of the first two blanks in a row; a name that fills its
// field has none, and its tag then follows the name itself.
int find_tag_pos(std::string& fname_out) {
    if (fname_out.size() < name_field) fname_out.resize(name_field, ' ');
    const std::size_t p = fname_out.find("  ");
    int pos = p == std::string::npos ? static_cast<int>(trim_right(fname_out).size()) + 1
                                     : static_cast<int>(p) + 1;
    // Room for a tag and an extension behind the base.
    const std::size_t need = static_cast<std::size_t>(pos - 1) + 8;
    if (fname_out.size() < need) fname_out.resize(need, ' ');
    return pos;
}

// Writes text into fname_out from position pos (counting from 1).
void put_at(std::string& fname_out, int pos, std::string_view text) {
    const std::size_t at = static_cast<std::size_t>(pos - 1);
    if (fname_out.size() < at + text.size()) fname_out.resize(at + text.size(), ' ');
    fname_out.replace(at, text.size(), text);
}

constexpr const char* refl_ext[4] = {".ree", ".rem", ".rme", ".rmm"};
constexpr const char* trans_ext[4] = {".tee", ".tem", ".tme", ".tmm"};

// ---- headings of a new one-file table ------------------------------------------

const char* heading_notation(int layout, int i_eff, bool narrow) {
    // 0 and 6 share their headings; 4 and 5 take theirs for the amplitudes.
    if (i_eff >= 7) return nullptr;
    if (i_eff == 6 && (layout == 0 || layout == 4 || layout == 5 || layout == 6)) {
        return narrow ? "(\"parameter     y    x\",6X,\"r_EE\",8X,\"i_EE\",8X,\"r_EM\",8X,\"i_EM\",8X,"
                        "\"r_ME\",8X,\"i_ME\",8X,\"r_MM\",8X,\"i_MM\")"
                      : "(\"parameter     y    x\",10X,\"r_EE\",12X,\"i_EE\",12X,\"r_EM\",12X,\"i_EM\",12X,"
                        "\"r_ME\",12X,\"i_ME\",12X,\"r_MM\",12X,\"i_MM\")";
    }
    if (layout == 0 || layout == 6) {
        if (i_eff <= 3)
            return narrow ? "(\"parameter     y    x\",6X,\"REE\",9X,\"REM\",9X,\"RME\",9X,\"RMM\",9X,"
                            "\"TEE\",9X,\"TEM\",9X,\"TME\",9X,\"TMM\")"
                          : "(\"parameter     y    x\",10X,\"REE\",13X,\"REM\",13X,\"RME\",13X,\"RMM\",13X,"
                            "\"TEE\",13X,\"TEM\",13X,\"TME\",13X,\"TMM\")";
        if (i_eff == 4)
            return narrow ? "(\"parameter     y    x\",9X,\"RE\",10X,\"RM\",10X,\"TE\",10X,\"TM\")"
                          : "(\"parameter     y    x\",9X,\"RE\",14X,\"RM\",14X,\"TE\",14X,\"TM\")";
        return narrow ? "(\"parameter\",8X,\"tan_r\",7X,\"cos_r\",7X,\"tan_t\",7X,\"cos_t\")"
                      : "(\"parameter\",10X,\"tan_r\",11X,\"cos_r\",11X,\"tan_t\",11X,\"cos_t\")";
    }
    if (layout == 4) {
        if (i_eff <= 3)
            return narrow ? "(\"parameter     y    x\",6X,\"REE\",9X,\"REM\",9X,\"RME\",9X,\"RMM\")"
                          : "(\"parameter     y    x\",10X,\"REE\",13X,\"REM\",13X,\"RME\",13X,\"RMM\")";
        if (i_eff == 4)
            return narrow ? "(\"parameter     y    x\",9X,\"RE\",10X,\"RM\")"
                          : "(\"parameter     y    x\",9X,\"RE\",14X,\"RM\")";
        return narrow ? "(\"parameter\",8X,\"tan_r\",7X,\"cos_r\")"
                      : "(\"parameter\",10X,\"tan_r\",11X,\"cos_r\")";
    }
    if (layout == 5) {
        if (i_eff <= 3)
            return narrow ? "(\"parameter     y    x\",6X,\"TEE\",9X,\"TEM\",9X,\"TME\",9X,\"TMM\")"
                          : "(\"parameter     y    x\",10X,\"TEE\",13X,\"TEM\",13X,\"TME\",13X,\"TMM\")";
        if (i_eff == 4)
            return narrow ? "(\"parameter     y    x\",9X,\"TE\",10X,\"TM\")"
                          : "(\"parameter     y    x\",9X,\"TE\",14X,\"TM\")";
        return narrow ? "(\"parameter\",8X,\"tan_t\",7X,\"cos_t\")"
                      : "(\"parameter\",10X,\"tan_t\",11X,\"cos_t\")";
    }
    return nullptr;  // layout 7 and above
}

// ---- per-order records ------------------------------------------------------------

void join(const double (&a)[4], const double (&b)[4], double (&out)[8]) {
    for (int k = 0; k < 4; ++k) {
        out[k] = a[k];
        out[k + 4] = b[k];
    }
}

// Real and imaginary parts of four amplitudes, EE, EM, ME, MM, with the EM
// part divided and the ME part multiplied by scale.
void amp_values(const cplx (&amp)[4], double scale, double (&out)[8]) {
    const cplx parts[4] = {amp[0], amp[1] / scale, scale * amp[2], amp[3]};
    for (int k = 0; k < 4; ++k) {
        out[2 * k] = parts[k].real();
        out[2 * k + 1] = parts[k].imag();
    }
}

// The scale of the EM and ME amplitude parts: 1 in the tables of one side
// (4, 5); in a table of both, k0 for reflection and k0 Re n_sub for
// transmission, where a substrate without a real index (an ideal plasma, no
// order leaves into it) takes the reflection's k0.
double amp_scale(const run_setup& s, bool refl) {
    if (s.out.layout() == 4 || s.out.layout() == 5) return 1.0;
    const double t_scale = s.media.k0 * s.media.n_sub.real();
    return refl || t_scale == 0.0 ? s.media.k0 : t_scale;
}

template <std::size_t n>
bool all_finite(const double (&v)[n]) {
    for (const double x : v)
        if (!std::isfinite(x)) return false;
    return true;
}

bool zeroth_order(const order_record& rec) { return rec.i1 == 0 && rec.i2 == 0; }

void write_one_file_records(platform::out_file& f, const run_setup& s, const order_record& rec,
                            bool& err) {
    const int fmt = s.out.i_format;
    const double par = s.cmd.par_value;
    const int i2 = rec.i2, i1 = rec.i1;
    const double r_ges[2] = {rec.r_eff[0] + rec.r_eff[1], rec.r_eff[2] + rec.r_eff[3]};
    const double t_ges[2] = {rec.t_eff[0] + rec.t_eff[1], rec.t_eff[2] + rec.t_eff[3]};
    const int layout = s.out.layout();
    double v8[8];

    if (layout == 0 || layout == 6) {
        switch (s.out.i_eff) {
            case 0:
                join(rec.r_eff, rec.t_eff, v8);
                write_order_eight(f, fmt, par, i2, i1, v8, err);
                break;
            case 1:
                join(rec.r_eff, rec.t_eff, v8);
                write_order_eight(f, fmt, par, i2, i1, v8, err);
                join(rec.r_phase, rec.t_phase, v8);
                write_order_eight(f, fmt, par, i2, i1, v8, err);
                break;
            case 2:
                join(rec.r_mod, rec.t_mod, v8);
                write_order_eight(f, fmt, par, i2, i1, v8, err);
                join(rec.r_phase, rec.t_phase, v8);
                write_order_eight(f, fmt, par, i2, i1, v8, err);
                break;
            case 3:
                join(rec.r_phase, rec.t_phase, v8);
                write_order_eight(f, fmt, par, i2, i1, v8, err);
                break;
            case 4: {
                const double v4[4] = {r_ges[0], r_ges[1], t_ges[0], t_ges[1]};
                write_order_four(f, fmt, par, i2, i1, v4, err);
                break;
            }
            case 5:
                if (zeroth_order(rec) && rec.ellipso) {
                    const double v4[4] = {rec.tan_r, rec.cos_r, rec.tan_t, rec.cos_t};
                    write_ellipso(f, fmt, par, v4, err);
                }
                break;
            case 6:
                amp_values(rec.r_amp, amp_scale(s, true), v8);
                write_order_eight(f, fmt, par, i2, i1, v8, err);
                amp_values(rec.t_amp, amp_scale(s, false), v8);
                write_order_eight(f, fmt, par, i2, i1, v8, err);
                break;
            default:
                break;
        }
        return;
    }
    if (layout == 4 || layout == 5) {
        const bool refl = layout == 4;
        const auto& eff = refl ? rec.r_eff : rec.t_eff;
        const auto& phase = refl ? rec.r_phase : rec.t_phase;
        const auto& mod = refl ? rec.r_mod : rec.t_mod;
        const double* ges = refl ? r_ges : t_ges;
        switch (s.out.i_eff) {
            case 0:
                write_order_four(f, fmt, par, i2, i1, eff, err);
                break;
            case 1:
                write_order_four(f, fmt, par, i2, i1, eff, err);
                write_order_four(f, fmt, par, i2, i1, phase, err);
                break;
            case 2:
                write_order_four(f, fmt, par, i2, i1, mod, err);
                write_order_four(f, fmt, par, i2, i1, phase, err);
                break;
            case 3:
                write_order_four(f, fmt, par, i2, i1, phase, err);
                break;
            case 4: {
                const double v2[2] = {ges[0], ges[1]};
                write_order_two(f, fmt, par, i2, i1, v2, err);
                break;
            }
            case 5:
                if (zeroth_order(rec) && rec.ellipso) {
                    if (refl)
                        write_param_two(f, fmt, par, rec.tan_r, rec.cos_r, err);
                    else
                        write_param_two(f, fmt, par, rec.tan_t, rec.cos_t, err);
                }
                break;
            case 6:
                amp_values(refl ? rec.r_amp : rec.t_amp, amp_scale(s, refl), v8);
                write_order_eight(f, fmt, par, i2, i1, v8, err);
                break;
            default:
                break;
        }
    }
    // layout 7 and above: the empty record only
}

// Opens one per-quantity file, lets write put its record, closes it.
template <class F>
void per_quantity_file(std::string& fname_out, int ext_pos, const char* ext, const bool& err_flag,
                       F write) {
    put_at(fname_out, ext_pos, ext);
    platform::out_file f;
    if (!f.open_append(fname_out)) stop(output_open_error);
    write(f);
    close_written(f, err_flag);
}

// name: fname_out with the order's tag in place.
void write_per_quantity(const run_setup& s, const order_record& rec, bool refl, std::string& name) {
    const int fmt = s.out.i_format;
    const double par = s.cmd.par_value;
    bool err = false;
    const auto& eff = refl ? rec.r_eff : rec.t_eff;
    const auto& phase = refl ? rec.r_phase : rec.t_phase;
    const auto& mod = refl ? rec.r_mod : rec.t_mod;
    const char* const* ext = refl ? refl_ext : trans_ext;

    if (s.out.i_eff < 5) {
        const int ext_pos = s.out.tag_pos + 4;
        for (int p = 0; p < 4; ++p) {
            if (s.out.i_eff == 4 && (p == 1 || p == 2)) continue;
            per_quantity_file(name, ext_pos, ext[p], err, [&](platform::out_file& f) {
                switch (s.out.i_eff) {
                    case 0: write_param_one(f, fmt, par, eff[p], err); break;
                    case 1: write_param_two(f, fmt, par, eff[p], phase[p], err); break;
                    case 2: write_param_two(f, fmt, par, mod[p], phase[p], err); break;
                    case 3: write_param_one(f, fmt, par, phase[p], err); break;
                    case 4:
                        // the TE sum goes to the EE file, the TM sum to the MM file
                        write_param_one(f, fmt, par, p == 0 ? eff[0] + eff[1] : eff[2] + eff[3], err);
                        break;
                    default: break;  // below 0: the file is only opened and closed
                }
            });
        }
        return;
    }
    if (s.out.i_eff == 5 && zeroth_order(rec) && rec.ellipso) {
        const double tan_v = refl ? rec.tan_r : rec.tan_t;
        const double cos_v = refl ? rec.cos_r : rec.cos_t;
        per_quantity_file(name, s.out.tag_pos, refl ? ".rta" : ".tta", err,
                          [&](platform::out_file& f) { write_param_one(f, fmt, par, tan_v, err); });
        per_quantity_file(name, s.out.tag_pos, refl ? ".rco" : ".tco", err,
                          [&](platform::out_file& f) { write_param_one(f, fmt, par, cos_v, err); });
    }
    // i_eff 6 and above: nothing
}

// Deletes an existing file of a sweep's first run; false when it stays.
bool delete_old(std::string_view name) {
    if (!platform::path_exists(name)) return true;
    return platform::delete_file(name);
}

}  // namespace

// ---- names --------------------------------------------------------------------------

std::string energy_name(int run_index) {
    if (run_index == 0) return "energy_error.txt";
    return "energy_error" + run_index_digits(run_index) + ".txt";
}

bool tag_names_a_file(int index) {
    // 48 + 44 is the backslash, read as a folder separator; from 48 + 208 on
    // the code leaves the byte and wraps to NUL and the characters before '0'.
    const long long a = index < 0 ? -static_cast<long long>(index) : index;
    return a != 44 && a < 208;
}

std::string order_tag(int i1, int i2) {
    auto sign = [](int i) { return i > 0 ? 'p' : (i < 0 ? 'm' : '0'); };
    auto code = [](int i) { return static_cast<char>(48 + (i < 0 ? -i : i)); };
    return {sign(i2), code(i2), sign(i1), code(i1)};
}

// ---- set-up -----------------------------------------------------------------------------

bool init_output_files(int code, const output_control& out, const structure::order_set& orders,
                       int& tag_pos) {
    const int i_eff = out.i_eff;
    const int iomax = orders.iomax();
    const array1<int>& ord_i1 = orders.ord_i1;
    const array1<int>& ord_i2 = orders.ord_i2;
    const array1<int>& ord_of = orders.ord_of;
    std::string fname_out = out.fname_out;  // the names are built in a copy
    const int layout = code < 0 ? -code : code;

    if (code != 0 && layout < 4) {
        tag_pos = find_tag_pos(fname_out);
        const bool del_refl = code == -1 || code == -3;
        const bool del_trans = code == -2 || code == -3;
        auto window_index = [&](int i, int& i1, int& i2) {
            const int j = ord_of(i);
            i1 = ord_i1(j) - iomax - 1;
            i2 = ord_i2(j) - iomax - 1;
            return !(i2 < out.nop[3] || i2 > out.nop[4] || i1 < out.nop[1] || i1 > out.nop[2]);
        };
        // Refused before anything is deleted: a tag that names no file here
        // would send the records elsewhere or merge orders into one file.
        // Only names that are written (i_eff below 5) or deleted count.
        if (i_eff != 5 && (i_eff < 5 || code < 0)) {
            for (int i = 1; i <= orders.norder; ++i) {
                int i1, i2;
                if (!window_index(i, i1, i2)) continue;
                for (const int index : {i2, i1})
                    if (!tag_names_a_file(index))
                        stop(output_init_no_tag, std::to_string(index));
            }
        }
        for (int i = 1; i <= orders.norder; ++i) {
            int i1, i2;
            if (!window_index(i, i1, i2)) continue;
            const int ext_pos = i_eff == 5 ? tag_pos : tag_pos + 4;
            if (i_eff != 5) put_at(fname_out, tag_pos, order_tag(i1, i2));
            for (int pass = 0; pass < 2; ++pass) {
                const bool refl = pass == 0;
                if (!(refl ? del_refl : del_trans)) continue;
                std::vector<const char*> exts;
                if (i_eff == 5)
                    exts = refl ? std::vector<const char*>{".rta", ".rco"}
                                : std::vector<const char*>{".tta", ".tco"};
                else
                    exts.assign(refl ? refl_ext : trans_ext, (refl ? refl_ext : trans_ext) + 4);
                for (const char* ext : exts) {
                    put_at(fname_out, ext_pos, ext);
                    if (!delete_old(fname_out)) return false;
                }
            }
        }
        return true;
    }

    // One-file layouts: a new table gets its heading, an existing one none.
    if (code < 0 && !delete_old(fname_out)) return false;
    // Whether the table is new is decided under its lock: two runs of a sweep
    // that start together would otherwise both find it missing.
    platform::out_file f;
    if (!f.open_append(fname_out)) {
        // An existing table that cannot be opened is reported by its first record.
        return platform::path_exists(fname_out);
    }
    const bool narrow = out.i_format == 2 || out.i_format == 4 || out.i_format == 6;
    const char* h = heading_notation(layout, i_eff, narrow);
    bool written = true;
    if (h != nullptr && f.empty()) {
        // The heading's line end comes with the close, before the first order's empty record.
        written = f.write_line(textio::write_fixed(textio::format(h), std::vector<textio::value>{}));
    }
    return f.close() && written;
}

// ---- per order and at the end of the run ------------------------------------------------

void write_order_output(const run_setup& s, const order_record& rec) {
    const output_control& out = s.out;
    const int layout = out.layout();
    if (out.one_file()) {
        bool err = false;
        platform::out_file f;
        if (!f.open_append(out.fname_out)) stop(output_open_error);
        console_free("output in one file");
        if (!f.write_line("")) err = true;
        write_one_file_records(f, s, rec, err);
        console_free("end write file");
        close_written(f, err);
        return;
    }
    std::string name = out.fname_out;
    if (out.i_eff != 5) put_at(name, out.tag_pos, order_tag(rec.i1, rec.i2));
    if (layout == 2 || layout == 3) write_per_quantity(s, rec, false, name);
    if (layout == 1 || layout == 3) write_per_quantity(s, rec, true, name);
}

bool order_output_finite(const run_setup& s, const order_record& rec) {
    if (s.out.layout() >= 7) return true;  // empty records only
    const double ges[4] = {rec.r_eff[0] + rec.r_eff[1], rec.r_eff[2] + rec.r_eff[3],
                           rec.t_eff[0] + rec.t_eff[1], rec.t_eff[2] + rec.t_eff[3]};
    const double ellipso[4] = {rec.tan_r, rec.cos_r, rec.tan_t, rec.cos_t};
    double r8[8], t8[8];
    switch (s.out.i_eff) {
        case 0: return all_finite(rec.r_eff) && all_finite(rec.t_eff);
        case 1: return all_finite(rec.r_eff) && all_finite(rec.t_eff) && all_finite(rec.r_phase) &&
                       all_finite(rec.t_phase);
        case 2: return all_finite(rec.r_mod) && all_finite(rec.t_mod) && all_finite(rec.r_phase) &&
                       all_finite(rec.t_phase);
        case 3: return all_finite(rec.r_phase) && all_finite(rec.t_phase);
        case 4: return all_finite(ges);
        case 5: return !(zeroth_order(rec) && rec.ellipso) || all_finite(ellipso);
        case 6:
            if (!s.out.one_file()) return true;
            amp_values(rec.r_amp, amp_scale(s, true), r8);
            amp_values(rec.t_amp, amp_scale(s, false), t8);
            return all_finite(r8) && all_finite(t8);
        default: return true;
    }
}

void write_run_end(const run_setup& s, double error_te, double error_tm) {
    const output_control& out = s.out;
    if (out.layout() == 0) {
        platform::out_file f;
        if (!f.open_append(out.fname_out, false)) stop(output_open_error);
        if (!f.write_line(textio::free_line().str())) stop(output_close_error);
        if (!f.close()) stop(output_close_error);
    }
    if (out.one_file()) {
        platform::out_file f;
        if (!f.open_append(energy_name(s.cmd.run_index))) stop(output_open_error);
        bool err = false;
        write_param_two(f, out.i_format, s.cmd.par_value, error_te, error_tm, err);
        close_written(f, err);
    }
}

}  // namespace rcwa::run
