#include "photogrammetry/measurement.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/matrix.h"
#include "photogrammetry/calibration.h"
#include "synthetic_pair.h"
#include "tools/demo_scene.h"

namespace vistrel {
namespace {

TEST(Measure, BeforeCalibrationIsSingularButUsesANumber) {
  PointTable table;
  table.Reset();
  table.xg[0] = 700;
  table.yg[0] = 500;
  table.xd[0] = 900;
  table.yd[0] = 520;
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
    EXPECT_NEAR(static_cast<double>(l.x), pair_.table.xg[0], 1.0);
    EXPECT_NEAR(static_cast<double>(l.y), pair_.table.yg[0], 1.0);
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

TEST(MeasurementLine, Layout) {
  EXPECT_EQ(MeasurementLine(MeasuredPoint{3, 12.5L, -3.0L, 100.0L}, '.'),
            "Object point n° 3       x : 12.5       y : -3       z : 100");
}

}  // namespace
}  // namespace vistrel
