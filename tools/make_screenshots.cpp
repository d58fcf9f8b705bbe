// Screenshots of the main window on the demo project, for looking at the panes' guidance: the
// whole window after a calibration with a target captured on the left and measured (status
// table, epipolar guide on the right, loupe, the measurement and its precision at the memo's
// end), close-ups of each pane at 100 %, and the calibration quality window with every start of
// the joint fit.
//
// Usage: make_screenshots OUTPUT_DIR [REFERENCE]
//        (writes main.png, left_pane.png, right_pane.png, quality.png, and progress.png when
//        the calibration runs long enough to show its progress; REFERENCE replaces the demo's
//        control points; then the window at a 1366 x 768 laptop's and at 1920 x 1080 with
//        scale 2's logical size, and its least size on standard output)
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "photogrammetry/camera_model.h"
#include "tools/demo_scene.h"
#include "ui/main/application.h"
#include "ui/main/image_pane.h"
#include "ui/main/main_window.h"
#include "ui/main/quality_window.h"

namespace {

using vistrel::TForm1;

void Send(QWidget* box, QEvent::Type type, QPoint at, Qt::MouseButton button,
          Qt::KeyboardModifiers modifiers = {}) {
  QMouseEvent event(type, at, box->mapToGlobal(at), button,
                    type == QEvent::MouseMove ? Qt::NoButton : button, modifiers);
  QApplication::sendEvent(box, &event);
}

// Puts picture pixel (x, y) at pane position `at` at 100 %.
void ShowAt(vistrel::PaneView& pane, long double x, long double y, QPoint at) {
  pane.Slider()->setValue(100);
  pane.Geometry().ox = at.x() - std::lround(static_cast<double>(x));
  pane.Geometry().oy = at.y() - std::lround(static_cast<double>(y));
  pane.Box()->update();
}

bool Save(QWidget* widget, const QString& file) {
  QApplication::processEvents();
  const bool ok = widget->grab().save(file);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  vistrel::TApplication app(argc, argv);
  app.UseLanguage(vistrel::SystemLanguage());  // LANG=fr_FR.UTF-8 shows the French window
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: make_screenshots OUTPUT_DIR [REFERENCE]\n");
    return 1;
  }
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + "/";
  QDir().mkpath(out);
  // A scratch working directory with the demo's control points; settings go there too.
  QTemporaryDir work;
  std::filesystem::copy_file(
      argc == 3 ? std::filesystem::absolute(argv[2])
                : std::filesystem::path(VISTREL_SOURCE_DIR) / "examples/reference.txt",
      std::filesystem::path(work.path().toStdString()) / "reference.txt");
  std::filesystem::current_path(work.path().toStdString());

  TForm1 form(work.path().toStdString() + "/");
  form.resize(1400, 900);
  form.show();
  QApplication::processEvents();
  form.Button8Click();
  form.findChild<QCheckBox*>("CheckBox1")->setChecked(true);
  // The progress dialog, when the calibration runs long enough to show one (progress.png).
  QTimer::singleShot(650, [&out] {
    if (QWidget* dialog = QApplication::activeModalWidget())
      std::printf("%s %s\n",
                  dialog->grab().save(out + "progress.png") ? "wrote" : "could not write",
                  qPrintable(out + "progress.png"));
  });
  form.Button6Click();
  form.findChild<QComboBox*>("ComboBox1")->setCurrentIndex(0);
  form.Button14Click();
  bool ok = form.QualityWindow() && Save(form.QualityWindow(), out + "quality.png");
  if (form.QualityWindow()) form.QualityWindow()->hide();

  // Target B, captured on the left by a Shift-click a few pixels off its centre.
  const auto& b = vistrel::demo::kExtraTargets[1];
  const auto left =
      vistrel::ProjectToImage(vistrel::demo::kLens, vistrel::demo::kLeftCamera, b.X, b.Y, b.Z);
  const auto right =
      vistrel::ProjectToImage(vistrel::demo::kLens, vistrel::demo::kRightCamera, b.X, b.Y, b.Z);
  vistrel::PaneView& lp = form.LeftPane();
  vistrel::PaneView& rp = form.RightPane();
  ShowAt(lp, left.x, left.y, QPoint(140, 150));
  Send(lp.Box(), QEvent::MouseButtonPress, QPoint(143, 148), Qt::LeftButton, Qt::ShiftModifier);
  Send(lp.Box(), QEvent::MouseButtonRelease, QPoint(143, 148), Qt::LeftButton, Qt::ShiftModifier);
  form.Button12Click();
  Send(lp.Box(), QEvent::MouseMove, QPoint(150, 155), Qt::NoButton);
  ok = Save(lp.Box(), out + "left_pane.png") && ok;

  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(lp.Box(), &leave);
  ShowAt(rp, right.x, right.y, QPoint(200, 150));
  Send(rp.Box(), QEvent::MouseMove, QPoint(205, 150), Qt::NoButton);
  ok = Save(rp.Box(), out + "right_pane.png") && ok;

  // Target B on the right as well, then measured: the memo shows its line and its precision.
  Send(rp.Box(), QEvent::MouseButtonPress, QPoint(203, 152), Qt::LeftButton, Qt::ShiftModifier);
  Send(rp.Box(), QEvent::MouseButtonRelease, QPoint(203, 152), Qt::LeftButton, Qt::ShiftModifier);
  form.Button13Click();
  form.Button9Click();
  if (auto* memo = form.findChild<QPlainTextEdit*>("Memo1")) {
    memo->moveCursor(QTextCursor::End);
    memo->ensureCursorVisible();
  }

  // The whole window: both photographs fitted, the pointer near the target on the right.
  form.Button15Click();
  form.Button16Click();
  ok = Save(&form, out + "main.png") && ok;

  // The least size the window takes without scrolling, and the window on a 1366 x 768 laptop
  // (less a task bar and a title bar) and at its own least size, both photographs fitted.
  QApplication::processEvents();
  auto* scroll = form.findChild<QScrollArea*>("ClientScroll");
  const QSize content = scroll->widget()->minimumSizeHint();
  const QSize least = form.minimumSizeHint();
  std::printf("scale %g: window least %d x %d, without scrolling %d x %d (logical pixels)\n",
              form.devicePixelRatioF(), least.width(), least.height(),
              content.width() + (form.width() - scroll->viewport()->width()),
              content.height() + (form.height() - scroll->viewport()->height()));
  const QSize screens[] = {QSize(1366, 768 - 70), QSize(1920 / 2, 1080 / 2 - 70)};
  const char* names[] = {"main_1366x768.png", "main_1920x1080_scale2.png"};
  for (int i = 0; i < 2; ++i) {
    form.resize(screens[i]);
    QApplication::processEvents();
    form.Button15Click();
    form.Button16Click();
    ok = Save(&form, out + names[i]) && ok;
  }
  // The same, scrolled to the end: the commands under the memo.
  scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
  ok = Save(&form, out + "main_1920x1080_scale2_scrolled.png") && ok;
  form.hide();
  return ok ? 0 : 2;
}
