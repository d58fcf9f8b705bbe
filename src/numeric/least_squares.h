#pragma once

// Levenberg-Marquardt minimiser of a sum of squared residuals, for well-scaled parameters (each
// of order one). It fits along the residuals' Jacobian (five-point differences) with damping
// scaled by the diagonal of J^T J, so it is not thrown by parameters of different sizes and
// does not creep along long narrow valleys as a minimiser of the scalar objective does.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace vistrel {

// Fills r (its size fixed by the caller) from x. It may leave floating-point faults in the
// flags: the minimiser checks them after every call and throws EMathError on one.
using ResidualFunction =
    std::function<void(std::span<const long double> x, std::span<long double> r)>;

// Constants of the iteration.
inline constexpr long double kLmDifferenceStep =
    1e-7L;  // central difference h = this * max(1, |x|)
inline constexpr long double kLmInitialDamping = 1e-3L;  // mu at the start, relative to diag(J^T J)
inline constexpr long double kLmStepTolerance = 1e-14L;  // converged: |dx| <= tol * (|x| + tol)
inline constexpr long double kLmDampingCap = 1e32L;      // damping this large: no step helps
inline constexpr long double kLmDiagonalFloor = 1e-30L;  // of the largest: keeps D positive

enum class LeastSquaresStop {
  kConverged,  // the step fell below its tolerance, or no step lowers the sum
  kBudget,     // stopped after max_iterations Jacobians with the best point so far
};

struct LeastSquaresSummary {
  long double initial_cost = 0;  // sum of squared residuals at the start
  long double final_cost = 0;    // and at the end
  std::int64_t iterations = 0;   // Jacobians computed
  LeastSquaresStop stop = LeastSquaresStop::kConverged;
};

// Minimises sum r_i(x)^2 over x from the values x holds, m residuals, at most `max_iterations`
// Jacobians. On return x holds the lowest point found. Throws EMathError when the residuals
// fault at the start point (a fault at a trial point only rejects that step).
LeastSquaresSummary MinimiseLeastSquares(const ResidualFunction& residuals, std::size_t m,
                                         std::vector<long double>& x, std::int64_t max_iterations);

}  // namespace vistrel
