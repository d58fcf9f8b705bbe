#pragma once

// The joint fit of the added starts: the joint model's residuals in scaled parameters, fitted by
// least squares (Levenberg-Marquardt). Scaled, every parameter is of order one whatever the
// photographs' size and the space unit: angles in radians, the focal length, principal point
// and distortion coefficients in units of half the photograph's diagonal, projection centres
// relative to the control points' centroid in units of their RMS distance from it.

#include <cstdint>

#include "numeric/least_squares.h"
#include "photogrammetry/dlt.h"
#include "photogrammetry/joint_fields.h"
#include "photogrammetry/models.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

// Jacobians a least-squares fit of one stage may take; a start that needs more stops there.
inline constexpr std::int64_t kLeastSquaresBudget = 300;

// Fits the fields FittedFields(terms) of `model` from their current values and writes the result
// back into the model, in its own units; the other fields keep their values. W, H: the left
// photograph's pixel size. Throws EMathError when the residuals fault at the start values.
LeastSquaresSummary FitScaled(TDemoModel1& model, const PointTable& table,
                              const SpaceNormalisation& space, int W, int H, DistortionTerms terms,
                              std::int64_t budget = kLeastSquaresBudget);

}  // namespace vistrel
