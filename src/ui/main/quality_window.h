#pragma once

// The "Calibration quality" window: the control points' image residuals, largest first, with the
// mis-clicked ones highlighted, and each fitted parameter with its standard error. It only shows
// figures the main window computed; it keeps none of its own.

#include <QColor>
#include <QCoreApplication>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "photogrammetry/quality.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace vistrel {

// In English; the window shows them in its language (context "vistrel::TQualityWindow").
inline constexpr const char* kQualityCaption =
    QT_TRANSLATE_NOOP("vistrel::TQualityWindow", "Calibration quality");
inline constexpr const char* kNoCalibrationText = QT_TRANSLATE_NOOP(
    "vistrel::TQualityWindow",
    "No calibration yet: compute the parameters first (\"Compute Ext./Int. parameters\").");
inline constexpr const char* kNotAvailableText =
    QT_TRANSLATE_NOOP("vistrel::TQualityWindow", "not available");

// Rows of points whose residual exceeds 3 sigma0 in either photograph.
inline const QColor kFlaggedBackground(255, 200, 200);

class TQualityWindow : public QWidget {
  Q_OBJECT

 public:
  // A separate top-level window owned by `parent`; not modal.
  explicit TQualityWindow(QWidget* parent = nullptr);

  // Shows the figures of a calibration, numbers with the given decimal separator. Residuals are
  // shown to a thousandth of a pixel, parameter values to 9 and standard errors to 3 significant
  // digits; each number's tooltip holds the full 15-digit value.
  // `names` are the point table's names by index; a point beyond them shows its index.
  void ShowQuality(const CalibrationQuality& quality, bool joint_fit_failed, char decimal_separator,
                   const std::vector<std::string>& names = {});
  // Shows no figures, only `why` (kNoCalibrationText before any calibration).
  void ShowNothing(const QString& why);
  // The accuracy against known points: the check points' lines of the last calibration, then
  // those of leaving each control point out, once that ran for it. Each call replaces its own.
  void ShowCheckLines(const std::vector<std::string>& lines);
  void ShowHeldOutLines(const std::vector<std::string>& lines);

  // Called by "Leave one out"; the main window runs it and answers with ShowHeldOutLines.
  std::function<void()> on_leave_one_out;

  QLabel* summary() const { return summary_; }
  // Nine rows, largest residual first: point, left ex, ey, |e|, right ex, ey, |e|.
  QTableWidget* points() const { return points_; }
  // One row per fitted parameter: name, value, standard error, unit.
  QTableWidget* parameters() const { return parameters_; }
  // The check lines, then the held-out lines, one a line, as the command line prints them.
  QPlainTextEdit* accuracy() const { return accuracy_; }
  QPushButton* leave_one_out() const { return leave_one_out_; }

 private:
  void ShowAccuracy();

  std::vector<std::string> check_lines_, held_out_lines_;
  QPlainTextEdit* accuracy_ = nullptr;
  QPushButton* leave_one_out_ = nullptr;
  QLabel* summary_ = nullptr;
  QTableWidget* points_ = nullptr;
  QTableWidget* parameters_ = nullptr;
};

}  // namespace vistrel
