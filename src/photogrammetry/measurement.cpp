#include "photogrammetry/measurement.h"

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

}  // namespace

void LinearIntersection(const PointTable& table, const TCameraParameters& camera, double& X,
                        double& Y, double& Z, int index) {
  const InternalParameters& in = camera.internal;
  const long double abs_f = std::fabs(static_cast<long double>(in.f));
  FpuClear();
  const ImagePosition l = table.Left(index), r = table.Right(index);
  const Ray left = Correct(l.x, l.y, in, camera.left);
  const Ray right = Correct(r.x, r.y, in, camera.right);
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
