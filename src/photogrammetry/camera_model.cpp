#include "photogrammetry/camera_model.h"

#include <cmath>

#include "numeric/exception.h"
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

Lens LensOf(const InternalParameters& in) {
  return Lens{
      std::fabs(static_cast<long double>(in.f)), in.u0, in.v0, in.a1, in.a2, in.a3, in.p1, in.p2};
}

Pose PoseOf(const ExternalParameters& ex) {
  return Pose{RotationMatrix(ex.Alpha, ex.Beta, ex.Gamma), ex.Tx, ex.Ty, ex.Tz};
}

Distortion DistortionAt(long double x, long double y, const Lens& lens) {
  const long double xh = x - lens.u0;
  const long double yh = y - lens.v0;
  const double r2 = static_cast<double>(xh * xh + yh * yh);
  const long double rho = lens.a1 * r2 + lens.a2 * r2 * r2 + lens.a3 * r2 * r2 * r2;
  Distortion d;
  d.dx_rad = static_cast<double>(xh * rho);
  d.dy_rad = static_cast<double>(yh * rho);
  d.dx_tan = static_cast<double>(lens.p1 * (r2 + 2.0L * xh * xh) + 2.0L * lens.p2 * xh * yh);
  d.dy_tan = static_cast<double>(lens.p2 * (r2 + 2.0L * yh * yh) + 2.0L * lens.p1 * xh * yh);
  return d;
}

Residual ImageResidual(long double x, long double y, long double X, long double Y, long double Z,
                       const Pose& pose, const Lens& lens) {
  const CameraPoint c = ToCamera(pose.R, pose.Tx, pose.Ty, pose.Tz, X, Y, Z);
  const Distortion d = DistortionAt(x, y, lens);
  return Residual{x - lens.abs_f * c.xc / c.zc - d.dx_rad - d.dx_tan - lens.u0,
                  y - lens.abs_f * c.yc / c.zc - d.dy_rad - d.dy_tan - lens.v0};
}

ImagePoint ProjectToImage(const InternalParameters& in, const ExternalParameters& ex, long double X,
                          long double Y, long double Z) {
  FpuClear();
  const Lens lens = LensOf(in);
  const Pose pose = PoseOf(ex);
  const CameraPoint c = ToCamera(pose.R, pose.Tx, pose.Ty, pose.Tz, X, Y, Z);
  const long double px = lens.abs_f * c.xc / c.zc + in.u0;
  const long double py = lens.abs_f * c.yc / c.zc + in.v0;
  FpuCheck();
  // The distortion is a function of the observed pixel, so the observed pixel is the fixed point
  // of p = projection + distortion(p); the distortion is small, so this contracts quickly.
  ImagePoint p{px, py};
  for (int iteration = 0; iteration < kProjectionIterations; ++iteration) {
    const Distortion d = DistortionAt(p.x, p.y, lens);
    const ImagePoint next{px + d.dx_rad + d.dx_tan, py + d.dy_rad + d.dy_tan};
    const bool settled = std::fabs(next.x - p.x) < kProjectionTolerance &&
                         std::fabs(next.y - p.y) < kProjectionTolerance;
    p = next;
    if (settled) {
      FpuCheck();
      return p;
    }
  }
  FpuCheck();
  throw Exception("Projection did not settle: the lens distortion is too strong at this point");
}

}  // namespace vistrel
