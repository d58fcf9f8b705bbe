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

// A photograph of many targets, each on its own card (a square of its ground colour), among
// clutter that is not point-symmetric (triangles, L shapes, half discs, wedges) on a shaded,
// textured ground.
enum class FieldTargetKind { kDisc, kRing, kCorner };

struct FieldTarget {
  FieldTargetKind kind = FieldTargetKind::kDisc;
  double cx = 0, cy = 0;  // the true centre, pixels
  double radius = 5;      // disc and ring: outer radius along the major axis; corner: card half
  double tilt_deg = 0, orientation_deg = 0;
  bool dark_on_light = false;
};

struct FieldDrawing {
  int width = 4000, height = 3000;
  int targets = 50;  // placed at random, apart from each other, when `placed` is empty
  std::vector<FieldTarget> placed;
  int clutter = 400;      // shapes
  int clutter_kind = -1;  // 0 triangles, 1 L shapes, 2 half discs, 3 wedges; -1 all in turn
  double min_radius = 1.5, max_radius = 30;  // target radii drawn at random (log-uniform)
  double max_tilt_deg = 60;
  double blur = 0.7;   // standard deviation, pixels
  double noise = 2.0;  // grey levels, standard deviation
  std::uint32_t seed = 1;
};

struct FieldPicture {
  TargetPicture picture;
  std::vector<FieldTarget> targets;
};

FieldPicture RenderTargetField(const FieldDrawing& drawing);

}  // namespace vistrel::synthetic
