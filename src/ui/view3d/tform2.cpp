#include "ui/view3d/tform2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "numeric/text_format.h"
#include "project/export.h"
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

const scene::Vec3 kOpeningCamera{0, 1, 1};
// Help texts sit on a translucent white so they read over the ground and the balls.
constexpr scene::Color kTextBacking{1, 1, 1, 0.65f};
constexpr scene::Color kLineEdge{0.1f, 0.1f, 0.1f, 1};
constexpr float kLineWidth = 2, kLineEdgeWidth = 4;
constexpr scene::Color kOverlayColor{0.25f, 0.25f, 0.3f, 1};
// Grid lines per side at most, whatever the data's extent.
constexpr int kMaxGridLines = 200;

// Wider than the 1-pixel line of old, with a dark edge, so a line reads on the light ground.
void StyleLine(scene::PolylineNode& line) {
  line.width = kLineWidth;
  line.edge_width = kLineEdgeWidth;
  line.edge_color = kLineEdge;
  line.batched = true;
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
  ask_save_path = [this](const QString& caption, const QString& filter) {
    return QFileDialog::getSaveFileName(this, caption, QString(), filter);
  };

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  CreateTopBar();
  GLSceneViewer1 = new scene::SceneViewer(this);
  layout->addWidget(GLSceneViewer1, 1);
  MeasureLabel = new QLabel(this);
  MeasureLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  MeasureLabel->setContentsMargins(6, 2, 6, 2);
  MeasureLabel->setMinimumHeight(20);
  layout->addWidget(MeasureLabel);
  CreateScene();
  CreateShortcuts();
  geometry_ = std::make_unique<GeometryView>(*GLDummyCube1);
  Batch->balls = &geometry_->points();
  Batch->lines = &geometry_->lines();

  GLSceneViewer1->before_render = [this] { GLSceneViewer1BeforeRender(); };
  GLSceneViewer1->on_mouse_press = [this](QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    GLSceneViewer1MouseDown(e->button(), p.x(), p.y());
  };
  GLSceneViewer1->on_mouse_move = [this](QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    GLSceneViewer1MouseMove(e->buttons(), p.x(), p.y(), e->modifiers());
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
  Button1->setAutoDefault(false);  // Return must never press a button of this window
  // Later siblings overlap earlier ones on this layout; keep the buttons on top of the texts.
  rg2->raise();
  rg3->raise();
  Button1->raise();
  connect(CheckBox1, &QCheckBox::toggled, this, [this] { GLSceneViewer1->update(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  auto add_button = [bar, this](const char* text, int x, int w, auto slot) {
    auto* button = new QPushButton(text, bar);
    button->setGeometry(x, 6, w, 21);
    button->setAutoDefault(false);  // Return must never press a button of this window
    connect(button, &QPushButton::clicked, this, slot);
    return button;
  };
  FitButton = add_button("Fit", 484, 40, [this] { Fit(); });
  FitButton->setToolTip("Frame every point and line (Home)");
  ResetButton = add_button("Reset", 528, 48, [this] { ResetView(); });
  ResetButton->setToolTip("Back to the opening view");
  HeightCheck = new QCheckBox("Heights", bar);
  HeightCheck->setGeometry(584, 8, 72, 17);
  HeightCheck->setChecked(true);
  HeightCheck->setToolTip("Drop lines from the balls to the ground, and a ground grid");
  connect(HeightCheck, &QCheckBox::toggled, this, [this] { RefreshOverlays(); });
  LabelsCombo = new QComboBox(bar);
  LabelsCombo->addItems({"No labels", "Point numbers", "Coordinates"});
  LabelsCombo->setGeometry(660, 5, 110, 23);
  connect(LabelsCombo, &QComboBox::currentIndexChanged, this, [this] { GLSceneViewer1->update(); });
  ExportButton = add_button("Export...", 776, 70, [this] { AskAndExport(); });
  ExportButton->setToolTip("Write the points and lines as CSV, PLY, OBJ or DXF");
  PictureButton = add_button("Save picture...", 850, 84, [this] { AskAndSavePicture(); });
}

void TForm2::CreateShortcuts() {
  struct Key {
    int key;
    int right, forward, rise;
  };
  const Key keys[] = {
      {Qt::Key_Left, -1, 0, 0}, {Qt::Key_Right, 1, 0, 0},  {Qt::Key_Up, 0, 1, 0},
      {Qt::Key_Down, 0, -1, 0}, {Qt::Key_PageUp, 0, 0, 1}, {Qt::Key_PageDown, 0, 0, -1},
  };
  for (const Key& k : keys) {
    auto* shortcut = new QShortcut(QKeySequence(k.key), this);
    connect(shortcut, &QShortcut::activated, this,
            [this, k] { MoveTargetInView(k.right, k.forward, k.rise); });
  }
  auto* home = new QShortcut(QKeySequence(Qt::Key_Home), this);
  connect(home, &QShortcut::activated, this, [this] { Fit(); });
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
  GLHUDText6 = add_text(root, "GLHUDText6", 75,
                        "Arrows, PgUp/PgDn : move target on screen   Home : fit   "
                        "Middle or Shift+left drag : pan");
  GridText = add_text(root, "GridText", 90, "");
  for (scene::ScreenTextNode* text :
       {GLHUDText1, GLHUDText2, GLHUDText3, GLHUDText4, GLHUDText5, GLHUDText6, GridText}) {
    text->backing = kTextBacking;
  }
  GridText->modulate = {0.1f, 0.1f, 0.3f, 1};

  // Overlays that read height: they live in the data frame (file axes) but are no data.
  Grid = GLDummyCube1->AddChild<scene::SegmentsNode>();
  Grid->name = "Grid";
  Grid->line_color = kOverlayColor;
  DropLines = GLDummyCube1->AddChild<scene::SegmentsNode>();
  DropLines->name = "DropLines";
  DropLines->line_color = kOverlayColor;
  Batch = GLDummyCube1->AddChild<scene::BatchNode>();
  Batch->name = "Batch";
  Labels = root.AddChild<scene::FrameNode>();
  Labels->name = "Labels";

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
  GLCamera1->follow_extent = true;  // never clipped, however close the zoom
  GLCamera1->extent_radius = kFixedSceneRadius;
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
  RefreshOverlays();
  geometry_->Open(geom_path_, scale_, ball_);
  for (scene::SphereNode* point : geometry_->points()) point->batched = true;
  for (scene::PolylineNode* line : geometry_->lines()) StyleLine(*line);
  RefreshOverlays();
}

void TForm2::RefreshOverlays() {
  DropLines->ends.clear();
  Grid->ends.clear();
  GridText->text.clear();
  const bool heights = HeightCheck->isChecked();
  if (heights) {
    DropLines->ends.reserve(geometry_->points().size() * 2);
    for (const scene::SphereNode* p : geometry_->points()) {
      if (!p->visible) continue;
      DropLines->ends.push_back(p->position);
      DropLines->ends.push_back({p->position.x, p->position.y, 0});
    }
  }
  scene::Vec3 centre;
  float radius = 0;
  const bool any = geometry_->VisibleBounds(centre, radius);
  GLCamera1->extent_centre = {};
  GLCamera1->extent_radius =
      std::max(kFixedSceneRadius, any ? scene::Length(centre) + radius : 0.0f);
  if (!std::isfinite(GLCamera1->extent_radius)) GLCamera1->extent_radius = kFixedSceneRadius;

  // The grid: a power of ten in file units, about a fifth of the data's extent, around the data.
  const double scale = std::abs(scale_);
  if (heights && scale > 0 && std::isfinite(scale)) {
    const double extent = any ? std::max<double>(radius, 1e-6) : 1.0;  // scene units
    const double step_file = std::pow(10.0, std::floor(std::log10(extent / scale / 2)));
    const double step = step_file * scale;
    const scene::Mat4 to_frame = scene::AffineInverse(GLDummyCube1->AbsoluteMatrix());
    const scene::Vec3 c = any ? scene::TransformPoint(centre, to_frame) : scene::Vec3{};
    const int half = std::min(kMaxGridLines / 2, int(std::ceil(extent / step)) + 1);
    const double x0 = std::round(c.x / step) * step, y0 = std::round(c.y / step) * step;
    if (std::isfinite(step) && step > 0 && std::isfinite(x0) && std::isfinite(y0)) {
      for (int i = -half; i <= half; ++i) {
        const float a = float(x0 + i * step), b = float(y0 + i * step);
        const float lo_x = float(x0 - half * step), hi_x = float(x0 + half * step);
        const float lo_y = float(y0 - half * step), hi_y = float(y0 + half * step);
        Grid->ends.insert(Grid->ends.end(),
                          {{a, lo_y, 0}, {a, hi_y, 0}, {lo_x, b, 0}, {hi_x, b, 0}});
      }
      GridText->text = "Grid : " + FormatGeneral(step_file) + " file units";
    }
  }
  MeasureLabel->setText(MeasureText());
  GLSceneViewer1->update();
}

QString TForm2::MeasureText() const {
  const std::string text = geometry_->SelectionReadout();
  return text.empty() ? QString("Select points with the right button to measure them")
                      : QString::fromStdString(text);
}

void TForm2::Fit() {
  scene::Vec3 centre;
  float radius = 0;
  if (!geometry_->VisibleBounds(centre, radius)) {
    ResetView();
    return;
  }
  const scene::Frustum f = scene::CameraFrustum(
      *GLCamera1, GLSceneViewer1->width(), GLSceneViewer1->height(), GLSceneViewer1->ScreenPpi());
  const double tan_half = std::min(f.right, f.top) / f.near;
  const double distance = std::clamp(FitDistance(std::max(radius, 1e-4f), tan_half),
                                     scene::kMinTargetDistance, scene::kMaxTargetDistance);
  scene::Vec3 back = GLCamera1->AbsolutePosition() - GLDummyCube2->AbsolutePosition();
  back = scene::Length(back) > 0 ? scene::Normalized(back) : scene::Normalized(kOpeningCamera);
  GLDummyCube2->SetAbsolutePosition(centre);
  GLCamera1->SetAbsolutePosition(centre + back * float(distance));
  GLSceneViewer1->update();
}

void TForm2::ResetView() {
  GLDummyCube2->position = {};
  GLCamera1->position = kOpeningCamera;
  GLSceneViewer1->update();
}

void TForm2::MoveTargetInView(int right_steps, int forward_steps, int rise_steps) {
  const scene::Vec3 eye = GLCamera1->AbsolutePosition();
  const scene::Vec3 target = GLDummyCube2->AbsolutePosition();
  const float step = kArrowStepPerDistance * scene::Length(target - eye);
  GLDummyCube2->position =
      GLDummyCube2->position + ViewRelativeMove(eye, target, GLCamera1->AbsoluteUp(), right_steps,
                                                forward_steps, rise_steps, step);
  GLSceneViewer1->update();
}

bool TForm2::ExportTo(const QString& path) {
  const auto format = ExportFormatFromName(QFileInfo(path).suffix().toStdString());
  if (!format) {
    inform(QString("%1: the file name must end in .csv, .ply, .obj or .dxf.").arg(path));
    return false;
  }
  try {
    WriteExport(path.toStdString(), geometry_->VisibleData(), *format);
  } catch (const std::exception& e) {
    inform(QString("%1: %2").arg(path, QString::fromStdString(e.what())));
    return false;
  }
  return true;
}

bool TForm2::SavePicture(const QString& path) {
  if (!GLSceneViewer1->grabFramebuffer().save(path, "PNG")) {
    inform(QString("%1: the picture could not be written.").arg(path));
    return false;
  }
  return true;
}

void TForm2::AskAndExport() {
  const QString path =
      ask_save_path("Export geometry", "CSV (*.csv);;PLY (*.ply);;OBJ (*.obj);;DXF R12 (*.dxf)");
  if (!path.isEmpty()) ExportTo(path);
}

void TForm2::AskAndSavePicture() {
  QString path = ask_save_path("Save picture", "PNG picture (*.png)");
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += ".png";
  SavePicture(path);
}

void TForm2::UpdateLabels() {
  const int mode = LabelsCombo->currentIndex();
  size_t used = 0;
  if (mode > 0) {
    const double to_text_px = 96.0 / GLSceneViewer1->ScreenPpi();
    const auto& points = geometry_->points();
    for (size_t i = 0; i < points.size() && used < size_t(kMaxLabels); ++i) {
      const scene::SphereNode* p = points[i];
      double x = 0, y = 0;
      if (!p->visible || !GLSceneViewer1->ProjectToWidget(p->AbsolutePosition(), x, y)) continue;
      if (x < 0 || y < 0 || x >= GLSceneViewer1->width() || y >= GLSceneViewer1->height()) {
        continue;
      }
      if (used == label_pool_.size()) {
        auto* label = Labels->AddChild<scene::ScreenTextNode>();
        label->modulate = {0.05f, 0.05f, 0.35f, 1};
        label->backing = kTextBacking;
        label_pool_.push_back(label);
      }
      scene::ScreenTextNode* label = label_pool_[used++];
      const GeomPoint& r = *geometry_->RecordOf(p);
      label->text = mode == 1 ? std::to_string(i)
                              : std::to_string(i) + " (" + FormatGeneral(r.x) + ", " +
                                    FormatGeneral(r.y) + ", " + FormatGeneral(r.z) + ")";
      label->x = float((x + 6) * to_text_px);
      label->y = float((y - 6) * to_text_px);
      label->visible = true;
    }
  }
  for (size_t i = used; i < label_pool_.size(); ++i) label_pool_[i]->visible = false;
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
  RefreshOverlays();
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
  if (scene::PolylineNode* line = geometry_->CreateLine()) {
    StyleLine(*line);
    RefreshOverlays();
  }
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
    // Nothing moves while the box asks, and the time it was open is not caught up afterwards.
    struct Pause {
      scene::TickSource* ticks;
      explicit Pause(scene::TickSource* t) : ticks(t) { ticks->SetPaused(true); }
      ~Pause() { ticks->SetPaused(false); }
    } pause(cadencer_);
    return confirm(QString::fromStdString(question));
  });
  RefreshOverlays();
}

void TForm2::GLSceneViewer1MouseMove(Qt::MouseButtons buttons, int x, int y,
                                     Qt::KeyboardModifiers modifiers) {
  const bool pan = (buttons & Qt::MiddleButton) ||
                   ((buttons & Qt::LeftButton) && (modifiers & Qt::ShiftModifier));
  if (pan) {
    const scene::Vec3 move = PanMove(
        GLCamera1->AbsolutePosition(), GLDummyCube2->AbsolutePosition(), GLCamera1->AbsoluteUp(),
        x - last_x_, y - last_y_, GLSceneViewer1->PixelsPerUnitAtOne());
    GLDummyCube2->position = GLDummyCube2->position + move;
    GLCamera1->position = GLCamera1->position + move;
    GLSceneViewer1->update();
  } else if (buttons & Qt::LeftButton) {
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
  scene::AdjustDistanceToTarget(*GLCamera1,
                                scene::LimitedDistanceRatio(*GLCamera1, float(WheelRatio(delta))));
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
  UpdateLabels();
}

}  // namespace vistrel::view3d
