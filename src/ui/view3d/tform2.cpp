#include "ui/view3d/tform2.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "scene/camera.h"
#include "scene/key_state.h"
#include "scene/tick_source.h"
#include "scene/viewer.h"
#include "ui/view3d/navigation.h"

namespace vistrel::view3d {

namespace {

// Outer size 952 x 691 on the original platform, less a usual frame of 8 px a side and a 31 px
// caption: the client area the layout below was drawn for.
constexpr int kClientWidth = 936;
constexpr int kClientHeight = 652;

scene::Color ToColor(const QColor& c) {
  return {float(c.redF()), float(c.greenF()), float(c.blueF()), float(c.alphaF())};
}

}  // namespace

std::shared_ptr<scene::TextureImage> LoadGroundTexture() {
  auto texture = std::make_shared<scene::TextureImage>();
  const QImage image = QImage(":/vistrel/view3d/ground.png").convertToFormat(QImage::Format_RGB888);
  if (image.isNull()) return texture;
  texture->width = image.width();
  texture->height = image.height();
  texture->rgb.resize(size_t(image.width()) * image.height() * 3);
  for (int row = 0; row < image.height(); ++row) {
    std::copy_n(image.constScanLine(row), image.width() * 3,
                texture->rgb.begin() + ptrdiff_t(row) * image.width() * 3);
  }
  return texture;
}

TForm2::TForm2(double scale, double ball, std::string geom_path, QWidget* parent)
    : QDialog(parent), scale_(scale), ball_(ball), geom_path_(std::move(geom_path)) {
  setWindowTitle("3D Reconstruction");
  setFont(QFont("MS Sans Serif", 8));
  resize(kClientWidth, kClientHeight);

  confirm = [this](const QString& question) { return AskConfirmation(question); };
  inform = [this](const QString& message) {
    QMessageBox::information(this, QGuiApplication::applicationDisplayName(), message);
  };
  report_error = [](std::exception_ptr error) { std::rethrow_exception(error); };
  keypad_state = [] { return scene::KeyState::Instance().KeypadDigitsDown(); };

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  CreateTopBar();
  GLSceneViewer1 = new scene::SceneViewer(this);
  layout->addWidget(GLSceneViewer1, 1);
  CreateScene();
  geometry_ = std::make_unique<GeometryView>(*GLDummyCube1);

  GLSceneViewer1->before_render = [this] { GLSceneViewer1BeforeRender(); };
  GLSceneViewer1->on_mouse_press = [this](QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    GLSceneViewer1MouseDown(e->button(), p.x(), p.y());
  };
  GLSceneViewer1->on_mouse_move = [this](QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    GLSceneViewer1MouseMove(e->buttons(), p.x(), p.y());
  };
  // The cadencer runs for the life of the window, shown or not.
  cadencer_ = new scene::TickSource(
      kTickStepSeconds, [this](double dt) { GLCadencer1Progress(dt); }, this);
}

TForm2::~TForm2() = default;

void TForm2::CreateTopBar() {
  auto* bar = new QWidget(this);
  bar->setFixedHeight(kTopBarHeight);
  layout()->addWidget(bar);
  CheckBox1 = new QCheckBox("Cam target", bar);
  CheckBox1->setGeometry(14, 8, 97, 17);
  CheckBox1->setChecked(true);
  rg1 = new QRadioButton("Select point", bar);
  rg1->setGeometry(120, 8, 113, 17);
  rg1->setChecked(true);
  rg2 = new QRadioButton("Delete point", bar);
  rg2->setGeometry(216, 8, 113, 17);
  rg3 = new QRadioButton("Delete line", bar);
  rg3->setGeometry(312, 8, 81, 17);
  Button1 = new QPushButton("Create line", bar);
  Button1->setGeometry(400, 8, 75, 17);
  // Later siblings overlap earlier ones on this layout; keep the buttons on top of the texts.
  rg2->raise();
  rg3->raise();
  Button1->raise();
  connect(CheckBox1, &QCheckBox::toggled, this, [this] { GLSceneViewer1->update(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TForm2::CreateScene() {
  scene::Node& root = GLSceneViewer1->root();
  scene::ViewerSettings& settings = GLSceneViewer1->settings();
  settings.background = ToColor(palette().color(QPalette::Button));
  settings.ambient = {0.2f, 0.2f, 0.2f, 1};

  // File axes to screen axes: file X -> scene X, file Y -> scene -Z, file Z -> scene Y (up).
  GLDummyCube1 = root.AddChild<scene::FrameNode>();
  GLDummyCube1->name = "GLDummyCube1";
  GLDummyCube1->direction = {0, 1, 0};
  GLDummyCube1->up = {0, 0, -1};
  GLDummyCube1->show_axes = true;

  GLShadowPlane1 = GLDummyCube1->AddChild<scene::ShadowPlaneNode>();
  GLShadowPlane1->name = "GLShadowPlane1";
  GLShadowPlane1->width = GLShadowPlane1->height = 100;
  GLShadowPlane1->x_tiles = GLShadowPlane1->y_tiles = 100;
  GLShadowPlane1->material.ambient = {0.753f, 0.753f, 0.753f, 1};
  GLShadowPlane1->material.diffuse = {0.753f, 0.753f, 0.753f, 1};
  ground_texture_ = LoadGroundTexture();
  GLShadowPlane1->material.texture = ground_texture_;
  GLShadowPlane1->material.texture_enabled = !ground_texture_->rgb.empty();
  GLShadowPlane1->caster = GLDummyCube1;

  const scene::Color red{1, 0, 0, 1};
  auto add_text = [red](scene::Node& parent, const char* name, float top, const char* text) {
    auto* hud = parent.AddChild<scene::ScreenTextNode>();
    hud->name = name;
    hud->y = top;
    hud->text = text;
    hud->modulate = red;
    return hud;
  };
  GLHUDText1 = add_text(root, "GLHUDText1", 0, "NUMPAD 4-6 : left/right CAM move");
  GLHUDText2 = add_text(root, "GLHUDText2", 15, "NUMPAD 2-8 : frontward/reverse CAM move");
  GLHUDText3 = add_text(*GLHUDText2, "GLHUDText3", 30, "NUMPAD 3-9 : up/down CAM move");
  GLHUDText5 =
      add_text(*GLHUDText2, "GLHUDText5", 60, "Mouse right button : point and line operations");
  GLHUDText4 = add_text(root, "GLHUDText4", 45, "Mouse left button : CAM rotate");

  GLDummyCube2 = root.AddChild<scene::FrameNode>();
  GLDummyCube2->name = "GLDummyCube2";
  GLDummyCube2->show_axes = true;
  GLCube2 = GLDummyCube2->AddChild<scene::CubeNode>();
  GLCube2->name = "GLCube2";
  GLCube2->size = {0.05f, 0.05f, 0.05f};
  GLCube2->material.emission = {1, 1, 0.133f, 1};
  GLCube2->material.shininess = 10;

  GLCamera1 = root.AddChild<scene::CameraNode>();
  GLCamera1->name = "GLCamera1";
  GLCamera1->position = {0, 1, 1};
  GLCamera1->up = {0, 1, 0};
  GLCamera1->target = GLDummyCube2;
  GLCamera1->focal_length = 50;
  GLCamera1->depth_of_view = 100;
  GLSceneViewer1->set_camera(GLCamera1);

  GLLightSource1 = GLCamera1->AddChild<scene::LightNode>();
  GLLightSource1->name = "GLLightSource1";
  GLSceneViewer1->add_light(GLLightSource1);
  GLShadowPlane1->light = GLLightSource1;
}

bool TForm2::AskConfirmation(const QString& question) {
  QMessageBox box(QMessageBox::Question, "Confirmation", question, QMessageBox::NoButton, this);
  QPushButton* yes = box.addButton("&Oui", QMessageBox::YesRole);
  QPushButton* no = box.addButton("&Non", QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

void TForm2::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;  // a window manager re-show is not a new showing
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  try {
    FormActivate();
  } catch (...) {
    report_error(std::current_exception());
  }
}

void TForm2::FormActivate() {
  geometry_->Clear();
  GLSceneViewer1->update();
  geometry_->Open(geom_path_, scale_, ball_);
}

void TForm2::done(int result) {
  try {
    FormClose();
  } catch (...) {
    // The window stays open with its scene; closing again retries.
    report_error(std::current_exception());
    return;
  }
  QDialog::done(result);
}

void TForm2::FormClose() {
  const SaveOutcome outcome = geometry_->Close(geom_path_);
  GLSceneViewer1->update();
  const QString file = QString::fromStdString(geom_path_);
  if (outcome == SaveOutcome::kNotSavedAfterFailedRead) {
    inform(QString("%1 could not be read, so nothing was saved: the file is left as it was.")
               .arg(file));
  } else if (outcome == SaveOutcome::kNotSavedNonFinite) {
    inform(QString("A coordinate is not a finite number, so %1 could not be written in a form "
                   "that reads back: nothing was saved, the file is left as it was.")
               .arg(file));
  }
}

void TForm2::Button1Click() {
  if (geometry_->CreateLine() != nullptr) GLSceneViewer1->update();
}

void TForm2::GLSceneViewer1MouseDown(Qt::MouseButton button, int x, int y) {
  last_x_ = x;
  last_y_ = y;
  if (button != Qt::RightButton) return;
  scene::Node* picked = GLSceneViewer1->Pick(x, y);
  const EditMode mode = ModeFromButtons(rg1->isChecked(), rg3->isChecked());
  geometry_->RightClick(mode, picked, [this](const std::string& question) {
    GLSceneViewer1->update();  // the blue ball or cyan line shows while the box asks
    GLSceneViewer1->repaint();
    return confirm(QString::fromStdString(question));
  });
  GLSceneViewer1->update();
}

void TForm2::GLSceneViewer1MouseMove(Qt::MouseButtons buttons, int x, int y) {
  if (buttons & Qt::LeftButton) {
    scene::OrbitAroundTarget(*GLCamera1, float(last_y_ - y), float(last_x_ - x));
    GLSceneViewer1->update();
  }
  last_x_ = x;
  last_y_ = y;
}

void TForm2::wheelEvent(QWheelEvent* event) {
  FormMouseWheel(event->angleDelta().y());
  event->accept();
}

void TForm2::FormMouseWheel(int delta) {
  if (delta == 0) return;
  scene::AdjustDistanceToTarget(*GLCamera1, float(WheelRatio(delta)));
  GLSceneViewer1->update();
}

void TForm2::GLCadencer1Progress(double /*delta_seconds*/) {
  const scene::Vec3 move = KeypadMove(keypad_state());
  if (move == scene::Vec3{}) return;
  GLDummyCube2->position = GLDummyCube2->position + move;
  GLSceneViewer1->update();
}

void TForm2::GLSceneViewer1BeforeRender() {
  const bool marker = CheckBox1->isChecked();
  GLDummyCube2->show_axes = marker;
  GLCube2->visible = marker;
}

}  // namespace vistrel::view3d
