// Scene graph logic that needs no GL context: frames, camera moves, projection, tick source.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/camera.h"
#include "scene/node.h"
#include "scene/tick_source.h"

namespace vistrel::scene {
namespace {

void ExpectNear(Vec3 actual, Vec3 expected, float tol = 1e-5f) {
  EXPECT_NEAR(actual.x, expected.x, tol);
  EXPECT_NEAR(actual.y, expected.y, tol);
  EXPECT_NEAR(actual.z, expected.z, tol);
}

TEST(SceneNode, DataFrameTurnsFileAxesIntoScreenAxes) {
  FrameNode root;
  auto* frame = root.AddChild<FrameNode>();
  frame->direction = {0, 1, 0};
  frame->up = {0, 0, -1};
  auto* ball = frame->AddChild<SphereNode>();
  ball->position = {0.1f, 0.2f, 0.3f};  // file (10, 20, 30) at SCALE 0.01
  ExpectNear(ball->AbsolutePosition(), {0.1f, 0.3f, -0.2f});
  // Scale, position and the parent chain compose as row vectors: local first, then parent.
  frame->position = {1, 2, 3};
  frame->scale = {2, 2, 2};
  ExpectNear(ball->AbsolutePosition(), {1.2f, 2.6f, 2.6f});
  ball->SetAbsolutePosition({0, 0, 0});
  ExpectNear(ball->AbsolutePosition(), {0, 0, 0});
  ExpectNear(ball->position, {-0.5f, 1.5f, -1.0f});
}

TEST(SceneNode, ChildrenKeepOrderAndDestroyRemovesSubtrees) {
  FrameNode root;
  auto* a = root.AddChild<FrameNode>();
  auto* b = root.AddChild<SphereNode>();
  auto* c = root.AddChild<PolylineNode>();
  a->AddChild<CubeNode>();
  Node::Destroy(b);
  ASSERT_EQ(root.children().size(), 2u);
  EXPECT_EQ(root.children()[0].get(), a);
  EXPECT_EQ(root.children()[1].get(), c);
  auto* d = root.AddChild<FrameNode>();
  root.DestroyChildren({a, d});
  ASSERT_EQ(root.children().size(), 1u);
  EXPECT_EQ(root.children()[0].get(), c);
  EXPECT_EQ(c->parent(), &root);
}

struct CameraRig {
  FrameNode root;
  FrameNode* target = root.AddChild<FrameNode>();
  CameraNode* camera = root.AddChild<CameraNode>();
  CameraRig() {
    camera->position = {0, 1, 1};
    camera->target = target;
  }
};

TEST(SceneCamera, OrbitCases) {
  const float root2 = std::sqrt(2.0f);
  struct Case {
    const char* what;
    float pitch, turn;
    Vec3 expected;
  };
  const float top = kMinPitch;  // angle from straight above kept by the clamp
  const Case cases[] = {
      {"no move", 0, 0, {0, 1, 1}},
      {"turn 90 degrees about up", 0, 90, {1, 1, 0}},
      {"pitch 45: level with the target", 45, 0, {0, 0, root2}},
      {"pitch -1000: stops short of the top",
       -1000,
       0,
       {0, root2 * std::cos(top), root2 * std::sin(top)}},
      {"pitch +1000: stops short of the bottom",
       1000,
       0,
       {0, -root2 * std::cos(top), root2 * std::sin(top)}},
      {"drag 50 px down from the start", -50, 0, {0, root2 * std::cos(top), root2 * std::sin(top)}},
  };
  for (const Case& c : cases) {
    CameraRig rig;
    OrbitAroundTarget(*rig.camera, c.pitch, c.turn);
    SCOPED_TRACE(c.what);
    ExpectNear(rig.camera->position, c.expected);
    EXPECT_NEAR(Length(rig.camera->position), root2, 1e-5f);
  }
  EXPECT_NEAR(kMaxPitch, 3.1165926f, 1e-7f);
}

TEST(SceneCamera, OrbitWorksAroundAMovedTargetAndInTheParentFrame) {
  CameraRig rig;
  rig.target->position = {5, 0, 0};
  rig.camera->position = {5, 1, 1};
  OrbitAroundTarget(*rig.camera, 0, 90);
  ExpectNear(rig.camera->position, {6, 1, 0});
  // A camera inside a shifted frame stores its position in that frame.
  FrameNode root;
  auto* target = root.AddChild<FrameNode>();
  auto* holder = root.AddChild<FrameNode>();
  holder->position = {0, 10, 0};
  auto* cam = holder->AddChild<CameraNode>();
  cam->position = {0, -9, 1};
  cam->target = target;
  OrbitAroundTarget(*cam, 45, 0);
  ExpectNear(cam->AbsolutePosition(), {0, 0, std::sqrt(2.0f)});
  ExpectNear(cam->position, {0, -10, std::sqrt(2.0f)});
}

TEST(SceneCamera, AdjustDistanceAndNoTarget) {
  CameraRig rig;
  AdjustDistanceToTarget(*rig.camera, 1);
  ExpectNear(rig.camera->position, {0, 1, 1});
  AdjustDistanceToTarget(*rig.camera, 0.5f);
  ExpectNear(rig.camera->position, {0, 0.5f, 0.5f});
  rig.target->position = {0, 0.5f, 0};
  AdjustDistanceToTarget(*rig.camera, 3);
  ExpectNear(rig.camera->position, {0, 0.5f, 1.5f});
  rig.camera->target = nullptr;
  OrbitAroundTarget(*rig.camera, 30, 30);
  AdjustDistanceToTarget(*rig.camera, 2);
  ExpectNear(rig.camera->position, {0, 0.5f, 1.5f});
}

TEST(SceneCamera, FrustumFromFocalLengthAndScreenResolution) {
  CameraNode cam;  // focal length 50, depth of view 100
  const Frustum f = CameraFrustum(cam, 800, 600, 96);
  EXPECT_NEAR(f.near, 377.95275590551 / 800, 1e-9);
  EXPECT_NEAR(f.far, f.near + 100, 1e-9);
  EXPECT_DOUBLE_EQ(f.right, 0.5);
  EXPECT_DOUBLE_EQ(f.left, -0.5);
  EXPECT_DOUBLE_EQ(f.top, 0.375);
  EXPECT_DOUBLE_EQ(f.bottom, -0.375);
  // Apparent size depends only on focal length and resolution: a unit at distance d spans
  // 2 f P / (25.4 d) pixels whatever the window's shape.
  for (const auto& [w, h] : {std::pair{800, 600}, std::pair{300, 900}}) {
    const Frustum g = CameraFrustum(cam, w, h, 96);
    const double pixels_per_unit_at_2 = g.near / 2.0 / (g.right - g.left) * w;
    EXPECT_NEAR(pixels_per_unit_at_2, 2 * 50 * 96 / (25.4 * 2), 1e-9);
  }
}

// The planes follow the camera: at both zoom limits, with the target on or off the data, every
// part of the scene sphere in front of the eye (beyond the near fraction of the target distance)
// lies between them, the apparent scale stays that of the fixed projection, and the depth range
// stays within what a 24-bit depth buffer resolves.
TEST(SceneCamera, ClipPlanesHoldTheSceneAtTheZoomLimits) {
  struct Case {
    const char* what;
    Vec3 target;
    double distance;
    float radius;
  };
  const Case cases[] = {
      {"closest, at the origin", {0, 0, 0}, kMinTargetDistance, 100},
      {"farthest", {0, 0, 0}, kMaxTargetDistance, 100},
      {"closest, target beyond the extent", {300, 0, 0}, kMinTargetDistance, 100},
      {"opening view", {0, 0, 0}, std::sqrt(2.0), 100},
      {"small scene from afar", {0.2f, 0, 0}, 50, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CameraRig rig;
    rig.target->position = c.target;
    const Vec3 back = Normalized({0, 1, 1});
    rig.camera->position = c.target + back * float(c.distance);
    const Frustum fixed = CameraFrustum(*rig.camera, 800, 600, 96);
    rig.camera->follow_extent = true;
    rig.camera->extent_radius = c.radius;
    const Frustum f = CameraFrustum(*rig.camera, 800, 600, 96);
    EXPECT_NEAR(f.right / f.near, fixed.right / fixed.near, 1e-9 * fixed.right / fixed.near);
    EXPECT_NEAR(f.top / f.near, fixed.top / fixed.near, 1e-9 * fixed.top / fixed.near);
    // A 24-bit depth buffer still tells apart depths a millionth of the target distance apart
    // there (resolution z^2 (far - near) / (far near 2^24) at depth z).
    const double d = c.distance;
    EXPECT_LT(d * (f.far - f.near) / (f.far * f.near * 16777216.0), 1e-5);

    const Vec3 eye = rig.camera->AbsolutePosition();
    const Vec3 forward = back * -1.0f;
    std::vector<Vec3> samples = {c.target, forward * c.radius, forward * -c.radius};
    for (int axis = 0; axis < 3; ++axis) {
      for (float sign : {-1.0f, 1.0f}) {
        Vec3 p;
        p[axis] = sign * c.radius;
        samples.push_back(p);
      }
    }
    for (const Vec3& p : samples) {
      const double depth = Dot(p - eye, forward);
      if (depth <= c.distance * kNearFraction) continue;  // behind or right at the eye
      EXPECT_GE(depth, f.near * (1 - 1e-5)) << p.x << " " << p.y << " " << p.z;
      EXPECT_LE(depth, f.far * (1 + 1e-5)) << p.x << " " << p.y << " " << p.z;
    }
  }
  // The zoom stops at the limits and keeps any ratio inside them.
  CameraRig rig;
  EXPECT_FLOAT_EQ(LimitedDistanceRatio(*rig.camera, 0.5f), 0.5f);
  const double start = Length(rig.camera->position);
  EXPECT_NEAR(start * LimitedDistanceRatio(*rig.camera, 1e-9f), kMinTargetDistance, 1e-9);
  EXPECT_NEAR(start * LimitedDistanceRatio(*rig.camera, 1e9f), kMaxTargetDistance, 1e-2);
}

struct FakeClock {
  std::int64_t now = 1'000'000'000;
  std::int64_t operator()() const { return now; }
};

TEST(SceneTicks, WholeStepsAreCaughtUpEachWithTheFixedDelta) {
  FakeClock clock;
  std::vector<double> deltas;
  FixedStepTicker ticker(
      std::chrono::milliseconds(50), [&clock] { return clock(); },
      [&deltas](double dt) { deltas.push_back(dt); });
  EXPECT_EQ(ticker.Poll(), 0);
  clock.now += 49'999'999;
  EXPECT_EQ(ticker.Poll(), 0);
  clock.now += 1;
  EXPECT_EQ(ticker.Poll(), 1);
  // A pause a little over 0.5 s: ten ticks at once.
  clock.now += 501'000'000;
  EXPECT_EQ(ticker.Poll(), 10);
  ASSERT_EQ(deltas.size(), 11u);
  for (double dt : deltas) EXPECT_DOUBLE_EQ(dt, 0.05);
  // The 1 ms left over is kept: 49 ms more completes the next step, not 50.
  clock.now += 49'000'000;
  EXPECT_EQ(ticker.Poll(), 1);
  // Many short polls: exactly one tick per whole step, none lost or doubled.
  int total = 0;
  for (int i = 0; i < 1000; ++i) {
    clock.now += 7'000'000;
    total += ticker.Poll();
  }
  EXPECT_EQ(total, 7000 / 50);
  // A skipped second (a modal box was open) is not caught up; the step starts anew.
  clock.now += 1'000'000'000;
  ticker.Skip();
  EXPECT_EQ(ticker.Poll(), 0);
  clock.now += 50'000'000;
  EXPECT_EQ(ticker.Poll(), 1);
}

}  // namespace
}  // namespace vistrel::scene
