#include "photogrammetry/target_finder.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tools/target_render.h"

namespace vistrel {
namespace {

using synthetic::RenderTarget;
using synthetic::TargetDrawing;
using synthetic::TargetPicture;
using synthetic::TargetShape;

GreyAt Grey(const TargetPicture& p) {
  return [&p](std::int64_t x, std::int64_t y) {
    return static_cast<double>(p.at(static_cast<int>(x), static_cast<int>(y)));
  };
}

// Rendered targets at sub-pixel centres, the search started 3 to 4 px off: the centre within
// `tolerance` of the truth, and the reported standard error neither tiny nor far below the
// error made.
TEST(TargetFinder, CentresRenderedTargets) {
  struct Case {
    const char* what;
    TargetShape shape;
    double radius, tilt, orientation;
    bool dark_on_light;
    double blur, noise, tolerance;
  };
  const Case cases[] = {
      {"light disc r5", TargetShape::kDisc, 5, 0, 0, false, 0, 0, 0.03},
      {"dark disc r3", TargetShape::kDisc, 3, 0, 0, true, 0, 0, 0.03},
      {"large disc r40, blurred", TargetShape::kDisc, 40, 0, 0, false, 1.5, 0, 0.03},
      {"ellipse at 60 degrees", TargetShape::kDisc, 12, 60, 35, false, 0, 0, 0.03},
      {"blurred noisy disc", TargetShape::kDisc, 6, 0, 0, true, 1, 0.02, 0.08},
      {"chequered corner", TargetShape::kCorner, 0, 0, 20, false, 0, 0, 0.03},
      {"sheared noisy corner", TargetShape::kCorner, 0, 15, 70, true, 1, 0.02, 0.08},
  };
  for (const Case& c : cases) {
    for (const double fraction : {0.0, 0.27, 0.5, 0.81}) {
      TargetDrawing s;
      s.shape = c.shape;
      s.radius = c.radius;
      s.tilt_deg = c.tilt;
      s.orientation_deg = c.orientation;
      s.dark_on_light = c.dark_on_light;
      s.blur = c.blur;
      s.noise = c.noise;
      s.cx = 80 + fraction;
      s.cy = 79 + 0.6 * fraction;
      const TargetPicture p = RenderTarget(s);
      const auto found = FindTargetCentre(Grey(p), s.cx - 3, s.cy + 2);
      ASSERT_TRUE(found) << c.what << " " << fraction;
      EXPECT_NEAR(found->x, s.cx, c.tolerance) << c.what << " " << fraction;
      EXPECT_NEAR(found->y, s.cy, c.tolerance) << c.what << " " << fraction;
      const double error = std::hypot(found->x - s.cx, found->y - s.cy);
      EXPECT_GT(found->sigma, 0) << c.what;
      EXPECT_LT(error, 5 * found->sigma + 0.005) << c.what << " " << fraction;
    }
  }
}

// No target, no centre: a flat picture, a straight line (symmetric about each of its points),
// a target beyond the search radius, and the edge of the picture.
TEST(TargetFinder, SaysWhenThereIsNone) {
  TargetDrawing far;
  far.radius = 4;
  const TargetPicture disc = RenderTarget(far);
  EXPECT_FALSE(FindTargetCentre(Grey(disc), 80 + kTargetSearch + 5, 80));
  EXPECT_TRUE(FindTargetCentre(Grey(disc), 80 + kTargetSearch - 3, 80));

  TargetDrawing flat;
  flat.radius = 1000;  // the disc covers the picture
  EXPECT_FALSE(FindTargetCentre(Grey(RenderTarget(flat)), 80, 80));

  // A 3-px light line: an ellipse far longer than the picture.
  TargetDrawing line;
  line.radius = 1e4;
  line.tilt_deg = std::acos(1.5 / 1e4) * 180 / M_PI;
  EXPECT_FALSE(FindTargetCentre(Grey(RenderTarget(line)), 80, 80));

  // Off the picture.
  EXPECT_FALSE(FindTargetCentre(Grey(disc), -500, 80));
}

}  // namespace
}  // namespace vistrel
