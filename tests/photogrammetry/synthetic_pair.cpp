#include "synthetic_pair.h"

#include <algorithm>
#include <cmath>

#include "tools/demo_scene.h"

namespace vistrel::testing {

SyntheticPair MakePair(const InternalParameters& lens) {
  SyntheticPair pair;
  pair.truth.internal = lens;
  pair.truth.left = demo::kLeftCamera;
  pair.truth.right = demo::kRightCamera;
  pair.W = demo::kImageWidth;
  pair.H = demo::kImageHeight;
  pair.table.Reset();
  for (int i = 1; i <= 9; ++i) {
    const demo::Target& t = demo::kControlTargets[i - 1];
    pair.table.px[i] = t.X;
    pair.table.py[i] = t.Y;
    pair.table.pz[i] = t.Z;
    const ImagePoint l = ProjectToImage(lens, pair.truth.left, t.X, t.Y, t.Z);
    const ImagePoint r = ProjectToImage(lens, pair.truth.right, t.X, t.Y, t.Z);
    pair.table.xg[i] = static_cast<std::int32_t>(std::lround(static_cast<double>(l.x)));
    pair.table.yg[i] = static_cast<std::int32_t>(std::lround(static_cast<double>(l.y)));
    pair.table.xd[i] = static_cast<std::int32_t>(std::lround(static_cast<double>(r.x)));
    pair.table.yd[i] = static_cast<std::int32_t>(std::lround(static_cast<double>(r.y)));
  }
  return pair;
}

void Observe(PointTable& table, const TCameraParameters& camera, double X, double Y, double Z) {
  const ImagePoint l = ProjectToImage(camera.internal, camera.left, X, Y, Z);
  const ImagePoint r = ProjectToImage(camera.internal, camera.right, X, Y, Z);
  table.xg[0] = static_cast<std::int32_t>(std::lround(static_cast<double>(l.x)));
  table.yg[0] = static_cast<std::int32_t>(std::lround(static_cast<double>(l.y)));
  table.xd[0] = static_cast<std::int32_t>(std::lround(static_cast<double>(r.x)));
  table.yd[0] = static_cast<std::int32_t>(std::lround(static_cast<double>(r.y)));
}

double RotationDistance(const ExternalParameters& a, const ExternalParameters& b) {
  const Rotation ra = RotationMatrix(a.Alpha, a.Beta, a.Gamma);
  const Rotation rb = RotationMatrix(b.Alpha, b.Beta, b.Gamma);
  double worst = 0;
  for (int k = 0; k < 9; ++k) worst = std::max(worst, std::fabs(ra[k] - rb[k]));
  return worst;
}

}  // namespace vistrel::testing
