#include "workflow/control_search.h"

#include "numeric/exception.h"
#include "photogrammetry/target_matching.h"
#include "workflow/session.h"

namespace vistrel {

ControlSearch SearchControlTargets(const std::vector<CoordinateRow>& rows,
                                   const DetectedPhotograph& left,
                                   const DetectedPhotograph& right) {
  std::vector<SpacePoint> control;
  ControlSearch search;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const CoordinateRow& r = rows[k];
    control.push_back({r.x, r.y, r.z});
    FoundControlPoint point;
    point.name = r.name.empty() ? std::to_string(k + 1) : r.name;
    point.space = control.back();
    search.points.push_back(point);
  }
  for (const bool is_left : {true, false}) {
    const DetectedPhotograph& photo = is_left ? left : right;
    const TargetMatch match =
        MatchTargetsToControlPoints(control, photo.targets, photo.width, photo.height);
    const std::string which = is_left ? "left photograph: " : "right photograph: ";
    if (match.status == TargetMatchStatus::kAmbiguous) {
      search.ambiguous = true;
      search.ambiguous_in[is_left ? 0 : 1] = true;
      search.problems.push_back(which + "ambiguous (" + std::to_string(match.found) +
                                " control points fit one way, " +
                                std::to_string(match.rival_found) + " another about as well)");
      continue;
    }
    if (match.status == TargetMatchStatus::kTooFew) {
      search.too_few_in[is_left ? 0 : 1] = true;
      search.problems.push_back(which + "fewer than seven control points among its " +
                                std::to_string(photo.targets.size()) + " targets");
      continue;
    }
    for (std::size_t k = 0; k < control.size(); ++k) {
      if (match.target_of[k] < 0) continue;
      (is_left ? search.points[k].left : search.points[k].right) =
          photo.targets[static_cast<std::size_t>(match.target_of[k])];
    }
  }
  for (const FoundControlPoint& p : search.points) search.found += p.Found() ? 1 : 0;
  return search;
}

std::vector<ListedPoint> FoundAsListed(const ControlSearch& search) {
  std::vector<ListedPoint> listed;
  for (const FoundControlPoint& p : search.points)
    if (p.Found()) listed.push_back({*p.left, *p.right, p.space, p.name});
  return listed;
}

void StoreFoundControlPoints(Session& session, const std::vector<CoordinateRow>& rows,
                             const ControlSearch& search) {
  PointTable& table = session.Table();
  std::vector<CoordinateRow> found_rows;
  for (std::size_t k = 0; k < rows.size() && k < search.points.size(); ++k) {
    if (search.points[k].Found()) {
      found_rows.push_back(rows[k]);
    } else if (rows[k].point >= 1 && rows[k].point <= PointTable::kFixedControls) {
      // One of control points 1 to 9 not found in both photographs takes no part.
      table.SetKind(rows[k].point, PointKind::kCheck);
    }
  }
  // Space coordinates first: rows 1 to 9 go to those points, later rows to points of their
  // names, added when new (names checked before anything is stored).
  session.StoreSpaceRows(found_rows);
  for (std::size_t k = 0; k < rows.size() && k < search.points.size(); ++k) {
    const FoundControlPoint& p = search.points[k];
    if (!p.Found()) continue;
    const CoordinateRow& r = rows[k];
    const bool fixed = r.point >= 1 && r.point <= PointTable::kFixedControls;
    const int i = fixed ? r.point : table.Find(r.name.empty() ? std::to_string(r.point) : r.name);
    if (i < 0) continue;
    if (!r.check) table.SetKind(i, PointKind::kControl);
    session.StoreImage(i, true, *p.left);
    session.StoreImage(i, false, *p.right);
  }
}

}  // namespace vistrel
