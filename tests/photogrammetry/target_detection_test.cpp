#include "photogrammetry/target_detection.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tools/target_render.h"

namespace vistrel {
namespace {

using synthetic::FieldDrawing;
using synthetic::FieldPicture;
using synthetic::FieldTarget;
using synthetic::FieldTargetKind;
using synthetic::RenderTargetField;

GreyView View(const FieldPicture& f) {
  return {f.picture.width, f.picture.height, f.picture.grey.data()};
}

GreyAt Grey(const FieldPicture& f) {
  return [&f](std::int64_t x, std::int64_t y) {
    return static_cast<double>(f.picture.at(static_cast<int>(x), static_cast<int>(y)));
  };
}

// How many found centres lie within `tolerance` of (x, y).
int FoundNear(const std::vector<TargetCentre>& found, double x, double y, double tolerance) {
  int n = 0;
  for (const TargetCentre& t : found) n += std::hypot(t.x - x, t.y - y) <= tolerance ? 1 : 0;
  return n;
}

// Rendered photographs of discs, ellipses, rings and chequered corners of 3 to 50 px across
// among clutter: at least 19 of 20 targets found at their centre, none twice.
TEST(TargetDetection, FindsEveryRenderedTarget) {
  struct Case {
    std::uint32_t seed;
    double min_radius, max_radius, blur, noise;
  };
  const Case cases[] = {
      {11, 1.5, 25, 0.7, 2.0},
      {12, 3, 25, 1.2, 4.0},
      {13, 6, 25, 0.5, 1.0},
  };
  for (const Case& c : cases) {
    FieldDrawing d;
    d.width = 1600;
    d.height = 1200;
    d.targets = 20;
    d.clutter = 80;
    d.min_radius = c.min_radius;
    d.max_radius = c.max_radius;
    d.blur = c.blur;
    d.noise = c.noise;
    d.seed = c.seed;
    const FieldPicture field = RenderTargetField(d);
    ASSERT_EQ(field.targets.size(), 20u);
    const std::vector<TargetCentre> found = DetectTargets(View(field));
    int centred = 0;
    for (const FieldTarget& t : field.targets) {
      centred += FoundNear(found, t.cx, t.cy, 0.15);
      EXPECT_LE(FoundNear(found, t.cx, t.cy, t.radius + 2), 1) << "seed " << c.seed;
    }
    EXPECT_GE(centred, 19) << "seed " << c.seed;
    for (const TargetCentre& t : found) {
      EXPECT_GT(t.score, 0);
      EXPECT_LE(t.score, 1);
      EXPECT_LE(t.sigma, kDetectionMaxSigma);
    }
  }
}

// Shapes that are not point-symmetric (their corners, ends and edges included), 25 of a kind on
// a shaded ground: at most one spot among them (where two overlap) passes for a target.
TEST(TargetDetection, RejectsClutter) {
  for (int kind = 0; kind < 4; ++kind) {
    FieldDrawing d;
    d.width = 1200;
    d.height = 900;
    d.targets = 0;
    d.placed = {};
    d.clutter = 25;
    d.clutter_kind = kind;
    d.seed = 40 + kind;
    const FieldPicture field = RenderTargetField(d);
    const std::vector<TargetCentre> found = DetectTargets(View(field));
    EXPECT_LE(found.size(), 1u) << "kind " << kind << ": " << found.size() << " found, first at "
                                << (found.empty() ? 0 : found[0].x) << " "
                                << (found.empty() ? 0 : found[0].y);
  }
}

// Two targets a few pixels apart stay two, in the photograph and under a click: a click beside
// either takes it, not its neighbour.
TEST(TargetDetection, CloseTargetsStayTwo) {
  struct Case {
    FieldTargetKind kind;
    double radius, gap;  // gap between the two targets' outlines, pixels
  };
  const Case cases[] = {
      {FieldTargetKind::kDisc, 4, 4},
      {FieldTargetKind::kDisc, 5, 6},
      {FieldTargetKind::kDisc, 6, 4},
      {FieldTargetKind::kRing, 9, 5},
  };
  for (const Case& c : cases) {
    FieldDrawing d;
    d.width = 400;
    d.height = 300;
    d.clutter = 0;
    FieldTarget a;
    a.kind = c.kind;
    a.radius = c.radius;
    a.cx = 180.3;
    a.cy = 150.6;
    FieldTarget b = a;
    b.cx = a.cx + 2 * c.radius + c.gap;
    b.cy = a.cy + 0.4;
    d.placed = {a, b};
    const FieldPicture field = RenderTargetField(d);
    const std::vector<TargetCentre> found = DetectTargets(View(field));
    EXPECT_EQ(FoundNear(found, a.cx, a.cy, 0.15), 1) << c.radius;
    EXPECT_EQ(FoundNear(found, b.cx, b.cy, 0.15), 1) << c.radius;

    // 3 px off each target on its far side: that target, not its neighbour.
    for (const auto& [t, side] : {std::pair{a, -1.0}, std::pair{b, 1.0}}) {
      const SnapResult snap = SnapToTarget(Grey(field), t.cx + 3 * side, t.cy + 1);
      ASSERT_EQ(snap.kind, SnapResult::Kind::kTarget) << c.radius;
      EXPECT_NEAR(snap.target.x, t.cx, 0.15) << c.radius;
      EXPECT_NEAR(snap.target.y, t.cy, 0.15) << c.radius;
    }
  }
}

}  // namespace
}  // namespace vistrel
