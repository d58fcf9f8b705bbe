#include "photogrammetry/point_table.h"

#include <algorithm>
#include <bit>

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
