// The demo project end to end, by mouse: load the control points, calibrate, click a target in
// both photographs, store, measure, save.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "photogrammetry/camera_model.h"
#include "tools/demo_scene.h"
#include "ui/main/image_pane.h"
#include "ui/main/main_window.h"
#include "window_test_support.h"

namespace vistrel {
namespace {

using testing::Messages;

struct Pixel {
  int x, y;
};

Pixel TrueProjection(const ExternalParameters& camera, const demo::Target& t) {
  const ImagePoint p = ProjectToImage(demo::kLens, camera, t.X, t.Y, t.Z);
  return {static_cast<int>(std::lround(static_cast<double>(p.x))),
          static_cast<int>(std::lround(static_cast<double>(p.y)))};
}

// Drags the picture with the right button until `target` sits at pane position (150, 100), then
// clicks it with the left button.
void ClickPicturePixel(TForm1::Pane& pane, Pixel target) {
  QWidget* box = pane.box;
  const QPoint want(150, 100);
  const QPoint now(static_cast<int>(pane.geometry.ox) + target.x,
                   static_cast<int>(pane.geometry.oy) + target.y);
  QTest::mousePress(box, Qt::RightButton, {}, QPoint(300, 200));
  QTest::mouseRelease(box, Qt::RightButton, {}, QPoint(300, 200) + want - now);
  QTest::mouseClick(box, Qt::LeftButton, {}, want);
}

bool Dark(const QColor& c) { return c.value() < 70; }
bool Yellow(const QColor& c) { return c.red() > 180 && c.green() > 150 && c.blue() < 90; }

TEST(Workflow, DemoProjectMeasuresATargetNearItsTruePosition) {
  testing::ScratchDirectory dir;
  Messages().clear();
  std::filesystem::copy_file(testing::SourceDir() / "examples/reference.txt",
                             dir.path() / "reference.txt");
  TForm1 form(dir.program_directory());
  form.resize(1005, 739);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const auto click = [&form](const char* name) {
    QTest::mouseClick(form.findChild<QPushButton*>(name), Qt::LeftButton);
  };
  const auto text = [&form](const char* name) { return form.findChild<QLineEdit*>(name)->text(); };

  // The built-in photographs show the control targets where the control-point file puts them:
  // the red centre dot of target 1.
  click("Button8");
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
  const PointTable& table = form.Table();
  const QColor centre = form.LeftPane().picture.pixelColor(table.xg[1], table.yg[1]);
  EXPECT_GT(centre.red(), 150);
  EXPECT_LT(centre.green(), 100);
  auto* memo = form.findChild<QPlainTextEdit*>("Memo1");
  EXPECT_EQ(memo->document()->blockCount(), 72);
  EXPECT_TRUE(memo->toPlainText().startsWith("CONTROL POINTS\nControl point n° 1\n"));

  click("Button6");
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
  EXPECT_NEAR(std::abs(form.CameraParameters().internal.f), demo::kLens.f, 0.02 * demo::kLens.f);
  EXPECT_NEAR(form.CameraParameters().left.Tx, demo::kLeftCamera.Tx, 2.0);
  EXPECT_EQ(memo->document()->blockCount(), 72);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the hourglass is gone again

  // Target B, clicked in both photographs as the observation point.
  const demo::Target& b = demo::kExtraTargets[1];
  form.findChild<QComboBox*>("ComboBox1")->setCurrentIndex(0);
  const Pixel left = TrueProjection(demo::kLeftCamera, b);
  const Pixel right = TrueProjection(demo::kRightCamera, b);
  // The photograph shows the quartered target there.
  const QImage& photo = form.LeftPane().picture;
  EXPECT_TRUE(Dark(photo.pixelColor(left.x + 4, left.y + 4)));
  EXPECT_TRUE(Yellow(photo.pixelColor(left.x + 4, left.y - 4)));
  ClickPicturePixel(form.LeftPane(), left);
  EXPECT_EQ(text("xg1").toInt(), left.x);
  EXPECT_EQ(text("yg1").toInt(), left.y);
  click("Button12");
  ClickPicturePixel(form.RightPane(), right);
  EXPECT_EQ(text("xd1").toInt(), right.x);
  click("Button13");
  EXPECT_EQ(table.xg[0], left.x);
  EXPECT_EQ(table.yd[0], right.y);

  click("Button9");
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
  EXPECT_TRUE(memo->document()->lastBlock().text().startsWith("Object point n° 1       x : "));
  click("Button10");
  click("Button9");  // measured again: numbered 2, same place
  click("Button10");
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();

  std::ifstream geom(dir.path() / "geom.txt", std::ios::binary);
  std::string line;
  int records = 0;
  while (std::getline(geom, line)) {
    ++records;
    ASSERT_EQ(line.substr(0, 3), "p  ");
    ASSERT_EQ(line.back(), '\r');
    std::istringstream numbers(line.substr(3));
    double x, y, z;
    numbers >> x >> y >> z;
    EXPECT_NEAR(x, b.X, 0.3);
    EXPECT_NEAR(y, b.Y, 0.3);
    EXPECT_NEAR(z, b.Z, 0.6);
  }
  EXPECT_EQ(records, 2);

  // For a look at the result: VISTREL_SCREENSHOT=/tmp/workflow.png
  if (const char* shot = std::getenv("VISTREL_SCREENSHOT")) {
    for (TForm1::Pane* pane : {&form.LeftPane(), &form.RightPane()}) {
      pane->slider->setValue(26);
      QTest::mouseClick(form.findChild<QPushButton*>(pane->left ? "Button2" : "Button4"),
                        Qt::LeftButton);
    }
    form.grab().save(shot);
  }
  form.hide();
}

}  // namespace
}  // namespace vistrel
