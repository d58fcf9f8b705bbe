#include "ui/main/pane_view.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "numeric/text_format.h"
#include "photogrammetry/target_detection.h"
#include "pictures/picture_loader.h"
#include "ui/main/qt_utils.h"

namespace vistrel {
namespace {
constexpr int kZoomMin = 1;
constexpr int kZoomMax = 300;
// The slider starts where the panes start, at 100 %, so that its first step is one percent.
constexpr int kZoomStart = 100;
}  // namespace

// ---- building
// ---------------------------------------------------------------------------------------

QWidget* PaneView::CreateFrame(QWidget* window, const char* frame_name, const QString& caption,
                               const char* box_name) {
  frame_ = new QGroupBox(caption);
  frame_->setObjectName(frame_name);
  auto* layout = new QVBoxLayout(frame_);
  layout->setContentsMargins(4, 4, 4, 4);
  box_ = new TPaintBox(frame_);
  box_->setObjectName(box_name);
  box_->setMinimumSize(200, 150);
  box_->setCursor(Qt::CrossCursor);
  box_->on_resize = [this] { FitIfPending(); };
  layout->addWidget(box_);
  dialog_ = new QFileDialog(window);
  dialog_->setObjectName(left_ ? "OpenDialog1" : "OpenDialog2");
  dialog_->setFileMode(QFileDialog::ExistingFile);
  dialog_->setNameFilters(PictureFileFilters());
  return frame_;
}

QWidget* PaneView::CreateControls(const char* label_name, const char* load_name,
                                  const char* center_name, const char* zoom_label_name,
                                  const char* slider_name) {
  auto* holder = new QWidget;
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  file_label_ = new QLabel(holder);
  file_label_->setObjectName(label_name);
  file_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(file_label_);
  auto* row = new QHBoxLayout;
  load_button_ =
      new QPushButton(QCoreApplication::translate("vistrel::PaneView", "Load image"), holder);
  load_button_->setObjectName(load_name);
  center_button_ =
      new QPushButton(QCoreApplication::translate("vistrel::PaneView", "Center"), holder);
  center_button_->setObjectName(center_name);
  fit_button_ = new QPushButton(QCoreApplication::translate("vistrel::PaneView", "Fit"), holder);
  fit_button_->setObjectName(left_ ? "Button15" : "Button16");
  fit_button_->setToolTip(
      QCoreApplication::translate("vistrel::PaneView", "shows the whole photograph in its frame"));
  row->addWidget(load_button_);
  row->addWidget(center_button_);
  row->addWidget(fit_button_);
  row->addSpacing(12);
  auto* zoom_label = new QLabel(QCoreApplication::translate("vistrel::PaneView", "Zoom"), holder);
  zoom_label->setObjectName(zoom_label_name);
  row->addWidget(zoom_label);
  slider_ = new QScrollBar(Qt::Horizontal, holder);
  slider_->setObjectName(slider_name);
  slider_->setRange(kZoomMin, kZoomMax);
  slider_->setSingleStep(1);
  slider_->setPageStep(1);
  slider_->setValue(kZoomStart);
  slider_->setFocusPolicy(Qt::StrongFocus);
  row->addWidget(slider_, 1);
  layout->addLayout(row);
  return holder;
}

std::pair<QLineEdit*, QLineEdit*> PaneView::CreateCaptureEdits(QWidget* parent, const char* x_name,
                                                               const char* y_name) {
  x_edit_ = new QLineEdit(parent);
  x_edit_->setObjectName(x_name);
  y_edit_ = new QLineEdit(parent);
  y_edit_->setObjectName(y_name);
  return {x_edit_, y_edit_};
}

// ---- the photograph
// ---------------------------------------------------------------------------------

void PaneView::ShowBuiltIn(QImage picture) {
  picture_ = std::move(picture);
  geometry_.picture_width = picture_.width();
  geometry_.picture_height = picture_.height();
  ShowFullSize();
}

void PaneView::Load(const QString& path) {
  QImage picture = LoadPicture(path);
  picture_ = std::move(picture);
  geometry_.picture_width = picture_.width();
  geometry_.picture_height = picture_.height();
  shown_file_ = path;
  picture_warning_ = picture_.text(kPictureWarningKey);
  missing_file_.clear();
  file_label_->setText(path);
  if (fit_when_shown_) {
    fit_pending_ = true;
    FitIfPending();
  }
  box_->update();
}

bool PaneView::ChooseAndLoad() {
  if (!last_dialog_file_.isEmpty()) dialog_->selectFile(last_dialog_file_);
  bool chosen = false;
  if (dialog_->exec() == QDialog::Accepted && !dialog_->selectedFiles().isEmpty()) {
    last_dialog_file_ = dialog_->selectedFiles().first();
    chosen = true;
    try {
      Load(last_dialog_file_);
    } catch (...) {
      // The file last chosen, unless it failed to load: the label names what the pane shows.
      file_label_->setText(shown_file_);
      throw;
    }
  }
  file_label_->setText(shown_file_);
  return chosen;
}

// ---- zoom and pan
// -----------------------------------------------------------------------------------

void PaneView::SyncViewSize() {
  geometry_.view_width = box_->width();
  geometry_.view_height = box_->height();
}

void PaneView::ShowZoomOnSlider() {
  // Not a slider change: the zoom is already in effect, the slider only shows it.
  const QSignalBlocker quiet(slider_);
  slider_->setValue(std::clamp(geometry_.ZoomPercent(), slider_->minimum(), slider_->maximum()));
}

void PaneView::Center() {
  fit_pending_ = false;
  SyncViewSize();
  geometry_.Center();
  box_->update();
}

void PaneView::Fit() {
  SyncViewSize();
  geometry_.Fit();
  ShowZoomOnSlider();
  box_->update();
}

void PaneView::ZoomToSlider() {
  fit_pending_ = false;
  geometry_.SetZoomPercent(slider_->value());
  box_->update();
}

void PaneView::WheelZoom(const QPoint& at, int delta) {
  fit_pending_ = false;
  geometry_.WheelZoom(at.x(), at.y(), delta);
  ShowZoomOnSlider();
  box_->update();
}

void PaneView::ShowFullSize() {
  geometry_.ShowFullSize();
  ShowZoomOnSlider();
  box_->update();
}

void PaneView::SetFitWhenShown(bool on) {
  fit_when_shown_ = on;
  fit_pending_ = on;
  FitIfPending();
}

void PaneView::FitIfPending() {
  if (fit_pending_ && box_->width() > 0 && box_->height() > 0) {
    Fit();
    if (on_view_changed) on_view_changed();
  }
}

PaneGeometry PaneView::Shown() const {
  PaneGeometry shown = geometry_;
  if (const std::optional<QPoint>& at = box_->DragAt()) {
    // Where the release would put it; the geometry itself moves only on release.
    shown.ox += at->x() - shown.press_x;
    shown.oy += at->y() - shown.press_y;
  }
  return shown;
}

// ---- capture
// ----------------------------------------------------------------------------------------

std::optional<std::pair<double, double>> PaneView::SubPixelCapture() const {
  if (exact_capture_ && x_edit_->text() == exact_x_text_ && y_edit_->text() == exact_y_text_)
    return exact_capture_;
  return {};
}

std::optional<std::pair<double, double>> PaneView::Captured() const {
  if (const auto exact = SubPixelCapture()) return exact;
  std::int32_t x, y;
  if (x_edit_->text().isEmpty() || y_edit_->text().isEmpty() ||
      !TryStrToInt(ToStd(x_edit_->text()), x) || !TryStrToInt(ToStd(y_edit_->text()), y)) {
    return {};
  }
  return std::make_pair(double{static_cast<double>(x)}, static_cast<double>(y));
}

void PaneView::ShowCapture(double x, double y) {
  // Whole pixels as whole numbers, sub-pixel centres with two decimals.
  const auto text = [](double v) {
    return v == std::floor(v) ? QString::number(static_cast<std::int64_t>(v))
                              : QString::number(v, 'f', 2);
  };
  exact_x_text_ = text(x);
  exact_y_text_ = text(y);
  exact_capture_.reset();
  if (x != std::floor(x) || y != std::floor(y)) exact_capture_ = std::make_pair(x, y);
  x_edit_->setText(exact_x_text_);
  y_edit_->setText(exact_y_text_);
  box_->repaint();
}

std::optional<std::pair<std::int64_t, std::int64_t>> PaneView::PixelUnderPointer() const {
  std::int64_t ix, iy;
  const std::optional<QPoint>& pointer = box_->Pointer();
  if (pointer && geometry_.ToImageInside(pointer->x(), pointer->y(), ix, iy)) {
    return std::make_pair(ix, iy);
  }
  return {};
}

PaneView::Capture PaneView::PixelAt(int x, int y, bool snap) const {
  Capture capture;
  std::int64_t ix, iy;
  // Off the picture there is no pixel to capture (nor when nothing is shown).
  if (!geometry_.ToImageInside(x, y, ix, iy)) return capture;
  if (!snap) {
    capture.pixel = std::make_pair(static_cast<double>(ix), static_cast<double>(iy));
    return capture;
  }
  const SnapResult target =
      SnapToTarget(PictureGrey(picture_), static_cast<double>(ix), static_cast<double>(iy));
  capture.two_targets = target.kind == SnapResult::Kind::kTwo;
  if (target.kind != SnapResult::Kind::kTarget) return capture;
  capture.pixel = std::make_pair(target.target.x, target.target.y);
  return capture;
}

// ---- painting
// ---------------------------------------------------------------------------------------

std::vector<QPointF> PaneView::ToShown(const std::vector<GuidePoint>& curve) const {
  std::vector<QPointF> guide;
  const PaneGeometry shown = Shown();
  if (shown.picture_width <= 0 || shown.picture_height <= 0) return guide;
  // Pixel i covers coordinates i - 0.5 to i + 0.5 and is shown from ox + i Wd / Wp.
  const double kx = static_cast<double>(shown.wd) / static_cast<double>(shown.picture_width);
  const double ky = static_cast<double>(shown.hd) / static_cast<double>(shown.picture_height);
  guide.reserve(curve.size());
  for (const GuidePoint& p : curve) {
    const double sx = static_cast<double>(shown.ox) + (static_cast<double>(p.x) + 0.5) * kx;
    const double sy = static_cast<double>(shown.oy) + (static_cast<double>(p.y) + 0.5) * ky;
    if (std::abs(sx) < 1e6 && std::abs(sy) < 1e6) guide.emplace_back(sx, sy);
  }
  return guide;
}

void PaneView::Paint(QPainter& painter, PaneOverlay overlay, const QColor& background) {
  SyncViewSize();
  const PaneGeometry shown = Shown();
  // Texts that are not whole numbers leave the cross out; the rest is still painted.
  overlay.capture = Captured();
  std::int64_t ix, iy;
  const std::optional<QPoint>& pointer = box_->Pointer();
  if (pointer && !box_->DragAt() && shown.ToImageInside(pointer->x(), pointer->y(), ix, iy)) {
    overlay.loupe_pixel.emplace(ix, iy);
    overlay.loupe_rect = LoupeRect(shown.view_width, pointer->x());
  }
  PaintPane(painter, shown, picture_, background, overlay);
}

}  // namespace vistrel
