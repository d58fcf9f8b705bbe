// The demo project end to end, by mouse: load the control points, calibrate, click a target in
// both photographs, store, measure, save.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <cmath>
#include <cstdlib>
#include <cstring>
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
void ClickPicturePixel(PaneView& pane, Pixel target) {
  QWidget* box = pane.Box();
  const QPoint want(150, 100);
  const QPoint now(static_cast<int>(pane.Geometry().ox) + target.x,
                   static_cast<int>(pane.Geometry().oy) + target.y);
  QTest::mousePress(box, Qt::RightButton, {}, QPoint(300, 200));
  QTest::mouseRelease(box, Qt::RightButton, {}, QPoint(300, 200) + want - now);
  QTest::mouseClick(box, Qt::LeftButton, {}, want);
}

bool Dark(const QColor& c) { return c.value() < 70; }
bool Yellow(const QColor& c) { return c.red() > 180 && c.green() > 150 && c.blue() < 90; }

using Workflow = testing::DemoWindowTest;

TEST_F(Workflow, DemoProjectMeasuresATargetNearItsTruePosition) {
  const auto text = [this](const char* name) { return Child<QLineEdit>(name)->text(); };

  // The built-in photographs show the control targets where the control-point file puts them:
  // the red centre dot of target 1.
  Click("Button8");
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
  const PointTable& table = form_->Table();
  const QColor centre = form_->LeftPane().Picture().pixelColor(table.xg[1], table.yg[1]);
  EXPECT_GT(centre.red(), 150);
  EXPECT_LT(centre.green(), 100);
  auto* memo = Child<QPlainTextEdit>("Memo1");
  EXPECT_EQ(memo->document()->blockCount(), 72);
  EXPECT_TRUE(memo->toPlainText().startsWith("CONTROL POINTS\nControl point n° 1\n"));

  Click("Button6");
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
  EXPECT_NEAR(std::abs(form_->CameraParameters().internal.f), demo::kLens.f, 0.02 * demo::kLens.f);
  EXPECT_NEAR(form_->CameraParameters().left.Tx, demo::kLeftCamera.Tx, 2.0);
  EXPECT_EQ(memo->document()->blockCount(), 72);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the hourglass is gone again

  // Target B, clicked in both photographs as the observation point.
  const demo::Target& b = demo::kExtraTargets[1];
  Child<QComboBox>("ComboBox1")->setCurrentIndex(0);
  const Pixel left = TrueProjection(demo::kLeftCamera, b);
  const Pixel right = TrueProjection(demo::kRightCamera, b);
  // The photograph shows the quartered target there.
  const QImage& photo = form_->LeftPane().Picture();
  EXPECT_TRUE(Dark(photo.pixelColor(left.x + 4, left.y + 4)));
  EXPECT_TRUE(Yellow(photo.pixelColor(left.x + 4, left.y - 4)));
  ClickPicturePixel(form_->LeftPane(), left);
  EXPECT_EQ(text("xg1").toInt(), left.x);
  EXPECT_EQ(text("yg1").toInt(), left.y);
  Click("Button12");
  ClickPicturePixel(form_->RightPane(), right);
  EXPECT_EQ(text("xd1").toInt(), right.x);
  // The guide of the left click runs through the target on the right photograph, now at
  // (150, 100): beside the capture cross's arms, every column holds a guide pixel near that row.
  const QImage right_pane = form_->RightPane().Box()->grab().toImage();
  for (const int dx : {-30, -20, -14, 14, 20, 30}) {
    int nearest = 1000;
    for (int y = 80; y <= 120; ++y) {
      if (right_pane.pixelColor(150 + dx, y) == kGuideColor) {
        nearest = std::min(nearest, std::abs(y - 100));
      }
    }
    EXPECT_LE(nearest, 2) << dx;
  }
  Click("Button13");
  EXPECT_EQ(table.xg[0], left.x);
  EXPECT_EQ(table.yd[0], right.y);
  // The point status table shows both images of the observation point stored.
  auto* status = Child<QTableWidget>("PointStatus");
  EXPECT_EQ(status->item(0, 0)->text(), QString::fromUtf8("\u2713"));
  EXPECT_EQ(status->item(0, 1)->text(), QString::fromUtf8("\u2713"));
  EXPECT_FALSE(status->item(9, 3)->text().isEmpty());  // control points have residuals

  Click("Button9");
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
  // The measurement's line, then the point's standard errors: depth is the weak direction.
  EXPECT_TRUE(memo->document()->lastBlock().previous().text().startsWith(
      "Object point n° 1       x : "));
  const QStringList precision = memo->document()->lastBlock().text().split(' ');
  ASSERT_EQ(precision.size(), 7) << memo->document()->lastBlock().text().toStdString();
  EXPECT_EQ(precision[0], "precision");
  EXPECT_GT(precision[2].toDouble(), 0);
  EXPECT_GT(precision[6].toDouble(), precision[2].toDouble());
  Click("Button10");
  Click("Button9");  // measured again: numbered 2, same place
  Click("Button10");
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();

  std::ifstream geom(dir_.path() / "geom.txt", std::ios::binary);
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
}

// The centring size is the left photograph's own: zooming the left pane before calibrating
// changes nothing.
TEST_F(Workflow, CalibrationIgnoresTheZoomOfTheLeftPane) {
  form_->Button8Click();
  Child<QCheckBox>("CheckBox1")->setChecked(true);
  form_->Button6Click();
  const TCameraParameters at_full_size = form_->CameraParameters();
  EXPECT_NEAR(std::abs(at_full_size.internal.f), demo::kLens.f, 0.02 * demo::kLens.f);
  for (const int percent : {10, 37, 250}) {
    form_->LeftPane().Slider()->setValue(percent);
    form_->FormMouseWheel(form_->LeftPane().Frame()->geometry().center(), 120);  // a wheel step too
    EXPECT_NE(form_->LeftPane().Geometry().wd, 1600);
    form_->Button6Click();
    EXPECT_EQ(std::memcmp(&form_->CameraParameters(), &at_full_size, sizeof at_full_size), 0)
        << percent;
  }
  EXPECT_TRUE(Messages().empty());
}

// Shift-click a few pixels off any demo target, in either photograph: the capture is the
// target's centre, within half a pixel of its true projection. Off any target nothing is
// captured and the status bar says why.
TEST_F(Workflow, ShiftClickSnapsToTheDemoTargets) {
  std::vector<demo::Target> targets(demo::kControlTargets.begin(), demo::kControlTargets.end());
  targets.insert(targets.end(), demo::kExtraTargets.begin(), demo::kExtraTargets.end());
  for (PaneView* pane : {&form_->LeftPane(), &form_->RightPane()}) {
    const ExternalParameters& camera = pane->IsLeft() ? demo::kLeftCamera : demo::kRightCamera;
    for (const demo::Target& t : targets) {
      const ImagePoint truth = ProjectToImage(demo::kLens, camera, t.X, t.Y, t.Z);
      pane->Geometry().ox = 150 - std::lround(static_cast<double>(truth.x));
      pane->Geometry().oy = 100 - std::lround(static_cast<double>(truth.y));
      for (const QPoint off : {QPoint(3, -2), QPoint(-6, 5), QPoint(0, 0)}) {
        pane->XEdit()->clear();
        QTest::mouseClick(pane->Box(), Qt::LeftButton, Qt::ShiftModifier, QPoint(150, 100) + off);
        EXPECT_LE(std::abs(pane->XEdit()->text().toInt() - truth.x), 0.5L)
            << pane->IsLeft() << " " << t.X << "," << t.Y << "," << t.Z;
        EXPECT_LE(std::abs(pane->YEdit()->text().toInt() - truth.y), 0.5L)
            << pane->IsLeft() << " " << t.X << "," << t.Y << "," << t.Z;
      }
    }
  }
  // The wall at the top left of the left photograph.
  PaneView& left = form_->LeftPane();
  left.Geometry().ox = left.Geometry().oy = 0;
  left.XEdit()->setText("7");
  QTest::mouseClick(left.Box(), Qt::LeftButton, Qt::ShiftModifier, QPoint(60, 60));
  EXPECT_EQ(left.XEdit()->text(), "7");
  EXPECT_TRUE(Child<QLabel>("StatusBar1Panel2")->text().startsWith("No target under the pointer"));
}

}  // namespace
}  // namespace vistrel
