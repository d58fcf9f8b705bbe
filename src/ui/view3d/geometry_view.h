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
  kNotSavedAfterFailedRead,  // the file was not read correctly; it is left as it was
  kNotSavedZeroScale,        // SCALE 0 would divide by zero; the file is left as it was
};

class GeometryView {
 public:
  // Asks the user a yes/no question; true for yes.
  using Confirm = std::function<bool(const std::string& question)>;

  // Nodes are created as children of data_frame, which must outlive this view's nodes.
  explicit GeometryView(scene::Node& data_frame) : frame_(data_frame) {}

  // Reads the geometry file and builds the nodes: Point0.. at each record times scale (stored as
  // floats), radius ball; Line0.. likewise. A missing file builds nothing. A failed read builds
  // nothing, remembers the failure for Close and rethrows.
  void Open(const std::string& path, double scale, double ball);
  // The node-building part of Open, for data already in memory.
  void Build(const GeomData& data, double scale, double ball);

  // The right-click command of the mode on the node under the cursor (nullptr: background).
  void RightClick(EditMode mode, scene::Node* picked, const Confirm& confirm);
  // Joins the two selected points with a new line named after its index; nullptr and no change
  // when fewer than two points are selected.
  scene::PolylineNode* CreateLine();

  // Rewrites the file from the visible nodes, coordinates divided by scale in extended precision,
  // then destroys every node and clears the selection. On a write failure it throws and changes
  // nothing, so closing again retries. After a failed read or with scale 0 it writes nothing.
  SaveOutcome Close(const std::string& path, double scale);

  // The records Close writes, for the given scale (not 0).
  void CollectRecords(double scale, std::vector<RewritePoint>& points,
                      std::vector<RewriteLine>& lines) const;
  // Destroys every data node and clears the selection.
  void Clear();

  const std::vector<scene::SphereNode*>& points() const { return points_; }
  const std::vector<scene::PolylineNode*>& lines() const { return lines_; }
  scene::SphereNode* selected1() const { return selected1_; }
  scene::SphereNode* selected2() const { return selected2_; }
  bool read_failed() const { return read_failed_; }

 private:
  scene::SphereNode* AddPoint(scene::Vec3 position, double ball);
  scene::PolylineNode* AddLine(scene::Vec3 a, scene::Vec3 b);
  void SelectPoint(scene::SphereNode* point);
  void DeletePoint(scene::SphereNode* point, const Confirm& confirm);
  void DeleteLine(scene::PolylineNode* line, const Confirm& confirm);

  scene::Node& frame_;
  std::vector<scene::SphereNode*> points_;   // PointObjects; deleted ones stay, hidden
  std::vector<scene::PolylineNode*> lines_;  // LineObjects: file order, then creation order
  scene::SphereNode* selected1_ = nullptr;
  scene::SphereNode* selected2_ = nullptr;
  bool read_failed_ = false;
};

}  // namespace vistrel::view3d
