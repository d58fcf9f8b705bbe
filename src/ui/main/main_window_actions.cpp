// The main window's menus and keyboard: every command a shortcut, shown in the menus, in the
// tooltips of the buttons that carry the same command and in the help; guided marking; the
// import of a surveyor's coordinate list.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStringList>
#include <algorithm>
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

// More rows than any surveyor's list holds: the list's own size limit comes first.
constexpr std::size_t kMaxImportedRows = 100000;

// The wheel's notch: one zoom step of the pane, as the wheel gives it.
constexpr int kZoomStepDelta = 120;

// "text (shortcut)" in the tooltip of `widget`, after its hint when it has one.
void ShowShortcut(QWidget* widget, const QAction* action) {
  const QString keys = action->shortcut().toString(QKeySequence::NativeText);
  const QString hint = widget->toolTip().isEmpty() ? action->text().remove('&') : widget->toolTip();
  widget->setToolTip(hint + " (" + keys + ")");
}

QString PointName(const PointTable& table, int index) {
  return table.Kind(index) == PointKind::kObject
             ? QCoreApplication::translate("vistrel::TForm1", "the object point")
             : QCoreApplication::translate("vistrel::TForm1", "control point %1")
                   .arg(ToQt(table.Name(index)));
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
  QMenu* project = bar->addMenu(tr("P&roject"));
  AddAction(project, "ActionOpenProject", tr("&Open Project..."), Qt::CTRL | Qt::Key_O,
            &TForm1::OpenProjectClick);
  AddAction(project, "ActionSaveProject", tr("Save &Project..."), Qt::CTRL | Qt::SHIFT | Qt::Key_S,
            &TForm1::SaveProjectClick);

  QMenu* points = bar->addMenu(tr("&Points"));
  QAction* previous = AddAction(points, "ActionPreviousPoint", tr("&Previous point"),
                                Qt::Key_PageUp, &TForm1::PreviousPointClick);
  QAction* next = AddAction(points, "ActionNextPoint", tr("&Next point"), Qt::Key_PageDown,
                            &TForm1::NextPointClick);
  QAction* store = AddAction(points, "ActionStore", tr("&Store captured pixels"),
                             Qt::CTRL | Qt::Key_Return, &TForm1::StoreCapturesClick);
  points->addSeparator();
  AddAction(points, "ActionAddPoint", tr("&Add point..."), {}, &TForm1::AddPointClick);
  AddAction(points, "ActionRenamePoint", tr("Re&name point..."), {}, &TForm1::RenamePointClick);
  AddAction(points, "ActionDeletePoint", tr("&Delete point"), {}, &TForm1::DeletePointClick);
  check_point_ =
      AddAction(points, "ActionCheckPoint", tr("Chec&k point"), {}, &TForm1::CheckPointClick);
  check_point_->setCheckable(true);
  check_point_->setToolTip(
      tr("a check point is measured after the calibration and compared with "
         "its known coordinates, not used to calibrate"));
  points->setToolTipsVisible(true);
  points->addSeparator();
  AddAction(points, "ActionImport", tr("&Import coordinates..."), Qt::CTRL | Qt::Key_I,
            &TForm1::ImportCoordinatesClick);
  AddAction(points, "ActionFindControl", tr("&Find control targets"),
            Qt::CTRL | Qt::SHIFT | Qt::Key_F, &TForm1::FindControlTargetsClick);
  QAction* save = AddAction(points, "ActionSaveControlPoints", tr("Save &Control Points"),
                            Qt::CTRL | Qt::Key_S, &TForm1::Button7Click);
  QAction* load = AddAction(points, "ActionLoadControlPoints", tr("&Load Control Points"),
                            Qt::CTRL | Qt::Key_L, &TForm1::Button8Click);

  QMenu* view = bar->addMenu(tr("&View"));
  QAction* fit_left =
      AddAction(view, "ActionFitLeft", tr("Fit &left image"), Qt::Key_F5, &TForm1::Button15Click);
  QAction* fit_right =
      AddAction(view, "ActionFitRight", tr("Fit &right image"), Qt::Key_F6, &TForm1::Button16Click);
  QAction* zoom_in = AddAction(view, "ActionZoomIn", tr("Zoom &in under the pointer"),
                               QKeySequence::ZoomIn, &TForm1::ZoomInClick);
  // Ctrl+= as well: on most layouts "+" needs Shift, and "=" is the same key without it.
  zoom_in->setShortcuts(
      {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
  QAction* zoom_out = AddAction(view, "ActionZoomOut", tr("Zoom &out under the pointer"),
                                QKeySequence::ZoomOut, &TForm1::ZoomOutClick);

  QMenu* compute = bar->addMenu(tr("&Compute"));
  QAction* calibrate = AddAction(compute, "ActionCalibrate", tr("&Compute Ext./Int. parameters"),
                                 Qt::Key_F9, &TForm1::Button6Click);
  QAction* measure = AddAction(compute, "ActionMeasure", tr("&Measure Object Point"),
                               Qt::CTRL | Qt::Key_M, &TForm1::Button9Click);
  QAction* append = AddAction(compute, "ActionSaveMeasuredPoint", tr("&Save Measured Point"),
                              Qt::CTRL | Qt::Key_G, &TForm1::Button10Click);

  QMenu* options = bar->addMenu(tr("&Options"));
  options->setObjectName("MenuOptions");
  store_on_click_ = AddAction(options, "ActionStoreOnClick", tr("Store on &click"),
                              Qt::CTRL | Qt::SHIFT | Qt::Key_C, nullptr);
  store_on_click_->setCheckable(true);
  store_on_click_->setToolTip(
      tr("a click in a photograph stores the pixel at once, for the selected point or the next "
         "one that lacks it"));
  advance_ = AddAction(options, "ActionAdvance", tr("&Advance to the next point"),
                       Qt::CTRL | Qt::SHIFT | Qt::Key_A, nullptr);
  advance_->setCheckable(true);
  advance_->setToolTip(
      tr("a complete control point hands the selection to the next one that is not complete"));
  options->setToolTipsVisible(true);
  for (QAction* option : {store_on_click_, advance_}) {
    connect(option, &QAction::triggered, this, [this, option](bool on) {
      Note((on ? tr("%1: on") : tr("%1: off")).arg(option->text().remove('&')));
    });
  }

  ComboBox1->setToolTip(tr("next point: %1, previous point: %2")
                            .arg(next->shortcut().toString(QKeySequence::NativeText),
                                 previous->shortcut().toString(QKeySequence::NativeText)));
  for (QPushButton* button : {Button12, Button13}) {
    button->setToolTip(
        tr("stores the captured pixel of the selected point; so does Enter in a box"));
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
    pane->Box()->setToolTip(tr("%1 / %2: zoom under the pointer")
                                .arg(zoom_in->shortcut().toString(QKeySequence::NativeText),
                                     zoom_out->shortcut().toString(QKeySequence::NativeText)));
  }
}

void TForm1::SelectPoint(int index) {
  const int count = ComboBox1->count();
  ComboBox1->setCurrentIndex((index + count) % count);
  selection_by_user_ = true;  // also when the index did not change
}

void TForm1::SelectPointByProgram(int index) {
  selecting_by_program_ = true;
  ComboBox1->setCurrentIndex(index);
  selecting_by_program_ = false;
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
  if (const int next = session_.NextIncomplete(index); next >= 0) SelectPointByProgram(next);
}

void TForm1::StoreClick(bool left, double x, double y) {
  const int selected = SelectedIndex();
  const auto has = [this, left](int i) {
    return left ? session_.Stored(i).left : session_.Stored(i).right;
  };
  const auto pixel_of = [this, left](int i) {
    return ToQt(PixelText(session_.Table().Image(i, left)));
  };
  int target = selected;
  QString replaced;
  if (has(selected)) {
    int next = -1;
    if (advance_->isChecked() && selected != PointTable::kObservation && !selection_by_user_) {
      // The control points after the selected one, wrapping round.
      const std::vector<int> controls = session_.Table().ControlIndices();
      const auto at = std::find(controls.begin(), controls.end(), selected);
      const std::size_t from = at == controls.end() ? 0 : at - controls.begin() + 1;
      for (std::size_t k = 0; k < controls.size() && next < 0; ++k) {
        const int i = controls[(from + k) % controls.size()];
        if (i != selected && !has(i)) next = i;
      }
    }
    if (next >= 0) {
      target = next;
    } else if (selection_by_user_ || selected == PointTable::kObservation) {
      replaced = pixel_of(selected);
    } else {
      Note((left ? tr("Left pixel of %1 already stored (%2): nothing stored; select the point "
                      "to replace it")
                 : tr("Right pixel of %1 already stored (%2): nothing stored; select the point "
                      "to replace it"))
               .arg(PointName(session_.Table(), selected), pixel_of(selected)));
      ShowSelectedPoint(left ? kLeftBoxes : kRightBoxes);
      return;
    }
  }
  // A snapped centre is stored at the finder's full precision, a plain click as its whole pixel.
  session_.StoreImage(target, left, {x, y});
  Stored();
  const QString pixel = ToQt(PixelText({x, y}));
  const QString note =
      replaced.isEmpty()
          ? (left ? tr("Left pixel %1 stored in %2") : tr("Right pixel %1 stored in %2"))
                .arg(pixel, PointName(session_.Table(), target))
          : (left ? tr("Left pixel %1 replaced %2 in %3") : tr("Right pixel %1 replaced %2 in %3"))
                .arg(pixel, replaced, PointName(session_.Table(), target));
  // The boxes stay a view of the selected point, which a store into another point leaves as
  // it was.
  ShowSelectedPoint(left ? kLeftBoxes : kRightBoxes);
  if (target == selected) Advance();
  Note(note);
}

QFileDialog* TForm1::ImportDialog() {
  if (!import_dialog_) {
    import_dialog_ = new QFileDialog(this, tr("Import coordinates"));
    import_dialog_->setObjectName("ImportDialog");
    import_dialog_->setFileMode(QFileDialog::ExistingFile);
    import_dialog_->setNameFilters(
        {tr("Coordinate lists (*.txt *.csv *.xyz *.dat)"), tr("All files (*)")});
  }
  return import_dialog_;
}

void TForm1::ImportCoordinatesClick() {
  QFileDialog* dialog = ImportDialog();
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
  const QString path = dialog->selectedFiles().first();
  CoordinateList list;
  try {
    // Any number of rows; a list the nine control points hold is read as for them alone, so
    // that its rows are numbered by their names as they always were.
    list = ReadCoordinateListFile(ToStd(path), kMaxImportedRows);
    if (list.rows.size() <= PointTable::kFixedControls)
      list = ReadCoordinateListFile(ToStd(path), PointTable::kFixedControls);
  } catch (const ECoordinateList& e) {
    throw ECoordinateList(ToStd(path) + ": " + e.what());
  }
  const char separator = LocaleDecimalSeparator();
  QString preview = tr("Store these space coordinates from %1?\n").arg(path);
  if (list.header_line > 0) preview += "\n" + tr("line %1 taken as a header").arg(list.header_line);
  if (list.numbered) preview += "\n" + tr("rows assigned by the number in their names");
  preview += '\n';
  std::vector<CoordinateRow> rows = list.rows;
  std::sort(rows.begin(), rows.end(),
            [](const CoordinateRow& a, const CoordinateRow& b) { return a.point < b.point; });
  for (const CoordinateRow& r : rows) {
    // Beyond the nine control points a row goes to the point of its name.
    const QString point = r.point <= PointTable::kFixedControls || r.name.empty()
                              ? QString::number(r.point)
                              : ToQt(r.name);
    preview += (r.check ? tr("\nCheck : %1  <-  line %2 %3:  X %4  Y %5  Z %6")
                        : tr("\nControl : %1  <-  line %2 %3:  X %4  Y %5  Z %6"))
                   .arg(point)
                   .arg(r.line)
                   .arg(r.name.empty() ? QString() : "(" + ToQt(r.name) + ")")
                   .arg(ToQt(FormatGeneral(r.x, separator)), ToQt(FormatGeneral(r.y, separator)),
                        ToQt(FormatGeneral(r.z, separator)));
  }
  if (!ConfirmBox(this, preview)) return;
  const int count = session_.Table().Count();
  session_.StoreSpaceRows(list.rows);
  imported_rows_ = list.rows;
  if (session_.Table().Count() != count ||
      std::any_of(list.rows.begin(), list.rows.end(),
                  [](const CoordinateRow& r) { return r.check; }))
    ShowPointList(SelectedIndex());
  Stored();
  ShowSelectedPoint(kSpaceBoxes);
  Note(tr("Imported %1 space coordinates from %2").arg(list.rows.size()).arg(path));
  Advance();
}

namespace {
QString ProjectFilter() {
  return QCoreApplication::translate("vistrel::TForm1", "VISTREL project (*%1)")
      .arg(kProjectFileExtension);
}
}  // namespace

void TForm1::OpenProjectClick() {
  const QString path = QFileDialog::getOpenFileName(this, tr("Open Project"), {}, ProjectFilter());
  if (!path.isEmpty()) OpenProjectFile(path);
}

void TForm1::SaveProjectClick() {
  QString path = QFileDialog::getSaveFileName(this, tr("Save Project"), {}, ProjectFilter());
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
  ShowPointList(SelectedIndex());  // the project may hold more points, or fewer
  ShowSelectedPoint();
  write_memo();
  if (!problems.isEmpty()) ShowErrorBox(problems.join("\n"));
}

void TForm1::AddPointClick() {
  bool ok = false;
  const QString name = QInputDialog::getText(this, tr("Add point"), tr("Name of the new point:"),
                                             QLineEdit::Normal, {}, &ok)
                           .trimmed();
  if (!ok || name.isEmpty()) return;
  const QStringList kinds = {tr("Control"), tr("Check"), tr("Object")};
  const QString kind = QInputDialog::getItem(
      this, tr("Add point"), tr("Kind of point %1:").arg(name), kinds, 0, false, &ok);
  if (!ok) return;
  AddNamedPoint(name, kind == kinds[0]   ? PointKind::kControl
                      : kind == kinds[1] ? PointKind::kCheck
                                         : PointKind::kObject);
}

void TForm1::RenamePointClick() {
  const int i = SelectedIndex();
  bool ok = false;
  const QString name =
      QInputDialog::getText(this, tr("Rename point"),
                            tr("New name of point %1:").arg(ToQt(session_.Table().Name(i))),
                            QLineEdit::Normal, ToQt(session_.Table().Name(i)), &ok)
          .trimmed();
  if (ok) RenameSelectedPoint(name);
}

void TForm1::DeletePointClick() {
  const int i = SelectedIndex();
  if (i <= PointTable::kFixedControls) {
    DeleteSelectedPoint();  // refused, and says why, before anything is asked
    return;
  }
  if (!ConfirmBox(
          this,
          tr("Delete point %1 and what is stored for it?").arg(ToQt(session_.Table().Name(i)))))
    return;
  DeleteSelectedPoint();
}

void TForm1::CheckPointClick() {
  SetSelectedKind(check_point_->isChecked() ? PointKind::kCheck : PointKind::kControl);
}

void TForm1::AddNamedPoint(const QString& name, PointKind kind) {
  const int i = session_.Table().Add(ToStd(name), kind);
  ShowPointList(i);
  Note(tr("Added point %1").arg(name));
}

void TForm1::RenameSelectedPoint(const QString& name) {
  const int i = SelectedIndex();
  const QString old = ToQt(session_.Table().Name(i));
  session_.Table().Rename(i, ToStd(name));
  ShowPointList(i);
  Note(tr("Renamed point %1 to %2").arg(old, name));
}

void TForm1::DeleteSelectedPoint() {
  const int i = SelectedIndex();
  const QString name = ToQt(session_.Table().Name(i));
  session_.RemovePoint(i);
  ShowPointList(i);
  Note(tr("Deleted point %1").arg(name));
}

void TForm1::SetSelectedKind(PointKind kind) {
  const int i = SelectedIndex();
  try {
    session_.Table().SetKind(i, kind);
  } catch (...) {
    ShowPointList(i);  // the menu shows the kind the point kept
    throw;
  }
  ShowPointList(i);
  Note((kind == PointKind::kCheck ? tr("Point %1 is now a check point")
                                  : tr("Point %1 is now a control point"))
           .arg(ToQt(session_.Table().Name(i))));
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
