#pragma once

#include <string>

#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

struct MeasuredPoint {
  int number = 0;  // ObjectPointCount after the increment
  long double X = 0, Y = 0, Z = 0;
};

// First estimate: the meeting point of three planes through the projection centres (two from
// the left photograph, the column plane of the right one), from the corrected pixels.
// Throws EFloatMatrix "Invert: Singular matrix" when the planes do not meet in one point.
void LinearIntersection(const PointTable& table, const TCameraParameters& camera, double& X,
                        double& Y, double& Z, int index = PointTable::kObservation);

// The measurement command: increments object_point_count (kept even when the measurement
// fails), intersects the observation point's viewing rays linearly and refines the point with
// the minimiser. Throws EFloatMatrix "Invert: Singular matrix" before any calibration, or the
// fault of the fit.
MeasuredPoint MeasureObjectPoint(const PointTable& table, const TCameraParameters& camera,
                                 int& object_point_count, int index = PointTable::kObservation);

// "Object point n° k       x : X       y : Y       z : Z" in the general format.
std::string MeasurementLine(const MeasuredPoint& point, char decimal_separator);

}  // namespace vistrel
