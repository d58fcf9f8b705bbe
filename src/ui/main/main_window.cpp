#include "ui/main/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <charconv>
#include <limits>
#include <stop_token>

#include "numeric/text_format.h"
#include "photogrammetry/calibration.h"
#include "photogrammetry/epipolar.h"
#include "photogrammetry/measurement.h"
#include "photogrammetry/report.h"
#include "pictures/picture_loader.h"
#include "project/geom_file.h"
#include "project/point_store.h"
#include "project/reference_file.h"
#include "project/settings.h"
#include "ui/main/color_swatch.h"
#include "ui/main/image_pane.h"
#include "ui/main/messages.h"
#include "ui/main/qt_utils.h"
#include "ui/main/quality_window.h"

// The demo photographs are compiled into this static library; their registration has to be
// pulled in by name or the linker drops it.
static void InitBuiltInPhotographs() {
#ifdef VISTREL_HAVE_BUILTIN_PHOTOS
  Q_INIT_RESOURCE(builtin);
#endif
}

namespace vistrel {
namespace {

// The picture a pane shows before any file is loaded: the demo photograph built into the program,
// or nothing (a zero-sized picture) when it was built without one.
QImage BuiltInPicture(bool left) {
  InitBuiltInPhotographs();
  QFile file(left ? ":/vistrel/builtin/left.jpg" : ":/vistrel/builtin/right.jpg");
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  try {
    return DecodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                      static_cast<std::size_t>(bytes.size()));
  } catch (const Exception&) {
    return {};
  }
}

// The shortest text that reads back as exactly `value`, with the user's decimal separator.
std::string ExactText(double value, char decimal_separator) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  std::string text(buffer, end);
  std::replace(text.begin(), text.end(), '.', decimal_separator);
  return text;
}

int ClampToInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

}  // namespace

TForm1::TForm1(std::string program_directory, QWidget* parent)
    : QMainWindow(parent), program_directory_(std::move(program_directory)) {
  setObjectName("Form1");
  setWindowTitle(kProgramTitle);
  resize(1005, 739);
  CreateControls();
  CreateViewOptions();
  FormCreate();
  ConnectHandlers();
}

TForm1::~TForm1() = default;

// ---- start and close
// ------------------------------------------------------------------------------

void TForm1::FormCreate() {
  session_ = Session();  // measurement counter 0, point table reset
  ComboBox1->clear();
  for (int i = 0; i < kPointSelectorCount; ++i) ComboBox1->addItem(ToQt(PointSelectorEntry(i)));
  ComboBox1->setCurrentIndex(kInitialSelectedPoint);
  if (program_directory_.empty()) {
    program_directory_ = vistrel::ProgramDirectory(ToStd(QCoreApplication::applicationFilePath()));
  }
  left_.ShowBuiltIn(BuiltInPicture(true));
  right_.ShowBuiltIn(BuiltInPicture(false));
  ReadSettings();
  // The swatch shows the selected point's colour from the start, as the markers do.
  color1->SetColor(ToQColor(session_.Table().Color(SelectedIndex())));
  ShowSelectedPoint();
  ShowPointStatus();
  PointStatus->selectRow(SelectedIndex());
  ShowStatus();
}

void TForm1::FormClose() {
  try {
    WriteSettings();
  } catch (const ESettingsWriteError& e) {
    // The program closes all the same; only this run's colours and photographs are lost.
    ShowErrorBox(QString::fromUtf8(e.what()));
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (session_.ControlPointsChanged()) {
    const SaveAnswer answer = SaveChangesBox(
        this, tr("The control points changed since they were last saved or loaded. Save "
                 "them to \"%1\"?")
                  .arg(kReferenceFileName));
    if (answer == SaveAnswer::kCancel) {
      event->ignore();
      return;
    }
    if (answer == SaveAnswer::kSave) {
      try {
        session_.SaveControlPoints(kReferenceFileName);
      } catch (const std::exception& e) {
        // Not saved: the window stays open so that nothing is lost.
        ShowErrorBox(QString::fromUtf8(e.what()));
        event->ignore();
        return;
      }
    }
  }
  FormClose();
  event->accept();
}

// ---- point table
// ----------------------------------------------------------------------------------

void TForm1::Button12Click() {
  const int i = SelectedIndex();
  if (const auto exact = left_.SubPixelCapture()) {
    session_.StoreImage(i, true, {exact->first, exact->second});
  } else if (!session_.Stored(i).left || !Unchanged(left_.XEdit()) || !Unchanged(left_.YEdit())) {
    // Storing what the boxes show unchanged stores nothing: the point stays as saved.
    session_.StoreLeft(i, ToStd(left_.XEdit()->text()), ToStd(left_.YEdit()->text()));
  }
  Stored();
  ShowSelectedPoint(kLeftBoxes);
  Advance();
}

void TForm1::Button13Click() {
  const int i = SelectedIndex();
  if (const auto exact = right_.SubPixelCapture()) {
    session_.StoreImage(i, false, {exact->first, exact->second});
  } else if (!session_.Stored(i).right || !Unchanged(right_.XEdit()) ||
             !Unchanged(right_.YEdit())) {
    session_.StoreRight(i, ToStd(right_.XEdit()->text()), ToStd(right_.YEdit()->text()));
  }
  Stored();
  ShowSelectedPoint(kRightBoxes);
  Advance();
}

void TForm1::Button5Click() {
  const int i = SelectedIndex();
  const PointTable& table = session_.Table();
  const bool stored = session_.Stored(i).space;
  // A coordinate the user left as shown keeps its stored value to the last bit: its 15-digit
  // text would round it.
  const std::pair<QLineEdit*, double> boxes[] = {
      {px1, table.Space(i).X}, {py1, table.Space(i).Y}, {pz1, table.Space(i).Z}};
  std::string texts[3];
  bool changed = !stored;
  for (int k = 0; k < 3; ++k) {
    const auto& [edit, value] = boxes[k];
    const bool keep = stored && Unchanged(edit);
    texts[k] = keep ? ExactText(value, LocaleDecimalSeparator()) : ToStd(edit->text());
    changed |= !keep;
  }
  if (changed) session_.StoreSpace(i, texts[0], texts[1], texts[2], LocaleDecimalSeparator());
  Stored();
  ShowSelectedPoint(kSpaceBoxes);
  Advance();
}

void TForm1::ComboBox1Change() {
  session_.ForgetCaptures();  // a capture made for another point never counts
  selection_by_user_ = !selecting_by_program_;
  if (selection_by_user_) status_note_.clear();
  color1->SetColor(ToQColor(session_.Table().Color(SelectedIndex())));
  PointStatus->selectRow(SelectedIndex());
  if (check_point_) {
    const PointKind kind = session_.Table().Kind(SelectedIndex());
    check_point_->setEnabled(kind != PointKind::kObject);
    check_point_->setChecked(kind == PointKind::kCheck);
  }
  ShowSelectedPoint();
  UpdatePanes();
  ShowStatus();
}

bool TForm1::Unchanged(const QLineEdit* edit) const {
  const auto shown = shown_texts_.find(edit);
  return shown != shown_texts_.end() && shown->second == edit->text();
}

void TForm1::ShowSelectedPoint(int parts) {
  const int i = SelectedIndex();
  const StoredParts& stored = session_.Stored(i);
  const PointTable& t = session_.Table();
  const char separator = LocaleDecimalSeparator();
  const auto show = [this](QLineEdit* edit, const QString& text) {
    edit->setText(text);
    edit->setCursorPosition(0);  // the leading digits of a long number
    // Typing into a box that kept the focus replaces what it now shows.
    if (edit->hasFocus()) edit->selectAll();
    shown_texts_[edit] = text;
  };
  // Whole pixels as whole numbers, sub-pixel centres with two decimals (the point keeps its full
  // precision: a store leaves a box unchanged since shown as it is).
  const auto pixel = [](bool has, double v) {
    if (!has) return QString();
    return v == std::floor(v) ? ToQt(FormatShortestGeneral(v)) : QString::number(v, 'f', 2);
  };
  if (parts & kLeftBoxes) {
    show(left_.XEdit(), pixel(stored.left, t.Left(i).x));
    show(left_.YEdit(), pixel(stored.left, t.Left(i).y));
  }
  if (parts & kRightBoxes) {
    show(right_.XEdit(), pixel(stored.right, t.Right(i).x));
    show(right_.YEdit(), pixel(stored.right, t.Right(i).y));
  }
  if (parts & kSpaceBoxes) {
    QString x, y, z;
    if (i != PointTable::kObservation && stored.space) {
      x = ToQt(FormatGeneral(t.Space(i).X, separator));
      y = ToQt(FormatGeneral(t.Space(i).Y, separator));
      z = ToQt(FormatGeneral(t.Space(i).Z, separator));
    } else if (i == PointTable::kObservation && measured_ && measured_->left == t.Left(i) &&
               measured_->right == t.Right(i)) {
      x = ToQt(measured_->x);
      y = ToQt(measured_->y);
      z = ToQt(measured_->z);
    }
    show(px1, x);
    show(py1, y);
    show(pz1, z);
  }
}

void TForm1::Note(const QString& text) {
  status_note_ = text;
  ShowStatus();
}

void TForm1::color1DblClick() {
  const QColor chosen = QColorDialog::getColor(last_dialog_color_, this);
  if (!chosen.isValid()) return;
  last_dialog_color_ = chosen;
  color1->SetColor(chosen);
  session_.Table().SetColor(SelectedIndex(), FromQColor(chosen));
}

// ---- files and computations
// -----------------------------------------------------------------------

void TForm1::Button7Click() {
  // A table that reference.txt cannot hold is saved in part, and the note says what was left out.
  const std::string note = session_.SaveControlPoints(kReferenceFileName);
  if (!note.empty()) {
    Note(ToQt(note));
  } else {
    Note(tr("Saved %1 control points to %2")
             .arg(session_.Table().ControlIndices().size())
             .arg(kReferenceFileName));
  }
}

void TForm1::Button8Click() {
  if (session_.ControlPointsChanged() &&
      !ConfirmBox(this, tr("The control points changed since they were last saved or "
                           "loaded. Replace them with those of \"%1\"?")
                            .arg(kReferenceFileName))) {
    Note(tr("Control points not loaded: the changed ones are kept"));
    return;
  }
  session_.LoadControlPoints(kReferenceFileName);
  Stored();
  ShowSelectedPoint();
  write_memo();
  Note(tr("Loaded %1 control points from %2")
           .arg(session_.Table().ControlIndices().size())
           .arg(kReferenceFileName));
}

void TForm1::Button6Click() {
  // The hourglass for the whole command, restored however it ends.
  struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  } wait;
  // A calibration that takes longer than half a second shows its progress with Cancel; the
  // calibration calls back between its rounds, where the dialog gets its events.
  QProgressDialog progress(tr("Calibrating..."), tr("Cancel"), 0, 1, this);
  progress.setWindowTitle(tr("Calibration"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  progress.setValue(0);
  std::stop_source stop;
  CalibrateOptions options{.distortion = CheckBox1->isChecked()};
  options.lens_model = SelectedLensModel();
  options.stop = stop.get_token();
  options.progress = [&progress, &stop](const CalibrationProgress& p) {
    progress.setMaximum(p.starts);
    progress.setValue(p.starts_ended);
    QCoreApplication::processEvents();
    if (progress.wasCanceled()) stop.request_stop();
  };
  CalibrationOutcome outcome;
  // Doubts about the control points or the result, in one box; the result stands.
  const auto warn = [this] {
    QStringList lines;
    for (const ControlPointWarning& w : session_.Warnings()) lines << ToQt(w.text);
    if (!lines.isEmpty())
      ShowWarningBox(tr("Check the control points:") + "\n- " + lines.join("\n- "));
  };
  try {
    // The left photograph's own size, whatever the zoom: the centring and the start of the
    // principal point belong to the photograph, not to how large it is shown.
    outcome = session_.Calibrate(ClampToInt(left_.Geometry().picture_width),
                                 ClampToInt(left_.Geometry().picture_height), options);
  } catch (const CalibrationCancelled&) {
    status_note_ = tr("Calibration cancelled: the previous calibration is kept");
    ShowStatus();
    return;
  } catch (...) {
    ShowQuality();  // the figures of the previous calibration are gone
    warn();
    throw;
  }
  ShowQuality();
  warn();
  if (outcome.joint_fit_failed) ShowMessageBox(kJointFitFailedMessage);
  write_memo();
}

std::optional<LensModel> TForm1::SelectedLensModel() const {
  return LensModelFromName(ToStd(LensModelBox->currentData().toString()));
}

void TForm1::SelectLensModel(std::optional<LensModel> model) {
  const int index = LensModelBox->findData(QString(model ? LensModelName(*model) : ""));
  LensModelBox->setCurrentIndex(std::max(index, 0));
}

void TForm1::Button9Click() {
  // The boxes then show what is measured; a capture made under another point is not used.
  if (SelectedIndex() != PointTable::kObservation) SelectPointByProgram(PointTable::kObservation);
  // A capture stored on the way shows in the table and the status bar, even when the
  // computation then fails.
  std::string note;
  struct Refresh {
    TForm1* window;
    const std::string& note;
    ~Refresh() {
      window->status_note_ = MessageIn(ToQt(note));
      window->Stored();
    }
  } refresh{this, note};
  const MeasuredPoint point = session_.MeasureShown(SelectedIndex(), note);
  const char separator = LocaleDecimalSeparator();
  const PointTexts texts = MeasuredTexts(point, separator);
  const PointTable& t = session_.Table();
  measured_ = Measured{texts.x, texts.y, texts.z, t.Left(PointTable::kObservation),
                       t.Right(PointTable::kObservation)};
  ShowSelectedPoint(kSpaceBoxes);
  note = ToStd(tr("Measured object point n° %1").arg(point.number)) +
         (note.empty() ? "" : " (" + note + ")");
  AppendToMemo(ToQt(MeasurementLine(point, separator)));
  // The point's standard errors on a line of their own: the measurement's line stays as it was.
  if (const std::optional<PointPrecision> precision = session_.Precision(point)) {
    AppendToMemo(ToQt(PrecisionLine(*precision, separator)));
  }
}

void TForm1::Button10Click() {
  Session::AppendPoint(kGeometryFileName,
                       {ToStd(px1->text()), ToStd(py1->text()), ToStd(pz1->text())},
                       LocaleDecimalSeparator());
  QString count;
  try {
    count = " " + tr("(%1 points in the file)").arg(ReadGeometry(kGeometryFileName).points.size());
  } catch (const std::exception&) {
    // The point is appended; the count is only a courtesy.
  }
  Note(tr("Appended X Y Z to %1").arg(kGeometryFileName) + count);
}

void TForm1::Button11Click() {
  if (on_show_3d) on_show_3d();
}

void TForm1::Button14Click() {
  if (!quality_window_) {
    quality_window_ = new TQualityWindow(this);
    quality_window_->on_leave_one_out = [this] { LeaveOneOutClick(); };
    ShowQuality();
  }
  quality_window_->show();
  quality_window_->raise();
  quality_window_->activateWindow();
}

void TForm1::LeaveOneOutClick() {
  struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  } wait;
  // One calibration per control point: with many points this takes a while, so after half a
  // second it shows that it works, with Cancel. The recalibrations call back between their
  // rounds, where the dialog gets its events.
  QProgressDialog progress(tr("Leaving each control point out..."), tr("Cancel"), 0, 0,
                           quality_window_ ? static_cast<QWidget*>(quality_window_) : this);
  progress.setWindowTitle(tr("Leave one out"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  progress.setValue(0);
  std::stop_source stop;
  CalibrateOptions options{.distortion = CheckBox1->isChecked()};
  options.lens_model = SelectedLensModel();
  options.stop = stop.get_token();
  options.progress = [&progress, &stop](const CalibrationProgress& p) {
    progress.setMaximum(p.starts);
    progress.setValue(p.starts_ended);
    QCoreApplication::processEvents();
    if (progress.wasCanceled()) stop.request_stop();
  };
  std::vector<PointError> errors;
  try {
    errors = session_.LeaveOneOut(ClampToInt(left_.Geometry().picture_width),
                                  ClampToInt(left_.Geometry().picture_height), options);
  } catch (const CalibrationCancelled&) {
    status_note_ = tr("Leave one out cancelled");
    ShowStatus();
    return;
  }
  const std::vector<std::string> lines =
      AccuracyLines(errors, "control-held-out", std::nullopt, LocaleDecimalSeparator());
  if (quality_window_) quality_window_->ShowHeldOutLines(lines);
}

void TForm1::BitBtn1Click() {
  if (on_show_help) on_show_help(HelpFilePath());
}

void TForm1::AppendToMemo(const QString& line) {
  Memo1->appendPlainText(line);
  // The new line in view from its start, however far up or across the report was being read.
  Memo1->moveCursor(QTextCursor::End);
  Memo1->moveCursor(QTextCursor::StartOfBlock);
  Memo1->ensureCursorVisible();
}

void TForm1::write_memo() {
  const std::vector<std::string> lines = session_.Report(LocaleDecimalSeparator());
  QStringList text;
  text.reserve(static_cast<qsizetype>(lines.size()));
  for (const std::string& line : lines) text << ToQt(line);
  Memo1->clear();
  Memo1->setPlainText(text.join('\n'));
}

}  // namespace vistrel
