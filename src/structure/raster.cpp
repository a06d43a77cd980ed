// Raster layers: one or two superelliptic shapes painted onto an M by M grid
// of permittivities. Grid index j along a direction stands for the fraction
// (j-1)/M of the period from the cell's lower edge, as for a pixel map. The
// one-shape raster samples there; the two-shape raster samples at the pixel
// centres (j-1/2)/M. Shapes repeat with the lattice: a shape that crosses the
// cell edge continues in the neighbouring cell.
#include <cmath>

#include "linalg/constants.hpp"
#include "structure/fourier.hpp"

namespace rcwa::structure {

namespace {

using linalg::deg_to_rad;

// A lattice coordinate relative to a shape's centre, taken to the nearest
// image of the shape: into [-0.5, 0.5).
double wrap_to_cell(double u) {
    if (u < -0.5 || u >= 0.5) u -= std::floor(u + 0.5);
    return u;
}

struct raster_shape {
    double a, b;      // half-widths (fractions of dy, dz)
    double c1, c2;    // centre offset from the middle of the cell
    double rot, p;    // rotation in degrees, exponent
};

// Is the sample at lattice coordinates (u, v), measured from the shape's
// centre, inside the shape?
bool sample_inside(bool shape_flag, double ratio, double grid_angle, double u, double v,
                   const raster_shape& s) {
    double y = u;
    double z = v;
    if (shape_flag) {
        const double alpha = grid_angle * deg_to_rad;
        y = (ratio * v) * std::sin(alpha) + u;
        z = v * std::cos(alpha);
    }
    double p1 = y;
    double p2 = z;
    if (!(s.rot == 0.0)) {  // a NaN angle counts as a rotation
        const double th = s.rot * deg_to_rad;
        p2 = z * std::cos(th) + (y * std::sin(th)) / ratio;
        p1 = y * std::cos(th) - z * std::sin(th) * ratio;
    }
    return in_superellipse(p1, -s.a, s.a, p2, -s.b, s.b, s.a / s.b, s.p);
}

// Sets every grid entry whose sample lies inside the shape to value; sample j
// sits at ((j-1) + shift)/M from the lower edge.
void paint_shape(bool shape_flag, double ratio, double grid_angle, const raster_shape& s,
                 double shift, int m, cplx value, full_mat& eps_grid) {
    for (int i = 1; i <= m; ++i) {
        const double v = wrap_to_cell(((i - 1) + shift) / m - 0.5 - s.c2);
        for (int j = 1; j <= m; ++j) {
            const double u = wrap_to_cell(((j - 1) + shift) / m - 0.5 - s.c1);
            if (sample_inside(shape_flag, ratio, grid_angle, u, v, s)) eps_grid(j, i) = value;
        }
    }
}

void fill_background(int m, cplx value, full_mat& eps_grid) {
    for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= m; ++j) eps_grid(j, i) = value;
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
    fill_background(m, n(1) * n(1), eps_grid);
    const raster_shape s{0.5 * lo(1), 0.5 * lo(2), hi(1), hi(2), rot, p};
    paint_shape(shape_flag, ratio, grid_angle, s, 0.0, m, n(2) * n(2), eps_grid);
}

void fill_eps_grid2(bool shape_flag, double ratio, double grid_angle, const array1<cplx>& n,
                    const array1<double>& lo1, const array1<double>& hi1,
                    const array1<double>& lo2, const array1<double>& hi2,
                    const array1<double>& rot, int m, full_mat& eps_grid,
                    const array1<double>& p) {
    fill_background(m, n(1) * n(1), eps_grid);
    // Shape 2 is painted over shape 1.
    const raster_shape s1{0.5 * lo1(1), 0.5 * lo1(2), hi1(1), hi1(2), rot(1), p(1)};
    paint_shape(shape_flag, ratio, grid_angle, s1, 0.5, m, n(2) * n(2), eps_grid);
    const raster_shape s2{0.5 * lo2(1), 0.5 * lo2(2), hi2(1), hi2(2), rot(2), p(2)};
    paint_shape(shape_flag, ratio, grid_angle, s2, 0.5, m, n(3) * n(3), eps_grid);
}

}  // namespace rcwa::structure
