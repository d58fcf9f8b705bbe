#pragma once

// Control points found without a click: the surveyor's list matched, in each photograph, to the
// targets detected there (photogrammetry/target_matching.h). A control point counts as found
// when both photographs name a target for it.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "photogrammetry/point_table.h"
#include "project/coordinate_list.h"
#include "project/point_list.h"

namespace vistrel {

class Session;

// The targets of one photograph and its size in pixels.
struct DetectedPhotograph {
  std::vector<ImagePosition> targets;
  int width = 0, height = 0;
};

struct FoundControlPoint {
  std::string name;  // the list's name, or the row's rank when it gives none
  SpacePoint space;
  std::optional<ImagePosition> left, right;
  bool Found() const { return left && right; }
};

struct ControlSearch {
  std::vector<FoundControlPoint> points;  // in the list's order
  int found = 0;                          // found in both photographs
  // Why a photograph names no control point at all: "left photograph: ambiguous (...)", or
  // "... fewer than seven control points among its targets"; empty when both named some.
  std::vector<std::string> problems;
  bool ambiguous = false;  // a photograph fits another assignment about as well
  // The same by photograph (left, right), and a photograph that named no control point for
  // lack of them.
  std::array<bool, 2> ambiguous_in{}, too_few_in{};
};

// Matches the list's rows to each photograph's targets. Throws Exception for fewer than six rows
// or rows in one line.
ControlSearch SearchControlTargets(const std::vector<CoordinateRow>& rows,
                                   const DetectedPhotograph& left, const DetectedPhotograph& right);

// The found points as control points for a point table (AddListedPoints).
std::vector<ListedPoint> FoundAsListed(const ControlSearch& search);

// Stores the found points into the session, each row into its control point
// (CoordinateRow::point): both image positions and the row's X, Y, Z. A control point the search
// did not find becomes a check point, so that it takes no part in the calibration.
void StoreFoundControlPoints(Session& session, const std::vector<CoordinateRow>& rows,
                             const ControlSearch& search);

}  // namespace vistrel
