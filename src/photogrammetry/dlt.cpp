#include "photogrammetry/dlt.h"

#include <cmath>

#include "numeric/fit.h"
#include "numeric/fpu.h"
#include "numeric/matrix.h"
#include "photogrammetry/camera_model.h"
#include "photogrammetry/models.h"

namespace vistrel {

namespace {

constexpr double kNoCandidateError = 1e10;

long double RadToDeg(long double radians) { return radians * 180.0L / kPi; }

// Centre and focal estimate shared by both decompositions.
void CentreAndFocal(const std::array<double, 11>& Lc, DltStart& s, long double& A) {
  auto L = [&Lc](int j) -> long double { return Lc[j - 1]; };
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

  A = L(1) * L(1) + L(2) * L(2) + L(3) * L(3);
  const long double D = L(9) * L(9) + L(10) * L(10) + L(11) * L(11);
  s.F = static_cast<double>(std::sqrt(A / D));
}

// Loops over the 125 candidate triples in the fixed order (Gamma outermost, Beta innermost) and
// keeps the first with the smallest error below 1E10; (alpha0, beta0, gamma0) when none is.
template <typename ErrorOf>
void SearchCandidates(DltStart& s, ErrorOf error_of) {
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
        const double error = error_of(RotationMatrix(alpha, beta, gamma));
        if (error < best) {
          best = error;
          s.Alpha = alpha;
          s.Beta = beta;
          s.Gamma = gamma;
        }
      }
    }
  }
  // A candidate whose error is not finite (a division by zero inside it) cannot win.
  FpuClear();
  s.best_error = best;
}

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

ControlImage LeftImage(const PointTable& table) {
  ControlImage im;
  for (int i = 0; i < 9; ++i) {
    im.X[i] = table.px[i + 1];
    im.Y[i] = table.py[i + 1];
    im.Z[i] = table.pz[i + 1];
    im.x[i] = table.xg[i + 1];
    im.y[i] = table.yg[i + 1];
  }
  return im;
}

ControlImage RightImage(const PointTable& table) {
  ControlImage im = LeftImage(table);
  for (int i = 0; i < 9; ++i) {
    im.x[i] = table.xd[i + 1];
    im.y[i] = table.yd[i + 1];
  }
  return im;
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
  long double A;
  CentreAndFocal(Lc, s, A);
  const long double F = s.F;
  s.beta0 = static_cast<double>(RadToDeg(std::asin(std::sqrt(F * F * L(9) * L(9) / A))));
  const long double cos_beta = std::cos(DegToRad(s.beta0));
  s.alpha0 = static_cast<double>(
      RadToDeg(std::asin(std::sqrt((F * F * L(10) * L(10) / A) / (cos_beta * cos_beta)))));
  s.gamma0 = static_cast<double>(RadToDeg(std::atan(L(5) / L(1))));
  FpuCheck();

  const long double Cx = s.Cx, Cy = s.Cy, Cz = s.Cz;
  SearchCandidates(s, [&](const Rotation& R) {
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
    return static_cast<double>(e);
  });
  return s;
}

DltStart DecomposeDltByReprojection(const std::array<double, 11>& Lc, const ControlImage& image,
                                    int W, int H) {
  auto L = [&Lc](int j) -> long double { return Lc[j - 1]; };
  DltStart s;
  long double A;
  CentreAndFocal(Lc, s, A);
  FpuCheck();
  const long double F = s.F;
  // Rounded clicks can push a sine of a level camera's angle just past 1.
  auto arcsin_deg = [](long double v) {
    return static_cast<double>(RadToDeg(std::asin(std::min(1.0L, std::sqrt(v)))));
  };
  s.beta0 = arcsin_deg(F * F * L(9) * L(9) / A);
  const long double cos_beta = std::cos(DegToRad(s.beta0));
  s.alpha0 = cos_beta == 0 ? 0.0 : arcsin_deg((F * F * L(10) * L(10) / A) / (cos_beta * cos_beta));
  s.gamma0 = L(1) == 0 ? 90.0 : static_cast<double>(RadToDeg(std::atan(L(5) / L(1))));
  FpuCheck();

  const long double cx = static_cast<long double>(W) / 2.0L;
  const long double cy = static_cast<long double>(H) / 2.0L;
  SearchCandidates(s, [&](const Rotation& R) {
    long double e = 0.0L;
    for (int i = 0; i < 9; ++i) {
      const long double dX = image.X[i] - s.Cx, dY = image.Y[i] - s.Cy, dZ = image.Z[i] - s.Cz;
      const long double xc = R[0] * dX + R[1] * dY + R[2] * dZ;
      const long double yc = R[3] * dX + R[4] * dY + R[5] * dZ;
      const long double zc = R[6] * dX + R[7] * dY + R[8] * dZ;
      const long double ex = image.x[i] - (cx + F * xc / zc);
      const long double ey = image.y[i] - (cy + F * yc / zc);
      e += ex * ex + ey * ey;
    }
    // A control point on the candidate's principal plane rules it out.
    return std::isfinite(e) ? static_cast<double>(e) : kNoCandidateError;
  });
  return s;
}

}  // namespace vistrel
