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
  pair.table = demo::ClickedControlPoints(lens);
  return pair;
}

void Observe(PointTable& table, const TCameraParameters& camera, double X, double Y, double Z) {
  const ImagePoint l = ProjectToImage(camera.internal, camera.left, X, Y, Z);
  const ImagePoint r = ProjectToImage(camera.internal, camera.right, X, Y, Z);
  table.SetLeft(0, demo::ClickedPixel(l.x), demo::ClickedPixel(l.y));
  table.SetRight(0, demo::ClickedPixel(r.x), demo::ClickedPixel(r.y));
}

double RotationDistance(const ExternalParameters& a, const ExternalParameters& b) {
  const Rotation ra = RotationMatrix(a.Alpha, a.Beta, a.Gamma);
  const Rotation rb = RotationMatrix(b.Alpha, b.Beta, b.Gamma);
  double worst = 0;
  for (int k = 0; k < 9; ++k) worst = std::max(worst, std::fabs(ra[k] - rb[k]));
  return worst;
}

}  // namespace vistrel::testing
