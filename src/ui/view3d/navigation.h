#pragma once

// Navigation rules of the 3D window that need no toolkit: keypad moves of the camera target and
// the wheel zoom ratio.

#include <bitset>
#include <optional>

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

// Move of the target for the arrow and page keys, scene units: right_steps along the screen's
// right, forward_steps along the line of sight, both kept level (scene Y is up), rise_steps along
// scene Y; each step is step long. A camera looking straight down moves forward along its up.
scene::Vec3 ViewRelativeMove(scene::Vec3 eye, scene::Vec3 target, scene::Vec3 up, int right_steps,
                             int forward_steps, int rise_steps, float step);

// Step of one arrow-key press at a camera distance: a tenth of it, so a move looks the same at
// any zoom.
inline constexpr float kArrowStepPerDistance = 0.1f;

// Distance at which a sphere of the given radius just fits in a view whose narrower half-angle
// has the tangent tan_half_angle, with a little room around it.
inline constexpr double kFitMargin = 1.1;
double FitDistance(double radius, double tan_half_angle);

// Where the camera target and the camera stand.
struct ViewPose {
  scene::Vec3 target;
  scene::Vec3 eye;
};
// The opening view: target at the origin, camera at (0, 1, 1).
inline constexpr ViewPose kOpeningPose{{0, 0, 0}, {0, 1, 1}};

// The pose that frames a bounding sphere (scene units), looking from the direction the camera
// looks from now (the opening direction when it stands on its target). Nothing when the sphere
// is not finite or would need the camera farther than the zoom's outer limit.
std::optional<ViewPose> FitPose(scene::Vec3 centre, double radius, const ViewPose& now,
                                double tan_half_angle);

// Move of the target (and the camera with it) for a pan drag of (dx, dy) widget pixels: the scene
// point under the cursor at the target's depth follows the cursor. pixels_per_unit_at_1 is how
// many pixels one scene unit spans at distance 1 from the eye.
scene::Vec3 PanMove(scene::Vec3 eye, scene::Vec3 target, scene::Vec3 up, int dx, int dy,
                    double pixels_per_unit_at_1);

}  // namespace vistrel::view3d
