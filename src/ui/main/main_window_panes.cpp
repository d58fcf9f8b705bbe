// The main window's handlers of its two image panes: loading, zoom, pan, capture and painting.

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

#include "ui/main/main_window.h"
#include "ui/main/qt_utils.h"

namespace vistrel {

void TForm1::LoadPanePicture(PaneView& pane, const QString& path) {
  pane.Load(path);
  ShowStatus();
}

void TForm1::Button1Click() {
  if (left_.ChooseAndLoad()) ShowStatus();
}
void TForm1::Button3Click() {
  if (right_.ChooseAndLoad()) ShowStatus();
}
void TForm1::Button2Click() { left_.Center(); }
void TForm1::Button4Click() { right_.Center(); }

void TForm1::Button15Click() {
  left_.Fit();
  ShowStatus();
}

void TForm1::Button16Click() {
  right_.Fit();
  ShowStatus();
}

void TForm1::ScrollBar1Change() {
  left_.ZoomToSlider();
  ShowStatus();
}

void TForm1::ScrollBar2Change() {
  right_.ZoomToSlider();
  ShowStatus();
}

void TForm1::WheelAt(QWidget* receiver, QWheelEvent* event) {
  event->accept();
  const QPoint delta = event->angleDelta();
  // A touchpad's begin and end events carry no movement; they are not steps.
  if (delta.isNull() && event->phase() != Qt::NoScrollPhase) return;
  const QPoint client = receiver->mapTo(centralWidget(), event->position().toPoint());
  FormMouseWheel(client, delta.y() != 0 ? delta.y() : delta.x());
}

void TForm1::wheelEvent(QWheelEvent* event) {
  // Arrives here from the frames' margins, in window coordinates.
  const QPoint client = centralWidget()->mapFrom(this, event->position().toPoint());
  QWheelEvent moved(client, event->globalPosition(), event->pixelDelta(), event->angleDelta(),
                    event->buttons(), event->modifiers(), event->phase(), event->inverted());
  WheelAt(centralWidget(), &moved);
  event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // A coordinate box selects its whole text when it takes the focus, by click as well: what is
  // typed then replaces the old text instead of being added to it.
  if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
    if (event->type() == QEvent::FocusIn) {
      edit->selectAll();
      select_on_release_ = edit;
    } else if (event->type() == QEvent::MouseButtonRelease && select_on_release_ == edit) {
      select_on_release_ = nullptr;
      if (!edit->hasSelectedText()) edit->selectAll();
    } else if (event->type() == QEvent::FocusOut && select_on_release_ == edit) {
      select_on_release_ = nullptr;
    }
    return QMainWindow::eventFilter(watched, event);
  }
  // The drawing areas hand their wheel events to the window, sent or spontaneous alike.
  if (event->type() == QEvent::Wheel && (watched == left_.Box() || watched == right_.Box())) {
    WheelAt(static_cast<QWidget*>(watched), static_cast<QWheelEvent*>(event));
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormMouseWheel(const QPoint& p, int delta) {
  const auto strictly_inside = [this, &p](const PaneView& pane) {
    const QRect r(pane.Frame()->mapTo(centralWidget(), QPoint(0, 0)), pane.Frame()->size());
    return p.x() > r.x() && p.x() < r.x() + r.width() && p.y() > r.y() &&
           p.y() < r.y() + r.height();
  };
  PaneView* pane = strictly_inside(left_) ? &left_ : strictly_inside(right_) ? &right_ : nullptr;
  if (!pane) return;
  pane->WheelZoom(pane->Box()->mapFrom(centralWidget(), p), delta);
  ShowStatus();
}

void TForm1::MouseDown(PaneView& pane, Qt::MouseButton button, int x, int y,
                       Qt::KeyboardModifiers modifiers) {
  if (button != Qt::LeftButton) {
    pane.Geometry().Press(x, y);
    return;
  }
  std::int64_t ix, iy;
  // Off the picture there is no pixel to capture (nor when nothing is shown).
  if (!pane.Geometry().ToImageInside(x, y, ix, iy)) return;
  const PaneView::Capture capture = pane.PixelAt(x, y, (modifiers & Qt::ShiftModifier) != 0);
  const auto& pixel = capture.pixel;
  if (!pixel) {
    Note(capture.two_targets
             ? tr("Two targets under the pointer: nothing captured (click nearer one)")
             : tr("No target under the pointer: nothing captured"));
    return;
  }
  if ((modifiers & Qt::ShiftModifier) && MatchOnEpipolar(pane, pixel->first, pixel->second)) {
    return;
  }
  if (store_on_click_->isChecked()) {
    StoreClick(pane.IsLeft(), pixel->first, pixel->second);
  } else {
    pane.ShowCapture(pixel->first, pixel->second);
    session_.NoteCapture(SelectedIndex(), pane.IsLeft(), pixel->first, pixel->second);
  }
  // The other pane's epipolar guide follows this capture.
  Other(pane).Box()->update();
}

void TForm1::MouseUp(PaneView& pane, Qt::MouseButton button, int x, int y) {
  if (button != Qt::RightButton) return;
  pane.Geometry().ReleaseRight(x, y);
  pane.Box()->update();
}

void TForm1::MouseMove(PaneView& pane) {
  // The slider takes the keyboard for its zoom keys, but never from a box being typed into:
  // the keys would zoom the pane and the text would be lost.
  const QWidget* focus = QApplication::focusWidget();
  if (!qobject_cast<const QLineEdit*>(focus) && !qobject_cast<const QPlainTextEdit*>(focus)) {
    pane.Slider()->setFocus();
  }
  ShowStatus();
}

void TForm1::PaintBox1MouseDown(Qt::MouseButton b, int x, int y, Qt::KeyboardModifiers m) {
  MouseDown(left_, b, x, y, m);
}
void TForm1::PaintBox2MouseDown(Qt::MouseButton b, int x, int y, Qt::KeyboardModifiers m) {
  MouseDown(right_, b, x, y, m);
}
void TForm1::PaintBox1MouseMove(int, int) { MouseMove(left_); }
void TForm1::PaintBox2MouseMove(int, int) { MouseMove(right_); }
void TForm1::PaintBox1MouseUp(Qt::MouseButton b, int x, int y) { MouseUp(left_, b, x, y); }
void TForm1::PaintBox2MouseUp(Qt::MouseButton b, int x, int y) { MouseUp(right_, b, x, y); }

void TForm1::Paint(PaneView& pane, QPainter& painter) {
  PaneOverlay overlay;
  const bool all = !RadioButton1->isChecked();
  const PointTable& table = session_.Table();
  const bool left = pane.IsLeft();
  // A point without a pixel in this photograph has no marker: (0, 0) would be a false one.
  const auto add_marker = [&](int i) {
    if (!(left ? table.Stored(i).left : table.Stored(i).right)) return;
    const ImagePosition p = table.Image(i, left);
    overlay.markers.push_back(
        PaneMarker{p.x, p.y, ToQColor(table.Color(i)), all ? ToQt(table.Name(i)) : QString()});
  };
  if (!all) {
    add_marker(SelectedIndex());
  } else {
    // The observation point last, drawn over the others.
    for (int i = 0; i < table.Count(); ++i)
      if (i != PointTable::kObservation) add_marker(i);
    add_marker(PointTable::kObservation);
  }
  const std::vector<PaneMarker>& proposal = proposal_[left ? 0 : 1];
  overlay.markers.insert(overlay.markers.end(), proposal.begin(), proposal.end());
  overlay.residuals = ResidualStrokes(pane);
  // The epipolar curve of the other pane's capture.
  const PaneView& other = Other(pane);
  if (const auto captured = other.Captured()) {
    overlay.guide = pane.ToShown(
        EpipolarCurve(session_.Camera(), other.IsLeft(), captured->first, captured->second, table));
  }
  pane.Paint(painter, std::move(overlay), palette().color(QPalette::Dark));
}

std::vector<PaneResidual> TForm1::ResidualStrokes(const PaneView& pane) const {
  std::vector<PaneResidual> strokes;
  const auto& quality = session_.Quality();
  if (!quality || !CheckBox2->isChecked()) return strokes;
  const PointTable& table = session_.Table();
  const bool left = pane.IsLeft();
  for (const ControlPointQuality& p : quality->points) {
    const int i = p.point;
    if (RadioButton1->isChecked() && i != SelectedIndex()) continue;
    // A point stored anew since the calibration has no residual yet.
    if (!session_.UnchangedSinceCalibration(i, left)) continue;
    const PointResidual& r = left ? p.left : p.right;
    const ImagePosition q = table.Image(i, left);
    strokes.push_back(PaneResidual{q.x, q.y, r.ex, r.ey});
  }
  return strokes;
}

void TForm1::UpdatePanes() {
  left_.Box()->update();
  right_.Box()->update();
}

void TForm1::CheckBox2Click() { UpdatePanes(); }

}  // namespace vistrel
