#pragma once

// One image pane of the main window with everything it owns: the photograph and the file it came
// from, the display geometry, the drawing area, the controls under it (file label, load, centre,
// fit, zoom slider), the open dialog and the capture boxes. The window wires the pane's controls
// to its handlers and hands it what only the window knows (markers, residuals, the guide).

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "photogrammetry/epipolar.h"
#include "ui/main/image_pane.h"
#include "ui/main/pane_geometry.h"

class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QScrollBar;
class QWidget;

namespace vistrel {

class PaneView {
 public:
  explicit PaneView(bool left) : left_(left) {}

  // Called when the pane changes its zoom by itself (a fit once the drawing area has its size).
  std::function<void()> on_view_changed;

  // ---- building (the designer names are given by the window)
  QWidget* CreateFrame(QWidget* window, const char* frame_name, const QString& caption,
                       const char* box_name);
  QWidget* CreateControls(const char* label_name, const char* load_name, const char* center_name,
                          const char* zoom_label_name, const char* slider_name);
  // The capture boxes x and y, children of `parent`.
  std::pair<QLineEdit*, QLineEdit*> CreateCaptureEdits(QWidget* parent, const char* x_name,
                                                       const char* y_name);

  bool IsLeft() const { return left_; }
  PaneGeometry& Geometry() { return geometry_; }
  const PaneGeometry& Geometry() const { return geometry_; }
  const QImage& Picture() const { return picture_; }
  TPaintBox* Box() const { return box_; }
  QScrollBar* Slider() const { return slider_; }
  QGroupBox* Frame() const { return frame_; }
  QLineEdit* XEdit() const { return x_edit_; }
  QLineEdit* YEdit() const { return y_edit_; }
  QFileDialog* Dialog() const { return dialog_; }
  QPushButton* LoadButton() const { return load_button_; }
  QPushButton* CenterButton() const { return center_button_; }
  QPushButton* FitButton() const { return fit_button_; }

  // ---- the photograph
  // The picture shown before any file: no file name, full size.
  void ShowBuiltIn(QImage picture);
  // Loads `path` and shows its name; throws and changes nothing when it fails. The display
  // rectangle keeps its offset and size until the next zoom change.
  void Load(const QString& path);
  // The open dialog, then Load of the file chosen; false when the user cancelled.
  bool ChooseAndLoad();
  // The file named in the settings: the one shown, else a remembered one that was missing.
  QString RememberedFile() const { return shown_file_.isEmpty() ? missing_file_ : shown_file_; }
  void RememberMissing(const QString& path) { missing_file_ = path; }
  // The decoder's warning when the shown picture is damaged, else empty.
  const QString& PictureWarning() const { return picture_warning_; }

  // ---- zoom and pan; the slider shows the zoom each of them leaves
  void Center();
  void Fit();
  void ZoomToSlider();
  // One wheel step at `at`, in the drawing area's coordinates.
  void WheelZoom(const QPoint& at, int delta);
  // Full size at the top-left corner, as the window starts without the option below.
  void ShowFullSize();
  // "Fit photographs when shown": each photograph loaded is fitted, and the one shown now is
  // fitted as soon as the drawing area has its size and again while the window settles its size,
  // until the user zooms or centres.
  void SetFitWhenShown(bool on);
  // The geometry as painted: during a right drag the picture follows the pointer.
  PaneGeometry Shown() const;

  // ---- capture
  // The capture boxes' pixel, when both hold whole numbers.
  // A sub-pixel capture shown with two decimals counts at its full precision while the boxes
  // show what it wrote; typed whole numbers count as they are.
  std::optional<std::pair<double, double>> Captured() const;
  // The sub-pixel position captured last, while the boxes still show it; empty for a whole
  // pixel or once the boxes were edited.
  std::optional<std::pair<double, double>> SubPixelCapture() const;
  void ShowCapture(double x, double y);
  // The picture pixel under the pointer, if the pointer is over the picture.
  std::optional<std::pair<std::int64_t, std::int64_t>> PixelUnderPointer() const;
  // What a left click at (x, y) captures: the whole pixel, or with Shift the sub-pixel centre of
  // the target under the click; nothing off the picture, or with Shift off any target or between
  // two.
  struct Capture {
    std::optional<std::pair<double, double>> pixel;
    bool two_targets = false;  // nothing captured: the click lay between two targets
  };
  Capture PixelAt(int x, int y, bool snap) const;

  // ---- painting
  // `curve` (picture coordinates) in the drawing area's coordinates as shown.
  std::vector<QPointF> ToShown(const std::vector<GuidePoint>& curve) const;
  // Paints the picture with `overlay`, adding the capture cross and the loupe.
  void Paint(QPainter& painter, PaneOverlay overlay, const QColor& background);

 private:
  void SyncViewSize();
  void ShowZoomOnSlider();
  void FitIfPending();

  bool left_;  // left pane: xg/yg columns; right pane: xd/yd
  PaneGeometry geometry_;
  QImage picture_;
  QGroupBox* frame_ = nullptr;
  TPaintBox* box_ = nullptr;
  QScrollBar* slider_ = nullptr;
  QLabel* file_label_ = nullptr;
  QLineEdit* x_edit_ = nullptr;
  QLineEdit* y_edit_ = nullptr;
  QPushButton* load_button_ = nullptr;
  QPushButton* center_button_ = nullptr;
  QPushButton* fit_button_ = nullptr;
  QFileDialog* dialog_ = nullptr;
  QString last_dialog_file_;  // what the dialog remembers between uses
  // The photograph the pane shows; empty for the built-in one. The label and the settings name
  // this one, never a file that failed to load.
  QString shown_file_;
  // A remembered photograph that was missing at start: written back at close as long as the pane
  // shows no other file, so a disconnected drive does not cost the user the setting.
  QString missing_file_;
  QString picture_warning_;
  bool fit_when_shown_ = false;
  bool fit_pending_ = false;  // fit at the next size of the drawing area
  // The last capture at full precision and the box texts it wrote.
  std::optional<std::pair<double, double>> exact_capture_;
  QString exact_x_text_, exact_y_text_;
};

}  // namespace vistrel
