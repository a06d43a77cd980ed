// Raster layers: one or two superelliptic shapes painted onto an M by M grid
// of permittivities. Grid index j along a direction stands for the fraction
// (j-1)/M of the period from the cell's lower edge, as for a pixel map. The
// one-shape raster samples there; the two-shape raster samples at the pixel
// centres (j-1/2)/M. Shapes repeat with the lattice: a sample belongs to a
// shape when any lattice image of the shape holds it, so a shape that reaches
// past its cell continues in the neighbouring cells and a shape larger than
// the cell overlaps its own images.
#include "structure/raster.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "linalg/constants.hpp"

namespace rcwa::structure {

namespace {

using linalg::deg_to_rad;

// A lattice coordinate relative to a shape's centre, taken to the nearest
// image of the shape: into [-0.5, 0.5).
double wrap_to_cell(double u) {
    if (u < -0.5 || u >= 0.5) u -= std::floor(u + 0.5);
    return u;
}

// A raster_shape as the painter reads it.
struct half_shape {
    double a, b;      // half-widths (fractions of dy, dz)
    double c1, c2;    // centre offset from the middle of the cell
    double rot, p;    // rotation in degrees, exponent
};

half_shape halves(const raster_shape& s) {
    return {0.5 * s.width_y, 0.5 * s.width_z, s.centre_y, s.centre_z, s.rot, s.power};
}

// The lattice and a shape's turn: lattice coordinates (u, v) from the centre
// give y = u + ratio sin(angle) v, z = cos(angle) v on an oblique lattice with
// shape_flag set (y = u, z = v otherwise), and the turned coordinates
// p1 = cos_t y - sin_t ratio z, p2 = cos_t z + sin_t y / ratio.
struct shape_frame {
    bool oblique, turned;
    double ratio, sin_a, cos_a, sin_t, cos_t;
};

shape_frame frame_of(bool shape_flag, double ratio, double grid_angle, const half_shape& s) {
    const double alpha = grid_angle * deg_to_rad, th = s.rot * deg_to_rad;
    // A NaN angle counts as a rotation.
    return {shape_flag, !(s.rot == 0.0), ratio, std::sin(alpha), std::cos(alpha),
            std::sin(th), std::cos(th)};
}

// Is the sample at lattice coordinates (u, v), measured from the shape's
// centre, inside the shape?
bool sample_inside(const shape_frame& f, double u, double v, const half_shape& s) {
    double y = u;
    double z = v;
    if (f.oblique) {
        y = (f.ratio * v) * f.sin_a + u;
        z = v * f.cos_a;
    }
    double p1 = y;
    double p2 = z;
    if (f.turned) {
        p2 = z * f.cos_t + (y * f.sin_t) / f.ratio;
        p1 = y * f.cos_t - z * f.sin_t * f.ratio;
    }
    return in_superellipse(p1, -s.a, s.a, p2, -s.b, s.b, s.a / s.b, s.p);
}

// The farthest image looked at, in periods from the shape's centre: it keeps
// the image count finite for a degenerate lattice (a grid angle near 90
// degrees) or an unbounded width; no shape of a real cell reaches it.
constexpr double max_reach = 4096.0;
// Relative widening of the image ranges, so that rounding in sample_inside
// cannot hide an image that holds a sample.
constexpr double reach_margin = 1e-9;

// The images of a shape that may hold a grid row's samples: image row j
// (lattice coordinate v + j from the centre) may hold those whose u from the
// centre lies in (lo, hi).
struct image_row {
    int j;
    double lo, hi;
};

// Narrows (lo, hi) to the x with |c x - d| < r.
void narrow(double c, double d, double r, double& lo, double& hi) {
    if (c == 0.0) {
        if (!(std::fabs(d) < r)) hi = lo;
        return;
    }
    const double x1 = (d - r) / c, x2 = (d + r) / c;
    lo = std::fmax(lo, std::fmin(x1, x2));
    hi = std::fmin(hi, std::fmax(x1, x2));
}

// The image rows that may hold samples at v from the shape's centre, from the
// box |p1| < a, |p2| < b around the turned superellipse. A turn or centre
// that is not a finite number holds no sample: no rows then.
void rows_in_reach(const shape_frame& f, const half_shape& s, double v,
                   std::vector<image_row>& rows) {
    rows.clear();
    const double cy = f.turned ? f.cos_t : 1.0, sz = f.turned ? f.sin_t * f.ratio : 0.0;
    const double sy = f.turned ? f.sin_t / f.ratio : 0.0, cz = cy;
    const double shear = f.oblique ? f.ratio * f.sin_a : 0.0, squeeze = f.oblique ? f.cos_a : 1.0;
    if (!std::isfinite(cy) || !std::isfinite(sy) || !std::isfinite(sz) || !std::isfinite(s.c1) ||
        !std::isfinite(s.c2))
        return;
    // z = -sy p1 + cy p2 in the box.
    double reach = (std::fabs(sy) * s.a + std::fabs(cy) * s.b) / std::fabs(squeeze);
    reach = std::fmin(reach * (1.0 + reach_margin) + reach_margin, max_reach);
    if (!(reach > 0.0)) return;
    const int last = static_cast<int>(std::floor(reach - v));
    for (int j = static_cast<int>(std::ceil(-reach - v)); j <= last; ++j) {
        // In image row j, y = u + slide.
        const double vj = v + j, z = vj * squeeze, slide = shear * vj;
        double lo = -HUGE_VAL, hi = HUGE_VAL;
        narrow(cy, sz * z, s.a, lo, hi);
        narrow(sy, -cz * z, s.b, lo, hi);
        if (!(lo < hi)) continue;
        const double m = reach_margin * (1.0 + std::fabs(lo) + std::fabs(hi) + std::fabs(slide));
        lo = std::fmax(lo - slide - m, -max_reach);
        hi = std::fmin(hi - slide + m, max_reach);
        if (lo < hi) rows.push_back({j, lo, hi});
    }
}

// Does any lattice image of the shape hold the sample at (u, v) from its
// nearest image's centre? rows: rows_in_reach for v.
bool image_holds(const shape_frame& f, const half_shape& s, const std::vector<image_row>& rows,
                 double u, double v) {
    if (sample_inside(f, u, v, s)) return true;
    for (const image_row& r : rows) {
        const int last = static_cast<int>(std::floor(r.hi - u));
        for (int i = static_cast<int>(std::ceil(r.lo - u)); i <= last; ++i)
            if ((i != 0 || r.j != 0) && sample_inside(f, u + i, v + r.j, s)) return true;
    }
    return false;
}

// Sets every grid entry whose sample lies inside an image of the shape to
// value; sample j sits at ((j-1) + shift)/M from the lower edge.
void paint_shape(bool shape_flag, double ratio, double grid_angle, const half_shape& s,
                 double shift, int m, cplx value, full_mat& eps_grid) {
    const shape_frame f = frame_of(shape_flag, ratio, grid_angle, s);
    std::vector<image_row> rows;
    for (int i = 1; i <= m; ++i) {
        const double v = wrap_to_cell(((i - 1) + shift) / m - 0.5 - s.c2);
        rows_in_reach(f, s, v, rows);
        for (int j = 1; j <= m; ++j) {
            const double u = wrap_to_cell(((j - 1) + shift) / m - 0.5 - s.c1);
            if (image_holds(f, s, rows, u, v)) eps_grid(j, i) = value;
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
                   const raster_shape& shape, int m, full_mat& eps_grid) {
    fill_background(m, n(1) * n(1), eps_grid);
    paint_shape(shape_flag, ratio, grid_angle, halves(shape), 0.0, m, n(2) * n(2), eps_grid);
}

void fill_eps_grid2(bool shape_flag, double ratio, double grid_angle, const array1<cplx>& n,
                    const raster_shape& shape1, const raster_shape& shape2, int m,
                    full_mat& eps_grid) {
    fill_background(m, n(1) * n(1), eps_grid);
    // Shape 2 is painted over shape 1.
    paint_shape(shape_flag, ratio, grid_angle, halves(shape1), 0.5, m, n(2) * n(2), eps_grid);
    paint_shape(shape_flag, ratio, grid_angle, halves(shape2), 0.5, m, n(3) * n(3), eps_grid);
}

}  // namespace rcwa::structure
