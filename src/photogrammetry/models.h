#pragma once

#include <array>
#include <vector>

#include "numeric/fit.h"
#include "photogrammetry/camera_model.h"
#include "photogrammetry/dlt.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

// Each model's Objective() clears the floating-point flags, evaluates and throws on a fault, for
// direct callers. Bound() hands the minimiser the raw evaluation; the minimiser checks the flags
// after every call itself, so that faults of its own trial arithmetic are caught too.

// DLT model of one photograph: 11 coefficients, algebraic residuals of the control points
// with image coordinates centred on (W / 2, H / 2), W and H the left pane's display size.
class TDemoModel3 {
 public:
  // The control points of one photograph.
  TDemoModel3(const ControlImage& image, int W, int H);

  std::array<long double, 11> L{};  // L1 ... L11 at L[0] ... L[10]

  long double Objective();
  long double Evaluate() const;
  TFitFunction Bound() {
    return [this] { return Evaluate(); };
  }

 private:
  std::vector<long double> X_, Y_, Z_, x_, y_;
  int W_, H_;
};

// Physical model of both photographs: 8 shared internal and 6 external parameters per photograph;
// the sum of the 4N squared image residuals of the N control points.
class TDemoModel1 {
 public:
  explicit TDemoModel1(const PointTable& table);

  long double f = 0, u0 = 0, v0 = 0, a1 = 0, a2 = 0, a3 = 0, p1 = 0, p2 = 0;
  long double left_Tx = 0, left_Ty = 0, left_Tz = 0, left_Alpha = 0, left_Beta = 0, left_Gamma = 0;
  long double right_Tx = 0, right_Ty = 0, right_Tz = 0, right_Alpha = 0, right_Beta = 0,
              right_Gamma = 0;

  long double Objective();
  // Reuses the terms of a photograph whose parameters did not change since the last
  // evaluation; the sum is bit-identical to EvaluatePlain().
  long double Evaluate();
  long double EvaluatePlain() const;
  TFitFunction Bound() {
    return [this] { return Evaluate(); };
  }

 private:
  // Partial results of one photograph, each valid while the parameters it depends on keep their
  // values. Together they let an evaluation redo only what a moved parameter touches, with the
  // same operations in the same order as a plain evaluation, so results stay bit-identical.
  struct CameraCache {
    bool angle_valid[3] = {false, false, false};
    double angle[3] = {0, 0, 0};  // degrees, rounded to double
    long double sin[3] = {0, 0, 0}, cos[3] = {0, 0, 0};
    Rotation R{};
    bool geometry_valid = false;  // camera coordinates of the nine points, for R and T
    long double Tx = 0, Ty = 0, Tz = 0;
    std::vector<long double> xc, yc, zc;
    bool projection_valid = false;  // |f| Xc / Zc and |f| Yc / Zc
    long double abs_f = 0;
    std::vector<long double> px, py;
    bool distortion_valid = false;  // terms of the observed pixels
    double u0 = 0, v0 = 0;
    long double a1 = 0, a2 = 0, a3 = 0, p1 = 0, p2 = 0;
    std::vector<Distortion> d;
  };

  // Adds the 18 squared residuals of one photograph to `sum`, in point order, ex before ey.
  void AddCamera(CameraCache& c, const long double (&angles)[3], long double Tx, long double Ty,
                 long double Tz, const std::vector<long double>& x,
                 const std::vector<long double>& y, long double& sum);
  long double PlainCamera(const long double (&angles)[3], long double Tx, long double Ty,
                          long double Tz, const std::vector<long double>& x,
                          const std::vector<long double>& y, long double sum) const;

  std::vector<long double> X_, Y_, Z_;
  std::vector<long double> xg_, yg_, xd_, yd_;
  CameraCache cache_[2];
};

// Object-point model: X, Y, Z of the observation point; the four image residuals of its left
// and right observations under the calibrated cameras.
class TDemoModel2 {
 public:
  // Measures point `index` of the table (the observation point unless another is named).
  TDemoModel2(const PointTable& table, const TCameraParameters& camera,
              int index = PointTable::kObservation);

  long double X = 0, Y = 0, Z = 0;

  long double Objective();
  long double Evaluate() const;
  TFitFunction Bound() {
    return [this] { return Evaluate(); };
  }

 private:
  long double xg_, yg_, xd_, yd_;
  TCameraParameters camera_;
  Rotation left_R_, right_R_;
};

}  // namespace vistrel
