#pragma once

// The measured geometry as scene nodes: one ball per point record and one two-vertex polyline per
// line record, under the data frame that turns file axes into screen axes; the selection of up to
// two points; and the editing commands. No toolkit here: questions to the user go through a
// callback, so every rule can be driven from a plain test.

#include <functional>
#include <string>
#include <vector>

#include "project/geom_file.h"
#include "scene/node.h"

namespace vistrel::view3d {

enum class EditMode { kSelectPoint, kDeletePoint, kDeleteLine };

// The mode of the three radio buttons, tested select first, then delete line; any other state
// counts as delete point.
EditMode ModeFromButtons(bool select_point_checked, bool delete_line_checked);

inline constexpr scene::Color kPointColor{1, 0, 0, 1};     // emission of a point at rest
inline constexpr scene::Color kSelectedColor{0, 0, 1, 1};  // selected, or asked for deletion
inline constexpr const char* kRemovePointQuestion = "Do you want to remove the selected point ?";
inline constexpr const char* kRemoveLineQuestion = "Do you want to remove the selected line ?";

// What closing the view did with the geometry file.
enum class SaveOutcome {
  kSaved,
  kUnchanged,                // nothing was edited: the file is left byte for byte (a missing
                             // file is created empty)
  kNotSavedAfterFailedRead,  // the file was not read correctly; it is left as it was
  kNotSavedNonFinite,        // a value to write is not a finite number; the file is left as it was
};

// The point the scene is drawn around, in file units. Along each axis where the data's centre
// lies more than a hundred times its extent from the file's origin (a national grid, UTM), it is
// that centre rounded to a power of ten no smaller than the extent (at least `least_unit`), so
// the data is drawn near the scene's origin, where single precision is fine; elsewhere 0, so
// ordinary data, and its ground at z = 0, stay where they are. Each coordinate is shifted in double
// precision before it becomes a float. Non-finite values are left out; (0, 0, 0) for no data.
GeomPoint LocalOrigin(const GeomData& data, double least_unit);

class GeometryView {
 public:
  // Asks the user a yes/no question; true for yes.
  using Confirm = std::function<bool(const std::string& question)>;

  // Nodes are created as children of data_frame, which must outlive this view's nodes.
  explicit GeometryView(scene::Node& data_frame) : frame_(data_frame) {}

  // Reads the geometry file and builds the nodes: Point0.. at each record less the local origin,
  // times scale (stored as floats, for drawing only), radius ball; Line0.. likewise. The values as
  // read are kept beside the nodes: they are what Close writes and what the measure and export
  // show. A missing file builds nothing. A failed read builds nothing, remembers the failure for
  // Close and rethrows.
  void Open(const std::string& path, double scale, double ball);
  // The node-building part of Open, for data already in memory; it sets the local origin.
  void Build(const GeomData& data, double scale, double ball);
  // The file coordinates drawn at the data frame's origin (see LocalOrigin).
  const GeomPoint& origin() const { return origin_; }

  // The right-click command of the mode on the node under the cursor (nullptr: background).
  void RightClick(EditMode mode, scene::Node* picked, const Confirm& confirm);
  // Joins the two selected points with a new line named after its index; nullptr and no change
  // when fewer than two points are selected.
  scene::PolylineNode* CreateLine();
  // Takes back the last deletion or created line still in effect (a created line is hidden, as
  // a deleted one); false when there is none. Edits taken back count as never made, so undoing
  // every edit leaves the file untouched at Close.
  bool Undo();
  // Puts back the last edit taken back, unless a new edit came since; false when there is none.
  // A line created again is returned through `line` (nullptr otherwise).
  bool Redo(scene::PolylineNode** line = nullptr);
  bool CanUndo() const { return !done_.empty(); }
  bool CanRedo() const { return !undone_.empty(); }

  // After an edit, rewrites the file from the visible records with the values they were read with
  // (a created line with those of its end points); without one, leaves the file as it is. Then
  // destroys every node and clears the selection. On a write failure it throws and changes
  // nothing, so closing again retries. After a failed read, or when a value is not finite, it
  // writes nothing.
  SaveOutcome Close(const std::string& path);

  // The visible records in file units, as read: what Close writes and the exporters take.
  GeomData VisibleData() const;
  // File coordinates of a point node of this view (as read); nullptr for any other node.
  const GeomPoint* RecordOf(const scene::SphereNode* point) const;
  // The index of a point node in points(), or -1.
  int IndexOf(const scene::SphereNode* point) const;

  // What the user measures, in file units with the file's 15 significant digits: each selected
  // point as "Point N: X x  Y y  Z z", and with two selected, after them
  // "distance D  dX a  dY b  dZ c" (second minus first), rounded to the decimal place of the
  // largest coordinate's 15th digit. Empty when nothing is selected.
  std::string SelectionReadout() const;

  // Bounding sphere of the visible balls and lines in scene coordinates (balls with their
  // radius); false when nothing finite is visible.
  bool VisibleBounds(scene::Vec3& centre, float& radius) const;
  // How many visible balls and lines lie beyond what single precision holds, even around the
  // local origin (their scene position is not finite), so that they cannot be drawn.
  int UndrawableCount() const;
  // Destroys every data node and clears the selection.
  void Clear();

  const std::vector<scene::SphereNode*>& points() const { return points_; }
  const std::vector<scene::PolylineNode*>& lines() const { return lines_; }
  scene::SphereNode* selected1() const { return selected1_; }
  scene::SphereNode* selected2() const { return selected2_; }
  bool read_failed() const { return read_failed_; }
  bool edited() const { return !done_.empty(); }

 private:
  scene::SphereNode* AddPoint(const GeomPoint& record, double scale, double ball);
  scene::PolylineNode* AddLine(const GeomLine& record, double scale);
  void SelectPoint(scene::SphereNode* point);
  void DeletePoint(scene::SphereNode* point, const Confirm& confirm);
  void DeleteLine(scene::PolylineNode* line, const Confirm& confirm);
  // An edit is one node made invisible (a deletion) or visible (a created line).
  struct Edit {
    scene::Node* node;
    bool shown;  // the node's visibility after the edit
  };
  void Record(scene::Node* node, bool shown);

  scene::Node& frame_;
  std::vector<scene::SphereNode*> points_;   // PointObjects; deleted ones stay, hidden
  std::vector<scene::PolylineNode*> lines_;  // LineObjects: file order, then creation order
  std::vector<GeomPoint> point_records_;     // values as read, one per points_ entry
  std::vector<GeomLine> line_records_;       // values as read, one per lines_ entry
  double scale_ = 1;                         // file units to scene units, for created lines
  GeomPoint origin_;                         // file coordinates at the data frame's origin
  std::vector<Edit> done_;                   // edits in effect, oldest first
  std::vector<Edit> undone_;                 // edits taken back, the last taken back at the end
  scene::SphereNode* selected1_ = nullptr;
  scene::SphereNode* selected2_ = nullptr;
  bool read_failed_ = false;
};

}  // namespace vistrel::view3d
