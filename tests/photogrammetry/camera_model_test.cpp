#include "photogrammetry/camera_model.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/exception.h"
#include "photogrammetry/joint_fields.h"
#include "photogrammetry/models.h"
#include "synthetic_pair.h"
#include "tools/demo_scene.h"

namespace vistrel {
namespace {

TEST(CameraModel, ZeroAnglesGiveIdentityAndPlainPerspective) {
  const Rotation R = RotationMatrix(0, 0, 0);
  const Rotation I = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  EXPECT_EQ(R, I);
  // No distortion: ex = x - u0 - |f| Xc / Zc with Xc = X - Tx.
  const Residual r = ImageResidual(900, 700, 10, -5, 100, Pose{R, 2, 3, -100},
                                   Lens{1000, 800, 600, 0, 0, 0, 0, 0});
  EXPECT_NEAR(static_cast<double>(r.ex), 900 - 800 - 1000.0 * 8 / 200, 1e-12);
  EXPECT_NEAR(static_cast<double>(r.ey), 700 - 600 - 1000.0 * -8 / 200, 1e-12);
}

TEST(CameraModel, RotationIsOrthonormalAndMatchesItsFactors) {
  const Rotation R = RotationMatrix(20, -35, 110);
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) {
      double dot = 0;
      for (int k = 0; k < 3; ++k) dot += R[a * 3 + k] * R[b * 3 + k];
      EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-15);
    }
  }
  // Rz(gamma) alone turns the x axis toward y.
  const Rotation Rz = RotationMatrix(0, 0, 90);
  EXPECT_NEAR(Rz[3], 1.0, 1e-15);  // row 2, column 1: sin(gamma) cos(beta)
  // Equivalent triple (alpha + 180, 180 - beta, gamma + 180) gives the same matrix.
  const Rotation E = RotationMatrix(200, 215, 290);
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(R[k], E[k], 1e-15);
}

TEST(CameraModel, DistortionTerms) {
  // x^ = 100, y^ = -50, r^2 = 12500.
  const Distortion d = DistortionAt(900, 550, Lens{1, 800, 600, 1e-8L, 1e-16L, 0, 2e-6L, -1e-6L});
  const double r2 = 12500;
  const double rho = 1e-8 * r2 + 1e-16 * r2 * r2;
  EXPECT_NEAR(d.dx_rad, 100 * rho, 1e-15);
  EXPECT_NEAR(d.dy_rad, -50 * rho, 1e-15);
  EXPECT_NEAR(d.dx_tan, 2e-6 * (r2 + 2 * 100 * 100) + 2 * -1e-6 * 100 * -50, 1e-15);
  EXPECT_NEAR(d.dy_tan, -1e-6 * (r2 + 2 * 50 * 50) + 2 * 2e-6 * 100 * -50, 1e-15);
}

TEST(CameraModel, ProjectionHasZeroResidualWithDistortion) {
  const InternalParameters lens{2000, 790, 610, 3e-9, 1e-16, 0, 1e-7, -2e-7};
  const ExternalParameters cam = demo::kLeftCamera;
  const ImagePoint p = ProjectToImage(lens, cam, 30, -20, 35);
  const Residual r = ImageResidual(p.x, p.y, 30, -20, 35, PoseOf(cam), LensOf(lens));
  EXPECT_NEAR(static_cast<double>(r.ex), 0.0, 1e-9);
  EXPECT_NEAR(static_cast<double>(r.ey), 0.0, 1e-9);
  EXPECT_THROW(ProjectToImage(lens, cam, cam.Tx, cam.Ty, cam.Tz), EMathError);
}

TEST(TDemoModel1, SignOfFocalAndZeroAtTruth) {
  const testing::SyntheticPair pair = testing::MakePair(demo::kLens);
  TDemoModel1 m(pair.table);
  const TCameraParameters& t = pair.truth;
  for (const JointField& field : kJointFields) m.*field.model = CameraField(t, field);
  const long double at_truth = m.Objective();
  // Only the rounding of the pixels to whole numbers remains: at most 36 x 0.5^2.
  EXPECT_LT(at_truth, 36 * 0.25L);
  m.f = -m.f;
  EXPECT_EQ(m.Objective(), at_truth);

  // A control point on the left camera's principal plane divides by zero.
  PointTable bad = pair.table;
  bad.SetSpace(4, t.left.Tx, t.left.Ty, t.left.Tz);
  TDemoModel1 faulty(bad);
  faulty.f = 2200;
  faulty.left_Tx = t.left.Tx;
  faulty.left_Ty = t.left.Ty;
  faulty.left_Tz = t.left.Tz;
  EXPECT_THROW(faulty.Objective(), EMathError);
}

TEST(TDemoModel3, ZeroCoefficientsSumCentredPixels) {
  const testing::SyntheticPair pair = testing::MakePair(demo::kLens);
  const ControlImage image = LeftImage(pair.table);
  const std::vector<double>&x = image.x, &y = image.y;
  long double expected = 0;
  for (int i = 0; i < 9; ++i) {
    // The centre follows the given display size (here an odd one: real division).
    const long double xi = x[i] - 801 / 2.0L, eta = y[i] - 600 / 2.0L;
    expected += xi * xi;
    expected += eta * eta;
  }
  TDemoModel3 m(image, 801, 600);
  EXPECT_NEAR(static_cast<double>(m.Objective()), static_cast<double>(expected), 1e-6);
  TDemoModel3 zoomed(image, 160, 120);
  EXPECT_NE(zoomed.Objective(), m.Objective());
}

}  // namespace
}  // namespace vistrel
