#include "photogrammetry/dlt.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "numeric/fit.h"
#include "numeric/fpu.h"
#include "numeric/matrix.h"
#include "numeric/symmetric_eigen.h"
#include "photogrammetry/camera_model.h"
#include "photogrammetry/models.h"

namespace vistrel {

namespace {

constexpr double kNoCandidateError = 1e10;

// The DLT is undetermined when a second eigenvalue of its normal matrix is this close to zero,
// relative to the largest: coplanar control points leave three more solutions exactly.
constexpr long double kDegenerateDlt = 1e-12L;

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

namespace {

ControlImage ImageOf(const PointTable& table, bool left) {
  ControlImage im;
  for (const int i : table.ControlIndices()) {
    const SpacePoint p = table.Space(i);
    const ImagePosition q = table.Image(i, left);
    im.X.push_back(p.X);
    im.Y.push_back(p.Y);
    im.Z.push_back(p.Z);
    im.x.push_back(q.x);
    im.y.push_back(q.y);
  }
  return im;
}

}  // namespace

ControlImage LeftImage(const PointTable& table) { return ImageOf(table, true); }
ControlImage RightImage(const PointTable& table) { return ImageOf(table, false); }

std::array<double, 11> FitDlt(const ControlImage& image, int W, int H) {
  TDemoModel3 model(image, W, H);
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
    for (std::size_t i = 0; i < image.Size(); ++i) {
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

SpaceNormalisation NormaliseSpace(const PointTable& table) {
  SpaceNormalisation n;
  const std::vector<int> controls = table.ControlIndices();
  const auto count = static_cast<int>(controls.size());
  for (const int i : controls) {
    const SpacePoint p = table.Space(i);
    n.cx += p.X;
    n.cy += p.Y;
    n.cz += p.Z;
  }
  n.cx /= count;
  n.cy /= count;
  n.cz /= count;
  long double s = 0;
  for (const int i : controls) {
    const SpacePoint p = table.Space(i);
    const long double dx = p.X - n.cx, dy = p.Y - n.cy, dz = p.Z - n.cz;
    s += dx * dx + dy * dy + dz * dz;
  }
  n.size = std::sqrt(s / count);
  if (!(n.size > 0)) throw Exception("The control points coincide");
  return n;
}

CameraDecomposition DecomposeNormalisedDlt(const ControlImage& image,
                                           const SpaceNormalisation& space, int W, int H) {
  FpuClear();
  const long double cu = W / 2.0L, cv = H / 2.0L;
  const long double pixel = std::sqrt(cu * cu + cv * cv);
  // Two rows per point of the homogeneous system A p = 0, p the twelve entries of P row by row.
  std::vector<long double> AtA(144, 0.0L);
  for (std::size_t i = 0; i < image.Size(); ++i) {
    const long double X[4] = {(image.X[i] - space.cx) / space.size,
                              (image.Y[i] - space.cy) / space.size,
                              (image.Z[i] - space.cz) / space.size, 1.0L};
    const long double u = (image.x[i] - cu) / pixel, v = (image.y[i] - cv) / pixel;
    long double rows[2][12] = {};
    for (int j = 0; j < 4; ++j) {
      rows[0][j] = X[j];
      rows[0][8 + j] = -u * X[j];
      rows[1][4 + j] = X[j];
      rows[1][8 + j] = -v * X[j];
    }
    for (const auto& row : rows)
      for (int a = 0; a < 12; ++a)
        for (int b = 0; b < 12; ++b) AtA[a * 12 + b] += row[a] * row[b];
  }
  const SymmetricEigen eigen = EigenOfSymmetric(AtA, 12);
  FpuCheck();
  if (!(eigen.values[1] > kDegenerateDlt * eigen.values[11]))
    throw EFloatMatrix("Invert: Singular matrix");
  const std::vector<long double>& p = eigen.vectors[0];

  // P in pixels of normalised space: the image side scaled back, x = pixel u + cu.
  long double P[3][4];
  for (int j = 0; j < 4; ++j) {
    P[0][j] = pixel * p[j] + cu * p[8 + j];
    P[1][j] = pixel * p[4 + j] + cv * p[8 + j];
    P[2][j] = p[8 + j];
  }
  // Projection centre: M C = -p4.
  const long double(&M)[3][4] = P;
  const long double det = M[0][0] * (M[1][1] * M[2][2] - M[1][2] * M[2][1]) -
                          M[0][1] * (M[1][0] * M[2][2] - M[1][2] * M[2][0]) +
                          M[0][2] * (M[1][0] * M[2][1] - M[1][1] * M[2][0]);
  if (det == 0) throw EFloatMatrix("Invert: Singular matrix");
  long double C[3];
  for (int k = 0; k < 3; ++k) {
    long double A[3][3];
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) A[r][c] = c == k ? -M[r][3] : M[r][c];
    C[k] = (A[0][0] * (A[1][1] * A[2][2] - A[1][2] * A[2][1]) -
            A[0][1] * (A[1][0] * A[2][2] - A[1][2] * A[2][0]) +
            A[0][2] * (A[1][0] * A[2][1] - A[1][1] * A[2][0])) /
           det;
  }

  // RQ by Gram-Schmidt from the last row up: M = K R, K upper triangular with a positive
  // diagonal, R orthonormal.
  auto dot = [](const long double* a, const long double* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  };
  long double R[3][3], K[3][3] = {};
  for (int r = 2; r >= 0; --r) {
    long double row[3] = {M[r][0], M[r][1], M[r][2]};
    for (int q = r + 1; q < 3; ++q) {
      K[r][q] = dot(M[r], R[q]);
      for (int c = 0; c < 3; ++c) row[c] -= K[r][q] * R[q][c];
    }
    K[r][r] = std::sqrt(dot(row, row));
    for (int c = 0; c < 3; ++c) R[r][c] = row[c] / K[r][r];
  }
  // P is known up to its sign; a negative one shows as a reflection.
  const long double det_R = R[0][0] * (R[1][1] * R[2][2] - R[1][2] * R[2][1]) -
                            R[0][1] * (R[1][0] * R[2][2] - R[1][2] * R[2][0]) +
                            R[0][2] * (R[1][0] * R[2][1] - R[1][1] * R[2][0]);
  if (det_R < 0)
    for (auto& row : R)
      for (long double& e : row) e = -e;
  FpuCheck();

  CameraDecomposition d;
  d.start.F = static_cast<double>((K[0][0] + K[1][1]) / (2 * K[2][2]));
  d.u0 = K[0][2] / K[2][2];
  d.v0 = K[1][2] / K[2][2];
  d.start.Cx = static_cast<double>(space.cx + space.size * C[0]);
  d.start.Cy = static_cast<double>(space.cy + space.size * C[1]);
  d.start.Cz = static_cast<double>(space.cz + space.size * C[2]);
  // R = Rz(gamma) Ry(beta) Rx(alpha): R31 = -sin beta, R32 / R33 = tan alpha,
  // R21 / R11 = tan gamma.
  d.start.Beta = static_cast<double>(RadToDeg(std::asin(std::clamp(-R[2][0], -1.0L, 1.0L))));
  d.start.Alpha = static_cast<double>(RadToDeg(std::atan2(R[2][1], R[2][2])));
  d.start.Gamma = static_cast<double>(RadToDeg(std::atan2(R[1][0], R[0][0])));
  d.start.alpha0 = d.start.Alpha;
  d.start.beta0 = d.start.Beta;
  d.start.gamma0 = d.start.Gamma;
  FpuCheck();
  return d;
}

}  // namespace vistrel
