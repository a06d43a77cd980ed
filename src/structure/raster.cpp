// Raster layers: one or two superelliptic shapes painted onto an M by M grid
// of permittivities. The two painters sample and store the grid differently;
// both conventions are part of the system's results.
#include <cmath>

#include "structure/fourier.hpp"

namespace rcwa::structure {

namespace {

constexpr double deg_to_rad = 0.017453292519943295;

// Is the sample at lattice coordinates (u, v), measured from the shape's
// centre, inside the shape of half-widths a, b, rotation rot and exponent p?
bool sample_inside(bool shape_flag, double ratio, double grid_angle, double u, double v,
                   double a, double b, double rot, double p) {
    double y = u;
    double z = v;
    if (shape_flag) {
        const double alpha = grid_angle * deg_to_rad;
        y = (ratio * v) * std::sin(alpha) + u;
        z = v * std::cos(alpha);
    }
    double p1 = y;
    double p2 = z;
    if (!(rot == 0.0)) {  // a NaN angle counts as a rotation
        const double th = rot * deg_to_rad;
        p2 = z * std::cos(th) + (y * std::sin(th)) / ratio;
        p1 = y * std::cos(th) - z * std::sin(th) * ratio;
    }
    return in_superellipse(p1, -a, a, p2, -b, b, a / b, p);
}

}  // namespace

bool in_superellipse(double u, double umin, double umax, double v, double vmin, double vmax,
                     double r, double p) {
    if (!(umin < u && u < umax && vmin < v && v < vmax)) return false;
    // The rhombus |u|/a + |v|/b < 1 lies inside every superellipse with p > 1.
    const double lim = (v > 0.0 || std::isnan(v)) ? umax - std::abs(v * r)
                                                  : std::abs((v - vmin) * r);
    if (std::abs(u) < lim && p > 1.0) return true;
    const double qu = std::abs(u / umax);
    const double qv = std::abs(v / vmax);
    const double g = qu > 0.0 ? std::exp(p * std::log(qu)) : 0.0;
    const double h = qv > 0.0 ? std::exp(p * std::log(qv)) : 0.0;
    return g + h < 1.0;
}

void fill_eps_grid(bool shape_flag, double ratio, double grid_angle, const array1<cplx>& n,
                   const array1<double>& lo, const array1<double>& hi, double rot, int m,
                   full_mat& eps_grid, double p) {
    const cplx e1 = n(1) * n(1);
    const cplx e2 = n(2) * n(2);
    const double a = 0.5 * lo(1);
    const double b = 0.5 * lo(2);
    const int half = m / 2;
    // Corner sampling; storage half-swapped so that the cell centre lands at index 1.
    for (int i = 1; i <= m; ++i) {
        const double v = static_cast<double>(i - 1) / m - 0.5 - hi(2);
        const int col = i <= half ? i + half : i - half;
        for (int j = 1; j <= m; ++j) {
            const double u = static_cast<double>(j - 1) / m - 0.5 - hi(1);
            const int row = j <= half ? j + half : j - half;
            eps_grid(row, col) =
                sample_inside(shape_flag, ratio, grid_angle, u, v, a, b, rot, p) ? e2 : e1;
        }
    }
}

void fill_eps_grid2(bool shape_flag, double ratio, double grid_angle, const array1<cplx>& n,
                    const array1<double>& lo1, const array1<double>& hi1,
                    const array1<double>& lo2, const array1<double>& hi2,
                    const array1<double>& rot, int m, full_mat& eps_grid,
                    const array1<double>& p) {
    const cplx e1 = n(1) * n(1);
    for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= m; ++j) eps_grid(j, i) = e1;

    // Cell-centre sampling, natural storage; shape 2 is painted over shape 1.
    const cplx e2 = n(2) * n(2);
    {
        const double a = 0.5 * lo1(1);
        const double b = 0.5 * lo1(2);
        for (int i = 1; i <= m; ++i) {
            const double v = ((i - 1) + 0.5) / m - 0.5 - hi1(2);
            for (int j = 1; j <= m; ++j) {
                const double u = ((j - 1) + 0.5) / m - 0.5 - hi1(1);
                eps_grid(j, i) =
                    sample_inside(shape_flag, ratio, grid_angle, u, v, a, b, rot(1), p(1)) ? e2
                                                                                            : e1;
            }
        }
    }
    const cplx e3 = n(3) * n(3);
    {
        const double a = 0.5 * lo2(1);
        const double b = 0.5 * lo2(2);
        for (int i = 1; i <= m; ++i) {
            const double v = ((i - 1) + 0.5) / m - 0.5 - hi2(2);
            for (int j = 1; j <= m; ++j) {
                const double u = ((j - 1) + 0.5) / m - 0.5 - hi2(1);
                if (sample_inside(shape_flag, ratio, grid_angle, u, v, a, b, rot(2), p(2)))
                    eps_grid(j, i) = e3;
            }
        }
    }
}

}  // namespace rcwa::structure
