#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/text_format.h"

namespace vistrel {

// What a point is for: an object point is measured; a control point's known space coordinates
// calibrate the cameras; a check point's known space coordinates are only compared with what
// the calibrated cameras measure.
enum class PointKind : std::uint8_t { kObject, kControl, kCheck };

// An image position in pixels of the full-resolution photograph, origin top-left, y downwards;
// the centre of pixel (i, j) is (i, j).
struct ImagePosition {
  double x = 0, y = 0;
  friend bool operator==(const ImagePosition&, const ImagePosition&) = default;
};

// "x y": a whole pixel as a whole number (723), any other position with the fewest digits that
// read back to it (722.8475).
inline std::string PixelText(ImagePosition p) {
  return FormatShortestGeneral(p.x) + " " + FormatShortestGeneral(p.y);
}

// Space coordinates in the user's units.
struct SpacePoint {
  double X = 0, Y = 0, Z = 0;
  friend bool operator==(const SpacePoint&, const SpacePoint&) = default;
};

// Which coordinates of a point were stored: left image, right image, space. A point never
// stored sits at (0, 0), so its values alone cannot tell.
struct StoredParts {
  bool left = false, right = false, space = false;
  // Everything the point needs: both images, and space coordinates unless it is an object point.
  bool Complete(PointKind kind) const {
    return left && right && (kind == PointKind::kObject || space);
  }
  friend bool operator==(const StoredParts&, const StoredParts&) = default;
};

// Everything the user has entered about the points, in order. Entry 0 is the observation point
// (named "O"), entries 1 to 9 the control points named "1" to "9"; `g` in older names is the
// left photograph, `d` the right one.
class PointTable {
 public:
  static constexpr int kObservation = 0;
  // The entries every table starts with: the observation point and nine control points.
  static constexpr int kFixedControls = 9;

  struct Point {
    std::string name;
    PointKind kind = PointKind::kObject;
    ImagePosition left, right;
    SpacePoint space;
    // Marker colour (TColor value, project/settings.h), for the windows; no computation reads it.
    std::uint32_t color = 0;
    StoredParts stored;
  };

  PointTable();

  int Count() const { return static_cast<int>(points_.size()); }
  const Point& At(int i) const { return points_[static_cast<std::size_t>(i)]; }

  const std::string& Name(int i) const { return At(i).name; }
  PointKind Kind(int i) const { return At(i).kind; }
  ImagePosition Left(int i) const { return At(i).left; }
  ImagePosition Right(int i) const { return At(i).right; }
  // The image position in the left (true) or right photograph.
  ImagePosition Image(int i, bool left) const { return left ? At(i).left : At(i).right; }
  SpacePoint Space(int i) const { return At(i).space; }
  std::uint32_t Color(int i) const { return At(i).color; }
  const StoredParts& Stored(int i) const { return At(i).stored; }
  // Whether the point has every coordinate its kind needs.
  bool Complete(int i) const { return At(i).stored.Complete(At(i).kind); }

  void SetLeft(int i, ImagePosition p) { Mutable(i).left = p; }
  void SetRight(int i, ImagePosition p) { Mutable(i).right = p; }
  void SetImage(int i, bool left, ImagePosition p) {
    (left ? Mutable(i).left : Mutable(i).right) = p;
  }
  void SetSpace(int i, SpacePoint p) { Mutable(i).space = p; }
  void SetLeft(int i, double x, double y) { SetLeft(i, ImagePosition{x, y}); }
  void SetRight(int i, double x, double y) { SetRight(i, ImagePosition{x, y}); }
  void SetSpace(int i, double X, double Y, double Z) { SetSpace(i, SpacePoint{X, Y, Z}); }
  void SetColor(int i, std::uint32_t color) { Mutable(i).color = color; }
  void SetStored(int i, StoredParts parts) { Mutable(i).stored = parts; }
  void MarkStored(int i, bool StoredParts::*part) { Mutable(i).stored.*part = true; }

  // Adds a point after the last one and returns its index. Names are unique, not empty and
  // without blanks (files separate their words with blanks); Exception says why a name is refused.
  int Add(const std::string& name, PointKind kind);
  // Renames, changes the kind of, or removes point `i`. The observation point and control points
  // 1 to 9 keep their names and places; a control point may become a check point and back, the
  // observation point stays an object point. Exception for a refused change.
  void Rename(int i, const std::string& name);
  void SetKind(int i, PointKind kind);
  void Remove(int i);
  // Why `name` cannot name a point (empty when it can); `except` may already hold it.
  std::string NameProblem(const std::string& name, int except = -1) const;

  // Every image and space coordinate back to 0; names, kinds, colours and stored parts stay.
  void Reset() {
    for (Point& p : points_) p.left = p.right = {}, p.space = {};
  }

  // The entry named `name`, or -1.
  int Find(std::string_view name) const;
  // The entries of one kind, in table order.
  std::vector<int> IndicesOf(PointKind kind) const;
  std::vector<int> ControlIndices() const { return IndicesOf(PointKind::kControl); }
  std::vector<int> CheckIndices() const { return IndicesOf(PointKind::kCheck); }

  // Bit for bit: -0 differs from 0, so a table compared equal is the very same table.
  friend bool operator==(const PointTable& a, const PointTable& b);

 private:
  Point& Mutable(int i) { return points_[static_cast<std::size_t>(i)]; }

  std::vector<Point> points_;
};

}  // namespace vistrel
