#pragma once

// Camera projection and the two camera moves around the target. Plain math on the node tree: no
// GL context needed.

#include "scene/node.h"

namespace vistrel::scene {

// Smallest angle kept between the camera's up vector and the target-to-camera direction, radians;
// the orbit never goes over the top or under the bottom.
inline constexpr float kMinPitch = 0.025f;
inline constexpr float kMaxPitch = kPi - kMinPitch;  // 3.1165926 as a float

// Perspective frustum of a camera for a viewer of w x h pixels at ppi pixels per inch.
// near = f * 2 * ppi / (25.4 * max(w, h)) * bias; far = near + depth of view; the extents at the
// near plane are +-w / (2 max(w, h)) and +-h / (2 max(w, h)), so a length s at distance d spans
// s * 2 * f * ppi / (25.4 * d) pixels whatever the window size.
//
// With follow_extent on, near and far come from ClipPlanes instead and the extents are scaled
// with near, so the apparent scale stays exactly the same.
struct Frustum {
  double left, right, bottom, top, near, far;
};
Frustum CameraFrustum(const CameraNode& camera, int width, int height, double ppi);

// Where a camera looks from and to (its target, or one unit along its axis), and the view's unit
// forward, right and up directions as gluLookAt builds them.
struct ViewBasis {
  Vec3 eye, at, forward, right, up;
};
ViewBasis CameraViewBasis(const CameraNode& camera);

// Of everything nearer the eye than this fraction of the target distance, only what lies off the
// line of sight could be cut: the target itself and what surrounds it never are.
inline constexpr double kNearFraction = 0.02;
// Margin on the scene's bounding sphere, so that rounding never clips its rim.
inline constexpr double kClipMargin = 1.05;

struct ClipRange {
  double near, far;
};
// The closest the camera comes to its target, scene units (the zoom's inner limit).
inline constexpr double kMinTargetDistance = 1e-3;
// The farthest, scene units (the zoom's outer limit).
inline constexpr double kMaxTargetDistance = 1e4;

// Planes that hold the whole scene sphere (centre at eye_to_centre from the eye; its radius must
// cover the target, at target_distance): far at the sphere's far side; near at its near side when
// the eye is outside it, else at kNearFraction of the target distance.
ClipRange ClipPlanes(double target_distance, double eye_to_centre, double radius);

// Moves the camera around its target: pitch_degrees changes the angle between the camera's up
// vector and the target-to-camera direction (clamped to [kMinPitch, kMaxPitch]), turn_degrees
// turns about the up vector; the distance is kept. Does nothing without a target.
void OrbitAroundTarget(CameraNode& camera, float pitch_degrees, float turn_degrees);

// Puts the camera at ratio times its current distance from the target, on the same line.
// Does nothing without a target.
void AdjustDistanceToTarget(CameraNode& camera, float ratio);
// The ratio that AdjustDistanceToTarget may apply without leaving
// [kMinTargetDistance, kMaxTargetDistance]: ratio itself when it stays inside.
float LimitedDistanceRatio(const CameraNode& camera, float ratio);

}  // namespace vistrel::scene
