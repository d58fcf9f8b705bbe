#include "photogrammetry/scaled_fit.h"

#include <array>
#include <cmath>
#include <vector>

#include "photogrammetry/camera_model.h"

namespace vistrel {

namespace {

constexpr int kFields = 20;
constexpr long double kDegPerRad = 180.0L / kPi;

// value = offset + scale * scaled, per field of kJointFields.
struct FieldScale {
  long double offset = 0, scale = 1;
};

std::array<FieldScale, kFields> Scales(const SpaceNormalisation& space, long double cu,
                                       long double cv, long double pixel) {
  const long double p2 = pixel * pixel;
  std::array<FieldScale, kFields> s;
  s[0] = {0, 1 / p2};              // a1: r^2
  s[1] = {0, 1 / (p2 * p2)};       // a2: r^4
  s[2] = {0, 1 / (p2 * p2 * p2)};  // a3: r^6
  s[3] = s[4] = {0, 1 / pixel};    // p1, p2
  s[5] = {cu, pixel};              // u0
  s[6] = {cv, pixel};              // v0
  s[7] = {0, pixel};               // f
  for (int k : {8, 14}) {
    s[k] = {space.cx, space.size};
    s[k + 1] = {space.cy, space.size};
    s[k + 2] = {space.cz, space.size};
    s[k + 3] = s[k + 4] = s[k + 5] = {0, kDegPerRad};
  }
  return s;
}

// The control points in scaled space and their pixels.
struct ScaledData {
  std::vector<long double> X, Y, Z;
  std::vector<long double> x[2], y[2];
  long double cu = 0, cv = 0, pixel = 1;
};

// The 4N residuals of the joint model for the twenty scaled parameters q, in the same order
// as its objective sums them; all in extended precision.
void Residuals(const ScaledData& d, const long double* q, long double* out) {
  const long double a1 = q[0], a2 = q[1], a3 = q[2], p1 = q[3], p2 = q[4];
  const long double u0 = d.cu + d.pixel * q[5], v0 = d.cv + d.pixel * q[6];
  const long double f = d.pixel * std::fabs(q[7]);
  int o = 0;
  for (int k = 0; k < 2; ++k) {
    const long double* e = q + 8 + 6 * k;  // Tx, Ty, Tz, Alpha, Beta, Gamma
    const long double sa = std::sin(e[3]), ca = std::cos(e[3]);
    const long double sb = std::sin(e[4]), cb = std::cos(e[4]);
    const long double sg = std::sin(e[5]), cg = std::cos(e[5]);
    const long double R[9] = {cg * cb,
                              cg * sb * sa - sg * ca,
                              cg * sb * ca + sg * sa,
                              sg * cb,
                              sg * sb * sa + cg * ca,
                              sg * sb * ca - cg * sa,
                              -sb,
                              cb * sa,
                              cb * ca};
    for (std::size_t i = 0; i < d.X.size(); ++i) {
      const long double dX = d.X[i] - e[0], dY = d.Y[i] - e[1], dZ = d.Z[i] - e[2];
      const long double xc = R[0] * dX + R[1] * dY + R[2] * dZ;
      const long double yc = R[3] * dX + R[4] * dY + R[5] * dZ;
      const long double zc = R[6] * dX + R[7] * dY + R[8] * dZ;
      const long double x = d.x[k][i], y = d.y[k][i];
      // Distortion of the observed pixel, in units of the scale: rho is dimensionless.
      const long double xh = (x - u0) / d.pixel, yh = (y - v0) / d.pixel;
      const long double r2 = xh * xh + yh * yh;
      const long double rho = a1 * r2 + a2 * r2 * r2 + a3 * r2 * r2 * r2;
      const long double dx = d.pixel * (xh * rho + p1 * (r2 + 2 * xh * xh) + 2 * p2 * xh * yh);
      const long double dy = d.pixel * (yh * rho + p2 * (r2 + 2 * yh * yh) + 2 * p1 * xh * yh);
      out[o++] = x - f * xc / zc - dx - u0;
      out[o++] = y - f * yc / zc - dy - v0;
    }
  }
}

}  // namespace

LeastSquaresSummary FitScaled(TDemoModel1& model, const PointTable& table,
                              const SpaceNormalisation& space, int W, int H, DistortionTerms terms,
                              std::int64_t budget) {
  ScaledData d;
  d.cu = W / 2.0L;
  d.cv = H / 2.0L;
  d.pixel = std::sqrt(d.cu * d.cu + d.cv * d.cv);
  for (const int i : table.ControlIndices()) {
    const SpacePoint p = table.Space(i);
    d.X.push_back((p.X - space.cx) / space.size);
    d.Y.push_back((p.Y - space.cy) / space.size);
    d.Z.push_back((p.Z - space.cz) / space.size);
    for (int k = 0; k < 2; ++k) {
      const ImagePosition q = table.Image(i, k == 0);
      d.x[k].push_back(q.x);
      d.y[k].push_back(q.y);
    }
  }
  const std::array<FieldScale, kFields> scale = Scales(space, d.cu, d.cv, d.pixel);

  std::array<long double, kFields> all;
  for (int k = 0; k < kFields; ++k)
    all[k] = (model.*kJointFields[k].model - scale[k].offset) / scale[k].scale;
  std::vector<int> fitted;
  for (int k = 0; k < kFields; ++k)
    if (k >= kDistortionFieldCount || (terms & (1u << k))) fitted.push_back(k);
  std::vector<long double> x;
  for (int k : fitted) x.push_back(all[k]);

  const ResidualFunction residuals = [&](std::span<const long double> v, std::span<long double> r) {
    std::array<long double, kFields> q = all;
    for (std::size_t j = 0; j < fitted.size(); ++j) q[fitted[j]] = v[j];
    Residuals(d, q.data(), r.data());
  };
  const LeastSquaresSummary summary = MinimiseLeastSquares(residuals, 4 * d.X.size(), x, budget);
  for (std::size_t j = 0; j < fitted.size(); ++j) {
    const int k = fitted[j];
    model.*kJointFields[k].model = scale[k].offset + scale[k].scale * x[j];
  }
  return summary;
}

}  // namespace vistrel
