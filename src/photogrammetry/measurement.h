#pragma once

#include <string>

#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

struct MeasuredPoint {
  int number = 0;  // ObjectPointCount after the increment
  long double X = 0, Y = 0, Z = 0;
};

// The measurement command: increments object_point_count (kept even when the measurement
// fails), intersects the observation point's viewing rays linearly and refines the point with
// the minimiser. Throws EFloatMatrix "Invert: Singular matrix" before any calibration, or the
// fault of the fit.
MeasuredPoint MeasureObjectPoint(const PointTable& table, const TCameraParameters& camera,
                                 int& object_point_count);

// "Object point n° k       x : X       y : Y       z : Z" in the general format.
std::string MeasurementLine(const MeasuredPoint& point, char decimal_separator);

}  // namespace vistrel
