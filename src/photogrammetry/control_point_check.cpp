#include "photogrammetry/control_point_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace vistrel {

namespace {

using Vec = std::array<long double, 3>;

Vec Minus(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec Cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
long double Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
long double Norm(const Vec& a) { return std::sqrt(Dot(a, a)); }

std::string List(const std::vector<int>& points) {
  std::string text;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i > 0) text += i + 1 == points.size() ? " and " : ", ";
    text += std::to_string(points[i]);
  }
  return text;
}

long double Median(std::vector<long double> values) {
  const std::size_t half = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + half, values.end());
  const long double upper = values[half];
  if (values.size() % 2 == 1) return upper;
  return (*std::max_element(values.begin(), values.begin() + half) + upper) / 2;
}

// Two significant digits in the program's notation ("2.5E10", "0.31"): enough to see a slip.
std::string Rough(long double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2LG", value);
  std::string out;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '+') continue;
    // No leading zeros in the exponent.
    if (*c == '0' && !out.empty() && (out.back() == 'E' || out.back() == '-') &&
        out.find('E') != std::string::npos && c[1] != '\0') {
      continue;
    }
    out += *c;
  }
  return out;
}

// Groups of points (two or more) for which `same` holds, each group ascending.
template <typename Same>
std::vector<std::vector<int>> Groups(Same same) {
  std::vector<std::vector<int>> groups;
  std::array<bool, 10> taken{};
  for (int i = 1; i <= PointTable::kControlCount; ++i) {
    if (taken[i]) continue;
    std::vector<int> group{i};
    for (int j = i + 1; j <= PointTable::kControlCount; ++j) {
      if (!taken[j] && same(i, j)) {
        group.push_back(j);
        taken[j] = true;
      }
    }
    if (group.size() > 1) groups.push_back(group);
  }
  return groups;
}

}  // namespace

std::vector<ControlPointWarning> CheckControlPoints(const PointTable& t) {
  std::vector<ControlPointWarning> warnings;
  std::array<Vec, 10> p{};
  for (int i = 1; i <= PointTable::kControlCount; ++i) p[i] = {t.px[i], t.py[i], t.pz[i]};

  // The middle of the set and its typical distance from it, both medians: a point far outside
  // moves neither, so it is named itself instead of making the others look alike.
  Vec middle{};
  for (std::size_t k = 0; k < 3; ++k) {
    std::vector<long double> coordinate;
    for (int i = 1; i <= PointTable::kControlCount; ++i) coordinate.push_back(p[i][k]);
    middle[k] = Median(coordinate);
  }
  std::array<long double, 10> distance{};
  std::vector<long double> distances;
  for (int i = 1; i <= PointTable::kControlCount; ++i) {
    distance[i] = Norm(Minus(p[i], middle));
    distances.push_back(distance[i]);
  }
  const long double spread = Median(distances);
  std::array<bool, 10> kept{};  // the points whose shape is checked
  std::vector<int> kept_points;
  for (int i = 1; i <= PointTable::kControlCount; ++i) {
    kept[i] = !(spread > 0 && distance[i] > kOutlierFactor * spread);
    if (kept[i]) {
      kept_points.push_back(i);
    } else {
      warnings.push_back({"control point " + std::to_string(i) + " lies " + Rough(distance[i]) +
                              " from the others, which lie within " + Rough(spread) +
                              " of their middle: a coordinate typed wrong, or in other units?",
                          {i}});
    }
  }
  const std::string those = kept_points.size() == PointTable::kControlCount
                                ? std::string("the nine control points")
                                : "control points " + List(kept_points);

  long double extent = 0;
  for (int i : kept_points) {
    for (int j : kept_points) extent = std::max(extent, Norm(Minus(p[i], p[j])));
  }
  const long double tolerance = extent * kDegenerateFraction;

  for (const auto& group : Groups([&](int i, int j) {
         return kept[i] && kept[j] && Norm(Minus(p[i], p[j])) <= tolerance;
       })) {
    warnings.push_back(
        {"control points " + List(group) + " have the same space coordinates", group});
  }
  const char* sides[2] = {"left", "right"};
  for (int side = 0; side < 2; ++side) {
    const auto& x = side == 0 ? t.xg : t.xd;
    const auto& y = side == 0 ? t.yg : t.yd;
    for (const auto& group : Groups([&](int i, int j) { return x[i] == x[j] && y[i] == y[j]; })) {
      warnings.push_back({"control points " + List(group) + " share one pixel of the " +
                              sides[side] + " photograph",
                          group});
    }
  }
  if (extent == 0) return warnings;  // one place for all: nothing more to say about their shape

  // The farthest pair spans the line; the point farthest from it, with them, spans the plane.
  int a = kept_points[0], b = kept_points[0];
  for (int i : kept_points) {
    for (int j : kept_points) {
      if (i < j && Norm(Minus(p[i], p[j])) == extent) a = i, b = j;
    }
  }
  const Vec axis = Minus(p[b], p[a]);
  int c = 0;
  long double off_line = 0;
  for (int i : kept_points) {
    const long double d = Norm(Cross(Minus(p[i], p[a]), axis)) / extent;
    if (d > off_line) off_line = d, c = i;
  }
  if (off_line <= tolerance) {
    warnings.push_back({those + " lie on one line: the camera cannot be located from them", {}});
    return warnings;
  }
  const Vec normal = Cross(axis, Minus(p[c], p[a]));
  long double off_plane = 0;
  for (int i : kept_points) {
    off_plane = std::max(off_plane, std::fabs(Dot(Minus(p[i], p[a]), normal)) / Norm(normal));
  }
  if (off_plane <= tolerance) {
    warnings.push_back(
        {those + " lie in one plane: the linear start needs points at different depths", {}});
  }

  return warnings;
}

std::vector<ControlPointWarning> CheckCalibrationResult(double sigma0, double focal_length) {
  std::vector<ControlPointWarning> warnings;
  char number[64];
  if (sigma0 > kMaxSigma0Pixels) {
    std::snprintf(number, sizeof number, "%.3g", sigma0);
    warnings.push_back({std::string("sigma0 is ") + number + " px, above " +
                            std::to_string(int(kMaxSigma0Pixels)) +
                            " px: the fit does not match the clicks (a point clicked at the "
                            "wrong place, or its space coordinates typed wrong)",
                        {}});
  }
  if (!(focal_length > 0)) {
    std::snprintf(number, sizeof number, "%.6g", focal_length);
    warnings.push_back({std::string("the focal length is ") + number +
                            ", not positive: the calibration has not found a real camera",
                        {}});
  }
  return warnings;
}

}  // namespace vistrel
