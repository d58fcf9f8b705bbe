// What the main window says about the session: the status bar, the point status table and the
// calibration quality wherever it is shown.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>

#include "ui/main/main_window.h"
#include "ui/main/messages.h"
#include "ui/main/point_status.h"
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
  QString text =
      ToQt(PointerText(over != nullptr, pane.PixelUnderPointer(), pane.Geometry().ZoomPercent())) +
      "  |  " + ToQt(PointStateText(index, session_.Stored(index)));
  if (!status_note_.isEmpty()) text = status_note_ + "  |  " + text;
  // A damaged photograph stays shown, but nobody should click control points on its grey part
  // without knowing.
  for (const PaneView* p : {&left_, &right_}) {
    if (!p->PictureWarning().isEmpty())
      text = QString("%1 photograph incomplete (%2)  |  ")
                 .arg(p == &left_ ? "Left" : "Right", p->PictureWarning()) +
             text;
  }
  StatusPanel->setText(text);
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
  if (row >= 0 && row < ComboBox1->count()) ComboBox1->setCurrentIndex(row);
}

void TForm1::Stored() {
  ShowPointStatus();
  ShowStatus();
  UpdatePanes();
}

void TForm1::ShowQuality() {
  if (quality_window_) {
    if (session_.Quality()) {
      quality_window_->ShowQuality(*session_.Quality(), session_.QualityFitFailed(),
                                   LocaleDecimalSeparator());
    } else {
      quality_window_->ShowNothing(session_.QualityProblem().empty()
                                       ? QString(kNoCalibrationText)
                                       : ToQt(session_.QualityProblem()));
    }
  }
  ShowPointStatus();
  // The residual strokes and the epipolar guides follow the new cameras.
  UpdatePanes();
}

}  // namespace vistrel
