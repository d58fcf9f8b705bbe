#include "ui/view3d/overlays.h"

#include <algorithm>
#include <cmath>

#include "numeric/text_format.h"

namespace vistrel::view3d {

std::vector<scene::Vec3> DropLineEnds(const std::vector<scene::SphereNode*>& points) {
  std::vector<scene::Vec3> ends;
  ends.reserve(points.size() * 2);
  for (const scene::SphereNode* p : points) {
    if (!p->visible) continue;
    ends.push_back(p->position);
    ends.push_back({p->position.x, p->position.y, 0});
  }
  return ends;
}

GroundGrid MakeGroundGrid(bool has_data, scene::Vec3 centre, double radius, double scale) {
  GroundGrid grid;
  scale = std::abs(scale);
  if (!(scale > 0) || !std::isfinite(scale)) return grid;
  const double extent = has_data ? std::max(radius, 1e-6) : 1.0;  // scene units
  const double step_file = std::pow(10.0, std::floor(std::log10(extent / scale / 2)));
  const double step = step_file * scale;
  const scene::Vec3 c = has_data ? centre : scene::Vec3{};
  const double x0 = std::round(c.x / step) * step, y0 = std::round(c.y / step) * step;
  if (!std::isfinite(step) || !(step > 0) || !std::isfinite(x0) || !std::isfinite(y0)) return grid;
  const int half = int(std::min<double>(kMaxGridLines / 2, std::ceil(extent / step) + 1));
  const float lo_x = float(x0 - half * step), hi_x = float(x0 + half * step);
  const float lo_y = float(y0 - half * step), hi_y = float(y0 + half * step);
  grid.ends.reserve(size_t(2 * half + 1) * 4);
  for (int i = -half; i <= half; ++i) {
    const float a = float(x0 + i * step), b = float(y0 + i * step);
    grid.ends.insert(grid.ends.end(), {{a, lo_y, 0}, {a, hi_y, 0}, {lo_x, b, 0}, {hi_x, b, 0}});
  }
  grid.step_file = step_file;
  return grid;
}

std::string GridCaption(double step_file, const GeomPoint& origin) {
  if (!(step_file > 0)) return {};
  std::string text = "Grid : " + FormatGeneral(step_file) + " file units";
  if (origin.x != 0 || origin.y != 0 || origin.z != 0) {
    text += "   Origin of the view : X " + FormatGeneral(origin.x) + "  Y " +
            FormatGeneral(origin.y) + "  Z " + FormatGeneral(origin.z);
  }
  return text;
}

std::string PointLabel(int mode, std::size_t index, const GeomPoint& r) {
  if (mode == 1) return std::to_string(index);
  return std::to_string(index) + " (" + FormatGeneral(r.x) + ", " + FormatGeneral(r.y) + ", " +
         FormatGeneral(r.z) + ")";
}

std::string MeasureLine(const std::string& readout) {
  return readout.empty() ? "Select points with the right button to measure them" : readout;
}

}  // namespace vistrel::view3d
