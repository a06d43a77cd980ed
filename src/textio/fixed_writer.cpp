#include "textio/fixed_writer.hpp"

#include <cctype>
#include <stdexcept>
#include <string>

#include "textio/float_edit.hpp"

namespace rcwa::textio {

namespace {

using descriptor = format::descriptor;

[[noreturn]] void bad_format(std::string_view notation, std::string_view why) {
    throw std::invalid_argument("format " + std::string(notation) + ": " + std::string(why));
}

// Recursive-descent reader of a format's notation; repeat groups are expanded
// as they are read.
class parser {
public:
    explicit parser(std::string_view s) : s_(s) {}

    std::vector<descriptor> parse() {
        skip_blanks();
        if (!eat('(')) bad_format(s_, "must begin with (");
        std::vector<descriptor> out = list();
        if (!eat(')')) bad_format(s_, "unbalanced parentheses");
        skip_blanks();
        if (pos_ != s_.size()) bad_format(s_, "text after the closing parenthesis");
        return out;
    }

private:
    std::string_view s_;
    std::size_t pos_ = 0;

    void skip_blanks() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
    }
    int peek() {
        skip_blanks();
        return pos_ < s_.size() ? std::toupper(static_cast<unsigned char>(s_[pos_])) : -1;
    }
    bool eat(char c) {
        if (peek() != c) return false;
        ++pos_;
        return true;
    }
    // A digit string (blanks inside are insignificant in a format); -1 if none.
    int number() {
        if (peek() < '0' || peek() > '9') return -1;
        long n = 0;
        while (peek() >= '0' && peek() <= '9') {
            n = n * 10 + (s_[pos_++] - '0');
            if (n > 1000000) bad_format(s_, "number too large");
        }
        return static_cast<int>(n);
    }

    std::vector<descriptor> list() {
        std::vector<descriptor> out;
        while (true) {
            const int c = peek();
            if (c == ')' || c == -1) return out;
            if (c == ',') {
                ++pos_;
                continue;
            }
            item(out);
        }
    }

    void item(std::vector<descriptor>& out) {
        const int c = peek();
        if (c == '\'' || c == '"') {
            out.push_back({descriptor::literal, 0, 0, literal(static_cast<char>(c))});
            return;
        }
        int r = number();
        if (r == 0) bad_format(s_, "zero repeat count");
        if (eat('(')) {
            std::vector<descriptor> group = list();
            if (!eat(')')) bad_format(s_, "unbalanced parentheses");
            for (int k = 0; k < (r < 0 ? 1 : r); ++k) out.insert(out.end(), group.begin(), group.end());
            return;
        }
        const int letter = peek();
        if (letter == -1) bad_format(s_, "descriptor missing");
        ++pos_;
        descriptor d{descriptor::X, 0, 0, {}};
        switch (letter) {
        case 'X':
            // nX: the number before the letter is the blank count, not a repeat.
            d.kind = descriptor::X;
            d.w = r < 0 ? 1 : r;
            out.push_back(d);
            return;
        case 'I':
            d.kind = descriptor::I;
            d.w = number();
            if (d.w <= 0) bad_format(s_, "I needs a width");
            break;
        case 'A':
            d.kind = descriptor::A;
            d.w = number();
            if (d.w == 0) bad_format(s_, "A0 is not a width");
            if (d.w < 0) d.w = 0;
            break;
        case 'F':
        case 'E':
        case 'G':
            d.kind = letter == 'F' ? descriptor::F : letter == 'G' ? descriptor::G : descriptor::E;
            if (letter == 'E' && peek() == 'S') {
                ++pos_;
                d.kind = descriptor::ES;
            }
            d.w = number();
            if (d.w <= 0 || !eat('.')) bad_format(s_, "real descriptor needs w.d");
            d.d = number();
            if (d.d < 0) bad_format(s_, "real descriptor needs w.d");
            if (d.d == 0 && (d.kind == descriptor::E || d.kind == descriptor::G))
                bad_format(s_, "E and G need at least one digit");
            break;
        default:
            bad_format(s_, "unsupported descriptor");
        }
        for (int k = 0; k < (r < 0 ? 1 : r); ++k) out.push_back(d);
    }

    std::string literal(char delim) {
        ++pos_;  // opening quote
        std::string text;
        while (true) {
            if (pos_ >= s_.size()) bad_format(s_, "unterminated literal");
            const char c = s_[pos_++];
            if (c == delim) {
                if (pos_ < s_.size() && s_[pos_] == delim) {
                    text += delim;
                    ++pos_;
                    continue;
                }
                return text;
            }
            text += c;
        }
    }
};

bool is_data(descriptor::kind_t k) { return k != descriptor::X && k != descriptor::literal; }

std::string edit_text(std::string_view v, int w) {
    if (w == 0) return std::string(v);
    if (static_cast<std::size_t>(w) <= v.size()) return std::string(v.substr(0, w));
    return std::string(w - v.size(), ' ') + std::string(v);
}

std::string edit_value(const descriptor& d, const value& v) {
    switch (d.kind) {
    case descriptor::I:
        if (const int* i = std::get_if<int>(&v)) return detail::edit_int(*i, d.w);
        break;
    case descriptor::A:
        if (const std::string_view* s = std::get_if<std::string_view>(&v)) return edit_text(*s, d.w);
        break;
    case descriptor::F:
        if (const double* x = std::get_if<double>(&v)) return edit_f(*x, d.w, d.d);
        break;
    case descriptor::E:
        if (const double* x = std::get_if<double>(&v)) return edit_e(*x, d.w, d.d);
        break;
    case descriptor::ES:
        if (const double* x = std::get_if<double>(&v)) return edit_es(*x, d.w, d.d);
        break;
    case descriptor::G:
        if (const double* x = std::get_if<double>(&v)) return edit_g(*x, d.w, d.d);
        break;
    default:
        break;
    }
    throw std::invalid_argument("write_fixed: value does not match its edit descriptor");
}

template <typename It>
std::string write_values(const format& f, It first, It last) {
    std::string out;
    std::size_t pending = 0;  // blanks of nX not yet written: dropped at the end
    It it = first;
    for (const descriptor& d : f.descriptors()) {
        if (d.kind == descriptor::X) {
            pending += static_cast<std::size_t>(d.w);
            continue;
        }
        if (is_data(d.kind) && it == last) break;
        out.append(pending, ' ');
        pending = 0;
        if (d.kind == descriptor::literal)
            out += d.text;
        else
            out += edit_value(d, *it++);
    }
    if (it != last) throw std::invalid_argument("write_fixed: more values than the format takes");
    return out;
}

}  // namespace

format::format(std::string_view notation) : flat_(parser(notation).parse()) {}

std::string write_fixed(const format& f, std::initializer_list<value> values) {
    return write_values(f, values.begin(), values.end());
}

std::string write_fixed(const format& f, const std::vector<value>& values) {
    return write_values(f, values.begin(), values.end());
}

std::string edit_i(long long v, int w) { return detail::edit_int(v, w); }

std::string edit_f(double v, int w, int d) {
    return detail::edit_real(v, {detail::float_spec::F, w, d});
}

std::string edit_e(double v, int w, int d) {
    return detail::edit_real(v, {detail::float_spec::E, w, d});
}

std::string edit_es(double v, int w, int d) {
    return detail::edit_real(v, {detail::float_spec::ES, w, d});
}

std::string edit_g(double v, int w, int d) {
    return detail::edit_real(v, {detail::float_spec::G, w, d});
}

}  // namespace rcwa::textio
