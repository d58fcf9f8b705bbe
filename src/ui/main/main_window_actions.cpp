// The main window's menus and keyboard: every command a shortcut, shown in the menus, in the
// tooltips of the buttons that carry the same command and in the help; guided marking; the
// import of a surveyor's coordinate list.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStringList>
#include <array>

#include "numeric/text_format.h"
#include "photogrammetry/point_table.h"
#include "project/coordinate_list.h"
#include "project/point_store.h"
#include "project/project_file.h"
#include "project/safe_write.h"
#include "ui/main/main_window.h"
#include "ui/main/messages.h"
#include "ui/main/qt_utils.h"

namespace vistrel {
namespace {

// The wheel's notch: one zoom step of the pane, as the wheel gives it.
constexpr int kZoomStepDelta = 120;

// "text (shortcut)" in the tooltip of `widget`, after its hint when it has one.
void ShowShortcut(QWidget* widget, const QAction* action) {
  const QString keys = action->shortcut().toString(QKeySequence::NativeText);
  const QString hint = widget->toolTip().isEmpty() ? action->text().remove('&') : widget->toolTip();
  widget->setToolTip(hint + " (" + keys + ")");
}

}  // namespace

QAction* TForm1::AddAction(QMenu* menu, const char* name, const QString& text,
                           const QKeySequence& keys, void (TForm1::*handler)()) {
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  action->setShortcut(keys);
  // Active wherever the focus is in the window, also while the menu bar is hidden.
  action->setShortcutContext(Qt::WindowShortcut);
  addAction(action);
  menu->addAction(action);
  if (handler) {
    // A shortcut reaches here by paths that do not all end in the application's error box.
    connect(action, &QAction::triggered, this, [this, handler] {
      try {
        (this->*handler)();
      } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()));
      }
    });
  }
  return action;
}

void TForm1::CreateActions() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MenuBar");
  QMenu* project = bar->addMenu("P&roject");
  AddAction(project, "ActionOpenProject", "&Open Project...", Qt::CTRL | Qt::Key_O,
            &TForm1::OpenProjectClick);
  AddAction(project, "ActionSaveProject", "Save &Project...", Qt::CTRL | Qt::SHIFT | Qt::Key_S,
            &TForm1::SaveProjectClick);

  QMenu* points = bar->addMenu("&Points");
  QAction* previous = AddAction(points, "ActionPreviousPoint", "&Previous point", Qt::Key_PageUp,
                                &TForm1::PreviousPointClick);
  QAction* next = AddAction(points, "ActionNextPoint", "&Next point", Qt::Key_PageDown,
                            &TForm1::NextPointClick);
  QAction* store = AddAction(points, "ActionStore", "&Store captured pixels",
                             Qt::CTRL | Qt::Key_Return, &TForm1::StoreCapturesClick);
  points->addSeparator();
  AddAction(points, "ActionImport", "&Import coordinates...", Qt::CTRL | Qt::Key_I,
            &TForm1::ImportCoordinatesClick);
  QAction* save = AddAction(points, "ActionSaveControlPoints", "Save &Control Points",
                            Qt::CTRL | Qt::Key_S, &TForm1::Button7Click);
  QAction* load = AddAction(points, "ActionLoadControlPoints", "&Load Control Points",
                            Qt::CTRL | Qt::Key_L, &TForm1::Button8Click);

  QMenu* view = bar->addMenu("&View");
  QAction* fit_left =
      AddAction(view, "ActionFitLeft", "Fit &left image", Qt::Key_F5, &TForm1::Button15Click);
  QAction* fit_right =
      AddAction(view, "ActionFitRight", "Fit &right image", Qt::Key_F6, &TForm1::Button16Click);
  QAction* zoom_in = AddAction(view, "ActionZoomIn", "Zoom &in under the pointer",
                               QKeySequence::ZoomIn, &TForm1::ZoomInClick);
  QAction* zoom_out = AddAction(view, "ActionZoomOut", "Zoom &out under the pointer",
                                QKeySequence::ZoomOut, &TForm1::ZoomOutClick);

  QMenu* compute = bar->addMenu("&Compute");
  QAction* calibrate = AddAction(compute, "ActionCalibrate", "&Compute Ext./Int. parameters",
                                 Qt::Key_F9, &TForm1::Button6Click);
  QAction* measure = AddAction(compute, "ActionMeasure", "&Measure Object Point",
                               Qt::CTRL | Qt::Key_M, &TForm1::Button9Click);
  QAction* append = AddAction(compute, "ActionSaveMeasuredPoint", "&Save Measured Point",
                              Qt::CTRL | Qt::Key_G, &TForm1::Button10Click);

  QMenu* options = bar->addMenu("&Options");
  store_on_click_ = AddAction(options, "ActionStoreOnClick", "Store on &click",
                              Qt::CTRL | Qt::SHIFT | Qt::Key_C, nullptr);
  store_on_click_->setCheckable(true);
  store_on_click_->setToolTip(
      "un clic dans une image enregistre aussitôt le pixel du point choisi pour cette image");
  advance_ = AddAction(options, "ActionAdvance", "&Advance to the next point",
                       Qt::CTRL | Qt::SHIFT | Qt::Key_A, nullptr);
  advance_->setCheckable(true);
  advance_->setToolTip(
      "un point de contrôle complet passe la main au point suivant qui n'est pas complet");
  options->setToolTipsVisible(true);

  ComboBox1->setToolTip(QString("point suivant : %1, point précédent : %2")
                            .arg(next->shortcut().toString(QKeySequence::NativeText),
                                 previous->shortcut().toString(QKeySequence::NativeText)));
  for (QPushButton* button : {Button12, Button13}) {
    button->setToolTip("enregistre le pixel saisi du point choisi ; Entrée dans une case aussi");
  }
  const std::pair<QWidget*, QAction*> shown[] = {{Button12, store},
                                                 {Button13, store},
                                                 {Button7, save},
                                                 {Button8, load},
                                                 {left_.FitButton(), fit_left},
                                                 {right_.FitButton(), fit_right},
                                                 {Button6, calibrate},
                                                 {Button9, measure},
                                                 {Button10, append}};
  for (const auto& [widget, action] : shown) ShowShortcut(widget, action);
  for (PaneView* pane : {&left_, &right_}) {
    pane->Box()->setToolTip(QString("%1 / %2 : zoom sous le pointeur")
                                .arg(zoom_in->shortcut().toString(QKeySequence::NativeText),
                                     zoom_out->shortcut().toString(QKeySequence::NativeText)));
  }
}

void TForm1::SelectPoint(int index) {
  ComboBox1->setCurrentIndex((index + kPointSelectorCount) % kPointSelectorCount);
}

void TForm1::NextPointClick() { SelectPoint(SelectedIndex() + 1); }
void TForm1::PreviousPointClick() { SelectPoint(SelectedIndex() - 1); }

void TForm1::StoreCapturesClick() {
  // The photographs whose boxes hold a capture; an empty pair is not an error here.
  if (!left_.XEdit()->text().isEmpty() || !left_.YEdit()->text().isEmpty()) Button12Click();
  if (!right_.XEdit()->text().isEmpty() || !right_.YEdit()->text().isEmpty()) Button13Click();
}

void TForm1::ZoomAtPointer(int delta) {
  for (PaneView* pane : {&left_, &right_}) {
    if (const std::optional<QPoint>& at = pane->Box()->Pointer()) {
      pane->WheelZoom(*at, delta);
      ShowStatus();
    }
  }
}

void TForm1::ZoomInClick() { ZoomAtPointer(kZoomStepDelta); }
void TForm1::ZoomOutClick() { ZoomAtPointer(-kZoomStepDelta); }

void TForm1::Advance() {
  const int index = SelectedIndex();
  if (!advance_->isChecked() || index == PointTable::kObservation ||
      !session_.Table().Complete(index)) {
    return;
  }
  if (const int next = session_.NextIncomplete(index); next >= 0) SelectPoint(next);
}

QFileDialog* TForm1::ImportDialog() {
  if (!import_dialog_) {
    import_dialog_ = new QFileDialog(this, "Import coordinates");
    import_dialog_->setObjectName("ImportDialog");
    import_dialog_->setFileMode(QFileDialog::ExistingFile);
    import_dialog_->setNameFilters({"Coordinate lists (*.txt *.csv *.xyz *.dat)", "All files (*)"});
  }
  return import_dialog_;
}

void TForm1::ImportCoordinatesClick() {
  QFileDialog* dialog = ImportDialog();
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
  const QString path = dialog->selectedFiles().first();
  std::vector<CoordinateRow> rows;
  try {
    rows =
        ReadCoordinateListFile(ToStd(path), LocaleDecimalSeparator(), PointTable::kFixedControls);
  } catch (const ECoordinateList& e) {
    throw ECoordinateList(ToStd(path) + ": " + e.what());
  }
  const char separator = LocaleDecimalSeparator();
  QString preview = QString("Store these space coordinates from %1?\n").arg(path);
  std::vector<std::array<double, 3>> xyz;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const CoordinateRow& r = rows[i];
    preview += QString("\nControl : %1  <-  line %2 %3:  X %4  Y %5  Z %6")
                   .arg(i + 1)
                   .arg(r.line)
                   .arg(r.name.empty() ? QString() : "(" + ToQt(r.name) + ")")
                   .arg(ToQt(FormatGeneral(r.x, separator)), ToQt(FormatGeneral(r.y, separator)),
                        ToQt(FormatGeneral(r.z, separator)));
    xyz.push_back({r.x, r.y, r.z});
  }
  if (!ConfirmBox(this, preview)) return;
  session_.StoreSpaceRows(xyz);
  Stored();
  Advance();
}

namespace {
const QString kProjectFilter = QString("VISTREL project (*%1)").arg(kProjectFileExtension);
}  // namespace

void TForm1::OpenProjectClick() {
  const QString path = QFileDialog::getOpenFileName(this, "Open Project", {}, kProjectFilter);
  if (!path.isEmpty()) OpenProjectFile(path);
}

void TForm1::SaveProjectClick() {
  QString path = QFileDialog::getSaveFileName(this, "Save Project", {}, kProjectFilter);
  if (path.isEmpty()) return;
  if (!path.endsWith(kProjectFileExtension)) path += kProjectFileExtension;
  SaveProjectFile(path);
}

void TForm1::OpenProjectFile(const QString& path) {
  Project project;
  try {
    project = session_.OpenProject(ToStd(path));
  } catch (const EProjectFileError& e) {
    throw Exception(ToStd(path) + ", " + e.what());  // the line and reason, after the name
  }
  CheckBox1->setChecked(project.distortion);
  SelectLensModel(project.lens_model);
  QStringList problems;
  const std::pair<PaneView*, const std::string*> photographs[] = {{&left_, &project.left_image},
                                                                  {&right_, &project.right_image}};
  for (const auto& [pane, name] : photographs) {
    if (name->empty()) continue;  // the pane keeps what it shows
    try {
      LoadPanePicture(*pane, ToQt(*name));
    } catch (const std::exception& e) {
      pane->RememberMissing(ToQt(*name));
      problems << QString::fromUtf8(e.what());
    }
  }
  Stored();
  write_memo();
  if (!problems.isEmpty()) ShowErrorBox(problems.join("\n"));
}

void TForm1::SaveProjectFile(const QString& path) {
  Project project;
  project.left_image = ToStd(left_.RememberedFile());
  project.right_image = ToStd(right_.RememberedFile());
  project.table = session_.Table();
  project.distortion = CheckBox1->isChecked();
  project.lens_model = SelectedLensModel();
  // The save dialog lets one pick a photograph: the project must not take its place.
  RefuseOutputOverInput(
      {"the project file", ToStd(path)},
      {{"the left photograph", project.left_image}, {"the right photograph", project.right_image}});
  SaveProject(ToStd(path), project);
}

}  // namespace vistrel
