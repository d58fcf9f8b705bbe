#include "photogrammetry/models.h"

#include <cmath>

#include "numeric/fpu.h"

namespace vistrel {

// ---------------------------------------------------------------------------------------------
// TDemoModel3

TDemoModel3::TDemoModel3(const PointTable& table, const std::array<std::int32_t, 9>& image_x,
                         const std::array<std::int32_t, 9>& image_y, int W, int H)
    : W_(W), H_(H) {
  for (int i = 0; i < 9; ++i) {
    X_[i] = table.px[i + 1];
    Y_[i] = table.py[i + 1];
    Z_[i] = table.pz[i + 1];
    x_[i] = image_x[i];
    y_[i] = image_y[i];
  }
}

long double TDemoModel3::Objective() {
  FpuClear();
  const long double value = Evaluate();
  FpuCheck();
  return value;
}

long double TDemoModel3::Evaluate() const {
  const long double cx = static_cast<long double>(W_) / 2.0L;
  const long double cy = static_cast<long double>(H_) / 2.0L;
  long double sum = 0.0L;
  for (int i = 0; i < 9; ++i) {
    const long double X = X_[i], Y = Y_[i], Z = Z_[i];
    const long double xi = x_[i] - cx;
    const long double eta = y_[i] - cy;
    const long double d = L[8] * X + L[9] * Y + L[10] * Z + 1.0L;
    const long double e1 = (L[0] * X + L[1] * Y + L[2] * Z + L[3]) - xi * d;
    const long double e2 = (L[4] * X + L[5] * Y + L[6] * Z + L[7]) - eta * d;
    sum += e1 * e1;
    sum += e2 * e2;
  }
  return sum;
}

// ---------------------------------------------------------------------------------------------
// TDemoModel1

TDemoModel1::TDemoModel1(const PointTable& table) {
  for (int i = 0; i < 9; ++i) {
    X_[i] = table.px[i + 1];
    Y_[i] = table.py[i + 1];
    Z_[i] = table.pz[i + 1];
    xg_[i] = table.xg[i + 1];
    yg_[i] = table.yg[i + 1];
    xd_[i] = table.xd[i + 1];
    yd_[i] = table.yd[i + 1];
  }
}

long double TDemoModel1::Objective() {
  FpuClear();
  const long double value = Evaluate();
  FpuCheck();
  return value;
}

TDemoModel1::CameraKey TDemoModel1::KeyOf(bool right) const {
  if (right) {
    return CameraKey{f,        u0,       v0,       a1,          a2,         a3,         p1,
                     p2,       right_Tx, right_Ty, right_Tz,    right_Alpha, right_Beta, right_Gamma};
  }
  return CameraKey{f,       u0,      v0,      a1,         a2,        a3,        p1,
                   p2,      left_Tx, left_Ty, left_Tz,    left_Alpha, left_Beta, left_Gamma};
}

void TDemoModel1::ComputeTerms(const CameraKey& k, const std::array<std::int32_t, 9>& x,
                               const std::array<std::int32_t, 9>& y, const Rotation& R,
                               std::array<long double, 18>& terms) const {
  const long double abs_f = std::fabs(k.f);
  const double u0d = static_cast<double>(k.u0);
  const double v0d = static_cast<double>(k.v0);
  for (int i = 0; i < 9; ++i) {
    const Residual r = ImageResidual(x[i], y[i], X_[i], Y_[i], Z_[i], R, k.Tx, k.Ty, k.Tz, abs_f,
                                     u0d, v0d, k.a1, k.a2, k.a3, k.p1, k.p2);
    terms[2 * i] = r.ex * r.ex;
    terms[2 * i + 1] = r.ey * r.ey;
  }
}

const std::array<long double, 18>& TDemoModel1::Terms(bool right) {
  CameraCache& c = cache_[right ? 1 : 0];
  const CameraKey key = KeyOf(right);
  if (c.valid && c.key == key) return c.terms;
  const double alpha = static_cast<double>(key.Alpha);
  const double beta = static_cast<double>(key.Beta);
  const double gamma = static_cast<double>(key.Gamma);
  if (!c.rotation_valid || alpha != c.alpha || beta != c.beta || gamma != c.gamma) {
    c.R = RotationMatrix(alpha, beta, gamma);
    c.alpha = alpha;
    c.beta = beta;
    c.gamma = gamma;
    c.rotation_valid = true;
  }
  // A fault must surface on every evaluation that meets it, so faulty terms are never cached.
  const unsigned faults_before = FpuFaults();
  ComputeTerms(key, right ? xd_ : xg_, right ? yd_ : yg_, c.R, c.terms);
  c.valid = faults_before == kFpuNone && FpuFaults() == kFpuNone;
  if (!c.valid) c.rotation_valid = false;
  c.key = key;
  return c.terms;
}

long double TDemoModel1::Evaluate() {
  long double sum = 0.0L;
  for (long double t : Terms(false)) sum += t;
  for (long double t : Terms(true)) sum += t;
  return sum;
}

long double TDemoModel1::EvaluatePlain() const {
  long double sum = 0.0L;
  std::array<long double, 18> terms;
  for (int right = 0; right < 2; ++right) {
    const CameraKey key = KeyOf(right != 0);
    const Rotation R = RotationMatrix(static_cast<double>(key.Alpha),
                                      static_cast<double>(key.Beta),
                                      static_cast<double>(key.Gamma));
    ComputeTerms(key, right ? xd_ : xg_, right ? yd_ : yg_, R, terms);
    for (long double t : terms) sum += t;
  }
  return sum;
}

// ---------------------------------------------------------------------------------------------
// TDemoModel2

TDemoModel2::TDemoModel2(const PointTable& table, const TCameraParameters& camera)
    : xg_(table.xg[0]),
      yg_(table.yg[0]),
      xd_(table.xd[0]),
      yd_(table.yd[0]),
      camera_(camera),
      left_R_(RotationMatrix(camera.left.Alpha, camera.left.Beta, camera.left.Gamma)),
      right_R_(RotationMatrix(camera.right.Alpha, camera.right.Beta, camera.right.Gamma)) {}

long double TDemoModel2::Objective() {
  FpuClear();
  const long double value = Evaluate();
  FpuCheck();
  return value;
}

long double TDemoModel2::Evaluate() const {
  const InternalParameters& in = camera_.internal;
  const long double abs_f = std::fabs(static_cast<long double>(in.f));
  const ExternalParameters& l = camera_.left;
  const ExternalParameters& r = camera_.right;
  const Residual el = ImageResidual(xg_, yg_, X, Y, Z, left_R_, l.Tx, l.Ty, l.Tz, abs_f, in.u0,
                                    in.v0, in.a1, in.a2, in.a3, in.p1, in.p2);
  const Residual er = ImageResidual(xd_, yd_, X, Y, Z, right_R_, r.Tx, r.Ty, r.Tz, abs_f, in.u0,
                                    in.v0, in.a1, in.a2, in.a3, in.p1, in.p2);
  return el.ex * el.ex + el.ey * el.ey + er.ex * er.ex + er.ey * er.ey;
}

}  // namespace vistrel
