#include "textio/float_edit.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace rcwa::textio::detail {

namespace {

// 10**d by repeated products, the way gfortran computes its G thresholds
// (the thresholds must round exactly as gfortran's do).
double calc_exp(int d) {
    double r = 1.0;
    for (int i = 0; i < (d >= 0 ? d : -d); ++i) r *= 10;
    return d >= 0 ? r : 1.0 / r;
}

std::string stars(int n) { return std::string(n > 0 ? n : 0, '*'); }

std::string inf_nan(double v, const float_spec& f) {
    const bool nan = std::isnan(v);
    const bool neg = !nan && std::signbit(v);
    int nb = f.w;
    if (nb == 0 || f.no_blanks) nb = nan ? 3 : (neg ? 4 : 3);
    if (nb < 3) return stars(nb);
    std::string p(nb, ' ');
    if (nan) {
        p.replace(nb - 3, 3, "NaN");
        return p;
    }
    if (neg && nb == 3) return stars(3);
    const int mark = neg ? 8 : 7;
    if (nb > mark)
        p.replace(nb - 8, 8, "Infinity");
    else
        p.replace(nb - 3, 3, "Inf");
    if (neg) p[nb > 8 ? nb - 9 : nb - 4] = '-';
    return p;
}

// One field in F, E or ES form from the magnitude m; npad blanks follow it.
std::string build(float_spec::kind_t ft, int w, int d, int e_width, int p, double m, bool sign_bit,
                  int npad, bool no_blanks) {
    const bool exact_zero = (m == 0.0);
    int precision = 0;
    if (ft == float_spec::F)
        precision = d + p;
    else if (ft == float_spec::E)
        precision = p <= 0 ? d + p - 1 : d;
    else
        precision = d;
    if (precision < 0) precision = 0;

    std::vector<char> buf(static_cast<std::size_t>(precision) + 420);
    std::string digits;  // the significant digits, without point or exponent
    int nbefore = 0;
    int nafter = d;
    int expo = 0;
    if (ft == float_spec::F) {
        std::snprintf(buf.data(), buf.size(), "%.*f", precision, m);
        std::string s(buf.data());
        const std::size_t dot = s.find('.');
        std::string ip = dot == std::string::npos ? s : s.substr(0, dot);
        std::string fp = dot == std::string::npos ? std::string() : s.substr(dot + 1);
        if (ip == "0") ip.clear();  // the zero before the point is optional
        nbefore = static_cast<int>(ip.size());
        digits = ip + fp;
    } else {
        std::snprintf(buf.data(), buf.size(), "%.*e", precision, m);
        std::string s(buf.data());
        const std::size_t epos = s.find('e');
        for (std::size_t i = 0; i < epos; ++i)
            if (s[i] != '.') digits += s[i];
        expo = exact_zero ? 0 : std::atoi(s.c_str() + epos + 1) + 1;
        if (ft == float_spec::E) {
            if (!exact_zero) expo -= p;
            nbefore = p > 0 ? p : 0;
            nafter = p > 0 ? d - p + 1 : d;
        } else {
            if (!exact_zero) --expo;
            nbefore = 1;
            nafter = d;
        }
    }

    // A value written as zero keeps its sign (gfortran writes -0.0000).
    const bool neg = sign_bit;

    int edigits = 0;
    bool letter = false;
    if (ft != float_spec::F) {
        int ndig = 1;
        for (int i = std::abs(expo); i >= 10; i /= 10) ++ndig;
        if (e_width < 0) {
            if (expo > 999 || expo < -999) {
                edigits = -1;
            } else {
                edigits = 4;
                letter = !(expo > 99 || expo < -99);
            }
        } else if (ndig > e_width) {
            edigits = -1;
        } else {
            edigits = e_width + 2;
            letter = true;
        }
    }

    int nblanks = w - (nbefore + nafter + (edigits > 0 ? edigits : 0) + 1);
    if (neg) --nblanks;
    bool leadzero = false;
    if (nbefore == 0 && nblanks > 0) {
        leadzero = true;
        --nblanks;
    }
    if (no_blanks) {
        w -= nblanks;
        nblanks = 0;
    }
    if (nblanks < 0 || edigits == -1 || w == 1 || (w == 2 && neg)) return stars(w + npad);

    std::string out(nblanks, ' ');
    if (neg) out += '-';
    if (leadzero) out += '0';
    out.append(digits, 0, nbefore);
    out += '.';
    std::string frac = digits.substr(std::min<std::size_t>(nbefore, digits.size()));
    frac.resize(nafter, '0');
    out += frac;
    if (ft != float_spec::F) {
        int width = edigits;
        if (letter) {
            out += 'E';
            --width;
        }
        std::snprintf(buf.data(), buf.size(), "%+0*d", width, expo);
        out += buf.data();
    }
    out.append(npad, ' ');
    return out;
}

}  // namespace

std::string edit_real(double v, const float_spec& f) {
    if (!std::isfinite(v)) return inf_nan(v, f);
    const bool sign_bit = std::signbit(v);
    const double m = std::fabs(v);
    if (f.kind != float_spec::G) return build(f.kind, f.w, f.d, f.e, f.scale, m, sign_bit, 0, f.no_blanks);

    // G: gfortran's choice between the E and F forms, with its thresholds
    // 10**k * (1 - 0.5/10**d) rounded as it rounds them.
    const int d = f.d;
    const int w = f.w;
    const double r = 0.5;
    const double exp_d = calc_exp(d);
    const double r_sc = 1 - r / exp_d;
    double temp = 0.1 * r_sc;
    if ((m > 0.0 && (m < temp || r >= exp_d - m)) || d == 0)
        return build(float_spec::E, w, d - f.comp_d, f.e, f.scale, m, sign_bit, 0, f.no_blanks);

    int low = 0, high = d + 1, lbound = 0, ubound = d + 1, mid = 0;
    while (low <= high) {
        mid = (low + high) / 2;
        temp = calc_exp(mid - 1) * r_sc;
        if (m < temp) {
            ubound = mid;
            if (ubound == lbound + 1) break;
            high = mid - 1;
        } else if (m > temp) {
            lbound = mid;
            if (ubound == lbound + 1) {
                ++mid;
                break;
            }
            low = mid + 1;
        } else {
            ++mid;
            break;
        }
    }
    int npad = f.e <= 0 ? 4 : f.e + 2;
    if (npad >= w) npad = w - 1;
    if (f.no_blanks) npad = 0;
    const int newd = m == 0.0 ? d - 1 : -(mid - d - 1);
    return build(float_spec::F, w - npad, newd, f.e, 0, m, sign_bit, npad, f.no_blanks);
}

std::string edit_int(long long v, int w) {
    std::string s = std::to_string(v);
    if (w <= 0) return s;
    if (static_cast<int>(s.size()) > w) return stars(w);
    return std::string(w - s.size(), ' ') + s;
}

}  // namespace rcwa::textio::detail
