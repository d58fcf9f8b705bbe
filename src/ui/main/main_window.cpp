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
#include <limits>
#include <stop_token>

#include "numeric/text_format.h"
#include "photogrammetry/calibration.h"
#include "photogrammetry/epipolar.h"
#include "photogrammetry/measurement.h"
#include "photogrammetry/report.h"
#include "project/geom_file.h"
#include "project/point_store.h"
#include "project/reference_file.h"
#include "project/settings.h"
#include "ui/main/color_swatch.h"
#include "ui/main/image_pane.h"
#include "ui/main/messages.h"
#include "ui/main/qt_utils.h"
#include "ui/main/quality_window.h"
#include "ui/pictures/picture_loader.h"

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
        this, QString("The control points changed since they were last saved or loaded. Save "
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
  if (const auto exact = left_.SubPixelCapture()) {
    session_.StoreImage(SelectedIndex(), true, {exact->first, exact->second});
  } else {
    session_.StoreLeft(SelectedIndex(), ToStd(left_.XEdit()->text()), ToStd(left_.YEdit()->text()));
  }
  Stored();
  Advance();
}

void TForm1::Button13Click() {
  if (const auto exact = right_.SubPixelCapture()) {
    session_.StoreImage(SelectedIndex(), false, {exact->first, exact->second});
  } else {
    session_.StoreRight(SelectedIndex(), ToStd(right_.XEdit()->text()),
                        ToStd(right_.YEdit()->text()));
  }
  Stored();
  Advance();
}

void TForm1::Button5Click() {
  session_.StoreSpace(SelectedIndex(), ToStd(px1->text()), ToStd(py1->text()), ToStd(pz1->text()),
                      LocaleDecimalSeparator());
  Stored();
  Advance();
}

void TForm1::ComboBox1Change() {
  session_.ForgetCaptures();  // a capture made for another point never counts
  color1->SetColor(ToQColor(session_.Table().Color(SelectedIndex())));
  PointStatus->selectRow(SelectedIndex());
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
  status_note_ = ToQt(session_.SaveControlPoints(kReferenceFileName));
  ShowStatus();
}

void TForm1::Button8Click() {
  session_.LoadControlPoints(kReferenceFileName);
  Stored();
  write_memo();
}

void TForm1::Button6Click() {
  // The hourglass for the whole command, restored however it ends.
  struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  } wait;
  // A calibration that takes longer than half a second shows its progress with Cancel; the
  // calibration calls back between its rounds, where the dialog gets its events.
  QProgressDialog progress("Calibrating...", "Cancel", 0, 1, this);
  progress.setWindowTitle("Calibration");
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
    if (!lines.isEmpty()) ShowWarningBox("Check the control points:\n- " + lines.join("\n- "));
  };
  try {
    // The left photograph's own size, whatever the zoom: the centring and the start of the
    // principal point belong to the photograph, not to how large it is shown.
    outcome = session_.Calibrate(ClampToInt(left_.Geometry().picture_width),
                                 ClampToInt(left_.Geometry().picture_height), options);
  } catch (const CalibrationCancelled&) {
    status_note_ = "Calibration cancelled: the previous calibration is kept";
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
  // A capture stored on the way shows in the table and the status bar, even when the
  // computation then fails.
  std::string note;
  struct Refresh {
    TForm1* window;
    const std::string& note;
    ~Refresh() {
      window->status_note_ = ToQt(note);
      window->Stored();
    }
  } refresh{this, note};
  const MeasuredPoint point = session_.MeasureShown(SelectedIndex(), note);
  const char separator = LocaleDecimalSeparator();
  const PointTexts texts = MeasuredTexts(point, separator);
  px1->setText(ToQt(texts.x));
  py1->setText(ToQt(texts.y));
  pz1->setText(ToQt(texts.z));
  for (QLineEdit* edit : {px1, py1, pz1}) edit->setCursorPosition(0);  // show the leading digits
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
}

void TForm1::Button11Click() {
  if (on_show_3d) on_show_3d();
}

void TForm1::Button14Click() {
  if (!quality_window_) {
    quality_window_ = new TQualityWindow(this);
    ShowQuality();
  }
  quality_window_->show();
  quality_window_->raise();
  quality_window_->activateWindow();
}

void TForm1::BitBtn1Click() {
  if (on_show_help) on_show_help(HelpFilePath());
}

void TForm1::AppendToMemo(const QString& line) {
  Memo1->appendPlainText(line);
  // The new line in view, however far up the report was being read.
  Memo1->moveCursor(QTextCursor::End);
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
