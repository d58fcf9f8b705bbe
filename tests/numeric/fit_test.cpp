#include "numeric/fit.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "numeric/fpu.h"
#include "numeric/least_squares.h"
#include "numeric/symmetric_eigen.h"

namespace vistrel {
namespace {

// f(p) = (p - m)^T A (p - m) + c for a positive definite A: H = 2A, covariance = A^-1.
TEST(Fit, QuadraticReachesMinimumAndCovariance) {
  long double x = 3.0L, y = -4.0L, z = 0.5L;
  const long double A[3][3] = {{4, 1, 0.5L}, {1, 3, -0.25L}, {0.5L, -0.25L, 2}};
  const long double m[3] = {1.25L, -2.0L, 0.75L};
  auto f = [&]() -> long double {
    const long double d[3] = {x - m[0], y - m[1], z - m[2]};
    long double s = 7.0L;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) s += d[i] * A[i][j] * d[j];
    return s;
  };
  IFit fit = CreateFit({&x, &y, &z}, f);
  fit->Fit();
  EXPECT_TRUE(fit->Fitted());
  EXPECT_NEAR(static_cast<double>(x), 1.25, 1e-6);
  EXPECT_NEAR(static_cast<double>(y), -2.0, 1e-6);
  EXPECT_NEAR(static_cast<double>(z), 0.75, 1e-6);

  IFloatMatrix inverse = CreateMatrix(3, 3);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) inverse->SetElement(i, j, A[i - 1][j - 1]);
  inverse->Invert();
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) {
      EXPECT_NEAR(static_cast<double>(fit->Covariance()->GetElement(i, j)),
                  static_cast<double>(inverse->GetElement(i, j)), 1e-6);
    }
    EXPECT_NEAR(static_cast<double>(fit->ParameterError(i)),
                std::sqrt(static_cast<double>(inverse->GetElement(i, i))), 1e-6);
  }
}

TEST(Fit, ObjectiveCallsPerIterationBeforeTheTrials) {
  for (int n : {1, 2, 5, 15}) {
    std::vector<long double> v(n);
    std::vector<long double*> params;
    for (int i = 0; i < n; ++i) {
      v[i] = 1.0L + i;
      params.push_back(&v[i]);
    }
    long long calls = 0;
    long long calls_at_first_trial = -1;
    IFit fit = CreateFit(params, [&]() -> long double {
      ++calls;
      long double s = 1.0L;
      for (int i = 0; i < n; ++i) s += (v[i] - 0.5L) * (v[i] - 0.5L) * (i + 1);
      return s;
    });
    fit->on_trial = [&](const TFitTrial&) {
      if (calls_at_first_trial < 0) calls_at_first_trial = calls;
    };
    fit->Fit();
    // Base value, 3 per first derivative, 9 per second derivative of the upper triangle, then
    // the first trial's own evaluation.
    EXPECT_EQ(calls_at_first_trial, 1 + 3 * n + 9 * n * (n + 1) / 2 + 1) << "n = " << n;
  }
}

TEST(Fit, DampingLadderTriesTwentyTwoValuesPerDirection) {
  long double x = 1.0L;
  const long long pre_trial_calls = 1 + 3 + 9;
  const long long trials = 44;
  long long calls = 0;
  // A quadratic everywhere, except that every trial of the first iteration is made worse.
  IFit fit = CreateFit({&x}, [&]() -> long double {
    ++calls;
    if (calls > pre_trial_calls && calls <= pre_trial_calls + trials) return 100.0L;
    return 1.0L + x * x;
  });
  std::vector<TFitTrial> seen;
  fit->on_trial = [&](const TFitTrial& t) { seen.push_back(t); };
  fit->Fit();

  ASSERT_GE(seen.size(), 44u);
  long double lambda = kInitialDamping;
  for (int k = 0; k < 22; ++k) {
    EXPECT_EQ(seen[k].direction, 1);
    EXPECT_EQ(seen[k].lambda, lambda) << k;
    EXPECT_EQ(seen[22 + k].direction, -1);
    EXPECT_EQ(seen[22 + k].lambda, lambda) << k;
    lambda *= kDampingFactor;
  }
  EXPECT_LT(seen[21].lambda, kDampingCap);
  // Both directions exhausted: the iteration ends on the worse trial, which the outer test
  // accepts, so the fit ends after this single iteration.
  EXPECT_EQ(seen.size(), 44u);
  EXPECT_EQ(fit->Iterations(), 1);
  EXPECT_TRUE(fit->Fitted());
}

TEST(Fit, ZeroObjectiveEndsTheFit) {
  long double x = 3.0L;
  IFit fit = CreateFit({&x}, [&] { return x * x; });
  fit->Fit();
  EXPECT_TRUE(fit->Fitted());
  EXPECT_EQ(x, 0.0L);
  EXPECT_NEAR(static_cast<double>(fit->ParameterError(1)), 1.0, 1e-9);
}

TEST(Fit, FlatParameterIsSingular) {
  long double x = 2.0L, y = 5.0L;
  IFit fit = CreateFit({&x, &y}, [&] { return 1.0L + (x - 1) * (x - 1); });
  try {
    fit->Fit();
    FAIL() << "expected a singular matrix";
  } catch (const EFloatMatrix& e) {
    EXPECT_STREQ(e.what(), "Invert: Singular matrix");
  }
  EXPECT_FALSE(fit->Fitted());
  try {
    fit->ParameterError(1);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "No fit has been performed or fit failed.");
  }
}

TEST(Fit, NoParametersAndParameterErrorBeforeFit) {
  IFit fit = CreateFit(std::span<long double* const>(), [] { return 1.0L; });
  EXPECT_THROW(fit->ParameterError(1), Exception);
  try {
    fit->Fit();
    FAIL();
  } catch (const EFloatMatrix& e) {
    EXPECT_STREQ(e.what(), "RowCount < 1 not allowed");
  }
}

TEST(Fit, FaultsInsideTheObjectiveEndTheFit) {
  struct Case {
    const char* message;
    std::function<long double(long double)> f;
  };
  // volatile: a constant 1 / 0 may be folded at compile time, raising nothing at run time.
  volatile long double zero = 0.0L;
  const Case cases[] = {
      {"Division de flottant par zéro", [&](long double x) { return x * x + 1.0L / zero; }},
      {"Opération en virgule flottante incorrecte",
       [&](long double x) { return x * x + std::sqrt(zero - 1.0L - x * x); }},
      {"Débordement de virgule flottante",
       [&](long double x) { return x * x + std::exp(20000.0L + x * x); }},
  };
  for (const Case& c : cases) {
    long double x = 1.0L;
    IFit fit = CreateFit({&x}, [&] { return c.f(x); });
    try {
      fit->Fit();
      ADD_FAILURE() << "no fault for " << c.message;
    } catch (const EMathError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_FALSE(fit->Fitted());
    EXPECT_EQ(FpuFaults(), 0u) << "flags must be clear after the exception";
  }
}

TEST(Fit, StepRule) {
  long double v = 0.0L;
  TFitParameter p(&v);
  p.UpdateStep(0.5L);
  EXPECT_EQ(p.Step(), 1e-10L);
  p.UpdateStep(1.0L);
  EXPECT_EQ(p.Step(), 1e-10L);
  p.UpdateStep(250.0L);
  EXPECT_EQ(p.Step(), 250.0L * 1e-10L);
  v = -3.0L;
  p.UpdateStep(250.0L);
  EXPECT_EQ(p.Step(), 3.0L / 100000.0L);
}

TEST(Fit, DerivativesLeaveVariablesBitIdentical) {
  long double x = 0.1L, y = 1.0L / 3.0L;
  IFit fit = CreateFit({&x, &y}, [&] { return (x - 0.3L) * (x - 0.3L) + x * y + y * y * 2; });
  fit->Fit();
  x = 0.7L;
  y = -2.0L / 7.0L;
  const long double x0 = x, y0 = y;
  fit->Derivative(0);
  fit->Derivative(1);
  fit->SecondDerivative(0, 1);
  fit->SecondDerivative(1, 0);
  fit->SecondDerivative(1, 1);
  EXPECT_EQ(std::memcmp(&x, &x0, 10), 0);
  EXPECT_EQ(std::memcmp(&y, &y0, 10), 0);
}

// A non-quadratic objective whose parameters differ by five orders of magnitude, so their
// steps do too: central differences then depend on which step moves which parameter.
struct Valley {
  long double x = 1000.0L, y = 0.002L;
  long double operator()() const {
    const long double u = (x - 1000.0L) / 50.0L, v = (y - 0.002L) / 0.0005L;
    return std::cosh(u) + std::cosh(v) + 0.1L * std::sin(u) * std::sin(v) + std::exp(u / 3);
  }
};

TEST(Fit, DerivativesAreTheCentralDifferencesWithTheFirstParametersStep) {
  Valley p;
  IFit fit = CreateFit({&p.x, &p.y}, [&p] { return p(); });
  fit->Fit();  // sets the steps
  const long double h[2] = {fit->Step(0), fit->Step(1)};
  ASSERT_GT(h[0] / h[1], 1e4L);
  p.x = 1030.0L;
  p.y = 0.0027L;
  long double* v[2] = {&p.x, &p.y};
  auto at = [&](int k, long double d, auto f) {  // f evaluated with parameter k moved by d
    const long double keep = *v[k];
    *v[k] = keep + d;
    const long double r = f();
    *v[k] = keep;
    return r;
  };
  auto value = [&p] { return p(); };
  auto derivative = [&](int i) {
    const long double f0 = p(), fp = at(i, h[i], value), fm = at(i, -h[i], value);
    return ((fp - f0) / h[i] + (f0 - fm) / h[i]) / 2;
  };
  for (int i = 0; i < 2; ++i) {
    EXPECT_NEAR(static_cast<double>(fit->Derivative(i)), static_cast<double>(derivative(i)),
                1e-9 * std::fabs(static_cast<double>(derivative(i))));
    for (int j = 0; j < 2; ++j) {
      // Parameter j moves by the step of parameter i.
      auto di = [&] { return derivative(i); };
      const long double d0 = di(), dp = at(j, h[i], di), dm = at(j, -h[i], di);
      const long double want = ((dp - d0) / h[i] + (d0 - dm) / h[i]) / 2;
      EXPECT_NEAR(static_cast<double>(fit->SecondDerivative(i, j)), static_cast<double>(want),
                  1e-9 * std::fabs(static_cast<double>(want)) + 1e-12)
          << i << ", " << j;
    }
  }
}

TEST(Fit, FinalCurvatureUsesTheLastIterationsSteps) {
  Valley p;
  p.x = 1130.0L;
  p.y = 0.0041L;
  std::vector<std::array<long double, 2>> calls;
  std::vector<bool> trial;
  IFit fit = CreateFit({&p.x, &p.y}, [&] {
    calls.push_back({p.x, p.y});
    trial.push_back(false);
    return p();
  });
  fit->on_trial = [&](const TFitTrial&) { trial.back() = true; };
  fit->Fit();
  ASSERT_GE(fit->Iterations(), 2);
  // An iteration starts with the evaluation right after the previous iteration's last trial;
  // so does the final curvature, which comes last.
  std::vector<std::size_t> starts = {0};
  for (std::size_t k = 1; k < calls.size(); ++k)
    if (trial[k - 1] && !trial[k]) starts.push_back(k);
  ASSERT_EQ(starts.size(), static_cast<std::size_t>(fit->Iterations()) + 1);
  const std::array<long double, 2>& base = calls[starts[starts.size() - 2]];
  const std::array<long double, 2> final_values = {p.x, p.y};
  ASSERT_NE(base, final_values);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(fit->Step(i), std::fabs(base[i] / kStepDivisor)) << i;
}

TEST(Fit, InstalmentsGiveTheUninterruptedResult) {
  Valley whole, parts;
  whole.x = parts.x = 1130.0L;
  whole.y = parts.y = 0.0041L;
  IFit a = CreateFit({&whole.x, &whole.y}, [&] { return whole(); });
  IFit b = CreateFit({&parts.x, &parts.y}, [&] { return parts(); });
  a->Fit();
  int calls = 0;
  while (!b->FitFor(1)) {
    ASSERT_FALSE(b->Fitted());
    ++calls;
  }
  EXPECT_EQ(calls + 1, a->Iterations());
  EXPECT_EQ(b->Iterations(), a->Iterations());
  EXPECT_EQ(std::memcmp(&whole.x, &parts.x, 10), 0);
  EXPECT_EQ(std::memcmp(&whole.y, &parts.y, 10), 0);
  for (int i = 1; i <= 2; ++i) EXPECT_EQ(a->ParameterError(i), b->ParameterError(i));
}

TEST(Fit, SecondFitStartsFromCurrentValues) {
  long double x = 10.0L;
  bool record = false;
  long double first_seen = 0;
  IFit fit = CreateFit({&x}, [&] {
    if (record) {
      first_seen = x;
      record = false;
    }
    return 2.0L + (x - 4) * (x - 4);
  });
  fit->Fit();
  EXPECT_NEAR(static_cast<double>(x), 4.0, 1e-6);
  x = 20.0L;
  record = true;
  fit->Fit();
  EXPECT_EQ(first_seen, 20.0L);
  EXPECT_NEAR(static_cast<double>(x), 4.0, 1e-6);
  EXPECT_TRUE(fit->Fitted());
}

TEST(RelativeChange, FaultsAndSigns) {
  EXPECT_TRUE(RelativeChangeBelow(1.0L, 0.0L, 1e-6L));   // divide by zero
  EXPECT_TRUE(RelativeChangeBelow(0.0L, 0.0L, 1e-6L));   // 0 / 0
  EXPECT_TRUE(RelativeChangeBelow(1.0L, 2.0L, 1e-6L));   // new larger: negative quotient
  EXPECT_FALSE(RelativeChangeBelow(2.0L, 1.0L, 1e-6L));  // halved: quotient 1
  EXPECT_TRUE(RelativeChangeBelow(1.0L + 1e-7L, 1.0L, 1e-6L));
  EXPECT_EQ(FpuFaults(), 0u);
}

// Rosenbrock's valley as residuals (10 (y - x^2), 1 - x): a narrow curved valley where a
// minimiser of the scalar sum creeps; least squares reaches (1, 1) in a few dozen Jacobians.
TEST(LeastSquares, FollowsANarrowValleyAndStopsOnItsBudget) {
  const ResidualFunction rosenbrock = [](std::span<const long double> x, std::span<long double> r) {
    r[0] = 10 * (x[1] - x[0] * x[0]);
    r[1] = 1 - x[0];
  };
  std::vector<long double> x = {-1.2L, 1.0L};
  const LeastSquaresSummary done = MinimiseLeastSquares(rosenbrock, 2, x, 100);
  EXPECT_EQ(done.stop, LeastSquaresStop::kConverged);
  EXPECT_LT(done.iterations, 40);
  EXPECT_NEAR(static_cast<double>(x[0]), 1.0, 1e-12);
  EXPECT_NEAR(static_cast<double>(x[1]), 1.0, 1e-12);
  EXPECT_NEAR(static_cast<double>(done.initial_cost), 4.4 * 4.4 + 2.2 * 2.2, 1e-12);

  std::vector<long double> y = {-1.2L, 1.0L};
  const LeastSquaresSummary cut = MinimiseLeastSquares(rosenbrock, 2, y, 3);
  EXPECT_EQ(cut.stop, LeastSquaresStop::kBudget);
  EXPECT_EQ(cut.iterations, 3);
  EXPECT_LT(cut.final_cost, cut.initial_cost);  // the best point so far, not the start
}

TEST(SymmetricEigen, DecomposesAndSortsAscending) {
  const std::vector<long double> A = {4, 1, 0, 1, 3, 1, 0, 1, 2};
  const SymmetricEigen e = EigenOfSymmetric(A, 3);
  ASSERT_EQ(e.values.size(), 3u);
  EXPECT_LT(e.values[0], e.values[1]);
  EXPECT_LT(e.values[1], e.values[2]);
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t i = 0; i < 3; ++i) {  // A v = lambda v
      long double Av = 0;
      for (std::size_t j = 0; j < 3; ++j) Av += A[i * 3 + j] * e.vectors[k][j];
      EXPECT_NEAR(static_cast<double>(Av), static_cast<double>(e.values[k] * e.vectors[k][i]),
                  1e-15);
    }
  EXPECT_NEAR(static_cast<double>(e.values[0] + e.values[1] + e.values[2]), 9.0, 1e-15);
}

}  // namespace
}  // namespace vistrel
