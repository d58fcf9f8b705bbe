#include "photogrammetry/control_point_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

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
  long double extent = 0;
  for (int i = 1; i <= PointTable::kControlCount; ++i) {
    for (int j = i + 1; j <= PointTable::kControlCount; ++j) {
      extent = std::max(extent, Norm(Minus(p[i], p[j])));
    }
  }
  const long double tolerance = extent * kDegenerateFraction;

  for (const auto& group :
       Groups([&](int i, int j) { return Norm(Minus(p[i], p[j])) <= tolerance; })) {
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
  int a = 1, b = 2;
  for (int i = 1; i <= PointTable::kControlCount; ++i) {
    for (int j = i + 1; j <= PointTable::kControlCount; ++j) {
      if (Norm(Minus(p[i], p[j])) == extent) a = i, b = j;
    }
  }
  const Vec axis = Minus(p[b], p[a]);
  int c = 0;
  long double off_line = 0;
  for (int i = 1; i <= PointTable::kControlCount; ++i) {
    const long double d = Norm(Cross(Minus(p[i], p[a]), axis)) / extent;
    if (d > off_line) off_line = d, c = i;
  }
  if (off_line <= tolerance) {
    warnings.push_back(
        {"the nine control points lie on one line: the camera cannot be located "
         "from them",
         {}});
    return warnings;
  }
  const Vec normal = Cross(axis, Minus(p[c], p[a]));
  long double off_plane = 0;
  for (int i = 1; i <= PointTable::kControlCount; ++i) {
    off_plane = std::max(off_plane, std::fabs(Dot(Minus(p[i], p[a]), normal)) / Norm(normal));
  }
  if (off_plane <= tolerance) {
    warnings.push_back(
        {"the nine control points lie in one plane: the linear start needs points "
         "at different depths",
         {}});
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
