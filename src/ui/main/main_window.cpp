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
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/text_format.h"
#include "photogrammetry/calibration.h"
#include "photogrammetry/measurement.h"
#include "photogrammetry/report.h"
#include "project/geom_file.h"
#include "project/point_store.h"
#include "project/reference_file.h"
#include "project/settings.h"
#include "ui/main/color_swatch.h"
#include "ui/main/epipolar.h"
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

constexpr const char* kHelpFileName = "Vistrel.html";

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
  left_.left = true;
  right_.left = false;
  setObjectName("Form1");
  setWindowTitle(kProgramTitle);
  resize(1005, 739);
  CreateControls();
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
  left_.picture = BuiltInPicture(true);
  right_.picture = BuiltInPicture(false);
  ReadSettings();
  ShowPointStatus();
  PointStatus->selectRow(SelectedIndex());
  ShowStatus();
}

std::string TForm1::SettingsPath() const { return program_directory_ + kSettingsFileName; }

QString TForm1::HelpFilePath() const { return ToQt(program_directory_) + kHelpFileName; }

void TForm1::ReadSettings() {
  const Settings settings = ReadSettingsFile(SettingsPath(), LocaleDecimalSeparator());
  QStringList problems;
  for (const std::string& problem : settings.problems) problems << ToQt(problem);
  std::copy(settings.colors.begin(), settings.colors.end(), session_.Table().color.begin());
  const std::pair<Pane*, const std::string*> remembered[] = {{&left_, &settings.left_image},
                                                             {&right_, &settings.right_image}};
  for (const auto& [pane, name] : remembered) {
    const QString path = ToQt(*name);
    if (path.isEmpty()) continue;
    if (!QFileInfo(path).isFile()) {
      pane->missing_file = path;
      continue;
    }
    try {
      LoadPanePicture(*pane, path);
    } catch (const std::exception& e) {
      problems << QString::fromUtf8(e.what());
    }
  }
  for (Pane* pane : {&left_, &right_}) {
    pane->geometry.picture_width = pane->picture.width();
    pane->geometry.picture_height = pane->picture.height();
    pane->geometry.ShowFullSize();
  }
  scale_ = settings.scale;
  ball_ = settings.ball;
  // Shown once the window is up: a colour or a remembered photograph that could not be read.
  for (const QString& problem : problems) {
    QTimer::singleShot(0, this, [problem] { ShowErrorBox(problem); });
  }
}

void TForm1::WriteSettings() {
  Settings settings;
  const auto remembered = [](const Pane& pane) {
    return ToStd(pane.shown_file.isEmpty() ? pane.missing_file : pane.shown_file);
  };
  settings.left_image = remembered(left_);
  settings.right_image = remembered(right_);
  const PointTable& table = session_.Table();
  std::copy(table.color.begin(), table.color.end(), settings.colors.begin());
  settings.scale = scale_;
  settings.ball = ball_;
  WriteSettingsFile(SettingsPath(), settings, LocaleDecimalSeparator());
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
  FormClose();
  event->accept();
}

// ---- image panes
// ----------------------------------------------------------------------------------

void TForm1::LoadPanePicture(Pane& pane, const QString& path) {
  QImage picture = LoadPicture(path);
  pane.picture = std::move(picture);
  // The display rectangle keeps its offset and size until the next zoom change.
  pane.geometry.picture_width = pane.picture.width();
  pane.geometry.picture_height = pane.picture.height();
  pane.shown_file = path;
  pane.picture_warning = pane.picture.text(kPictureWarningKey);
  pane.missing_file.clear();
  pane.file_label->setText(path);
  pane.box->update();
  ShowStatus();
}

void TForm1::LoadImageCommand(Pane& pane) {
  if (!pane.last_dialog_file.isEmpty()) pane.dialog->selectFile(pane.last_dialog_file);
  if (pane.dialog->exec() == QDialog::Accepted && !pane.dialog->selectedFiles().isEmpty()) {
    pane.last_dialog_file = pane.dialog->selectedFiles().first();
    LoadPanePicture(pane, pane.last_dialog_file);
  }
  // The file last chosen, unless it failed to load: the label names what the pane shows.
  pane.file_label->setText(pane.shown_file);
}

void TForm1::Button1Click() { LoadImageCommand(left_); }
void TForm1::Button3Click() { LoadImageCommand(right_); }

void TForm1::SyncViewSize(Pane& pane) {
  pane.geometry.view_width = pane.box->width();
  pane.geometry.view_height = pane.box->height();
}

void TForm1::Button2Click() {
  SyncViewSize(left_);
  left_.geometry.Center();
  left_.box->update();
}

void TForm1::Button4Click() {
  SyncViewSize(right_);
  right_.geometry.Center();
  right_.box->update();
}

void TForm1::Button15Click() {
  SyncViewSize(left_);
  left_.geometry.Fit();
  left_.box->update();
  ShowStatus();
}

void TForm1::Button16Click() {
  SyncViewSize(right_);
  right_.geometry.Fit();
  right_.box->update();
  ShowStatus();
}

void TForm1::ScrollBar1Change() {
  left_.geometry.SetZoomPercent(left_.slider->value());
  left_.box->update();
  ShowStatus();
}

void TForm1::ScrollBar2Change() {
  right_.geometry.SetZoomPercent(right_.slider->value());
  right_.box->update();
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
  // The drawing areas hand their wheel events to the window, sent or spontaneous alike.
  if (event->type() == QEvent::Wheel && (watched == left_.box || watched == right_.box)) {
    WheelAt(static_cast<QWidget*>(watched), static_cast<QWheelEvent*>(event));
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormMouseWheel(const QPoint& p, int delta) {
  const auto strictly_inside = [this, &p](const Pane& pane) {
    const QRect r(pane.frame->mapTo(centralWidget(), QPoint(0, 0)), pane.frame->size());
    return p.x() > r.x() && p.x() < r.x() + r.width() && p.y() > r.y() &&
           p.y() < r.y() + r.height();
  };
  Pane* pane = strictly_inside(left_) ? &left_ : strictly_inside(right_) ? &right_ : nullptr;
  if (!pane) return;
  const QPoint m = pane->box->mapFrom(centralWidget(), p);
  pane->geometry.WheelZoom(m.x(), m.y(), delta);
  pane->box->update();
  ShowStatus();
}

void TForm1::MouseDown(Pane& pane, Qt::MouseButton button, int x, int y,
                       Qt::KeyboardModifiers modifiers) {
  if (button != Qt::LeftButton) {
    pane.geometry.Press(x, y);
    return;
  }
  std::int64_t ix, iy;
  // Off the picture there is no pixel to capture (nor when nothing is shown).
  if (!pane.geometry.ToImageInside(x, y, ix, iy)) return;
  if (modifiers & Qt::ShiftModifier) {
    const std::optional<TargetCentre> snap = FindTargetCentre(
        PictureGrey(pane.picture), static_cast<double>(ix), static_cast<double>(iy));
    if (!snap) {
      status_note_ = "No target under the pointer: nothing captured";
      ShowStatus();
      return;
    }
    // The capture boxes hold whole pixels.
    ix = std::llround(snap->x);
    iy = std::llround(snap->y);
  }
  pane.x_edit->setText(QString::number(ix));
  pane.y_edit->setText(QString::number(iy));
  pane.box->repaint();
  // The other pane's epipolar guide follows this capture.
  (pane.left ? right_ : left_).box->update();
}

void TForm1::MouseUp(Pane& pane, Qt::MouseButton button, int x, int y) {
  if (button != Qt::RightButton) return;
  pane.geometry.ReleaseRight(x, y);
  pane.box->update();
}

void TForm1::MouseMove(Pane& pane, int, int) {
  // The slider takes the keyboard for its zoom keys, but never from a box being typed into:
  // the keys would zoom the pane and the text would be lost.
  const QWidget* focus = QApplication::focusWidget();
  if (!qobject_cast<const QLineEdit*>(focus) && !qobject_cast<const QPlainTextEdit*>(focus)) {
    pane.slider->setFocus();
  }
  status_note_.clear();
  ShowStatus();
}

void TForm1::MouseLeave(Pane&) { ShowStatus(); }

void TForm1::PaintBox1MouseDown(Qt::MouseButton b, int x, int y, Qt::KeyboardModifiers m) {
  MouseDown(left_, b, x, y, m);
}
void TForm1::PaintBox2MouseDown(Qt::MouseButton b, int x, int y, Qt::KeyboardModifiers m) {
  MouseDown(right_, b, x, y, m);
}
void TForm1::PaintBox1MouseMove(int x, int y) { MouseMove(left_, x, y); }
void TForm1::PaintBox2MouseMove(int x, int y) { MouseMove(right_, x, y); }
void TForm1::PaintBox1MouseUp(Qt::MouseButton b, int x, int y) { MouseUp(left_, b, x, y); }
void TForm1::PaintBox2MouseUp(Qt::MouseButton b, int x, int y) { MouseUp(right_, b, x, y); }

PaneGeometry TForm1::ShownGeometry(const Pane& pane) const {
  PaneGeometry shown = pane.geometry;
  if (const std::optional<QPoint>& at = pane.box->DragAt()) {
    // Where the release would put it; the geometry itself moves only on release.
    shown.ox += at->x() - shown.press_x;
    shown.oy += at->y() - shown.press_y;
  }
  return shown;
}

namespace {

// The capture boxes' pixel, when both hold whole numbers.
std::optional<std::pair<std::int64_t, std::int64_t>> CapturedPixel(const QLineEdit* x_edit,
                                                                   const QLineEdit* y_edit) {
  std::int32_t x, y;
  if (x_edit->text().isEmpty() || y_edit->text().isEmpty() ||
      !TryStrToInt(ToStd(x_edit->text()), x) || !TryStrToInt(ToStd(y_edit->text()), y)) {
    return {};
  }
  return std::make_pair(std::int64_t{x}, std::int64_t{y});
}

}  // namespace

std::vector<QPointF> TForm1::Guide(const Pane& pane, const PaneGeometry& shown) const {
  std::vector<QPointF> guide;
  const Pane& other = pane.left ? right_ : left_;
  const auto captured = CapturedPixel(other.x_edit, other.y_edit);
  if (!captured || shown.picture_width <= 0 || shown.picture_height <= 0) return guide;
  const std::vector<GuidePoint> curve = EpipolarCurve(
      session_.Camera(), other.left, captured->first, captured->second, session_.Table());
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

void TForm1::Paint(Pane& pane, QPainter& painter) {
  SyncViewSize(pane);
  const PaneGeometry shown = ShownGeometry(pane);
  PaneOverlay overlay;
  // Texts that are not whole numbers leave the cross out; the rest is still painted.
  overlay.capture = CapturedPixel(pane.x_edit, pane.y_edit);
  const bool all = !RadioButton1->isChecked();
  const PointTable& table = session_.Table();
  const auto marker = [&](int i) {
    return PaneMarker{pane.left ? table.xg[i] : table.xd[i], pane.left ? table.yg[i] : table.yd[i],
                      ToQColor(table.color[i]),
                      all ? (i == 0 ? QString("O") : QString::number(i)) : QString()};
  };
  if (!all) {
    overlay.markers.push_back(marker(SelectedIndex()));
  } else {
    for (int i = 1; i <= PointTable::kControlCount; ++i) overlay.markers.push_back(marker(i));
    overlay.markers.push_back(marker(PointTable::kObservation));
  }
  overlay.residuals = ResidualStrokes(pane);
  overlay.guide = Guide(pane, shown);
  std::int64_t ix, iy;
  const std::optional<QPoint>& pointer = pane.box->Pointer();
  if (pointer && !pane.box->DragAt() && shown.ToImageInside(pointer->x(), pointer->y(), ix, iy)) {
    overlay.loupe_pixel.emplace(ix, iy);
    overlay.loupe_rect = LoupeRect(shown.view_width, pointer->x());
  }
  PaintPane(painter, shown, pane.picture, palette().color(QPalette::Dark), overlay);
}

void TForm1::ShowStatus() {
  if (!StatusPanel) return;
  const Pane* over = left_.box->Pointer() ? &left_ : right_.box->Pointer() ? &right_ : nullptr;
  const Pane& pane = over ? *over : left_;
  std::optional<std::pair<std::int64_t, std::int64_t>> pixel;
  std::int64_t ix, iy;
  const std::optional<QPoint>& pointer = pane.box->Pointer();
  if (pointer && pane.geometry.ToImageInside(pointer->x(), pointer->y(), ix, iy)) {
    pixel.emplace(ix, iy);
  }
  const int index = SelectedIndex();
  QString text = ToQt(PointerText(over != nullptr, pixel, pane.geometry.ZoomPercent())) + "  |  " +
                 ToQt(PointStateText(index, session_.Stored()[index]));
  if (!status_note_.isEmpty()) text = status_note_ + "  |  " + text;
  // A damaged photograph stays shown, but nobody should click control points on its grey part
  // without knowing.
  for (const Pane* p : {&left_, &right_}) {
    if (!p->picture_warning.isEmpty())
      text = QString("%1 photograph incomplete (%2)  |  ")
                 .arg(p == &left_ ? "Left" : "Right", p->picture_warning) +
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
  for (int i = 0; i <= PointTable::kControlCount; ++i) {
    const StoredParts& parts = session_.Stored()[i];
    const QColor done = parts.Complete(i) ? QColor(200, 235, 200) : QColor();
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
  left_.box->update();
  right_.box->update();
}

std::vector<PaneResidual> TForm1::ResidualStrokes(const Pane& pane) const {
  std::vector<PaneResidual> strokes;
  const auto& quality = session_.Quality();
  if (!quality || !CheckBox2->isChecked()) return strokes;
  const PointTable& table = session_.Table();
  for (const ControlPointQuality& p : quality->points) {
    const int i = p.point;
    if (RadioButton1->isChecked() && i != SelectedIndex()) continue;
    // A point stored anew since the calibration has no residual yet.
    if (!session_.UnchangedSinceCalibration(i, pane.left)) continue;
    const PointResidual& r = pane.left ? p.left : p.right;
    strokes.push_back(PaneResidual{pane.left ? table.xg[i] : table.xd[i],
                                   pane.left ? table.yg[i] : table.yd[i], r.ex, r.ey});
  }
  return strokes;
}

// ---- point table
// ----------------------------------------------------------------------------------

int TForm1::SelectedIndex() const { return std::max(0, ComboBox1->currentIndex()); }

void TForm1::Button12Click() {
  session_.StoreLeft(SelectedIndex(), ToStd(left_.x_edit->text()), ToStd(left_.y_edit->text()));
  Stored();
}

void TForm1::Button13Click() {
  session_.StoreRight(SelectedIndex(), ToStd(right_.x_edit->text()), ToStd(right_.y_edit->text()));
  Stored();
}

void TForm1::Button5Click() {
  session_.StoreSpace(SelectedIndex(), ToStd(px1->text()), ToStd(py1->text()), ToStd(pz1->text()),
                      LocaleDecimalSeparator());
  Stored();
}

void TForm1::ComboBox1Change() {
  color1->SetColor(ToQColor(session_.Table().color[SelectedIndex()]));
  PointStatus->selectRow(SelectedIndex());
  ShowStatus();
}

void TForm1::color1DblClick() {
  const QColor chosen = QColorDialog::getColor(last_dialog_color_, this);
  if (!chosen.isValid()) return;
  last_dialog_color_ = chosen;
  color1->SetColor(chosen);
  session_.Table().color[SelectedIndex()] = FromQColor(chosen);
}

// ---- files and computations
// -----------------------------------------------------------------------

void TForm1::Button7Click() { session_.SaveControlPoints(kReferenceFileName); }

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
  // The left photograph's own size, whatever the zoom: the centring and the start of the
  // principal point belong to the photograph, not to how large it is shown.
  CalibrationOutcome outcome;
  try {
    outcome = session_.Calibrate(ClampToInt(left_.geometry.picture_width),
                                 ClampToInt(left_.geometry.picture_height), CheckBox1->isChecked());
  } catch (...) {
    ShowQuality();  // the figures of the previous calibration are gone
    throw;
  }
  ShowQuality();
  if (outcome.joint_fit_failed) ShowMessageBox(kJointFitFailedMessage);
  write_memo();
}

void TForm1::Button9Click() {
  const MeasuredPoint point = session_.Measure();
  const char separator = LocaleDecimalSeparator();
  px1->setText(ToQt(FormatGeneral(point.X, separator)));
  py1->setText(ToQt(FormatGeneral(point.Y, separator)));
  pz1->setText(ToQt(FormatGeneral(point.Z, separator)));
  for (QLineEdit* edit : {px1, py1, pz1}) edit->setCursorPosition(0);  // show the leading digits
  Memo1->appendPlainText(ToQt(MeasurementLine(point, separator)));
}

void TForm1::Button10Click() {
  AppendMeasuredPoint(kGeometryFileName, ToStd(px1->text()), ToStd(py1->text()), ToStd(pz1->text()),
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

void TForm1::CheckBox2Click() {
  left_.box->update();
  right_.box->update();
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
  if (CheckBox2->isChecked()) CheckBox2Click();
  ShowPointStatus();
  // The epipolar guides follow the new cameras.
  left_.box->update();
  right_.box->update();
}

void TForm1::BitBtn1Click() {
  if (on_show_help) on_show_help(HelpFilePath());
}

void TForm1::write_memo() {
  const std::vector<std::string> lines =
      ReportLines(session_.Table(), session_.Camera(), LocaleDecimalSeparator());
  QStringList text;
  text.reserve(static_cast<qsizetype>(lines.size()));
  for (const std::string& line : lines) text << ToQt(line);
  Memo1->clear();
  Memo1->setPlainText(text.join('\n'));
}

}  // namespace vistrel
