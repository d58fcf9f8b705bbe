#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "numeric/exception.h"

namespace vistrel {

class EFloatVector : public Exception {
 public:
  using Exception::Exception;
};

// Largest dimension a vector or matrix side may have.
inline constexpr std::uint32_t kFloatBounds = 268435455;

// Dense vector of extended reals, indexed from 1, zero-filled at creation. Shared through
// IFloatVector; every element access checks its index as an unsigned 32-bit number, so a
// negative index counts as too large.
class TFloatVector {
 public:
  explicit TFloatVector(std::int32_t n) : data_(static_cast<std::size_t>(n), 0.0L) {}

  std::int32_t Dimension() const { return static_cast<std::int32_t>(data_.size()); }

  // Resizes without a range check, keeping the first min(old, n) elements; new ones are 0.
  void SetDimension(std::int32_t n);

  long double GetElement(std::int32_t i) const {
    Check(i);
    return data_[static_cast<std::uint32_t>(i) - 1];
  }
  void SetElement(std::int32_t i, long double x) {
    Check(i);
    data_[static_cast<std::uint32_t>(i) - 1] = x;
  }

  // Takes the source's dimension, then copies all its elements.
  void Assign(const TFloatVector& v);

 private:
  void Check(std::int32_t i) const;

  std::vector<long double> data_;  // element i at position i - 1
};

using IFloatVector = std::shared_ptr<TFloatVector>;

// A new zero-filled vector of n elements; throws EFloatVector for n < 1 or n > kFloatBounds
// (n is checked as an unsigned 32-bit number).
IFloatVector CreateFloatVector(std::int64_t n);
IFloatVector CloneVector(const IFloatVector& v);

}  // namespace vistrel
