#include "ui/view3d/navigation.h"

#include <algorithm>
#include <cmath>

#include "scene/camera.h"

namespace vistrel::view3d {

scene::Vec3 KeypadMove(const std::bitset<10>& down) {
  scene::Vec3 move;
  // Tested in this order, each held key adding its own step.
  if (down[6]) move.x += kKeypadStep;
  if (down[4]) move.x -= kKeypadStep;
  if (down[8]) move.z += kKeypadStep;
  if (down[2]) move.z -= kKeypadStep;
  if (down[9]) move.y += kKeypadStep;
  if (down[3]) move.y -= kKeypadStep;
  return move;
}

double WheelRatio(int delta) { return std::pow(kWheelFactor, double(delta) / kWheelDeltaPerNotch); }

namespace {

// Screen right and level forward of a camera; forward falls back on the camera's up when the
// line of sight is vertical.
void LevelAxes(scene::Vec3 eye, scene::Vec3 target, scene::Vec3 up, scene::Vec3& right,
               scene::Vec3& forward) {
  const scene::Vec3 sight = target - eye;
  forward = scene::Normalized({sight.x, 0, sight.z});
  if (scene::Length(forward) < 0.5f) forward = scene::Normalized({up.x, 0, up.z});
  right = scene::Cross(forward, {0, 1, 0});
}

}  // namespace

scene::Vec3 ViewRelativeMove(scene::Vec3 eye, scene::Vec3 target, scene::Vec3 up, int right_steps,
                             int forward_steps, int rise_steps, float step) {
  scene::Vec3 right, forward;
  LevelAxes(eye, target, up, right, forward);
  return (right * float(right_steps) + forward * float(forward_steps) +
          scene::Vec3{0, float(rise_steps), 0}) *
         step;
}

double FitDistance(double radius, double tan_half_angle) {
  // The sphere touches the view's sides when sin(half angle) = radius / distance.
  const double sin_half = tan_half_angle / std::sqrt(1 + tan_half_angle * tan_half_angle);
  return radius * kFitMargin / sin_half;
}

std::optional<ViewPose> FitPose(scene::Vec3 centre, double radius, const ViewPose& now,
                                double tan_half_angle) {
  const double distance = FitDistance(std::max(radius, 1e-4), tan_half_angle);
  if (!std::isfinite(centre.x) || !std::isfinite(centre.y) || !std::isfinite(centre.z) ||
      !std::isfinite(distance) || distance > scene::kMaxTargetDistance) {
    return std::nullopt;
  }
  scene::Vec3 back = now.eye - now.target;
  back = scene::Length(back) > 0 ? scene::Normalized(back)
                                 : scene::Normalized(kOpeningPose.eye - kOpeningPose.target);
  return ViewPose{centre, centre + back * float(std::max(distance, scene::kMinTargetDistance))};
}

scene::Vec3 PanMove(scene::Vec3 eye, scene::Vec3 target, scene::Vec3 up, int dx, int dy,
                    double pixels_per_unit_at_1) {
  const scene::Vec3 sight = target - eye;
  const float distance = scene::Length(sight);
  if (distance == 0 || pixels_per_unit_at_1 <= 0) return {};
  const scene::Vec3 forward = sight * (1 / distance);
  const scene::Vec3 right = scene::Normalized(scene::Cross(forward, up));
  const scene::Vec3 screen_up = scene::Cross(right, forward);
  const float units_per_pixel = float(distance / pixels_per_unit_at_1);
  // Dragging right pulls the scene right, so the target goes left.
  return (right * float(-dx) + screen_up * float(dy)) * units_per_pixel;
}

}  // namespace vistrel::view3d
