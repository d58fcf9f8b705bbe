#include "photogrammetry/point_table.h"

#include <algorithm>
#include <bit>

#include "numeric/exception.h"

namespace vistrel {

PointTable::PointTable() {
  points_.resize(kFixedControls + 1);
  points_[0].name = std::string(1, 'O');
  for (int i = 1; i <= kFixedControls; ++i) {
    Point& p = points_[static_cast<std::size_t>(i)];
    p.name = std::to_string(i);
    p.kind = PointKind::kControl;
  }
}

std::string PointTable::NameProblem(const std::string& name, int except) const {
  if (name.empty()) return "a point needs a name";
  for (const char c : name)
    if (static_cast<unsigned char>(c) <= ' ') return "a point name holds no blanks";
  const int other = Find(name);
  if (other >= 0 && other != except) return "there is already a point named " + name;
  return {};
}

int PointTable::Add(const std::string& name, PointKind kind) {
  if (const std::string problem = NameProblem(name); !problem.empty()) throw Exception(problem);
  Point p;
  p.name = name;
  p.kind = kind;
  points_.push_back(std::move(p));
  return Count() - 1;
}

void PointTable::Rename(int i, const std::string& name) {
  if (i <= kFixedControls) throw Exception("point " + Name(i) + " keeps its name");
  if (const std::string problem = NameProblem(name, i); !problem.empty()) throw Exception(problem);
  Mutable(i).name = name;
}

void PointTable::SetKind(int i, PointKind kind) {
  if (i == kObservation && kind != PointKind::kObject)
    throw Exception("the observation point stays an object point");
  if (i != kObservation && i <= kFixedControls && kind == PointKind::kObject)
    throw Exception("control point " + Name(i) + " has known coordinates");
  Mutable(i).kind = kind;
}

void PointTable::Remove(int i) {
  if (i <= kFixedControls) throw Exception("point " + Name(i) + " cannot be removed");
  points_.erase(points_.begin() + i);
}

int PointTable::Find(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (At(i).name == name) return i;
  return -1;
}

std::vector<int> PointTable::IndicesOf(PointKind kind) const {
  std::vector<int> indices;
  for (int i = 0; i < Count(); ++i)
    if (At(i).kind == kind) indices.push_back(i);
  return indices;
}

bool operator==(const PointTable& a, const PointTable& b) {
  const auto same = [](double u, double v) {
    return std::bit_cast<std::uint64_t>(u) == std::bit_cast<std::uint64_t>(v);
  };
  return std::equal(a.points_.begin(), a.points_.end(), b.points_.begin(), b.points_.end(),
                    [&same](const PointTable::Point& p, const PointTable::Point& q) {
                      return p.name == q.name && p.kind == q.kind && same(p.left.x, q.left.x) &&
                             same(p.left.y, q.left.y) && same(p.right.x, q.right.x) &&
                             same(p.right.y, q.right.y) && same(p.space.X, q.space.X) &&
                             same(p.space.Y, q.space.Y) && same(p.space.Z, q.space.Z) &&
                             p.color == q.color && p.stored == q.stored;
                    });
}

}  // namespace vistrel
