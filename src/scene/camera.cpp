#include "scene/camera.h"

#include <algorithm>
#include <cmath>

namespace vistrel::scene {

namespace {}

ViewBasis CameraViewBasis(const CameraNode& camera) {
  ViewBasis b;
  b.eye = camera.AbsolutePosition();
  b.at = camera.target ? camera.target->AbsolutePosition()
                       : b.eye + Normalized(camera.AbsoluteMatrix().Row(2));
  b.forward = Normalized(b.at - b.eye);
  b.right = Normalized(Cross(b.forward, camera.AbsoluteUp()));
  b.up = Cross(b.right, b.forward);
  return b;
}

Frustum CameraFrustum(const CameraNode& camera, int width, int height, double ppi) {
  const double w = std::max(width, 1), h = std::max(height, 1);
  const double m = std::max(w, h);
  Frustum f;
  f.near = camera.focal_length * 2.0 * ppi / (25.4 * m) * camera.near_bias;
  f.far = f.near + camera.depth_of_view;
  f.left = -w / (2 * m);
  f.right = w / (2 * m);
  f.bottom = -h / (2 * m);
  f.top = h / (2 * m);
  if (camera.follow_extent) {
    const Vec3 eye = camera.AbsolutePosition();
    const Vec3 target = camera.target ? camera.target->AbsolutePosition() : camera.extent_centre;
    // The target belongs to the scene even when it was moved off the data.
    const double radius =
        std::max(double(camera.extent_radius), double(Length(target - camera.extent_centre)));
    const ClipRange clip =
        ClipPlanes(Length(target - eye), Length(camera.extent_centre - eye), radius);
    const double k = clip.near / f.near;
    f.left *= k;
    f.right *= k;
    f.bottom *= k;
    f.top *= k;
    f.near = clip.near;
    f.far = clip.far;
  }
  return f;
}

ClipRange ClipPlanes(double target_distance, double eye_to_centre, double radius) {
  const double r = radius * kClipMargin;
  const double d = std::max(target_distance, kMinTargetDistance);
  ClipRange clip;
  clip.near = std::max(eye_to_centre - r, d * kNearFraction);
  clip.far = std::max(eye_to_centre + r, clip.near * 2);
  return clip;
}

void OrbitAroundTarget(CameraNode& camera, float pitch_degrees, float turn_degrees) {
  if (camera.target == nullptr) return;
  const Vec3 target = camera.target->AbsolutePosition();
  const Vec3 v = camera.AbsolutePosition() - target;
  const float dist = Length(v);
  if (dist == 0) return;
  const Vec3 n = v * (1 / dist);
  const Vec3 u = camera.AbsoluteUp();
  Vec3 right = Cross(u, n);
  right = Length(right) < 0.001f ? Vec3{1, 0, 0} : Normalized(right);
  const float cos_angle = std::clamp(Dot(u, n), -1.0f, 1.0f);
  const float phi =
      std::clamp(std::acos(cos_angle) + pitch_degrees / 180 * kPi, kMinPitch, kMaxPitch);
  const Vec3 w = RotateAbout(RotateAbout(u, right, phi), u, turn_degrees / 180 * kPi);
  camera.SetAbsolutePosition(target + w * dist);
}

void AdjustDistanceToTarget(CameraNode& camera, float ratio) {
  if (camera.target == nullptr) return;
  const Vec3 target = camera.target->AbsolutePosition();
  camera.SetAbsolutePosition(target + (camera.AbsolutePosition() - target) * ratio);
}

}  // namespace vistrel::scene

namespace vistrel::scene {

float LimitedDistanceRatio(const CameraNode& camera, float ratio) {
  if (camera.target == nullptr) return ratio;
  const double d = Length(camera.AbsolutePosition() - camera.target->AbsolutePosition());
  if (d <= 0) return ratio;
  return float(
      std::clamp(d * ratio, std::min(d, kMinTargetDistance), std::max(d, kMaxTargetDistance)) / d);
}

}  // namespace vistrel::scene
