#pragma once

// The 3D window: the measured geometry of the geometry file as balls and lines over a textured
// ground, with orbit, zoom and keypad navigation around a camera target, and point selection,
// line creation and deletion with undo. Shown modally; every showing reads the file, every close
// writes it.

#include <QDialog>
#include <bitset>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scene/node.h"
#include "ui/view3d/geometry_view.h"
#include "ui/view3d/navigation.h"
#include "ui/view3d/scene_composition.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace vistrel::scene {
class SceneViewer;
class TickSource;
}  // namespace vistrel::scene

namespace vistrel::view3d {

class TForm2 : public QDialog {
 public:
  // scale: file units to scene units; ball: ball radius in scene units (the two 3D settings).
  TForm2(double scale, double ball, std::string geom_path = "geom.txt", QWidget* parent = nullptr);
  ~TForm2() override;

  void set_scale(double scale) { scale_ = scale; }
  void set_ball(double ball) { ball_ = ball; }
  double scale() const { return scale_; }
  double ball() const { return ball_; }

  // Seams to the user and the keyboard; the defaults show message boxes, rethrow (so the
  // application's central handler shows the error) and read the physical keypad.
  std::function<bool(const QString& question)> confirm;
  std::function<void(const QString& message)> inform;
  std::function<void(std::exception_ptr)> report_error;
  std::function<std::bitset<10>()> keypad_state;
  // Asks for a file to write (caption, file-type filter); empty when cancelled.
  std::function<QString(const QString& caption, const QString& filter)> ask_save_path;

  // Handlers, public so that tests can drive them as the events do.
  void FormActivate();
  // Writes the file back and empties the view; throws on a write failure, leaving all in place.
  void FormClose();
  void Button1Click();
  void GLSceneViewer1MouseDown(Qt::MouseButton button, int x, int y);
  // Left drag orbits; a middle drag, or a left drag with Shift, pans.
  void GLSceneViewer1MouseMove(Qt::MouseButtons buttons, int x, int y,
                               Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void FormMouseWheel(int delta);
  // Moves the target for each held keypad digit, only while this window is the active one: the
  // keypad is read from the keyboard whatever has the focus.
  void GLCadencer1Progress(double delta_seconds);
  void GLSceneViewer1BeforeRender();

  GeometryView& geometry() { return *geometry_; }
  scene::TickSource* cadencer() const { return cadencer_; }  // the idle-time tick source

  // Frames every visible ball and line (the opening view when there is none), keeping the
  // direction the camera looks from; when the data cannot be framed, says why and leaves the
  // view as it is.
  void Fit();
  // The opening view: target at the origin, camera at (0, 1, 1).
  void ResetView();
  // Moves the target by whole steps relative to the view: right, forward (both level), up.
  void MoveTargetInView(int right_steps, int forward_steps, int rise_steps);
  // Takes back the last edit still in effect, or puts back the last one taken back.
  void Undo();
  void Redo();
  // Writes the visible geometry in the format named by the file's extension; false (and the user
  // told why) when it could not.
  bool ExportTo(const QString& path);
  // Writes the current view as a PNG picture; false (and the user told why) when it could not.
  bool SavePicture(const QString& path);
  // The measure line under the view.
  QString MeasureText() const;

  // The controls of the top bar and the measure line, named as in the window's design.
  struct Controls {
    QCheckBox* CheckBox1 = nullptr;
    QRadioButton* rg1 = nullptr;
    QRadioButton* rg2 = nullptr;
    QRadioButton* rg3 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* FitButton = nullptr;
    QPushButton* ResetButton = nullptr;
    QCheckBox* HeightCheck = nullptr;  // drop lines and ground grid
    QComboBox* LabelsCombo = nullptr;  // none, numbers, coordinates
    QPushButton* ExportButton = nullptr;
    QPushButton* PictureButton = nullptr;
    QLabel* MeasureLabel = nullptr;
  };
  const Controls& controls() const { return controls_; }
  const SceneNodes& nodes() const { return nodes_; }
  scene::SceneViewer* viewer() const { return GLSceneViewer1; }

  static constexpr int kTopBarHeight = 33;
  static constexpr double kTickStepSeconds = 0.05;
  // Labels beyond this many would hide the view and slow every frame.
  static constexpr int kMaxLabels = 300;

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void CreateTopBar();
  void CreateScene();
  void CreateShortcuts();
  // After the data or its visibility changed: drop lines, grid, clip extent, measure line.
  void RefreshOverlays();
  void UpdateLabels();
  void AskAndExport();
  void AskAndSavePicture();
  bool AskConfirmation(const QString& question);
  void SetPose(const ViewPose& pose);

  double scale_;
  double ball_;
  std::string geom_path_;
  Controls controls_;
  scene::SceneViewer* GLSceneViewer1 = nullptr;
  SceneNodes nodes_;
  std::unique_ptr<GeometryView> geometry_;
  scene::TickSource* cadencer_ = nullptr;
  std::vector<scene::ScreenTextNode*> label_pool_;  // children of Labels, reused every frame
  int last_x_ = 0;                                  // last cursor position over the viewer
  int last_y_ = 0;
};

}  // namespace vistrel::view3d
