#pragma once

// The fixed scene of the 3D window around the measured geometry: the data frame that turns file
// axes into screen axes, the textured ground with shadows, the help texts, the overlays, the
// camera target with its marker, the camera and its light. Plain scene graph: building it needs
// no OpenGL context, so tests read the nodes without a display.

#include <memory>

#include "scene/node.h"

namespace vistrel::view3d {

// The nodes of the composed scene, named as in the window's design.
struct SceneNodes {
  scene::FrameNode* GLDummyCube1 = nullptr;  // data frame: file X, Y, Z to scene X, -Z, Y
  scene::ShadowPlaneNode* GLShadowPlane1 = nullptr;
  scene::SegmentsNode* Grid = nullptr;       // ground grid, in the data frame
  scene::SegmentsNode* DropLines = nullptr;  // ball to ground, in the data frame
  scene::BatchNode* Batch = nullptr;         // draws the balls and lines of the data in two arrays
  scene::ScreenTextNode* GLHUDText1 = nullptr;
  scene::ScreenTextNode* GLHUDText2 = nullptr;
  scene::ScreenTextNode* GLHUDText3 = nullptr;
  scene::ScreenTextNode* GLHUDText4 = nullptr;
  scene::ScreenTextNode* GLHUDText5 = nullptr;
  scene::ScreenTextNode* GLHUDText6 = nullptr;  // the added keys and drags
  scene::ScreenTextNode* GridText = nullptr;    // the grid's unit and the local origin
  scene::FrameNode* Labels = nullptr;           // parent of the point labels
  scene::FrameNode* GLDummyCube2 = nullptr;     // the camera target
  scene::CubeNode* GLCube2 = nullptr;           // its marker
  scene::CameraNode* GLCamera1 = nullptr;
  scene::LightNode* GLLightSource1 = nullptr;
};

// The scene always holds the ground and the axes, 100 scene units each way from the origin.
inline constexpr float kFixedSceneRadius = 100;
// Help texts sit on a translucent white so they read over the ground and the balls.
inline constexpr scene::Color kTextBacking{1, 1, 1, 0.65f};

// Adds the fixed nodes under root, in drawing order. ground: the ground's texture (empty: none).
SceneNodes ComposeScene(scene::Node& root, std::shared_ptr<scene::TextureImage> ground);

// The look of a data line: wider than one pixel and with a dark edge, so it reads on the ground.
void StyleLine(scene::PolylineNode& line);

// The ground picture of the window's resources as a 24-bit texture (empty if missing).
std::shared_ptr<scene::TextureImage> LoadGroundTexture();

}  // namespace vistrel::view3d
