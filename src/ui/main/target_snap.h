#pragma once

// Snap to a target: the centre of the circular or chequered target under the pointer.

#include <cstdint>
#include <functional>
#include <optional>

namespace vistrel {

// Targets are found by point symmetry: a target's centre is the one point about which its
// pattern (disc, ring, cross, quartered disc) maps onto itself, which textured background does
// not. Each candidate centre within kSnapSearch pixels of the click, on a half-pixel grid, is
// scored by the mean squared difference of grey levels at opposite offsets within kSnapPatch
// pixels, divided by twice their variance: about 1 for unstructured texture, near 0 at a target's
// centre (at most 0.16 on the demo photographs' targets).
inline constexpr int kSnapSearch = 10;
inline constexpr int kSnapPatch = 14;
// A centre is accepted below this normalised asymmetry...
inline constexpr double kSnapMaxAsymmetry = 0.3;
// ... and only where the patch has this grey-level standard deviation: a flat area is symmetric
// about every point.
inline constexpr double kSnapMinContrast = 12.0;

// Grey level 0-255 of picture pixel (x, y), or -1 outside the picture.
using GreyAt = std::function<int(std::int64_t x, std::int64_t y)>;

struct SnapResult {
  std::int64_t x, y;  // the centre, rounded to the nearest whole pixel
  double fx, fy;      // the centre before rounding (parabola through the scores about the best)
};

// The centre of the target around pixel (x, y); empty when no candidate is symmetric enough or
// the best lies on the edge of the search area (a target farther off than kSnapSearch).
std::optional<SnapResult> SnapToTarget(const GreyAt& grey, std::int64_t x, std::int64_t y);

}  // namespace vistrel
