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

  // The middle of the set and its typical distance from it, both medians: a point far outside
  // moves neither, so it is named itself instead of making the others look alike. The shape
  // checks below look at the other points only.
  std::vector<bool> kept(static_cast<std::size_t>(count), true);
  std::vector<int> shape;  // positions of the points whose shape is checked
  if (count > 0) {
    Vec middle{};
    for (std::size_t axis = 0; axis < 3; ++axis) {
      std::vector<long double> coordinate;
      for (const Vec& v : p) coordinate.push_back(v[axis]);
      middle[axis] = Median(coordinate);
    }
    std::vector<long double> distance;
    for (const Vec& v : p) distance.push_back(Norm(Minus(v, middle)));
    const long double spread = Median(distance);
    for (int k = 0; k < count; ++k) {
      const long double d = distance[static_cast<std::size_t>(k)];
      if (spread > 0 && d > kOutlierFactor * spread) {
        kept[static_cast<std::size_t>(k)] = false;
        warnings.push_back({"control point " + t.Name(at(k)) + " lies " + Rough(d) +
                                " from the others, which lie within " + Rough(spread) +
                                " of their middle: a coordinate typed wrong, or in other units?",
                            {at(k)}});
      } else {
        shape.push_back(k);
      }
    }
  }
  const auto in_shape = [&kept](int k) { return bool(kept[static_cast<std::size_t>(k)]); };

  long double extent = 0;
  for (const int i : shape) {
    for (const int j : shape) extent = std::max(extent, Norm(Minus(P(i), P(j))));
  }
  const long double tolerance = extent * kDegenerateFraction;

  for (const auto& group : Groups(count, [&](int i, int j) {
         return in_shape(i) && in_shape(j) && Norm(Minus(P(i), P(j))) <= tolerance;
       })) {
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
  if (extent == 0 || shape.size() < 3) return warnings;  // nothing more to say about their shape

  std::string those = "the " + (count == 9 ? std::string("nine") : std::to_string(count));
  if (static_cast<int>(shape.size()) < count) {
    those = "control points";
    for (std::size_t k = 0; k < shape.size(); ++k) {
      those += k == 0 ? " " : k + 1 == shape.size() ? " and " : ", ";
      those += t.Name(at(shape[k]));
    }
  } else {
    those += " control points";
  }
  // The farthest pair spans the line; the point farthest from it, with them, spans the plane.
  int a = shape[0], b = shape[1];
  for (const int i : shape) {
    for (const int j : shape) {
      if (i < j && Norm(Minus(P(i), P(j))) == extent) a = i, b = j;
    }
  }
  const Vec axis = Minus(P(b), P(a));
  int c = 0;
  long double off_line = 0;
  for (const int i : shape) {
    const long double d = Norm(Cross(Minus(P(i), P(a)), axis)) / extent;
    if (d > off_line) off_line = d, c = i;
  }
  if (off_line <= tolerance) {
    warnings.push_back({those + " lie on one line: the camera cannot be located from them", {}});
    return warnings;
  }
  const Vec normal = Cross(axis, Minus(P(c), P(a)));
  long double off_plane = 0;
  for (const int i : shape) {
    off_plane = std::max(off_plane, std::fabs(Dot(Minus(P(i), P(a)), normal)) / Norm(normal));
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
