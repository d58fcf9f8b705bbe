#include "photogrammetry/calibration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <stop_token>
#include <string>
#include <vector>

#include "numeric/matrix.h"
#include "photogrammetry/control_point_check.h"
#include "photogrammetry/dlt.h"
#include "photogrammetry/joint_fields.h"
#include "photogrammetry/models.h"
#include "photogrammetry/multi_start.h"
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

TEST(DltFit, PixelsOfAnExactProjectionGiveItsCoefficients) {
  const testing::SyntheticPair pair = MakePair(PinholeLens());
  // Centred on the true principal point only approximately (W / 2 = 800 vs 806): the start
  // values need only be close.
  const DltStart s = DecomposeDlt(FitDlt(LeftImage(pair.table), pair.W, pair.H));
  EXPECT_NEAR(s.F, 2200.0, 60.0);
  EXPECT_NEAR(s.Cx, demo::kLeftCamera.Tx, 8.0);
  EXPECT_NEAR(s.Cz, demo::kLeftCamera.Tz, 8.0);
  EXPECT_LT(
      RotationDistance(ExternalParameters{s.Alpha, s.Beta, s.Gamma, 0, 0, 0}, demo::kLeftCamera),
      0.03);
}

// Nine space points that project exactly onto whole pixels of `camera`: each pixel's ray taken
// to a depth, so the DLT of those points is exact.
ControlImage ExactImage(const InternalParameters& lens, const ExternalParameters& camera) {
  const int pixels[9][2] = {{300, 200},  {1300, 250}, {1250, 1000}, {350, 950}, {700, 500},
                            {1000, 600}, {900, 850},  {500, 700},   {800, 400}};
  const double depth[9] = {260, 275, 240, 250, 230, 235, 245, 255, 265};
  const Rotation R = RotationMatrix(camera.Alpha, camera.Beta, camera.Gamma);
  ControlImage im;
  for (int i = 0; i < 9; ++i) {
    const long double d[3] = {(pixels[i][0] - lens.u0) / lens.f, (pixels[i][1] - lens.v0) / lens.f,
                              1.0L};
    // P = T + R^T (depth * d).
    const long double P[3] = {camera.Tx + depth[i] * (R[0] * d[0] + R[3] * d[1] + R[6] * d[2]),
                              camera.Ty + depth[i] * (R[1] * d[0] + R[4] * d[1] + R[7] * d[2]),
                              camera.Tz + depth[i] * (R[2] * d[0] + R[5] * d[1] + R[8] * d[2])};
    im.X.push_back(static_cast<double>(P[0]));
    im.Y.push_back(static_cast<double>(P[1]));
    im.Z.push_back(static_cast<double>(P[2]));
    im.x.push_back(pixels[i][0]);
    im.y.push_back(pixels[i][1]);
  }
  return im;
}

TEST(DltDecomposition, NormalisedDltRecoversTheCamerasOfAnExactPair) {
  const InternalParameters lens = PinholeLens();
  for (const ExternalParameters& cam : {demo::kLeftCamera, demo::kRightCamera}) {
    const ControlImage im = ExactImage(lens, cam);
    PointTable table;
    table.Reset();
    for (int i = 1; i <= 9; ++i) {
      table.SetSpace(i, im.X[i - 1], im.Y[i - 1], im.Z[i - 1]);
    }
    const CameraDecomposition d = DecomposeNormalisedDlt(im, NormaliseSpace(table), 1600, 1200);
    EXPECT_NEAR(d.start.F, lens.f, 1e-6);
    EXPECT_NEAR(d.u0, lens.u0, 1e-6);
    EXPECT_NEAR(d.v0, lens.v0, 1e-6);
    EXPECT_NEAR(d.start.Cx, cam.Tx, 1e-8);
    EXPECT_NEAR(d.start.Cy, cam.Ty, 1e-8);
    EXPECT_NEAR(d.start.Cz, cam.Tz, 1e-8);
    // The angles themselves, not only the rotation: R is read off directly.
    EXPECT_NEAR(d.start.Alpha, cam.Alpha, 1e-9);
    EXPECT_NEAR(d.start.Beta, cam.Beta, 1e-9);
    EXPECT_NEAR(d.start.Gamma, cam.Gamma, 1e-9);
  }
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
  for (const JointField& field : kJointFields) m.*field.model = CameraField(camera, field);
  EXPECT_LT(m.Objective(), 36 * 0.25L) << "worse than whole-pixel rounding";
}

TEST(Calibrate, CoplanarControlPointsAreSingularAndChangeNothing) {
  testing::SyntheticPair pair = MakePair(PinholeLens());
  for (int i = 1; i <= 9; ++i) {  // every target on the back board
    const SpacePoint p = pair.table.Space(i);
    pair.table.SetSpace(i, p.X, p.Y, 40.0);
  }
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
    t.SetSpace(i, g.X, g.Y, g.Z);
    t.SetLeft(i, pixels[i - 1][0], pixels[i - 1][1]);
    t.SetRight(i, pixels[i - 1][2], pixels[i - 1][3]);
  }
  return t;
}

TEST(Calibrate, JointFitFailureIsCaughtAndKeepsTheLastValues) {
  // With the classic start alone its failure is the calibration's.
  TCameraParameters camera;
  int counter = 3;
  CalibrationOptions single;
  single.single_start = true;
  const CalibrationOutcome outcome =
      Calibrate(MismatchedClicks(), 1600, 1200, true, camera, counter, single);
  EXPECT_TRUE(outcome.joint_fit_failed);
  EXPECT_EQ(outcome.failure_reason, "Invert: Singular matrix");
  EXPECT_EQ(counter, 0);
  // The values the minimiser wrote last are stored, not the zeros of before.
  EXPECT_NE(camera.internal.f, 0.0);
  EXPECT_NE(camera.left.Tz, 0.0);

  // With every start, the classic start's failure does not fail the calibration (beside the
  // others it may also be stopped before it gets there).
  TCameraParameters other;
  const CalibrationOutcome rescued =
      Calibrate(MismatchedClicks(), 1600, 1200, true, other, counter);
  const StartRecord& classic = rescued.starts[0];
  EXPECT_TRUE(classic.abandoned || classic.stopped_at_budget ||
              classic.failure_reason == "Invert: Singular matrix");
  EXPECT_FALSE(rescued.joint_fit_failed);
  EXPECT_NE(rescued.winner, 0);
}

TEST(Calibrate, EmptyTableFails) {
  PointTable table;
  table.Reset();
  TCameraParameters camera;
  int counter = 0;
  EXPECT_THROW(Calibrate(table, 1600, 1200, false, camera, counter), Exception);
}

// Control points 1-9 from rows "xg yg xd yd X Y Z" as kept from the generator.
PointTable TableOfRows(const double (&points)[9][7]) {
  PointTable table;
  table.Reset();
  for (int i = 1; i <= 9; ++i) {
    const double* p = points[i - 1];
    table.SetLeft(i, static_cast<std::int32_t>(p[0]), static_cast<std::int32_t>(p[1]));
    table.SetRight(i, static_cast<std::int32_t>(p[2]), static_cast<std::int32_t>(p[3]));
    table.SetSpace(i, p[4], p[5], p[6]);
  }
  return table;
}

struct KeptPair {
  PointTable table;
  TCameraParameters truth;
  int W = 4000, H = 3000;
};

// A pair kept from the blunder benchmark (seed 3: 4000 x 3000, Z up, convergent cameras 3.3 m
// from the object, clicks with 0.5 px noise, millimetres) on which the Euler triples most
// consistent with the DLT coefficients start the joint fit in a distant valley.
KeptPair WrongValleyPair() {
  static const double points[9][7] = {
      {1388, 2049, 1484, 2069, 44.055515147328606, 623.98903624340448, 5.5261293442187025},
      {2453, 1934, 2537, 1910, 620.96473462246945, -99.864679715438854, 120.47826315456393},
      {2369, 1283, 2452, 1243, 603.73415405462049, -41.683903892515048, 728.80863958692134},
      {1417, 1171, 1511, 1220, 50.125108754773635, 633.83026625505136, 800.80172983848047},
      {1716, 1770, 1690, 1784, -37.707354883733501, 224.8879429458469, 191.35290435379363},
      {2343, 1840, 2302, 1825, 247.99333158379181, -184.59071966265037, 137.90709415712115},
      {2311, 1308, 2298, 1279, 304.71463950196488, -137.54385230732629, 605.7223557101488},
      {1625, 1159, 1559, 1197, -198.60095629590944, 205.17309960379026, 652.07630645334029},
      {2077, 1543, 2066, 1537, 201.56237559353616, 33.476984021543672, 402.33449665956238}};
  KeptPair pair;
  pair.table = TableOfRows(points);
  pair.truth.internal = {4032.1417147360908, 1981.4377320671865, 1536.8504931939719, 0, 0, 0, 0, 0};
  pair.truth.left = {64.108969582242025,  -54.804760483423287, 21.635723409552345,
                     -2579.9581139464826, -1638.1128304323638, -435.43831901421572};
  pair.truth.right = {70.896716973253916,  -39.734828977893869, 12.48369534987129,
                      -1979.9840023872457, -2339.8774003956964, -435.43831901421572};
  return pair;
}

TEST(Calibrate, ReprojectionStartFindsTheCamerasWhereTheClassicStartFails) {
  const KeptPair pair = WrongValleyPair();
  // The cause: the triple most consistent with the DLT coefficients is not a rotation of the
  // camera, while the triple that reprojects best is.
  const std::array<double, 11> L = FitDlt(LeftImage(pair.table), pair.W, pair.H);
  const DltStart classic = DecomposeDlt(L);
  const DltStart reprojected = DecomposeDltByReprojection(L, LeftImage(pair.table), pair.W, pair.H);
  auto rotation = [](const DltStart& s) {
    return ExternalParameters{s.Alpha, s.Beta, s.Gamma, 0, 0, 0};
  };
  EXPECT_GT(RotationDistance(rotation(classic), pair.truth.left), 0.5);
  EXPECT_LT(RotationDistance(rotation(reprojected), pair.truth.left), 0.05);

  for (const bool distortion : {false, true}) {
    SCOPED_TRACE(distortion ? "20 parameters" : "15 parameters");
    TCameraParameters camera;
    int counter = 0;
    const CalibrationOutcome found =
        Calibrate(pair.table, pair.W, pair.H, distortion, camera, counter);
    EXPECT_FALSE(found.joint_fit_failed);
    EXPECT_EQ(found.starts[0].name, "dlt");
    EXPECT_NE(found.winner, 0);
    EXPECT_GT(found.starts[0].objective, 1000.0L);  // tens of pixels: the wrong cameras
    EXPECT_LT(found.starts[found.winner].objective, 36 * 1.0L);  // about the clicks' noise
    EXPECT_NEAR(std::fabs(camera.internal.f), pair.truth.internal.f, 80.0);
    // Twenty parameters from nine points trade rotation against principal point and
    // distortion; what they must keep is the measuring accuracy.
    const double dr = distortion ? 0.04 : 0.01;
    ExpectCameraNear(camera.left, pair.truth.left, 40.0, dr);
    ExpectCameraNear(camera.right, pair.truth.right, 40.0, dr);
  }
}

// Camera parameters compared bit for bit.
bool SameBits(const TCameraParameters& a, const TCameraParameters& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(Calibrate, WhereTheClassicStartFindsTheBestMinimumItsResultIsKeptBitForBit) {
  const testing::SyntheticPair pair = MakePair(demo::kLens);
  for (const bool distortion : {false, true}) {
    SCOPED_TRACE(distortion ? "20 parameters" : "15 parameters");
    TCameraParameters classic, camera;
    int counter = 0;
    CalibrationOptions single;
    single.single_start = true;
    const CalibrationOutcome one =
        Calibrate(pair.table, pair.W, pair.H, distortion, classic, counter, single);
    const CalibrationOutcome all =
        Calibrate(pair.table, pair.W, pair.H, distortion, camera, counter);
    ASSERT_EQ(all.starts.size(), distortion ? 6u : 3u);
    if (all.winner != 0) {
      // Another start found a lower minimum; then it must really be lower.
      EXPECT_LT(all.starts[all.winner].objective, one.starts[0].objective);
      continue;
    }
    EXPECT_TRUE(SameBits(camera, classic));
  }
}

// The automatic lens model on pairs made for each model, with clicks scattered by 0.3 px before
// rounding: no distortion gives none, strong radial distortion (a1 alone, 25 px at the corners)
// gives radial, tangential distortion full; each result is bit for bit the
// calibration with that model, which names itself. none is the calibration without the check
// box.
TEST(LensModel, AutomaticPicksTheSimplestSignificantModel) {
  InternalParameters radial = demo::kLens;
  radial.a1 = 5e-8;
  InternalParameters tangential = PinholeLens();
  tangential.p1 = 5e-6;
  tangential.p2 = -4e-6;
  const struct {
    InternalParameters lens;
    LensModel expected;
  } cases[] = {{PinholeLens(), LensModel::kNone},
               {radial, LensModel::kRadial},
               {tangential, LensModel::kFull}};
  for (const auto& c : cases) {
    SCOPED_TRACE(LensModelName(c.expected));
    testing::SyntheticPair pair = MakePair(c.lens);
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, 0.3);
    for (int i = 1; i <= 9; ++i) {
      const demo::Target& t = demo::kControlTargets[i - 1];
      const ImagePoint l = ProjectToImage(c.lens, pair.truth.left, t.X, t.Y, t.Z);
      const ImagePoint r = ProjectToImage(c.lens, pair.truth.right, t.X, t.Y, t.Z);
      // One declaration per value keeps the order the noise is drawn in.
      const double xg = demo::ClickedPixel(l.x + noise(rng));
      const double yg = demo::ClickedPixel(l.y + noise(rng));
      const double xd = demo::ClickedPixel(r.x + noise(rng));
      const double yd = demo::ClickedPixel(r.y + noise(rng));
      pair.table.SetLeft(i, xg, yg);
      pair.table.SetRight(i, xd, yd);
    }
    TCameraParameters automatic, chosen;
    int counter = 5;
    const CalibrationOutcome a =
        CalibrateLensModel(pair.table, pair.W, pair.H, LensModel::kAuto, automatic, counter);
    EXPECT_EQ(counter, 0);
    EXPECT_EQ(a.lens_model, LensModelName(c.expected)) << a.lens_model_reason;
    EXPECT_EQ(a.lens_model_reason.rfind("auto: a1 ", 0), 0u) << a.lens_model_reason;
    EXPECT_EQ(a.fitted_names.size(), c.expected == LensModel::kNone     ? 15u
                                     : c.expected == LensModel::kRadial ? 16u
                                                                        : 20u);
    if (c.expected == LensModel::kFull) continue;  // a 20-parameter calibration is slow
    const CalibrationOutcome m =
        CalibrateLensModel(pair.table, pair.W, pair.H, c.expected, chosen, counter);
    EXPECT_TRUE(SameBits(automatic, chosen));
    EXPECT_EQ(m.lens_model_reason, "chosen");
    if (c.expected == LensModel::kNone) {
      TCameraParameters box;
      Calibrate(pair.table, pair.W, pair.H, false, box, counter);
      EXPECT_TRUE(SameBits(box, chosen));
    }
  }
  EXPECT_EQ(LensModelFromName("radial"), LensModel::kRadial);
  EXPECT_FALSE(LensModelFromName("Radial"));
}

TEST(Calibrate, ThreadCountDoesNotChangeTheResult) {
  const KeptPair pair = WrongValleyPair();
  TCameraParameters reference;
  CalibrationOutcome first;
  for (const int threads : {1, 2, 4}) {
    SCOPED_TRACE(threads);
    CalibrationOptions options;
    options.threads = threads;
    TCameraParameters camera;
    int counter = 0;
    const CalibrationOutcome outcome =
        Calibrate(pair.table, pair.W, pair.H, true, camera, counter, options);
    if (threads == 1) {
      reference = camera;
      first = outcome;
      continue;
    }
    EXPECT_TRUE(SameBits(camera, reference));
    EXPECT_EQ(outcome.winner, first.winner);
    ASSERT_EQ(outcome.starts.size(), first.starts.size());
    for (std::size_t k = 0; k < outcome.starts.size(); ++k) {
      EXPECT_EQ(outcome.starts[k].objective, first.starts[k].objective) << k;
      EXPECT_EQ(outcome.starts[k].iterations, first.starts[k].iterations) << k;
      EXPECT_EQ(outcome.starts[k].abandoned, first.starts[k].abandoned) << k;
    }
  }
}

// A long-lens pair made by the benchmark's generator (long-lens geometry, seed 8: f 10,394 px,
// 8.6 m away, 12.7 degrees of convergence, Y up, 8.9 px of distortion in the corners, 0.5 px
// click noise, millimetres). The classic start creeps into a valley of sigma0 ~ 10 px; the
// calibration used to spend 2,600 iterations of each start, 14 s, before the other start won.
KeptPair LongLensPair() {
  static const double points[9][7] = {
      {1417, 2007, 1481, 2035, -1042.4091752001636, -366.45572141238733, 542.77697860268313},
      {2479, 2055, 2554, 2021, -1730.004468907207, -373.98042750466175, -48.723070139956519},
      {2380, 1264, 2448, 1228, -1666.512846019245, 328.69940515350692, -2.4707303478972449},
      {1403, 1162, 1466, 1200, -1023.4350590787965, 378.89924105226919, 555.63757899485358},
      {1693, 1673, 1667, 1689, -980.02008759938212, -157.18815153767144, 178.39906259344789},
      {2206, 1754, 2143, 1739, -1188.4953225936456, -249.73023079284496, -192.44492378760339},
      {2168, 1296, 2148, 1280, -1284.1427110031061, 187.08807344521992, -78.597763597262485},
      {1547, 1292, 1529, 1320, -901.18985871578423, 171.23106690440034, 270.98117591379503},
      {1867, 1590, 1893, 1593, -1225.4207302625796, -26.530702462087916, 202.41696541017876}};
  KeptPair pair;
  pair.table = TableOfRows(points);
  pair.truth.internal = {
      10394.274046746905, 1932.908571645321, 1508.1521697122323, 5.684108507023127e-10, 0, 0, 0, 0};
  pair.truth.left = {25.154305150252068, 46.508240217358058,  -161.18728540895037,
                     5088.554624314861,  -2515.4857731290895, -5292.3818389782691};
  pair.truth.right = {20.72301672999162,  34.233691415430677,  -167.98470156315719,
                      3677.1498423553289, -2515.4857731290895, -6594.412819029144};
  return pair;
}

TEST(Calibrate, LongLensPairLandsOnTheTrueCamerasQuickly) {
  const KeptPair pair = LongLensPair();
  TCameraParameters camera;
  int counter = 0;
  const CalibrationOutcome outcome = Calibrate(pair.table, pair.W, pair.H, false, camera, counter);
  ASSERT_FALSE(outcome.joint_fit_failed);
  const StartRecord& kept = outcome.starts[outcome.winner];
  EXPECT_LT(kept.objective, 36 * 0.5L);  // the clicks' noise and the unmodelled distortion
  // Focal length and distance trade almost freely here, and so do the principal point and the
  // rotation (80 px of u0 is 0.008 rad): 1 % of each is close.
  EXPECT_NEAR(camera.internal.f, pair.truth.internal.f, 0.01 * pair.truth.internal.f);
  ExpectCameraNear(camera.left, pair.truth.left, 80.0, 0.01);
  ExpectCameraNear(camera.right, pair.truth.right, 80.0, 0.01);
  // Quickly: the winner converged in a few dozen Jacobians, and no start crept to its budget.
  EXPECT_LT(kept.iterations, 100);
  for (const StartRecord& s : outcome.starts) {
    EXPECT_FALSE(s.stopped_at_budget) << s.name;
    EXPECT_LE(s.iterations, kMinimiserBudget) << s.name;
  }
}

// The space coordinates of a table times `scale`.
PointTable Scaled(PointTable t, double scale) {
  for (int i = 0; i <= 9; ++i) {
    const SpacePoint p = t.Space(i);
    t.SetSpace(i, p.X * scale, p.Y * scale, p.Z * scale);
  }
  return t;
}

// Relative difference, against the larger magnitude (and `floor`, for values near zero).
double Relative(double a, double b, double floor) {
  return std::fabs(a - b) / std::max({std::fabs(a), std::fabs(b), floor});
}

TEST(Calibrate, LeastSquaresStartsDoNotDependOnTheUnit) {
  const testing::SyntheticPair demo_pair = MakePair(demo::kLens);
  const KeptPair long_lens = LongLensPair();
  struct Case {
    const char* what;
    const PointTable* table;
    int W, H;
  };
  for (const Case& c : {Case{"demo", &demo_pair.table, demo_pair.W, demo_pair.H},
                        Case{"long lens", &long_lens.table, long_lens.W, long_lens.H}}) {
    for (const bool distortion : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (distortion ? ", 20 parameters" : ", 15 parameters"));
      std::vector<StartRecord> reference;
      for (const double scale : {1.0, 1e-6, 1e-3, 1e3, 1e9}) {
        SCOPED_TRACE(scale);
        TCameraParameters camera;
        int counter = 0;
        const CalibrationOutcome o =
            Calibrate(Scaled(*c.table, scale), c.W, c.H, distortion, camera, counter);
        if (scale == 1.0) {
          reference = o.starts;
          continue;
        }
        for (std::size_t k = 0; k < o.starts.size(); ++k) {
          const StartRecord& s = o.starts[k];
          const StartRecord& r = reference[k];
          if (s.name.rfind("decomposition", 0) != 0) continue;
          SCOPED_TRACE(s.name);
          ASSERT_FALSE(s.failed || r.failed);
          EXPECT_LT(Relative(static_cast<double>(s.objective), static_cast<double>(r.objective), 0),
                    1e-10);
          const TCameraParameters& a = s.camera;
          const TCameraParameters& b = r.camera;
          // Ten significant digits of every parameter: pixel quantities against the focal
          // length, distortion by its effect, angles in degrees, centres in the unit. With
          // distortion eight: that fit is so ill-conditioned that one unit in the last place of
          // the nine X coordinates alone moves the demo's angles by 1.6E-9 of their value, and
          // scaled coordinates are rounded.
          const double tolerance = distortion ? 1e-8 : 1e-10;
          const double f = b.internal.f;
          EXPECT_LT(Relative(a.internal.f, f, 0), tolerance);
          EXPECT_LT(Relative(a.internal.u0, b.internal.u0, f), tolerance);
          EXPECT_LT(Relative(a.internal.v0, b.internal.v0, f), tolerance);
          for (const JointField& field : kJointFields) {
            if (field.photograph < 0) continue;
            const bool centre = field.external == &ExternalParameters::Tx ||
                                field.external == &ExternalParameters::Ty ||
                                field.external == &ExternalParameters::Tz;
            const double ref = CameraField(b, field);
            const double got = centre ? CameraField(a, field) / scale : CameraField(a, field);
            EXPECT_LT(Relative(got, ref, centre ? std::fabs(b.left.Tz) : 1.0), tolerance)
                << field.name;
          }
          if (distortion) {
            // The coefficients trade against each other; their joint radial displacement out
            // to the farthest control point, and each tangential one, in pixels against f.
            double reach = 0;
            for (int i = 1; i <= 9; ++i)
              reach = std::max({reach,
                                std::hypot(c.table->Left(i).x - b.internal.u0,
                                           c.table->Left(i).y - b.internal.v0),
                                std::hypot(c.table->Right(i).x - b.internal.u0,
                                           c.table->Right(i).y - b.internal.v0)});
            for (const double r : {reach / 2, reach}) {
              const double r2 = r * r;
              const double radial = ((a.internal.a1 - b.internal.a1) * r2 +
                                     (a.internal.a2 - b.internal.a2) * r2 * r2 +
                                     (a.internal.a3 - b.internal.a3) * r2 * r2 * r2) *
                                    r;
              EXPECT_LT(std::fabs(radial), tolerance * f) << r;
              EXPECT_LT(std::fabs(a.internal.p1 - b.internal.p1) * r2, tolerance * f);
              EXPECT_LT(std::fabs(a.internal.p2 - b.internal.p2) * r2, tolerance * f);
            }
          }
        }
      }
    }
  }
}

TEST(Calibrate, CancelledFitLeavesThePreviousCalibrationUntouched) {
  const KeptPair pair = LongLensPair();
  TCameraParameters previous;
  int counter = 0;
  Calibrate(WrongValleyPair().table, 4000, 3000, false, previous, counter);
  counter = 7;  // points measured since

  // A progress hook that does not stop changes nothing.
  int calls = 0;
  CalibrationOptions watched;
  watched.progress = [&calls](const CalibrationProgress& p) {
    ++calls;
    EXPECT_LE(p.starts_ended, p.starts);
  };
  TCameraParameters plain, observed;
  int ignored = 0;
  Calibrate(pair.table, pair.W, pair.H, true, plain, ignored);
  Calibrate(pair.table, pair.W, pair.H, true, observed, ignored, watched);
  EXPECT_TRUE(SameBits(plain, observed));
  EXPECT_GE(calls, 3);  // before the first round and after each

  // Stopped after its first round, mid-way through the joint fit.
  std::stop_source source;
  CalibrationOptions cancelled;
  cancelled.stop = source.get_token();
  cancelled.progress = [&source, n = 0](const CalibrationProgress&) mutable {
    if (++n == 2) source.request_stop();
  };
  TCameraParameters camera = previous;
  EXPECT_THROW(Calibrate(pair.table, pair.W, pair.H, true, camera, counter, cancelled),
               CalibrationCancelled);
  EXPECT_TRUE(SameBits(camera, previous));
  EXPECT_EQ(counter, 7);
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
  // Moves of each parameter in the order of kJointFields: distortion, internal, left, right.
  const long double scale[] = {1e-9L, 1e-15L, 1e-21L, 1e-7L, 1e-7L, 2, 2, 5,    1,    1,
                               1,     0.1L,   0.1L,   0.1L,  1,     1, 1, 0.1L, 0.1L, 0.1L};
  long double* fields[20];
  for (int k = 0; k < 20; ++k) fields[k] = &(m.*kJointFields[k].model);
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

namespace vistrel {
namespace {

// Control sets that cannot calibrate a pair well, each with the warnings it must give; the
// demo's own set gives none.
TEST(ControlPointCheck, DegenerateSetsAreNamedWithTheirPoints) {
  InternalParameters lens;
  lens.f = 2200;
  const PointTable good = testing::MakePair(lens).table;
  struct Case {
    const char* what;
    std::function<void(PointTable&)> spoil;
    std::vector<std::pair<std::string, std::vector<int>>> expected;  // text start, points
  };
  const Case cases[] = {
      {"the demo set", [](PointTable&) {}, {}},
      {"nine identical points, two on one pixel",
       [](PointTable& t) {
         for (int i = 1; i <= 9; ++i) t.SetSpace(i, 3, -2, 7);
         t.SetLeft(5, t.Left(1));
       },
       {{"control points 1, 2, 3, 4, 5, 6, 7, 8 and 9 have the same space",
         {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"control points 1 and 5 share one pixel of the left photograph", {1, 5}}}},
      {"two identical points",
       [](PointTable& t) { t.SetSpace(7, t.Space(4)); },
       {{"control points 4 and 7 have the same space", {4, 7}}}},
      {"collinear",
       [](PointTable& t) {
         for (int i = 1; i <= 9; ++i) t.SetSpace(i, 10.0 * i, -5.0 * i, 2.5 * i);
       },
       {{"the nine control points lie on one line", {}}}},
      {"coplanar",
       [](PointTable& t) {
         for (int i = 1; i <= 9; ++i) t.SetSpace(i, t.Space(i).X, t.Space(i).Y, 0);
       },
       {{"the nine control points lie in one plane", {}}}},
      {"one coordinate in other units",
       [](PointTable& t) { t.SetSpace(5, -2.5e10, t.Space(5).Y, t.Space(5).Z); },
       {{"control point 5 lies 2.5E10 from the others", {5}}}},
      {"a point far off a plane that holds the others",
       [](PointTable& t) {
         for (int i = 1; i <= 9; ++i) t.SetSpace(i, t.Space(i).X, t.Space(i).Y, i == 8 ? 3e9 : 0);
       },
       {{"control point 8 lies 3E9 from the others", {8}},
        {"control points 1, 2, 3, 4, 5, 6, 7 and 9 lie in one plane", {}}}},
      {"one pixel twice on the right",
       [](PointTable& t) { t.SetRight(9, t.Right(2)); },
       {{"control points 2 and 9 share one pixel of the right photograph", {2, 9}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PointTable t = good;
    c.spoil(t);
    const auto warnings = CheckControlPoints(t);
    ASSERT_EQ(warnings.size(), c.expected.size());
    for (std::size_t i = 0; i < warnings.size(); ++i) {
      EXPECT_EQ(warnings[i].text.rfind(c.expected[i].first, 0), 0u) << warnings[i].text;
      EXPECT_EQ(warnings[i].points, c.expected[i].second);
    }
  }
  // After the fit: sigma0 above the limit and a focal length that is not positive.
  EXPECT_TRUE(CheckCalibrationResult(kMaxSigma0Pixels, 2200).empty());
  const auto bad = CheckCalibrationResult(32.8, -15029741);
  ASSERT_EQ(bad.size(), 2u);
  EXPECT_EQ(bad[0].text.rfind("sigma0 is 32.8 px, above 5 px", 0), 0u) << bad[0].text;
  EXPECT_EQ(bad[1].text.rfind("the focal length is -1.50297e+07, not positive", 0), 0u)
      << bad[1].text;
}

}  // namespace
}  // namespace vistrel
