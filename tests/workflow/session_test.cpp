#include "workflow/session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <exception>
#include <fstream>
#include <stop_token>
#include <string>

#include "project/geom_file.h"
#include "tests/support/temp_dir.h"
#include "tools/demo_scene.h"

namespace vistrel {
namespace {

const std::string kExamples = VISTREL_EXAMPLES_DIR;

// The session without a window: what the stores mark, what a load marks, and that the quality
// figures know which points moved since the calibration.
TEST(Session, StoresMarkWhatTheyStoredAndCalibrationKeepsItsFigures) {
  Session s;
  struct Case {
    int index;
    const char* x;
    const char* y;
    bool left;  // else right
    bool stored;
  } cases[] = {{3, "12", "-4", true, true},
               {4, "7", "y", true, false},  // a failed store marks nothing
               {0, "5", "6", false, true}};
  for (const Case& c : cases) {
    try {
      c.left ? s.StoreLeft(c.index, c.x, c.y) : s.StoreRight(c.index, c.x, c.y);
    } catch (const std::exception&) {
    }
    EXPECT_EQ(c.left ? s.Stored(c.index).left : s.Stored(c.index).right, c.stored) << c.index;
  }
  s.StoreSpace(0, "1", "2", "3", '.');  // the observation point has no space coordinates
  EXPECT_FALSE(s.Stored(0).space);
  EXPECT_FALSE(s.Table().Complete(0));
  s.StoreLeft(0, "1", "1");
  EXPECT_TRUE(s.Table().Complete(0));

  const testing::TempDir dir;
  const std::string file = dir.File("reference.txt");
  Session demo_session;
  demo_session.Table() = demo::ClickedControlPoints();
  demo_session.SaveControlPoints(file);
  s.LoadControlPoints(file);
  for (int i = 1; i <= 9; ++i) EXPECT_TRUE(s.Table().Complete(i)) << i;
  EXPECT_FALSE(s.Quality().has_value());
  s.Calibrate(demo::kImageWidth, demo::kImageHeight, {.distortion = true});
  ASSERT_TRUE(s.Quality().has_value());
  EXPECT_LT(s.Quality()->rms, 1.0L);
  EXPECT_TRUE(s.UnchangedSinceCalibration(5, true));
  s.StoreLeft(5, "100", std::to_string(static_cast<std::int32_t>(s.Table().Left(5).y)));
  EXPECT_FALSE(s.UnchangedSinceCalibration(5, true));
  EXPECT_TRUE(s.UnchangedSinceCalibration(5, false));
}

// The demo project through the session: calibrated near the lens it was made with, and the extra
// targets measured and appended near their true places.
TEST(Session, DemoCalibratesAndMeasuresNearTheTruth) {
  const testing::TempDir dir;
  Session s;
  s.LoadControlPoints(kExamples + "/reference.txt");
  EXPECT_FALSE(s.ControlPointsChanged());
  const CalibrationOutcome outcome =
      s.Calibrate(demo::kImageWidth, demo::kImageHeight, {.distortion = true});
  EXPECT_FALSE(outcome.joint_fit_failed);
  EXPECT_NEAR(std::fabs(static_cast<double>(s.Camera().internal.f)), demo::kLens.f,
              0.03 * demo::kLens.f);
  std::ifstream truth(kExamples + "/observations-truth.txt");
  std::string header;
  std::getline(truth, header);
  for (const demo::Target& t : demo::kExtraTargets) {
    const ImagePoint l = ProjectToImage(demo::kLens, demo::kLeftCamera, t.X, t.Y, t.Z);
    const ImagePoint r = ProjectToImage(demo::kLens, demo::kRightCamera, t.X, t.Y, t.Z);
    s.StoreLeft(0, std::to_string(std::lround(static_cast<double>(l.x))),
                std::to_string(std::lround(static_cast<double>(l.y))));
    s.StoreRight(0, std::to_string(std::lround(static_cast<double>(r.x))),
                 std::to_string(std::lround(static_cast<double>(r.y))));
    Session::AppendPoint(dir.File("geom.txt"), MeasuredTexts(s.Measure(), ','), ',');
  }
  EXPECT_EQ(s.ObjectPointCount(), 4);
  const GeomData geom = ReadGeometry(dir.File("geom.txt"));
  ASSERT_EQ(geom.points.size(), demo::kExtraTargets.size());
  for (std::size_t i = 0; i < geom.points.size(); ++i) {
    EXPECT_NEAR(geom.points[i].x, demo::kExtraTargets[i].X, 0.3) << i;
    EXPECT_NEAR(geom.points[i].y, demo::kExtraTargets[i].Y, 0.3) << i;
    EXPECT_NEAR(geom.points[i].z, demo::kExtraTargets[i].Z, 0.6) << i;
  }
}

// Every failure of a calibration follows one policy, whichever front end runs it: a joint fit
// that fails keeps the cameras and says so in the outcome; a first stage that fails throws and
// leaves no figures; with figures missing, QualityProblem says why.
TEST(Session, FailedCalibrationsFollowOnePolicy) {
  const testing::TempDir dir;
  testing::WriteBytes(
      dir.File("wrong.txt"),
      "1429 1516 531 335 -45 -30 40\n1314 102 66 592 45 -30 40\n172 1577 952 159 45 30 40\n"
      "848 974 670 849 -45 30 40\n536 773 996 1321 -25 -10 10\n701 1208 1178 624 20 -15 0\n"
      "829 383 926 249 30 20 15\n1033 1159 1585 1463 -20 25 5\n1312 757 661 1086 0 0 25\n");
  Session s;
  s.LoadControlPoints(dir.File("wrong.txt"));
  // The classic start alone meets a singular curvature; the other starts get through.
  EXPECT_TRUE(s.Calibrate(1600, 1200, {.distortion = true, .single_start = true}).joint_fit_failed);
  ASSERT_TRUE(s.Quality().has_value());
  EXPECT_TRUE(s.QualityFitFailed());
  EXPECT_FALSE(s.Calibrate(1600, 1200, {.distortion = true}).joint_fit_failed);
  ASSERT_TRUE(s.Quality().has_value());
  // Clicks that match no camera: the fit stands, but its sigma0 is told.
  ASSERT_FALSE(s.Warnings().empty());
  EXPECT_EQ(s.Warnings().back().text.rfind("sigma0 is ", 0), 0u) << s.Warnings().back().text;

  // A calibration cancelled mid-way changes nothing: cameras, figures, counter.
  const TCameraParameters cameras = s.Camera();
  const long double sigma0 = s.Quality()->sigma0;
  std::stop_source stop;
  CalibrateOptions cancelled{.distortion = false};
  cancelled.stop = stop.get_token();
  cancelled.progress = [&stop](const CalibrationProgress& p) {
    if (p.starts_ended > 0) stop.request_stop();
  };
  EXPECT_THROW(s.Calibrate(1600, 1200, cancelled), CalibrationCancelled);
  EXPECT_EQ(std::memcmp(&cameras, &s.Camera(), sizeof cameras), 0);
  ASSERT_TRUE(s.Quality().has_value());
  EXPECT_EQ(s.Quality()->sigma0, sigma0);

  // Coplanar control points: the first stage cannot start.
  for (int i = 1; i <= 9; ++i) s.Table().SetSpace(i, s.Table().Space(i).X, s.Table().Space(i).Y, 0);
  EXPECT_THROW(s.Calibrate(1600, 1200, {}), Exception);
  ASSERT_EQ(s.Warnings().size(), 1u) << "checked before the first stage, so kept when it throws";
  EXPECT_EQ(s.Warnings()[0].text.rfind("the nine control points lie in one plane", 0), 0u);
  EXPECT_FALSE(s.Quality().has_value());
  EXPECT_NE(s.QualityProblem().find("stopped before its joint fit"), std::string::npos);
}

// Calibrate and Measure name every point and coordinate still missing and run nothing; a store
// since the last load or save counts as a change of the control points.
TEST(Session, CommandsSayWhatIsMissingBeforeRunning) {
  Session s;
  try {
    s.Calibrate(1600, 1200, {});
    ADD_FAILURE() << "calibrated without control points";
  } catch (const EIncomplete& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Missing before calibrating: control point 1 (left, "
                                          "right, X Y Z), control point 2 (left, right, X Y Z)",
                                          0),
              0u);
  }
  const testing::TempDir dir;
  s.SaveControlPoints(dir.File("reference.txt"));
  s.LoadControlPoints(kExamples + "/reference.txt");
  s.StoreRight(7, "10", "20");
  EXPECT_TRUE(s.ControlPointsChanged());
  s.StoreLeft(0, "723", "263");
  EXPECT_EQ(s.MissingForMeasurement(),
            "Missing before measuring: a calibration (\"Compute Ext./Int. parameters\"), object "
            "point (right).");
  EXPECT_THROW(s.Measure(), EIncomplete);
  EXPECT_EQ(s.ObjectPointCount(), 0);  // nothing ran, no number used up
  s.StoreRight(0, "644", "444");
  s.Calibrate(1600, 1200, {});
  EXPECT_EQ(s.MissingForMeasurement(), "");
  EXPECT_EQ(s.Measure().number, 1);
  s.SaveControlPoints(dir.File("reference.txt"));
  EXPECT_FALSE(s.ControlPointsChanged());
}

}  // namespace
}  // namespace vistrel
