// Window speed on a 24-megapixel photograph: JPEG decoding against libjpeg-turbo's own djpeg on
// the same file, the repaint of a pane at zoom 10 %, 100 % and 300 %, and a pointer move with
// the loupe at 10 %, 100 % and 800 %.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "pictures/picture_loader.h"
#include "ui/main/image_pane.h"
#include "ui/main/main_window.h"

namespace {

const std::string& BigJpeg() {
  static const std::string path = [] {
    const std::string p = std::filesystem::temp_directory_path() / "vistrel_bench_6000x4000.jpg";
    if (!std::filesystem::exists(p)) {
      // The demo photograph enlarged, with grain so that it compresses like a real photograph.
      QImage source(QString(VISTREL_SOURCE_DIR) + "/examples/left.jpg");
      QImage big = source.scaled(6000, 4000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32);
      std::mt19937 random(7);
      std::uniform_int_distribution<int> grain(-6, 6);
      for (int y = 0; y < big.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(big.scanLine(y));
        for (int x = 0; x < big.width(); ++x) {
          const int g = grain(random);
          const QRgb c = row[x];
          row[x] = qRgb(std::clamp(qRed(c) + g, 0, 255), std::clamp(qGreen(c) + g, 0, 255),
                        std::clamp(qBlue(c) + g, 0, 255));
        }
      }
      big.save(QString::fromStdString(p), "JPG", 90);
    }
    return p;
  }();
  return path;
}

void BM_LoadJpeg6000x4000(benchmark::State& state) {
  const QString path = QString::fromStdString(BigJpeg());
  for (auto _ : state) {
    QImage image = vistrel::LoadPicture(path);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_LoadJpeg6000x4000)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

void BM_Djpeg6000x4000(benchmark::State& state) {
  const std::string command = "djpeg -outfile /dev/null " + BigJpeg();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("djpeg failed");
  }
}
BENCHMARK(BM_Djpeg6000x4000)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

// A maximised window on a full-HD screen with the 24-megapixel photograph in the left pane.
vistrel::TForm1& BigForm() {
  static vistrel::TForm1* form = [] {
    auto* f = new vistrel::TForm1(std::filesystem::temp_directory_path().string() + "/");
    f->resize(1920, 1080);
    f->show();
    f->LoadPanePicture(f->LeftPane(), QString::fromStdString(BigJpeg()));
    return f;
  }();
  return *form;
}

void BM_RepaintPane(benchmark::State& state) {
  vistrel::PaneView& pane = BigForm().LeftPane();
  pane.Slider()->setValue(static_cast<int>(state.range(0)));
  pane.Geometry().ox = -static_cast<int>(pane.Geometry().wd / 3);
  pane.Geometry().oy = -static_cast<int>(pane.Geometry().hd / 3);
  // The pane's whole paint handler, into an image like the window's backing store.
  QImage target(pane.Box()->size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    pane.Box()->render(&target);
    benchmark::DoNotOptimize(target.constBits());
  }
  state.counters["pane_px"] = pane.Box()->width() * pane.Box()->height();
}
BENCHMARK(BM_RepaintPane)->Arg(10)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond);

// One pointer move over a pane with the loupe shown, repaint included: the move handler, then
// the paint of what it marked dirty (the loupe's old and new places).
void BM_PointerMoveWithLoupe(benchmark::State& state) {
  vistrel::TForm1& form = BigForm();
  vistrel::PaneView& pane = form.LeftPane();
  pane.Geometry().SetZoomPercent(static_cast<int>(state.range(0)));
  pane.Geometry().ox = -static_cast<int>(pane.Geometry().wd / 3);
  pane.Geometry().oy = -static_cast<int>(pane.Geometry().hd / 3);
  pane.Box()->repaint();
  const int w = pane.Box()->width(), h = pane.Box()->height();
  int k = 0;
  for (auto _ : state) {
    // Across the pane and back, so the loupe changes sides now and then.
    const QPoint at(20 + (k * 37) % (w - 40), 20 + (k * 23) % (h - 40));
    ++k;
    QMouseEvent move(QEvent::MouseMove, at, pane.Box()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(pane.Box(), &move);
    QApplication::processEvents();
  }
}
BENCHMARK(BM_PointerMoveWithLoupe)
    ->Arg(10)
    ->Arg(100)
    ->Arg(800)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
