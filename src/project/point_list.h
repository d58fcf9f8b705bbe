#pragma once

// Lists of surveyed points with their pixels: one point per line, "xg yg xd yd X Y Z" and
// optionally a name as an eighth field.

#include <optional>
#include <string>
#include <vector>

#include "numeric/exception.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

struct ListedPoint {
  ImagePosition left, right;
  SpacePoint space;
  std::string name;  // empty when the line gives none
};

// A line that is not a point: "line 4: ...".
class EPointList : public Exception {
 public:
  using Exception::Exception;
};

// Reads `path`: fields separated by any blanks, lines ending with LF, CR LF or CR, blank lines
// and lines starting with "#" skipped, real numbers with "." as separator. Throws EInOutError
// for a file that cannot be read, EPointList for a bad line.
std::vector<ListedPoint> ReadPointList(const std::string& path);

// Puts listed points into `table` as `kind` points, marked stored. Control points without a
// name fill control points 1 to 9 first (the first ten entries keep their names); every other
// point is added under its name, or under `prefix` and its line's rank when it has none. Control
// points 1 to 9 that no line filled become check points with nothing stored, which nothing
// uses. Throws Exception for a name the table refuses.
void AddListedPoints(PointTable& table, const std::vector<ListedPoint>& points, PointKind kind,
                     const std::string& prefix);

}  // namespace vistrel
