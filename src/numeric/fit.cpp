#include "numeric/fit.h"

#include <cmath>
#include <limits>

#include "numeric/fpu.h"

namespace vistrel {

void TFitParameter::UpdateStep(long double f0) {
  long double h = std::fabs(Value() / kStepDivisor);
  if (h < kSmallestStep)
    h = f0 > kFallbackObjective ? f0 * kFallbackStepFactor : kFallbackStepFactor;
  FStep = h;
}

bool RelativeChangeBelow(long double old_value, long double new_value, long double tol) {
  // Faults of the guarded quotient belong to this test alone: earlier ones were checked already.
  FpuClear();
  const long double quotient = (old_value - new_value) / new_value;
  if (FpuFaults() != kFpuNone) {
    FpuClear();
    return true;
  }
  return tol > quotient;
}

TFit::TFit(std::span<long double* const> params, TFitFunction objective)
    : FFunction(std::move(objective)) {
  FParameters.reserve(params.size());
  for (long double* p : params) FParameters.emplace_back(p);
}

long double TFit::Evaluate() {
  const long double value = FFunction();
  FpuCheck();
  return value;
}

long double TFit::Derivative(std::size_t i) {
  TFitParameter& param = FParameters[i];
  const long double p = param.Value();
  const long double h = param.Step();
  const long double f0 = Evaluate();
  param.SetValue(p + h);
  const long double fplus = Evaluate();
  param.SetValue(p - h);
  const long double fminus = Evaluate();
  param.SetValue(p);
  const long double result = ((fplus - f0) / h + (f0 - fminus) / h) / 2.0L;
  FpuCheck();
  return result;
}

long double TFit::SecondDerivative(std::size_t i, std::size_t j) {
  TFitParameter& moved = FParameters[j];
  const long double pj = moved.Value();
  const long double h = FParameters[i].Step();  // the step of i, also for the move of j
  const long double d0 = Derivative(i);
  moved.SetValue(pj + h);
  const long double dplus = Derivative(i);
  moved.SetValue(pj - h);
  const long double dminus = Derivative(i);
  moved.SetValue(pj);
  const long double result = ((dplus - d0) / h + (d0 - dminus) / h) / 2.0L;
  FpuCheck();
  return result;
}

void TFit::UpdateSteps(long double f0) {
  for (TFitParameter& p : FParameters) p.UpdateStep(f0);
  FpuCheck();
}

void TFit::ComputeGradient() {
  const auto n = static_cast<std::int32_t>(FParameters.size());
  for (std::int32_t i = 1; i <= n; ++i) FGradient->SetElement(i, Derivative(i - 1));
}

void TFit::ComputeCurvature() {
  const auto n = static_cast<std::int32_t>(FParameters.size());
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = i; j <= n; ++j) {
      const long double d = SecondDerivative(i - 1, j - 1);
      FCurvature->SetElement(i, j, d);
      if (i != j) FCurvature->SetElement(j, i, d);
    }
  }
}

void TFit::Iterate(long double& old_value, long double& new_value) {
  // The variables hold FCurrent already: the caller has just copied them there.
  const auto n = static_cast<std::int32_t>(FParameters.size());
  old_value = Evaluate();
  UpdateSteps(old_value);
  ComputeGradient();
  ComputeCurvature();

  long double lambda = kInitialDamping;
  long double s = 1.0L;
  long double ref = old_value;
  for (;;) {
    FWork->Assign(*FCurvature);
    for (std::int32_t i = 1; i <= n; ++i) {
      FWork->SetElement(i, i, FWork->GetElement(i, i) * (lambda + 1.0L));
    }
    FWork->Invert();
    FWork->MultiplyVectorInto(*FGradient, *FDelta);
    FpuCheck();
    for (std::int32_t i = 1; i <= n; ++i) {
      FParameters[i - 1].SetValue(FCurrent->GetElement(i) - s * FDelta->GetElement(i));
    }
    new_value = Evaluate();
    if (on_trial) on_trial(TFitTrial{lambda, s > 0 ? 1 : -1, new_value});

    if (!(new_value <= ref)) {
      lambda = lambda * kDampingFactor;
      if (lambda < kDampingCap) continue;
    }
    if (lambda > kExhaustedDamping && s == 1.0L) {
      lambda = kInitialDamping;
      s = -1.0L;
      continue;
    }
    if (RelativeChangeBelow(ref, new_value, kInnerTolerance)) return;
    ref = new_value;
    lambda = lambda / kDampingFactor;
  }
}

void TFit::Allocate() {
  const auto n = static_cast<std::int64_t>(FParameters.size());
  FCurvature = CreateMatrix(n, n);
  FWork = CreateMatrix(n, n);
  FCovariance = CreateMatrix(n, n);
  FGradient = CreateFloatVector(n);
  FDelta = CreateFloatVector(n);
  FCurrent = CreateFloatVector(n);
}

void TFit::Fit() {
  paused_ = false;
  FitFor(std::numeric_limits<std::int64_t>::max());
}

bool TFit::FitFor(std::int64_t max_iterations) {
  if (!paused_) {
    FFitted = false;
    iterations_ = 0;
    FpuClear();
    Allocate();
  }
  paused_ = false;
  const auto n = static_cast<std::int32_t>(FParameters.size());
  long double old_value = 0.0L;
  long double new_value = 0.0L;
  std::int64_t done = 0;
  do {
    if (done == max_iterations) {
      // Nothing but the variables carries over from one iteration to the next, so the next
      // call goes on exactly as this one would have.
      paused_ = true;
      return false;
    }
    for (std::int32_t i = 1; i <= n; ++i) FCurrent->SetElement(i, FParameters[i - 1].Value());
    Iterate(old_value, new_value);
    ++iterations_;
    ++done;
  } while (!RelativeChangeBelow(old_value, new_value, kOuterTolerance));

  ComputeCurvature();  // with the steps of the last iteration
  FCurvature->Scale(kCovarianceScale);
  FCovariance->Assign(*FCurvature);
  FCovariance->Invert();
  FpuCheck();
  FFitted = true;
  return true;
}

long double TFit::ParameterError(std::int32_t index) const {
  if (!FFitted) throw Exception("No fit has been performed or fit failed.");
  const long double variance = FCovariance->GetElement(index, index);
  FpuClear();
  const long double error = std::sqrt(variance);
  FpuCheck();
  return error;
}

IFit CreateFit(std::span<long double* const> params, TFitFunction objective) {
  return std::make_shared<TFit>(params, std::move(objective));
}

IFit CreateFit(std::initializer_list<long double*> params, TFitFunction objective) {
  return CreateFit(std::span<long double* const>(params.begin(), params.size()),
                   std::move(objective));
}

}  // namespace vistrel
