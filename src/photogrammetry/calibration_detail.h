#pragma once

// Steps of the calibration, exposed for tests.

#include <array>

#include "photogrammetry/camera_model.h"
#include "photogrammetry/models.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

// Start values of one photograph, decomposed from its eleven DLT coefficients.
struct DltStart {
  double F = 0;                           // focal estimate
  double Cx = 0, Cy = 0, Cz = 0;          // projection centre
  double Alpha = 0, Beta = 0, Gamma = 0;  // kept Euler triple, degrees
  double alpha0 = 0, beta0 = 0, gamma0 = 0;
  double best_error = 0;  // error of the kept triple (1E10 when none was below it)
};

// One parameter of the joint model: its name, its field in the model and its place in the
// camera parameters (an internal parameter, or an external one of the left or right photograph).
struct JointField {
  const char* name;
  long double TDemoModel1::*model;
  int photograph;  // -1 internal, 0 left, 1 right
  double InternalParameters::*internal;
  double ExternalParameters::*external;
};

// The twenty parameters in the order the 20-parameter fit takes them; the 15-parameter fit takes
// the same list without the first five.
inline constexpr JointField kJointFields[20] = {
    {"a1", &TDemoModel1::a1, -1, &InternalParameters::a1, nullptr},
    {"a2", &TDemoModel1::a2, -1, &InternalParameters::a2, nullptr},
    {"a3", &TDemoModel1::a3, -1, &InternalParameters::a3, nullptr},
    {"p1", &TDemoModel1::p1, -1, &InternalParameters::p1, nullptr},
    {"p2", &TDemoModel1::p2, -1, &InternalParameters::p2, nullptr},
    {"u0", &TDemoModel1::u0, -1, &InternalParameters::u0, nullptr},
    {"v0", &TDemoModel1::v0, -1, &InternalParameters::v0, nullptr},
    {"f", &TDemoModel1::f, -1, &InternalParameters::f, nullptr},
    {"left Tx", &TDemoModel1::left_Tx, 0, nullptr, &ExternalParameters::Tx},
    {"left Ty", &TDemoModel1::left_Ty, 0, nullptr, &ExternalParameters::Ty},
    {"left Tz", &TDemoModel1::left_Tz, 0, nullptr, &ExternalParameters::Tz},
    {"left Alpha", &TDemoModel1::left_Alpha, 0, nullptr, &ExternalParameters::Alpha},
    {"left Beta", &TDemoModel1::left_Beta, 0, nullptr, &ExternalParameters::Beta},
    {"left Gamma", &TDemoModel1::left_Gamma, 0, nullptr, &ExternalParameters::Gamma},
    {"right Tx", &TDemoModel1::right_Tx, 1, nullptr, &ExternalParameters::Tx},
    {"right Ty", &TDemoModel1::right_Ty, 1, nullptr, &ExternalParameters::Ty},
    {"right Tz", &TDemoModel1::right_Tz, 1, nullptr, &ExternalParameters::Tz},
    {"right Alpha", &TDemoModel1::right_Alpha, 1, nullptr, &ExternalParameters::Alpha},
    {"right Beta", &TDemoModel1::right_Beta, 1, nullptr, &ExternalParameters::Beta},
    {"right Gamma", &TDemoModel1::right_Gamma, 1, nullptr, &ExternalParameters::Gamma}};

// The camera parameter a joint field is stored in.
inline double& CameraField(TCameraParameters& c, const JointField& f) {
  if (f.photograph < 0) return c.internal.*f.internal;
  // Named first: g++ 12 applies .* to a copy when its left side is a conditional expression.
  ExternalParameters& photograph = f.photograph == 0 ? c.left : c.right;
  return photograph.*f.external;
}
inline double CameraField(const TCameraParameters& c, const JointField& f) {
  return CameraField(const_cast<TCameraParameters&>(c), f);  // reads only
}

// The nine control points as one photograph sees them: space points and clicked pixels.
struct ControlImage {
  std::array<double, 9> X{}, Y{}, Z{};
  std::array<std::int32_t, 9> x{}, y{};
};

ControlImage LeftImage(const PointTable& table);
ControlImage RightImage(const PointTable& table);

// Fits the DLT model of one photograph from the all-zero start; returns L1..L11 as doubles.
std::array<double, 11> FitDlt(const PointTable& table, const std::array<std::int32_t, 9>& x,
                              const std::array<std::int32_t, 9>& y, int W, int H);

// Projection centre, focal estimate, first angles and the 125-candidate search, keeping the
// triple most consistent with the DLT coefficients. Throws EFloatMatrix for a singular
// coefficient matrix and EMathError for a fault in the square roots, arcsines or the arctangent.
DltStart DecomposeDlt(const std::array<double, 11>& L);

// The same centre, focal estimate and candidates, keeping the triple under which the nine
// control points reproject best (focal length F, principal point (W / 2, H / 2), no
// distortion). Arcsine arguments a little above 1 from rounded clicks are taken as 1 and an
// L1 of 0 as a Gamma of 90, so a level camera still gets its angles. Throws EFloatMatrix for a
// singular coefficient matrix and EMathError for a fault in the focal estimate.
DltStart DecomposeDltByReprojection(const std::array<double, 11>& L, const ControlImage& image,
                                    int W, int H);

// The five candidates of an angle t, numbered 1 to 5: -t, 180 - t, 180 + t, t - 180, t.
double AngleCandidate(double t, int n);

}  // namespace vistrel
