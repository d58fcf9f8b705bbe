#include "photogrammetry/quality.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <utility>

#include "photogrammetry/measurement.h"
#include "photogrammetry/report.h"
#include "synthetic_pair.h"
#include "tools/demo_scene.h"

namespace vistrel {
namespace {

InternalParameters PinholeLens() {
  InternalParameters lens = demo::kLens;
  lens.a1 = 0;
  return lens;
}

// The demo pair with Gaussian noise of `sigma` pixels on every click (then rounded).
PointTable NoisyTable(double sigma, unsigned seed, const InternalParameters& lens = PinholeLens()) {
  testing::SyntheticPair pair = testing::MakePair(lens);
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  for (int i = 1; i <= 9; ++i) {
    const demo::Target& t = demo::kControlTargets[i - 1];
    const ImagePoint l = ProjectToImage(lens, pair.truth.left, t.X, t.Y, t.Z);
    const ImagePoint r = ProjectToImage(lens, pair.truth.right, t.X, t.Y, t.Z);
    const auto click = [&noise, &rng](long double v) {
      return static_cast<double>(std::lround(static_cast<double>(v) + noise(rng)));
    };
    const double xg = click(l.x);
    const double yg = click(l.y);
    const double xd = click(r.x);
    const double yd = click(r.y);
    pair.table.SetLeft(i, xg, yg);
    pair.table.SetRight(i, xd, yd);
  }
  return pair.table;
}

CalibrationQuality CalibrateAndRate(const PointTable& table, bool distortion = false) {
  TCameraParameters camera;
  int counter = 0;
  const CalibrationOutcome outcome =
      Calibrate(table, demo::kImageWidth, demo::kImageHeight, distortion, camera, counter);
  EXPECT_FALSE(outcome.joint_fit_failed) << outcome.failure_reason;
  return ComputeQuality(table, camera, outcome);
}

TEST(CalibrationQuality, Sigma0FollowsTheClickNoise) {
  for (double sigma : {1.0, 2.0}) {
    // Averaged over a few pairs: one pair has only 21 degrees of freedom.
    double mean = 0;
    const int pairs = 4;
    for (int seed = 1; seed <= pairs; ++seed)
      mean += CalibrateAndRate(NoisyTable(sigma, seed)).sigma0;
    mean /= pairs;
    const double with_rounding = std::sqrt(sigma * sigma + 1.0 / 12.0);
    EXPECT_NEAR(mean, with_rounding, 0.3 * with_rounding) << "sigma " << sigma;
  }
}

TEST(CalibrationQuality, StandardErrorsShrinkWithTheNoise) {
  const CalibrationQuality rough = CalibrateAndRate(NoisyTable(2.0, 1));
  const CalibrationQuality fine = CalibrateAndRate(NoisyTable(0.5, 1));
  ASSERT_EQ(rough.parameters.size(), 15u);
  ASSERT_EQ(fine.parameters.size(), 15u);
  for (std::size_t k = 0; k < rough.parameters.size(); ++k) {
    ASSERT_TRUE(rough.parameters[k].standard_error) << rough.parameters[k].name;
    ASSERT_TRUE(fine.parameters[k].standard_error) << fine.parameters[k].name;
    EXPECT_GT(*fine.parameters[k].standard_error, 0) << fine.parameters[k].name;
    EXPECT_LT(*fine.parameters[k].standard_error, *rough.parameters[k].standard_error)
        << rough.parameters[k].name;
  }
  EXPECT_EQ(rough.parameters[2].name, "f");
  // About a pixel of noise on nine points leaves the focal length known to some pixels.
  EXPECT_LT(*fine.parameters[2].standard_error, 30);
}

// A standard error says how far the fitted value strays from the truth with such noise: over
// many noisy pairs the spread of the focal length and the principal point matches it; and the
// distortion coefficients, a millionfold smaller numbers than the rest, get errors of their own
// scale, which keep the demo lens's true a1 within reach of the fitted one.
TEST(CalibrationQuality, StandardErrorsMatchTheSpreadOfTheFits) {
  const int pairs = 40;
  long double sum[3] = {}, sum_sq[3] = {}, error[3] = {};
  for (int seed = 1; seed <= pairs; ++seed) {
    const CalibrationQuality q = CalibrateAndRate(NoisyTable(1.0, 100 + seed));
    for (int k = 0; k < 3; ++k) {  // u0, v0, f
      ASSERT_TRUE(q.parameters[k].standard_error) << q.parameters[k].name;
      sum[k] += q.parameters[k].value;
      sum_sq[k] += q.parameters[k].value * q.parameters[k].value;
      error[k] += *q.parameters[k].standard_error / pairs;
    }
  }
  for (int k = 0; k < 3; ++k) {
    const long double spread =
        std::sqrt((sum_sq[k] - sum[k] * sum[k] / pairs) / static_cast<long double>(pairs - 1));
    EXPECT_GT(spread / error[k], 0.6L) << k;
    EXPECT_LT(spread / error[k], 1.6L) << k;
  }

  const CalibrationQuality q = CalibrateAndRate(NoisyTable(0.5, 1, demo::kLens), true);
  ASSERT_EQ(q.parameters[0].name, "a1");
  ASSERT_TRUE(q.parameters[0].standard_error);
  EXPECT_LT(std::fabs(q.parameters[0].value - demo::kLens.a1), 3 * *q.parameters[0].standard_error);
  for (const ParameterQuality& p : q.parameters) EXPECT_TRUE(p.standard_error) << p.name;
}

// A measured point's standard errors say how far it strays from the truth: over many noisy pairs,
// each calibrated from its own noisy clicks and measuring the demo's four extra targets from
// noisy clicks as well, the RMS of error / sigma lies near 1 on every axis (1.09 to 1.14 here).
// Leaving out the observation's share would push it far above; the calibration's share is a
// real part of the depth error, not a rounding.
TEST(CalibrationQuality, PointPrecisionMatchesTheSpreadOfMeasurements) {
  constexpr double kSigma = 0.8;
  const InternalParameters lens = PinholeLens();
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0.0, kSigma);
  long double z2[3] = {}, camera_share = 0;
  int points = 0;
  for (int seed = 1; seed <= 40; ++seed) {
    const PointTable calibration_clicks = NoisyTable(kSigma, 300 + seed);
    PointTable table = calibration_clicks;
    TCameraParameters camera;
    int counter = 0;
    const CalibrationOutcome outcome =
        Calibrate(table, demo::kImageWidth, demo::kImageHeight, false, camera, counter);
    ASSERT_FALSE(outcome.joint_fit_failed);
    const CalibrationQuality q = ComputeQuality(table, camera, outcome);
    for (const demo::Target& t : demo::kExtraTargets) {
      const ImagePoint l = ProjectToImage(lens, demo::kLeftCamera, t.X, t.Y, t.Z);
      const ImagePoint r = ProjectToImage(lens, demo::kRightCamera, t.X, t.Y, t.Z);
      const auto click = [&noise, &rng](long double v) {
        return static_cast<double>(std::lround(static_cast<double>(v) + noise(rng)));
      };
      // One declaration per value keeps the order the noise is drawn in.
      const double xg = click(l.x);
      const double yg = click(l.y);
      const double xd = click(r.x);
      const double yd = click(r.y);
      table.SetLeft(0, xg, yg);
      table.SetRight(0, xd, yd);
      const MeasuredPoint m = MeasureObjectPoint(table, camera, counter);
      const auto p = MeasuredPointPrecision(table, camera, q, m.X, m.Y, m.Z, q.sigma0);
      ASSERT_TRUE(p);
      const auto camera_only = MeasuredPointPrecision(table, camera, q, m.X, m.Y, m.Z, 0);
      ASSERT_TRUE(camera_only);
      camera_share += camera_only->sz / p->sz;
      const long double error[3] = {m.X - t.X, m.Y - t.Y, m.Z - t.Z};
      const long double sigma[3] = {p->sx, p->sy, p->sz};
      for (int k = 0; k < 3; ++k) z2[k] += (error[k] / sigma[k]) * (error[k] / sigma[k]);
      ++points;
    }
  }
  for (int k = 0; k < 3; ++k) {
    const long double rms = std::sqrt(z2[k] / points);
    EXPECT_GT(rms, 0.7L) << "axis " << k;
    EXPECT_LT(rms, 1.4L) << "axis " << k;
  }
  // Both shares matter here: the calibration's is neither all nor nothing of the depth error.
  EXPECT_GT(camera_share / points, 0.3L);
  EXPECT_LT(camera_share / points, 0.95L);

  // Without the calibration's covariance (a failed joint fit) there is no precision.
  CalibrationQuality failed = CalibrateAndRate(NoisyTable(kSigma, 1));
  failed.covariance.clear();
  EXPECT_FALSE(MeasuredPointPrecision(demo::ClickedControlPoints(lens),
                                      testing::MakePair(lens).truth, failed, 0, 0, 25, 1));
}

TEST(CalibrationQuality, MisClickedPointStandsOut) {
  // Points whose error leaves the start values sound; an error on some other points of this
  // small frame sends the candidate search of the start values astray, which then shows as a
  // sigma0 far above the click noise instead.
  for (int bad : {1, 5, 7}) {
    PointTable table = NoisyTable(0.5, 3);
    table.SetLeft(bad, table.Left(bad).x + 15, table.Left(bad).y);
    const CalibrationQuality q = CalibrateAndRate(table);
    const auto sorted = q.ByLargestResidual();
    EXPECT_EQ(sorted.front().point, bad);
    for (const ControlPointQuality& p : q.points) {
      EXPECT_EQ(p.flagged, p.point == bad) << "bad " << bad << ", point " << p.point;
    }
  }
}

TEST(CalibrationQuality, FailedFitHasNoStandardErrors) {
  const PointTable table = NoisyTable(1.0, 1);
  TCameraParameters camera;
  int counter = 0;
  CalibrationOutcome outcome =
      Calibrate(table, demo::kImageWidth, demo::kImageHeight, false, camera, counter);
  outcome.joint_fit_failed = true;
  const CalibrationQuality q = ComputeQuality(table, camera, outcome);
  for (const ParameterQuality& p : q.parameters) EXPECT_FALSE(p.standard_error) << p.name;
  const auto lines = QualityLines(q, '.');
  const std::string& last_parameter = lines[lines.size() - 1 - outcome.starts.size() - 1];
  EXPECT_EQ(last_parameter.substr(last_parameter.size() - 13), "not available");
  EXPECT_EQ(lines.back(), "winner none");
}

TEST(CalibrationQuality, TextLinesForScripts) {
  const PointTable table = NoisyTable(1.0, 2);
  TCameraParameters camera;
  int counter = 0;
  const CalibrationOutcome outcome =
      Calibrate(table, demo::kImageWidth, demo::kImageHeight, true, camera, counter);
  const auto before = ReportLines(table, camera, '.');
  const CalibrationQuality q = ComputeQuality(table, camera, outcome);
  EXPECT_EQ(ReportLines(table, camera, '.'), before);
  EXPECT_EQ(q.fitted_parameters, 20);
  const auto lines = QualityLines(q, '.');
  ASSERT_EQ(lines.size(), 1u + 9u + 3u + 20u + outcome.starts.size() + 2u);
  for (int i = 1; i <= 9; ++i) {
    std::istringstream words(lines[i]);
    std::string w;
    int count = 0;
    while (words >> w) ++count;
    EXPECT_EQ(count, 11) << lines[i];
  }
  EXPECT_EQ(lines[13].rfind("parameter a1 ", 0), 0u);
  EXPECT_EQ(lines[21].rfind("parameter left.Tx ", 0), 0u);
  // Then every start in its fixed order, and the one kept.
  ASSERT_EQ(outcome.starts.size(), 6u);
  const char* names[] = {"dlt",        "reprojection",        "decomposition",
                         "dlt-staged", "reprojection-staged", "decomposition-staged"};
  for (std::size_t k = 0; k < 6; ++k) {
    std::istringstream words(lines[33 + k]);
    std::string start, name, objective, iterations;
    long double value = 0;
    long long count = -1;
    words >> start >> name >> objective >> value >> iterations >> count;
    EXPECT_EQ(start + " " + name + " " + objective,
              std::string("start ") + names[k] + " objective");
    EXPECT_EQ(iterations, "iterations");
    EXPECT_EQ(count, outcome.starts[k].iterations);
  }
  EXPECT_EQ(lines[lines.size() - 2], "winner " + outcome.starts[outcome.winner].name);
  EXPECT_EQ(lines.back().rfind("distortion F ", 0), 0u);
}

// The F(d1, d2) distribution function by integrating its density (midpoint rule; d1 >= 2).
double FCumulative(double x, double d1 = 5, double d2 = 16) {
  const double log_beta = std::lgamma(d1 / 2) + std::lgamma(d2 / 2) - std::lgamma((d1 + d2) / 2);
  const int steps = 200000;
  double sum = 0;
  for (int i = 0; i < steps; ++i) {
    const double t = (i + 0.5) * x / steps;
    sum += std::exp(
        0.5 * (d1 * std::log(d1 * t) + d2 * std::log(d2) - (d1 + d2) * std::log(d1 * t + d2)) -
        std::log(t) - log_beta);
  }
  return sum * x / steps;
}

TEST(CalibrationQuality, DistortionCoefficientsAreTestedForSignificance) {
  EXPECT_NEAR(FCumulative(static_cast<double>(kDistortionFCritical)), 0.95, 1e-6);
  // The 95 % points for the degrees of freedom of more control points (6, 20 and 500 points).
  for (const auto& [d1, d2] : {std::pair(5, 4), std::pair(4, 60), std::pair(5, 1980)}) {
    EXPECT_NEAR(FCumulative(static_cast<double>(FCritical95(d1, d2)), d1, d2), 0.95, 1e-6)
        << d1 << " " << d2;
  }
  struct Case {
    const char* what;
    InternalParameters lens;
    bool significant;
  };
  // The demo lens bends its corners by about 10 px, but the nine points sit where a change of
  // focal length and pose absorbs most of that; three times as much stands out of the noise.
  InternalParameters strong = demo::kLens;
  strong.a1 *= 3;
  for (const Case& c : {Case{"pinhole", PinholeLens(), false},
                        Case{"demo lens", demo::kLens, false}, Case{"strong lens", strong, true}}) {
    SCOPED_TRACE(c.what);
    const PointTable table = NoisyTable(0.5, 1, c.lens);
    TCameraParameters camera;
    int counter = 0;
    const CalibrationOutcome plain =
        Calibrate(table, demo::kImageWidth, demo::kImageHeight, false, camera, counter);
    EXPECT_FALSE(plain.distortion_significance);
    const CalibrationOutcome full =
        Calibrate(table, demo::kImageWidth, demo::kImageHeight, true, camera, counter);
    ASSERT_TRUE(full.distortion_significance);
    const DistortionSignificance& d = *full.distortion_significance;
    // Compared against the very objective the 15-parameter calibration ends with.
    EXPECT_EQ(d.without_distortion, plain.starts[plain.winner].objective);
    EXPECT_EQ(d.with_distortion, full.starts[full.winner].objective);
    EXPECT_NEAR(d.F, (d.without_distortion / d.with_distortion - 1) * 16 / 5, 1e-12L * d.F);
    EXPECT_EQ(d.significant, c.significant) << "F " << static_cast<double>(d.F);
  }
  // The classic start alone has no 15-parameter stage to compare with.
  TCameraParameters camera;
  int counter = 0;
  CalibrationOptions single;
  single.single_start = true;
  EXPECT_FALSE(Calibrate(NoisyTable(0.5, 1), demo::kImageWidth, demo::kImageHeight, true, camera,
                         counter, single)
                   .distortion_significance);
}

}  // namespace
}  // namespace vistrel
