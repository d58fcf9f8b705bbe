// The demo project end to end, by mouse: load the control points, calibrate, click a target in
// both photographs, store, measure, save.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "cli/cli.h"
#include "numeric/text_format.h"
#include "photogrammetry/calibration.h"
#include "photogrammetry/camera_model.h"
#include "project/geom_file.h"
#include "project/project_file.h"
#include "project/reference_file.h"
#include "project/settings.h"
#include "tools/demo_scene.h"
#include "ui/main/image_pane.h"
#include "ui/main/main_window.h"
#include "ui/main/quality_window.h"
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
  const QColor centre = form_->LeftPane().Picture().pixelColor(table.Left(1).x, table.Left(1).y);
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
  EXPECT_EQ(table.Left(0).x, left.x);
  EXPECT_EQ(table.Right(0).y, right.y);
  // The point status table shows both images of the observation point stored.
  auto* status = Child<QTableWidget>("PointStatus");
  EXPECT_EQ(status->item(0, 0)->text(), QString::fromUtf8("\u2713"));
  EXPECT_EQ(status->item(0, 1)->text(), QString::fromUtf8("\u2713"));
  EXPECT_FALSE(status->item(9, 3)->text().isEmpty());  // control points have residuals

  Click("Button9");
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
  // The measurement's line, then the point's standard errors: depth is the weak direction.
  EXPECT_TRUE(
      memo->document()->lastBlock().previous().text().startsWith("Object point n° 1       x : "));
  const QStringList precision = memo->document()->lastBlock().text().split(' ');
  ASSERT_EQ(precision.size(), 7) << memo->document()->lastBlock().text().toStdString();
  EXPECT_EQ(precision[0], "precision");
  EXPECT_GT(precision[2].toDouble(), 0);
  EXPECT_GT(precision[6].toDouble(), precision[2].toDouble());
  // The report's columns line up, the new lines are in view, and X, Y, Z show in full.
  EXPECT_TRUE(QFontInfo(memo->font()).fixedPitch());
  EXPECT_TRUE(memo->viewport()->rect().contains(
      memo->cursorRect(QTextCursor(memo->document()->lastBlock()))));
  for (const char* name : {"px1", "py1", "pz1"}) {
    QLineEdit* edit = Child<QLineEdit>(name);
    EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance(edit->text()) + 8) << name;
  }
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

// "Measure Object Point" never measures pixels other than those shown: a capture of the object
// point that was not stored is stored first and the status bar says so; a capture made while
// another point was selected never counts.
TEST_F(Workflow, MeasureUsesThePixelsShown) {
  Click("Button8");
  Click("Button6");
  auto* combo = Child<QComboBox>("ComboBox1");
  auto* status = Child<QLabel>("StatusBar1Panel2");
  const demo::Target& a = demo::kExtraTargets[0];
  const demo::Target& c = demo::kExtraTargets[2];
  combo->setCurrentIndex(0);
  ClickPicturePixel(form_->LeftPane(), TrueProjection(demo::kLeftCamera, c));
  Click("Button12");
  ClickPicturePixel(form_->RightPane(), TrueProjection(demo::kRightCamera, c));
  Click("Button13");
  // Target A captured in both photographs, neither stored.
  const Pixel left_a = TrueProjection(demo::kLeftCamera, a);
  const Pixel right_a = TrueProjection(demo::kRightCamera, a);
  ClickPicturePixel(form_->LeftPane(), left_a);
  ClickPicturePixel(form_->RightPane(), right_a);
  Click("Button9");
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
  const PointTable& table = form_->Table();
  EXPECT_EQ(table.Left(0).x, left_a.x);
  EXPECT_EQ(table.Right(0).y, right_a.y);
  EXPECT_NEAR(Child<QLineEdit>("px1")->text().toDouble(), a.X, 0.3);
  EXPECT_TRUE(status->text().contains(QString("Stored the shown left %1 %2 and right %3 %4")
                                          .arg(left_a.x)
                                          .arg(left_a.y)
                                          .arg(right_a.x)
                                          .arg(right_a.y)))
      << status->text().toStdString();

  // Target C clicked while control point 3 is selected: not the object point's capture.
  combo->setCurrentIndex(3);
  ClickPicturePixel(form_->LeftPane(), TrueProjection(demo::kLeftCamera, c));
  combo->setCurrentIndex(0);
  Click("Button9");
  EXPECT_EQ(table.Left(0).x, left_a.x);
  EXPECT_NEAR(Child<QLineEdit>("px1")->text().toDouble(), a.X, 0.3);
  // With another point selected, Measure selects the object point, whose stored pixels it
  // measures and whose values the boxes then show.
  combo->setCurrentIndex(5);
  Click("Button9");
  EXPECT_EQ(combo->currentIndex(), 0);
  EXPECT_EQ(Child<QLineEdit>("xg1")->text().toInt(), left_a.x);
  EXPECT_TRUE(status->text().startsWith(QString::fromUtf8("Measured object point n\u00b0 3  |")))
      << status->text().toStdString();
  EXPECT_NEAR(Child<QLineEdit>("pz1")->text().toDouble(), a.Z, 0.6);
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
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

  // Two control points typed with the same space coordinates: the calibration runs, and a box
  // names them.
  PointTable& table = form_->Table();
  table.SetSpace(7, table.Space(4));
  form_->Button6Click();
  ASSERT_FALSE(Messages().empty());
  EXPECT_EQ(Messages()[0].first, MessageKind::kWarning);
  EXPECT_TRUE(Messages()[0].second.contains("control points 4 and 7 have the same space"))
      << Messages()[0].second.toStdString();
}

// The lens model beside the check box: "automatic" calibrates with the automatic model whatever
// the box says, the quality window names the model and why, and config.ini remembers the choice
// in a section that a window left on "as check box" never writes.
TEST_F(Workflow, AutomaticLensModelCalibratesAndIsRemembered) {
  const std::string ini = dir_.program_directory() + "config.ini";
  form_->close();  // untouched: no lens section
  EXPECT_EQ(IniFile::Load(ini).ReadString("LENS", "MODEL", "-"), "-");

  form_->Button8Click();
  QComboBox* box = Child<QComboBox>("LensModelBox");
  box->setCurrentIndex(box->findData(QString("auto")));
  Child<QCheckBox>("CheckBox1")->setChecked(false);
  form_->Button6Click();
  ASSERT_TRUE(form_->Quality());
  const std::string reason = form_->Quality()->lens_model_reason;
  EXPECT_EQ(reason.rfind("auto: ", 0), 0u) << reason;
  TCameraParameters camera;
  int count = 0;
  const CalibrationOutcome direct =
      CalibrateLensModel(form_->Table(), 1600, 1200, LensModel::kAuto, camera, count);
  EXPECT_EQ(form_->Quality()->lens_model, direct.lens_model);
  EXPECT_EQ(std::memcmp(&form_->CameraParameters(), &camera, sizeof camera), 0);
  form_->Button14Click();
  EXPECT_TRUE(form_->QualityWindow()
                  ->findChild<QLabel*>("QualitySummary")
                  ->text()
                  .contains(QString::fromStdString("Lens model: " + direct.lens_model + " (" +
                                                   reason + ")")));

  form_->close();
  EXPECT_EQ(IniFile::Load(ini).ReadString("LENS", "MODEL", ""), "auto");
  TForm1 again(dir_.program_directory());
  EXPECT_EQ(again.findChild<QComboBox*>("LensModelBox")->currentData().toString(), "auto");
}

// Save Project keeps the points and both distortion choices; opening it brings them back without
// touching reference.txt or config.ini, and a refused file changes nothing in the window.
TEST_F(Workflow, ProjectFileRestoresPointsAndDistortionChoice) {
  form_->Button8Click();
  QComboBox* box = Child<QComboBox>("LensModelBox");
  QCheckBox* check = Child<QCheckBox>("CheckBox1");
  box->setCurrentIndex(box->findData(QString("radial")));
  check->setChecked(true);
  const std::string project = (dir_.path() / "pair.vistrel").string();
  form_->SaveProjectFile(QString::fromStdString(project));
  const PointTable saved = form_->Table();

  box->setCurrentIndex(0);
  check->setChecked(false);
  form_->Table().SetSpace(3, form_->Table().Space(3).X, form_->Table().Space(3).Y,
                          form_->Table().Space(3).Z + 1);
  const PointTable changed = form_->Table();
  std::ofstream(dir_.path() / "newer.vistrel") << "VISTREL-PROJECT 2\n";
  EXPECT_THROW(
      form_->OpenProjectFile(QString::fromStdString((dir_.path() / "newer.vistrel").string())),
      std::exception);
  EXPECT_TRUE(form_->Table() == changed);
  EXPECT_EQ(box->currentIndex(), 0);
  EXPECT_FALSE(check->isChecked());

  const auto reference = std::filesystem::last_write_time(dir_.path() / "reference.txt");
  form_->OpenProjectFile(QString::fromStdString(project));
  EXPECT_TRUE(form_->Table() == saved);
  EXPECT_EQ(box->currentData().toString(), "radial");
  EXPECT_TRUE(check->isChecked());
  EXPECT_EQ(std::filesystem::last_write_time(dir_.path() / "reference.txt"), reference);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "config.ini"));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "geom.txt"));
  EXPECT_TRUE(Messages().empty());
}

// Shift-click a few pixels off any demo target, in either photograph: the capture is the
// target's sub-pixel centre, shown with two decimals, well within half a pixel of its true
// projection, and the store command keeps it at full precision; a plain click stores the whole
// pixel. Off any target nothing is captured and the status bar says why.
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
        EXPECT_LE(std::abs(pane->XEdit()->text().toDouble() - truth.x), 0.2L)
            << pane->IsLeft() << " " << t.X << "," << t.Y << "," << t.Z;
        EXPECT_LE(std::abs(pane->YEdit()->text().toDouble() - truth.y), 0.2L)
            << pane->IsLeft() << " " << t.X << "," << t.Y << "," << t.Z;
        EXPECT_EQ(pane->XEdit()->text().section('.', 1).size(), 2)
            << pane->XEdit()->text().toStdString();
      }
      Click(pane->IsLeft() ? "Button12" : "Button13");
      const ImagePosition stored = form_->Table().Image(1, pane->IsLeft());
      EXPECT_NE(stored.x, std::floor(stored.x)) << "the finder's centre, not a whole pixel";
      EXPECT_NEAR(stored.x, pane->XEdit()->text().toDouble(), 0.005);
      EXPECT_NEAR(stored.y, pane->YEdit()->text().toDouble(), 0.005);
    }
  }
  // A plain click stores the whole pixel under the pointer.
  PaneView& right = form_->RightPane();
  QTest::mouseClick(right.Box(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
  Click("Button13");
  EXPECT_EQ(form_->Table().Right(1).x, right.XEdit()->text().toInt());
  EXPECT_EQ(form_->Table().Right(1).y, right.YEdit()->text().toInt());
  // The wall at the top left of the left photograph.
  PaneView& left = form_->LeftPane();
  left.Geometry().ox = left.Geometry().oy = 0;
  left.XEdit()->setText("7");
  QTest::mouseClick(left.Box(), Qt::LeftButton, Qt::ShiftModifier, QPoint(60, 60));
  EXPECT_EQ(left.XEdit()->text(), "7");
  EXPECT_TRUE(Child<QLabel>("StatusBar1Panel2")->text().startsWith("No target under the pointer"));
}

// The next time `dialog` opens, `file` is chosen in it.
void ChooseWhenShown(QFileDialog* dialog, const std::filesystem::path& file) {
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  const QString name = QString::fromStdString(file.string());
  QTimer::singleShot(0, dialog, [dialog, name] {
    dialog->selectFile(name);
    static_cast<QDialog*>(dialog)->accept();
  });
}

// The offscreen platform leaves the closed dialog the active window, where a desktop gives the
// activation back to the main window: its shortcuts need that.
void Reactivate(QWidget* window) {
  QApplication::setActiveWindow(window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

// A Shift-click on the screen pixel that shows picture pixel `p` in the pane as it is zoomed.
void ShiftClickPicturePixel(PaneView& pane, Pixel p) {
  std::int64_t sx, sy;
  ASSERT_TRUE(pane.Geometry().ToPaneCentre(p.x, p.y, sx, sy));
  QTest::mouseClick(pane.Box(), Qt::LeftButton, Qt::ShiftModifier,
                    QPoint(static_cast<int>(sx), static_cast<int>(sy)));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream s(text);
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}

// The boxes are a view of the selected point: selecting one shows its stored values, a box that
// kept the focus takes what is typed in place of them, and a store changes only the coordinate
// the user changed. A Measure refused says nothing of a measurement; loading the control points
// over changed ones asks first.
TEST_F(Workflow, TheBoxesShowTheSelectedPointAndAStoreChangesOnlyWhatWasTyped) {
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  const auto edit = [this](const char* name) { return Child<QLineEdit>(name); };
  auto* combo = Child<QComboBox>("ComboBox1");
  auto* status = Child<QLabel>("StatusBar1Panel2");
  Click("Button8");
  const PointTable& t = form_->Table();
  combo->setCurrentIndex(3);
  EXPECT_EQ(edit("xg1")->text(), QString::fromStdString(FormatShortestGeneral(t.Left(3).x)));
  EXPECT_EQ(edit("yd1")->text(), QString::fromStdString(FormatShortestGeneral(t.Right(3).y)));
  EXPECT_EQ(edit("pz1")->text(), QString::fromStdString(FormatGeneral(t.Space(3).Z, '.')));
  combo->setCurrentIndex(0);  // nothing stored for the observation point yet
  for (const char* name : {"xg1", "yg1", "xd1", "yd1", "px1", "py1", "pz1"}) {
    EXPECT_TRUE(edit(name)->text().isEmpty()) << name;
  }
  // Measuring without its pixels is refused, and the status bar does not claim a measurement.
  QTest::keyClick(form_.get(), Qt::Key_M, Qt::ControlModifier);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_FALSE(status->text().contains("Measured")) << status->text().toStdString();

  Click("Button6");
  const demo::Target& a = demo::kExtraTargets[0];
  form_->LeftPane().ShowCapture(TrueProjection(demo::kLeftCamera, a).x,
                                TrueProjection(demo::kLeftCamera, a).y);
  Click("Button12");
  form_->RightPane().ShowCapture(TrueProjection(demo::kRightCamera, a).x,
                                 TrueProjection(demo::kRightCamera, a).y);
  Click("Button13");
  combo->setCurrentIndex(1);
  Click("Button9");  // measures the observation point, which it selects
  EXPECT_EQ(combo->currentIndex(), 0);
  EXPECT_TRUE(status->text().startsWith("Measured object point n\u00b0 1"))
      << status->text().toStdString();
  const QString measured_y = edit("py1")->text();
  EXPECT_FALSE(measured_y.isEmpty());

  // Point 1 selected: its own values, not the measured ones; X corrected alone.
  combo->setCurrentIndex(1);
  EXPECT_NE(edit("py1")->text(), measured_y);
  const double y1 = t.Space(1).Y, z1 = t.Space(1).Z;
  QTest::mouseClick(edit("px1"), Qt::LeftButton, {}, QPoint(5, 5));
  QTest::keyClicks(edit("px1"), "-45.5");
  QTest::keyClick(edit("px1"), Qt::Key_Return);
  EXPECT_EQ(t.Space(1).X, -45.5);
  EXPECT_EQ(t.Space(1).Y, y1);  // to the last bit, though shown with 15 digits
  EXPECT_EQ(t.Space(1).Z, z1);
  // The box kept the focus; the next point's value in it is replaced by what is typed.
  ASSERT_EQ(QApplication::focusWidget(), edit("px1"));
  QTest::keyClick(form_.get(), Qt::Key_PageDown);
  QTest::keyClicks(edit("px1"), "45");
  EXPECT_EQ(edit("px1")->text(), "45");

  // Load over the changed point 1: asked, and a No keeps the change.
  Messages().clear();
  {
    testing::ScopedAnswer no(0);
    Click("Button8");
  }
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].first, MessageKind::kConfirmation);
  EXPECT_EQ(t.Space(1).X, -45.5);
  Click("Button8");
  EXPECT_NE(t.Space(1).X, -45.5);
  EXPECT_TRUE(status->text().startsWith("Loaded 9 control points from reference.txt"))
      << status->text().toStdString();
}

// An import stores nothing until the user agrees, and nothing from a list with a row it cannot
// read, which the error names by its line.
TEST_F(Workflow, ImportStoresNothingUnreadOrUnconfirmed) {
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  std::ofstream(dir_.path() / "bad.txt") << "X Y Z\n1 2 3\n4 five 6\n";
  std::ofstream(dir_.path() / "good.txt") << "1;2;3\n";
  ChooseWhenShown(form_->ImportDialog(), dir_.path() / "bad.txt");
  QTest::keyClick(form_.get(), Qt::Key_I, Qt::ControlModifier);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].second.endsWith("bad.txt: line 3: Y 'five' is not a number."))
      << Messages()[0].second.toStdString();
  {
    testing::ScopedAnswer no(0);
    ChooseWhenShown(form_->ImportDialog(), dir_.path() / "good.txt");
    Reactivate(form_.get());
    QTest::keyClick(form_.get(), Qt::Key_I, Qt::ControlModifier);
  }
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Messages()[1].first, MessageKind::kConfirmation);
  EXPECT_EQ(form_->Table().Space(1).X, 0);
  EXPECT_FALSE(form_->GetSession().Stored(1).space);
  EXPECT_FALSE(form_->GetSession().ControlPointsChanged());
}

// A list of twelve rows: the first nine go to control points 1-9 as always, the others are added
// under their names, and the list's "check" column makes check points; the preview says where
// each row goes, and the selector lists the new points.
TEST_F(Workflow, ImportOfTwelveRowsAddsPointsUnderTheirNames) {
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  const auto check = [](int k) { return k == 4 || k == 11; };
  std::ofstream list(dir_.path() / "twelve.txt");
  list << "name X Y Z use\n";
  for (int k = 1; k <= 12; ++k) {
    list << "S" << k << ' ' << k << ' ' << 2 * k << ' ' << 3 * k << ' '
         << (check(k) ? "check" : "Control") << '\n';
  }
  list.close();
  ChooseWhenShown(form_->ImportDialog(), dir_.path() / "twelve.txt");
  QTest::keyClick(form_.get(), Qt::Key_I, Qt::ControlModifier);
  ASSERT_EQ(Messages().size(), 1u);
  const QString preview = Messages()[0].second;
  for (const char* row : {"Control : 9  <-  line 10 (S9):  X 9  Y 18  Z 27",
                          "Check : 4  <-  line 5 (S4):  X 4  Y 8  Z 12",
                          "Check : S11  <-  line 12 (S11):  X 11  Y 22  Z 33",
                          "Control : S12  <-  line 13 (S12):  X 12  Y 24  Z 36"}) {
    EXPECT_TRUE(preview.contains(row)) << row << "\n" << preview.toStdString();
  }
  const PointTable& t = form_->GetSession().Table();
  ASSERT_EQ(t.Count(), 13);
  for (int k = 1; k <= 12; ++k) {
    const int i = k <= 9 ? k : t.Find("S" + std::to_string(k));
    ASSERT_GE(i, 1) << k;
    EXPECT_EQ(t.Space(i), (SpacePoint{1.0 * k, 2.0 * k, 3.0 * k})) << k;
    EXPECT_TRUE(t.Stored(i).space) << k;
    EXPECT_EQ(t.Kind(i), check(k) ? PointKind::kCheck : PointKind::kControl) << k;
  }
  auto* combo = Child<QComboBox>("ComboBox1");
  ASSERT_EQ(combo->count(), 13);
  EXPECT_EQ(combo->itemText(4), "Check : 4");
  EXPECT_EQ(combo->itemText(t.Find("S11")), "Check : S11");
  EXPECT_EQ(Child<QTableWidget>("PointStatus")->rowCount(), 13);
}

// The user's path from a fresh start on the demo photographs, with the nine control targets'
// X, Y, Z in a surveyor's file (semicolons, decimal commas, CR LF, rows out of order), to a
// calibrated pair and one measured and saved point, counted action by action (a key, a click),
// as docs/manual.md lists it: the targets clicked left and right in turn, or all nine on the left
// and then all nine on the right. Then the command-line tool, run on the same control points
// and pixels, prints the very same report and appends the very same record: both go through
// one session.
class MeasurePath : public testing::WindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(MeasurePath, FromAFreshStartToASavedPointInThirtyActions) {
  const bool alternate = GetParam();
  std::ofstream list(dir_.path() / "targets.csv", std::ios::binary);
  list << "Point;Easting;Northing;Height\r\n";
  for (std::size_t i = demo::kControlTargets.size(); i-- > 0;) {
    const demo::Target& t = demo::kControlTargets[i];
    std::ostringstream row;
    row << std::fixed << std::setprecision(3) << "T" << i + 1 << ";" << t.X << ";" << t.Y << ";"
        << t.Z;
    std::string text = row.str();
    std::replace(text.begin(), text.end(), '.', ',');
    list << text << "\r\n";
  }
  list.close();
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  auto* combo = Child<QComboBox>("ComboBox1");
  int actions = 0;
  const auto key = [&](int k, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(form_.get(), static_cast<Qt::Key>(k), modifiers);
    ++actions;
  };
  const auto click = [&](PaneView& pane, Pixel p) {
    ShiftClickPicturePixel(pane, p);
    ++actions;
  };

  key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);  // Options > Store on click
  key(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);  // Options > Advance
  // Import coordinates: the file chosen in the dialog, then "Oui" under the preview.
  ChooseWhenShown(form_->ImportDialog(), dir_.path() / "targets.csv");
  key(Qt::Key_I, Qt::ControlModifier);
  actions += 2;
  Reactivate(form_.get());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].first, MessageKind::kConfirmation);
  const QString preview = Messages()[0].second;
  EXPECT_TRUE(preview.contains("line 1 taken as a header")) << preview.toStdString();
  EXPECT_TRUE(preview.contains("Control : 9  <-  line 2 (T9):  X 0  Y 0  Z 25"))
      << preview.toStdString();
  for (int i = 1; i <= 9; ++i) {
    EXPECT_EQ(form_->Table().Space(i).X, demo::kControlTargets[i - 1].X) << i;
    EXPECT_EQ(form_->Table().Space(i).Z, demo::kControlTargets[i - 1].Z) << i;
  }
  EXPECT_EQ(combo->currentIndex(), 1);
  key(Qt::Key_F5);  // Fit left
  key(Qt::Key_F6);  // Fit right
  // Eighteen Shift-clicks: each stores at once, none replaces another; a complete point hands
  // over to the next.
  const auto target_pixel = [](bool left, int i) {
    return TrueProjection(left ? demo::kLeftCamera : demo::kRightCamera,
                          demo::kControlTargets[i - 1]);
  };
  for (int i = 1; i <= 9; ++i) {
    click(form_->LeftPane(), target_pixel(true, i));
    EXPECT_EQ(combo->currentIndex(), alternate ? i : 1) << i;
    if (alternate) {
      click(form_->RightPane(), target_pixel(false, i));
      EXPECT_EQ(combo->currentIndex(), i < 9 ? i + 1 : 0) << i;
    }
  }
  for (int i = 1; i <= 9 && !alternate; ++i) {
    click(form_->RightPane(), target_pixel(false, i));
    EXPECT_EQ(combo->currentIndex(), i < 9 ? i + 1 : 0) << i;
  }
  const PointTable& clicked = form_->Table();
  for (int i = 1; i <= 9; ++i) {
    const Pixel l = target_pixel(true, i), r = target_pixel(false, i);
    EXPECT_LE(std::abs(clicked.Left(i).x - l.x) + std::abs(clicked.Left(i).y - l.y), 2) << i;
    EXPECT_LE(std::abs(clicked.Right(i).x - r.x) + std::abs(clicked.Right(i).y - r.y), 2) << i;
  }
  key(Qt::Key_F9);  // Compute Ext./Int. parameters
  // A slow build shows the progress dialog; offscreen, its window stays active after it closes.
  Reactivate(form_.get());
  const demo::Target& a = demo::kExtraTargets[0];
  click(form_->LeftPane(), TrueProjection(demo::kLeftCamera, a));
  click(form_->RightPane(), TrueProjection(demo::kRightCamera, a));
  key(Qt::Key_M, Qt::ControlModifier);  // Measure Object Point
  key(Qt::Key_G, Qt::ControlModifier);  // Save Measured Point
  EXPECT_LE(actions, 30);
  ASSERT_EQ(Messages().size(), 1u) << Messages().back().second.toStdString();

  const GeomData geom = ReadGeometry((dir_.path() / "geom.txt").string());
  ASSERT_EQ(geom.points.size(), 1u);
  EXPECT_NEAR(geom.points[0].x, a.X, 0.3);
  EXPECT_NEAR(geom.points[0].y, a.Y, 0.3);
  EXPECT_NEAR(geom.points[0].z, a.Z, 0.6);

  // The same control points and sub-pixel positions through vistrel-cli, from a project file.
  const PointTable& table = form_->Table();
  Project project;
  project.table = table;
  SaveProject((dir_.path() / "clicked.vistrel").string(), project);
  std::istringstream observation(PixelText(table.Left(0)) + " " + PixelText(table.Right(0)) + "\n");
  std::ostringstream report, measured, err;
  const std::string reference = (dir_.path() / "clicked.vistrel").string();
  ASSERT_EQ(RunCli({"calibrate", "--project", reference, "--size", "1600x1200"}, observation,
                   report, err),
            kExitOk)
      << err.str();
  ASSERT_EQ(RunCli({"measure", "--project", reference, "--size", "1600x1200", "--precision",
                    "--append-geom", (dir_.path() / "cli_geom.txt").string(), "-"},
                   observation, measured, err),
            kExitOk)
      << err.str();
  const std::vector<std::string> memo =
      Lines(Child<QPlainTextEdit>("Memo1")->toPlainText().toStdString());
  std::vector<std::string> cli = Lines(report.str());
  for (const std::string& line : Lines(measured.str())) cli.push_back(line);  // point, precision
  EXPECT_EQ(memo, cli);
  EXPECT_EQ(testing::ReadBytes((dir_.path() / "geom.txt").string()),
            testing::ReadBytes((dir_.path() / "cli_geom.txt").string()));
}

INSTANTIATE_TEST_SUITE_P(BothClickOrders, MeasurePath, ::testing::Values(true, false),
                         [](const auto& info) {
                           return info.param ? "LeftRightInTurn" : "NineLeftThenNineRight";
                         });

// From a fresh start on the demo photographs and the surveyor's list (rows in any order, named
// T1..T9), the control targets found without a click: a refusal stores nothing; a confirmation
// stores all nine within a pixel of the demo's clicked pixels, and F9 calibrates: six actions.
// Then one Shift-click on a target stores its match on the other photograph with it; with no
// target on the other photograph's curve only the click is captured.
class FindControl : public testing::WindowTest {};

TEST_F(FindControl, FromAFreshStartToACalibratedPairInSixActions) {
  std::ifstream reference(testing::SourceDir() / "examples/reference.txt");
  std::vector<std::array<double, 7>> rows;
  for (std::array<double, 7> r; reference >> r[0] >> r[1] >> r[2] >> r[3] >> r[4] >> r[5] >> r[6];)
    rows.push_back(r);
  ASSERT_EQ(rows.size(), 9u);
  {
    std::ofstream list(dir_.path() / "targets.csv");
    list << "Point;X;Y;Z\n";
    for (const int k : {4, 0, 8, 2, 6, 1, 5, 3, 7}) {
      list << "T" << k + 1 << ";" << rows[k][4] << ";" << rows[k][5] << ";" << rows[k][6] << "\n";
    }
  }
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  int actions = 0;
  const auto key = [&](int k, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(form_.get(), static_cast<Qt::Key>(k), modifiers);
    ++actions;
  };
  const auto stored = [this](int i) {
    return form_->GetSession().Stored(i).left || form_->GetSession().Stored(i).right;
  };
  // No list imported yet: the command asks for one (file chosen and opened, preview agreed).
  ChooseWhenShown(form_->ImportDialog(), dir_.path() / "targets.csv");
  {
    testing::ScopedAnswer refuse_the_targets_only(1);
    SetMessageRecorder([](MessageKind kind, const QString& text) {
      Messages().emplace_back(kind, text);
      return kind == MessageKind::kConfirmation && text.startsWith("Store these space") ? 1 : 0;
    });
    key(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    actions += 2;  // the file chosen, the preview agreed
  }
  Reactivate(form_.get());
  ASSERT_EQ(Messages().size(), 2u);
  const QString& question = Messages()[1].second;
  EXPECT_EQ(Messages()[1].first, MessageKind::kConfirmation);
  EXPECT_TRUE(question.startsWith("Store the 9 control points found in both photographs?"))
      << question.toStdString();
  for (int i = 1; i <= 9; ++i) {
    EXPECT_TRUE(form_->GetSession().Stored(i).space) << i;
    EXPECT_FALSE(stored(i)) << i;
  }
  // A list whose points no camera sees where the targets are: told which photographs, nothing
  // stored.
  {
    std::ofstream wrong(dir_.path() / "wrong.txt");
    for (int k = 0; k < 6; ++k)
      wrong << rows[k][5] << " " << rows[k][4] << " " << rows[k][6] * 3 << "\n";
  }
  ChooseWhenShown(form_->ImportDialog(), dir_.path() / "wrong.txt");
  QTest::keyClick(form_.get(), Qt::Key_I, Qt::ControlModifier);
  Reactivate(form_.get());
  Messages().clear();
  QTest::keyClick(form_.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
  Reactivate(form_.get());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].first, MessageKind::kInformation);
  EXPECT_TRUE(
      Messages()[0].second.contains("left photograph: fewer than seven control points among its"))
      << Messages()[0].second.toStdString();
  EXPECT_TRUE(Messages()[0].second.contains("right photograph: fewer than seven"));
  for (int i = 1; i <= 9; ++i) EXPECT_FALSE(stored(i)) << i;
  ChooseWhenShown(form_->ImportDialog(), dir_.path() / "targets.csv");
  QTest::keyClick(form_.get(), Qt::Key_I, Qt::ControlModifier);
  Reactivate(form_.get());
  // Again, agreed: the list imported last is used without asking. A user who agrees at once
  // answers Yes instead of No and this key: one action either way.
  Messages().clear();
  key(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].first, MessageKind::kConfirmation);
  for (int i = 1; i <= 9; ++i) {
    const auto& truth = rows[static_cast<std::size_t>(i - 1)];
    const ImagePosition l = form_->Table().Image(i, true), r = form_->Table().Image(i, false);
    EXPECT_NEAR(l.x, truth[0], 1.0) << i;
    EXPECT_NEAR(l.y, truth[1], 1.0) << i;
    EXPECT_NEAR(r.x, truth[2], 1.0) << i;
    EXPECT_NEAR(r.y, truth[3], 1.0) << i;
    EXPECT_EQ(form_->Table().Space(i).X, truth[4]) << i;
  }
  EXPECT_FALSE(form_->Quality());
  Reactivate(form_.get());  // after the progress dialog
  key(Qt::Key_F9);
  ASSERT_TRUE(form_->Quality());
  EXPECT_LT(form_->Quality()->rms, 0.5);
  EXPECT_LE(actions, 6);

  // One click per measured point, from either photograph.
  auto* combo = Child<QComboBox>("ComboBox1");
  auto* status = Child<QLabel>("StatusBar1Panel2");
  for (const demo::Target& t : demo::kExtraTargets) {
    for (PaneView* pane : {&form_->LeftPane(), &form_->RightPane()}) {
      combo->setCurrentIndex(PointTable::kObservation);
      const ImagePoint l = ProjectToImage(demo::kLens, demo::kLeftCamera, t.X, t.Y, t.Z);
      const ImagePoint r = ProjectToImage(demo::kLens, demo::kRightCamera, t.X, t.Y, t.Z);
      const ImagePoint at = pane->IsLeft() ? l : r;
      pane->Geometry().ox = 150 - std::lround(static_cast<double>(at.x));
      pane->Geometry().oy = 100 - std::lround(static_cast<double>(at.y));
      QTest::mouseClick(pane->Box(), Qt::LeftButton, Qt::ShiftModifier, QPoint(152, 99));
      const ImagePosition sl = form_->Table().Image(PointTable::kObservation, true);
      const ImagePosition sr = form_->Table().Image(PointTable::kObservation, false);
      EXPECT_NEAR(sl.x, static_cast<double>(l.x), 0.2) << t.X << "," << t.Y;
      EXPECT_NEAR(sl.y, static_cast<double>(l.y), 0.2) << t.X << "," << t.Y;
      EXPECT_NEAR(sr.x, static_cast<double>(r.x), 0.2) << t.X << "," << t.Y;
      EXPECT_NEAR(sr.y, static_cast<double>(r.y), 0.2) << t.X << "," << t.Y;
      EXPECT_TRUE(status->text().contains("stored in the object point"))
          << status->text().toStdString();
    }
  }
  // No target on the right photograph: the left click is captured, nothing else stored.
  QImage blank(form_->RightPane().Picture().size(), QImage::Format_RGB32);
  blank.fill(QColor(128, 128, 128));
  ASSERT_TRUE(blank.save(QString::fromStdString((dir_.path() / "blank.bmp").string()), "BMP"));
  form_->LoadPanePicture(form_->RightPane(),
                         QString::fromStdString((dir_.path() / "blank.bmp").string()));
  combo->setCurrentIndex(PointTable::kObservation);
  const ImagePosition before = form_->Table().Image(PointTable::kObservation, false);
  const demo::Target& t = demo::kExtraTargets.front();
  const ImagePoint l = ProjectToImage(demo::kLens, demo::kLeftCamera, t.X, t.Y, t.Z);
  PaneView& left = form_->LeftPane();
  left.Geometry().ox = 150 - std::lround(static_cast<double>(l.x));
  left.Geometry().oy = 100 - std::lround(static_cast<double>(l.y));
  QTest::mouseClick(left.Box(), Qt::LeftButton, Qt::ShiftModifier, QPoint(150, 100));
  EXPECT_NEAR(left.XEdit()->text().toDouble(), static_cast<double>(l.x), 0.2);
  EXPECT_EQ(form_->Table().Image(PointTable::kObservation, false), before);
  EXPECT_TRUE(
      status->text().startsWith("No target within 2 px of the epipolar line in the right "
                                "photograph"))
      << status->text().toStdString();
}

}  // namespace
}  // namespace vistrel
