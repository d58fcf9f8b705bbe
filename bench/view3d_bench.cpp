// Speed of the 3D window on a geometry file of 10,000 points and 5,000 lines: one frame, one
// pick, opening the window (read, build, first frame) and closing it (write back).
// OpenGL needs an X server: run under xvfb-run -a.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "project/geom_file.h"
#include "scene/viewer.h"
#include "ui/view3d/reconstruction_window.h"

namespace {

constexpr int kPoints = 10000;
constexpr int kLines = 5000;

// Points spread over a 100 x 100 x 50 file-unit block (1 x 1 x 0.5 scene units at SCALE 0.01),
// lines between random pairs of them.
std::string WriteLargeGeometry(const QTemporaryDir& dir) {
  const std::string path = dir.filePath("geom.txt").toStdString();
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> xy(-50, 50), z(0, 50);
  std::vector<vistrel::RewritePoint> points;
  for (int i = 0; i < kPoints; ++i) points.push_back({xy(rng), xy(rng), z(rng), true});
  std::uniform_int_distribution<int> pick(0, kPoints - 1);
  std::vector<vistrel::RewriteLine> lines;
  for (int i = 0; i < kLines; ++i) {
    const auto& a = points[pick(rng)];
    const auto& b = points[pick(rng)];
    lines.push_back({a.x, a.y, a.z, b.x, b.y, b.z, true});
  }
  vistrel::RewriteGeometry(path, points, lines);
  return path;
}

struct Fixture {
  QTemporaryDir dir;
  std::string path = WriteLargeGeometry(dir);
  vistrel::view3d::TForm2 form{0.01, 0.01, path};
  Fixture() {
    form.inform = [](const QString&) {};
    form.show();
    QApplication::processEvents();
  }
};

Fixture& Shared() {
  static Fixture* fixture = new Fixture();
  return *fixture;
}

void BM_Frame(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    // Renders into the widget's framebuffer and reads it back, so the frame is finished.
    benchmark::DoNotOptimize(f.form.viewer()->grabFramebuffer());
  }
  state.counters["nodes"] =
      double(f.form.geometry().points().size() + f.form.geometry().lines().size());
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The same frame without the height overlays (drop lines and grid).
void BM_FrameWithoutHeights(benchmark::State& state) {
  Fixture& f = Shared();
  f.form.controls().HeightCheck->setChecked(false);
  for (auto _ : state) benchmark::DoNotOptimize(f.form.viewer()->grabFramebuffer());
  f.form.controls().HeightCheck->setChecked(true);
}
BENCHMARK(BM_FrameWithoutHeights)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_Pick(benchmark::State& state) {
  Fixture& f = Shared();
  vistrel::scene::SceneViewer* viewer = f.form.viewer();
  int hits = 0;
  for (auto _ : state) {
    hits += f.form.viewer()->Pick(viewer->width() / 2 + 40, viewer->height() / 2 - 60) != nullptr;
  }
  state.counters["hit_rate"] = double(hits) / double(state.iterations());
}
BENCHMARK(BM_Pick)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The window's activation: read geom.txt, build 15,000 nodes, draw the first frame.
void BM_Open(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    f.form.FormActivate();
    benchmark::DoNotOptimize(f.form.viewer()->grabFramebuffer());
  }
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The close after an edit: write back every record and destroy the nodes.
void BM_Close(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    state.PauseTiming();
    f.form.FormActivate();
    f.form.geometry().RightClick(vistrel::view3d::EditMode::kDeleteLine,
                                 f.form.geometry().lines().back(),
                                 [](const std::string&) { return true; });
    state.ResumeTiming();
    f.form.FormClose();
  }
  f.form.FormActivate();
}
BENCHMARK(BM_Close)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    std::fprintf(stderr, "view3d_bench needs an X server: run it under xvfb-run -a\n");
    return 0;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QSurfaceFormat::setDefaultFormat(vistrel::scene::SceneViewer::RequestedFormat());
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
