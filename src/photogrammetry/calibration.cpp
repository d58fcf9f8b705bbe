#include "photogrammetry/calibration.h"

#include <cmath>
#include <limits>
#include <vector>

#include "numeric/fit.h"
#include "numeric/fpu.h"
#include "numeric/matrix.h"
#include "photogrammetry/calibration_detail.h"
#include "photogrammetry/models.h"

namespace vistrel {

namespace {

constexpr double kNoCandidateError = 1e10;

long double RadToDeg(long double radians) { return radians * 180.0L / kPi; }

}  // namespace

double AngleCandidate(double t, int n) {
  switch (n) {
    case 1:
      return -t;
    case 2:
      return 180.0 - t;
    case 3:
      return 180.0 + t;
    case 4:
      return t - 180.0;
    default:
      return t;
  }
}

std::array<double, 11> FitDlt(const PointTable& table, const std::array<std::int32_t, 9>& x,
                              const std::array<std::int32_t, 9>& y, int W, int H) {
  TDemoModel3 model(table, x, y, W, H);
  model.L.fill(0.0L);
  std::array<long double*, 11> params;
  for (int i = 0; i < 11; ++i) params[i] = &model.L[i];
  IFit fit = CreateFit(params, model.Bound());
  fit->Fit();
  std::array<double, 11> L;
  for (int i = 0; i < 11; ++i) L[i] = static_cast<double>(model.L[i]);
  return L;
}

DltStart DecomposeDlt(const std::array<double, 11>& Lc) {
  // 1-based access keeps the formulas readable: L(1) ... L(11).
  auto L = [&Lc](int j) -> long double { return Lc[j - 1]; };
  DltStart s;
  FpuClear();

  IFloatMatrix M = CreateMatrix(3, 3);
  const int rows[3][3] = {{1, 2, 3}, {5, 6, 7}, {9, 10, 11}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) M->SetElement(r + 1, c + 1, L(rows[r][c]));
  IFloatVector b = CreateFloatVector(3);
  b->SetElement(1, -L(4));
  b->SetElement(2, -L(8));
  b->SetElement(3, -1.0L);
  M->Invert();
  IFloatVector C = M->MultiplyVector(*b);
  FpuCheck();
  s.Cx = static_cast<double>(C->GetElement(1));
  s.Cy = static_cast<double>(C->GetElement(2));
  s.Cz = static_cast<double>(C->GetElement(3));

  const long double A = L(1) * L(1) + L(2) * L(2) + L(3) * L(3);
  const long double D = L(9) * L(9) + L(10) * L(10) + L(11) * L(11);
  s.F = static_cast<double>(std::sqrt(A / D));
  const long double F = s.F;
  s.beta0 = static_cast<double>(RadToDeg(std::asin(std::sqrt(F * F * L(9) * L(9) / A))));
  const long double cos_beta = std::cos(DegToRad(s.beta0));
  s.alpha0 = static_cast<double>(
      RadToDeg(std::asin(std::sqrt((F * F * L(10) * L(10) / A) / (cos_beta * cos_beta)))));
  s.gamma0 = static_cast<double>(RadToDeg(std::atan(L(5) / L(1))));
  FpuCheck();

  const long double Cx = s.Cx, Cy = s.Cy, Cz = s.Cz;
  double best = kNoCandidateError;
  s.Alpha = s.alpha0;
  s.Beta = s.beta0;
  s.Gamma = s.gamma0;
  for (int ng = 1; ng <= 5; ++ng) {
    const double gamma = AngleCandidate(s.gamma0, ng);
    for (int na = 1; na <= 5; ++na) {
      const double alpha = AngleCandidate(s.alpha0, na);
      for (int nb = 1; nb <= 5; ++nb) {
        const double beta = AngleCandidate(s.beta0, nb);
        const Rotation R = RotationMatrix(alpha, beta, gamma);
        auto Rr = [&R](int r, int c) -> long double { return R[(r - 1) * 3 + (c - 1)]; };
        const long double d = Rr(3, 1) * Cx + Rr(3, 2) * Cy + Rr(3, 3) * Cz;
        const long double r1c = Rr(1, 1) * Cx + Rr(1, 2) * Cy + Rr(1, 3) * Cz;
        const long double r2c = Rr(2, 1) * Cx + Rr(2, 2) * Cy + Rr(2, 3) * Cz;
        long double e = 0.0L;
        auto add = [&e](long double t) { e += t * t; };
        for (int j = 1; j <= 3; ++j) add(L(j) + F * Rr(1, j) / d);
        add(L(4) - F * r1c / d);
        for (int j = 1; j <= 3; ++j) add(L(4 + j) + F * Rr(2, j) / d);
        add(L(8) - F * r2c / d);
        for (int j = 1; j <= 3; ++j) add(L(8 + j) - Rr(3, j) / d);
        const double error = static_cast<double>(e);
        if (error < best) {
          best = error;
          s.Alpha = alpha;
          s.Beta = beta;
          s.Gamma = gamma;
        }
      }
    }
  }
  // A candidate whose d is 0 (the camera centre lies in its principal plane through the origin)
  // has no finite error and simply cannot win; when none wins, (alpha0, beta0, gamma0) stays.
  FpuClear();
  s.best_error = best;
  return s;
}

CalibrationOutcome Calibrate(const PointTable& table, int W, int H, bool distortion,
                             TCameraParameters& camera, int& object_point_count) {
  object_point_count = 0;
  std::array<std::int32_t, 9> x, y;
  DltStart start[2];
  for (int k = 0; k < 2; ++k) {
    for (int i = 0; i < 9; ++i) {
      x[i] = k == 0 ? table.xg[i + 1] : table.xd[i + 1];
      y[i] = k == 0 ? table.yg[i + 1] : table.yd[i + 1];
    }
    start[k] = DecomposeDlt(FitDlt(table, x, y, W, H));
  }

  TDemoModel1 model(table);
  FpuClear();
  model.f = (static_cast<long double>(start[0].F) + start[1].F) / 2.0L;
  model.u0 = static_cast<long double>(W) / 2.0L;
  model.v0 = static_cast<long double>(H) / 2.0L;
  model.left_Alpha = start[0].Alpha;
  model.left_Beta = start[0].Beta;
  model.left_Gamma = start[0].Gamma;
  model.left_Tx = start[0].Cx;
  model.left_Ty = start[0].Cy;
  model.left_Tz = start[0].Cz;
  model.right_Alpha = start[1].Alpha;
  model.right_Beta = start[1].Beta;
  model.right_Gamma = start[1].Gamma;
  model.right_Tx = start[1].Cx;
  model.right_Ty = start[1].Cy;
  model.right_Tz = start[1].Cz;

  CalibrationOutcome outcome;
  std::vector<long double*> params;
  if (distortion) {
    params = {&model.a1, &model.a2, &model.a3, &model.p1, &model.p2};
    outcome.fitted_names = {"a1", "a2", "a3", "p1", "p2"};
  }
  const std::pair<long double*, const char*> always[] = {{&model.u0, "u0"},
                                                         {&model.v0, "v0"},
                                                         {&model.f, "f"},
                                                         {&model.left_Tx, "left Tx"},
                                                         {&model.left_Ty, "left Ty"},
                                                         {&model.left_Tz, "left Tz"},
                                                         {&model.left_Alpha, "left Alpha"},
                                                         {&model.left_Beta, "left Beta"},
                                                         {&model.left_Gamma, "left Gamma"},
                                                         {&model.right_Tx, "right Tx"},
                                                         {&model.right_Ty, "right Ty"},
                                                         {&model.right_Tz, "right Tz"},
                                                         {&model.right_Alpha, "right Alpha"},
                                                         {&model.right_Beta, "right Beta"},
                                                         {&model.right_Gamma, "right Gamma"}};
  for (const auto& [field, name] : always) {
    params.push_back(field);
    outcome.fitted_names.push_back(name);
  }

  try {
    IFit fit = CreateFit(params, model.Bound());
    fit->Fit();
    for (std::size_t k = 1; k <= params.size(); ++k) {
      try {
        outcome.parameter_errors.push_back(fit->ParameterError(static_cast<std::int32_t>(k)));
      } catch (const EMathError&) {
        outcome.parameter_errors.push_back(std::numeric_limits<long double>::quiet_NaN());
      }
    }
  } catch (const std::exception& e) {
    outcome.joint_fit_failed = true;
    outcome.failure_reason = e.what();
    outcome.parameter_errors.clear();
  }
  FpuClear();  // the copy below rounds whatever the minimiser left, faults included

  camera.internal = InternalParameters{
      static_cast<double>(model.f),  static_cast<double>(model.u0), static_cast<double>(model.v0),
      static_cast<double>(model.a1), static_cast<double>(model.a2), static_cast<double>(model.a3),
      static_cast<double>(model.p1), static_cast<double>(model.p2)};
  camera.left = ExternalParameters{
      static_cast<double>(model.left_Alpha), static_cast<double>(model.left_Beta),
      static_cast<double>(model.left_Gamma), static_cast<double>(model.left_Tx),
      static_cast<double>(model.left_Ty),    static_cast<double>(model.left_Tz)};
  camera.right = ExternalParameters{
      static_cast<double>(model.right_Alpha), static_cast<double>(model.right_Beta),
      static_cast<double>(model.right_Gamma), static_cast<double>(model.right_Tx),
      static_cast<double>(model.right_Ty),    static_cast<double>(model.right_Tz)};
  FpuClear();
  return outcome;
}

}  // namespace vistrel
