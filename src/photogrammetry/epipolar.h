#pragma once

// The epipolar guide: where, on the other photograph, the match of a captured pixel can lie.

#include <cstddef>
#include <vector>

#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

// A position on a photograph in pixel coordinates: pixel (i, j) is centred on (i, j).
struct GuidePoint {
  long double x, y;
};

// Number of points an epipolar curve is sampled at; the curve bends only through the lens
// distortion, so a few dozen short segments follow it to well under a pixel.
inline constexpr int kEpipolarSamples = 64;
// The viewing ray is walked from this fraction of the nearest control point's depth to this
// multiple of the farthest one, which covers the working volume with room for points off it.
inline constexpr long double kEpipolarNearFactor = 0.5L;
inline constexpr long double kEpipolarFarFactor = 2.0L;

// The curve on photograph `to` on which the match of pixel (x, y) of photograph `from` must lie:
// the viewing ray through (x, y), its lens distortion removed with the calibrated internal
// parameters, projected with distortion into `to`. The ray is sampled evenly in inverse depth
// between the depths given by the control points of `table` (space coordinates, in `from`'s
// camera). Empty when the camera is not calibrated (f = 0), when the control points do not lie
// on one side of `from`'s camera, or when no sample projects. Throws nothing.
std::vector<GuidePoint> EpipolarCurve(const TCameraParameters& camera, bool from_left,
                                      long double x, long double y, const PointTable& table);

// Shortest distance from (x, y) to the polyline `curve`; the largest long double for a curve of
// fewer than two points.
long double DistanceToCurve(const std::vector<GuidePoint>& curve, long double x, long double y);

// A click's match on the other photograph: the targets (indices into `targets`) within
// kEpipolarMatchTolerance pixels of `curve`, nearest first.
inline constexpr long double kEpipolarMatchTolerance = 2.0L;
std::vector<std::size_t> TargetsOnCurve(const std::vector<GuidePoint>& curve,
                                        const std::vector<ImagePosition>& targets,
                                        long double tolerance = kEpipolarMatchTolerance);

}  // namespace vistrel
