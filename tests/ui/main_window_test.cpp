#include "ui/main/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "numeric/text_format.h"
#include "project/settings.h"
#include "tests/support/temp_dir.h"
#include "ui/help/help_window.h"
#include "ui/main/application.h"
#include "ui/main/color_swatch.h"
#include "ui/main/image_pane.h"
#include "ui/main/messages.h"
#include "ui/main/qt_utils.h"
#include "window_test_support.h"

namespace vistrel {
namespace {

using testing::Messages;

class Window : public testing::WindowTest {
 protected:
  QWidget* Box(bool left) { return Child<QWidget>(left ? "PaintBox1" : "PaintBox2"); }
  QLineEdit* Edit(const char* name) { return Child<QLineEdit>(name); }
};

TEST_F(Window, StartState) {
  EXPECT_EQ(form_->windowTitle(), "VISTREL");
  auto* combo = Child<QComboBox>("ComboBox1");
  ASSERT_EQ(combo->count(), 10);
  EXPECT_EQ(combo->itemText(0), "Object point");
  EXPECT_EQ(combo->itemText(9), "Control : 9");
  EXPECT_EQ(combo->currentIndex(), 1);
  EXPECT_TRUE(Child<QRadioButton>("RadioButton2")->isChecked());
  EXPECT_FALSE(Child<QRadioButton>("RadioButton1")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>("CheckBox1")->isChecked());
  // The swatch shows the selected point's colour, red like its markers.
  EXPECT_EQ(Child<TColorSwatch>("color1")->Color(), ToQColor(form_->Table().Color(1)));
  EXPECT_EQ(form_->Table().Color(0), kColorWhite);
  EXPECT_EQ(form_->Table().Color(9), kColorRed);
  EXPECT_EQ(form_->Scale(), 0.01);
  EXPECT_EQ(form_->ObjectPointCount(), 0);
  EXPECT_TRUE(Child<QLabel>("Label4")->text().isEmpty());
  EXPECT_TRUE(Child<QLabel>("Label11")->text().isEmpty());
  EXPECT_TRUE(Child<QPlainTextEdit>("Memo1")->toPlainText().isEmpty());
  for (const char* name : {"ScrollBar1", "ScrollBar2"}) {
    auto* slider = Child<QScrollBar>(name);
    EXPECT_EQ(slider->value(), 100);  // where the panes start: the first step is one percent
    EXPECT_EQ(slider->minimum(), 1);
    EXPECT_EQ(slider->maximum(), 300);
  }
  // The built-in photographs at 100 %.
  for (PaneView* pane : {&form_->LeftPane(), &form_->RightPane()}) {
    EXPECT_EQ(pane->Picture().size(), QSize(1600, 1200));
    EXPECT_EQ(pane->Geometry().wd, 1600);
    EXPECT_EQ(pane->Geometry().hd, 1200);
    EXPECT_EQ(pane->Geometry().ox, 0);
  }
  struct Caption {
    const char* name;
    const char* text;
    const char* hint;
    const char* keys;  // the command's shortcut, shown after the hint
  } buttons[] = {
      {"Button1", "Load image", "", ""},
      {"Button3", "Load image", "", ""},
      {"Button2", "Center", "", ""},
      {"Button12", "Store Point coordinates",
       "stores the captured pixel of the selected point; so does Enter in a box", "Ctrl+Return"},
      {"Button5", "Store Point coordinates", "", ""},
      {"Button7", "Save Control Points", "saves the coordinates to the file \"reference.txt\"",
       "Ctrl+S"},
      {"Button6", "Compute Ext./Int. parameters",
       "computes the DLT parameters, needed before measuring", "F9"},
      {"Button9", "Measure Object Point", "computes the space coordinates of an observation point",
       "Ctrl+M"},
      {"Button10", "Save Measured Point ",
       "appends the observation point's space coordinates to the file \"geom.txt\"", "Ctrl+G"},
      {"Button16", "Fit", "shows the whole photograph in its frame", "F6"},
      {"Button11", "3D vizualization", "shows in 3D the points stored in the file \"geom.txt\"",
       ""},
  };
  for (const Caption& b : buttons) {
    auto* button = Child<QPushButton>(b.name);
    EXPECT_EQ(button->text(), QString::fromUtf8(b.text)) << b.name;
    const QString keys = QString::fromUtf8(b.keys);
    EXPECT_EQ(button->toolTip(),
              QString::fromUtf8(b.hint) + (keys.isEmpty() ? QString() : " (" + keys + ")"))
        << b.name;
  }
  EXPECT_EQ(Child<QGroupBox>("GroupBox1")->title(), "Left Image");
  EXPECT_EQ(Child<QGroupBox>("GroupBox4")->title(), "Control points - Right Image");
  EXPECT_EQ(Child<QLabel>("Label12")->palette().color(QPalette::Window), QColor(64, 128, 128));
  for (const char* name : {"xg1", "yg1", "xd1", "yd1", "px1", "py1", "pz1"}) {
    EXPECT_TRUE(Edit(name)->text().isEmpty()) << name;
  }
  EXPECT_NE(Child<QToolButton>("BitBtn1"), nullptr);
  EXPECT_NE(Child<QStatusBar>("StatusBar1"), nullptr);
  // Every control in view without scrolling on a 1366 x 768 screen, less title and task bars.
  auto* scroll = Child<QScrollArea>("ClientScroll");
  const QSize chrome = form_->size() - scroll->viewport()->size();
  const QSize least = scroll->widget()->minimumSizeHint() + chrome;
  EXPECT_TRUE(least.width() <= 1366 && least.height() <= 768 - 70)
      << least.width() << " x " << least.height();
}

TEST_F(Window, SelectorRecoloursTheSwatch) {
  auto* combo = Child<QComboBox>("ComboBox1");
  auto* swatch = Child<TColorSwatch>("color1");
  form_->Table().SetColor(4, 0x00FF8000);  // blue 255, green 128
  combo->setCurrentIndex(0);
  EXPECT_EQ(swatch->Color(), QColor(255, 255, 255));
  combo->setCurrentIndex(4);
  EXPECT_EQ(swatch->Color(), QColor(0, 128, 255));
  combo->setCurrentIndex(2);
  EXPECT_EQ(swatch->Color(), QColor(255, 0, 0));
}

TEST_F(Window, CaptureAtTwiceThePictureSizeCutsTowardZeroAndStaysOnThePicture) {
  PaneGeometry& g = form_->LeftPane().Geometry();
  g.wd = 3200;
  g.hd = 2400;
  g.ox = 50;
  g.oy = 20;
  // A click off the photograph's pixels captures nothing: the boxes keep what they had.
  struct Case {
    int mx, my;
    const char* x;
    const char* y;
  } cases[] = {{53, 25, "1", "2"}, {49, 19, "1", "2"}, {48, 30, "1", "2"},
               {60, 18, "1", "2"}, {50, 20, "0", "0"}, {51, 21, "0", "0"}};
  for (const Case& c : cases) {
    QTest::mouseClick(Box(true), Qt::LeftButton, {}, QPoint(c.mx, c.my));
    EXPECT_EQ(Edit("xg1")->text(), c.x) << c.mx;
    EXPECT_EQ(Edit("yg1")->text(), c.y) << c.my;
  }
  // Past the right edge: x would be 1610 on a 1600-pixel photograph.
  g.wd = 1600;
  g.hd = 1200;
  g.ox = -1300;
  g.oy = 0;
  QTest::mouseClick(Box(true), Qt::LeftButton, {}, QPoint(310, 10));
  EXPECT_EQ(Edit("xg1")->text(), "0");
  QTest::mouseClick(Box(true), Qt::LeftButton, {}, QPoint(299, 10));
  EXPECT_EQ(Edit("xg1")->text(), "1599");
  // The right pane writes into its own boxes only.
  QTest::mouseClick(Box(false), Qt::LeftButton, {}, QPoint(30, 40));
  EXPECT_EQ(Edit("xd1")->text(), "30");
  EXPECT_EQ(Edit("yd1")->text(), "40");
  EXPECT_EQ(Edit("xg1")->text(), "1599");
  // A right click captures nothing.
  QTest::mouseClick(Box(false), Qt::RightButton, {}, QPoint(60, 70));
  EXPECT_EQ(Edit("xd1")->text(), "30");
}

void Wheel(QWidget* target, QPoint at, int delta) {
  QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &event);
}

TEST_F(Window, WheelZoomsThePaneUnderThePointer) {
  PaneGeometry& left = form_->LeftPane().Geometry();
  PaneGeometry& right = form_->RightPane().Geometry();
  Wheel(Box(true), QPoint(100, 80), 120);
  EXPECT_EQ(left.wd, 1760);
  EXPECT_EQ(left.hd, 1320);
  EXPECT_EQ(left.ox, -10);  // 100 - 1760 * (100 / 1600)
  EXPECT_EQ(left.oy, -8);
  EXPECT_EQ(right.wd, 1600);
  EXPECT_EQ(Child<QScrollBar>("ScrollBar1")->value(), 110);  // the slider shows the wheel's zoom
  // Any step down zooms out (the steps themselves: PaneGeometry's wheel tests).
  Wheel(Box(false), QPoint(5, 5), -3);
  EXPECT_EQ(right.wd, 1600 * 10 / 11);  // divided by the factor a step in multiplies by
  EXPECT_EQ(right.hd, 1200 * (1600 * 10 / 11) / 1600);
  // Over the memo the wheel scrolls the memo, not a pane.
  Wheel(Child<QWidget>("Memo1"), QPoint(5, 5), 120);
  EXPECT_EQ(right.wd, 1600 * 10 / 11);
  EXPECT_EQ(left.wd, 1760);
}

TEST_F(Window, RightDragMovesThePictureOnRelease) {
  PaneGeometry& g = form_->LeftPane().Geometry();
  QWidget* box = Box(true);
  QTest::mousePress(box, Qt::RightButton, {}, QPoint(100, 100));
  QTest::mouseMove(box, QPoint(120, 95));
  EXPECT_EQ(g.ox, 0);  // nothing follows the pointer
  QTest::mouseRelease(box, Qt::RightButton, {}, QPoint(130, 90));
  EXPECT_EQ(g.ox, 30);
  EXPECT_EQ(g.oy, -10);
  // Middle press remembers the position; its release moves nothing.
  QTest::mousePress(box, Qt::MiddleButton, {}, QPoint(10, 10));
  QTest::mouseRelease(box, Qt::MiddleButton, {}, QPoint(50, 50));
  EXPECT_EQ(g.ox, 30);
  // The next right release measures from the middle press.
  QTest::mouseRelease(box, Qt::RightButton, {}, QPoint(15, 12));
  EXPECT_EQ(g.ox, 35);
  EXPECT_EQ(g.oy, -8);
  // Centre and slider restore position and size independently.
  Click("Button2");
  EXPECT_EQ(g.ox, (box->width() - 1600) / 2);
  Child<QScrollBar>("ScrollBar1")->setValue(11);
  EXPECT_EQ(g.wd, 176);
  EXPECT_EQ(g.hd, 132);
  EXPECT_EQ(g.ox, (box->width() - 1600) / 2);
}

TEST_F(Window, StoreCommandsKeepTheEarlierValueOnBadText) {
  PointTable& t = form_->Table();
  Child<QComboBox>("ComboBox1")->setCurrentIndex(3);
  Edit("xg1")->setText("12");
  Edit("yg1")->setText("-34");
  Click("Button12");
  EXPECT_EQ(t.Left(3).x, 12);
  EXPECT_EQ(t.Left(3).y, -34);
  struct Case {
    const char* x;
    const char* y;
    const char* message;
    std::int32_t xg, yg;
  } cases[] = {
      {"abc", "5", "'abc' is not a valid integer value.", 12, -34},
      {"7", "", "'' is not a valid integer value.", 7, -34},  // x is stored first
      {"2147483648", "1", "'2147483648' is not a valid integer value.", 7, -34},
      {"$10", "0x20", nullptr, 16, 32},
  };
  for (const Case& c : cases) {
    Messages().clear();
    Edit("xg1")->setText(c.x);
    Edit("yg1")->setText(c.y);
    Click("Button12");  // through the application's error box
    if (c.message) {
      ASSERT_EQ(Messages().size(), 1u) << c.x;
      EXPECT_EQ(Messages()[0].first, MessageKind::kError);
      EXPECT_EQ(Messages()[0].second, QString::fromUtf8(c.message));
    } else {
      EXPECT_TRUE(Messages().empty());
    }
    EXPECT_EQ(t.Left(3).x, c.xg) << c.x;
    EXPECT_EQ(t.Left(3).y, c.yg) << c.x;
  }
  // The right store fills the right columns of the observation point.
  Child<QComboBox>("ComboBox1")->setCurrentIndex(0);
  Edit("xd1")->setText("5");
  Edit("yd1")->setText("6");
  Click("Button13");
  EXPECT_EQ(t.Right(0).x, 5);
  EXPECT_EQ(t.Right(0).y, 6);
}

TEST_F(Window, SpaceCoordinatesUseTheLocaleSeparator) {
  PointTable& t = form_->Table();
  Child<QComboBox>("ComboBox1")->setCurrentIndex(2);
  QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
  Edit("px1")->setText("1,5");
  Edit("py1")->setText("-2");
  Edit("pz1")->setText("3E2");
  Click("Button5");
  EXPECT_EQ(t.Space(2).X, 1.5);
  EXPECT_EQ(t.Space(2).Y, -2);
  EXPECT_EQ(t.Space(2).Z, 300);
  Messages().clear();
  Edit("px1")->setText("4,25");
  Edit("py1")->setText("1.5");  // the full stop is not the separator here
  Click("Button5");
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(t.Space(2).X, 4.25);  // X was stored before Y failed
  EXPECT_EQ(t.Space(2).Y, -2);
  EXPECT_EQ(t.Space(2).Z, 300);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].second, "'1.5' is not a valid floating point value.");
}

// Pixels of the grabbed pane.
QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

TEST_F(Window, CrossAndMarkersArePaintedAtTheMappedPlaces) {
  PointTable& t = form_->Table();
  t.SetColor(3, 0x00FF0000);  // blue
  Child<QComboBox>("ComboBox1")->setCurrentIndex(3);
  Edit("xg1")->setText("800");
  Edit("yg1")->setText("600");
  Click("Button12");
  Child<QScrollBar>("ScrollBar1")->setValue(10);
  Child<QScrollBar>("ScrollBar1")->setValue(20);  // 320 x 240
  Edit("xg1")->setText("400");
  Edit("yg1")->setText("300");
  Child<QRadioButton>("RadioButton1")->setChecked(true);
  QImage shot = Box(true)->grab().toImage();
  const QColor blue(0, 0, 255), red(255, 0, 0), white(255, 255, 255), cyan = kCaptureColor;
  // Marker of point 3 at (160, 120): a plus of half-length 10.
  for (int k : {-10, -6, -1, 1, 6, 10}) {
    EXPECT_EQ(At(shot, 160 + k, 120), blue) << k;
    EXPECT_EQ(At(shot, 160, 120 + k), blue) << k;
  }
  EXPECT_NE(At(shot, 160 + 12, 120), blue);
  EXPECT_NE(At(shot, 163, 123), blue);  // no circle around a marker
  // Capture cross at (80, 60) with its circle of radius 5, in a colour no marker has.
  EXPECT_NE(cyan, red);
  EXPECT_NE(cyan, white);
  for (int k : {-10, -3, 3, 10}) {
    EXPECT_EQ(At(shot, 80 + k, 60), cyan) << k;
    EXPECT_EQ(At(shot, 80, 60 + k), cyan) << k;
  }
  // The circle: cyan pixels off the arms, all within radius 5 (plus a pixel of outline).
  int circle = 0;
  for (int y = 60 - 8; y <= 60 + 8; ++y) {
    for (int x = 80 - 8; x <= 80 + 8; ++x) {
      if (x == 80 || y == 60 || At(shot, x, y) != cyan) continue;
      ++circle;
      EXPECT_LE(std::hypot(x - 80, y - 60), 6.5) << x << "," << y;
    }
  }
  EXPECT_GE(circle, 16);
  // "Selected" draws no other marker: the unset points at (0, 0) are absent.
  EXPECT_NE(At(shot, 6, 0), red);
  EXPECT_NE(At(shot, 6, 0), white);

  // "All": the stored markers; points never stored in this photograph have none, not a false
  // one at the picture's corner.
  Child<QRadioButton>("RadioButton2")->setChecked(true);
  shot = Box(true)->grab().toImage();
  EXPECT_NE(At(shot, 6, 0), white);
  EXPECT_NE(At(shot, 0, 6), red);
  EXPECT_EQ(At(shot, 160 + 4, 120), blue);

  // Texts that are not whole numbers leave the cross out and still paint the rest.
  Edit("xg1")->setText("4x");
  shot = Box(true)->grab().toImage();
  EXPECT_NE(At(shot, 80 + 3, 60), cyan);
  EXPECT_EQ(At(shot, 160 + 4, 120), blue);
  // A display 1 pixel wide and 0 high: nothing divides by zero.
  form_->LeftPane().Geometry().wd = 1;
  form_->LeftPane().Geometry().hd = 0;
  Edit("xg1")->setText("2147483647");
  Edit("yg1")->setText("-2147483648");
  shot = Box(true)->grab().toImage();
  EXPECT_FALSE(shot.isNull());
  QTest::mouseClick(Box(true), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(Edit("xg1")->text(), "2147483647");  // nothing captured
}

// At any zoom the capture cross stands on the middle of the pixel the click captured.
TEST_F(Window, CaptureCrossStandsOnTheClickedPixel) {
  PaneGeometry& g = form_->LeftPane().Geometry();
  struct Case {
    int percent;
    QPoint click;
  } cases[] = {{100, QPoint(120, 90)},
               {800, QPoint(123, 91)},
               {800, QPoint(128, 96)},
               {1000, QPoint(141, 77)},
               {50, QPoint(60, 61)}};
  for (const Case& c : cases) {
    g.SetZoomPercent(c.percent);
    g.ox = -5;
    g.oy = 3;
    QTest::mouseClick(Box(true), Qt::LeftButton, {}, c.click);
    const std::int64_t x = Edit("xg1")->text().toLongLong();
    const std::int64_t y = Edit("yg1")->text().toLongLong();
    const QImage shot = Box(true)->grab().toImage();
    // The vertical arm, below the circle.
    int arm_x = -1, arm_y = -1;
    for (int sx = c.click.x() - 12; sx <= c.click.x() + 12; ++sx) {
      if (shot.pixelColor(sx, c.click.y() + 8) == kCaptureColor &&
          shot.pixelColor(sx, c.click.y() + 9) == kCaptureColor) {
        arm_x = sx;
      }
    }
    for (int sy = c.click.y() - 12; sy <= c.click.y() + 12; ++sy) {
      if (shot.pixelColor(arm_x + 8, sy) == kCaptureColor &&
          shot.pixelColor(arm_x + 9, sy) == kCaptureColor) {
        arm_y = sy;
      }
    }
    std::int64_t cx, cy;
    ASSERT_TRUE(g.ToImageInside(arm_x, arm_y, cx, cy)) << c.percent;
    EXPECT_EQ(cx, x) << c.percent;
    EXPECT_EQ(cy, y) << c.percent;
    // In the middle: as far from the footprint's left edge as from its right one, give or take
    // the odd screen pixel.
    const std::int64_t left = g.ox + x * g.wd / 1600, right = g.ox + (x + 1) * g.wd / 1600 - 1;
    EXPECT_LE(std::abs((arm_x - left) - (right - arm_x)), 1) << c.percent;
  }
}

TEST_F(Window, FailedLoadKeepsPictureAndLabel) {
  QImage sample(40, 30, QImage::Format_RGB32);
  sample.fill(Qt::cyan);
  const QString good = QString::fromStdString((dir_.path() / "small.bmp").string());
  ASSERT_TRUE(sample.save(good, "BMP"));
  form_->LoadPanePicture(form_->LeftPane(), good);
  EXPECT_EQ(Child<QLabel>("Label4")->text(), good);
  EXPECT_EQ(form_->LeftPane().Picture().size(), QSize(40, 30));
  // The display rectangle keeps its size until the next zoom change.
  EXPECT_EQ(form_->LeftPane().Geometry().wd, 1600);
  testing::WriteBytes(dir_.path() / "bad.jpg", "garbage");
  const QString bad = QString::fromStdString((dir_.path() / "bad.jpg").string());
  EXPECT_THROW(form_->LoadPanePicture(form_->LeftPane(), bad), std::exception);
  EXPECT_EQ(Child<QLabel>("Label4")->text(), good);
  EXPECT_EQ(form_->LeftPane().Picture().size(), QSize(40, 30));
  Child<QScrollBar>("ScrollBar1")->setValue(50);
  EXPECT_EQ(form_->LeftPane().Geometry().wd, 20);

  // Through the dialog: after a failed load, a cancel leaves the label on the photograph shown,
  // and that is what the settings keep.
  QFileDialog* dialog = form_->LeftPane().Dialog();
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  const auto answer = [dialog](const QString& file) {
    QTimer::singleShot(0, dialog, [dialog, file] {
      if (file.isEmpty()) {
        dialog->reject();
      } else {
        dialog->selectFile(file);
        static_cast<QDialog*>(dialog)->accept();  // public in QDialog
      }
    });
  };
  Messages().clear();
  answer(bad);
  Click("Button1");
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].second.startsWith("JPEG error #"));
  EXPECT_EQ(Child<QLabel>("Label4")->text(), good);
  answer({});
  Click("Button1");
  EXPECT_EQ(Child<QLabel>("Label4")->text(), good);
  form_->FormClose();
  EXPECT_EQ(ReadSettingsFile(form_->SettingsPath(), '.').left_image, good.toStdString());

  // A photograph cut short is shown, and the status bar says so while it is.
  const std::string bytes = testing::ReadBytes(testing::SourceDir() / "examples/left.jpg");
  testing::WriteBytes(dir_.path() / "half.jpg", bytes.substr(0, bytes.size() / 2));
  form_->LoadPanePicture(form_->LeftPane(),
                         QString::fromStdString((dir_.path() / "half.jpg").string()));
  EXPECT_TRUE(Child<QLabel>("StatusBar1Panel2")
                  ->text()
                  .contains("Left photograph incomplete (JPEG error #"))
      << qPrintable(Child<QLabel>("StatusBar1Panel2")->text());
  form_->LoadPanePicture(form_->LeftPane(), good);
  EXPECT_FALSE(Child<QLabel>("StatusBar1Panel2")->text().contains("incomplete"));
}

// Number texts are single-byte: a separator without a single-byte form becomes ".".
TEST(LocaleDecimalSeparator, SingleByteOrFullStop) {
  const struct {
    QLocale locale;
    char separator;
  } rows[] = {{QLocale(QLocale::French, QLocale::France), ','},
              {QLocale(QLocale::English, QLocale::UnitedStates), '.'},
              {QLocale(QLocale::German, QLocale::Germany), ','},
              {QLocale(QLocale::Arabic, QLocale::Egypt), '.'},
              {QLocale(QLocale::Persian, QLocale::Iran), '.'}};
  for (const auto& row : rows) {
    EXPECT_EQ(LocaleDecimalSeparator(row.locale), row.separator)
        << qPrintable(row.locale.name()) << " " << qPrintable(row.locale.decimalPoint());
  }
}

// Typing into a box is never taken away: the pointer crossing a pane hands the keyboard to the
// zoom slider only when no text box has it.
TEST_F(Window, TypedTextSurvivesThePointerCrossingAPane) {
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  auto* left_slider = Child<QScrollBar>("ScrollBar1");
  auto* right_slider = Child<QScrollBar>("ScrollBar2");
  Child<QPushButton>("Button7")->setFocus();
  QTest::mouseMove(Box(true), QPoint(100, 80));
  EXPECT_EQ(QApplication::focusWidget(), left_slider);
  struct Case {
    const char* box;
  } cases[] = {{"px1"}, {"xg1"}, {"yd1"}, {"Memo1"}};
  for (const Case& c : cases) {
    QWidget* typed = Child<QWidget>(c.box);
    typed->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), "12");
    QTest::mouseMove(Box(true), QPoint(120, 90));
    QTest::mouseMove(Box(false), QPoint(50, 60));
    QTest::keyClicks(QApplication::focusWidget(), "3");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(QApplication::focusWidget(), typed) << c.box;
    const QString text = qobject_cast<QLineEdit*>(typed)
                             ? qobject_cast<QLineEdit*>(typed)->text()
                             : qobject_cast<QPlainTextEdit*>(typed)->toPlainText();
    EXPECT_EQ(text, "123") << c.box;
  }
  EXPECT_EQ(left_slider->value(), 100);
  EXPECT_EQ(right_slider->value(), 100);
}

// A coordinate box clicked into takes what is typed in place of its text, and Enter stores what
// its "Store Point coordinates" stores; the point table shows it at once.
TEST_F(Window, TypingReplacesTheOldTextAndEnterStores) {
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  const PointTable& t = form_->Table();
  auto* combo = Child<QComboBox>("ComboBox1");
  auto* status = Child<QTableWidget>("PointStatus");
  const auto type = [this](const char* box, const char* text) {
    QTest::mouseClick(Edit(box), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyClicks(Edit(box), text);
  };
  type("px1", "-45");
  type("py1", "-30");
  type("pz1", "40");
  QTest::keyClick(Edit("pz1"), Qt::Key_Return);
  combo->setCurrentIndex(2);
  // Point 2 has no X, Y, Z yet: its boxes are empty, not point 1's.
  EXPECT_TRUE(Edit("py1")->text().isEmpty());
  type("px1", "45");
  type("py1", "-30");
  type("pz1", "40");
  QTest::keyClick(Edit("px1"), Qt::Key_Enter);
  EXPECT_EQ(t.Space(1).X, -45);
  EXPECT_EQ(t.Space(2).X, 45);
  EXPECT_EQ(t.Space(2).Y, -30);
  EXPECT_EQ(status->item(2, 2)->text(), QString::fromUtf8("\u2713"));
  // The capture boxes alike, in both photographs.
  type("xg1", "812");
  type("yg1", "403");
  QTest::keyClick(Edit("yg1"), Qt::Key_Return);
  type("yd1", "77");
  QTest::keyClick(Edit("yd1"), Qt::Key_Return);  // x still empty: refused as before
  type("xd1", "5");
  QTest::keyClick(Edit("xd1"), Qt::Key_Return);
  EXPECT_EQ(t.Left(2).x, 812);
  EXPECT_EQ(t.Left(2).y, 403);
  EXPECT_EQ(t.Right(2).x, 5);
  EXPECT_EQ(t.Right(2).y, 77);
  EXPECT_EQ(status->item(2, 1)->text(), QString::fromUtf8("\u2713"));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].second, "'' is not a valid integer value.");
}

// Store on click without "Advance": the point the program selected takes one pixel per photograph
// and refuses a second, saying so; once the user selects it, a click replaces its pixel and the
// status bar says so.
TEST_F(Window, StoreOnClickReplacesOnlyInAPointTheUserSelected) {
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  auto* status = Child<QLabel>("StatusBar1Panel2");
  const PointTable& t = form_->Table();
  QTest::keyClick(form_.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(status->text().startsWith("Store on click: on")) << status->text().toStdString();
  QTest::mouseClick(Box(true), Qt::LeftButton, {}, QPoint(50, 60));
  EXPECT_EQ(t.Left(1).x, 50);
  EXPECT_TRUE(form_->GetSession().Stored(1).left);
  QTest::mouseClick(Box(true), Qt::LeftButton, {}, QPoint(80, 90));
  EXPECT_EQ(t.Left(1).x, 50);
  EXPECT_FALSE(form_->GetSession().Stored(2).left);
  EXPECT_TRUE(status->text().contains("already stored (50 60): nothing stored"))
      << status->text().toStdString();
  EXPECT_EQ(Edit("xg1")->text(), "50");  // the boxes still show the point's pixel
  QTest::keyClick(form_.get(), Qt::Key_PageDown);
  QTest::keyClick(form_.get(), Qt::Key_PageUp);
  QTest::mouseClick(Box(true), Qt::LeftButton, {}, QPoint(80, 90));
  EXPECT_EQ(t.Left(1).x, 80);
  EXPECT_EQ(t.Left(1).y, 90);
  EXPECT_TRUE(status->text().startsWith("Left pixel 80 90 replaced 50 60 in control point 1"))
      << status->text().toStdString();
  EXPECT_TRUE(Messages().empty());
}

// Page Down / Page Up walk the selector round; Ctrl++ and Ctrl+- zoom the pane under the pointer
// by one wheel step about the pointer, and no pane when the pointer is over neither.
TEST_F(Window, KeyboardSelectsPointsAndZoomsUnderThePointer) {
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  auto* combo = Child<QComboBox>("ComboBox1");
  QTest::keyClick(form_.get(), Qt::Key_PageDown);
  EXPECT_EQ(combo->currentIndex(), 2);
  for (int i = 0; i < 3; ++i) QTest::keyClick(form_.get(), Qt::Key_PageUp);
  EXPECT_EQ(combo->currentIndex(), 9);

  const PaneGeometry before = form_->LeftPane().Geometry();
  QTest::keyClick(form_.get(), Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_EQ(form_->LeftPane().Geometry().wd, before.wd);  // pointer over no pane
  QTest::mouseMove(Box(true), QPoint(100, 80));
  QTest::keyClick(form_.get(), Qt::Key_Plus, Qt::ControlModifier);
  PaneGeometry wheel = before;
  wheel.WheelZoom(100, 80, 120);
  EXPECT_EQ(form_->LeftPane().Geometry().wd, wheel.wd);
  EXPECT_EQ(form_->LeftPane().Geometry().ox, wheel.ox);
  EXPECT_EQ(form_->RightPane().Geometry().wd, before.wd);
  QTest::keyClick(form_.get(), Qt::Key_Minus, Qt::ControlModifier);
  wheel.WheelZoom(100, 80, -120);
  EXPECT_EQ(form_->LeftPane().Geometry().wd, wheel.wd);
  QTest::keyClick(form_.get(), Qt::Key_Equal, Qt::ControlModifier);  // "+" without Shift
  wheel.WheelZoom(100, 80, 120);
  EXPECT_EQ(form_->LeftPane().Geometry().wd, wheel.wd);
}

// Closing with control points changed since the last save or load asks Save / Discard / Cancel.
TEST_F(Window, ClosingWithChangedControlPointsAsksFirst) {
  const std::filesystem::path reference = dir_.path() / "reference.txt";
  Edit("px1")->setText("1");
  Edit("py1")->setText("2");
  Edit("pz1")->setText("3");
  Click("Button5");
  {
    testing::ScopedAnswer cancel(static_cast<int>(SaveAnswer::kCancel));
    EXPECT_FALSE(form_->close());
    EXPECT_TRUE(form_->isVisible());
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].first, MessageKind::kSaveChanges);
  }
  {
    testing::ScopedAnswer save(static_cast<int>(SaveAnswer::kSave));
    EXPECT_TRUE(form_->close());
    EXPECT_TRUE(std::filesystem::exists(reference));
  }
  // A window with nothing changed closes without a question; a change discarded is not written.
  std::filesystem::remove(reference);
  Messages().clear();
  TForm1 unchanged(dir_.program_directory());
  EXPECT_TRUE(unchanged.close());
  EXPECT_TRUE(Messages().empty());
  TForm1 discarded(dir_.program_directory());
  discarded.findChild<QLineEdit*>("px1")->setText("4");
  discarded.findChild<QLineEdit*>("py1")->setText("5");
  discarded.findChild<QLineEdit*>("pz1")->setText("6");
  discarded.Button5Click();
  testing::ScopedAnswer discard(static_cast<int>(SaveAnswer::kDiscard));
  EXPECT_TRUE(discarded.close());
  EXPECT_FALSE(std::filesystem::exists(reference));
}

// The loupe shows the pixels around the pointer magnified, on the side away from it; the status
// bar gives the pointer's pixel and the zoom; the picture follows a right drag and stays where
// the release puts it; "Fit" shows the whole photograph.
TEST_F(Window, LoupeStatusLivePanAndFit) {
  QWidget* box = Box(true);
  PaneView& pane = form_->LeftPane();
  auto* status = Child<QLabel>("StatusBar1Panel2");
  constexpr int kMiddle = (kLoupePixels / 2) * kLoupeZoom + kLoupeZoom / 2;
  struct Case {
    QPoint at;
    bool loupe_right;
  } cases[] = {{QPoint(100, 80), true}, {QPoint(300, 200), false}};
  for (const Case& c : cases) {
    // From a neighbouring pixel: a pointer already at c.at (left there by an earlier test) would
    // not move, and no event would come.
    QTest::mouseMove(box, c.at + QPoint(1, 1));
    QTest::mouseMove(box, c.at);
    const QImage shot = box->grab().toImage();
    const QRect loupe = LoupeRect(box->width(), c.at.x());
    EXPECT_EQ(loupe.x() > box->width() / 2, c.loupe_right);
    EXPECT_EQ(shot.pixelColor(loupe.x() + kMiddle, loupe.y() + kMiddle),
              pane.Picture().pixelColor(c.at));
    EXPECT_EQ(shot.pixelColor(loupe.x() + 3, loupe.y() + 3),
              pane.Picture().pixelColor(c.at - QPoint(kLoupePixels / 2, kLoupePixels / 2)));
    EXPECT_TRUE(
        status->text().startsWith(QString("x %1  y %2  |  zoom 100 %").arg(c.at.x()).arg(c.at.y())))
        << status->text().toStdString();
  }
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(box, &leave);
  const QRect loupe = LoupeRect(box->width(), 300);
  EXPECT_EQ(box->grab().toImage().pixelColor(loupe.x() + kMiddle, loupe.y() + kMiddle),
            pane.Picture().pixelColor(loupe.x() + kMiddle, loupe.y() + kMiddle));
  EXPECT_TRUE(status->text().startsWith("zoom 100 %"));

  const QImage before = box->grab().toImage();
  QTest::mousePress(box, Qt::RightButton, {}, QPoint(100, 100));
  QTest::mouseMove(box, QPoint(130, 90));
  const QImage dragging = box->grab().toImage();
  EXPECT_NE(dragging, before);
  EXPECT_EQ(dragging.pixelColor(130, 90), pane.Picture().pixelColor(100, 100));
  QTest::mouseRelease(box, Qt::RightButton, {}, QPoint(130, 90));
  QApplication::sendEvent(box, &leave);
  EXPECT_EQ(pane.Geometry().ox, 30);
  EXPECT_EQ(box->grab().toImage(), dragging);

  Click("Button15");
  const PaneGeometry& g = pane.Geometry();
  EXPECT_TRUE(g.wd == box->width() || g.hd == box->height());
  EXPECT_TRUE(g.ox >= 0 && g.oy >= 0 && g.ox + g.wd <= box->width() &&
              g.oy + g.hd <= box->height());
  EXPECT_LE(std::abs(g.wd * 1200 - g.hd * 1600), 1600);  // the aspect, to within a pixel
}

// The slider shows the zoom in effect after "Fit" and the wheel, so that its next step is one
// percent from there; "Fit photographs when shown" fits at start and is remembered.
TEST_F(Window, SliderFollowsFitAndWheelAndFitWhenShownIsRemembered) {
  PaneView& pane = form_->LeftPane();
  const PaneGeometry& g = pane.Geometry();
  auto* slider = Child<QScrollBar>("ScrollBar1");
  Click("Button15");
  const std::int64_t fitted = g.wd;
  ASSERT_LT(g.ZoomPercent(), 100);
  EXPECT_EQ(slider->value(), g.ZoomPercent());
  EXPECT_EQ(g.wd, fitted);  // showing the zoom does not change it
  const int shown = slider->value();
  slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // its arrow
  EXPECT_EQ(slider->value(), shown + 1);
  EXPECT_EQ(g.wd, 1600 * (shown + 1) / 100);
  Wheel(Box(true), QPoint(100, 80), 120);
  Wheel(Box(true), QPoint(100, 80), 120);
  EXPECT_EQ(slider->value(), g.ZoomPercent());
  Wheel(Box(true), QPoint(100, 80), -120);
  EXPECT_EQ(slider->value(), g.ZoomPercent());

  std::ofstream(dir_.program_directory() + "config.ini") << "[Guidance]\nFIT=1\n";
  form_->hide();
  form_ = std::make_unique<TForm1>(dir_.program_directory());
  form_->resize(1005, 739);
  form_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  for (PaneView* p : {&form_->LeftPane(), &form_->RightPane()}) {
    const PaneGeometry& f = p->Geometry();
    EXPECT_TRUE(f.wd == p->Box()->width() || f.hd == p->Box()->height());
    EXPECT_EQ(p->Slider()->value(), f.ZoomPercent());
  }
  // The status bar shows the zoom the panes were fitted to, not the one before the fit.
  EXPECT_TRUE(Child<QLabel>("StatusBar1Panel2")
                  ->text()
                  .startsWith(QString("zoom %1 %").arg(form_->LeftPane().Geometry().ZoomPercent())))
      << Child<QLabel>("StatusBar1Panel2")->text().toStdString();
  auto* option = form_->findChild<QAction*>("ActionFitWhenShown");
  ASSERT_NE(option, nullptr);
  EXPECT_TRUE(option->isChecked());
  option->setChecked(false);
  form_->close();
  EXPECT_EQ(
      IniFile::Load(dir_.program_directory() + "config.ini").ReadString("GUIDANCE", "fit", ""),
      "0");
}

// Storing a point shows at once in the status table and the status bar; a row click selects
// its point.
TEST_F(Window, PointStatusTableFollowsStoresAndSelects) {
  auto* table = Child<QTableWidget>("PointStatus");
  auto* combo = Child<QComboBox>("ComboBox1");
  const QString yes = QString::fromUtf8("\u2713"), no = QString::fromUtf8("\u2013");
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                    table->visualItemRect(table->item(4, 1)).center());
  EXPECT_EQ(combo->currentIndex(), 4);
  EXPECT_EQ(table->item(4, 1)->text(), no);
  Edit("xd1")->setText("10");
  Edit("yd1")->setText("20");
  Click("Button13");
  EXPECT_EQ(table->item(4, 0)->text(), no);
  EXPECT_EQ(table->item(4, 1)->text(), yes);
  EXPECT_TRUE(Child<QLabel>("StatusBar1Panel2")
                  ->text()
                  .endsWith("Control : 4: left missing, right stored, space missing"));
  Edit("xd1")->setText("x");  // a failed store marks nothing
  combo->setCurrentIndex(5);
  Click("Button13");
  EXPECT_EQ(table->item(5, 1)->text(), no);
  EXPECT_TRUE(table->item(4, 3)->text().isEmpty());  // no residual before a calibration
}

// A point beyond the first ten through its life by the Points menu's commands: the selector,
// the point table and the session's table say the same at each step, and the first ten keep
// their entries.
TEST_F(Window, AddedPointIsSwitchedRenamedAndDeleted) {
  auto* table = Child<QTableWidget>("PointStatus");
  auto* combo = Child<QComboBox>("ComboBox1");
  auto* check = form_->findChild<QAction*>("ActionCheckPoint");
  ASSERT_NE(check, nullptr);
  const PointTable& points = form_->GetSession().Table();
  const auto agree = [&](int count) {
    ASSERT_EQ(points.Count(), count);
    ASSERT_EQ(combo->count(), count);
    ASSERT_EQ(table->rowCount(), count);
    for (int i = 0; i < count; ++i) {
      const QString name = QString::fromStdString(points.Name(i));
      EXPECT_EQ(table->verticalHeaderItem(i)->text(), name) << i;
      if (i > 0) {
        EXPECT_TRUE(combo->itemText(i).endsWith(" : " + name)) << i;
      }
    }
  };
  const QStringList first_ten = [&] {
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
    return entries;
  }();

  form_->AddNamedPoint("T12", PointKind::kCheck);
  agree(11);
  EXPECT_EQ(combo->currentIndex(), 10);
  EXPECT_EQ(combo->currentText(), "Check : T12");
  EXPECT_TRUE(check->isChecked());
  Edit("xd1")->setText("10");
  Edit("yd1")->setText("20");
  Click("Button13");
  EXPECT_EQ(points.Right(10), (ImagePosition{10, 20}));
  EXPECT_EQ(table->item(10, 1)->text(), QString::fromUtf8("\u2713"));

  check->trigger();
  EXPECT_EQ(points.Kind(10), PointKind::kControl);
  EXPECT_EQ(combo->currentText(), "Control : T12");
  EXPECT_FALSE(check->isChecked());
  form_->RenameSelectedPoint("T13");
  agree(11);
  EXPECT_EQ(combo->currentText(), "Control : T13");
  EXPECT_EQ(points.Right(10), (ImagePosition{10, 20})) << "a new name keeps what is stored";

  form_->DeleteSelectedPoint();
  agree(10);
  EXPECT_EQ(combo->currentIndex(), 9);
  QStringList entries;
  for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
  EXPECT_EQ(entries, first_ten);

  // The first ten are neither renamed nor deleted, but a control point can become a check point
  // and back.
  combo->setCurrentIndex(3);
  EXPECT_THROW(form_->DeleteSelectedPoint(), Exception);
  EXPECT_THROW(form_->RenameSelectedPoint("C3"), Exception);
  check->trigger();
  EXPECT_EQ(points.Kind(3), PointKind::kCheck);
  EXPECT_EQ(combo->itemText(3), "Check : 3");
  check->trigger();
  EXPECT_EQ(combo->itemText(3), first_ten[3]);
  agree(10);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Window, ErrorsOfCommandsEndInTheErrorBox) {
  // No reference.txt in the working directory; measuring before any calibration.
  Click("Button8");
  Child<QComboBox>("ComboBox1")->setCurrentIndex(0);
  Edit("px1")->setText("keep");
  Click("Button9");
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Messages()[0].first, MessageKind::kError);
  EXPECT_EQ(Messages()[0].second, "File not found.");
  // What is missing is said before anything runs: no number is used up.
  EXPECT_EQ(Messages()[1].second,
            "Missing before measuring: a calibration (\"Compute Ext./Int. parameters\"), object "
            "point (left, right).");
  EXPECT_EQ(Edit("px1")->text(), "keep");
  EXPECT_EQ(form_->ObjectPointCount(), 0);
  EXPECT_TRUE(Child<QPlainTextEdit>("Memo1")->toPlainText().isEmpty());
  EXPECT_TRUE(form_->isVisible());
}

// One language at a time: in French the window shows the French texts, Qt's own included (key
// names), and a core error in French; in English the same error in English.
TEST_F(Window, TheWindowSpeaksTheLanguageChosenAtStart) {
  auto* app = static_cast<TApplication*>(QCoreApplication::instance());
  const struct {
    Language language;
    const char* hint;
    const char* error;
    const char* shift;  // the Shift key's name in the store-on-click shortcut
    const char* missing;
  } cases[] = {
      {Language::kFrench, "sauvegarde les coordonnées dans le fichier \"reference.txt\" (Ctrl+S)",
       "'abc' n'est pas une valeur entière correcte.", "Maj",
       "Il manque avant de mesurer : une calibration (« Calculer les paramètres ext./int. »), "
       "point objet (gauche, droite)."},
      {Language::kEnglish, "saves the coordinates to the file \"reference.txt\" (Ctrl+S)",
       "'abc' is not a valid integer value.", "Shift",
       "Missing before measuring: a calibration (\"Compute Ext./Int. parameters\"), object point "
       "(left, right)."},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(app->UseLanguage(c.language));
    Messages().clear();
    TForm1 form(dir_.program_directory());
    EXPECT_EQ(form.findChild<QPushButton*>("Button7")->toolTip(), QString::fromUtf8(c.hint));
    EXPECT_TRUE(form.findChild<QAction*>("ActionStoreOnClick")
                    ->shortcut()
                    .toString(QKeySequence::NativeText)
                    .contains(c.shift));
    form.findChild<QLineEdit*>("xg1")->setText("abc");
    QTest::mouseClick(form.findChild<QPushButton*>("Button12"), Qt::LeftButton);
    QTest::mouseClick(form.findChild<QPushButton*>("Button9"), Qt::LeftButton);
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[0].second, QString::fromUtf8(c.error));
    EXPECT_EQ(Messages()[1].second, QString::fromUtf8(c.missing));
  }
}

TEST(ErrorBox, PeriodIsAddedAfterCharactersThatSortAfterIt) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"Fichier introuvable", "File not found."},  // a core message, in the window's language
      {"Erreur JPEG #53", "JPEG error #53."},
      {"Extension de fichier image inconnue (.tif)", "Unknown picture file extension (.tif)"},
      {"Done.", "Done."},
      {"a-", "a-"},
      {"Accès refusé", "Accès refusé."},
      {"", ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorBoxText(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
  }
}

TEST(Settings, WindowReadsAtStartAndWritesAtClose) {
  testing::ScratchDirectory dir;
  QImage sample(40, 30, QImage::Format_RGB32);
  sample.fill(Qt::cyan);
  const std::string photo = (dir.path() / "photo.bmp").string();
  ASSERT_TRUE(sample.save(QString::fromStdString(photo), "BMP"));
  const std::string ini = dir.program_directory() + "config.ini";
  std::ofstream(ini) << "[Images]\nleft=" << photo << "\nRIGHT=/no/such/file.jpg\n[COLORS]\n"
                     << "OBS=clBlue\nREF2=$0080FF00\n[CAD]\nSCALE=2\nOTHER=1\n";
  {
    TForm1 form(dir.program_directory());
    EXPECT_EQ(form.Table().Color(0), 0x00FF0000u);
    EXPECT_EQ(form.Table().Color(2), 0x0080FF00u);
    EXPECT_EQ(form.Table().Color(1), kColorRed);
    EXPECT_EQ(form.Scale(), 2);
    EXPECT_EQ(form.Ball(), 0.01);
    EXPECT_EQ(form.findChild<QLabel*>("Label4")->text().toStdString(), photo);
    EXPECT_TRUE(form.findChild<QLabel*>("Label11")->text().isEmpty());  // missing: skipped
    EXPECT_EQ(form.LeftPane().Geometry().wd, 40);
    EXPECT_EQ(form.LeftPane().Geometry().hd, 30);
    EXPECT_EQ(form.RightPane().Picture().size(), QSize(1600, 1200));  // built-in kept
    form.Table().SetColor(9, 0x00123456);
    form.show();
    form.close();
  }
  const Settings back = ReadSettingsFile(ini, '.');
  EXPECT_EQ(back.left_image, photo);
  EXPECT_EQ(back.right_image, "/no/such/file.jpg");  // missing at start, yet kept
  EXPECT_EQ(back.colors[0], 0x00FF0000u);
  EXPECT_EQ(back.colors[9], 0x00123456u);
  EXPECT_EQ(back.scale, 2);
  EXPECT_EQ(IniFile::Load(ini).ReadString("CAD", "other", ""), "1");

  // A photograph that exists but does not load is told, and still remembered.
  const std::string damaged = (dir.path() / "damaged.jpg").string();
  std::ofstream(damaged) << "not a JPEG";
  std::ofstream(ini) << "[IMAGES]\nLEFT=" << damaged << "\n";
  {
    TForm1 form(dir.program_directory());
    form.show();
    form.close();
  }
  EXPECT_EQ(ReadSettingsFile(ini, '.').left_image, damaged);
}

TEST(Settings, RefusedWriteIsShownAndTheWindowStillCloses) {
  testing::ScratchDirectory dir;
  Messages().clear();
  const std::string ini = dir.program_directory() + "config.ini";
  std::filesystem::create_directory(ini);  // cannot be replaced by a file
  TForm1 form(dir.program_directory());
  form.show();
  EXPECT_TRUE(form.close());
  EXPECT_FALSE(form.isVisible());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].first, MessageKind::kError);
  EXPECT_EQ(Messages()[0].second, QString::fromStdString("Cannot write to " + ini + "."));
}

TEST(Settings, BadColourTextIsReportedOnceTheWindowIsUp) {
  testing::ScratchDirectory dir;
  Messages().clear();
  testing::WriteBytes(dir.program_directory() + "config.ini", "[COLORS]\nREF4=mauve\n");
  TForm1 form(dir.program_directory());
  EXPECT_EQ(form.Table().Color(4), kColorRed);
  EXPECT_TRUE(Messages().empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].second, "'mauve' is not a valid integer value.");
}

TEST(Help, ButtonOpensTheDocumentBesideTheExecutableAtItsContents) {
  testing::ScratchDirectory dir;
  TForm1 form(dir.program_directory());
  QString asked;
  form.on_show_help = [&asked](const QString& file) { asked = file; };
  QTest::mouseClick(form.findChild<QToolButton*>("BitBtn1"), Qt::LeftButton);
  EXPECT_EQ(asked.toStdString(), dir.program_directory() + "Vistrel.html");
  // Whatever the working directory, the help lives beside the program.
  TForm1 from_executable;
  EXPECT_EQ(from_executable.HelpFilePath(),
            QCoreApplication::applicationDirPath() + "/Vistrel.html");

  // The help built in, in either language, when no document lies beside the program; one that
  // does wins.
  const QString beside = QString::fromStdString(dir.program_directory() + "Vistrel.html");
  THelpViewer viewer;
  const struct {
    const char* built_in;
    const char* contents;
    const char* option;
  } languages[] = {{kBuiltInHelp, "Contents", "Store on click"},
                   {kBuiltInHelpFrench, "Sommaire", "Enregistrer au clic"}};
  for (const auto& c : languages) {
    viewer.ShowContents(beside, c.built_in);
    EXPECT_TRUE(viewer.isVisible());
    EXPECT_EQ(viewer.Browser()->source().fragment(), "contents");
    EXPECT_TRUE(viewer.Browser()->toPlainText().contains(c.contents)) << c.built_in;
    EXPECT_TRUE(viewer.Browser()->toPlainText().contains(c.option)) << c.built_in;
  }
  std::ofstream(beside.toStdString()) << "<h2><a name=\"contents\"></a>Site notes</h2>";
  viewer.ShowContents(beside, kBuiltInHelp);
  EXPECT_TRUE(viewer.Browser()->toPlainText().startsWith("Site notes"));
  viewer.close();

  TForm3 form3;
  EXPECT_FALSE(form3.isVisible());
  EXPECT_EQ(form3.windowTitle(), "Aide");
  const QString text = form3.Memo1->toPlainText();
  EXPECT_TRUE(text.startsWith("Logiciel de vectorisation"));
  EXPECT_TRUE(text.contains("Manipulation des images :\n-------------------------\n"));
  EXPECT_TRUE(text.contains("Traitement des données et calcul"));
}

}  // namespace
}  // namespace vistrel
