#pragma once

#include <array>

#include "numeric/matrix.h"

namespace vistrel {

// Internal parameters shared by both photographs, in pixels: focal length (only |f| is used),
// principal point, radial distortion of r^2, r^4, r^6 and tangential distortion.
struct InternalParameters {
  double f = 0, u0 = 0, v0 = 0, a1 = 0, a2 = 0, a3 = 0, p1 = 0, p2 = 0;
};

// External parameters of one photograph: Euler angles in degrees and the projection centre in
// space units.
struct ExternalParameters {
  double Alpha = 0, Beta = 0, Gamma = 0, Tx = 0, Ty = 0, Tz = 0;
};

// The calibrated stereo pair; all zero until the first calibration.
struct TCameraParameters {
  InternalParameters internal;
  ExternalParameters left, right;
};

// Rotation from the space system into the camera system, R = Rz(gamma) Ry(beta) Rx(alpha),
// angles in degrees, entries rounded to double as the camera model holds them. Row-major.
using Rotation = std::array<double, 9>;
Rotation RotationMatrix(double alpha_deg, double beta_deg, double gamma_deg);

// The same matrix from the sines and cosines of the three angles (in radians as converted).
Rotation RotationFromSinCos(long double sa, long double ca, long double sb, long double cb,
                            long double sg, long double cg);

// The internal parameters as the camera model computes with them: |f| and the distortion
// coefficients in extended precision (as the joint fit holds them), the principal point rounded
// to double.
struct Lens {
  long double abs_f = 0;
  double u0 = 0, v0 = 0;
  long double a1 = 0, a2 = 0, a3 = 0, p1 = 0, p2 = 0;
};
Lens LensOf(const InternalParameters& in);

// A photograph's pose: the rotation from the space system into the camera system and the
// projection centre, in space units.
struct Pose {
  Rotation R{};
  long double Tx = 0, Ty = 0, Tz = 0;
};
Pose PoseOf(const ExternalParameters& ex);

// Camera coordinates of space point (X, Y, Z): R (P - T), each row summed left to right.
struct CameraPoint {
  long double xc, yc, zc;
};
inline CameraPoint ToCamera(const Rotation& R, long double Tx, long double Ty, long double Tz,
                            long double X, long double Y, long double Z) {
  const long double dX = X - Tx, dY = Y - Ty, dZ = Z - Tz;
  return CameraPoint{R[0] * dX + R[1] * dY + R[2] * dZ, R[3] * dX + R[4] * dY + R[5] * dZ,
                     R[6] * dX + R[7] * dY + R[8] * dZ};
}

// Lens distortion terms of an observed (distorted) pixel (x, y), each rounded to double.
struct Distortion {
  double dx_rad, dy_rad, dx_tan, dy_tan;
};
Distortion DistortionAt(long double x, long double y, const Lens& lens);

// Image residual (ex, ey) of space point (X, Y, Z) observed at pixel (x, y) on a photograph:
//   ex = x - |f| Xc / Zc - dx_rad - dx_tan - u0, likewise ey with Yc and the y terms.
// Faults (Zc = 0) are left in the floating-point flags for the caller to check.
struct Residual {
  long double ex, ey;
};
Residual ImageResidual(long double x, long double y, long double X, long double Y, long double Z,
                       const Pose& pose, const Lens& lens);

// Degrees to radians as the camera model converts them: angle / 180 * pi in extended precision.
long double DegToRad(long double degrees);
inline constexpr long double kPi = 3.14159265358979323846264338327950288L;

// Forward projection of a space point to the observed (distorted) pixel of a photograph: the
// pixel whose residual vanishes, found by fixed-point iteration on the distortion. Used to make
// synthetic data. Throws EMathError when the point lies on the camera's principal plane, and
// Exception when the iteration does not settle (a distortion too strong for that pixel).
inline constexpr int kProjectionIterations = 100;            // fixed-point steps at most
inline constexpr long double kProjectionTolerance = 1e-12L;  // pixels: a step this small settles
struct ImagePoint {
  long double x, y;
};
ImagePoint ProjectToImage(const InternalParameters& in, const ExternalParameters& ex, long double X,
                          long double Y, long double Z);

}  // namespace vistrel
