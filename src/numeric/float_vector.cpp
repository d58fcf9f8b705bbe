#include "numeric/float_vector.h"

#include <algorithm>

namespace vistrel {

void TFloatVector::SetDimension(std::int32_t n) {
  if (n == Dimension()) return;
  // A fresh block, as every size change allocates one; the survivors are copied over.
  std::vector<long double> block(static_cast<std::uint32_t>(n), 0.0L);
  const std::size_t keep = std::min(block.size(), data_.size());
  std::copy_n(data_.begin(), keep, block.begin());
  data_.swap(block);
}

void TFloatVector::Assign(const TFloatVector& v) {
  SetDimension(v.Dimension());
  data_ = v.data_;
}

void TFloatVector::Check(std::int32_t i) const {
  const auto u = static_cast<std::uint32_t>(i);
  if (u > data_.size() || u == 0) throw EFloatVector(FormatMessage("Element %d out of bounds", i));
}

IFloatVector CreateFloatVector(std::int64_t n) {
  const auto u = static_cast<std::uint32_t>(n);
  if (u < 1) throw EFloatVector("Dimension < 1 not allowed");
  if (u > kFloatBounds) throw EFloatVector("Dimension > TFloatVectorBounds not allowed");
  return std::make_shared<TFloatVector>(static_cast<std::int32_t>(u));
}

IFloatVector CloneVector(const IFloatVector& v) {
  IFloatVector clone = CreateFloatVector(v->Dimension());
  clone->Assign(*v);
  return clone;
}

}  // namespace vistrel
