#include "photogrammetry/measurement.h"

#include <array>
#include <cmath>

#include "numeric/fit.h"
#include "numeric/fpu.h"
#include "numeric/matrix.h"
#include "numeric/text_format.h"
#include "photogrammetry/models.h"

namespace vistrel {

namespace {

struct Ray {
  long double xbar, ybar;  // corrected, centred image coordinates
  Rotation R;
};

Ray Correct(long double x, long double y, const InternalParameters& in,
            const ExternalParameters& ex) {
  const Distortion d = DistortionAt(x, y, LensOf(in));
  return Ray{x - (d.dx_rad + d.dx_tan + in.u0), y - (d.dy_rad + d.dy_tan + in.v0),
             RotationMatrix(ex.Alpha, ex.Beta, ex.Gamma)};
}

// Row "c R3 - |f| Rk" and right-hand side "c (R3 . T) - |f| (Rk . T)" of one plane equation.
void SetPlane(TMatrix& A, TFloatVector& rhs, int row, long double c, long double abs_f,
              const Rotation& R, int k, const ExternalParameters& ex) {
  auto Rr = [&R](int r, int col) -> long double { return R[(r - 1) * 3 + (col - 1)]; };
  for (int j = 1; j <= 3; ++j) A.SetElement(row, j, c * Rr(3, j) - abs_f * Rr(k, j));
  const long double r3t = Rr(3, 1) * ex.Tx + Rr(3, 2) * ex.Ty + Rr(3, 3) * ex.Tz;
  const long double rkt = Rr(k, 1) * ex.Tx + Rr(k, 2) * ex.Ty + Rr(k, 3) * ex.Tz;
  rhs.SetElement(row, c * r3t - abs_f * rkt);
}

using Vec3 = std::array<long double, 3>;

long double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The viewing ray's direction in space: R' (xbar, ybar, |f|).
Vec3 Direction(const Ray& ray, long double abs_f) {
  const Rotation& R = ray.R;
  Vec3 d;
  for (int j = 0; j < 3; ++j) d[j] = R[j] * ray.xbar + R[3 + j] * ray.ybar + R[6 + j] * abs_f;
  return d;
}

// Normal of the plane through the camera's centre and image row (k = 2) or column (k = 1) c.
Vec3 PlaneNormal(const Ray& ray, long double abs_f, int k) {
  const Rotation& R = ray.R;
  const long double c = k == 1 ? ray.xbar : ray.ybar;
  Vec3 n;
  for (int j = 0; j < 3; ++j) n[j] = c * R[6 + j] - abs_f * R[(k - 1) * 3 + j];
  return n;
}

// |sine| of the angle between a line of direction d and a plane of normal n.
long double Crossing(const Vec3& d, const Vec3& n) {
  return std::fabs(Dot(d, n)) / std::sqrt(Dot(d, d) * Dot(n, n));
}

// The least-squares meeting point of two rays: the middle of their common perpendicular. It does
// not depend on how either camera is rolled. False for parallel rays.
bool ClosestPoint(const Vec3& c1, const Vec3& d1, const Vec3& c2, const Vec3& d2, Vec3& P) {
  const Vec3 w = {c1[0] - c2[0], c1[1] - c2[1], c1[2] - c2[2]};
  const long double a = Dot(d1, d1), b = Dot(d1, d2), c = Dot(d2, d2);
  const long double d = Dot(d1, w), e = Dot(d2, w);
  const long double det = a * c - b * b;
  if (!(det > 1e-12L * a * c)) return false;
  const long double s = (b * e - c * d) / det, t = (a * e - b * d) / det;
  for (int j = 0; j < 3; ++j) P[j] = ((c1[j] + s * d1[j]) + (c2[j] + t * d2[j])) / 2;
  return true;
}

}  // namespace

void LinearIntersection(const PointTable& table, const TCameraParameters& camera, double& X,
                        double& Y, double& Z, int index) {
  const InternalParameters& in = camera.internal;
  const long double abs_f = std::fabs(static_cast<long double>(in.f));
  FpuClear();
  const ImagePosition l = table.Left(index), r = table.Right(index);
  const Ray left = Correct(l.x, l.y, in, camera.left);
  const Ray right = Correct(r.x, r.y, in, camera.right);
  // The right photograph's column plane cuts the left ray well unless the right camera is rolled
  // so far that its row plane cuts it better (a quarter turn puts the left ray into the column
  // plane); then both rays are intersected by least squares instead.
  const Vec3 d1 = Direction(left, abs_f);
  if (Crossing(d1, PlaneNormal(right, abs_f, 2)) > Crossing(d1, PlaneNormal(right, abs_f, 1))) {
    Vec3 P;
    const ExternalParameters &el = camera.left, &er = camera.right;
    if (ClosestPoint({el.Tx, el.Ty, el.Tz}, d1, {er.Tx, er.Ty, er.Tz}, Direction(right, abs_f),
                     P)) {
      FpuCheck();
      X = static_cast<double>(P[0]);
      Y = static_cast<double>(P[1]);
      Z = static_cast<double>(P[2]);
      return;
    }
  }
  IFloatMatrix A = CreateMatrix(3, 3);
  IFloatVector rhs = CreateFloatVector(3);
  SetPlane(*A, *rhs, 1, left.xbar, abs_f, left.R, 1, camera.left);
  SetPlane(*A, *rhs, 2, left.ybar, abs_f, left.R, 2, camera.left);
  SetPlane(*A, *rhs, 3, right.xbar, abs_f, right.R, 1, camera.right);
  FpuCheck();
  A->Invert();
  IFloatVector solution = A->MultiplyVector(*rhs);
  FpuCheck();
  X = static_cast<double>(solution->GetElement(1));
  Y = static_cast<double>(solution->GetElement(2));
  Z = static_cast<double>(solution->GetElement(3));
}

MeasuredPoint MeasureObjectPoint(const PointTable& table, const TCameraParameters& camera,
                                 int& object_point_count, int index) {
  ++object_point_count;
  double X0, Y0, Z0;
  LinearIntersection(table, camera, X0, Y0, Z0, index);
  TDemoModel2 model(table, camera, index);
  model.X = X0;
  model.Y = Y0;
  model.Z = Z0;
  IFit fit = CreateFit({&model.X, &model.Y, &model.Z}, model.Bound());
  fit->Fit();
  return MeasuredPoint{object_point_count, model.X, model.Y, model.Z};
}

std::string MeasurementLine(const MeasuredPoint& point, char decimal_separator) {
  return "Object point n° " + std::to_string(point.number) +
         "       x : " + FormatGeneral(point.X, decimal_separator) +
         "       y : " + FormatGeneral(point.Y, decimal_separator) +
         "       z : " + FormatGeneral(point.Z, decimal_separator);
}

}  // namespace vistrel
