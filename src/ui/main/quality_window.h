#pragma once

// The "Calibration quality" window: the control points' image residuals, largest first, with the
// mis-clicked ones highlighted, and each fitted parameter with its standard error. It only shows
// figures the main window computed; it keeps none of its own.

#include <QColor>
#include <QCoreApplication>
#include <QString>
#include <QWidget>

#include "photogrammetry/quality.h"

class QLabel;
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
  void ShowQuality(const CalibrationQuality& quality, bool joint_fit_failed,
                   char decimal_separator);
  // Shows no figures, only `why` (kNoCalibrationText before any calibration).
  void ShowNothing(const QString& why);

  QLabel* summary() const { return summary_; }
  // Nine rows, largest residual first: point, left ex, ey, |e|, right ex, ey, |e|.
  QTableWidget* points() const { return points_; }
  // One row per fitted parameter: name, value, standard error, unit.
  QTableWidget* parameters() const { return parameters_; }

 private:
  QLabel* summary_ = nullptr;
  QTableWidget* points_ = nullptr;
  QTableWidget* parameters_ = nullptr;
};

}  // namespace vistrel
