// The main window's layout: its controls, their designer names, captions and hints, and the
// wiring of their signals to the handlers.

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "project/point_store.h"
#include "ui/main/color_swatch.h"
#include "ui/main/image_pane.h"
#include "ui/main/main_window.h"
#include "ui/main/qt_utils.h"

namespace vistrel {
namespace {
const QColor kTealLabel(64, 128, 128);
const QColor kSwatchStart(0, 128, 0);  // clGreen
constexpr int kStatusRowHeight = 16;
constexpr int kStatusLeastRows = 3;  // rows of the point status table always in view
constexpr int kMemoLeastLines = 4;
// The measured X, Y, Z in full: 15 significant digits with sign and point (fixed notation, which
// covers magnitudes from 0.0001 on).
constexpr const char* kWidestCoordinate = "-123.456789012345";

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
}  // namespace

// ---- construction -------------------------------------------------------------------------------

void TForm1::CreateControls() {
  // On a screen smaller than the window's least size (a laptop, or a large scale factor) the
  // window still fits: the panes shrink first, then the controls scroll, so every command stays
  // within reach.
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("ClientScroll");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  setCentralWidget(scroll);
  auto* central = new QWidget;
  central->setObjectName("ClientArea");
  auto* main = new QVBoxLayout(central);
  main->setContentsMargins(4, 4, 4, 4);
  main->setSpacing(4);

  // Panes with the selected-point column between them.
  auto* top = new QGridLayout;
  top->setSpacing(4);
  top->addWidget(left_.CreateFrame(this, "GroupBox1", "Left Image", "PaintBox1"), 0, 0);
  top->addWidget(right_.CreateFrame(this, "GroupBox3", "Right Image", "PaintBox2"), 0, 2);
  top->addWidget(left_.CreateControls("Label4", "Button1", "Button2", "Label19", "ScrollBar1"), 1,
                 0);
  top->addWidget(right_.CreateControls("Label11", "Button3", "Button4", "Label20", "ScrollBar2"), 1,
                 2);
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
  // The report is laid out in columns of blanks: they line up only in a fixed-width font.
  Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Memo1->setMinimumHeight(Memo1->fontMetrics().lineSpacing() * kMemoLeastLines);
  bottom->addWidget(Memo1, 1);
  bottom->addWidget(CreateCommandColumn());
  main->addLayout(bottom, 1);
  scroll->setWidget(central);

  CreateStatusBar();
  CreateActions();
}

QWidget* TForm1::CreateSelectedPoint() {
  auto* column = new QWidget;
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  GroupBox6 = new QGroupBox("Selected point", column);
  GroupBox6->setObjectName("GroupBox6");
  // Each label beside its control: the column stays short enough for a laptop's screen.
  auto* group = new QGridLayout(GroupBox6);
  group->setVerticalSpacing(3);
  group->addWidget(MakeLabel("Label13", "Color", GroupBox6), 0, 0);
  color1 = new TColorSwatch(GroupBox6);
  color1->setObjectName("color1");
  color1->setToolTip("double-cliquer pour modifier la couleur");
  color1->SetColor(kSwatchStart);
  group->addWidget(color1, 0, 1);
  group->addWidget(MakeLabel("Label15", "Index", GroupBox6), 1, 0);
  ComboBox1 = new QComboBox(GroupBox6);
  ComboBox1->setObjectName("ComboBox1");
  group->addWidget(ComboBox1, 1, 1);
  auto* display = new QGroupBox("Display", GroupBox6);
  display->setObjectName("GroupBox7");
  auto* display_layout = new QGridLayout(display);
  display_layout->setVerticalSpacing(2);
  RadioButton1 = new QRadioButton("Selected", display);
  RadioButton1->setObjectName("RadioButton1");
  RadioButton2 = new QRadioButton("All", display);
  RadioButton2->setObjectName("RadioButton2");
  RadioButton2->setChecked(true);
  display_layout->addWidget(RadioButton1, 0, 0);
  display_layout->addWidget(RadioButton2, 0, 1);
  CheckBox2 = new QCheckBox("Residuals", display);
  CheckBox2->setObjectName("CheckBox2");
  CheckBox2->setToolTip(
      "dessine le résidu de chaque point de contrôle, agrandi 20 fois : le trait part du repère "
      "(point cliqué) et va vers la position calculée par la calibration");
  display_layout->addWidget(CheckBox2, 1, 0, 1, 2);
  group->addWidget(display, 2, 0, 1, 2);
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
  QStringList rows;
  for (int i = 0; i < session_.Table().Count(); ++i) rows << ToQt(session_.Table().Name(i));
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
  PointStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  PointStatus->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // All ten rows in view where there is room; on a low screen fewer, with a scroll bar.
  const int frame =
      PointStatus->horizontalHeader()->sizeHint().height() + 2 * PointStatus->frameWidth() + 2;
  PointStatus->setMaximumHeight(frame + 10 * kStatusRowHeight);
  PointStatus->setMinimumHeight(frame + kStatusLeastRows * kStatusRowHeight);
  layout->addWidget(PointStatus, 1);
  column->setFixedWidth(180);
  return column;
}

QWidget* TForm1::CreateImageCoordinates(PaneView& pane, const char* group_name, const char* caption,
                                        const char* title_name, const char* x_label_name,
                                        const char* y_label_name, const char* x_name,
                                        const char* y_name, const char* store_name) {
  auto* group = new QGroupBox(caption);
  group->setObjectName(group_name);
  auto* layout = new QGridLayout(group);
  auto* title = MakeLabel(title_name, "Image coordinates (mouse click)", group);
  MakeTeal(title);
  layout->addWidget(title, 0, 0, 1, 4);
  const auto [x_edit, y_edit] = pane.CreateCaptureEdits(group, x_name, y_name);
  layout->addWidget(MakeLabel(x_label_name, "x", group), 1, 0);
  layout->addWidget(x_edit, 1, 1);
  layout->addWidget(MakeLabel(y_label_name, "y", group), 1, 2);
  layout->addWidget(y_edit, 1, 3);
  auto* store = MakeButton(store_name, "Store Point coordinates", group);
  layout->addWidget(store, 2, 0, 1, 4);
  (pane.IsLeft() ? Button12 : Button13) = store;
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
  for (QLineEdit* edit : {px1, py1, pz1}) {
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(kWidestCoordinate) +
                          2 * edit->fontMetrics().averageCharWidth());
  }
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
  LensModelBox = new QComboBox(column);
  LensModelBox->setObjectName("LensModelBox");
  // The item data is the model's name; the first entry leaves the choice to the check box.
  LensModelBox->addItem("Lens model: as check box", QString());
  const std::pair<LensModel, const char*> models[] = {{LensModel::kNone, "none"},
                                                      {LensModel::kRadial, "radial (a1)"},
                                                      {LensModel::kFull, "full (5 coefficients)"},
                                                      {LensModel::kAuto, "automatic"}};
  for (const auto& [model, text] : models) {
    LensModelBox->addItem(QString("Lens model: ") + text, QString(LensModelName(model)));
  }
  LensModelBox->setToolTip(
      "modèle de distorsion : « automatique » garde le plus simple dont les coefficients sont "
      "significatifs ; le premier choix suit la case « Correc. Distortions »");
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
  // Two columns in the order of the work, so that all commands fit beside a short memo.
  auto* grid = new QGridLayout;
  grid->setSpacing(3);
  int i = 0;
  for (QWidget* w :
       std::initializer_list<QWidget*>{Button7, Button8, CheckBox1, LensModelBox, Button6, Button14,
                                       Button9, Button10, Button11}) {
    grid->addWidget(w, i % 5, i / 5);
    ++i;
  }
  layout->addLayout(grid);
  layout->addStretch(1);
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
  // Long texts are cut at the window's edge rather than widening the window.
  for (QLabel* label : {contact, StatusPanel}) label->setMinimumWidth(1);
  StatusPanel->setObjectName("StatusBar1Panel2");
  bar->addWidget(author);
  bar->addWidget(StatusPanel, 2);
  bar->addWidget(contact, 1);
  setStatusBar(bar);
}

void TForm1::CreateViewOptions() {
  // In the window's "Options" menu, after the marking options (made here if they are not).
  QMenu* options = nullptr;
  for (QAction* entry : menuBar()->actions()) {
    if (entry->menu() && entry->text() == "&Options") options = entry->menu();
  }
  if (!options) options = menuBar()->addMenu("&Options");
  fit_when_shown_ = new QAction("&Fit photographs when shown", this);
  fit_when_shown_->setObjectName("ActionFitWhenShown");
  fit_when_shown_->setCheckable(true);
  fit_when_shown_->setToolTip(
      "affiche chaque photographie entière dans son cadre à l'ouverture et au chargement");
  options->addAction(fit_when_shown_);
  options->setToolTipsVisible(true);
  connect(fit_when_shown_, &QAction::toggled, this, [this](bool on) {
    left_.SetFitWhenShown(on);
    right_.SetFitWhenShown(on);
  });
}

void TForm1::ConnectHandlers() {
  for (PaneView* pane : {&left_, &right_}) {
    TPaintBox* box = pane->Box();
    box->on_mouse_down = [this, pane](Qt::MouseButton b, int x, int y, Qt::KeyboardModifiers m) {
      pane->IsLeft() ? PaintBox1MouseDown(b, x, y, m) : PaintBox2MouseDown(b, x, y, m);
    };
    box->on_mouse_move = [this, pane](int x, int y) {
      pane->IsLeft() ? PaintBox1MouseMove(x, y) : PaintBox2MouseMove(x, y);
    };
    box->on_mouse_up = [this, pane](Qt::MouseButton b, int x, int y) {
      pane->IsLeft() ? PaintBox1MouseUp(b, x, y) : PaintBox2MouseUp(b, x, y);
    };
    box->on_leave = [this] { ShowStatus(); };
    box->on_paint = [this, pane](QPainter& p) { Paint(*pane, p); };
    box->installEventFilter(this);
    const bool left = pane->IsLeft();
    connect(pane->LoadButton(), &QPushButton::clicked, this,
            left ? &TForm1::Button1Click : &TForm1::Button3Click);
    connect(pane->CenterButton(), &QPushButton::clicked, this,
            left ? &TForm1::Button2Click : &TForm1::Button4Click);
    connect(pane->FitButton(), &QPushButton::clicked, this,
            left ? &TForm1::Button15Click : &TForm1::Button16Click);
    connect(pane->Slider(), &QScrollBar::valueChanged, this,
            left ? &TForm1::ScrollBar1Change : &TForm1::ScrollBar2Change);
  }
  connect(PointStatus, &QTableWidget::cellClicked, this,
          [this](int row, int) { PointStatusClick(row); });
  // Enter in a coordinate box stores what the box's "Store Point coordinates" stores.
  const std::pair<std::vector<QLineEdit*>, void (TForm1::*)()> stores[] = {
      {{left_.XEdit(), left_.YEdit()}, &TForm1::Button12Click},
      {{right_.XEdit(), right_.YEdit()}, &TForm1::Button13Click},
      {{px1, py1, pz1}, &TForm1::Button5Click}};
  for (const auto& [edits, store] : stores) {
    for (QLineEdit* edit : edits) {
      edit->installEventFilter(this);
      connect(edit, &QLineEdit::returnPressed, this, store);
    }
  }
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

}  // namespace vistrel
