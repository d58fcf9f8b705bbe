#include "photogrammetry/camera_model.h"

#include <cmath>

#include "numeric/fpu.h"

namespace vistrel {

long double DegToRad(long double degrees) { return degrees / 180.0L * kPi; }

Rotation RotationMatrix(double alpha_deg, double beta_deg, double gamma_deg) {
  const long double a = DegToRad(alpha_deg);
  const long double b = DegToRad(beta_deg);
  const long double g = DegToRad(gamma_deg);
  const long double sa = std::sin(a), ca = std::cos(a);
  const long double sb = std::sin(b), cb = std::cos(b);
  const long double sg = std::sin(g), cg = std::cos(g);
  return RotationFromSinCos(sa, ca, sb, cb, sg, cg);
}

Rotation RotationFromSinCos(long double sa, long double ca, long double sb, long double cb,
                            long double sg, long double cg) {
  return Rotation{
      static_cast<double>(cg * cb),
      static_cast<double>(cg * sb * sa - sg * ca),
      static_cast<double>(cg * sb * ca + sg * sa),
      static_cast<double>(sg * cb),
      static_cast<double>(sg * sb * sa + cg * ca),
      static_cast<double>(sg * sb * ca - cg * sa),
      static_cast<double>(-sb),
      static_cast<double>(cb * sa),
      static_cast<double>(cb * ca),
  };
}

Distortion DistortionAt(long double x, long double y, double u0, double v0, long double a1,
                        long double a2, long double a3, long double p1, long double p2) {
  const long double xh = x - u0;
  const long double yh = y - v0;
  const double r2 = static_cast<double>(xh * xh + yh * yh);
  const long double rho = a1 * r2 + a2 * r2 * r2 + a3 * r2 * r2 * r2;
  Distortion d;
  d.dx_rad = static_cast<double>(xh * rho);
  d.dy_rad = static_cast<double>(yh * rho);
  d.dx_tan = static_cast<double>(p1 * (r2 + 2.0L * xh * xh) + 2.0L * p2 * xh * yh);
  d.dy_tan = static_cast<double>(p2 * (r2 + 2.0L * yh * yh) + 2.0L * p1 * xh * yh);
  return d;
}

Residual ImageResidual(long double x, long double y, long double X, long double Y, long double Z,
                       const Rotation& R, long double Tx, long double Ty, long double Tz,
                       long double abs_f, double u0, double v0, long double a1, long double a2,
                       long double a3, long double p1, long double p2) {
  const long double dX = X - Tx, dY = Y - Ty, dZ = Z - Tz;
  const long double xc = R[0] * dX + R[1] * dY + R[2] * dZ;
  const long double yc = R[3] * dX + R[4] * dY + R[5] * dZ;
  const long double zc = R[6] * dX + R[7] * dY + R[8] * dZ;
  const Distortion d = DistortionAt(x, y, u0, v0, a1, a2, a3, p1, p2);
  return Residual{x - abs_f * xc / zc - d.dx_rad - d.dx_tan - u0,
                  y - abs_f * yc / zc - d.dy_rad - d.dy_tan - v0};
}

ImagePoint ProjectToImage(const InternalParameters& in, const ExternalParameters& ex, long double X,
                          long double Y, long double Z) {
  FpuClear();
  const Rotation R = RotationMatrix(ex.Alpha, ex.Beta, ex.Gamma);
  const long double dX = X - ex.Tx, dY = Y - ex.Ty, dZ = Z - ex.Tz;
  const long double xc = R[0] * dX + R[1] * dY + R[2] * dZ;
  const long double yc = R[3] * dX + R[4] * dY + R[5] * dZ;
  const long double zc = R[6] * dX + R[7] * dY + R[8] * dZ;
  const long double abs_f = std::fabs(static_cast<long double>(in.f));
  const long double px = abs_f * xc / zc + in.u0;
  const long double py = abs_f * yc / zc + in.v0;
  FpuCheck();
  // The distortion is a function of the observed pixel, so the observed pixel is the fixed point
  // of p = projection + distortion(p); the distortion is small, so this contracts quickly.
  ImagePoint p{px, py};
  for (int iteration = 0; iteration < 100; ++iteration) {
    const Distortion d = DistortionAt(p.x, p.y, in.u0, in.v0, in.a1, in.a2, in.a3, in.p1, in.p2);
    const ImagePoint next{px + d.dx_rad + d.dx_tan, py + d.dy_rad + d.dy_tan};
    const bool settled = std::fabs(next.x - p.x) < 1e-12L && std::fabs(next.y - p.y) < 1e-12L;
    p = next;
    if (settled) break;
  }
  FpuCheck();
  return p;
}

}  // namespace vistrel
