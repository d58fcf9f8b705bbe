#pragma once

// Rendered targets with a known centre, for the centring tests and benchmark: a disc (seen
// obliquely, an ellipse) or a chequered corner, integrated over each pixel, blurred, with sensor
// noise, in 8-bit grey levels. The centre of pixel (i, j) is the point (i, j).

#include <cstdint>
#include <vector>

namespace vistrel::synthetic {

enum class TargetShape { kDisc, kCorner };

struct TargetDrawing {
  TargetShape shape = TargetShape::kDisc;
  int width = 160, height = 160;
  double cx = 80, cy = 80;  // the true centre, pixels
  // Disc: radius along its major axis; the minor axis is radius * cos(tilt), as a disc turned by
  // tilt degrees away from the camera shows. Corner: radius is unused, the pattern fills the
  // picture; tilt shears the second edge's direction away from the perpendicular.
  double radius = 10;
  double tilt_deg = 0;
  double orientation_deg = 0;  // direction of the major axis (disc) or of the first edge (corner)
  bool dark_on_light = false;  // disc darker than its ground; corner: which quadrants are dark
  double dark = 40, light = 210;  // grey levels
  double blur = 0;                // standard deviation of a Gaussian blur, pixels
  double noise = 0;               // standard deviation of the noise, fraction of light - dark
  std::uint32_t seed = 1;
};

struct TargetPicture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> grey;  // row after row
  int at(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? -1 : grey[y * width + x];
  }
};

// Each pixel is the mean of 16 x 16 samples of the pattern over its square (where an edge crosses
// it; 5 x 5 tell), then the blur, the noise (normal, from the seed) and rounding to whole grey
// levels.
TargetPicture RenderTarget(const TargetDrawing& drawing);

}  // namespace vistrel::synthetic
