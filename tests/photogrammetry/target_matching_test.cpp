#include "photogrammetry/target_matching.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace vistrel {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A pinhole camera at `centre` looking at `look`, rolled by `roll` degrees about its axis;
// x right, y down on a 1600 x 1200 photograph.
struct PinholeCamera {
  double centre[3], right[3], down[3], ahead[3];
  double f = 2200, cx = 799.5, cy = 599.5;

  PinholeCamera(const double (&c)[3], const double (&look)[3], double roll_degrees) {
    double a[3], n = 0;
    for (int i = 0; i < 3; ++i) {
      centre[i] = c[i];
      a[i] = look[i] - c[i];
      n += a[i] * a[i];
    }
    for (double& v : a) v /= std::sqrt(n);
    // Level first (right horizontal in the X-Y plane, Z up), then rolled.
    double r[3] = {a[1], -a[0], 0};
    const double nr = std::hypot(r[0], r[1]);
    for (double& v : r) v /= nr;
    const double d[3] = {a[1] * r[2] - a[2] * r[1], a[2] * r[0] - a[0] * r[2],
                         a[0] * r[1] - a[1] * r[0]};
    const double cr = std::cos(roll_degrees * kPi / 180), sr = std::sin(roll_degrees * kPi / 180);
    for (int i = 0; i < 3; ++i) {
      ahead[i] = a[i];
      right[i] = cr * r[i] + sr * d[i];
      down[i] = -sr * r[i] + cr * d[i];
    }
  }
  ImagePosition Project(const SpacePoint& p) const {
    const double v[3] = {p.X - centre[0], p.Y - centre[1], p.Z - centre[2]};
    auto dot = [&](const double* e) { return v[0] * e[0] + v[1] * e[1] + v[2] * e[2]; };
    return {cx + f * dot(right) / dot(ahead), cy + f * dot(down) / dot(ahead)};
  }
};

// Nine control targets on a frame 1.2 m wide (X across, Z up), some standing off it toward the
// cameras (negative Y), as on a calibration frame.
std::vector<SpacePoint> FrameControlPoints() {
  return {{-0.50, 0.00, -0.40}, {0.45, -0.10, -0.35}, {0.52, 0.00, 0.38},
          {-0.42, -0.25, 0.44}, {0.02, -0.30, 0.05},  {-0.20, -0.05, -0.10},
          {0.25, -0.15, 0.12},  {-0.05, 0.00, 0.30},  {0.30, -0.20, -0.15}};
}

// The border of a 3 x 3 grid and two points standing off it: a half-turn about the Y axis maps
// the layout onto itself.
std::vector<SpacePoint> SymmetricLayout() {
  std::vector<SpacePoint> points;
  for (int i = -1; i <= 1; ++i)
    for (int j = -1; j <= 1; ++j)
      if (i != 0 || j != 0) points.push_back({0.4 * i, 0.0, 0.4 * j});
  points.push_back({0.2, -0.3, 0.0});
  points.push_back({-0.2, -0.3, 0.0});
  return points;
}

struct Case {
  std::string name;
  std::vector<SpacePoint> control;
  double camera[3];
  double roll;
  int hidden;   // control targets not detected (the last ones)
  int clutter;  // other targets and blobs detected
  TargetMatchStatus status;
};

TEST(TargetMatching, FindsTheControlPointsAmongOtherTargetsOrSaysWhyNot) {
  using enum TargetMatchStatus;
  const auto frame = FrameControlPoints();
  const std::vector<Case> cases = {
      // name, control points, camera centre, roll, undetected, clutter, status
      {"ordinary", frame, {0.3, -2.3, 0.4}, 0, 0, 25, kFound},
      {"steep and rolled a quarter turn", frame, {-1.4, -1.3, 1.5}, 90, 0, 25, kFound},
      {"one control target not detected", frame, {0.6, -2.0, 0.2}, 10, 1, 20, kFound},
      {"symmetric layout", SymmetricLayout(), {0.2, -2.2, 0.3}, 0, 0, 20, kAmbiguous},
      {"four control targets detected", frame, {0.3, -2.3, 0.4}, 0, 5, 20, kTooFew},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PinholeCamera camera(c.camera, {0, 0, 0}, c.roll);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.05);
    std::uniform_real_distribution<double> across(30, 1570), down(30, 1170);
    // Targets in a shuffled order: the clutter first, then the control targets reversed.
    std::vector<ImagePosition> targets;
    for (int k = 0; k < c.clutter; ++k) targets.push_back({across(random), down(random)});
    std::vector<int> expected(c.control.size(), -1);
    for (int k = static_cast<int>(c.control.size()) - 1 - c.hidden; k >= 0; --k) {
      const ImagePosition p = camera.Project(c.control[k]);
      expected[k] = static_cast<int>(targets.size());
      targets.push_back({p.x + noise(random), p.y + noise(random)});
    }
    // Clutter closer than the tolerance to a control target would make it ambiguous by right.
    for (int k = 0; k < c.clutter; ++k)
      for (std::size_t t = c.clutter; t < targets.size(); ++t)
        if (std::hypot(targets[k].x - targets[t].x, targets[k].y - targets[t].y) < 8)
          targets[k].x += 20;

    const TargetMatch match = MatchTargetsToControlPoints(c.control, targets, 1600, 1200);
    ASSERT_EQ(match.status, c.status) << "found " << match.found << " rms " << match.rms;
    if (c.status == kFound) {
      EXPECT_EQ(match.target_of, expected);
      EXPECT_LT(match.rms, 0.5);
    } else {
      EXPECT_TRUE(match.target_of.empty());  // nothing to store when not decided
    }
  }
}

}  // namespace
}  // namespace vistrel
