#pragma once

#include <optional>
#include <string>
#include <vector>

#include "photogrammetry/calibration.h"
#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

// Image residual of one control point on one photograph, in pixels, as the joint fit sees it.
struct PointResidual {
  long double ex = 0, ey = 0;
  long double length = 0;  // sqrt(ex^2 + ey^2)
};

struct ControlPointQuality {
  int point = 0;     // index in the point table
  std::string name;  // the point's name
  PointResidual left, right;
  long double largest = 0;  // the larger of the two lengths
  bool flagged = false;     // a residual length above 3 sigma0 in either photograph
};

struct ParameterQuality {
  std::string name;
  long double value = 0;
  std::optional<long double> standard_error;  // empty: not available
};

// How good a calibration is: per-point residuals, their RMS, the standard error of unit weight
// sigma0 = sqrt(sum of squares / (36 - fitted parameters)) and each fitted parameter's standard
// error, from the covariance sigma0^2 (J^T J)^-1 of the residuals' derivatives J.
struct CalibrationQuality {
  std::vector<ControlPointQuality> points;  // control points 1 to 9, in point order
  long double sum_of_squares = 0;
  long double rms = 0;     // sqrt(sum of squares / 36), pixels
  long double sigma0 = 0;  // pixels
  int fitted_parameters = 0;
  std::vector<ParameterQuality> parameters;
  // Covariance sigma0^2 (J^T J)^-1 of the fitted parameters, in the order of `parameters`, row
  // after row, in the parameters' own units; empty when not available.
  std::vector<long double> covariance;
  std::vector<StartRecord> starts;  // every start of the joint fit, in their fixed order
  int winner = 0;                   // index into starts of the result kept
  bool joint_fit_failed = false;    // every start raised
  std::optional<DistortionSignificance> distortion_significance;
  std::string lens_model, lens_model_reason;  // as the calibration's outcome names them

  // Points ordered by largest residual first (ties keep point order).
  std::vector<ControlPointQuality> ByLargestResidual() const;
};

// Computes the quality figures of a calibration from the point table, the calibrated camera and
// the calibration's outcome. Throws EMathError if a control point lies on a camera's principal
// plane.
CalibrationQuality ComputeQuality(const PointTable& table, const TCameraParameters& camera,
                                  const CalibrationOutcome& outcome);

// Standard errors of a measured point's space coordinates, in space units.
struct PointPrecision {
  long double sx = 0, sy = 0, sz = 0;
};

// The precision of the point (X, Y, Z) measured from the table's observation point: the
// calibration's parameter covariance (quality.covariance) and independent errors of standard
// deviation pixel_sigma on each of the observation's four image coordinates, propagated to first
// order through the least-squares intersection of the two viewing rays. Empty when the
// calibration's covariance is not available. Throws EMathError if the point lies on a camera's
// principal plane.
std::optional<PointPrecision> MeasuredPointPrecision(const PointTable& table,
                                                     const TCameraParameters& camera,
                                                     const CalibrationQuality& quality,
                                                     long double X, long double Y, long double Z,
                                                     long double pixel_sigma,
                                                     int index = PointTable::kObservation);

// "precision sx SX sy SY sz SZ", numbers in the general format.
std::string PrecisionLine(const PointPrecision& precision, char decimal_separator);

// Plain text for scripts: a header line, one line per point ("point k left ex ey len right ex ey
// len flag"), the summary, then one line per parameter ("parameter NAME VALUE ERROR" or
// "... not available"; names such as "left.Tx"), one line per start of the joint fit
// ("start NAME objective F iterations N", F "none" for a start that raised, followed by
// "failed", "abandoned", "budget B" (stopped on its budget of B iterations) or "same-as OTHER"
// when so) and "winner NAME" ("winner none" when every
// start failed), then with distortion "distortion F F without S15 with S20 significant" (or
// "not-significant"), then, when the calibration chose a lens model, "lens-model NAME REASON".
std::vector<std::string> QualityLines(const CalibrationQuality& quality, char decimal_separator);

}  // namespace vistrel
