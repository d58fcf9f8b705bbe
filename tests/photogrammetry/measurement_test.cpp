#include "photogrammetry/measurement.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "numeric/matrix.h"
#include "photogrammetry/calibration.h"
#include "synthetic_pair.h"
#include "tools/demo_scene.h"
#include "tools/stereo_generator.h"

namespace vistrel {
namespace {

TEST(Measure, BeforeCalibrationIsSingularButUsesANumber) {
  PointTable table;
  table.Reset();
  table.SetLeft(0, 700, 500);
  table.SetRight(0, 900, 520);
  TCameraParameters zero;
  int counter = 0;
  try {
    MeasureObjectPoint(table, zero, counter);
    FAIL();
  } catch (const EFloatMatrix& e) {
    EXPECT_STREQ(e.what(), "Invert: Singular matrix");
  }
  EXPECT_EQ(counter, 1);
}

// The linear first estimate on its own. The left click fixes a viewing ray (the distortion of
// the observed pixel has a closed form); on it lies the point that the right click's column
// plane cuts out, with the right row a few pixels off the point's projection. Intersecting the
// two left planes with the right column plane must give that point, with the distortion of both
// clicks removed; the right row plane would give another.
TEST(LinearIntersection, TwoLeftPlanesAndTheRightColumnPlane) {
  TCameraParameters camera;
  camera.internal = {2200.0, 806.0, 596.0, 4e-8, 0, 0, 1e-6, -2e-6};
  camera.left = demo::kLeftCamera;
  camera.right = demo::kRightCamera;
  const InternalParameters& in = camera.internal;
  PointTable table;
  table.Reset();
  table.SetLeft(0, 1350, 1010);  // far from the principal point: about 11 px of distortion
  const Distortion d = DistortionAt(table.Left(0).x, table.Left(0).y, LensOf(in));
  const long double xbar = table.Left(0).x - in.u0 - d.dx_rad - d.dx_tan;
  const long double ybar = table.Left(0).y - in.v0 - d.dy_rad - d.dy_tan;
  const Rotation R = RotationMatrix(camera.left.Alpha, camera.left.Beta, camera.left.Gamma);
  auto on_ray = [&](long double depth) {  // space point at left camera depth `depth`
    const long double c[3] = {xbar / in.f * depth, ybar / in.f * depth, depth};
    return std::array<long double, 3>{camera.left.Tx + R[0] * c[0] + R[3] * c[1] + R[6] * c[2],
                                      camera.left.Ty + R[1] * c[0] + R[4] * c[1] + R[7] * c[2],
                                      camera.left.Tz + R[2] * c[0] + R[5] * c[1] + R[8] * c[2]};
  };
  const auto guess = on_ray(250);
  const ImagePoint seen = ProjectToImage(in, camera.right, guess[0], guess[1], guess[2]);
  table.SetRight(0, static_cast<std::int32_t>(std::lround(static_cast<double>(seen.x))),
                 static_cast<std::int32_t>(std::lround(static_cast<double>(seen.y))) + 4);
  auto column_residual = [&](long double depth) {
    const auto P = on_ray(depth);
    return ImageResidual(table.Right(0).x, table.Right(0).y, P[0], P[1], P[2], PoseOf(camera.right),
                         LensOf(in))
        .ex;
  };
  long double lo = 200, hi = 300;  // bisection for the depth where the column residual vanishes
  ASSERT_LT(column_residual(lo) * column_residual(hi), 0);
  const bool rising = column_residual(hi) > column_residual(lo);
  for (int k = 0; k < 200; ++k) {
    const long double mid = (lo + hi) / 2;
    ((column_residual(mid) < 0) == rising ? lo : hi) = mid;
  }
  const auto P = on_ray((lo + hi) / 2);

  double X, Y, Z;
  LinearIntersection(table, camera, X, Y, Z);
  EXPECT_NEAR(X, static_cast<double>(P[0]), 1e-6);
  EXPECT_NEAR(Y, static_cast<double>(P[1]), 1e-6);
  EXPECT_NEAR(Z, static_cast<double>(P[2]), 1e-6);
}

class CalibratedPair : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    InternalParameters lens = demo::kLens;
    if (!GetParam()) lens.a1 = 0;
    pair_ = testing::MakePair(lens);
    const CalibrationOutcome outcome =
        Calibrate(pair_.table, pair_.W, pair_.H, GetParam(), camera_, counter_);
    ASSERT_FALSE(outcome.joint_fit_failed) << outcome.failure_reason;
  }
  testing::SyntheticPair pair_;
  TCameraParameters camera_;
  int counter_ = 0;
};

TEST_P(CalibratedPair, HeldOutTargetsComeBackWithinPixelRounding) {
  int expected_number = 0;
  for (const demo::Target& t : demo::kExtraTargets) {
    testing::Observe(pair_.table, pair_.truth, t.X, t.Y, t.Z);
    const MeasuredPoint p = MeasureObjectPoint(pair_.table, camera_, counter_);
    EXPECT_EQ(p.number, ++expected_number);
    // Half a pixel at 2.7 m with this lens and base is about a millimetre.
    EXPECT_NEAR(static_cast<double>(p.X), t.X, 0.3);
    EXPECT_NEAR(static_cast<double>(p.Y), t.Y, 0.3);
    EXPECT_NEAR(static_cast<double>(p.Z), t.Z, 0.6);
    // The measured point reprojects onto the clicked pixels within rounding.
    const ImagePoint l = ProjectToImage(camera_.internal, camera_.left, p.X, p.Y, p.Z);
    EXPECT_NEAR(static_cast<double>(l.x), pair_.table.Left(0).x, 1.0);
    EXPECT_NEAR(static_cast<double>(l.y), pair_.table.Left(0).y, 1.0);
  }
}

TEST_P(CalibratedPair, RepeatingGivesSameCoordinatesUnderNewNumbers) {
  testing::Observe(pair_.table, pair_.truth, 5, 5, 20);
  const MeasuredPoint a = MeasureObjectPoint(pair_.table, camera_, counter_);
  const MeasuredPoint b = MeasureObjectPoint(pair_.table, camera_, counter_);
  EXPECT_EQ(a.number + 1, b.number);
  EXPECT_EQ(a.X, b.X);
  EXPECT_EQ(a.Y, b.Y);
  EXPECT_EQ(a.Z, b.Z);
  const std::string line = MeasurementLine(b, ',');
  EXPECT_EQ(line.rfind("Object point n° 2       x : ", 0), 0u) << line;
}

INSTANTIATE_TEST_SUITE_P(Distortion, CalibratedPair, ::testing::Values(false, true));

// Looking down with a camera rolled about a quarter turn against the other: the left ray lies
// nearly in the right photograph's column plane, which a first estimate built on that plane
// cannot cut (the measurement then lands kilometres away although the cameras are right).
TEST(Measurement, RolledCameraPairMeasuresItsCheckPoints) {
  const synthetic::StereoCase c = synthetic::MakeStereoCase(synthetic::Geometry::kLookingDown, 62);
  TCameraParameters camera;
  int counter = 0;
  Calibrate(c.table, c.W, c.H, true, camera, counter);
  // Clicks with 0.5 px noise rounded to whole pixels at 3 m: a few millimetres, as the true
  // cameras measure them.
  EXPECT_LT(synthetic::HeldOutRms(c, camera), 2 * synthetic::HeldOutRms(c, c.truth));
}

TEST(MeasurementLine, Layout) {
  EXPECT_EQ(MeasurementLine(MeasuredPoint{3, 12.5L, -3.0L, 100.0L}, '.'),
            "Object point n° 3       x : 12.5       y : -3       z : 100");
}

}  // namespace
}  // namespace vistrel
