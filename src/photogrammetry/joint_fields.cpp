#include "photogrammetry/joint_fields.h"

namespace vistrel {

std::vector<JointField> FittedFields(DistortionTerms terms) {
  std::vector<JointField> fields;
  for (int k = 0; k < kDistortionFieldCount; ++k)
    if (terms & (1u << k)) fields.push_back(kJointFields[k]);
  fields.insert(fields.end(), std::begin(kJointFields) + kDistortionFieldCount,
                std::end(kJointFields));
  return fields;
}

void CopyToCamera(const TDemoModel1& m, TCameraParameters& camera) {
  for (const JointField& field : kJointFields)
    CameraField(camera, field) = static_cast<double>(m.*field.model);
}

}  // namespace vistrel
