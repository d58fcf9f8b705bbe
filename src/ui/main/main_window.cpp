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
#include "ui/main/picture_loader.h"
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

constexpr int kZoomMin = 1;
constexpr int kZoomMax = 300;
// The slider starts where the panes start, at 100 %, so that its first step is one percent.
constexpr int kZoomStart = 100;
const QColor kTealLabel(64, 128, 128);
const QColor kSwatchStart(0, 128, 0);  // clGreen
constexpr const char* kHelpFileName = "Vistrel.html";
constexpr int kStatusRowHeight = 16;

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

QPushButton* MakeButton(const char* name, const QString& text, QWidget* parent,
                        const QString& hint = {}) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  if (!hint.isEmpty()) button->setToolTip(hint);
  return button;
}

QLineEdit* MakeEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

void MakeTeal(QLabel* label) {
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, kTealLabel);
  label->setPalette(palette);
}

// The picture on the help button: a question mark in a blue disc, 25 by 25 pixels.
QIcon HelpIcon() {
  QPixmap pixmap(25, 25);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(30, 90, 180));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(1, 1, 23, 23);
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(17);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(0, 0, 25, 25), Qt::AlignCenter, "?");
  return QIcon(pixmap);
}

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

// ---- construction -------------------------------------------------------------------------------

void TForm1::CreateControls() {
  auto* central = new QWidget(this);
  central->setObjectName("ClientArea");
  setCentralWidget(central);
  auto* main = new QVBoxLayout(central);
  main->setContentsMargins(4, 4, 4, 4);
  main->setSpacing(4);

  // Panes with the selected-point column between them.
  auto* top = new QGridLayout;
  top->setSpacing(4);
  top->addWidget(CreatePaneFrame(left_, "GroupBox1", "Left Image", "PaintBox1"), 0, 0);
  top->addWidget(CreatePaneFrame(right_, "GroupBox3", "Right Image", "PaintBox2"), 0, 2);
  top->addWidget(CreatePaneControls(left_, "Label4", "Button1", "Button2", "Label19", "ScrollBar1"),
                 1, 0);
  top->addWidget(
      CreatePaneControls(right_, "Label11", "Button3", "Button4", "Label20", "ScrollBar2"), 1, 2);
  top->addWidget(CreateSelectedPoint(), 0, 1, 2, 1);
  top->setColumnStretch(0, 1);
  top->setColumnStretch(2, 1);
  top->setRowStretch(0, 1);
  main->addLayout(top, 3);

  auto* coordinates = new QHBoxLayout;
  coordinates->addWidget(
      CreateImageCoordinates(left_, "GroupBox2", "Control points - Left Image", "Label1", "Label2",
                             "Label3", "xg1", "yg1", "Button12"),
      1);
  coordinates->addWidget(CreateSpaceCoordinates(), 1);
  coordinates->addWidget(
      CreateImageCoordinates(right_, "GroupBox4", "Control points - Right Image", "Label8",
                             "Label9", "Label10", "xd1", "yd1", "Button13"),
      1);
  main->addLayout(coordinates);

  auto* bottom = new QHBoxLayout;
  Memo1 = new QPlainTextEdit(central);
  Memo1->setObjectName("Memo1");
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  bottom->addWidget(Memo1, 1);
  bottom->addWidget(CreateCommandColumn());
  main->addLayout(bottom, 2);

  CreateStatusBar();
}

QWidget* TForm1::CreatePaneFrame(Pane& pane, const char* frame_name, const char* caption,
                                 const char* box_name) {
  pane.frame = new QGroupBox(caption);
  pane.frame->setObjectName(frame_name);
  auto* layout = new QVBoxLayout(pane.frame);
  layout->setContentsMargins(4, 4, 4, 4);
  pane.box = new TPaintBox(pane.frame);
  pane.box->setObjectName(box_name);
  pane.box->setMinimumSize(200, 150);
  pane.box->setCursor(Qt::CrossCursor);
  layout->addWidget(pane.box);
  pane.dialog = new QFileDialog(this);
  pane.dialog->setObjectName(pane.left ? "OpenDialog1" : "OpenDialog2");
  pane.dialog->setFileMode(QFileDialog::ExistingFile);
  return pane.frame;
}

QWidget* TForm1::CreatePaneControls(Pane& pane, const char* label_name, const char* load_name,
                                    const char* center_name, const char* zoom_label_name,
                                    const char* slider_name) {
  auto* holder = new QWidget;
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  pane.file_label = MakeLabel(label_name, "", holder);
  pane.file_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(pane.file_label);
  auto* row = new QHBoxLayout;
  auto* load = MakeButton(load_name, "Load image", holder);
  auto* center = MakeButton(center_name, "Center", holder);
  connect(load, &QPushButton::clicked, this,
          pane.left ? &TForm1::Button1Click : &TForm1::Button3Click);
  connect(center, &QPushButton::clicked, this,
          pane.left ? &TForm1::Button2Click : &TForm1::Button4Click);
  pane.fit_button = MakeButton(pane.left ? "Button15" : "Button16", "Fit", holder,
                               "affiche toute l'image dans le cadre");
  connect(pane.fit_button, &QPushButton::clicked, this,
          pane.left ? &TForm1::Button15Click : &TForm1::Button16Click);
  row->addWidget(load);
  row->addWidget(center);
  row->addWidget(pane.fit_button);
  row->addSpacing(12);
  row->addWidget(MakeLabel(zoom_label_name, "Zoom", holder));
  pane.slider = new QScrollBar(Qt::Horizontal, holder);
  pane.slider->setObjectName(slider_name);
  pane.slider->setRange(kZoomMin, kZoomMax);
  pane.slider->setSingleStep(1);
  pane.slider->setPageStep(1);
  pane.slider->setValue(kZoomStart);
  pane.slider->setFocusPolicy(Qt::StrongFocus);
  row->addWidget(pane.slider, 1);
  layout->addLayout(row);
  return holder;
}

QWidget* TForm1::CreateSelectedPoint() {
  auto* column = new QWidget;
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  GroupBox6 = new QGroupBox("Selected point", column);
  GroupBox6->setObjectName("GroupBox6");
  auto* group = new QVBoxLayout(GroupBox6);
  group->addWidget(MakeLabel("Label13", "Color", GroupBox6));
  color1 = new TColorSwatch(GroupBox6);
  color1->setObjectName("color1");
  color1->setToolTip("double-cliquer pour modifier la couleur");
  color1->SetColor(kSwatchStart);
  group->addWidget(color1);
  group->addWidget(MakeLabel("Label15", "Index", GroupBox6));
  ComboBox1 = new QComboBox(GroupBox6);
  ComboBox1->setObjectName("ComboBox1");
  group->addWidget(ComboBox1);
  auto* display = new QGroupBox("Display", GroupBox6);
  display->setObjectName("GroupBox7");
  auto* display_layout = new QVBoxLayout(display);
  RadioButton1 = new QRadioButton("Selected", display);
  RadioButton1->setObjectName("RadioButton1");
  RadioButton2 = new QRadioButton("All", display);
  RadioButton2->setObjectName("RadioButton2");
  RadioButton2->setChecked(true);
  display_layout->addWidget(RadioButton1);
  display_layout->addWidget(RadioButton2);
  CheckBox2 = new QCheckBox("Residuals", display);
  CheckBox2->setObjectName("CheckBox2");
  CheckBox2->setToolTip(
      "dessine le résidu de chaque point de contrôle, agrandi 20 fois : le trait part du repère "
      "(point cliqué) et va vers la position calculée par la calibration");
  display_layout->addWidget(CheckBox2);
  group->addWidget(display);
  layout->addWidget(GroupBox6);
  BitBtn1 = new QToolButton(column);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setIcon(HelpIcon());
  BitBtn1->setIconSize(QSize(25, 25));
  BitBtn1->setFixedSize(33, 33);
  layout->addWidget(BitBtn1, 0, Qt::AlignHCenter);
  PointStatus = new QTableWidget(10, 4, column);
  PointStatus->setObjectName("PointStatus");
  PointStatus->setToolTip(
      "coordonnées enregistrées (gauche, droite, espace) et résidu de calibration en pixels ; "
      "cliquer une ligne pour choisir le point");
  PointStatus->setHorizontalHeaderLabels({"L", "R", "XYZ", "Res."});
  QStringList rows{"O"};
  for (int i = 1; i <= PointTable::kControlCount; ++i) rows << QString::number(i);
  PointStatus->setVerticalHeaderLabels(rows);
  PointStatus->setEditTriggers(QAbstractItemView::NoEditTriggers);
  PointStatus->setSelectionBehavior(QAbstractItemView::SelectRows);
  PointStatus->setSelectionMode(QAbstractItemView::SingleSelection);
  PointStatus->setFocusPolicy(Qt::NoFocus);
  PointStatus->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  PointStatus->verticalHeader()->setMinimumSectionSize(kStatusRowHeight);
  PointStatus->verticalHeader()->setDefaultSectionSize(kStatusRowHeight);
  PointStatus->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  PointStatus->horizontalHeader()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
  PointStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  PointStatus->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // All ten rows in view, never a scroll bar.
  PointStatus->setFixedHeight(PointStatus->horizontalHeader()->sizeHint().height() +
                              10 * kStatusRowHeight + 2 * PointStatus->frameWidth() + 2);
  layout->addWidget(PointStatus);
  layout->addStretch(1);
  column->setFixedWidth(150);
  return column;
}

QWidget* TForm1::CreateImageCoordinates(Pane& pane, const char* group_name, const char* caption,
                                        const char* title_name, const char* x_label_name,
                                        const char* y_label_name, const char* x_name,
                                        const char* y_name, const char* store_name) {
  auto* group = new QGroupBox(caption);
  group->setObjectName(group_name);
  auto* layout = new QGridLayout(group);
  auto* title = MakeLabel(title_name, "Image coordinates (mouse click)", group);
  MakeTeal(title);
  layout->addWidget(title, 0, 0, 1, 4);
  pane.x_edit = MakeEdit(x_name, group);
  pane.y_edit = MakeEdit(y_name, group);
  layout->addWidget(MakeLabel(x_label_name, "x", group), 1, 0);
  layout->addWidget(pane.x_edit, 1, 1);
  layout->addWidget(MakeLabel(y_label_name, "y", group), 1, 2);
  layout->addWidget(pane.y_edit, 1, 3);
  auto* store = MakeButton(store_name, "Store Point coordinates", group);
  layout->addWidget(store, 2, 0, 1, 4);
  (pane.left ? Button12 : Button13) = store;
  return group;
}

QWidget* TForm1::CreateSpaceCoordinates() {
  auto* group = new QGroupBox("Space coordinates");
  group->setObjectName("GroupBox5");
  auto* layout = new QGridLayout(group);
  auto* title = MakeLabel("Label12", "calculated / input (control points)", group);
  MakeTeal(title);
  layout->addWidget(title, 0, 0, 1, 6);
  px1 = MakeEdit("px1", group);
  py1 = MakeEdit("py1", group);
  pz1 = MakeEdit("pz1", group);
  layout->addWidget(MakeLabel("Label5", "X", group), 1, 0);
  layout->addWidget(px1, 1, 1);
  layout->addWidget(MakeLabel("Label6", "Y", group), 1, 2);
  layout->addWidget(py1, 1, 3);
  layout->addWidget(MakeLabel("Label7", "Z", group), 1, 4);
  layout->addWidget(pz1, 1, 5);
  Button5 = MakeButton("Button5", "Store Point coordinates", group);
  layout->addWidget(Button5, 2, 0, 1, 6);
  return group;
}

QWidget* TForm1::CreateCommandColumn() {
  auto* column = new QWidget;
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  Button7 = MakeButton("Button7", "Save Control Points", column,
                       "sauvegarde les coordonnées dans le fichier \"reference.txt\"");
  Button8 = MakeButton(
      "Button8", "Load Control Points", column,
      "charge les coordonnées des points de référence à partir du fichier \"reference.txt\"");
  CheckBox1 = new QCheckBox("Correc. Distortions", column);
  CheckBox1->setObjectName("CheckBox1");
  Button6 = MakeButton("Button6", "Compute Ext./Int. parameters", column,
                       "calcule les paramètres DLT, indispensable avant de vectoriser");
  Button14 = MakeButton("Button14", "Calibration quality", column,
                        "affiche les résidus et la précision de la calibration");
  Button9 = MakeButton("Button9", "Measure Object Point", column,
                       "détermine les coordonnées spatiales d'un point d'observation");
  Button10 = MakeButton(
      "Button10", "Save Measured Point ", column,
      "sauvegarde les coordonnées spatiales du point d'observation dans le fichier \"geom.txt\"");
  Button11 = MakeButton("Button11", "3D vizualization", column,
                        "visualise en 3D  les points stockés dans le fichier \"geom.txt\"");
  for (QWidget* w : std::initializer_list<QWidget*>{Button7, Button8, CheckBox1, Button6, Button14,
                                                    Button9, Button10, Button11}) {
    layout->addWidget(w);
  }
  layout->addStretch(1);
  column->setFixedWidth(200);
  return column;
}

void TForm1::CreateStatusBar() {
  auto* bar = new QStatusBar(this);
  bar->setObjectName("StatusBar1");
  bar->setSizeGripEnabled(false);
  auto* author = new QLabel("Équipe VISTREL", bar);
  author->setObjectName("StatusBar1Panel0");
  author->setFixedWidth(150);
  auto* contact = new QLabel("Aide : bouton « ? » entre les deux images", bar);
  contact->setObjectName("StatusBar1Panel1");
  contact->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  StatusPanel = new QLabel(bar);
  StatusPanel->setObjectName("StatusBar1Panel2");
  bar->addWidget(author);
  bar->addWidget(StatusPanel, 2);
  bar->addWidget(contact, 1);
  setStatusBar(bar);
}

void TForm1::ConnectHandlers() {
  left_.box->on_mouse_down = [this](Qt::MouseButton b, int x, int y, Qt::KeyboardModifiers m) {
    PaintBox1MouseDown(b, x, y, m);
  };
  right_.box->on_mouse_down = [this](Qt::MouseButton b, int x, int y, Qt::KeyboardModifiers m) {
    PaintBox2MouseDown(b, x, y, m);
  };
  left_.box->on_leave = [this] { MouseLeave(left_); };
  right_.box->on_leave = [this] { MouseLeave(right_); };
  connect(PointStatus, &QTableWidget::cellClicked, this,
          [this](int row, int) { PointStatusClick(row); });
  left_.box->on_mouse_move = [this](int x, int y) { PaintBox1MouseMove(x, y); };
  right_.box->on_mouse_move = [this](int x, int y) { PaintBox2MouseMove(x, y); };
  left_.box->on_mouse_up = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseUp(b, x, y); };
  right_.box->on_mouse_up = [this](Qt::MouseButton b, int x, int y) { PaintBox2MouseUp(b, x, y); };
  left_.box->on_paint = [this](QPainter& p) { Paint(left_, p); };
  left_.box->installEventFilter(this);
  right_.box->installEventFilter(this);
  right_.box->on_paint = [this](QPainter& p) { Paint(right_, p); };
  connect(left_.slider, &QScrollBar::valueChanged, this, &TForm1::ScrollBar1Change);
  connect(right_.slider, &QScrollBar::valueChanged, this, &TForm1::ScrollBar2Change);
  connect(Button12, &QPushButton::clicked, this, &TForm1::Button12Click);
  connect(Button13, &QPushButton::clicked, this, &TForm1::Button13Click);
  connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
  connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TForm1::ComboBox1Change);
  color1->on_double_click = [this] { color1DblClick(); };
  connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
  connect(Button8, &QPushButton::clicked, this, &TForm1::Button8Click);
  connect(Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
  connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
  connect(Button10, &QPushButton::clicked, this, &TForm1::Button10Click);
  connect(Button11, &QPushButton::clicked, this, &TForm1::Button11Click);
  connect(Button14, &QPushButton::clicked, this, &TForm1::Button14Click);
  connect(CheckBox2, &QCheckBox::clicked, this, &TForm1::CheckBox2Click);
  connect(BitBtn1, &QToolButton::clicked, this, &TForm1::BitBtn1Click);
}

// ---- start and close
// ------------------------------------------------------------------------------

void TForm1::FormCreate() {
  object_point_count_ = 0;
  ComboBox1->clear();
  for (int i = 0; i < kPointSelectorCount; ++i) ComboBox1->addItem(ToQt(PointSelectorEntry(i)));
  ComboBox1->setCurrentIndex(kInitialSelectedPoint);
  table_.Reset();
  if (program_directory_.empty()) {
    program_directory_ = vistrel::ProgramDirectory(ToStd(QCoreApplication::applicationFilePath()));
  }
  left_.picture = BuiltInPicture(true);
  right_.picture = BuiltInPicture(false);
  ReadSettings();
  ShowPointStatus();
  ShowStatus();
}

std::string TForm1::SettingsPath() const { return program_directory_ + kSettingsFileName; }

QString TForm1::HelpFilePath() const { return ToQt(program_directory_) + kHelpFileName; }

void TForm1::ReadSettings() {
  const Settings settings = ReadSettingsFile(SettingsPath(), LocaleDecimalSeparator());
  QStringList problems;
  for (const std::string& problem : settings.problems) problems << ToQt(problem);
  std::copy(settings.colors.begin(), settings.colors.end(), table_.color.begin());
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
  std::copy(table_.color.begin(), table_.color.end(), settings.colors.begin());
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
    if (button == Qt::RightButton) {
      pane.dragging = true;
      pane.drag_at = QPoint(x, y);
    }
    return;
  }
  std::int64_t ix, iy;
  // Off the picture there is no pixel to capture (nor when nothing is shown).
  if (!pane.geometry.ToImageInside(x, y, ix, iy)) return;
  if (modifiers & Qt::ShiftModifier) {
    const std::optional<SnapResult> snap = SnapToTarget(PictureGrey(pane.picture), ix, iy);
    if (!snap) {
      status_note_ = "No target under the pointer: nothing captured";
      ShowStatus();
      return;
    }
    ix = snap->x;
    iy = snap->y;
  }
  pane.x_edit->setText(QString::number(ix));
  pane.y_edit->setText(QString::number(iy));
  pane.box->repaint();
  // The other pane's epipolar guide follows this capture.
  (pane.left ? right_ : left_).box->update();
}

void TForm1::MouseUp(Pane& pane, Qt::MouseButton button, int x, int y) {
  if (button != Qt::RightButton) return;
  pane.dragging = false;
  pane.geometry.ReleaseRight(x, y);
  pane.box->update();
}

void TForm1::MouseMove(Pane& pane, int x, int y) {
  // The slider takes the keyboard for its zoom keys, but never from a box being typed into:
  // the keys would zoom the pane and the text would be lost.
  const QWidget* focus = QApplication::focusWidget();
  if (!qobject_cast<const QLineEdit*>(focus) && !qobject_cast<const QPlainTextEdit*>(focus)) {
    pane.slider->setFocus();
  }
  const std::optional<QPoint> before = pane.pointer;
  pane.pointer = QPoint(x, y);
  status_note_.clear();
  if (pane.dragging) {
    pane.drag_at = QPoint(x, y);
    pane.box->update();
  } else {
    // Only the loupe changes: repaint its old and new places, not the whole picture.
    const QRect now = LoupeRect(pane.box->width(), x);
    pane.box->update(now);
    if (before) {
      const QRect was = LoupeRect(pane.box->width(), before->x());
      if (was != now) pane.box->update(was);
    }
  }
  ShowStatus();
}

void TForm1::MouseLeave(Pane& pane) {
  if (!pane.pointer) return;
  pane.box->update(LoupeRect(pane.box->width(), pane.pointer->x()));
  pane.pointer.reset();
  ShowStatus();
}

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
  if (pane.dragging) {
    // Where the release would put it; the geometry itself moves only on release.
    shown.ox += pane.drag_at.x() - shown.press_x;
    shown.oy += pane.drag_at.y() - shown.press_y;
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
  const std::vector<GuidePoint> curve =
      EpipolarCurve(camera_, other.left, captured->first, captured->second, table_);
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
  const auto marker = [&](int i) {
    return PaneMarker{pane.left ? table_.xg[i] : table_.xd[i],
                      pane.left ? table_.yg[i] : table_.yd[i], ToQColor(table_.color[i]),
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
  if (pane.pointer && !pane.dragging &&
      shown.ToImageInside(pane.pointer->x(), pane.pointer->y(), ix, iy)) {
    overlay.loupe_pixel.emplace(ix, iy);
    overlay.loupe_rect = LoupeRect(shown.view_width, pane.pointer->x());
  }
  PaintPane(painter, shown, pane.picture, palette().color(QPalette::Dark), overlay);
}

void TForm1::ShowStatus() {
  if (!StatusPanel) return;
  const Pane* over = left_.pointer ? &left_ : right_.pointer ? &right_ : nullptr;
  const Pane& pane = over ? *over : left_;
  std::optional<std::pair<std::int64_t, std::int64_t>> pixel;
  std::int64_t ix, iy;
  if (over && pane.geometry.ToImageInside(pane.pointer->x(), pane.pointer->y(), ix, iy)) {
    pixel.emplace(ix, iy);
  }
  const int index = SelectedIndex();
  QString text = ToQt(PointerText(over != nullptr, pixel, pane.geometry.ZoomPercent())) + "  |  " +
                 ToQt(PointStateText(index, stored_[index]));
  if (!status_note_.isEmpty()) text = status_note_ + "  |  " + text;
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
    const StoredParts& parts = stored_[i];
    const QColor done = parts.Complete(i) ? QColor(200, 235, 200) : QColor();
    cell(i, 0, parts.left ? yes : no, done);
    cell(i, 1, parts.right ? yes : no, done);
    cell(i, 2, i == 0 ? QString() : parts.space ? yes : no, done);
    QString residual;
    QColor flagged;
    if (quality_ && i > 0) {
      for (const ControlPointQuality& q : quality_->points) {
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

void TForm1::Stored(bool StoredParts::*part) {
  stored_[SelectedIndex()].*part = true;
  ShowPointStatus();
  ShowStatus();
  left_.box->update();
  right_.box->update();
}

std::vector<PaneResidual> TForm1::ResidualStrokes(const Pane& pane) const {
  std::vector<PaneResidual> strokes;
  if (!quality_ || !CheckBox2->isChecked()) return strokes;
  const auto& x = pane.left ? table_.xg : table_.xd;
  const auto& y = pane.left ? table_.yg : table_.yd;
  const auto& x_then = pane.left ? quality_table_.xg : quality_table_.xd;
  const auto& y_then = pane.left ? quality_table_.yg : quality_table_.yd;
  for (const ControlPointQuality& p : quality_->points) {
    const int i = p.point;
    if (RadioButton1->isChecked() && i != SelectedIndex()) continue;
    // A point stored anew since the calibration has no residual yet.
    if (x[i] != x_then[i] || y[i] != y_then[i]) continue;
    const PointResidual& r = pane.left ? p.left : p.right;
    strokes.push_back(PaneResidual{x[i], y[i], r.ex, r.ey});
  }
  return strokes;
}

// ---- point table
// ----------------------------------------------------------------------------------

int TForm1::SelectedIndex() const { return std::max(0, ComboBox1->currentIndex()); }

void TForm1::Button12Click() {
  StoreLeftImage(table_, SelectedIndex(), ToStd(left_.x_edit->text()), ToStd(left_.y_edit->text()));
  Stored(&StoredParts::left);
}

void TForm1::Button13Click() {
  StoreRightImage(table_, SelectedIndex(), ToStd(right_.x_edit->text()),
                  ToStd(right_.y_edit->text()));
  Stored(&StoredParts::right);
}

void TForm1::Button5Click() {
  StoreSpace(table_, SelectedIndex(), ToStd(px1->text()), ToStd(py1->text()), ToStd(pz1->text()),
             LocaleDecimalSeparator());
  Stored(&StoredParts::space);
}

void TForm1::ComboBox1Change() {
  color1->SetColor(ToQColor(table_.color[SelectedIndex()]));
  ShowStatus();
}

void TForm1::color1DblClick() {
  const QColor chosen = QColorDialog::getColor(last_dialog_color_, this);
  if (!chosen.isValid()) return;
  last_dialog_color_ = chosen;
  color1->SetColor(chosen);
  table_.color[SelectedIndex()] = FromQColor(chosen);
}

// ---- files and computations
// -----------------------------------------------------------------------

void TForm1::Button7Click() { SaveControlPoints(kReferenceFileName, table_); }

void TForm1::Button8Click() {
  LoadControlPoints(kReferenceFileName, table_);
  for (int i = 1; i <= PointTable::kControlCount; ++i) stored_[i] = {true, true, true};
  ShowPointStatus();
  ShowStatus();
  left_.box->update();
  right_.box->update();
  write_memo();
}

void TForm1::Button6Click() {
  // The hourglass for the whole command, restored however it ends.
  struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  } wait;
  KeepQuality(nullptr);  // what remains if the first stage throws
  // The left photograph's own size, whatever the zoom: the centring and the start of the
  // principal point belong to the photograph, not to how large it is shown.
  const CalibrationOutcome outcome = Calibrate(
      table_, ClampToInt(left_.geometry.picture_width), ClampToInt(left_.geometry.picture_height),
      CheckBox1->isChecked(), camera_, object_point_count_);
  KeepQuality(&outcome);
  if (outcome.joint_fit_failed) ShowMessageBox(kJointFitFailedMessage);
  write_memo();
}

void TForm1::Button9Click() {
  const MeasuredPoint point = MeasureObjectPoint(table_, camera_, object_point_count_);
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

void TForm1::KeepQuality(const CalibrationOutcome* outcome) {
  quality_.reset();
  quality_problem_ = "No calibration quality: the last calibration stopped before its joint fit.";
  if (outcome) {
    try {
      quality_ = ComputeQuality(table_, camera_, *outcome);
      quality_fit_failed_ = outcome->joint_fit_failed;
      quality_table_ = table_;
    } catch (const Exception& e) {
      // The calibration itself stands; only its figures are missing.
      quality_problem_ = "No calibration quality: the residuals could not be computed (" +
                         QString::fromUtf8(e.what()) + ").";
    }
  }
  ShowQuality();
}

void TForm1::ShowQuality() {
  if (quality_window_) {
    if (quality_) {
      quality_window_->ShowQuality(*quality_, quality_fit_failed_, LocaleDecimalSeparator());
    } else {
      quality_window_->ShowNothing(quality_problem_.isEmpty() ? QString(kNoCalibrationText)
                                                              : quality_problem_);
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
  const std::vector<std::string> lines = ReportLines(table_, camera_, LocaleDecimalSeparator());
  QStringList text;
  text.reserve(static_cast<qsizetype>(lines.size()));
  for (const std::string& line : lines) text << ToQt(line);
  Memo1->clear();
  Memo1->setPlainText(text.join('\n'));
}

}  // namespace vistrel
