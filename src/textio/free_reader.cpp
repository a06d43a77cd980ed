#include "textio/free_reader.hpp"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace rcwa::textio {

string_source::string_source(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines_.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

bool string_source::next_line(std::string& line) {
    if (next_ >= lines_.size()) return false;
    line = lines_[next_++];
    return true;
}

namespace {

constexpr int end_of_file = -1;
constexpr int end_of_line = '\n';

// Characters of a record as one stream: a line end shows as '\n', and the
// next line is fetched only when the reader moves past it, so a read that is
// satisfied leaves the rest of its last line unread.
class cursor {
public:
    explicit cursor(line_source& src) : src_(src) {}

    bool first_line() { return src_.next_line(line_); }

    int peek() const {
        if (pos_ < line_.size()) return static_cast<unsigned char>(line_[pos_]);
        return at_eof_ ? end_of_file : end_of_line;
    }
    void advance() {
        if (pos_ < line_.size()) {
            if (record_) *record_ += line_[pos_];
            ++pos_;
            return;
        }
        if (at_eof_) return;
        if (record_) *record_ += '\n';
        pos_ = 0;
        if (!src_.next_line(line_)) {
            at_eof_ = true;
            line_.clear();
        }
    }
    // The rest of the current line, for looking ahead without consuming.
    std::string_view rest() const { return std::string_view(line_).substr(pos_); }

    // Copies every character consumed from now on into *r (nullptr: stop).
    void record(std::string* r) { record_ = r; }

private:
    line_source& src_;
    std::string line_;
    std::size_t pos_ = 0;
    bool at_eof_ = false;
    std::string* record_ = nullptr;
};

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r'; }

// Ends an undelimited value.
bool is_separator(int c) {
    return is_blank(c) || c == ',' || c == '/' || c == end_of_line || c == end_of_file;
}

// Blanks and line ends between values.
void skip_white(cursor& cur) {
    while (is_blank(cur.peek()) || cur.peek() == end_of_line) cur.advance();
}

std::string token(cursor& cur) {
    std::string t;
    while (!is_separator(cur.peek())) {
        t += static_cast<char>(cur.peek());
        cur.advance();
    }
    return t;
}

bool parse_int_text(const std::string& t, int& out) {
    std::size_t i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    if (i == t.size()) return false;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return false;
        v = v * 10 + (t[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (neg) v = -v;
    if (v < INT_MIN || v > INT_MAX) return false;
    out = static_cast<int>(v);
    return true;
}

bool equals_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

// A real constant: [sign] digits [. [digits]] | [sign] . digits, then an
// optional exponent (E, D or Q with an optional sign, or a bare sign) with
// digits; or Inf, Infinity, NaN, NaN(letters and digits). Everything else,
// a text or a number followed by letters, is a read error.
bool parse_real_text(std::string_view t, double& out) {
    std::size_t i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    const std::string_view body = t.substr(i);
    if (equals_nocase(body, "inf") || equals_nocase(body, "infinity")) {
        out = neg ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    if (body.size() >= 3 && equals_nocase(body.substr(0, 3), "nan")) {
        std::string_view tail = body.substr(3);
        if (!tail.empty()) {
            if (tail.front() != '(' || tail.back() != ')') return false;
            for (char c : tail.substr(1, tail.size() - 2))
                if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
        }
        out = std::numeric_limits<double>::quiet_NaN();
        return true;
    }

    std::string norm(neg ? "-" : "");
    std::size_t ndig = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
        norm += t[i++];
        ++ndig;
    }
    if (i < t.size() && t[i] == '.') {
        norm += t[i++];
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
            norm += t[i++];
            ++ndig;
        }
    }
    if (ndig == 0) return false;
    if (i < t.size()) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(t[i])));
        if (c == 'e' || c == 'd' || c == 'q')
            ++i;
        else if (c != '+' && c != '-')
            return false;
        norm += 'e';
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) norm += t[i++];
        std::size_t nexp = 0;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
            norm += t[i++];
            ++nexp;
        }
        if (nexp == 0 || i != t.size()) return false;
    }
    // strtod rounds correctly; out of range gives an infinity or zero, as
    // gfortran's reads do.
    out = std::strtod(norm.c_str(), nullptr);
    return true;
}

bool read_int(cursor& cur, int* v) { return parse_int_text(token(cur), *v); }

bool read_real(cursor& cur, double* v) { return parse_real_text(token(cur), *v); }

bool read_complex(cursor& cur, std::complex<double>* v) {
    if (cur.peek() != '(') return false;
    cur.advance();
    double part[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        skip_white(cur);
        // A part ends at a separator or at the closing parenthesis; NaN(...)
        // brings its own pair.
        std::string t;
        int depth = 0;
        while (!is_separator(cur.peek()) && (cur.peek() != ')' || depth > 0)) {
            if (cur.peek() == '(') ++depth;
            if (cur.peek() == ')') --depth;
            t += static_cast<char>(cur.peek());
            cur.advance();
        }
        if (!parse_real_text(t, part[k])) return false;
        skip_white(cur);
        if (cur.peek() != (k == 0 ? ',' : ')')) return false;
        cur.advance();
    }
    if (!is_separator(cur.peek())) return false;
    *v = {part[0], part[1]};
    return true;
}

bool read_logical(cursor& cur, bool* v) {
    if (cur.peek() == '.') cur.advance();
    const int c = std::tolower(cur.peek());
    if (c != 't' && c != 'f') return false;
    // Letters after T or F (as in .TRUE.) belong to the value.
    token(cur);
    *v = c == 't';
    return true;
}

bool read_text(cursor& cur, const text_ref& t) {
    std::string s;
    const int delim = cur.peek();
    if (delim == '\'' || delim == '"') {
        cur.advance();
        while (true) {
            const int c = cur.peek();
            if (c == end_of_file) break;  // the end of the file closes it, as in gfortran
            cur.advance();
            if (c == end_of_line) continue;  // a line end inside quotes adds nothing
            if (c == delim) {
                if (cur.peek() != delim) break;
                cur.advance();
            }
            s += static_cast<char>(c);
        }
        if (!is_separator(cur.peek())) return false;
    } else {
        s = token(cur);
    }
    s.resize(t.len, ' ');
    *t.s = std::move(s);
    return true;
}

bool read_value(cursor& cur, const item& it) {
    struct visitor {
        cursor& cur;
        bool operator()(int* v) const { return read_int(cur, v); }
        bool operator()(double* v) const { return read_real(cur, v); }
        bool operator()(std::complex<double>* v) const { return read_complex(cur, v); }
        bool operator()(bool* v) const { return read_logical(cur, v); }
        bool operator()(const text_ref& t) const { return read_text(cur, t); }
    };
    return std::visit(visitor{cur}, it);
}

// r* at the current position: the count, or 0 when there is none, -1 when it
// is malformed (0* or too large).
int repeat_count(cursor& cur) {
    const std::string_view rest = cur.rest();
    std::size_t n = 0;
    long long r = 0;
    while (n < rest.size() && rest[n] >= '0' && rest[n] <= '9') {
        r = r * 10 + (rest[n] - '0');
        if (r > INT_MAX) r = static_cast<long long>(INT_MAX) + 1;
        ++n;
    }
    if (n == 0 || n >= rest.size() || rest[n] != '*') return 0;
    if (r == 0 || r > INT_MAX) return -1;
    for (std::size_t k = 0; k <= n; ++k) cur.advance();
    return static_cast<int>(r);
}

}  // namespace

bool read_record(line_source& src, std::initializer_list<item> items) {
    cursor cur(src);
    if (!cur.first_line()) return false;

    bool after_value = false;  // a value ended; its separator is still to come
    int repeats_left = 0;      // further items of an r*c or r* in progress
    bool repeat_null = false;
    std::string repeat_text;   // the constant c of r*c, read again for each item

    for (const item& it : items) {
        if (repeats_left > 0) {
            --repeats_left;
            if (repeat_null) continue;
            // Each copy is read as a constant of its own item's type.
            string_source again(repeat_text);
            cursor copy(again);
            copy.first_line();
            if (!read_value(copy, it)) return false;
            continue;
        }

        skip_white(cur);
        if (after_value && cur.peek() == ',') {
            cur.advance();
            skip_white(cur);
        }
        after_value = false;
        const int c = cur.peek();
        if (c == end_of_file) return false;
        if (c == '/') return true;  // the remaining items keep their values
        if (c == ',') {             // a null value
            cur.advance();
            continue;
        }

        const int r = repeat_count(cur);
        if (r < 0) return false;
        after_value = true;
        if (r == 0) {
            if (!read_value(cur, it)) return false;
            continue;
        }
        repeats_left = r - 1;
        repeat_null = is_separator(cur.peek());
        if (repeat_null) continue;
        repeat_text.clear();
        cur.record(&repeat_text);
        const bool ok = read_value(cur, it);
        cur.record(nullptr);
        if (!ok) return false;
    }
    return true;
}

bool read_finite(line_source& src, std::initializer_list<item> items) {
    if (!read_record(src, items)) return false;
    for (const item& it : items) {
        if (const auto* d = std::get_if<double*>(&it); d && !std::isfinite(**d)) return false;
        if (const auto* z = std::get_if<std::complex<double>*>(&it);
            z && !(std::isfinite((*z)->real()) && std::isfinite((*z)->imag())))
            return false;
    }
    return true;
}

}  // namespace rcwa::textio
