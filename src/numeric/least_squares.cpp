#include "numeric/least_squares.h"

#include <algorithm>
#include <cmath>

#include "numeric/fpu.h"

namespace vistrel {

namespace {

// Sum of squares at x, or nothing when the residuals fault there.
bool Cost(const ResidualFunction& f, std::span<const long double> x, std::vector<long double>& r,
          long double& cost) {
  FpuClear();
  f(x, r);
  long double s = 0;
  for (long double v : r) s += v * v;
  if (FpuFaults() != kFpuNone || !std::isfinite(s)) {
    FpuClear();
    return false;
  }
  cost = s;
  return true;
}

// Solves A d = b for symmetric positive definite A (n x n, row-major) by Cholesky; false when
// A is not positive definite to working precision.
bool SolveCholesky(std::vector<long double> A, std::vector<long double>& d, std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) {
    long double s = A[j * n + j];
    for (std::size_t k = 0; k < j; ++k) s -= A[j * n + k] * A[j * n + k];
    if (!(s > 0)) return false;
    const long double l = std::sqrt(s);
    A[j * n + j] = l;
    for (std::size_t i = j + 1; i < n; ++i) {
      long double t = A[i * n + j];
      for (std::size_t k = 0; k < j; ++k) t -= A[i * n + k] * A[j * n + k];
      A[i * n + j] = t / l;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    long double t = d[i];
    for (std::size_t k = 0; k < i; ++k) t -= A[i * n + k] * d[k];
    d[i] = t / A[i * n + i];
  }
  for (std::size_t i = n; i-- > 0;) {
    long double t = d[i];
    for (std::size_t k = i + 1; k < n; ++k) t -= A[k * n + i] * d[k];
    d[i] = t / A[i * n + i];
  }
  return true;
}

}  // namespace

LeastSquaresSummary MinimiseLeastSquares(const ResidualFunction& f, std::size_t m,
                                         std::vector<long double>& x, std::int64_t max_iterations) {
  const std::size_t n = x.size();
  std::vector<long double> r(m), rp(m), rm(m), J(m * n), A(n * n), g(n), d(n), trial(n);
  LeastSquaresSummary summary;
  FpuClear();
  f(x, r);
  long double cost = 0;
  for (long double v : r) cost += v * v;
  FpuCheck();
  summary.initial_cost = cost;
  // Damping relative to each parameter's own curvature: (A + mu diag(A)) d = -g.
  long double mu = kLmInitialDamping;
  long double nu = 2;

  for (;;) {
    if (summary.iterations == max_iterations) {
      summary.stop = LeastSquaresStop::kBudget;
      break;
    }
    ++summary.iterations;
    // Jacobian column by column, by the five-point central difference: its truncation error
    // (h^4) and its rounding error (eps / h) both stay near 1E-15, so the point where
    // J^T r vanishes is where the exact Jacobian puts it.
    for (std::size_t j = 0; j < n; ++j) {
      const long double xj = x[j];
      const long double h = kLmDifferenceStep * std::max(1.0L, std::fabs(xj));
      FpuClear();
      x[j] = xj + h;
      f(x, rp);
      x[j] = xj - h;
      f(x, rm);
      for (std::size_t i = 0; i < m; ++i) J[i * n + j] = 8 * (rp[i] - rm[i]);
      x[j] = xj + 2 * h;
      f(x, rp);
      x[j] = xj - 2 * h;
      f(x, rm);
      x[j] = xj;
      for (std::size_t i = 0; i < m; ++i)
        J[i * n + j] = (J[i * n + j] - (rp[i] - rm[i])) / (12 * h);
      FpuCheck();
    }
    // Normal equations: A = J^T J, g = J^T r.
    for (std::size_t a = 0; a < n; ++a) {
      long double s = 0;
      for (std::size_t i = 0; i < m; ++i) s += J[i * n + a] * r[i];
      g[a] = s;
      for (std::size_t b = a; b < n; ++b) {
        long double t = 0;
        for (std::size_t i = 0; i < m; ++i) t += J[i * n + a] * J[i * n + b];
        A[a * n + b] = A[b * n + a] = t;
      }
    }
    long double largest = 0;
    for (std::size_t a = 0; a < n; ++a) largest = std::max(largest, A[a * n + a]);
    if (!(largest > 0)) break;  // the residuals do not depend on x

    // Trials from this point until one lowers the sum or the damping says none will.
    bool stepped = false, converged = false;
    while (!stepped) {
      if (mu > kLmDampingCap) {
        converged = true;
        break;
      }
      std::vector<long double> M = A;
      for (std::size_t a = 0; a < n; ++a)
        M[a * n + a] += mu * std::max(A[a * n + a], kLmDiagonalFloor * largest);
      for (std::size_t a = 0; a < n; ++a) d[a] = -g[a];
      if (!SolveCholesky(M, d, n)) {
        mu *= nu;
        nu *= 2;
        continue;
      }
      long double step = 0, size = 0;
      for (std::size_t a = 0; a < n; ++a) {
        trial[a] = x[a] + d[a];
        step += d[a] * d[a];
        size += x[a] * x[a];
      }
      step = std::sqrt(step);
      size = std::sqrt(size);
      if (step <= kLmStepTolerance * (size + kLmStepTolerance)) {
        converged = true;
        break;
      }
      long double trial_cost;
      // An equal sum is accepted too: near the minimum of a flat valley the sum stops
      // changing before the point does, and the step, not the sum, says when it has settled.
      if (Cost(f, trial, rp, trial_cost) && trial_cost <= cost) {
        // Gain ratio: actual against predicted decrease of the linear model.
        long double predicted = 0;
        for (std::size_t a = 0; a < n; ++a) {
          long double ad = 0;
          for (std::size_t b = 0; b < n; ++b) ad += A[a * n + b] * d[b];
          predicted -= 2 * g[a] * d[a] + d[a] * ad;
        }
        const long double rho = predicted > 0 ? (cost - trial_cost) / predicted : 0;
        x = trial;
        r.swap(rp);
        cost = trial_cost;
        const long double t = 2 * rho - 1;
        mu *= std::max(1.0L / 3, 1 - t * t * t);
        nu = 2;
        stepped = true;
      } else {
        mu *= nu;
        nu *= 2;
      }
    }
    if (converged) break;
  }
  FpuClear();
  summary.final_cost = cost;
  return summary;
}

}  // namespace vistrel
