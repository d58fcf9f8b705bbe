// OpenGL tests of the scene viewer and the 3D window, run on an X server (Xvfb with Mesa's
// software renderer in CI); they skip themselves without a display.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <sstream>

#include "gl_test_main.h"
#include "project/export.h"
#include "scene/camera.h"
#include "scene/tick_source.h"
#include "scene/viewer.h"
#include "tests/support/temp_dir.h"
#include "ui/view3d/navigation.h"
#include "ui/view3d/reconstruction_window.h"

namespace vistrel {
namespace {

using scene::Vec3;

// Widget pixel (origin top-left) where a scene point appears, from the camera's look-at view and
// frustum, computed independently of the GL pipeline.
QPointF ProjectToWidget(const scene::SceneViewer& viewer, Vec3 p) {
  const scene::CameraNode& cam = *viewer.camera();
  const Vec3 eye = cam.AbsolutePosition();
  const Vec3 f = scene::Normalized(cam.target->AbsolutePosition() - eye);
  const Vec3 s = scene::Normalized(scene::Cross(f, cam.AbsoluteUp()));
  const Vec3 u = scene::Cross(s, f);
  const Vec3 d = p - eye;
  const double x = scene::Dot(s, d), y = scene::Dot(u, d), depth = scene::Dot(f, d);
  const scene::Frustum fr =
      scene::CameraFrustum(cam, viewer.width(), viewer.height(), viewer.ScreenPpi());
  const double xn = fr.near * x / depth / fr.right, yn = fr.near * y / depth / fr.top;
  return {(xn + 1) / 2 * viewer.width(), (1 - yn) / 2 * viewer.height()};
}

struct PickScene {
  scene::SceneViewer viewer;
  scene::FrameNode* target;
  scene::CameraNode* camera;
  scene::SphereNode* ball;
  scene::PolylineNode* line;

  PickScene() {
    viewer.resize(200, 200);
    target = viewer.root().AddChild<scene::FrameNode>();
    line = viewer.root().AddChild<scene::PolylineNode>();
    line->name = "line";
    line->vertices = {{-1, 0, 0}, {1, 0, 0}};
    ball = viewer.root().AddChild<scene::SphereNode>();
    ball->name = "ball";
    ball->position = {0, 0, 1};
    camera = viewer.root().AddChild<scene::CameraNode>();
    camera->position = {0, 0, 5};
    camera->target = target;
    viewer.set_camera(camera);
    viewer.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  }
};

TEST(ScenePick, NearestVisibleNodeUnderThePixel) {
  VISTREL_REQUIRE_DISPLAY();
  PickScene s;
  ASSERT_TRUE(s.viewer.HasValidContext());
  const QPointF centre = ProjectToWidget(s.viewer, {0, 0, 0});
  const int cx = int(centre.x()), cy = int(centre.y());
  EXPECT_EQ(s.viewer.Pick(cx, cy), s.ball) << "sphere in front of the line";
  s.ball->visible = false;
  EXPECT_EQ(s.viewer.Pick(cx, cy), s.line) << "an invisible node lets the one behind be picked";
  s.line->visible = false;
  EXPECT_EQ(s.viewer.Pick(cx, cy), nullptr);
  s.line->visible = true;
  EXPECT_EQ(s.viewer.Pick(cx + 60, cy), s.line) << "line alone, away from the ball";
  EXPECT_EQ(s.viewer.Pick(cx + 60, cy + 40), nullptr) << "background";
  // A hidden parent hides its children from picking too.
  auto* group = s.viewer.root().AddChild<scene::FrameNode>();
  auto* inner = group->AddChild<scene::SphereNode>();
  inner->position = {0, 0, 2};
  EXPECT_EQ(s.viewer.Pick(cx, cy), inner);
  group->visible = false;
  EXPECT_EQ(s.viewer.Pick(cx, cy), s.line);
}

TEST(ScenePick, OverflowingHitBufferIsEnlargedAndNearestStillWins) {
  VISTREL_REQUIRE_DISPLAY();
  PickScene s;
  // 150 balls on the line of sight: more hits than the first buffer holds.
  scene::SphereNode* nearest = nullptr;
  for (int i = 0; i < 150; ++i) {
    auto* b = s.viewer.root().AddChild<scene::SphereNode>();
    b->radius = 0.1f;
    b->position = {0, 0, -3.0f + i * 0.02f};
    if (i == 75) nearest = b;  // drawn before the nearer ones below it in the list order
  }
  nearest->position = {0, 0, 2.5f};  // nearer than the rest, beyond the near plane
  const QPointF centre = ProjectToWidget(s.viewer, {0, 0, 0});
  EXPECT_EQ(s.viewer.Pick(int(centre.x()), int(centre.y())), nearest);
}

// The 3D window on a small geometry file in a scratch folder.
class Form2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_gl::HasDisplay()) GTEST_SKIP() << "no DISPLAY: OpenGL tests need an X server";
    ASSERT_TRUE(dir_.isValid());
    path_ = dir_.filePath("geom.txt").toStdString();
  }
  void Write(const std::string& text) { testing::WriteBytes(path_, text); }
  std::string Read() const { return testing::ReadBytes(path_); }
  std::unique_ptr<view3d::TForm2> Open(double scale = 0.01, double ball = 0.01) {
    auto form = std::make_unique<view3d::TForm2>(scale, ball, path_);
    form->confirm = [this, raw = form.get()](const QString& q) {
      questions_.push_back(q);
      paused_while_asked_.push_back(raw->cadencer()->Paused());
      return answer_;
    };
    form->inform = [this](const QString& m) { informed_.push_back(m); };
    form->report_error = [this](std::exception_ptr e) { errors_.push_back(e); };
    form->keypad_state = [this] { return keys_; };
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    return form;
  }
  QImage Frame(view3d::TForm2& form) { return form.viewer()->grabFramebuffer(); }
  QPoint PixelOf(view3d::TForm2& form, scene::Node* node) {
    return ProjectToWidget(*form.viewer(), node->AbsolutePosition()).toPoint();
  }

  QTemporaryDir dir_;
  std::string path_;
  bool answer_ = true;
  std::bitset<10> keys_;
  std::vector<QString> questions_, informed_;
  std::vector<bool> paused_while_asked_;
  std::vector<std::exception_ptr> errors_;
};

int CountPixels(const QImage& image, const std::function<bool(QColor)>& match, QRect area = {}) {
  if (area.isNull()) area = image.rect();
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) n += match(image.pixelColor(x, y)) ? 1 : 0;
  }
  return n;
}

// Red emission plus white light from the camera: red at the rim, pink towards the middle.
bool Reddish(QColor c) {
  return c.red() > 170 && c.red() - c.green() > 60 && c.red() - c.blue() > 60;
}
bool Yellowish(QColor c) { return c.red() > 200 && c.green() > 200 && c.red() - c.blue() > 40; }

TEST_F(Form2Test, DemoSceneShowsBallsLinesAxesGroundAndHelp) {
  const QString demo = qEnvironmentVariable("VISTREL_SOURCE_DIR") + "/examples/geom.txt";
  if (QFile::exists(demo)) {
    QFile::remove(QString::fromStdString(path_));
    ASSERT_TRUE(QFile::copy(demo, QString::fromStdString(path_)));
  } else {
    Write("p  -45   -30   40   \r\np  45   30   40   \r\nl 0  0  25  -25  -10  10  \r\n");
  }
  auto form = Open();
  ASSERT_TRUE(errors_.empty());
  ASSERT_FALSE(form->geometry().points().empty());
  form->viewer()->resize(900, 600);
  QApplication::processEvents();
  const QImage frame = Frame(*form);
  frame.save(QDir::tempPath() + "/vistrel_view3d_demo.png");

  // Balls: red pixels around each point's projection.
  for (scene::SphereNode* p : form->geometry().points()) {
    const QPoint c = PixelOf(*form, p);
    EXPECT_GT(CountPixels(frame, Reddish, QRect(c - QPoint(4, 4), QSize(9, 9))), 0) << p->name;
  }
  // Lines: white pixels halfway along each line.
  for (scene::PolylineNode* l : form->geometry().lines()) {
    const scene::Mat4 m = l->AbsoluteMatrix();
    const Vec3 mid = scene::TransformPoint((l->vertices[0] + l->vertices[1]) * 0.5f, m);
    const QPoint c = ProjectToWidget(*form->viewer(), mid).toPoint();
    EXPECT_GT(CountPixels(
                  frame, [](QColor q) { return q.lightness() > 235; },
                  QRect(c - QPoint(2, 2), QSize(5, 5))),
              0)
        << l->name;
  }
  // Ground: the lower part of the view is the grey texture, not the background.
  const QColor bg = form->palette().color(QPalette::Button);
  const QRect lower(0, frame.height() * 3 / 4, frame.width(), frame.height() / 4 - 1);
  const int grey = CountPixels(
      frame,
      [bg](QColor q) {
        return std::abs(q.red() - q.green()) < 20 && q.red() > 60 && q.red() < 200 && q != bg;
      },
      lower);
  EXPECT_GT(grey, lower.width() * lower.height() / 2);
  // Help text: red glyphs in the top-left corner.
  EXPECT_GT(CountPixels(frame, Reddish, QRect(0, 0, 200, 70)), 50);
  // Target marker: yellow cube at the centre.
  const QPoint centre = PixelOf(*form, form->nodes().GLDummyCube2);
  EXPECT_GT(CountPixels(frame, Yellowish, QRect(centre - QPoint(5, 5), QSize(11, 11))), 20);
  form->controls().CheckBox1->setChecked(false);
  const QImage no_marker = Frame(*form);
  EXPECT_EQ(CountPixels(no_marker, Yellowish, QRect(centre - QPoint(5, 5), QSize(11, 11))), 0);
  form->reject();
}

TEST_F(Form2Test, ShadowOnTheGroundFromAboveNothingFromBelow) {
  // One ball under the ground: from above the ground hides it and its shadow darkens the ground
  // where it would be; from below the ground and shadows are not drawn and the ball shows.
  Write("p 20  0  -20  \r\n");
  auto form = Open(0.01, 0.05);
  form->controls().CheckBox1->setChecked(false);
  scene::SphereNode* ball = form->geometry().points().at(0);
  QImage above = Frame(*form);
  const QPoint at = PixelOf(*form, ball);
  const QPoint beside = at + QPoint(0, 60);
  EXPECT_LT(above.pixelColor(at).lightness() + 25, above.pixelColor(beside).lightness());
  EXPECT_EQ(CountPixels(above, Reddish, QRect(at - QPoint(10, 10), QSize(21, 21))), 0);
  above.save(QDir::tempPath() + "/vistrel_view3d_shadow.png");

  form->nodes().GLCamera1->position = {0, -1, 1};
  const QImage below = Frame(*form);
  const QPoint seen = PixelOf(*form, ball);
  EXPECT_GT(CountPixels(below, Reddish, QRect(seen - QPoint(10, 10), QSize(21, 21))), 50);
  form->reject();
}

TEST_F(Form2Test, SelectCreateDeleteAndCloseWritesTheEdits) {
  Write("p 0  0  20  \r\np 30  0  0  \r\np -30  10  0  \r\nl 0  0  20  30  0  0  \r\n");
  auto form = Open();
  auto& g = form->geometry();
  ASSERT_EQ(g.points().size(), 3u);
  Frame(*form);  // a first frame, as the user would see before clicking

  // Real right clicks on the viewer select the first two points.
  QTest::mouseClick(form->viewer(), Qt::RightButton, {}, PixelOf(*form, g.points()[0]));
  QTest::mouseClick(form->viewer(), Qt::RightButton, {}, PixelOf(*form, g.points()[1]));
  EXPECT_EQ(g.selected1(), g.points()[0]);
  EXPECT_EQ(g.selected2(), g.points()[1]);
  QTest::mouseClick(form->controls().Button1, Qt::LeftButton);
  ASSERT_EQ(g.lines().size(), 2u);
  EXPECT_EQ(g.lines()[1]->name, "Line1");
  // Return presses no button of this window: no second line.
  QTest::keyClick(form.get(), Qt::Key_Return);
  QTest::keyClick(form->viewer(), Qt::Key_Return);
  EXPECT_EQ(g.lines().size(), 2u);
  EXPECT_TRUE(form->isVisible());

  // Delete the third point, then the file's line (clicked at its middle), answering yes.
  form->controls().rg2->setChecked(true);
  form->GLSceneViewer1MouseDown(Qt::RightButton, PixelOf(*form, g.points()[2]).x(),
                                PixelOf(*form, g.points()[2]).y());
  EXPECT_FALSE(g.points()[2]->visible);
  form->controls().rg3->setChecked(true);
  const Vec3 mid =
      scene::TransformPoint((g.lines()[0]->vertices[0] + g.lines()[0]->vertices[1]) * 0.5f,
                            form->nodes().GLDummyCube1->AbsoluteMatrix());
  const QPoint m = ProjectToWidget(*form->viewer(), mid).toPoint();
  form->GLSceneViewer1MouseDown(Qt::RightButton, m.x(), m.y());
  EXPECT_FALSE(g.lines()[0]->visible);
  ASSERT_EQ(questions_.size(), 2u);
  EXPECT_EQ(paused_while_asked_, std::vector<bool>({true, true}));
  EXPECT_FALSE(form->cadencer()->Paused());
  EXPECT_EQ(questions_[0], "Do you want to remove the selected point ?");
  EXPECT_EQ(questions_[1], "Do you want to remove the selected line ?");

  form->reject();  // closing writes back
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(g.points().empty());
  // The scene drew in single precision; the file keeps the values as read.
  EXPECT_EQ(Read(), "p 0  0  20  \r\np 30  0  0  \r\nl 0  0  20  30  0  0  \r\n");
  EXPECT_TRUE(errors_.empty());
}

TEST_F(Form2Test, NavigationDragWheelAndKeypad) {
  Write("");
  auto form = Open();
  scene::CameraNode& cam = *form->nodes().GLCamera1;
  // Left drag 45 pixels up from the start: camera level with the target.
  form->GLSceneViewer1MouseDown(Qt::LeftButton, 100, 100);
  form->GLSceneViewer1MouseMove(Qt::LeftButton, 100, 55);
  EXPECT_NEAR(cam.position.y, 0, 1e-5);
  EXPECT_NEAR(cam.position.z, std::sqrt(2.0), 1e-5);
  // Moving without the left button only follows the cursor.
  form->GLSceneViewer1MouseMove(Qt::NoButton, 300, 300);
  EXPECT_NEAR(cam.position.y, 0, 1e-5);
  // Three notches away, then three back.
  for (int i = 0; i < 3; ++i) form->FormMouseWheel(120);
  EXPECT_NEAR(scene::Length(cam.position), std::sqrt(2.0) * 1.331, 1e-4);
  QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -360), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(form.get(), &wheel);
  EXPECT_NEAR(scene::Length(cam.position), std::sqrt(2.0), 1e-4);
  // The keypad is read whatever window has the focus: while another one is active it is left
  // alone.
  keys_.set(6);
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  for (int i = 0; i < 20; ++i) form->GLCadencer1Progress(0.05);
  EXPECT_EQ(form->nodes().GLDummyCube2->position.x, 0);
  other.hide();
  // Keypad 6 held for 20 ticks (one second) moves the target 2 units along X.
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  for (int i = 0; i < 20; ++i) form->GLCadencer1Progress(0.05);
  EXPECT_NEAR(form->nodes().GLDummyCube2->position.x, 2.0, 1e-5);
  keys_.set(4);
  form->GLCadencer1Progress(0.05);
  EXPECT_NEAR(form->nodes().GLDummyCube2->position.x, 2.0, 1e-5);
  form->reject();
}

TEST_F(Form2Test, FitFramesEveryPointPanMovesTheViewAndResetReturns) {
  // Data far off the origin and off screen at the opening view.
  Write(
      "p 500  300  100  \r\np 520  310  0  \r\np 430  240  60  \r\nl 500  300  100  600  300  0  "
      "\r\n");
  auto form = Open();
  scene::SceneViewer& viewer = *form->viewer();
  form->Fit();
  const QRect inside = QRect(0, 0, viewer.width(), viewer.height()).adjusted(5, 5, -5, -5);
  std::vector<Vec3> ends;
  for (scene::SphereNode* p : form->geometry().points()) ends.push_back(p->AbsolutePosition());
  for (const Vec3& v : form->geometry().lines()[0]->vertices) {
    ends.push_back(scene::TransformPoint(v, form->nodes().GLDummyCube1->AbsoluteMatrix()));
  }
  for (const Vec3& p : ends) {
    double x = 0, y = 0;
    ASSERT_TRUE(viewer.ProjectToWidget(p, x, y));
    EXPECT_TRUE(inside.contains(QPoint(int(x), int(y)))) << x << " " << y;
  }
  // The frame shows the balls there, not an empty view.
  const QImage frame = Frame(*form);
  for (scene::SphereNode* p : form->geometry().points()) {
    const QPoint c = PixelOf(*form, p);
    EXPECT_GT(CountPixels(frame, Reddish, QRect(c - QPoint(3, 3), QSize(7, 7))), 0) << p->name;
  }

  // A middle drag moves target and camera alike, and the point under the cursor follows it.
  const Vec3 target = form->nodes().GLDummyCube2->position, eye = form->nodes().GLCamera1->position;
  const Vec3 ball = form->geometry().points()[0]->AbsolutePosition();
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  viewer.ProjectToWidget(ball, x0, y0);
  form->GLSceneViewer1MouseDown(Qt::MiddleButton, 300, 300);
  form->GLSceneViewer1MouseMove(Qt::MiddleButton, 340, 280);
  const Vec3 moved = form->nodes().GLDummyCube2->position - target;
  EXPECT_GT(scene::Length(moved), 0);
  EXPECT_LT(scene::Length(form->nodes().GLCamera1->position - eye - moved), 1e-4f);
  viewer.ProjectToWidget(ball, x1, y1);
  // Points at the target's depth move with the cursor exactly; this one is near that depth.
  EXPECT_NEAR(x1 - x0, 40, 8);
  EXPECT_NEAR(y1 - y0, -20, 8);
  // Shift with the left button pans too, instead of orbiting.
  const float distance =
      scene::Length(form->nodes().GLCamera1->position - form->nodes().GLDummyCube2->position);
  form->GLSceneViewer1MouseMove(Qt::LeftButton, 300, 300, Qt::ShiftModifier);
  EXPECT_NEAR(scene::Length(form->nodes().GLDummyCube2->position - target), 0, 1e-3);
  EXPECT_NEAR(
      scene::Length(form->nodes().GLCamera1->position - form->nodes().GLDummyCube2->position),
      distance, 1e-4);

  form->ResetView();
  EXPECT_EQ(form->nodes().GLDummyCube2->position, (Vec3{0, 0, 0}));
  EXPECT_EQ(form->nodes().GLCamera1->position, (Vec3{0, 1, 1}));
  form->reject();
}

// Georeferenced coordinates (a national grid) are drawn around a local origin: the scene looks
// as it does at the file's origin, and the measure line stays whole.
TEST_F(Form2Test, FarFromTheOriginLooksLikeTheSameSceneAtTheOrigin) {
  auto scene_at = [](double x0, double y0) {
    std::ostringstream text;
    text.precision(17);
    for (int i = 0; i < 100; ++i) {
      for (int j = 0; j < 100; ++j) {
        text << "p " << x0 + 2.0 * i - 100 + 0.125 << "  " << y0 + 2.0 * j - 100 + 0.375 << "  "
             << (i * 7 + j * 3) % 11 << "  \r\n";
      }
    }
    text << "l " << x0 - 100 << "  " << y0 - 100 << "  5  " << x0 + 98 << "  " << y0 + 98
         << "  5  \r\n";
    return text.str();
  };
  QImage frames[2];
  const double origins[2][2] = {{0, 0}, {500000, 5400000}};
  for (int k = 0; k < 2; ++k) {
    Write(scene_at(origins[k][0], origins[k][1]));
    auto form = Open();
    form->viewer()->resize(600, 450);
    for (int i = 0; i < 12; ++i) form->FormMouseWheel(-120);  // close in on the balls
    frames[k] = Frame(*form);
    if (k == 1) {
      EXPECT_NE(form->nodes().GridText->text.find("X 500000  Y 5400000  Z 0"), std::string::npos)
          << form->nodes().GridText->text;
      // Two far points selected: the readout wraps rather than being cut at the window's width.
      auto& g = form->geometry();
      g.RightClick(view3d::EditMode::kSelectPoint, g.points()[0], {});
      g.RightClick(view3d::EditMode::kSelectPoint, g.points()[9999], {});
      form->Button1Click();  // refreshes the measure line
      QLabel* measure = form->controls().MeasureLabel;
      form->resize(480, form->height());  // narrower than the readout's one line
      QApplication::processEvents();
      EXPECT_NE(measure->text().indexOf("distance"), -1);
      const QRect needed = measure->fontMetrics().boundingRect(measure->contentsRect(),
                                                               Qt::TextWordWrap, measure->text());
      EXPECT_LE(needed.width(), measure->contentsRect().width());
      EXPECT_LE(needed.height(), measure->contentsRect().height());
      EXPECT_GT(needed.height(), measure->fontMetrics().height()) << "on more than one line";
    }
    form->reject();
  }
  frames[0].save(QDir::tempPath() + "/vistrel_view3d_at_origin.png");
  frames[1].save(QDir::tempPath() + "/vistrel_view3d_far.png");
  ASSERT_EQ(frames[0].size(), frames[1].size());
  // The help texts at the top differ (the far one names its origin); below them, the same.
  int differing = 0, reddish = 0;
  for (int y = 120; y < frames[0].height(); ++y) {
    for (int x = 0; x < frames[0].width(); ++x) {
      const QColor a = frames[0].pixelColor(x, y), b = frames[1].pixelColor(x, y);
      differing += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                       std::abs(a.blue() - b.blue()) >
                   30;
      reddish += Reddish(a);
    }
  }
  EXPECT_GT(reddish, 1000) << "the balls are in view at the opening";
  EXPECT_LT(differing, frames[0].width() * frames[0].height() / 200);

  // Beyond single precision: one point far out is framed; a spread no view can hold is told.
  Write("p 1E21  2E21  0  \r\n");
  auto far = Open();
  far->Fit();
  EXPECT_TRUE(informed_.empty());
  EXPECT_GT(CountPixels(Frame(*far), Reddish), 50);
  far->reject();
  Write("p 0  0  0  \r\np 1E21  0  0  \r\n");
  auto spread = Open();
  spread->Fit();
  ASSERT_EQ(informed_.size(), 1u);
  EXPECT_TRUE(informed_[0].contains("farther than the view can frame"));
  spread->reject();
  Write("p 0  0  0  \r\np 1.7976931348623157E308  0  0  \r\n");
  auto beyond = Open();
  beyond->Fit();
  ASSERT_EQ(informed_.size(), 2u);
  EXPECT_TRUE(informed_[1].startsWith("1 of the points and lines lie beyond"))
      << informed_[1].toStdString();
  beyond->reject();
}

TEST_F(Form2Test, ArrowKeysFollowTheViewAfterAQuarterTurn) {
  Write("");
  auto form = Open();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  // A quarter turn to the left: the camera looks from +X, so the screen's right is scene -Z.
  form->GLSceneViewer1MouseDown(Qt::LeftButton, 200, 200);
  form->GLSceneViewer1MouseMove(Qt::LeftButton, 110, 200);
  const Vec3 eye = form->nodes().GLCamera1->AbsolutePosition();
  ASSERT_NEAR(eye.x, 1, 1e-5);
  ASSERT_NEAR(eye.z, 0, 1e-5);
  const float s = view3d::kArrowStepPerDistance * std::sqrt(2.0f);
  struct Case {
    Qt::Key key;
    Vec3 move;
  };
  const Case cases[] = {
      {Qt::Key_Left, {0, 0, s}}, {Qt::Key_Right, {0, 0, -s}}, {Qt::Key_Up, {-s, 0, 0}},
      {Qt::Key_Down, {s, 0, 0}}, {Qt::Key_PageUp, {0, s, 0}}, {Qt::Key_PageDown, {0, -s, 0}},
  };
  for (const Case& c : cases) {
    form->nodes().GLDummyCube2->position = {};
    form->nodes().GLCamera1->position = eye;
    QTest::keyClick(form.get(), c.key);
    const Vec3 p = form->nodes().GLDummyCube2->position;
    EXPECT_NEAR(p.x, c.move.x, 1e-5) << c.key;
    EXPECT_NEAR(p.y, c.move.y, 1e-5) << c.key;
    EXPECT_NEAR(p.z, c.move.z, 1e-5) << c.key;
  }
  // Home fits; with nothing to frame it is the opening view.
  form->nodes().GLDummyCube2->position = {3, 0, 0};
  QTest::keyClick(form.get(), Qt::Key_Home);
  EXPECT_EQ(form->nodes().GLDummyCube2->position, (Vec3{0, 0, 0}));
  form->reject();
}

TEST_F(Form2Test, ExportAndPictureFromTheWindow) {
  Write("p 1.5  -2  0.25  \r\np 3  4  5  \r\nl 1.5  -2  0.25  3  4  5  \r\n");
  auto form = Open();
  form->geometry().RightClick(view3d::EditMode::kDeletePoint, form->geometry().points()[1],
                              [](const std::string&) { return true; });
  QString answer;
  form->ask_save_path = [&answer](const QString&, const QString&) { return answer; };
  // The export holds what is visible now, edits included, before any close.
  answer = dir_.filePath("out.dxf");
  QTest::mouseClick(form->controls().ExportButton, Qt::LeftButton);
  EXPECT_EQ(testing::ReadBytes(answer.toStdString()),
            ExportText(form->geometry().VisibleData(), ExportFormat::kDxf));
  EXPECT_EQ(form->geometry().VisibleData().points.size(), 1u);
  // A name without a known extension writes nothing and says why.
  answer = dir_.filePath("out.stl");
  QTest::mouseClick(form->controls().ExportButton, Qt::LeftButton);
  EXPECT_FALSE(QFile::exists(answer));
  ASSERT_EQ(informed_.size(), 1u);
  // The picture is the view, as a PNG.
  answer = dir_.filePath("view");
  QTest::mouseClick(form->controls().PictureButton, Qt::LeftButton);
  const QImage picture(dir_.filePath("view.png"), "PNG");
  EXPECT_EQ(picture.size(), form->viewer()->size() * form->devicePixelRatio());
  form->reject();
}

}  // namespace
}  // namespace vistrel

// Mesa's software renderer is unloaded before the leak check runs, so its one-time allocations
// cannot be told apart from ours: under AddressSanitizer this test checks memory errors, not
// leaks (the sanitizer reads this hook only when it is linked in).
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

int main(int argc, char** argv) { return vistrel::testing_gl::RunGlTests(argc, argv); }
