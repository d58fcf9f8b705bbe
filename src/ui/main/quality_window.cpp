#include "ui/main/quality_window.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "numeric/text_format.h"
#include "ui/main/qt_utils.h"

namespace vistrel {
namespace {

// `value` rounded to `digits` significant digits, so that the general format shows no more.
long double RoundSignificant(long double value, int digits) {
  if (value == 0 || !std::isfinite(value)) return value;
  const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  const long double scale = std::pow(10.0L, digits - 1 - exponent);
  return std::round(value * scale) / scale;
}

// Pixels to a thousandth, always three decimals so that the columns line up: finer than any
// click, coarse enough to read at a glance. Absurd values (a failed fit) keep the general format.
QString Pixels(long double value, char separator) {
  if (!std::isfinite(value) || std::fabs(value) >= 1e9L) {
    return ToQt(FormatGeneral(value, separator));
  }
  QString text = QString::number(static_cast<double>(value), 'f', 3);
  if (text == "-0.000") text = "0.000";
  return text.replace('.', QChar(separator));
}

// What a fitted parameter is measured in, by its name ("f", "left Tx", "right Alpha", ...).
QString Unit(const std::string& name) {
  const std::string field = name.substr(name.find(' ') + 1);
  if (field == "f" || field == "u0" || field == "v0")
    return QCoreApplication::translate("vistrel::TQualityWindow", "pixels");
  if (field == "Alpha" || field == "Beta" || field == "Gamma")
    return QCoreApplication::translate("vistrel::TQualityWindow", "degrees");
  if (field == "Tx" || field == "Ty" || field == "Tz")
    return QCoreApplication::translate("vistrel::TQualityWindow", "object units");
  return {};
}

QTableWidgetItem* NumberItem(const QString& shown, long double full, char separator) {
  auto* item = new QTableWidgetItem(shown);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  item->setToolTip(ToQt(FormatGeneral(full, separator)));
  return item;
}

QTableWidget* MakeTable(const char* name, const QStringList& headers, QWidget* parent) {
  auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
  table->setObjectName(name);
  table->setHorizontalHeaderLabels(headers);
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->setFocusPolicy(Qt::NoFocus);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  return table;
}

}  // namespace

TQualityWindow::TQualityWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("QualityWindow");
  setWindowTitle(tr(kQualityCaption));
  auto* layout = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setObjectName("QualitySummary");
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(summary_);
  points_ = MakeTable("QualityPoints",
                      {tr("Point"), tr("Left ex"), tr("Left ey"), tr("Left |e|"), tr("Right ex"),
                       tr("Right ey"), tr("Right |e|")},
                      this);
  points_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  // Nine points in view at once; more scroll.
  points_->setFixedHeight(points_->horizontalHeader()->sizeHint().height() +
                          9 * points_->verticalHeader()->defaultSectionSize() +
                          2 * points_->frameWidth() + 2);
  points_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  layout->addWidget(points_);
  parameters_ = MakeTable("QualityParameters",
                          {tr("Parameter"), tr("Value"), tr("Standard error"), tr("Unit")}, this);
  layout->addWidget(parameters_, 1);
  auto* accuracy_row = new QHBoxLayout;
  accuracy_ = new QPlainTextEdit(this);
  accuracy_->setObjectName("QualityAccuracy");
  accuracy_->setReadOnly(true);
  accuracy_->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The lines are columns of figures: they read best in a fixed-width font.
  accuracy_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  accuracy_->setFixedHeight(accuracy_->fontMetrics().height() * 7 + 2 * accuracy_->frameWidth());
  accuracy_row->addWidget(accuracy_, 1);
  leave_one_out_ = new QPushButton(tr("Leave one out"), this);
  leave_one_out_->setObjectName("QualityLeaveOneOut");
  leave_one_out_->setToolTip(
      tr("leaves each control point out in turn, recalibrates and measures it"));
  connect(leave_one_out_, &QPushButton::clicked, this, [this] {
    if (on_leave_one_out) on_leave_one_out();
  });
  accuracy_row->addWidget(leave_one_out_, 0, Qt::AlignTop);
  layout->addLayout(accuracy_row);
  resize(660, 820);
  ShowNothing(tr(kNoCalibrationText));
}

void TQualityWindow::ShowNothing(const QString& why) {
  summary_->setText(why);
  points_->setRowCount(0);
  parameters_->setRowCount(0);
  ShowCheckLines({});
  ShowHeldOutLines({});
}

void TQualityWindow::ShowCheckLines(const std::vector<std::string>& lines) {
  check_lines_ = lines;
  ShowAccuracy();
}

void TQualityWindow::ShowHeldOutLines(const std::vector<std::string>& lines) {
  held_out_lines_ = lines;
  ShowAccuracy();
}

void TQualityWindow::ShowAccuracy() {
  QStringList text;
  for (const auto* lines : {&check_lines_, &held_out_lines_})
    for (const std::string& line : *lines) text << ToQt(line);
  accuracy_->setPlainText(text.join('\n'));
}

void TQualityWindow::ShowQuality(const CalibrationQuality& quality, bool joint_fit_failed,
                                 char separator, const std::vector<std::string>& names) {
  const auto pixels = [separator](long double v) { return Pixels(v, separator); };
  const std::vector<ControlPointQuality> sorted = quality.ByLargestResidual();
  int flagged = 0;
  for (const ControlPointQuality& p : sorted) flagged += p.flagged ? 1 : 0;
  QString text = tr("RMS residual %1 px, sigma0 %2 px, %3 fitted parameters.")
                     .arg(pixels(quality.rms), pixels(quality.sigma0))
                     .arg(quality.fitted_parameters);
  text += "\n" + tr("Residuals are observed minus model, in pixels, largest first.") + " ";
  text += flagged == 0 ? tr("No point lies above 3 sigma0 (%1 px).").arg(pixels(3 * quality.sigma0))
                       : tr("Highlighted: above 3 sigma0 (%1 px) in either photograph.")
                             .arg(pixels(3 * quality.sigma0));
  if (joint_fit_failed) {
    text += "\n" + tr("The joint fit failed: the values are its last trial and the standard errors "
                      "are not available.");
  }
  // Which start of the joint fit gave these cameras, and how every start ended.
  for (std::size_t k = 0; k < quality.starts.size(); ++k) {
    const StartRecord& s = quality.starts[k];
    text += "\n" + tr("Start %1: ").arg(QString::fromStdString(s.name));
    text += s.failed ? tr("failed (%1)").arg(QString::fromStdString(s.failure_reason))
                     : tr("objective %1 px\u00B2")
                           .arg(QString::number(static_cast<double>(s.objective), 'g', 6)
                                    .replace('.', QChar(separator)));
    text += tr(", %1 iterations").arg(s.iterations);
    if (s.abandoned) text += tr(", stopped: it could not catch up with the best");
    if (s.stopped_at_budget) text += tr(", stopped on its budget of %1 iterations").arg(s.budget);
    if (s.same_as >= 0)
      text += tr(", same cameras as %1")
                  .arg(QString::fromStdString(
                      quality.starts[static_cast<std::size_t>(s.same_as)].name));
    if (!joint_fit_failed && static_cast<int>(k) == quality.winner) text += tr(" \u2014 kept");
  }
  if (const auto& d = quality.distortion_significance) {
    const auto number = [separator](long double v) {
      return QString::number(static_cast<double>(v), 'f', 2).replace('.', QChar(separator));
    };
    text += "\n" + tr("Distortion coefficients: F = %1, 95 % point %2. ")
                       .arg(number(d->F), number(kDistortionFCritical));
    text += d->significant ? tr("They explain more than the click noise.")
                           : tr("Not significant: nine points do not determine them, and "
                                "without \"Correc. Distortions\" the calibration usually "
                                "measures as well or better.");
  }
  if (!quality.lens_model.empty()) {
    text += "\n" + tr("Lens model: %1").arg(QString::fromStdString(quality.lens_model));
    if (!quality.lens_model_reason.empty())
      text += QString(" (%1)").arg(QString::fromStdString(quality.lens_model_reason));
    text += '.';
  }
  summary_->setText(text);

  points_->setRowCount(static_cast<int>(sorted.size()));
  for (int row = 0; row < static_cast<int>(sorted.size()); ++row) {
    const ControlPointQuality& p = sorted[static_cast<std::size_t>(row)];
    auto* name = new QTableWidgetItem(p.point >= 0 && p.point < static_cast<int>(names.size())
                                          ? ToQt(names[static_cast<std::size_t>(p.point)])
                                          : QString::number(p.point));
    name->setTextAlignment(Qt::AlignCenter);
    points_->setItem(row, 0, name);
    const long double values[] = {p.left.ex,  p.left.ey,  p.left.length,
                                  p.right.ex, p.right.ey, p.right.length};
    for (int column = 0; column < 6; ++column) {
      const long double v = values[column];
      points_->setItem(row, column + 1, NumberItem(Pixels(v, separator), v, separator));
    }
    if (!p.flagged) continue;
    for (int column = 0; column < points_->columnCount(); ++column) {
      QTableWidgetItem* item = points_->item(row, column);
      item->setBackground(kFlaggedBackground);
      QFont font = item->font();
      font.setBold(true);
      item->setFont(font);
    }
  }

  parameters_->setRowCount(static_cast<int>(quality.parameters.size()));
  for (int row = 0; row < static_cast<int>(quality.parameters.size()); ++row) {
    const ParameterQuality& p = quality.parameters[static_cast<std::size_t>(row)];
    parameters_->setItem(row, 0, new QTableWidgetItem(ToQt(p.name)));
    const auto significant = [separator](long double v, int digits) {
      return ToQt(FormatGeneral(RoundSignificant(v, digits), separator));
    };
    parameters_->setItem(row, 1, NumberItem(significant(p.value, 9), p.value, separator));
    parameters_->setItem(row, 3, new QTableWidgetItem(Unit(p.name)));
    if (p.standard_error) {
      parameters_->setItem(
          row, 2, NumberItem(significant(*p.standard_error, 3), *p.standard_error, separator));
    } else {
      auto* item = new QTableWidgetItem(tr(kNotAvailableText));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      parameters_->setItem(row, 2, item);
    }
  }
}

}  // namespace vistrel
