#pragma once

// Navigation rules of the 3D window that need no toolkit: keypad moves of the camera target and
// the wheel zoom ratio.

#include <bitset>

#include "scene/math.h"

namespace vistrel::view3d {

// Move of the target per tick, scene units, for each held keypad digit.
inline constexpr float kKeypadStep = 0.1f;
// Camera distance factor per wheel notch away from the user.
inline constexpr double kWheelFactor = 1.1;
inline constexpr int kWheelDeltaPerNotch = 120;

// Sum of the moves of the held keys: 6 +X, 4 -X, 8 +Z, 2 -Z, 9 +Y, 3 -Y (scene axes).
scene::Vec3 KeypadMove(const std::bitset<10>& digits_down);

// Distance ratio for a wheel delta (120 per notch, positive away from the user): 1.1^(d / 120).
double WheelRatio(int delta);

}  // namespace vistrel::view3d
