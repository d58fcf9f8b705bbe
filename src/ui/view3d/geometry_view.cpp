#include "ui/view3d/geometry_view.h"

#include <unordered_set>

namespace vistrel::view3d {

namespace {

scene::Vec3 Scaled(double x, double y, double z, double scale) {
  return {float(x * scale), float(y * scale), float(z * scale)};
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

void GeometryView::Open(const std::string& path, double scale, double ball) {
  read_failed_ = false;
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
  points_.reserve(points_.size() + data.points.size());
  for (const GeomPoint& p : data.points) AddPoint(Scaled(p.x, p.y, p.z, scale), ball);
  lines_.reserve(lines_.size() + data.lines.size());
  for (const GeomLine& l : data.lines) {
    AddLine(Scaled(l.x1, l.y1, l.z1, scale), Scaled(l.x2, l.y2, l.z2, scale));
  }
}

scene::SphereNode* GeometryView::AddPoint(scene::Vec3 position, double ball) {
  auto* sphere = frame_.AddChild<scene::SphereNode>();
  sphere->name = "Point" + std::to_string(points_.size());
  sphere->radius = float(ball);
  sphere->material.emission = kPointColor;
  sphere->position = position;
  points_.push_back(sphere);
  return sphere;
}

scene::PolylineNode* GeometryView::AddLine(scene::Vec3 a, scene::Vec3 b) {
  auto* line = frame_.AddChild<scene::PolylineNode>();
  line->name = "Line" + std::to_string(lines_.size());
  line->markers = false;
  line->vertices = {a, b};
  lines_.push_back(line);
  return line;
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
  } else {
    point->material.emission = kPointColor;
  }
}

void GeometryView::DeleteLine(scene::PolylineNode* line, const Confirm& confirm) {
  line->line_color.r = 0;  // cyan while asked
  if (confirm(kRemoveLineQuestion)) {
    line->visible = false;
  } else {
    line->line_color.r = 1;
  }
}

scene::PolylineNode* GeometryView::CreateLine() {
  if (selected1_ == nullptr || selected2_ == nullptr) return nullptr;
  return AddLine(selected1_->position, selected2_->position);
}

void GeometryView::CollectRecords(double scale, std::vector<RewritePoint>& points,
                                  std::vector<RewriteLine>& lines) const {
  // Extended precision so that the written digits are those of the float the view held.
  const long double s = scale;
  points.clear();
  lines.clear();
  points.reserve(points_.size());
  for (const scene::SphereNode* p : points_) {
    points.push_back({p->position.x / s, p->position.y / s, p->position.z / s, p->visible});
  }
  lines.reserve(lines_.size());
  for (const scene::PolylineNode* l : lines_) {
    const scene::Vec3 a = l->vertices.at(0), b = l->vertices.at(1);
    lines.push_back({a.x / s, a.y / s, a.z / s, b.x / s, b.y / s, b.z / s, l->visible});
  }
}

SaveOutcome GeometryView::Close(const std::string& path, double scale) {
  SaveOutcome outcome = SaveOutcome::kSaved;
  if (read_failed_) {
    outcome = SaveOutcome::kNotSavedAfterFailedRead;
  } else if (scale == 0) {
    outcome = SaveOutcome::kNotSavedZeroScale;
  } else {
    std::vector<RewritePoint> points;
    std::vector<RewriteLine> lines;
    CollectRecords(scale, points, lines);
    RewriteGeometry(path, points, lines);  // throws before anything below changes
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
  selected1_ = nullptr;
  selected2_ = nullptr;
}

}  // namespace vistrel::view3d
