// What the main window says about the session: the status bar, the point status table and the
// calibration quality wherever it is shown.

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QSignalBlocker>
#include <QTableWidget>
#include <algorithm>

#include "project/point_store.h"
#include "ui/main/main_window.h"
#include "ui/main/messages.h"
#include "ui/main/qt_utils.h"
#include "ui/main/quality_window.h"

namespace vistrel {

int TForm1::SelectedIndex() const { return std::max(0, ComboBox1->currentIndex()); }

void TForm1::ShowStatus() {
  if (!StatusPanel) return;
  const PaneView* over = left_.Box()->Pointer()    ? &left_
                         : right_.Box()->Pointer() ? &right_
                                                   : nullptr;
  const PaneView& pane = over ? *over : left_;
  const int index = SelectedIndex();
  // "x 812  y 403  |  zoom 100 %" over the picture, "outside the photograph  |  zoom 25 %" off it,
  // the zoom alone when the pointer is over no pane; then what the selected point has stored.
  const QString zoom = tr("zoom %1 %").arg(pane.Geometry().ZoomPercent());
  QString text = zoom;
  if (over) {
    const auto pixel = pane.PixelUnderPointer();
    text = (pixel ? tr("x %1  y %2").arg(pixel->first).arg(pixel->second)
                  : tr("outside the photograph")) +
           "  |  " + zoom;
  }
  const StoredParts& parts = session_.Stored(index);
  const auto state = [this](bool stored) { return stored ? tr("stored") : tr("missing"); };
  const QString entry = ComboBox1->itemText(index);
  text +=
      "  |  " + (session_.Table().Kind(index) == PointKind::kObject
                     ? tr("%1: left %2, right %3").arg(entry, state(parts.left), state(parts.right))
                     : tr("%1: left %2, right %3, space %4")
                           .arg(entry, state(parts.left), state(parts.right), state(parts.space)));
  if (!status_note_.isEmpty()) text = status_note_ + "  |  " + text;
  // A damaged photograph stays shown, but nobody should click control points on its grey part
  // without knowing.
  for (const PaneView* p : {&left_, &right_}) {
    if (!p->PictureWarning().isEmpty())
      text = (p == &left_ ? tr("Left photograph incomplete (%1)")
                          : tr("Right photograph incomplete (%1)"))
                 .arg(MessageIn(p->PictureWarning())) +
             "  |  " + text;
  }
  StatusPanel->setText(text);
}

QString TForm1::PointEntry(int index) const {
  const PointTable& table = session_.Table();
  // The first ten keep their entries as long as they keep their kind.
  if (index == PointTable::kObservation ||
      (index <= PointTable::kFixedControls && table.Kind(index) == PointKind::kControl)) {
    return ToQt(PointSelectorEntry(index));
  }
  // In the same words as the first ten's entries, whatever the language.
  const PointKind kind = table.Kind(index);
  const char* word = kind == PointKind::kControl ? "Control"
                     : kind == PointKind::kCheck ? "Check"
                                                 : "Object";
  return QString(word) + " : " + ToQt(table.Name(index));
}

void TForm1::ShowPointList(int select) {
  const int count = session_.Table().Count();
  {
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->clear();
    for (int i = 0; i < count; ++i) ComboBox1->addItem(PointEntry(i));
    ComboBox1->setCurrentIndex(std::clamp(select, 0, count - 1));
  }
  PointStatus->setRowCount(count);
  QStringList rows;
  for (int i = 0; i < count; ++i) rows << ToQt(session_.Table().Name(i));
  PointStatus->setVerticalHeaderLabels(rows);
  selecting_by_program_ = true;
  ComboBox1Change();
  selecting_by_program_ = false;
  ShowPointStatus();
}

void TForm1::ShowPointStatus() {
  const auto cell = [this](int row, int column, const QString& text, const QColor& background) {
    QTableWidgetItem* item = PointStatus->item(row, column);
    if (!item) {
      item = new QTableWidgetItem;
      item->setTextAlignment(Qt::AlignCenter);
      PointStatus->setItem(row, column, item);
    }
    item->setText(text);
    item->setBackground(background.isValid() ? QBrush(background) : QBrush());
  };
  const QString yes = QString::fromUtf8("\u2713"), no = QString::fromUtf8("\u2013");
  const PointTable& table = session_.Table();
  for (int i = 0; i < table.Count(); ++i) {
    const StoredParts& parts = table.Stored(i);
    const QColor done = table.Complete(i) ? QColor(200, 235, 200) : QColor();
    cell(i, 0, parts.left ? yes : no, done);
    cell(i, 1, parts.right ? yes : no, done);
    cell(i, 2, i == 0 ? QString() : parts.space ? yes : no, done);
    QString residual;
    QColor flagged;
    if (session_.Quality() && i > 0) {
      for (const ControlPointQuality& q : session_.Quality()->points) {
        if (q.point != i) continue;
        residual = QString::number(static_cast<double>(q.largest), 'f', 2);
        if (q.flagged) flagged = kFlaggedBackground;
      }
    }
    cell(i, 3, residual, flagged);
  }
}

void TForm1::PointStatusClick(int row) {
  if (row < 0 || row >= ComboBox1->count()) return;
  ComboBox1->setCurrentIndex(row);
  selection_by_user_ = true;
}

void TForm1::Stored() {
  ShowPointStatus();
  ShowStatus();
  UpdatePanes();
}

void TForm1::ShowQuality() {
  if (quality_window_) {
    if (session_.Quality()) {
      std::vector<std::string> names;
      for (int i = 0; i < session_.Table().Count(); ++i) names.push_back(session_.Table().Name(i));
      quality_window_->ShowQuality(*session_.Quality(), session_.QualityFitFailed(),
                                   LocaleDecimalSeparator(), names);
    } else {
      quality_window_->ShowNothing(
          session_.QualityProblem().empty()
              ? QCoreApplication::translate("vistrel::TQualityWindow", kNoCalibrationText)
              : ToQt(session_.QualityProblem()));
    }
    // Measured with the cameras just shown; what leaving out gave belongs to earlier ones.
    quality_window_->ShowCheckLines(session_.Calibrated()
                                        ? AccuracyLines(session_.CheckErrors(), "check",
                                                        ControlDiagonal(session_.Table()),
                                                        LocaleDecimalSeparator())
                                        : std::vector<std::string>{});
    quality_window_->ShowHeldOutLines({});
  }
  ShowPointStatus();
  // The residual strokes and the epipolar guides follow the new cameras.
  UpdatePanes();
}

}  // namespace vistrel
