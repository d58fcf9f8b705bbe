#pragma once

#include <string>
#include <vector>

#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

inline constexpr const char* kJointFitFailedMessage =
    "Optimisation failed. Possible reason : wrong control points";

struct CalibrationOutcome {
  bool joint_fit_failed = false;  // the joint fit raised; camera holds its last trial values
  std::string failure_reason;     // the message of that exception, for diagnostics
  // Names of the fitted parameters in fit order ("a1", ..., "u0", "v0", "f", "left Tx", ...).
  std::vector<std::string> fitted_names;
  // ParameterError(k) of the joint fit for each fitted parameter (square root of the diagonal
  // of the inverse of half the curvature); empty when the fit failed. An entry is NaN where the
  // covariance's diagonal is negative.
  std::vector<long double> parameter_errors;
};

// The calibration command: per-photograph DLT fit and decomposition for start values, then the
// joint fit of both photographs (15 parameters, or 20 with `distortion`). W and H are the left
// pane's current display size. Resets object_point_count to 0 first. A failure of the first
// stage (singular DLT, floating-point fault) throws and leaves `camera` unchanged; a failure of
// the joint fit is caught and reported in the outcome, and `camera` then receives the values the
// minimiser wrote last.
CalibrationOutcome Calibrate(const PointTable& table, int W, int H, bool distortion,
                             TCameraParameters& camera, int& object_point_count);

}  // namespace vistrel
