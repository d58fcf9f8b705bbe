#include "ui/view3d/geometry_view.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <unordered_set>

#include "numeric/text_format.h"
#include "project/safe_write.h"

namespace vistrel::view3d {

namespace {

// Shifted to the local origin in double precision, then scaled, then rounded to single.
scene::Vec3 Scaled(double x, double y, double z, const GeomPoint& origin, double scale) {
  return {float((x - origin.x) * scale), float((y - origin.y) * scale),
          float((z - origin.z) * scale)};
}

// The kind of a picked node is told by its name; the cast only guards against a foreign node that
// happens to carry the word.
scene::SphereNode* AsPoint(scene::Node* node) {
  if (node == nullptr || node->name.find("Point") == std::string::npos) return nullptr;
  return dynamic_cast<scene::SphereNode*>(node);
}
scene::PolylineNode* AsLine(scene::Node* node) {
  if (node == nullptr || node->name.find("Line") == std::string::npos) return nullptr;
  return dynamic_cast<scene::PolylineNode*>(node);
}

}  // namespace

EditMode ModeFromButtons(bool select_point_checked, bool delete_line_checked) {
  if (select_point_checked) return EditMode::kSelectPoint;
  if (delete_line_checked) return EditMode::kDeleteLine;
  return EditMode::kDeletePoint;
}

namespace {
constexpr double kLocalOriginBeyond = 100;
}  // namespace

GeomPoint LocalOrigin(const GeomData& data, double least_unit) {
  double lo[3], hi[3];
  bool any = false;
  auto add = [&](double x, double y, double z) {
    const double v[3] = {x, y, z};
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return;
    for (int i = 0; i < 3; ++i) {
      lo[i] = any ? std::min(lo[i], v[i]) : v[i];
      hi[i] = any ? std::max(hi[i], v[i]) : v[i];
    }
    any = true;
  };
  for (const GeomPoint& p : data.points) add(p.x, p.y, p.z);
  for (const GeomLine& l : data.lines) {
    add(l.x1, l.y1, l.z1);
    add(l.x2, l.y2, l.z2);
  }
  if (!any) return {};
  double extent = std::isfinite(least_unit) && least_unit > 0 ? least_unit : 1;
  for (int i = 0; i < 3; ++i) extent = std::max(extent, hi[i] - lo[i]);
  const double unit = std::pow(10.0, std::ceil(std::log10(extent)));
  double origin[3];
  for (int i = 0; i < 3; ++i) {
    const double centre = lo[i] / 2 + hi[i] / 2;  // halves first: no overflow near the largest
    // Within a hundred extents of the file's origin single precision is fine (an error of a
    // millionth of the extent), and the ground stays the file's plane z = 0.
    const double rounded = std::round(centre / unit) * unit;
    origin[i] =
        std::isfinite(rounded) && std::fabs(centre) > kLocalOriginBeyond * unit ? rounded : 0;
  }
  return {origin[0], origin[1], origin[2]};
}

void GeometryView::Open(const std::string& path, double scale, double ball) {
  read_failed_ = false;
  done_.clear();
  undone_.clear();
  GeomData data;
  try {
    data = ReadGeometry(path);
  } catch (...) {
    read_failed_ = true;
    throw;
  }
  Build(data, scale, ball);
}

void GeometryView::Build(const GeomData& data, double scale, double ball) {
  scale_ = scale;
  // A ball's radius in file units is the least extent worth a shift: one ball never moves.
  origin_ = LocalOrigin(data, scale != 0 ? std::abs(ball / scale) : 1);
  points_.reserve(points_.size() + data.points.size());
  point_records_.reserve(points_.capacity());
  for (const GeomPoint& p : data.points) AddPoint(p, scale, ball);
  lines_.reserve(lines_.size() + data.lines.size());
  line_records_.reserve(lines_.capacity());
  for (const GeomLine& l : data.lines) AddLine(l, scale);
}

scene::SphereNode* GeometryView::AddPoint(const GeomPoint& record, double scale, double ball) {
  auto* sphere = frame_.AddChild<scene::SphereNode>();
  sphere->name = "Point" + std::to_string(points_.size());
  sphere->radius = float(ball);
  sphere->material.emission = kPointColor;
  sphere->position = Scaled(record.x, record.y, record.z, origin_, scale);
  points_.push_back(sphere);
  point_records_.push_back(record);
  return sphere;
}

scene::PolylineNode* GeometryView::AddLine(const GeomLine& record, double scale) {
  auto* line = frame_.AddChild<scene::PolylineNode>();
  line->name = "Line" + std::to_string(lines_.size());
  line->markers = false;
  line->vertices = {Scaled(record.x1, record.y1, record.z1, origin_, scale),
                    Scaled(record.x2, record.y2, record.z2, origin_, scale)};
  lines_.push_back(line);
  line_records_.push_back(record);
  return line;
}

int GeometryView::IndexOf(const scene::SphereNode* point) const {
  const auto it = std::find(points_.begin(), points_.end(), point);
  return it == points_.end() ? -1 : int(it - points_.begin());
}

const GeomPoint* GeometryView::RecordOf(const scene::SphereNode* point) const {
  const int i = IndexOf(point);
  return i < 0 ? nullptr : &point_records_[size_t(i)];
}

void GeometryView::RightClick(EditMode mode, scene::Node* picked, const Confirm& confirm) {
  switch (mode) {
    case EditMode::kSelectPoint:
      if (auto* point = AsPoint(picked)) SelectPoint(point);
      break;
    case EditMode::kDeleteLine:
      if (auto* line = AsLine(picked)) DeleteLine(line, confirm);
      break;
    case EditMode::kDeletePoint:
      if (auto* point = AsPoint(picked)) DeletePoint(point, confirm);
      break;
  }
}

void GeometryView::SelectPoint(scene::SphereNode* point) {
  if (point == selected1_) {
    point->material.emission = kPointColor;
    selected1_ = nullptr;
  } else if (point == selected2_) {
    point->material.emission = kPointColor;
    selected2_ = nullptr;
  } else if (selected1_ != nullptr && selected2_ != nullptr) {
    // At most two points are selected.
  } else {
    (selected1_ != nullptr ? selected2_ : selected1_) = point;
    point->material.emission = kSelectedColor;
  }
}

void GeometryView::DeletePoint(scene::SphereNode* point, const Confirm& confirm) {
  point->material.emission = kSelectedColor;
  if (confirm(kRemovePointQuestion)) {
    // Hidden, not removed: lines ending here stay, and a selected point still ends new lines.
    point->visible = false;
    Record(point, false);
  } else {
    point->material.emission = kPointColor;
  }
}

void GeometryView::DeleteLine(scene::PolylineNode* line, const Confirm& confirm) {
  line->line_color.r = 0;  // cyan while asked
  if (confirm(kRemoveLineQuestion)) {
    line->visible = false;
    Record(line, false);
  } else {
    line->line_color.r = 1;
  }
}

scene::PolylineNode* GeometryView::CreateLine() {
  if (selected1_ == nullptr || selected2_ == nullptr) return nullptr;
  const GeomPoint a = *RecordOf(selected1_), b = *RecordOf(selected2_);
  scene::PolylineNode* line = AddLine({a.x, a.y, a.z, b.x, b.y, b.z}, scale_);
  Record(line, true);
  return line;
}

void GeometryView::Record(scene::Node* node, bool shown) {
  done_.push_back({node, shown});
  undone_.clear();
}

bool GeometryView::Undo() {
  if (done_.empty()) return false;
  const Edit edit = done_.back();
  done_.pop_back();
  edit.node->visible = !edit.shown;
  if (auto* line = dynamic_cast<scene::PolylineNode*>(edit.node)) line->line_color.r = 1;
  if (auto* point = dynamic_cast<scene::SphereNode*>(edit.node)) {
    const bool selected = point == selected1_ || point == selected2_;
    point->material.emission = selected ? kSelectedColor : kPointColor;
  }
  undone_.push_back(edit);
  return true;
}

bool GeometryView::Redo(scene::PolylineNode** line) {
  if (line != nullptr) *line = nullptr;
  if (undone_.empty()) return false;
  const Edit edit = undone_.back();
  undone_.pop_back();
  edit.node->visible = edit.shown;
  if (line != nullptr && edit.shown) *line = dynamic_cast<scene::PolylineNode*>(edit.node);
  done_.push_back(edit);
  return true;
}

std::string GeometryView::SelectionReadout() const {
  std::string text;
  const GeomPoint* records[2] = {nullptr, nullptr};
  int n = 0;
  for (const scene::SphereNode* point : {selected1_, selected2_}) {
    if (point == nullptr) continue;
    const GeomPoint& p = *RecordOf(point);
    records[n++] = &p;
    if (!text.empty()) text += "    ";
    text += "Point " + std::to_string(IndexOf(point)) + ": X " + FormatGeneral(p.x) + "  Y " +
            FormatGeneral(p.y) + "  Z " + FormatGeneral(p.z);
  }
  if (n == 2) {
    // The coordinates carry 15 significant digits; their differences are good to the decimal
    // place of the largest one's 15th digit and no further, so they are rounded there (the
    // doubles' own binary noise would otherwise show as digits).
    long double largest = 0;
    for (const GeomPoint* p : records) {
      for (const double v : {p->x, p->y, p->z})
        largest = std::max(largest, std::fabs((long double)v));
    }
    const long double quantum =
        largest > 0 ? std::pow(10.0L, std::floor(std::log10(largest)) - 14) : 1;
    auto rounded = [quantum](long double v) { return std::round(v / quantum) * quantum; };
    const long double dx = rounded((long double)records[1]->x - records[0]->x);
    const long double dy = rounded((long double)records[1]->y - records[0]->y);
    const long double dz = rounded((long double)records[1]->z - records[0]->z);
    text += "    distance " + FormatGeneral(rounded(std::sqrt(dx * dx + dy * dy + dz * dz))) +
            "  dX " + FormatGeneral(dx) + "  dY " + FormatGeneral(dy) + "  dZ " + FormatGeneral(dz);
  }
  return text;
}

bool GeometryView::VisibleBounds(scene::Vec3& centre, float& radius) const {
  const scene::Mat4 frame = frame_.AbsoluteMatrix();
  scene::Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
  float pad = 0;
  bool any = false;
  auto add = [&](scene::Vec3 local, float r) {
    const scene::Vec3 p = scene::TransformPoint(local, frame);
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
    for (int i = 0; i < 3; ++i) {
      lo[i] = std::min(lo[i], p[i]);
      hi[i] = std::max(hi[i], p[i]);
    }
    pad = std::max(pad, r);
    any = true;
  };
  for (const scene::SphereNode* p : points_) {
    if (p->visible) add(p->position, p->radius);
  }
  for (const scene::PolylineNode* l : lines_) {
    if (!l->visible) continue;
    for (const scene::Vec3& v : l->vertices) add(v, 0);
  }
  if (!any) return false;
  centre = (lo + hi) * 0.5f;
  radius = scene::Length(hi - lo) * 0.5f + pad;
  return std::isfinite(radius);
}

int GeometryView::UndrawableCount() const {
  auto finite = [](const scene::Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
  };
  int count = 0;
  for (const scene::SphereNode* p : points_) count += p->visible && !finite(p->position);
  for (const scene::PolylineNode* l : lines_) {
    count += l->visible && !std::all_of(l->vertices.begin(), l->vertices.end(), finite);
  }
  return count;
}

GeomData GeometryView::VisibleData() const {
  GeomData data;
  for (size_t i = 0; i < points_.size(); ++i) {
    if (points_[i]->visible) data.points.push_back(point_records_[i]);
  }
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i]->visible) data.lines.push_back(line_records_[i]);
  }
  return data;
}

SaveOutcome GeometryView::Close(const std::string& path) {
  SaveOutcome outcome = SaveOutcome::kSaved;
  if (read_failed_) {
    outcome = SaveOutcome::kNotSavedAfterFailedRead;
  } else if (done_.empty()) {
    // Viewing alone never rewrites: the file keeps its own digits and layout.
    outcome = SaveOutcome::kUnchanged;
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) ReplaceFile(path, "");
  } else {
    const GeomData data = VisibleData();
    auto finite = [](std::initializer_list<double> values) {
      return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
    };
    const bool all_finite =
        std::all_of(data.points.begin(), data.points.end(),
                    [&](const GeomPoint& p) {
                      return finite({p.x, p.y, p.z});
                    }) &&
        std::all_of(data.lines.begin(), data.lines.end(), [&](const GeomLine& l) {
          return finite({l.x1, l.y1, l.z1, l.x2, l.y2, l.z2});
        });
    if (all_finite) {
      RewriteGeometryAsRead(path, data);  // throws before anything below changes
    } else {
      outcome = SaveOutcome::kNotSavedNonFinite;  // the reader would refuse the file
    }
  }
  Clear();
  read_failed_ = false;
  return outcome;
}

void GeometryView::Clear() {
  std::unordered_set<const scene::Node*> doomed(lines_.begin(), lines_.end());
  doomed.insert(points_.begin(), points_.end());
  frame_.DestroyChildren(doomed);
  lines_.clear();
  points_.clear();
  line_records_.clear();
  point_records_.clear();
  selected1_ = nullptr;
  selected2_ = nullptr;
  done_.clear();
  undone_.clear();
  origin_ = {};
}

}  // namespace vistrel::view3d
