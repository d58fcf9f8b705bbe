#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

#include "numeric/float_vector.h"
#include "numeric/matrix.h"

namespace vistrel {

// The objective: computes the value to minimise from the current contents of the parameter
// variables. It must be a pure function of those variables. Floating-point faults it causes are
// left in the flags; the minimiser checks them after every call.
using TFitFunction = std::function<long double()>;

// Constants of the damped Newton iteration, all extended reals.
inline constexpr long double kInitialDamping = 0.001L;  // lambda at the start of a direction
inline constexpr long double kDampingFactor = 10.0L;    // lambda *= or /= per trial
// A direction tries 22 values of lambda only because 0.001 x 10^21, multiplied up in extended
// precision, rounds to just below 1E18: the 22nd value still passes the cap test below and the
// 23rd does not. An exact product would stop one value earlier.
inline constexpr long double kDampingCap = 1e18L;           // a direction ends once lambda >= cap
inline constexpr long double kExhaustedDamping = 1e17L;     // lambda > this: reverse the step once
inline constexpr long double kInnerTolerance = 1e-4L;       // trials of one iteration stop below it
inline constexpr long double kOuterTolerance = 1e-6L;       // iterations stop below it
inline constexpr long double kStepDivisor = 100000.0L;      // h = |value / divisor|
inline constexpr long double kSmallestStep = 1e-16L;        // below it the fallback step is used
inline constexpr long double kFallbackStepFactor = 1e-10L;  // fallback h = F0 * factor or factor
inline constexpr long double kFallbackObjective = 1.0L;     // F0 above it scales the fallback
inline constexpr long double kCovarianceScale = 0.5L;       // covariance = inverse of 0.5 * H

// One trial of an iteration, reported to an optional observer (tests and diagnostics).
struct TFitTrial {
  long double lambda;  // damping of this trial
  int direction;       // +1 forward, -1 after the reversal
  long double value;   // objective at the trial point
};

// One parameter: the caller's variable (not owned) and its finite-difference step.
class TFitParameter {
 public:
  explicit TFitParameter(long double* value) : FValue(value) {}
  long double Value() const { return *FValue; }
  void SetValue(long double x) { *FValue = x; }
  long double Step() const { return FStep; }
  // h = |Value / 100000|; when h < 1E-16: F0 * 1E-10 if F0 > 1, else 1E-10.
  void UpdateStep(long double f0);

 private:
  long double* FValue;
  long double FStep = 0.0L;  // 0 until the first iteration computes it
};

// Damped Newton minimiser on central finite differences of a scalar objective. It writes trial
// values straight into the caller's variables and calls the objective, which reads them there.
class TFit {
 public:
  TFit(std::span<long double* const> params, TFitFunction objective);

  // Minimises from the values the variables hold now; on return they hold the fitted values.
  // Throws EFloatMatrix "Invert: Singular matrix" for a singular damped or final curvature,
  // EZeroDivide / EInvalidOp / EOverflow for a fault in the objective or the derivative
  // arithmetic, and EFloatMatrix "RowCount < 1 not allowed" for zero parameters. After a failure
  // the variables hold whatever was written last and Fitted() is false.
  void Fit();
  // Fit in instalments: runs at most `max_iterations` iterations and returns true once the
  // minimisation has ended as Fit ends it, false when it stopped early with the variables at the
  // end of its last iteration. The next call goes on from there with the result an
  // uninterrupted Fit would have had; Fit() always starts afresh.
  bool FitFor(std::int64_t max_iterations);

  // sqrt(Covariance(index, index)), index 1-based; throws Exception "No fit has been performed
  // or fit failed." unless the last Fit succeeded.
  long double ParameterError(std::int32_t index) const;

  bool Fitted() const { return FFitted; }
  std::size_t ParameterCount() const { return FParameters.size(); }
  long double Step(std::size_t i) const { return FParameters.at(i).Step(); }
  const IFloatMatrix& Covariance() const { return FCovariance; }
  std::int64_t Iterations() const { return iterations_; }

  // Observer called after every trial objective evaluation; may be empty.
  std::function<void(const TFitTrial&)> on_trial;

  // Central differences; exposed for tests. Both leave every variable bit-identical.
  long double Derivative(std::size_t i);
  long double SecondDerivative(std::size_t i, std::size_t j);

 private:
  long double Evaluate();
  void UpdateSteps(long double f0);
  void ComputeGradient();
  void ComputeCurvature();
  void Iterate(long double& old_value, long double& new_value);
  void Allocate();

  std::vector<TFitParameter> FParameters;
  TFitFunction FFunction;
  IFloatMatrix FCurvature;   // H, second derivatives of the objective
  IFloatMatrix FWork;        // damped copy of H, inverted in place
  IFloatVector FGradient;    // g, first derivatives
  IFloatVector FDelta;       // step of one trial: FWork * FGradient
  IFloatVector FCurrent;     // base point of the current iteration
  IFloatMatrix FCovariance;  // inverse of 0.5 * H at the final point
  bool FFitted = false;
  std::int64_t iterations_ = 0;  // of the current Fit, over all its instalments
  bool paused_ = false;          // a FitFor stopped early; the next FitFor goes on
};

using IFit = std::shared_ptr<TFit>;

IFit CreateFit(std::span<long double* const> params, TFitFunction objective);
IFit CreateFit(std::initializer_list<long double*> params, TFitFunction objective);

// True when tol > (old - new) / new, and also whenever the quotient faults (new = 0 included).
bool RelativeChangeBelow(long double old_value, long double new_value, long double tol);

}  // namespace vistrel
