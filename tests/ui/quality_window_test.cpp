// The calibration-quality window and the residual strokes on the panes, on the demo project.

#include "ui/main/quality_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <set>
#include <sstream>

#include "cli/cli.h"
#include "tools/demo_scene.h"
#include "ui/main/image_pane.h"
#include "ui/main/main_window.h"
#include "window_test_support.h"

namespace vistrel {
namespace {

using testing::Messages;

class Quality : public testing::DemoWindowTest {
 protected:
  void TearDown() override {
    if (form_ && form_->QualityWindow()) form_->QualityWindow()->hide();
    DemoWindowTest::TearDown();
  }

  // Loads the demo's control points, moves control point `point`'s left x by `shift` pixels
  // and calibrates.
  void Calibrate(int point = 0, int shift = 0) {
    Click("Button8");
    PointTable& table = form_->Table();
    if (shift != 0) table.SetLeft(point, table.Left(point).x + shift, table.Left(point).y);
    Click("Button6");
    ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
  }
  TQualityWindow* OpenQualityWindow() {
    Click("Button14");
    TQualityWindow* window = form_->QualityWindow();
    EXPECT_NE(window, nullptr);
    if (window) {
      EXPECT_TRUE(window->isVisible());
    }
    return window;
  }
};

double Cell(const QTableWidget* table, int row, int column) {
  return table->item(row, column)->text().toDouble();
}

bool Highlighted(const QTableWidget* table, int row) {
  bool all = true;
  for (int column = 0; column < table->columnCount(); ++column) {
    const QTableWidgetItem* item = table->item(row, column);
    all = all && item->font().bold() && item->background().color() == kFlaggedBackground;
  }
  return all;
}

TEST_F(Quality, ButtonSitsRightAfterTheCalibrationButton) {
  auto* calibrate = form_->findChild<QPushButton*>("Button6");
  auto* quality = form_->findChild<QPushButton*>("Button14");
  ASSERT_NE(quality, nullptr);
  EXPECT_EQ(quality->text(), "Calibration quality");
  EXPECT_EQ(quality->toolTip(), QString("shows the calibration's residuals and precision"));
  // The commands' grid, filled in the order of the work.
  auto* column =
      qobject_cast<QGridLayout*>(calibrate->parentWidget()->layout()->itemAt(0)->layout());
  ASSERT_NE(column, nullptr);
  EXPECT_EQ(column->indexOf(quality), column->indexOf(calibrate) + 1);
  auto* residuals = form_->findChild<QCheckBox*>("CheckBox2");
  ASSERT_NE(residuals, nullptr);
  EXPECT_EQ(residuals->text(), "Residuals");
  EXPECT_FALSE(residuals->isChecked());
  EXPECT_FALSE(residuals->toolTip().isEmpty());
}

TEST_F(Quality, OpenWindowSaysNoCalibrationThenRefreshesAfterOne) {
  TQualityWindow* window = OpenQualityWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), "Calibration quality");
  EXPECT_FALSE(window->isModal());
  EXPECT_EQ(window->summary()->text(), kNoCalibrationText);
  EXPECT_EQ(window->points()->rowCount(), 0);
  EXPECT_EQ(window->parameters()->rowCount(), 0);

  Calibrate();  // the window stays open and shows the new figures
  ASSERT_TRUE(form_->Quality().has_value());
  const QTableWidget* points = window->points();
  ASSERT_EQ(points->rowCount(), 9);
  ASSERT_EQ(points->columnCount(), 7);
  EXPECT_EQ(points->horizontalHeaderItem(3)->text(), "Left |e|");
  std::set<int> seen;
  double previous = INFINITY;
  for (int row = 0; row < 9; ++row) {
    seen.insert(points->item(row, 0)->text().toInt());
    const double largest = std::max(Cell(points, row, 3), Cell(points, row, 6));
    EXPECT_LE(largest, previous) << "row " << row;
    previous = largest;
    // |e| agrees with its components to the rounding of the cells.
    EXPECT_NEAR(Cell(points, row, 3), std::hypot(Cell(points, row, 1), Cell(points, row, 2)),
                0.002);
    // Clicked to the pixel on synthetic photographs: no mis-click, residuals under 2 px.
    EXPECT_LT(largest, 2.0);
  }
  EXPECT_EQ(seen, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_TRUE(window->summary()->text().contains("15 fitted parameters"));

  const QTableWidget* parameters = window->parameters();
  ASSERT_EQ(parameters->rowCount(), 15);
  for (int row = 0; row < 15; ++row) {
    const QString error = parameters->item(row, 2)->text();
    bool number = false;
    EXPECT_GT(error.toDouble(&number), 0) << parameters->item(row, 0)->text().toStdString();
    EXPECT_TRUE(number) << error.toStdString();
  }
  EXPECT_EQ(parameters->item(2, 0)->text(), "f");
  EXPECT_NEAR(Cell(parameters, 2, 1), std::fabs(form_->CameraParameters().internal.f), 1e-3);
}

TEST_F(Quality, MisClickedPointComesFirstAndAloneHighlighted) {
  for (const int point : {1, 5, 7}) {
    SCOPED_TRACE(point);
    Calibrate(point, 15);
    TQualityWindow* window = OpenQualityWindow();
    ASSERT_NE(window, nullptr);
    const QTableWidget* points = window->points();
    ASSERT_EQ(points->rowCount(), 9);
    EXPECT_EQ(points->item(0, 0)->text().toInt(), point);
    EXPECT_GT(Cell(points, 0, 3), 3.0);  // most of the 15 pixels stays with the point
    EXPECT_TRUE(Highlighted(points, 0));
    for (int row = 1; row < 9; ++row) {
      EXPECT_FALSE(points->item(row, 0)->font().bold()) << "row " << row;
      EXPECT_NE(points->item(row, 3)->background().color(), kFlaggedBackground) << "row " << row;
    }
  }
}

TEST_F(Quality, NumbersUseTheLocaleSeparator) {
  struct FrenchLocale {
    FrenchLocale() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    ~FrenchLocale() { QLocale::setDefault(QLocale::c()); }
  } french;
  Calibrate();
  TQualityWindow* window = OpenQualityWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(window->points()->rowCount(), 9);
  int commas = 0;
  for (int row = 0; row < 9; ++row) {
    for (int column = 1; column < 7; ++column) {
      const QString text = window->points()->item(row, column)->text();
      EXPECT_FALSE(text.contains('.')) << text.toStdString();
      commas += text.contains(',') ? 1 : 0;
    }
  }
  EXPECT_GT(commas, 40);  // a few residuals may round to whole thousandths without a fraction
  EXPECT_TRUE(window->summary()->text().contains(','));
}

// Pixels of the residual colour within one pixel of (x, y).
bool StrokeNear(const QImage& shot, double x, double y) {
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      const QPoint p(static_cast<int>(std::lround(x)) + dx, static_cast<int>(std::lround(y)) + dy);
      if (shot.valid(p) && shot.pixelColor(p) == kResidualColor) return true;
    }
  }
  return false;
}

// The demo's extra targets as check points at their exact positions: the window shows the same
// check and relative-accuracy lines as the command line on the same points, and "Leave one out"
// adds the same held-out lines, until the next calibration.
TEST_F(Quality, CheckAndHeldOutLinesAreTheCommandLines) {
  Click("Button8");
  PointTable& table = form_->Table();
  std::ofstream check_file("check.txt");
  check_file << std::setprecision(17);
  for (std::size_t k = 0; k < demo::kExtraTargets.size(); ++k) {
    const demo::Target& t = demo::kExtraTargets[k];
    const std::string name(1, static_cast<char>('A' + k));
    const int i = table.Add(name, PointKind::kCheck);
    for (const bool left : {true, false}) {
      const ImagePoint p =
          ProjectToImage(demo::kLens, left ? demo::kLeftCamera : demo::kRightCamera, t.X, t.Y, t.Z);
      table.SetImage(i, left, {static_cast<double>(p.x), static_cast<double>(p.y)});
      check_file << static_cast<double>(p.x) << ' ' << static_cast<double>(p.y) << ' ';
    }
    table.SetSpace(i, t.X, t.Y, t.Z);
    table.SetStored(i, {true, true, true});
    check_file << t.X << ' ' << t.Y << ' ' << t.Z << ' ' << name << '\n';
  }
  check_file.close();
  Click("Button6");
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
  TQualityWindow* window = OpenQualityWindow();
  ASSERT_NE(window, nullptr);

  std::istringstream in;
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"calibrate", "--control", "reference.txt", "--check", "check.txt", "--size",
                    std::to_string(demo::kImageWidth) + "x" + std::to_string(demo::kImageHeight),
                    "--leave-one-out"},
                   in, out, err),
            0)
      << err.str();
  QStringList checks, held_out;
  for (const QString& line : QString::fromStdString(out.str()).split('\n')) {
    if (line.startsWith("check ") || line.startsWith("relative accuracy")) checks << line;
    if (line.startsWith("control-held-out ")) held_out << line;
  }
  ASSERT_EQ(checks.size(), 6) << out.str();
  ASSERT_EQ(held_out.size(), 10) << out.str();
  EXPECT_EQ(window->accuracy()->toPlainText(), checks.join('\n'));

  QTest::mouseClick(window->leave_one_out(), Qt::LeftButton);
  ASSERT_TRUE(Messages().empty()) << Messages()[0].second.toStdString();
  EXPECT_EQ(window->accuracy()->toPlainText(), (checks + held_out).join('\n'));
  Click("Button6");
  EXPECT_EQ(window->accuracy()->toPlainText(), checks.join('\n'))
      << "the held-out figures belong to the previous calibration";
}

TEST_F(Quality, ResidualStrokesRunFromTheMarkerTowardTheModel) {
  Calibrate(1, 15);
  ASSERT_TRUE(form_->Quality().has_value());
  const CalibrationQuality quality = *form_->Quality();
  auto* residuals = form_->findChild<QCheckBox*>("CheckBox2");
  for (PaneView* pane : {&form_->LeftPane(), &form_->RightPane()}) {
    SCOPED_TRACE(pane->IsLeft() ? "left" : "right");
    // The point with the longest stroke in this pane, shown in the middle of the pane at 50 %.
    const ControlPointQuality* longest = &quality.points[0];
    for (const ControlPointQuality& p : quality.points) {
      const auto length = [pane](const ControlPointQuality& q) {
        return (pane->IsLeft() ? q.left : q.right).length;
      };
      if (length(p) > length(*longest)) longest = &p;
    }
    const PointResidual& r = pane->IsLeft() ? longest->left : longest->right;
    ASSERT_GT(r.length * kResidualMagnification, 30.0L);
    const PointTable& table = form_->Table();
    const std::int64_t x =
        pane->IsLeft() ? table.Left(longest->point).x : table.Right(longest->point).x;
    const std::int64_t y =
        pane->IsLeft() ? table.Left(longest->point).y : table.Right(longest->point).y;
    pane->Slider()->setValue(50);
    PaneGeometry& g = pane->Geometry();
    g.ox = pane->Box()->width() / 2 - x * g.wd / g.picture_width;
    g.oy = pane->Box()->height() / 2 - y * g.hd / g.picture_height;
    std::int64_t sx, sy;
    ASSERT_TRUE(g.ToPane(x, y, sx, sy));

    residuals->setChecked(false);
    const QImage off = pane->Box()->grab().toImage();
    QTest::mouseClick(residuals, Qt::LeftButton);
    ASSERT_TRUE(residuals->isChecked());
    const QImage on = pane->Box()->grab().toImage();
    // Along the stroke toward the model (observed minus residual), not the other way.
    int checked = 0;
    for (const double t : {0.25, 0.5, 0.75}) {
      const double ax = sx - t * kResidualMagnification * static_cast<double>(r.ex);
      const double ay = sy - t * kResidualMagnification * static_cast<double>(r.ey);
      if (!on.valid(static_cast<int>(ax), static_cast<int>(ay))) continue;
      ++checked;
      EXPECT_TRUE(StrokeNear(on, ax, ay)) << "t " << t;
      const double bx = sx + t * kResidualMagnification * static_cast<double>(r.ex);
      const double by = sy + t * kResidualMagnification * static_cast<double>(r.ey);
      EXPECT_FALSE(StrokeNear(on, bx, by)) << "opposite side, t " << t;
    }
    EXPECT_GE(checked, 1);
    EXPECT_TRUE(StrokeNear(on, sx, sy));  // it starts at the marker

    QTest::mouseClick(residuals, Qt::LeftButton);
    ASSERT_FALSE(residuals->isChecked());
    EXPECT_EQ(pane->Box()->grab().toImage(), off);
    EXPECT_FALSE(StrokeNear(off, sx, sy));
  }
}

TEST_F(Quality, NoStrokesBeforeACalibrationNorForAPointMovedSince) {
  Click("Button8");
  auto* residuals = form_->findChild<QCheckBox*>("CheckBox2");
  QWidget* box = form_->LeftPane().Box();
  const QImage plain = box->grab().toImage();
  QTest::mouseClick(residuals, Qt::LeftButton);
  EXPECT_EQ(box->grab().toImage(), plain);  // nothing to draw yet
  QTest::mouseClick(residuals, Qt::LeftButton);

  Calibrate(1, 15);
  form_->LeftPane().Slider()->setValue(25);  // all nine points in view
  const QImage without = box->grab().toImage();
  QTest::mouseClick(residuals, Qt::LeftButton);
  EXPECT_NE(box->grab().toImage(), without);
  // Point 1 stored back where it belongs: its stroke would mislead, so it goes; the others stay.
  form_->Table().SetLeft(1, form_->Table().Left(1).x - 15, form_->Table().Left(1).y);
  form_->LeftPane().Box()->repaint();
  const QImage after = box->grab().toImage();
  const PointTable& table = form_->Table();
  std::int64_t sx, sy;
  ASSERT_TRUE(form_->LeftPane().Geometry().ToPane(table.Left(1).x, table.Left(1).y, sx, sy));
  ASSERT_TRUE(after.valid(static_cast<int>(sx), static_cast<int>(sy)));
  EXPECT_FALSE(StrokeNear(after, sx, sy));
  ASSERT_TRUE(form_->LeftPane().Geometry().ToPane(table.Left(5).x, table.Left(5).y, sx, sy));
  EXPECT_TRUE(StrokeNear(after, sx, sy));
}

TEST_F(Quality, CalibrationStoppedEarlyLeavesNoFigures) {
  Calibrate();
  TQualityWindow* window = OpenQualityWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(window->points()->rowCount(), 9);
  // All control points on one spot: the first stage cannot start.
  PointTable& table = form_->Table();
  for (int i = 1; i <= 9; ++i) {
    table.SetLeft(i, 100, 100);
    table.SetRight(i, 100, 100);
    table.SetSpace(i, 0, 0, 0);
  }
  Click("Button6");
  // First what is wrong with the points, then the failure itself.
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Messages()[0].first, MessageKind::kWarning);
  EXPECT_TRUE(Messages()[0].second.contains("share one pixel of the right photograph"))
      << Messages()[0].second.toStdString();
  EXPECT_EQ(Messages()[1].first, MessageKind::kError);
  EXPECT_FALSE(form_->Quality().has_value());
  EXPECT_EQ(window->points()->rowCount(), 0);
  EXPECT_TRUE(window->summary()->text().contains("stopped before its joint fit"))
      << window->summary()->text().toStdString();
}

// The window on its own: figures of a failed joint fit and the rounding of the cells.
TEST(QualityWindow, FailedFitShowsNoStandardErrors) {
  CalibrationQuality q;
  for (int i = 1; i <= 9; ++i) {
    ControlPointQuality p;
    p.point = i;
    p.left = {0.1234567L * i, -0.5L, std::hypot(0.1234567L * i, 0.5L)};
    p.right = {0, 0, 0};
    p.largest = p.left.length;
    p.flagged = i == 9;
    q.points.push_back(p);
  }
  q.rms = 0.5L;
  q.sigma0 = 0.75L;
  q.fitted_parameters = 2;
  q.parameters = {{"f", 1234.567890123L, std::nullopt}, {"left Tx", -12.5L, std::nullopt}};
  TQualityWindow window;
  window.ShowQuality(q, true, ',');
  const QTableWidget* points = window.points();
  ASSERT_EQ(points->rowCount(), 9);
  EXPECT_EQ(points->item(0, 0)->text(), "9");
  EXPECT_EQ(points->item(0, 1)->text(), "1,111");  // 1.1111103 to a thousandth
  EXPECT_EQ(points->item(0, 1)->toolTip(), "1,1111103");
  EXPECT_EQ(points->item(0, 2)->text(), "-0,500");  // three decimals in every cell
  EXPECT_EQ(points->item(0, 4)->text(), "0,000");
  EXPECT_TRUE(Highlighted(points, 0));
  EXPECT_FALSE(Highlighted(points, 1));
  EXPECT_EQ(points->item(8, 0)->text(), "1");
  const QTableWidget* parameters = window.parameters();
  ASSERT_EQ(parameters->rowCount(), 2);
  EXPECT_EQ(parameters->item(0, 0)->text(), "f");
  EXPECT_EQ(parameters->item(0, 1)->text(), "1234,56789");
  EXPECT_EQ(parameters->item(1, 1)->text(), "-12,5");
  EXPECT_EQ(parameters->item(0, 3)->text(), "pixels");
  EXPECT_EQ(parameters->item(1, 3)->text(), "object units");
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(parameters->item(row, 2)->text(), kNotAvailableText);
  }
  EXPECT_TRUE(window.summary()->text().contains("not available"));
  EXPECT_TRUE(window.summary()->text().contains("sigma0 0,750 px"));

  window.ShowNothing(kNoCalibrationText);
  EXPECT_EQ(points->rowCount(), 0);
  EXPECT_EQ(parameters->rowCount(), 0);
  EXPECT_EQ(window.summary()->text(), kNoCalibrationText);
}

}  // namespace
}  // namespace vistrel
