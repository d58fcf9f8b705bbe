#include "numeric/symmetric_eigen.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vistrel {

namespace {
// Sweeps at most; Jacobi converges quadratically, a dozen sweeps reach rounding for n = 12.
constexpr int kMaxSweeps = 60;
}  // namespace

SymmetricEigen EigenOfSymmetric(std::vector<long double> A, std::size_t n) {
  std::vector<long double> V(n * n, 0.0L);
  for (std::size_t i = 0; i < n; ++i) V[i * n + i] = 1;
  for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
    long double off = 0, diag = 0;
    for (std::size_t p = 0; p < n; ++p) {
      diag += A[p * n + p] * A[p * n + p];
      for (std::size_t q = p + 1; q < n; ++q) off += A[p * n + q] * A[p * n + q];
    }
    if (off == 0 || off < 1e-40L * diag) break;
    for (std::size_t p = 0; p < n; ++p)
      for (std::size_t q = p + 1; q < n; ++q) {
        const long double apq = A[p * n + q];
        if (apq == 0) continue;
        const long double theta = (A[q * n + q] - A[p * n + p]) / (2 * apq);
        const long double t =
            (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        const long double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (std::size_t k = 0; k < n; ++k) {  // columns p and q
          const long double akp = A[k * n + p], akq = A[k * n + q];
          A[k * n + p] = c * akp - s * akq;
          A[k * n + q] = s * akp + c * akq;
        }
        for (std::size_t k = 0; k < n; ++k) {  // rows p and q
          const long double apk = A[p * n + k], aqk = A[q * n + k];
          A[p * n + k] = c * apk - s * aqk;
          A[q * n + k] = s * apk + c * aqk;
        }
        for (std::size_t k = 0; k < n; ++k) {
          const long double vkp = V[k * n + p], vkq = V[k * n + q];
          V[k * n + p] = c * vkp - s * vkq;
          V[k * n + q] = s * vkp + c * vkq;
        }
      }
  }
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&A, n](std::size_t a, std::size_t b) { return A[a * n + a] < A[b * n + b]; });
  SymmetricEigen e;
  for (std::size_t k : order) {
    e.values.push_back(A[k * n + k]);
    std::vector<long double> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = V[i * n + k];
    e.vectors.push_back(v);
  }
  return e;
}

}  // namespace vistrel
