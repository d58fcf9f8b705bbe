#pragma once

// The parameters of the joint model of both photographs, named once: each one's name, its field
// in the model and its place in the calibrated camera parameters.

#include <vector>

#include "photogrammetry/camera_model.h"
#include "photogrammetry/models.h"

namespace vistrel {

struct JointField {
  const char* name;
  long double TDemoModel1::*model;
  int photograph;  // -1 internal, 0 left, 1 right
  double InternalParameters::*internal;
  double ExternalParameters::*external;
};

// The twenty parameters in the order the 20-parameter fit takes them: the five distortion
// coefficients first, then the principal point, the focal length and both poses.
inline constexpr int kDistortionFieldCount = 5;
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

// Which distortion coefficients a fit adjusts, one bit per coefficient in table order (a1 is
// bit 0, p2 bit 4); the others stay at 0.
using DistortionTerms = unsigned;
inline constexpr DistortionTerms kNoDistortion = 0;
inline constexpr DistortionTerms kAllDistortion = 0x1f;

// The fitted fields in fit order: the chosen distortion coefficients in table order, then the
// fifteen fields every fit adjusts.
std::vector<JointField> FittedFields(DistortionTerms terms);

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

// Rounds every field of the model into its place in the camera parameters.
void CopyToCamera(const TDemoModel1& m, TCameraParameters& camera);

}  // namespace vistrel
