#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "numeric/exception.h"
#include "numeric/float_vector.h"

namespace vistrel {

class EFloatMatrix : public Exception {
 public:
  using Exception::Exception;
};

// Machine epsilon of the extended type, found by halving until 1 + e rounds to 1 (2^-63), and
// the absolute pivot threshold of Invert derived from it (3 x MachineEpsilon, about 3.25E-19).
long double MachineEpsilon();
long double SingularThreshold();

// Dense row-major matrix of extended reals, indexed from 1, zero-filled at creation.
class TMatrix {
 public:
  TMatrix(std::int32_t rows, std::int32_t cols)
      : rows_(rows), cols_(cols), data_(static_cast<std::size_t>(rows) * cols, 0.0L) {}

  std::int32_t RowCount() const { return rows_; }
  std::int32_t ColCount() const { return cols_; }

  // Checks, in this order: row too large, column too large, row 0, column 0.
  long double GetElement(std::int32_t r, std::int32_t c) const { return data_[Index(r, c)]; }
  void SetElement(std::int32_t r, std::int32_t c, long double x) { data_[Index(r, c)] = x; }

  // Resizing keeps the surviving elements in place and zero-fills the new ones.
  void SetRowCount(std::int32_t n);
  void SetColCount(std::int32_t n);
  void SetSize(std::int32_t rows, std::int32_t cols);

  void Assign(const TMatrix& m);
  void SetIdentity();
  void Scale(long double x);
  void SwapRows(std::int32_t r1, std::int32_t r2);

  // result[r] = sum over c of M(r, c) * v[c], summed in column order in extended precision.
  IFloatVector MultiplyVector(const TFloatVector& v) const;
  void MultiplyVectorInto(const TFloatVector& v, TFloatVector& result) const;

  // In-place Gauss-Jordan inverse with partial pivoting (topmost row wins among equal
  // magnitudes). Throws EFloatMatrix "Invert: Singular matrix" when a pivot's magnitude is below
  // SingularThreshold; the matrix then holds the partly transformed identity.
  void Invert();

  // Determinant by expansion along the first row.
  long double Det() const;

 private:
  std::size_t Index(std::int32_t r, std::int32_t c) const;

  std::int32_t rows_;
  std::int32_t cols_;
  std::vector<long double> data_;  // element (r, c) at (r - 1) * cols_ + (c - 1)
};

using IFloatMatrix = std::shared_ptr<TMatrix>;

// A new zero-filled matrix; rows are checked before columns, each as an unsigned 32-bit number.
IFloatMatrix CreateMatrix(std::int64_t rows, std::int64_t cols);
IFloatMatrix CloneMatrix(const IFloatMatrix& m);

}  // namespace vistrel
