#pragma once

// Warnings about control points that cannot calibrate a pair well, and about a calibration whose
// result cannot be right. The calibration runs all the same: these say what to look at, with the
// points at fault where there are some.

#include <string>
#include <vector>

#include "photogrammetry/point_table.h"

namespace vistrel {

struct ControlPointWarning {
  std::string text;         // one line, English
  std::vector<int> points;  // control points at fault (table indices), ascending; empty: all
};

// Above this residual scatter, in pixels of the photographs, the fit does not match the clicks:
// points clicked at the wrong place, or space coordinates typed wrong. A careful click is good
// to a pixel or two.
inline constexpr double kMaxSigma0Pixels = 5;

// Space points closer than this fraction of the control points' extent count as the same point,
// or as lying on one line or in one plane.
inline constexpr double kDegenerateFraction = 1e-6;

// A control point this many times farther from the middle of the set than the set's typical
// distance from it is a slip (a coordinate typed wrong, or in other units), not part of the
// set's shape: well spread points lie within a few typical distances.
inline constexpr double kOutlierFactor = 50;

// Before the calibration, from the table's control points: points far outside the others
// (measured by medians, which one absurd point does not move), then, among the rest, space
// points that coincide, all on one line, all in one plane (the linear start needs depth); and
// points that share a pixel in one photograph.
std::vector<ControlPointWarning> CheckControlPoints(const PointTable& table);

// After it: sigma0 (pixels) above kMaxSigma0Pixels, or a focal length that is not positive.
std::vector<ControlPointWarning> CheckCalibrationResult(double sigma0, double focal_length);

}  // namespace vistrel
