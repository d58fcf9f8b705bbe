#include "ui/view3d/reconstruction_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
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

#include "project/export.h"
#include "scene/camera.h"
#include "scene/key_state.h"
#include "scene/tick_source.h"
#include "scene/viewer.h"
#include "ui/view3d/overlays.h"

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
  QLabel* measure = controls_.MeasureLabel = new QLabel(this);
  measure->setTextInteractionFlags(Qt::TextSelectableByMouse);
  measure->setContentsMargins(6, 2, 6, 2);
  measure->setMinimumHeight(20);
  // Two points' coordinates and their distance outgrow a line at large coordinates: wrapped, the
  // readout stays whole at any window width.
  measure->setWordWrap(true);
  layout->addWidget(measure);
  CreateScene();
  CreateShortcuts();
  geometry_ = std::make_unique<GeometryView>(*nodes_.GLDummyCube1);
  nodes_.Batch->balls = &geometry_->points();
  nodes_.Batch->lines = &geometry_->lines();

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
  Controls& c = controls_;
  auto* bar = new QWidget(this);
  bar->setFixedHeight(kTopBarHeight);
  layout()->addWidget(bar);
  c.CheckBox1 = new QCheckBox("Cam target", bar);
  c.CheckBox1->setGeometry(14, 8, 97, 17);
  c.CheckBox1->setChecked(true);
  c.rg1 = new QRadioButton("Select point", bar);
  c.rg1->setGeometry(120, 8, 113, 17);
  c.rg1->setChecked(true);
  c.rg2 = new QRadioButton("Delete point", bar);
  c.rg2->setGeometry(216, 8, 113, 17);
  c.rg3 = new QRadioButton("Delete line", bar);
  c.rg3->setGeometry(312, 8, 81, 17);
  c.Button1 = new QPushButton("Create line", bar);
  c.Button1->setGeometry(400, 8, 75, 17);
  c.Button1->setAutoDefault(false);  // Return must never press a button of this window
  // Later siblings overlap earlier ones on this layout; keep the buttons on top of the texts.
  c.rg2->raise();
  c.rg3->raise();
  c.Button1->raise();
  connect(c.CheckBox1, &QCheckBox::toggled, this, [this] { GLSceneViewer1->update(); });
  connect(c.Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  auto add_button = [bar, this](const char* text, int x, int w, auto slot) {
    auto* button = new QPushButton(text, bar);
    button->setGeometry(x, 6, w, 21);
    button->setAutoDefault(false);  // Return must never press a button of this window
    connect(button, &QPushButton::clicked, this, slot);
    return button;
  };
  c.FitButton = add_button("Fit", 484, 40, [this] { Fit(); });
  c.FitButton->setToolTip("Frame every point and line (Home)");
  c.ResetButton = add_button("Reset", 528, 48, [this] { ResetView(); });
  c.ResetButton->setToolTip("Back to the opening view");
  c.HeightCheck = new QCheckBox("Heights", bar);
  c.HeightCheck->setGeometry(584, 8, 72, 17);
  c.HeightCheck->setChecked(true);
  c.HeightCheck->setToolTip("Drop lines from the balls to the ground, and a ground grid");
  connect(c.HeightCheck, &QCheckBox::toggled, this, [this] { RefreshOverlays(); });
  c.LabelsCombo = new QComboBox(bar);
  c.LabelsCombo->addItems({"No labels", "Point numbers", "Coordinates"});
  c.LabelsCombo->setGeometry(660, 5, 110, 23);
  connect(c.LabelsCombo, &QComboBox::currentIndexChanged, this,
          [this] { GLSceneViewer1->update(); });
  c.ExportButton = add_button("Export...", 776, 70, [this] { AskAndExport(); });
  c.ExportButton->setToolTip("Write the points and lines as CSV, PLY, OBJ or DXF");
  c.PictureButton = add_button("Save picture...", 850, 84, [this] { AskAndSavePicture(); });
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
  auto add = [this](QKeySequence keys, void (TForm2::*slot)()) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
  };
  add(QKeySequence(Qt::Key_Home), &TForm2::Fit);
  add(QKeySequence(Qt::CTRL | Qt::Key_Z), &TForm2::Undo);
  add(QKeySequence(Qt::CTRL | Qt::Key_Y), &TForm2::Redo);
  add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &TForm2::Redo);
}

void TForm2::CreateScene() {
  scene::ViewerSettings& settings = GLSceneViewer1->settings();
  settings.background = ToColor(palette().color(QPalette::Button));
  settings.ambient = {0.2f, 0.2f, 0.2f, 1};
  nodes_ = ComposeScene(GLSceneViewer1->root(), LoadGroundTexture());
  nodes_.GLHUDText6->text += "   Ctrl+Z/Ctrl+Y : undo/redo";
  GLSceneViewer1->set_camera(nodes_.GLCamera1);
  GLSceneViewer1->add_light(nodes_.GLLightSource1);
}

bool TForm2::AskConfirmation(const QString& question) {
  QMessageBox box(QMessageBox::Question, "Confirmation", question, QMessageBox::NoButton, this);
  QPushButton* yes = box.addButton("&Oui", QMessageBox::YesRole);
  QPushButton* no = box.addButton("&Non", QMessageBox::NoRole);
  // A deletion is what a stray Return must not do.
  box.setDefaultButton(no);
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
  const bool heights = controls_.HeightCheck->isChecked();
  nodes_.DropLines->ends = heights ? DropLineEnds(geometry_->points()) : std::vector<scene::Vec3>{};
  scene::Vec3 centre;
  float radius = 0;
  const bool any = geometry_->VisibleBounds(centre, radius);
  scene::CameraNode& camera = *nodes_.GLCamera1;
  camera.extent_centre = {};
  camera.extent_radius = std::max(kFixedSceneRadius, any ? scene::Length(centre) + radius : 0.0f);
  if (!std::isfinite(camera.extent_radius)) camera.extent_radius = kFixedSceneRadius;

  GroundGrid grid;
  if (heights) {
    const scene::Mat4 to_frame = scene::AffineInverse(nodes_.GLDummyCube1->AbsoluteMatrix());
    grid = MakeGroundGrid(any, scene::TransformPoint(centre, to_frame), radius, scale_);
  }
  nodes_.Grid->ends = std::move(grid.ends);
  nodes_.GridText->text = GridCaption(grid.step_file, geometry_->origin());
  controls_.MeasureLabel->setText(MeasureText());
  GLSceneViewer1->update();
}

QString TForm2::MeasureText() const {
  return QString::fromStdString(MeasureLine(geometry_->SelectionReadout()));
}

void TForm2::SetPose(const ViewPose& pose) {
  nodes_.GLDummyCube2->SetAbsolutePosition(pose.target);
  nodes_.GLCamera1->SetAbsolutePosition(pose.eye);
  GLSceneViewer1->update();
}

void TForm2::Fit() {
  scene::Vec3 centre;
  float radius = 0;
  const int undrawable = geometry_->UndrawableCount();
  if (!geometry_->VisibleBounds(centre, radius)) {
    if (undrawable == 0) {
      ResetView();
    } else {
      inform(
          "No point or line lies within the range the view can draw, so there is nothing to "
          "frame.");
    }
    return;
  }
  const scene::Frustum f =
      scene::CameraFrustum(*nodes_.GLCamera1, GLSceneViewer1->width(), GLSceneViewer1->height(),
                           GLSceneViewer1->ScreenPpi());
  const ViewPose now{nodes_.GLDummyCube2->AbsolutePosition(), nodes_.GLCamera1->AbsolutePosition()};
  const auto pose = FitPose(centre, radius, now, std::min(f.right, f.top) / f.near);
  if (!pose) {
    inform(
        "The points and lines spread farther than the view can frame at once: lower the 3D "
        "scale (SCALE) or move around them with the keys.");
    return;
  }
  SetPose(*pose);
  if (undrawable > 0) {
    inform(QString("%1 of the points and lines lie beyond the range the view can draw (single "
                   "precision, about 3.4E38 scene units): the others are framed.")
               .arg(undrawable));
  }
}

void TForm2::ResetView() {
  nodes_.GLDummyCube2->position = kOpeningPose.target;
  nodes_.GLCamera1->position = kOpeningPose.eye;
  GLSceneViewer1->update();
}

void TForm2::MoveTargetInView(int right_steps, int forward_steps, int rise_steps) {
  const scene::Vec3 eye = nodes_.GLCamera1->AbsolutePosition();
  const scene::Vec3 target = nodes_.GLDummyCube2->AbsolutePosition();
  const float step = kArrowStepPerDistance * scene::Length(target - eye);
  nodes_.GLDummyCube2->position = nodes_.GLDummyCube2->position +
                                  ViewRelativeMove(eye, target, nodes_.GLCamera1->AbsoluteUp(),
                                                   right_steps, forward_steps, rise_steps, step);
  GLSceneViewer1->update();
}

void TForm2::Undo() {
  if (geometry_->Undo()) RefreshOverlays();
}

void TForm2::Redo() {
  if (scene::PolylineNode* line = nullptr; geometry_->Redo(&line)) {
    if (line != nullptr) StyleLine(*line);
    RefreshOverlays();
  }
}

bool TForm2::ExportTo(const QString& path) {
  const auto format = ExportFormatFromName(QFileInfo(path).suffix().toStdString());
  if (!format) {
    inform(QString("%1: the file name must end in .csv, .ply, .obj or .dxf.").arg(path));
    return false;
  }
  if (const std::string problem = ExportOutputProblem(geom_path_, path.toStdString());
      !problem.empty()) {
    inform(QString("%1: %2").arg(path, QString::fromStdString(problem)));
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
  const int mode = controls_.LabelsCombo->currentIndex();
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
        auto* label = nodes_.Labels->AddChild<scene::ScreenTextNode>();
        label->modulate = {0.05f, 0.05f, 0.35f, 1};
        label->backing = kTextBacking;
        label_pool_.push_back(label);
      }
      scene::ScreenTextNode* label = label_pool_[used++];
      label->text = PointLabel(mode, i, *geometry_->RecordOf(p));
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
  const EditMode mode = ModeFromButtons(controls_.rg1->isChecked(), controls_.rg3->isChecked());
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
  scene::CameraNode& camera = *nodes_.GLCamera1;
  scene::FrameNode& target = *nodes_.GLDummyCube2;
  const bool pan = (buttons & Qt::MiddleButton) ||
                   ((buttons & Qt::LeftButton) && (modifiers & Qt::ShiftModifier));
  if (pan) {
    const scene::Vec3 move =
        PanMove(camera.AbsolutePosition(), target.AbsolutePosition(), camera.AbsoluteUp(),
                x - last_x_, y - last_y_, GLSceneViewer1->PixelsPerUnitAtOne());
    target.position = target.position + move;
    camera.position = camera.position + move;
    GLSceneViewer1->update();
  } else if (buttons & Qt::LeftButton) {
    scene::OrbitAroundTarget(camera, float(last_y_ - y), float(last_x_ - x));
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
  scene::CameraNode& camera = *nodes_.GLCamera1;
  scene::AdjustDistanceToTarget(camera,
                                scene::LimitedDistanceRatio(camera, float(WheelRatio(delta))));
  GLSceneViewer1->update();
}

void TForm2::GLCadencer1Progress(double /*delta_seconds*/) {
  // Keys typed into another window, or while this one is hidden, are not meant for the view.
  if (!isActiveWindow()) return;
  const scene::Vec3 move = KeypadMove(keypad_state());
  if (move == scene::Vec3{}) return;
  nodes_.GLDummyCube2->position = nodes_.GLDummyCube2->position + move;
  GLSceneViewer1->update();
}

void TForm2::GLSceneViewer1BeforeRender() {
  const bool marker = controls_.CheckBox1->isChecked();
  nodes_.GLDummyCube2->show_axes = marker;
  nodes_.GLCube2->visible = marker;
  UpdateLabels();
}

}  // namespace vistrel::view3d
