#include "project/point_list.h"

#include <cmath>
#include <sstream>

#include "numeric/text_format.h"
#include "project/line_reader.h"

namespace vistrel {

std::vector<ListedPoint> ReadPointList(const std::string& path) {
  std::vector<ListedPoint> points;
  LineReader reader(path);
  for (std::string line; reader.Next(line);) {
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty() || w[0][0] == '#') continue;
    const std::string at = "line " + std::to_string(reader.line_number()) + ": ";
    if (w.size() != 7 && w.size() != 8) {
      throw EPointList(at + "expected \"xg yg xd yd X Y Z\" and perhaps a name, got " +
                       std::to_string(w.size()) + " fields");
    }
    double v[7];
    for (int k = 0; k < 7; ++k) {
      if (!TryStrToDouble(w[static_cast<std::size_t>(k)], v[k]) || !std::isfinite(v[k])) {
        throw EPointList(at + "'" + w[static_cast<std::size_t>(k)] + "' is not a number");
      }
    }
    points.push_back({{v[0], v[1]}, {v[2], v[3]}, {v[4], v[5], v[6]}, w.size() == 8 ? w[7] : ""});
  }
  return points;
}

void AddListedPoints(PointTable& table, const std::vector<ListedPoint>& points, PointKind kind,
                     const std::string& prefix) {
  int next_fixed = 1;
  std::vector<bool> filled(PointTable::kFixedControls + 1);
  for (std::size_t k = 0; k < points.size(); ++k) {
    const ListedPoint& p = points[k];
    int i = -1;
    if (kind == PointKind::kControl && p.name.empty() && next_fixed <= PointTable::kFixedControls) {
      i = next_fixed++;
      filled[static_cast<std::size_t>(i)] = true;
    } else {
      i = table.Add(p.name.empty() ? prefix + std::to_string(k + 1) : p.name, kind);
    }
    table.SetLeft(i, p.left);
    table.SetRight(i, p.right);
    table.SetSpace(i, p.space);
    table.SetStored(i, {true, true, true});
  }
  if (kind != PointKind::kControl) return;
  for (int i = 1; i <= PointTable::kFixedControls; ++i) {
    if (!filled[static_cast<std::size_t>(i)]) {
      table.SetKind(i, PointKind::kCheck);
      table.SetStored(i, {});
    }
  }
}

}  // namespace vistrel
