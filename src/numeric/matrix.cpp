#include "numeric/matrix.h"

#include <algorithm>
#include <cmath>

namespace vistrel {

namespace {

long double ComputeMachineEpsilon() {
  volatile long double e = 1.0L;
  volatile long double sum;
  do {
    e = e / 2.0L;
    sum = 1.0L + e;
  } while (sum != 1.0L);
  return 2.0L * e;
}

void CheckSide(std::int64_t n, const char* below, const char* above) {
  const auto u = static_cast<std::uint32_t>(n);
  if (u < 1) throw EFloatMatrix(below);
  if (u > kFloatBounds) throw EFloatMatrix(above);
}

}  // namespace

long double MachineEpsilon() {
  static const long double eps = ComputeMachineEpsilon();
  return eps;
}

long double SingularThreshold() {
  static const long double threshold = MachineEpsilon() * 3.0L;
  return threshold;
}

std::size_t TMatrix::Index(std::int32_t r, std::int32_t c) const {
  const auto ur = static_cast<std::uint32_t>(r);
  const auto uc = static_cast<std::uint32_t>(c);
  if (ur > static_cast<std::uint32_t>(rows_))
    throw EFloatMatrix(FormatMessage("Row %d out of bounds", r));
  if (uc > static_cast<std::uint32_t>(cols_))
    throw EFloatMatrix(FormatMessage("Column %d out of bounds", c));
  if (ur == 0) throw EFloatMatrix(FormatMessage("Row %d out of bounds", r));
  if (uc == 0) throw EFloatMatrix(FormatMessage("Column %d out of bounds", c));
  return static_cast<std::size_t>(ur - 1) * cols_ + (uc - 1);
}

void TMatrix::SetRowCount(std::int32_t n) {
  if (n == rows_) return;
  const auto u = static_cast<std::uint32_t>(n);
  if (u < 1 || u > kFloatBounds)
    throw EFloatMatrix(FormatMessage("Cannot create matrix with %d rows", n));
  std::vector<long double> block(static_cast<std::size_t>(u) * cols_, 0.0L);
  std::copy_n(data_.begin(), std::min(block.size(), data_.size()), block.begin());
  data_.swap(block);
  rows_ = n;
}

void TMatrix::SetColCount(std::int32_t n) {
  if (n == cols_) return;
  const auto u = static_cast<std::uint32_t>(n);
  if (u < 1 || u > kFloatBounds)
    throw EFloatMatrix(FormatMessage("Cannot create matrix with %d columns", n));
  std::vector<long double> block(static_cast<std::size_t>(rows_) * u, 0.0L);
  const std::int32_t keep = std::min(cols_, n);
  for (std::int32_t r = 0; r < rows_; ++r) {
    std::copy_n(data_.begin() + static_cast<std::size_t>(r) * cols_, keep,
                block.begin() + static_cast<std::size_t>(r) * u);
  }
  data_.swap(block);
  cols_ = n;
}

void TMatrix::SetSize(std::int32_t rows, std::int32_t cols) {
  SetRowCount(rows);
  SetColCount(cols);
}

void TMatrix::Assign(const TMatrix& m) {
  SetSize(m.rows_, m.cols_);
  data_ = m.data_;
}

void TMatrix::SetIdentity() {
  std::fill(data_.begin(), data_.end(), 0.0L);
  const std::int32_t n = std::min(rows_, cols_);
  for (std::int32_t i = 0; i < n; ++i) data_[static_cast<std::size_t>(i) * cols_ + i] = 1.0L;
}

void TMatrix::Scale(long double x) {
  for (long double& e : data_) e = x * e;
}

void TMatrix::SwapRows(std::int32_t r1, std::int32_t r2) {
  const auto u1 = static_cast<std::uint32_t>(r1);
  const auto u2 = static_cast<std::uint32_t>(r2);
  if (u1 == 0 || u1 > static_cast<std::uint32_t>(rows_)) throw Exception("r1 is out of bounds");
  if (u2 == 0 || u2 > static_cast<std::uint32_t>(rows_)) throw Exception("r2 is out of bounds");
  std::swap_ranges(data_.begin() + static_cast<std::size_t>(u1 - 1) * cols_,
                   data_.begin() + static_cast<std::size_t>(u1) * cols_,
                   data_.begin() + static_cast<std::size_t>(u2 - 1) * cols_);
}

IFloatVector TMatrix::MultiplyVector(const TFloatVector& v) const {
  if (v.Dimension() != cols_) throw Exception("Dimension of v does not match ColCount");
  IFloatVector result = CreateFloatVector(rows_);
  MultiplyVectorInto(v, *result);
  return result;
}

void TMatrix::MultiplyVectorInto(const TFloatVector& v, TFloatVector& result) const {
  if (v.Dimension() != cols_) throw Exception("Dimension of v does not match ColCount");
  if (result.Dimension() != rows_) throw Exception("Dimension of result does not match RowCount");
  for (std::int32_t r = 1; r <= rows_; ++r) {
    long double sum = 0.0L;
    const long double* row = &data_[static_cast<std::size_t>(r - 1) * cols_];
    for (std::int32_t c = 1; c <= cols_; ++c) sum += row[c - 1] * v.GetElement(c);
    result.SetElement(r, sum);
  }
}

void TMatrix::Invert() {
  if (rows_ != cols_) throw EFloatMatrix("Invert called on non square matrix");
  const std::int32_t n = rows_;
  TMatrix w(*this);
  SetIdentity();
  long double* W = w.data_.data();
  long double* M = data_.data();
  auto at = [n](long double* base, std::int32_t r, std::int32_t c) -> long double& {
    return base[static_cast<std::size_t>(r - 1) * n + (c - 1)];
  };
  const long double threshold = SingularThreshold();
  for (std::int32_t k = 1; k <= n; ++k) {
    long double best = 0.0L;
    std::int32_t p = k;
    for (std::int32_t i = k; i <= n; ++i) {
      if (std::fabs(at(W, i, k)) > std::fabs(best)) {
        best = at(W, i, k);
        p = i;
      }
    }
    if (threshold > std::fabs(best)) throw EFloatMatrix("Invert: Singular matrix");
    if (p != k) {
      w.SwapRows(k, p);
      SwapRows(k, p);
    }
    for (std::int32_t t = 1; t <= n; ++t) {
      at(W, k, t) = at(W, k, t) / best;
      at(M, k, t) = at(M, k, t) / best;
    }
    for (std::int32_t j = 1; j <= n; ++j) {
      if (j == k) continue;
      const long double f = at(W, j, k);
      for (std::int32_t t = 1; t <= n; ++t) at(W, j, t) = at(W, j, t) - f * at(W, k, t);
      for (std::int32_t t = 1; t <= n; ++t) at(M, j, t) = at(M, j, t) - f * at(M, k, t);
    }
  }
}

long double TMatrix::Det() const {
  if (rows_ != cols_) throw EFloatMatrix("Det called on non square matrix");
  const std::int32_t n = rows_;
  if (n == 1) return data_[0];
  long double sum = 0.0L;
  for (std::int32_t i = 1; i <= n; ++i) {
    TMatrix minor(n - 1, n - 1);
    for (std::int32_t r = 2; r <= n; ++r) {
      std::int32_t mc = 1;
      for (std::int32_t c = 1; c <= n; ++c) {
        if (c == i) continue;
        minor.SetElement(r - 1, mc++, GetElement(r, c));
      }
    }
    const long double sign = (i % 2 == 1) ? 1.0L : -1.0L;
    sum += sign * GetElement(1, i) * minor.Det();
  }
  return sum;
}

IFloatMatrix CreateMatrix(std::int64_t rows, std::int64_t cols) {
  CheckSide(rows, "RowCount < 1 not allowed", "RowCount > TFloatMatrixBounds not allowed");
  CheckSide(cols, "ColCount < 1 not allowed", "ColCount > TFloatMatrixBounds not allowed");
  return std::make_shared<TMatrix>(static_cast<std::int32_t>(rows),
                                   static_cast<std::int32_t>(cols));
}

IFloatMatrix CloneMatrix(const IFloatMatrix& m) {
  IFloatMatrix clone = CreateMatrix(m->RowCount(), m->ColCount());
  clone->Assign(*m);
  return clone;
}

}  // namespace vistrel
