#include "photogrammetry/calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "numeric/matrix.h"
#include "photogrammetry/calibration_detail.h"
#include "photogrammetry/models.h"
#include "synthetic_pair.h"
#include "tools/demo_scene.h"

namespace vistrel {
namespace {

using testing::MakePair;
using testing::RotationDistance;

InternalParameters PinholeLens() {
  InternalParameters lens = demo::kLens;
  lens.a1 = 0;
  return lens;
}

// DLT coefficients of an exact central projection centred on (W / 2, H / 2).
std::array<double, 11> ExactDlt(double f, const ExternalParameters& e) {
  const Rotation R = RotationMatrix(e.Alpha, e.Beta, e.Gamma);
  const long double T[3] = {e.Tx, e.Ty, e.Tz};
  auto dot = [&](int row) {
    return R[row * 3] * T[0] + R[row * 3 + 1] * T[1] + R[row * 3 + 2] * T[2];
  };
  const long double n = -dot(2);
  std::array<double, 11> L;
  for (int j = 0; j < 3; ++j) {
    L[j] = static_cast<double>(f * R[j] / n);
    L[4 + j] = static_cast<double>(f * R[3 + j] / n);
    L[8 + j] = static_cast<double>(R[6 + j] / n);
  }
  L[3] = static_cast<double>(-f * dot(0) / n);
  L[7] = static_cast<double>(-f * dot(1) / n);
  return L;
}

TEST(DltDecomposition, ExactCoefficientsGiveTheCamera) {
  for (const ExternalParameters& cam : {demo::kLeftCamera, demo::kRightCamera}) {
    const DltStart s = DecomposeDlt(ExactDlt(2200.0, cam));
    EXPECT_NEAR(s.F, 2200.0, 1e-6);
    EXPECT_NEAR(s.Cx, cam.Tx, 1e-9);
    EXPECT_NEAR(s.Cy, cam.Ty, 1e-9);
    EXPECT_NEAR(s.Cz, cam.Tz, 1e-9);
    // Whichever equivalent triple is kept, it reproduces the rotation.
    EXPECT_LT(RotationDistance(ExternalParameters{s.Alpha, s.Beta, s.Gamma, 0, 0, 0}, cam), 1e-9);
    // The kept triple matches L1 to L8 exactly; the last three terms compare L9..L11 with
    // R3j / d, whose sign is opposite, leaving 4 / d^2 (about 6E-5 here) while every other
    // candidate misses by far more.
    EXPECT_LT(s.best_error, 1e-3);
  }
}

TEST(DltDecomposition, AngleCandidates) {
  EXPECT_EQ(AngleCandidate(30, 1), -30);
  EXPECT_EQ(AngleCandidate(30, 2), 150);
  EXPECT_EQ(AngleCandidate(30, 3), 210);
  EXPECT_EQ(AngleCandidate(30, 4), -150);
  EXPECT_EQ(AngleCandidate(30, 5), 30);
}

TEST(DltFit, PixelsOfAnExactProjectionGiveItsCoefficients) {
  const testing::SyntheticPair pair = MakePair(PinholeLens());
  std::array<std::int32_t, 9> x, y;
  for (int i = 0; i < 9; ++i) {
    x[i] = pair.table.xg[i + 1];
    y[i] = pair.table.yg[i + 1];
  }
  // Centred on the true principal point only approximately (W / 2 = 800 vs 806): the start
  // values need only be close.
  const DltStart s = DecomposeDlt(FitDlt(pair.table, x, y, pair.W, pair.H));
  EXPECT_NEAR(s.F, 2200.0, 60.0);
  EXPECT_NEAR(s.Cx, demo::kLeftCamera.Tx, 8.0);
  EXPECT_NEAR(s.Cz, demo::kLeftCamera.Tz, 8.0);
  EXPECT_LT(
      RotationDistance(ExternalParameters{s.Alpha, s.Beta, s.Gamma, 0, 0, 0}, demo::kLeftCamera),
      0.03);
}

void ExpectCameraNear(const ExternalParameters& got, const ExternalParameters& want, double dt,
                      double dr) {
  EXPECT_NEAR(got.Tx, want.Tx, dt);
  EXPECT_NEAR(got.Ty, want.Ty, dt);
  EXPECT_NEAR(got.Tz, want.Tz, dt);
  EXPECT_LT(RotationDistance(got, want), dr);
}

TEST(Calibrate, RecoversAPinholePair) {
  const testing::SyntheticPair pair = MakePair(PinholeLens());
  TCameraParameters camera;
  int counter = 5;
  const CalibrationOutcome outcome = Calibrate(pair.table, pair.W, pair.H, false, camera, counter);
  EXPECT_FALSE(outcome.joint_fit_failed) << outcome.failure_reason;
  EXPECT_EQ(counter, 0);
  EXPECT_NEAR(std::fabs(camera.internal.f), 2200.0, 15.0);
  EXPECT_NEAR(camera.internal.u0, 806.0, 3.0);
  EXPECT_NEAR(camera.internal.v0, 596.0, 3.0);
  EXPECT_EQ(camera.internal.a1, 0.0);
  EXPECT_EQ(camera.internal.p2, 0.0);
  ExpectCameraNear(camera.left, pair.truth.left, 1.5, 2e-3);
  ExpectCameraNear(camera.right, pair.truth.right, 1.5, 2e-3);
}

TEST(Calibrate, WithDistortionFitsTheImages) {
  const testing::SyntheticPair pair = MakePair(demo::kLens);
  TCameraParameters camera;
  int counter = 0;
  const CalibrationOutcome outcome = Calibrate(pair.table, pair.W, pair.H, true, camera, counter);
  EXPECT_FALSE(outcome.joint_fit_failed) << outcome.failure_reason;
  // Twenty parameters from 36 rounded pixels: focal length and distortion trade off, so the
  // parameters are only loosely determined; the residuals are what the fit guarantees.
  EXPECT_NEAR(std::fabs(camera.internal.f), 2200.0, 60.0);
  ExpectCameraNear(camera.left, pair.truth.left, 6.0, 0.03);
  ExpectCameraNear(camera.right, pair.truth.right, 6.0, 0.03);
  TDemoModel1 m(pair.table);
  m.f = camera.internal.f;
  m.u0 = camera.internal.u0;
  m.v0 = camera.internal.v0;
  m.a1 = camera.internal.a1;
  m.a2 = camera.internal.a2;
  m.a3 = camera.internal.a3;
  m.p1 = camera.internal.p1;
  m.p2 = camera.internal.p2;
  m.left_Tx = camera.left.Tx;
  m.left_Ty = camera.left.Ty;
  m.left_Tz = camera.left.Tz;
  m.left_Alpha = camera.left.Alpha;
  m.left_Beta = camera.left.Beta;
  m.left_Gamma = camera.left.Gamma;
  m.right_Tx = camera.right.Tx;
  m.right_Ty = camera.right.Ty;
  m.right_Tz = camera.right.Tz;
  m.right_Alpha = camera.right.Alpha;
  m.right_Beta = camera.right.Beta;
  m.right_Gamma = camera.right.Gamma;
  EXPECT_LT(m.Objective(), 36 * 0.25L) << "worse than whole-pixel rounding";
}

TEST(Calibrate, CoplanarControlPointsAreSingularAndChangeNothing) {
  testing::SyntheticPair pair = MakePair(PinholeLens());
  for (int i = 1; i <= 9; ++i) pair.table.pz[i] = 40.0;  // every target on the back board
  TCameraParameters camera;
  camera.internal.f = 123.0;
  int counter = 4;
  try {
    Calibrate(pair.table, pair.W, pair.H, false, camera, counter);
    FAIL() << "coplanar points must not calibrate";
  } catch (const EFloatMatrix& e) {
    EXPECT_STREQ(e.what(), "Invert: Singular matrix");
  }
  EXPECT_EQ(camera.internal.f, 123.0);
  EXPECT_EQ(counter, 0);  // reset before the failing stage
}

// Clicks that match no camera: the DLT stage still gives start values, but the 20-parameter
// joint fit meets a singular curvature.
PointTable MismatchedClicks() {
  const int pixels[9][4] = {
      {1429, 1516, 531, 335}, {1314, 102, 66, 592},     {172, 1577, 952, 159},
      {848, 974, 670, 849},   {536, 773, 996, 1321},    {701, 1208, 1178, 624},
      {829, 383, 926, 249},   {1033, 1159, 1585, 1463}, {1312, 757, 661, 1086}};
  PointTable t;
  t.Reset();
  for (int i = 1; i <= 9; ++i) {
    const demo::Target& g = demo::kControlTargets[i - 1];
    t.px[i] = g.X;
    t.py[i] = g.Y;
    t.pz[i] = g.Z;
    t.xg[i] = pixels[i - 1][0];
    t.yg[i] = pixels[i - 1][1];
    t.xd[i] = pixels[i - 1][2];
    t.yd[i] = pixels[i - 1][3];
  }
  return t;
}

TEST(Calibrate, JointFitFailureIsCaughtAndKeepsTheLastValues) {
  TCameraParameters camera;
  int counter = 3;
  const CalibrationOutcome outcome =
      Calibrate(MismatchedClicks(), 1600, 1200, true, camera, counter);
  EXPECT_TRUE(outcome.joint_fit_failed);
  EXPECT_EQ(outcome.failure_reason, "Invert: Singular matrix");
  EXPECT_TRUE(outcome.parameter_errors.empty());
  EXPECT_EQ(counter, 0);
  // The values the minimiser wrote last are stored, not the zeros of before.
  EXPECT_NE(camera.internal.f, 0.0);
  EXPECT_NE(camera.left.Tz, 0.0);
}

TEST(Calibrate, EmptyTableFails) {
  PointTable table;
  table.Reset();
  TCameraParameters camera;
  int counter = 0;
  EXPECT_THROW(Calibrate(table, 1600, 1200, false, camera, counter), Exception);
}

TEST(TDemoModel1, CachedEvaluationIsBitIdenticalToPlain) {
  const testing::SyntheticPair pair = MakePair(demo::kLens);
  TDemoModel1 m(pair.table);
  m.f = 2190;
  m.u0 = 800;
  m.v0 = 600;
  m.a1 = 1e-9L;
  m.left_Tx = -39;
  m.left_Ty = 4;
  m.left_Tz = -231;
  m.left_Alpha = 2.1L;
  m.left_Beta = -8.9L;
  m.left_Gamma = 1.4L;
  m.right_Tx = 44;
  m.right_Ty = 1;
  m.right_Tz = -224;
  m.right_Alpha = -1.4L;
  m.right_Beta = 8.1L;
  m.right_Gamma = -1.1L;
  long double* fields[] = {&m.f,         &m.u0,          &m.v0,         &m.a1,
                           &m.a2,        &m.a3,          &m.p1,         &m.p2,
                           &m.left_Tx,   &m.left_Ty,     &m.left_Tz,    &m.left_Alpha,
                           &m.left_Beta, &m.left_Gamma,  &m.right_Tx,   &m.right_Ty,
                           &m.right_Tz,  &m.right_Alpha, &m.right_Beta, &m.right_Gamma};
  const long double scale[] = {5, 2,    2,    1e-9L, 1e-15L, 1e-21L, 1e-7L, 1e-7L, 1,    1,
                               1, 0.1L, 0.1L, 0.1L,  1,      1,      1,     0.1L,  0.1L, 0.1L};
  // A random walk like a minimiser's: mostly one parameter moved and put back, sometimes two or
  // a whole trial step.
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> pick(0, 19);
  std::uniform_real_distribution<double> step(-1, 1);
  for (int n = 0; n < 2000; ++n) {
    const int moves = n % 7 == 0 ? 20 : 1 + n % 2;
    for (int k = 0; k < moves; ++k) {
      const int i = moves == 20 ? k : pick(rng);
      *fields[i] += scale[i] * step(rng);
    }
    const long double cached = m.Evaluate();
    const long double plain = m.EvaluatePlain();
    ASSERT_EQ(std::memcmp(&cached, &plain, 10), 0) << "step " << n;
  }
}

}  // namespace
}  // namespace vistrel
