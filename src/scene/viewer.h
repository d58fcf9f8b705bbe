#pragma once

// OpenGL window that owns a scene tree and draws it with fixed-function OpenGL 1.x: compatibility
// profile, double-buffered, depth 24 and stencil 8 (the stencil masks the ground shadows).

#include <QImage>
#include <QOpenGLWidget>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "scene/node.h"

namespace vistrel::scene {

struct ViewerSettings {
  Color background{0.941f, 0.941f, 0.941f, 1};
  Color ambient{0.2f, 0.2f, 0.2f, 1};  // global ambient light
  bool lighting = true;
  bool depth_test = true;
  bool cull_back_faces = true;
};

class SceneViewer : public QOpenGLWidget, private GlResources {
 public:
  // A unit sphere shared by every ball of its tessellation: compiled into a display list for
  // drawing, drawn from the arrays when picking (Mesa 22's software renderer crashes on display
  // lists in selection mode).
  struct SphereMesh {
    std::vector<float> vertices;          // x, y, z per vertex; also the normals
    std::vector<unsigned short> indices;  // triangles
    unsigned list = 0;                    // display list, 0 until compiled
  };

  // The surface format the viewer asks for.
  static QSurfaceFormat RequestedFormat();

  explicit SceneViewer(QWidget* parent = nullptr);
  ~SceneViewer() override;

  Node& root() { return *root_; }
  ViewerSettings& settings() { return settings_; }
  void set_camera(CameraNode* camera) { camera_ = camera; }
  CameraNode* camera() const { return camera_; }
  // Light nodes set up before each frame, as OpenGL lights 0, 1, ...
  void add_light(LightNode* light) { lights_.push_back(light); }
  std::function<void()> before_render;

  // Mouse hooks; the viewer itself keeps no navigation state.
  std::function<void(QMouseEvent*)> on_mouse_press;
  std::function<void(QMouseEvent*)> on_mouse_move;

  // The nearest visible node drawn within the 2 x 2 pixel square around (x, y) (widget pixels,
  // origin top-left), or none; none also when there is no valid GL context.
  Node* Pick(int x, int y);

  // Widget pixel (origin top-left) where a scene point appears, from the camera alone (no GL);
  // false when the point is behind the eye or there is no camera.
  bool ProjectToWidget(Vec3 p, double& x, double& y) const;
  // Pixels one scene unit spans at distance 1 from the eye.
  double PixelsPerUnitAtOne() const;

  // Pixels per inch used by the camera projection and the screen texts.
  double ScreenPpi() const;
  // True once the GL context exists and is valid.
  bool HasValidContext() const;

 protected:
  void initializeGL() override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void CallSphere(int slices, int stacks) override;
  void BindTexture(const TextureImage& image) override;
  void DrawScreenText(const ScreenTextNode& text) override;
  void LoadPickName(Node* node) override;
  void SphereArrays(int slices, int stacks, const std::vector<float>*& vertices,
                    const std::vector<unsigned short>*& indices) override;
  SphereMesh& Sphere(int slices, int stacks);

  // Loads projection (after any pick matrix already there) and the view, returns the view.
  Mat4 SetupCamera(int width_px, int height_px, bool keep_projection);
  void ReleaseGl();
  // Eye position and screen scale that let small balls be drawn with fewer facets.
  void SetupLevelOfDetail(DrawContext& ctx, int width_px, int height_px) const;

  std::unique_ptr<Node> root_;
  CameraNode* camera_ = nullptr;
  std::vector<LightNode*> lights_;
  ViewerSettings settings_;

  // (slices, stacks) -> the one mesh shared by every sphere of that tessellation.
  std::map<std::pair<int, int>, SphereMesh> spheres_;
  std::map<const TextureImage*, unsigned> textures_;
  struct TextImage {
    std::string text;
    Color color;
    Color backing;
    QImage image;  // RGBA, bottom row first, ready for glDrawPixels
  };
  std::map<const ScreenTextNode*, TextImage> text_images_;
  std::vector<Node*> pick_names_;  // selection name i + 1 -> node
  bool picking_ = false;
  int viewport_height_ = 0;
  int viewport_width_ = 0;
};

}  // namespace vistrel::scene
