#include "photogrammetry/epipolar.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <utility>

namespace vistrel {

std::vector<GuidePoint> EpipolarCurve(const TCameraParameters& camera, bool from_left,
                                      long double x, long double y, const PointTable& table) {
  std::vector<GuidePoint> curve;
  const InternalParameters& in = camera.internal;
  const long double abs_f = std::fabs(static_cast<long double>(in.f));
  if (abs_f == 0) return curve;
  const ExternalParameters& from = from_left ? camera.left : camera.right;
  const ExternalParameters& to = from_left ? camera.right : camera.left;
  const Rotation R = RotationMatrix(from.Alpha, from.Beta, from.Gamma);

  // Depth range from the control points, in the camera system of `from` (Zc of R (P - T)).
  long double near_z = std::numeric_limits<long double>::max(), far_z = 0;
  int sign = 0;
  for (const int i : table.ControlIndices()) {
    const SpacePoint p = table.Space(i);
    const long double dX = p.X - from.Tx, dY = p.Y - from.Ty, dZ = p.Z - from.Tz;
    const long double zc = R[6] * dX + R[7] * dY + R[8] * dZ;
    const int s = zc > 0 ? 1 : zc < 0 ? -1 : 0;
    if (s == 0 || (sign != 0 && s != sign)) return curve;
    sign = s;
    near_z = std::min(near_z, std::fabs(zc));
    far_z = std::max(far_z, std::fabs(zc));
  }
  near_z *= kEpipolarNearFactor;
  far_z *= kEpipolarFarFactor;

  // Corrected, centred image coordinates: x_bar = |f| Xc / Zc, as the measurement removes them.
  const Distortion d = DistortionAt(x, y, LensOf(in));
  const long double xb = x - (d.dx_rad + d.dx_tan + in.u0);
  const long double yb = y - (d.dy_rad + d.dy_tan + in.v0);
  for (int k = 0; k < kEpipolarSamples; ++k) {
    const long double t = static_cast<long double>(k) / (kEpipolarSamples - 1);
    const long double zc = sign / (1 / near_z + t * (1 / far_z - 1 / near_z));
    const long double xc = xb * zc / abs_f, yc = yb * zc / abs_f;
    // P = T + R^T (xc, yc, zc).
    const long double X = from.Tx + R[0] * xc + R[3] * yc + R[6] * zc;
    const long double Y = from.Ty + R[1] * xc + R[4] * yc + R[7] * zc;
    const long double Z = from.Tz + R[2] * xc + R[5] * yc + R[8] * zc;
    try {
      const ImagePoint p = ProjectToImage(in, to, X, Y, Z);
      if (std::isfinite(p.x) && std::isfinite(p.y)) curve.push_back({p.x, p.y});
    } catch (const std::exception&) {
      // A sample on the other camera's principal plane has no image; the rest still draw.
    }
  }
  return curve;
}

long double DistanceToCurve(const std::vector<GuidePoint>& curve, long double x, long double y) {
  long double best = std::numeric_limits<long double>::max();
  for (std::size_t k = 1; k < curve.size(); ++k) {
    const long double ax = curve[k - 1].x, ay = curve[k - 1].y;
    const long double dx = curve[k].x - ax, dy = curve[k].y - ay;
    const long double len2 = dx * dx + dy * dy;
    const long double t =
        len2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / len2, 0.0L, 1.0L) : 0.0L;
    best = std::min(best, std::hypot(x - (ax + t * dx), y - (ay + t * dy)));
  }
  return best;
}

std::vector<std::size_t> TargetsOnCurve(const std::vector<GuidePoint>& curve,
                                        const std::vector<ImagePosition>& targets,
                                        long double tolerance) {
  std::vector<std::pair<long double, std::size_t>> near;
  for (std::size_t k = 0; k < targets.size(); ++k) {
    const long double d = DistanceToCurve(curve, targets[k].x, targets[k].y);
    if (d <= tolerance) near.emplace_back(d, k);
  }
  std::sort(near.begin(), near.end());
  std::vector<std::size_t> found;
  for (const auto& [d, k] : near) found.push_back(k);
  return found;
}

}  // namespace vistrel
