#include "photogrammetry/models.h"

#include <cmath>

#include "numeric/fpu.h"

namespace vistrel {

// ---------------------------------------------------------------------------------------------
// TDemoModel3

TDemoModel3::TDemoModel3(const ControlImage& image, int W, int H)
    : X_(image.X.begin(), image.X.end()),
      Y_(image.Y.begin(), image.Y.end()),
      Z_(image.Z.begin(), image.Z.end()),
      x_(image.x.begin(), image.x.end()),
      y_(image.y.begin(), image.y.end()),
      W_(W),
      H_(H) {}

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
  for (std::size_t i = 0; i < X_.size(); ++i) {
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
  for (const int i : table.ControlIndices()) {
    const SpacePoint p = table.Space(i);
    const ImagePosition l = table.Left(i), r = table.Right(i);
    X_.push_back(p.X);
    Y_.push_back(p.Y);
    Z_.push_back(p.Z);
    xg_.push_back(l.x);
    yg_.push_back(l.y);
    xd_.push_back(r.x);
    yd_.push_back(r.y);
  }
  const std::size_t n = X_.size();
  for (CameraCache& c : cache_) {
    c.xc.resize(n), c.yc.resize(n), c.zc.resize(n);
    c.px.resize(n), c.py.resize(n);
    c.d.resize(n);
  }
}

long double TDemoModel1::Objective() {
  FpuClear();
  const long double value = Evaluate();
  FpuCheck();
  return value;
}

void TDemoModel1::AddCamera(CameraCache& c, const long double (&angles)[3], long double Tx,
                            long double Ty, long double Tz, const std::vector<long double>& x,
                            const std::vector<long double>& y, long double& sum) {
  const std::size_t n = X_.size();
  bool rotation_changed = false;
  for (int k = 0; k < 3; ++k) {
    const double deg = static_cast<double>(angles[k]);
    if (!c.angle_valid[k] || deg != c.angle[k]) {
      const long double rad = DegToRad(deg);
      c.sin[k] = std::sin(rad);
      c.cos[k] = std::cos(rad);
      c.angle[k] = deg;
      c.angle_valid[k] = true;
      rotation_changed = true;
    }
  }
  if (rotation_changed) {
    c.R = RotationFromSinCos(c.sin[0], c.cos[0], c.sin[1], c.cos[1], c.sin[2], c.cos[2]);
    c.geometry_valid = false;
  }
  if (!c.geometry_valid || Tx != c.Tx || Ty != c.Ty || Tz != c.Tz) {
    const Rotation& R = c.R;
    for (std::size_t i = 0; i < n; ++i) {
      const CameraPoint p = ToCamera(R, Tx, Ty, Tz, X_[i], Y_[i], Z_[i]);
      c.xc[i] = p.xc;
      c.yc[i] = p.yc;
      c.zc[i] = p.zc;
    }
    c.Tx = Tx;
    c.Ty = Ty;
    c.Tz = Tz;
    c.geometry_valid = true;
    c.projection_valid = false;
  }
  const long double abs_f = std::fabs(f);
  if (!c.projection_valid || abs_f != c.abs_f) {
    for (std::size_t i = 0; i < n; ++i) {
      c.px[i] = abs_f * c.xc[i] / c.zc[i];
      c.py[i] = abs_f * c.yc[i] / c.zc[i];
    }
    c.abs_f = abs_f;
    c.projection_valid = true;
  }
  const double u0d = static_cast<double>(u0);
  const double v0d = static_cast<double>(v0);
  if (!c.distortion_valid || u0d != c.u0 || v0d != c.v0 || a1 != c.a1 || a2 != c.a2 || a3 != c.a3 ||
      p1 != c.p1 || p2 != c.p2) {
    const Lens lens{abs_f, u0d, v0d, a1, a2, a3, p1, p2};
    for (std::size_t i = 0; i < n; ++i) c.d[i] = DistortionAt(x[i], y[i], lens);
    c.u0 = u0d;
    c.v0 = v0d;
    c.a1 = a1;
    c.a2 = a2;
    c.a3 = a3;
    c.p1 = p1;
    c.p2 = p2;
    c.distortion_valid = true;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const long double ex = x[i] - c.px[i] - c.d[i].dx_rad - c.d[i].dx_tan - u0d;
    const long double ey = y[i] - c.py[i] - c.d[i].dy_rad - c.d[i].dy_tan - v0d;
    sum += ex * ex;
    sum += ey * ey;
  }
}

long double TDemoModel1::Evaluate() {
  long double sum = 0.0L;
  const long double left_angles[3] = {left_Alpha, left_Beta, left_Gamma};
  const long double right_angles[3] = {right_Alpha, right_Beta, right_Gamma};
  AddCamera(cache_[0], left_angles, left_Tx, left_Ty, left_Tz, xg_, yg_, sum);
  AddCamera(cache_[1], right_angles, right_Tx, right_Ty, right_Tz, xd_, yd_, sum);
  // A fault must surface on every evaluation that meets it, so nothing computed alongside one
  // is kept.
  if (FpuFaults() != kFpuNone) {
    for (CameraCache& c : cache_) {
      c.angle_valid[0] = c.angle_valid[1] = c.angle_valid[2] = false;
      c.geometry_valid = c.projection_valid = c.distortion_valid = false;
    }
  }
  return sum;
}

long double TDemoModel1::PlainCamera(const long double (&angles)[3], long double Tx, long double Ty,
                                     long double Tz, const std::vector<long double>& x,
                                     const std::vector<long double>& y, long double sum) const {
  const Pose pose{RotationMatrix(static_cast<double>(angles[0]), static_cast<double>(angles[1]),
                                 static_cast<double>(angles[2])),
                  Tx, Ty, Tz};
  const Lens lens{
      std::fabs(f), static_cast<double>(u0), static_cast<double>(v0), a1, a2, a3, p1, p2};
  for (std::size_t i = 0; i < X_.size(); ++i) {
    const Residual r = ImageResidual(x[i], y[i], X_[i], Y_[i], Z_[i], pose, lens);
    sum += r.ex * r.ex;
    sum += r.ey * r.ey;
  }
  return sum;
}

long double TDemoModel1::EvaluatePlain() const {
  const long double left_angles[3] = {left_Alpha, left_Beta, left_Gamma};
  const long double right_angles[3] = {right_Alpha, right_Beta, right_Gamma};
  const long double sum = PlainCamera(left_angles, left_Tx, left_Ty, left_Tz, xg_, yg_, 0.0L);
  return PlainCamera(right_angles, right_Tx, right_Ty, right_Tz, xd_, yd_, sum);
}

// ---------------------------------------------------------------------------------------------
// TDemoModel2

TDemoModel2::TDemoModel2(const PointTable& table, const TCameraParameters& camera, int index)
    : xg_(table.Left(index).x),
      yg_(table.Left(index).y),
      xd_(table.Right(index).x),
      yd_(table.Right(index).y),
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
  const Lens lens = LensOf(camera_.internal);
  const ExternalParameters& l = camera_.left;
  const ExternalParameters& r = camera_.right;
  const Residual el = ImageResidual(xg_, yg_, X, Y, Z, Pose{left_R_, l.Tx, l.Ty, l.Tz}, lens);
  const Residual er = ImageResidual(xd_, yd_, X, Y, Z, Pose{right_R_, r.Tx, r.Ty, r.Tz}, lens);
  return el.ex * el.ex + el.ey * el.ey + er.ex * er.ex + er.ey * er.ey;
}

}  // namespace vistrel
