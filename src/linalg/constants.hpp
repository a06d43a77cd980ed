// Numbers that the layers above share: the circle constants, the degree
// factor and the zero threshold with its single-precision floor.
#pragma once

namespace rcwa::linalg {

inline constexpr double pi = 3.141592653589793;
inline constexpr double two_pi = 6.283185307179586;
// pi / 180 rounded once; angle * deg_to_rad may differ in the last bit from
// angle * pi / 180, so each formula keeps the form it was written in.
inline constexpr double deg_to_rad = 0.017453292519943295;

// Magnitudes at most this count as zero (propagation constants, 2 by 2
// determinants, imaginary parts of eigenvalues).
inline constexpr double tiny = 1e-10;
// tiny rounded to single precision: the value such a zero is replaced by.
inline constexpr double tiny_single = static_cast<double>(static_cast<float>(tiny));

// Maxwell's equations have no length of their own: a threshold on a quantity
// that carries a unit holds as written at a wavelength of one length unit,
// and a run multiplies it by k_unit^p, k_unit = 1 / lambda and p the power of
// inverse length of the quantity (2 for k^2). A structure with every length
// times f then meets every threshold at the same place.

}  // namespace rcwa::linalg
