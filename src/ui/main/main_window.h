#pragma once

// The main window: two image panes, the point table's edit boxes and store commands, the point
// selector, the results memo and one button per step of the two-photograph workflow. Controls keep
// their designer names as object names; handlers are thin and call the core.

#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "photogrammetry/calibration.h"
#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"
#include "photogrammetry/quality.h"
#include "project/coordinate_list.h"
#include "project/language.h"
#include "ui/main/pane_geometry.h"
#include "ui/main/pane_view.h"
#include "workflow/session.h"

class QAction;
class QCheckBox;
class QFileDialog;
class QKeySequence;
class QMenu;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QToolButton;
class QWheelEvent;

namespace vistrel {

class TColorSwatch;
class TQualityWindow;
struct PaneResidual;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `program_directory` is where config.ini and the help document are looked for, ending in '/';
  // empty means the directory of the running executable.
  explicit TForm1(std::string program_directory = {}, QWidget* parent = nullptr);
  ~TForm1() override;

  // Set by the application once the 3D window exists; "3D vizualization" calls it.
  std::function<void()> on_show_3d;
  // Set by the application: opens the help document (given its full name).
  std::function<void(const QString& help_file)> on_show_help;

  PaneView& LeftPane() { return left_; }
  PaneView& RightPane() { return right_; }
  PointTable& Table() { return session_.Table(); }
  const TCameraParameters& CameraParameters() const { return session_.Camera(); }
  int ObjectPointCount() const { return session_.ObjectPointCount(); }
  const Session& GetSession() const { return session_; }
  // The quality figures of the last calibration; empty before any, after one that stopped before
  // its joint fit, or when its residuals could not be computed.
  const std::optional<CalibrationQuality>& Quality() const { return session_.Quality(); }
  // The "Calibration quality" window, once "Calibration quality" opened it.
  TQualityWindow* QualityWindow() const { return quality_window_; }
  double Scale() const { return scale_; }
  double Ball() const { return ball_; }
  const std::string& ProgramDirectory() const { return program_directory_; }
  // Full name of the settings file.
  std::string SettingsPath() const;
  // Full name of the help document shipped beside the executable.
  QString HelpFilePath() const;

  // Loads `path` into a pane and shows its name; throws and changes nothing when it fails.
  void LoadPanePicture(PaneView& pane, const QString& path);

  // ---- handlers, named after their control and event
  // ---------------------------------------------
  void Button1Click();  // load left image
  void Button3Click();  // load right image
  void Button2Click();  // centre left image
  void Button4Click();  // centre right image
  void ScrollBar1Change();
  void ScrollBar2Change();
  void FormMouseWheel(const QPoint& client_position, int delta);
  // Shift with the left button captures the centre of the target under the pointer.
  void PaintBox1MouseDown(Qt::MouseButton button, int x, int y,
                          Qt::KeyboardModifiers modifiers = {});
  void PaintBox2MouseDown(Qt::MouseButton button, int x, int y,
                          Qt::KeyboardModifiers modifiers = {});
  void PaintBox1MouseMove(int x, int y);
  void PaintBox2MouseMove(int x, int y);
  void PaintBox1MouseUp(Qt::MouseButton button, int x, int y);
  void PaintBox2MouseUp(Qt::MouseButton button, int x, int y);
  void Button12Click();  // store left-image coordinates
  void Button13Click();  // store right-image coordinates
  void Button5Click();   // store space coordinates
  void ComboBox1Change();
  void color1DblClick();
  void Button7Click();             // save control points
  void Button8Click();             // load control points
  void Button6Click();             // calibrate
  void Button9Click();             // measure the observation point
  void Button10Click();            // append the measured point to the geometry file
  void Button11Click();            // 3D view
  void Button14Click();            // calibration quality window
  void LeaveOneOutClick();         // the quality window's "Leave one out"
  void Button15Click();            // fit the left image into its pane
  void Button16Click();            // fit the right image into its pane
  void PointStatusClick(int row);  // select the point of a row of the status table
  void CheckBox2Click();           // residual strokes on or off
  void BitBtn1Click();             // help
  // Menu and keyboard commands (main_window_actions.cpp).
  void NextPointClick();
  void PreviousPointClick();
  void StoreCapturesClick();  // store the captures of both photographs that the boxes hold
  void ZoomInClick();         // one wheel step in, in the pane under the pointer
  void ZoomOutClick();
  // Reads a surveyor's coordinate list, shows which control point gets which row and stores
  // them once the user agrees.
  void ImportCoordinatesClick();
  // The points beyond the first ten: the click handlers ask for what the others take. Each acts
  // on the selected point and keeps the selector, the point table and the session in step.
  void AddPointClick();
  void RenamePointClick();
  void DeletePointClick();
  void CheckPointClick();  // switches the selected point between control and check
  void AddNamedPoint(const QString& name, PointKind kind);  // and selects it
  void RenameSelectedPoint(const QString& name);
  void DeleteSelectedPoint();
  void SetSelectedKind(PointKind kind);
  // Finds the control points of the coordinate list imported last (asking for one if none)
  // among both photographs' targets, shows the assignment and stores it once the user agrees.
  void FindControlTargetsClick();
  // The project file: the click handlers ask for a name, the others take it.
  void OpenProjectClick();
  void SaveProjectClick();
  void OpenProjectFile(const QString& path);  // a refused file changes nothing
  void SaveProjectFile(const QString& path);
  QFileDialog* ImportDialog();
  void write_memo();
  void FormClose();
  // The lens model chosen beside "Correc. Distortions"; empty: the check box decides.
  std::optional<LensModel> SelectedLensModel() const;
  void SelectLensModel(std::optional<LensModel> model);

 protected:
  void wheelEvent(QWheelEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  // The window in named steps (main_window_layout.cpp).
  void CreateControls();
  QWidget* CreateSelectedPoint();
  QWidget* CreateImageCoordinates(PaneView& pane, const char* group_name, const QString& caption,
                                  const char* title_name, const char* x_label_name,
                                  const char* y_label_name, const char* x_name, const char* y_name,
                                  const char* store_name);
  QWidget* CreateSpaceCoordinates();
  QWidget* CreateCommandColumn();
  void CreateStatusBar();
  void CreateViewOptions();
  void CreateLanguageMenu(QMenu* options);
  std::optional<Language> ChosenLanguage() const;
  void AppendToMemo(const QString& line);
  void ConnectHandlers();
  void CreateActions();
  QAction* AddAction(QMenu* menu, const char* name, const QString& text, const QKeySequence& keys,
                     void (TForm1::*handler)());
  void SelectPoint(int index);  // as the user does, wrapping round the selector
  // A selection the program makes (advancing, measuring): it does not entitle a click to
  // replace a stored pixel.
  void SelectPointByProgram(int index);
  // The boxes as a view of the selected point: its stored pixels and X, Y, Z, empty where
  // nothing is stored (the observation point's X, Y, Z: its last measurement while its pixels
  // are those measured). `parts` picks the boxes, so that a capture not yet stored in the other
  // photograph's boxes stays.
  enum BoxParts { kLeftBoxes = 1, kRightBoxes = 2, kSpaceBoxes = 4, kAllBoxes = 7 };
  void ShowSelectedPoint(int parts = kAllBoxes);
  // Whether a box still holds the text the view wrote into it.
  bool Unchanged(const QLineEdit* edit) const;
  // Store on click of a pixel of the left (or right) photograph: into the selected point while
  // it lacks that pixel, else with "Advance" into the next control point that lacks it; a stored
  // pixel is replaced only in a point the user selected, or in the observation point.
  void StoreClick(bool left, double x, double y);
  void Note(const QString& text);
  void ZoomAtPointer(int delta);
  // With "Advance" on: a complete control point hands the selection to the next incomplete one.
  void Advance();

  // The panes (main_window_panes.cpp).
  // A wheel event at a position of `receiver`: FormMouseWheel in client coordinates.
  void WheelAt(QWidget* receiver, QWheelEvent* event);
  void MouseDown(PaneView& pane, Qt::MouseButton button, int x, int y,
                 Qt::KeyboardModifiers modifiers);
  void MouseMove(PaneView& pane);
  void MouseUp(PaneView& pane, Qt::MouseButton button, int x, int y);
  void Paint(PaneView& pane, QPainter& painter);
  PaneView& Other(const PaneView& pane) { return &pane == &left_ ? right_ : left_; }
  const PaneView& Other(const PaneView& pane) const { return &pane == &left_ ? right_ : left_; }
  // The residual strokes to draw in `pane` for the markers drawn there: none unless "Residuals"
  // is ticked, and none for a point moved since the calibration.
  std::vector<PaneResidual> ResidualStrokes(const PaneView& pane) const;
  void UpdatePanes();
  // A Shift-click's target at (x, y) of `pane` with a calibrated pair: the other photograph's one
  // target on its epipolar curve (or the click there that found this one among several) stored
  // with it in the selected point, or the capture alone and the reason. False when the pair is
  // not calibrated (nothing done).
  bool MatchOnEpipolar(PaneView& pane, double x, double y);
  // The targets of the picture a pane shows, detected once per picture.
  const std::vector<ImagePosition>& DetectedTargets(const PaneView& pane);

  // Status bar and point status table from the current state (main_window_status.cpp).
  void ShowStatus();
  void ShowPointStatus();
  // The selector's entries and the point table's rows, one per point of the session, after
  // points were added, removed, renamed or switched; the selection stays on `select`.
  void ShowPointList(int select);
  QString PointEntry(int index) const;
  // After a store or load of points: refresh table, status and markers.
  void Stored();
  int SelectedIndex() const;
  // Shows the last calibration's figures wherever they are shown.
  void ShowQuality();

  // config.ini (main_window_settings.cpp).
  void ReadSettings();
  void WriteSettings();

  Session session_;
  TQualityWindow* quality_window_ = nullptr;
  double scale_ = 0.01;
  double ball_ = 0.01;
  std::string program_directory_;
  QColor last_dialog_color_ = Qt::black;  // the colour dialog opens on its last choice

  PaneView left_{true}, right_{false};
  QAction* store_on_click_ = nullptr;
  QAction* advance_ = nullptr;
  QAction* check_point_ = nullptr;     // Points > Check point, ticked for a check point
  QAction* fit_when_shown_ = nullptr;  // "Fit photographs when shown"
  // Options > Language: the system's, English, French; the choice applies at the next start.
  std::array<QAction*, 3> language_actions_{};
  QFileDialog* import_dialog_ = nullptr;
  // The rows of the coordinate list imported last.
  std::optional<std::vector<CoordinateRow>> imported_rows_;
  // The targets found in each pane's picture (left, right), by the picture's cache key.
  struct Detected {
    qint64 key = 0;
    bool valid = false;
    std::vector<ImagePosition> targets;
  };
  std::array<Detected, 2> detected_{};
  // The found control points offered for storing, drawn with their names (left, right).
  std::array<std::vector<PaneMarker>, 2> proposal_{};
  // A Shift-click that found several targets on the other photograph's curve: a Shift-click on
  // one of them there picks it.
  struct PendingMatch {
    bool left;
    int point;
    ImagePosition clicked;
    std::vector<ImagePosition> candidates;
  };
  std::optional<PendingMatch> pending_match_;
  QLineEdit* select_on_release_ = nullptr;  // took the focus by a click still held
  // What the last command did or why it did nothing, until the next one says something.
  QString status_note_;
  // Whether the user chose the selected point (selector, keys, point table) rather than the
  // program; false at start.
  bool selection_by_user_ = false;
  bool selecting_by_program_ = false;  // a selection by the program is under way
  // The texts ShowSelectedPoint wrote, by box.
  std::map<const QLineEdit*, QString> shown_texts_;
  // The last measurement and the observation point's pixels it was measured from.
  struct Measured {
    std::string x, y, z;
    ImagePosition left, right;
  };
  std::optional<Measured> measured_;

 private:
  // Controls, by designer name; tests and tools find them by these object names.
  QGroupBox* GroupBox6 = nullptr;
  TColorSwatch* color1 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QToolButton* BitBtn1 = nullptr;
  QLineEdit* px1 = nullptr;
  QLineEdit* py1 = nullptr;
  QLineEdit* pz1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QComboBox* LensModelBox = nullptr;  // the lens model beside CheckBox1; first entry: as the box
  QCheckBox* CheckBox2 = nullptr;     // "Residuals"
  QPushButton* Button5 = nullptr;
  QPushButton* Button6 = nullptr;
  QPushButton* Button7 = nullptr;
  QPushButton* Button8 = nullptr;
  QPushButton* Button9 = nullptr;
  QPushButton* Button10 = nullptr;
  QPushButton* Button11 = nullptr;
  QPushButton* Button12 = nullptr;
  QPushButton* Button13 = nullptr;
  QPushButton* Button14 = nullptr;  // "Calibration quality"
  QTableWidget* PointStatus = nullptr;
  QLabel* StatusPanel = nullptr;  // pointer, zoom and selected point
};

}  // namespace vistrel
