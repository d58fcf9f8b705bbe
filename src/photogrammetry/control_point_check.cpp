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

// Groups of points (two or more) for which `same` holds, each group ascending.
template <typename Same>
std::vector<std::vector<int>> Groups(int count, Same same) {
  std::vector<std::vector<int>> groups;
  std::vector<bool> taken(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    if (taken[static_cast<std::size_t>(i)]) continue;
    std::vector<int> group{i};
    for (int j = i + 1; j < count; ++j) {
      if (!taken[static_cast<std::size_t>(j)] && same(i, j)) {
        group.push_back(j);
        taken[static_cast<std::size_t>(j)] = true;
      }
    }
    if (group.size() > 1) groups.push_back(group);
  }
  return groups;
}

}  // namespace

std::vector<ControlPointWarning> CheckControlPoints(const PointTable& t) {
  std::vector<ControlPointWarning> warnings;
  const std::vector<int> controls = t.ControlIndices();
  const auto count = static_cast<int>(controls.size());
  const auto at = [&controls](int k) { return controls[static_cast<std::size_t>(k)]; };
  // Groups hold positions in `controls`; warnings name the points by name and table index.
  const auto warn = [&](const std::string& what, const std::vector<int>& group) {
    std::vector<int> indices;
    std::string names;
    for (std::size_t k = 0; k < group.size(); ++k) {
      indices.push_back(at(group[k]));
      if (k > 0) names += k + 1 == group.size() ? " and " : ", ";
      names += t.Name(at(group[k]));
    }
    warnings.push_back({"control points " + names + what, indices});
  };
  std::vector<Vec> p;
  for (const int i : controls) {
    const SpacePoint s = t.Space(i);
    p.push_back({s.X, s.Y, s.Z});
  }
  const auto P = [&p](int k) -> const Vec& { return p[static_cast<std::size_t>(k)]; };
  long double extent = 0;
  for (int i = 0; i < count; ++i) {
    for (int j = i + 1; j < count; ++j) extent = std::max(extent, Norm(Minus(P(i), P(j))));
  }
  const long double tolerance = extent * kDegenerateFraction;

  for (const auto& group :
       Groups(count, [&](int i, int j) { return Norm(Minus(P(i), P(j))) <= tolerance; })) {
    warn(" have the same space coordinates", group);
  }
  const char* sides[2] = {"left", "right"};
  for (int side = 0; side < 2; ++side) {
    const auto same_pixel = [&](int i, int j) {
      return t.Image(at(i), side == 0) == t.Image(at(j), side == 0);
    };
    for (const auto& group : Groups(count, same_pixel)) {
      warn(std::string(" share one pixel of the ") + sides[side] + " photograph", group);
    }
  }
  if (extent == 0 || count < 3) return warnings;  // nothing more to say about their shape

  const std::string all = count == 9 ? "nine" : std::to_string(count);
  // The farthest pair spans the line; the point farthest from it, with them, spans the plane.
  int a = 0, b = 1;
  for (int i = 0; i < count; ++i) {
    for (int j = i + 1; j < count; ++j) {
      if (Norm(Minus(P(i), P(j))) == extent) a = i, b = j;
    }
  }
  const Vec axis = Minus(P(b), P(a));
  int c = 0;
  long double off_line = 0;
  for (int i = 0; i < count; ++i) {
    const long double d = Norm(Cross(Minus(P(i), P(a)), axis)) / extent;
    if (d > off_line) off_line = d, c = i;
  }
  if (off_line <= tolerance) {
    warnings.push_back({"the " + all +
                            " control points lie on one line: the camera cannot be located "
                            "from them",
                        {}});
    return warnings;
  }
  const Vec normal = Cross(axis, Minus(P(c), P(a)));
  long double off_plane = 0;
  for (int i = 0; i < count; ++i) {
    off_plane = std::max(off_plane, std::fabs(Dot(Minus(P(i), P(a)), normal)) / Norm(normal));
  }
  if (off_plane <= tolerance) {
    warnings.push_back({"the " + all +
                            " control points lie in one plane: the linear start needs points "
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
