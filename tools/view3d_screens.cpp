// Writes screenshots of the 3D window on a geometry file: opening.png, zoomed_in.png (fifteen
// wheel notches towards the target), fit.png (after Fit), labels.png (fit, point numbers, drop
// lines and grid) and selected.png (two points selected, with the measure line). The file is
// copied first, so it is never rewritten.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>

#include "scene/viewer.h"
#include "ui/view3d/reconstruction_window.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: view3d_screens GEOM OUTDIR\n");
    return 1;
  }
  QSurfaceFormat::setDefaultFormat(vistrel::scene::SceneViewer::RequestedFormat());
  QApplication app(argc, argv);
  QTemporaryDir scratch;
  const QString geom = scratch.filePath("geom.txt");
  if (!QFile::copy(argv[1], geom)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const QString out = argv[2];
  QDir().mkpath(out);

  vistrel::view3d::TForm2 form(0.01, 0.01, geom.toStdString());
  form.inform = [](const QString& m) { std::fprintf(stderr, "%s\n", qPrintable(m)); };
  form.keypad_state = [] { return std::bitset<10>(); };
  form.show();
  for (int i = 0; i < 5; ++i) app.processEvents();
  auto shot = [&](const char* name) {
    app.processEvents();
    const QImage picture = form.grab().toImage();
    const QImage view = form.viewer()->grabFramebuffer();
    QImage whole = picture;
    // The window's own grab leaves the GL area blank on some platforms: paint the frame in.
    {
      QPainter painter(&whole);
      painter.drawImage(form.viewer()->mapTo(&form, QPoint(0, 0)), view);
    }
    whole.save(out + "/" + name + ".png");
    std::printf("%s/%s.png\n", qPrintable(out), name);
  };
  shot("opening");
  for (int i = 0; i < 15; ++i) form.FormMouseWheel(-120);
  shot("zoomed_in");
  form.Fit();
  shot("fit");
  form.controls().LabelsCombo->setCurrentIndex(1);
  form.controls().HeightCheck->setChecked(true);
  shot("labels");
  const auto& points = form.geometry().points();
  if (points.size() >= 2) {
    for (int i : {0, 1}) {
      double x = 0, y = 0;
      form.viewer()->ProjectToWidget(points[size_t(i)]->AbsolutePosition(), x, y);
      form.GLSceneViewer1MouseDown(Qt::RightButton, int(x), int(y));
    }
  }
  form.controls().LabelsCombo->setCurrentIndex(2);
  shot("selected");
  form.reject();
  return 0;
}
