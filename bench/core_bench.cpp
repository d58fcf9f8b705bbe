// Speed of the computing core on the demo stereo pair: one joint-model evaluation amortised over
// a whole fit, the two calibrations and a measurement.

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "numeric/fit.h"
#include "photogrammetry/calibration.h"
#include "photogrammetry/measurement.h"
#include "photogrammetry/models.h"
#include "tools/demo_scene.h"

namespace {

using namespace vistrel;

PointTable DemoTable() { return demo::ClickedControlPoints(); }

// Time per TDemoModel1 evaluation inside a 20-parameter fit started near the solution, where
// the minimiser's own bookkeeping is included, as in a real calibration.
void BM_JointObjectiveInFit(benchmark::State& state) {
  const PointTable table = DemoTable();
  std::int64_t evaluations = 0;
  for (auto _ : state) {
    TDemoModel1 m(table);
    m.f = 2150;
    m.u0 = 800;
    m.v0 = 600;
    m.left_Tx = -38;
    m.left_Ty = 4;
    m.left_Tz = -232;
    m.left_Alpha = 1.5L;
    m.left_Beta = -8.5L;
    m.left_Gamma = 1.0L;
    m.right_Tx = 43;
    m.right_Ty = 1;
    m.right_Tz = -223;
    m.right_Alpha = -1;
    m.right_Beta = 7.5L;
    m.right_Gamma = -0.5L;
    std::vector<long double*> p = {&m.u0,          &m.v0,         &m.f,          &m.left_Tx,
                                   &m.left_Ty,     &m.left_Tz,    &m.left_Alpha, &m.left_Beta,
                                   &m.left_Gamma,  &m.right_Tx,   &m.right_Ty,   &m.right_Tz,
                                   &m.right_Alpha, &m.right_Beta, &m.right_Gamma};
    TFitFunction counted = [&m, &evaluations] {
      ++evaluations;
      return m.Evaluate();
    };
    IFit fit = CreateFit(p, counted);
    fit->Fit();
    benchmark::DoNotOptimize(m.f);
  }
  state.counters["evaluations_per_fit"] =
      benchmark::Counter(static_cast<double>(evaluations) / state.iterations());
  state.counters["s_per_evaluation"] = benchmark::Counter(
      static_cast<double>(evaluations), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_JointObjectiveInFit)->Unit(benchmark::kMillisecond);

void BM_PlainJointObjective(benchmark::State& state) {
  const PointTable table = DemoTable();
  TDemoModel1 m(table);
  m.f = 2200;
  m.u0 = 806;
  m.v0 = 596;
  m.left_Tz = -230;
  m.right_Tz = -225;
  for (auto _ : state) benchmark::DoNotOptimize(m.EvaluatePlain());
}
BENCHMARK(BM_PlainJointObjective)->Unit(benchmark::kNanosecond);

void BM_Calibrate(benchmark::State& state) {
  const PointTable table = DemoTable();
  const bool distortion = state.range(0) != 0;
  for (auto _ : state) {
    TCameraParameters camera;
    int counter = 0;
    benchmark::DoNotOptimize(
        Calibrate(table, demo::kImageWidth, demo::kImageHeight, distortion, camera, counter));
  }
  state.SetLabel(distortion ? "20 parameters" : "15 parameters");
}
BENCHMARK(BM_Calibrate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The demo pair with `n` control points spread through its volume (the first nine the demo's),
// at sub-pixel positions with a hundredth of a pixel of deterministic scatter.
PointTable ManyControlPoints(int n) {
  PointTable table = DemoTable();
  for (int k = 0; k + 9 < n; ++k) {
    const double X = -45.0 + 90.0 * ((k * 37) % 101) / 100.0;
    const double Y = -30.0 + 60.0 * ((k * 53) % 97) / 96.0;
    const double Z = 40.0 * ((k * 29) % 89) / 88.0;
    const ImagePoint l = ProjectToImage(demo::kLens, demo::kLeftCamera, X, Y, Z);
    const ImagePoint r = ProjectToImage(demo::kLens, demo::kRightCamera, X, Y, Z);
    const double scatter = 0.01 * ((k % 7) - 3);
    const int i = table.Add("P" + std::to_string(k), PointKind::kControl);
    table.SetLeft(i, static_cast<double>(l.x) + scatter, static_cast<double>(l.y) - scatter);
    table.SetRight(i, static_cast<double>(r.x) - scatter, static_cast<double>(r.y) + scatter);
    table.SetSpace(i, X, Y, Z);
  }
  return table;
}

// The 15-parameter calibration from many control points; goals: 50 points within 50 ms, 500
// within 0.5 s of processor time.
void BM_CalibrateControlPoints(benchmark::State& state) {
  const PointTable table = ManyControlPoints(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TCameraParameters camera;
    int counter = 0;
    benchmark::DoNotOptimize(
        Calibrate(table, demo::kImageWidth, demo::kImageHeight, false, camera, counter));
  }
  state.SetLabel(std::to_string(state.range(0)) + " control points, 15 parameters");
}
BENCHMARK(BM_CalibrateControlPoints)
    ->Arg(9)
    ->Arg(50)
    ->Arg(500)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

void BM_Measure(benchmark::State& state) {
  PointTable table = DemoTable();
  TCameraParameters camera;
  int counter = 0;
  Calibrate(table, demo::kImageWidth, demo::kImageHeight, true, camera, counter);
  const demo::Target& t = demo::kExtraTargets[1];
  const ImagePoint l = ProjectToImage(demo::kLens, demo::kLeftCamera, t.X, t.Y, t.Z);
  const ImagePoint r = ProjectToImage(demo::kLens, demo::kRightCamera, t.X, t.Y, t.Z);
  table.SetLeft(0, demo::ClickedPixel(l.x), demo::ClickedPixel(l.y));
  table.SetRight(0, demo::ClickedPixel(r.x), demo::ClickedPixel(r.y));
  for (auto _ : state) benchmark::DoNotOptimize(MeasureObjectPoint(table, camera, counter));
}
BENCHMARK(BM_Measure)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
