#pragma once

// Camera projection and the two camera moves around the target. Plain math on the node tree: no
// GL context needed.

#include "scene/node.h"

namespace vistrel::scene {

// Smallest angle kept between the camera's up vector and the target-to-camera direction, radians;
// the orbit never goes over the top or under the bottom.
inline constexpr float kMinPitch = 0.025f;
inline constexpr float kMaxPitch = 3.1415926535f - kMinPitch;  // 3.1165926 as a float

// Perspective frustum of a camera for a viewer of w x h pixels at ppi pixels per inch.
// near = f * 2 * ppi / (25.4 * max(w, h)) * bias; far = near + depth of view; the extents at the
// near plane are +-w / (2 max(w, h)) and +-h / (2 max(w, h)), so a length s at distance d spans
// s * 2 * f * ppi / (25.4 * d) pixels whatever the window size.
struct Frustum {
  double left, right, bottom, top, near, far;
};
Frustum CameraFrustum(const CameraNode& camera, int width, int height, double ppi);

// Moves the camera around its target: pitch_degrees changes the angle between the camera's up
// vector and the target-to-camera direction (clamped to [kMinPitch, kMaxPitch]), turn_degrees
// turns about the up vector; the distance is kept. Does nothing without a target.
void OrbitAroundTarget(CameraNode& camera, float pitch_degrees, float turn_degrees);

// Puts the camera at ratio times its current distance from the target, on the same line.
// Does nothing without a target.
void AdjustDistanceToTarget(CameraNode& camera, float ratio);

}  // namespace vistrel::scene
