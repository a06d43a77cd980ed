// Raster layers: superelliptic shapes painted onto an M by M grid of
// permittivities (the first grid index along the first lattice direction),
// whose Fourier matrices then come as a pixel map's do (fourier.hpp).
#pragma once

#include "linalg/dense.hpp"

namespace rcwa::structure {

using linalg::array1;
using linalg::cplx;
using linalg::full_mat;

// One shape: a superellipse |y/a|^power + |z/b|^power < 1 of half-widths a, b,
// centred on the cell's middle moved by the offset, then turned.
struct raster_shape {
    double width_y = 0.0, width_z = 0.0;    // full widths 2a, 2b (fractions of dy, dz)
    double centre_y = 0.0, centre_z = 0.0;  // centre offset (fractions of dy, dz)
    double rot = 0.0;                       // turn in degrees
    double power = 0.0;                     // exponent
};

// n(1..2): background and shape refractive indices; ratio = dz/dy; shape_flag
// set: the shape lives on the oblique lattice of grid_angle; eps_grid of
// order M = m, sampled at the pixels' lower corners.
void fill_eps_grid(bool shape_flag, double ratio, double grid_angle, const array1<cplx>& n,
                   const raster_shape& shape, int m, full_mat& eps_grid);

// n(1..3): background, shape 1, shape 2 (painted over shape 1); sampled at the
// pixel centres.
void fill_eps_grid2(bool shape_flag, double ratio, double grid_angle, const array1<cplx>& n,
                    const raster_shape& shape1, const raster_shape& shape2, int m,
                    full_mat& eps_grid);

bool in_superellipse(double u, double umin, double umax, double v, double vmin, double vmax,
                     double r, double p);

}  // namespace rcwa::structure
