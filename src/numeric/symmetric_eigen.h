#pragma once

#include <cstddef>
#include <vector>

namespace vistrel {

// Eigenvalues and eigenvectors of a symmetric n x n matrix (row-major), by cyclic Jacobi
// rotations in extended precision. Eigenvalues ascending; vectors[k] (unit length) belongs to
// values[k].
struct SymmetricEigen {
  std::vector<long double> values;
  std::vector<std::vector<long double>> vectors;
};
SymmetricEigen EigenOfSymmetric(std::vector<long double> A, std::size_t n);

}  // namespace vistrel
