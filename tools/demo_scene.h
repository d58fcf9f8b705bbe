#pragma once

// The synthetic stereo scene behind the demo project: two cameras of one lens looking at a
// calibration frame of nine control targets and a few extra targets to measure. Space units are
// centimetres; the cameras stand about 2.6 m in front of the frame. The generators in this folder
// render the photographs and write the demo files from this one description, so the true image
// position of every target is known.

#include <array>
#include <cmath>
#include <cstdint>

#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"

namespace vistrel::demo {

inline constexpr int kImageWidth = 1600;
inline constexpr int kImageHeight = 1200;

struct Target {
  double X, Y, Z;
};

// Nine non-coplanar control targets: four on the back board (Z = 40), five on blocks standing
// in front of it (smaller Z is nearer the cameras).
inline constexpr std::array<Target, 9> kControlTargets = {{
    {-45.0, -30.0, 40.0},
    {45.0, -30.0, 40.0},
    {45.0, 30.0, 40.0},
    {-45.0, 30.0, 40.0},
    {-25.0, -10.0, 10.0},
    {20.0, -15.0, 0.0},
    {30.0, 20.0, 15.0},
    {-20.0, 25.0, 5.0},
    {0.0, 0.0, 25.0},
}};

// Targets to measure, unknown to the calibration.
inline constexpr std::array<Target, 4> kExtraTargets = {{
    {-10.0, -25.0, 30.0},
    {10.0, 15.0, 20.0},
    {35.0, -5.0, 12.0},
    {-35.0, 5.0, 22.0},
}};

inline constexpr vistrel::InternalParameters kLens = {
    /*f=*/2200.0, /*u0=*/806.0, /*v0=*/596.0, /*a1=*/1.0e-8, /*a2=*/0.0, /*a3=*/0.0,
    /*p1=*/0.0,   /*p2=*/0.0};

inline constexpr vistrel::ExternalParameters kLeftCamera = {
    /*Alpha=*/2.0, /*Beta=*/-9.0, /*Gamma=*/1.5, /*Tx=*/-40.0, /*Ty=*/5.0, /*Tz=*/-230.0};

inline constexpr vistrel::ExternalParameters kRightCamera = {
    /*Alpha=*/-1.5, /*Beta=*/8.0, /*Gamma=*/-1.0, /*Tx=*/45.0, /*Ty=*/0.0, /*Tz=*/-225.0};

// A click's whole pixel for a true image position.
inline std::int32_t ClickedPixel(long double v) {
  return static_cast<std::int32_t>(std::lround(static_cast<double>(v)));
}

// The control points as a user clicks them on the demo photographs: the true projections, lens
// distortion included, rounded to whole pixels, with the targets' space coordinates.
inline PointTable ClickedControlPoints(const InternalParameters& lens = kLens) {
  PointTable table;
  table.Reset();
  for (int i = 1; i <= 9; ++i) {
    const Target& t = kControlTargets[i - 1];
    const ImagePoint l = ProjectToImage(lens, kLeftCamera, t.X, t.Y, t.Z);
    const ImagePoint r = ProjectToImage(lens, kRightCamera, t.X, t.Y, t.Z);
    table.SetLeft(i, ClickedPixel(l.x), ClickedPixel(l.y));
    table.SetRight(i, ClickedPixel(r.x), ClickedPixel(r.y));
    table.SetSpace(i, t.X, t.Y, t.Z);
  }
  return table;
}

}  // namespace vistrel::demo
