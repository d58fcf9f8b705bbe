#pragma once

// Retained scene graph drawn with fixed-function OpenGL. A node holds its local frame and its
// children; drawing walks the tree depth-first in child order. Nothing here needs a GL context
// until Render is called, so the tree can be built and inspected in plain tests.

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "scene/math.h"

namespace vistrel::scene {

class Node;
class CameraNode;
class ScreenTextNode;

// 24-bit RGB picture, rows from the top, used as a repeated texture.
struct TextureImage {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;  // width * height * 3 bytes
};

enum class Pass {
  kNormal,  // lit, coloured, textured
  kShadow,  // geometry only, in the current colour, through the shadow projection
  kPick,    // geometry only, each node under its own selection name
};

// Services of the hosting viewer that need its GL context or its toolkit.
class GlResources {
 public:
  virtual ~GlResources() = default;
  // Draws a unit sphere compiled once per tessellation and shared by every sphere node.
  virtual void CallSphere(int slices, int stacks) = 0;
  virtual void BindTexture(const TextureImage& image) = 0;
  virtual void DrawScreenText(const ScreenTextNode& text) = 0;
  // Pick pass: makes the following geometry report node as its hit.
  virtual void LoadPickName(Node* node) = 0;
  // The unit sphere of a tessellation as arrays: x, y, z per vertex (also the normal), triangles.
  virtual void SphereArrays(int slices, int stacks, const std::vector<float>*& vertices,
                            const std::vector<unsigned short>*& indices) = 0;
};

struct DrawContext {
  Pass pass = Pass::kNormal;
  GlResources* gl = nullptr;
  const CameraNode* camera = nullptr;
  Mat4 view;                       // scene to eye coordinates, as loaded for the root
  const Node* excluded = nullptr;  // not drawn in this pass (the shadow plane in its own shadow)
  bool lighting = true;            // the viewer's lighting switch, restored after unlit drawing
  Mat4 model;                      // absolute matrix of the node being drawn
  Vec3 eye;                        // camera position, scene coordinates
  // Pixels spanned by one scene unit at distance 1 from the eye; 0 keeps full tessellation.
  float pixels_per_unit = 0;
  // Pick pass: the ray through the picked pixel (scene coordinates, unit direction). Balls and
  // lines farther from it than their size plus pick_slack_px pixels are not drawn at all, so
  // a pick costs little however many nodes there are.
  bool pick_cull = false;
  Vec3 pick_origin, pick_direction;
  float pick_slack_px = 4;
  // True when a sphere (scene centre, radius) cannot reach the picked pixel.
  bool PickMisses(Vec3 centre, float radius) const;
  // True when a segment (scene ends) cannot reach the picked pixel.
  bool PickMissesSegment(Vec3 a, Vec3 b) const;
  // Shadow pass with the light at the eye: a shadow then lies exactly behind whatever casts it,
  // unseen, for every caster wholly on the lit side of this plane (scene coordinates a, b, c, d).
  bool skip_hidden_shadows = false;
  float shadow_plane[4] = {0, 0, 0, 0};
  // True when that rule lets a caster at scene point p, radius r, skip its shadow.
  bool ShadowHidden(Vec3 p, float r) const {
    return skip_hidden_shadows &&
           shadow_plane[0] * p.x + shadow_plane[1] * p.y + shadow_plane[2] * p.z + shadow_plane[3] >
               r;
  }

  // GL state as last set by the nodes, so that thousands of alike nodes do not repeat the same
  // state changes. Anything that restores state behind its back (glPopAttrib) calls Forget().
  int lit = -1;       // lighting enabled: 1, disabled: 0, unknown: -1
  int textured = -1;  // 2D texturing, likewise
  bool has_material = false;
  Color m_ambient, m_diffuse, m_specular, m_emission;
  float m_shininess = 0;

  void Forget() {
    lit = textured = -1;
    has_material = false;
  }
  void SetLighting(bool on);
  void SetTexturing(bool on);
};

struct Material {
  Color ambient{0.2f, 0.2f, 0.2f, 1};
  Color diffuse{0.8f, 0.8f, 0.8f, 1};
  Color specular{0, 0, 0, 1};
  Color emission{0, 0, 0, 1};
  float shininess = 0;  // 0 to 128
  std::shared_ptr<const TextureImage> texture;
  bool texture_enabled = false;

  void Apply(DrawContext& ctx) const;
};

class Node {
 public:
  Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  virtual ~Node() = default;

  std::string name;
  bool visible = true;  // an invisible node hides its whole subtree from drawing and picking
  bool show_axes = false;
  // Drawn by a BatchNode in the normal pass; still drawn by itself when shadowed and picked.
  bool batched = false;
  Vec3 position;
  Vec3 direction{0, 0, 1};  // local Z axis, unit length
  Vec3 up{0, 1, 0};         // local Y axis, unit length
  Vec3 scale{1, 1, 1};

  // New node of kind T with default values, appended as the last child.
  template <class T>
  T* AddChild() {
    auto child = std::make_unique<T>();
    T* raw = child.get();
    raw->parent_ = this;
    children_.push_back(std::move(child));
    return raw;
  }
  // Removes node from its parent and destroys it with its subtree. The root cannot be destroyed.
  static void Destroy(Node* node);
  // Destroys every child in the set, keeping the order of the others; linear in the child count.
  void DestroyChildren(const std::unordered_set<const Node*>& doomed);

  Node* parent() const { return parent_; }
  const std::vector<std::unique_ptr<Node>>& children() const { return children_; }

  // Rows: (up x direction) * scale.x, up * scale.y, direction * scale.z, (position, 1).
  Mat4 LocalMatrix() const;
  // Local matrix times the parent's absolute matrix.
  Mat4 AbsoluteMatrix() const;
  Vec3 AbsolutePosition() const { return AbsoluteMatrix().Row(3); }
  Vec3 AbsoluteUp() const { return Normalized(AbsoluteMatrix().Row(1)); }
  // Stores the position that puts the origin at p in scene coordinates.
  void SetAbsolutePosition(Vec3 p);

  // Draws this subtree: skip if hidden, push, multiply by the local matrix, axes, self,
  // children, pop.
  void Render(DrawContext& ctx);

 protected:
  virtual void DrawSelf(DrawContext&) {}

 private:
  void DrawAxes(const DrawContext& ctx) const;

  Node* parent_ = nullptr;
  std::vector<std::unique_ptr<Node>> children_;
};

class FrameNode : public Node {};

class SphereNode : public Node {
 public:
  float radius = 0.5f;
  int slices = 16;
  int stacks = 16;
  Material material;

 protected:
  void DrawSelf(DrawContext& ctx) override;
};

class CubeNode : public Node {
 public:
  Vec3 size{1, 1, 1};
  Material material;

 protected:
  void DrawSelf(DrawContext& ctx) override;
};

class PolylineNode : public Node {
 public:
  std::vector<Vec3> vertices;
  Color line_color{1, 1, 1, 1};
  float width = 1;
  bool markers = true;  // small points at the vertices
  // A wider line drawn first in this colour, so the line reads on light and dark alike; 0: none.
  float edge_width = 0;
  Color edge_color{0.1f, 0.1f, 0.1f, 1};

  void AddVertex() { vertices.push_back({}); }

 protected:
  void DrawSelf(DrawContext& ctx) override;
};

// Many separate segments drawn at once from one array: overlays such as drop lines and a grid.
// Unlit, never picked and casting no shadow.
class SegmentsNode : public Node {
 public:
  std::vector<Vec3> ends;  // two per segment
  Color line_color{0.2f, 0.2f, 0.2f, 1};
  float width = 1;

 protected:
  void DrawSelf(DrawContext& ctx) override;
};

// Draws many balls and lines of its parent's frame at once in the normal pass: the balls as one
// array of triangles (each at its position and radius, emission per ball, the first ball's other
// material, facets by apparent size as a lone ball would), the lines as one array of segments
// (edges first). The nodes stay where they are for picking and shadows and must be marked
// batched; they must have the default direction, up and scale.
class BatchNode : public Node {
 public:
  const std::vector<SphereNode*>* balls = nullptr;
  const std::vector<PolylineNode*>* lines = nullptr;

 protected:
  void DrawSelf(DrawContext& ctx) override;

 private:
  void DrawBalls(DrawContext& ctx);
  void DrawLines(DrawContext& ctx);
  // Scratch arrays kept between frames to avoid reallocating them.
  std::vector<float> positions_, normals_, colours_;
  std::vector<unsigned> indices_;
  std::vector<Vec3> edge_ends_, line_ends_;
  std::vector<Color> line_colours_;
};

class LightNode : public Node {
 public:
  float spot_cutoff = 180;  // radiates in all directions
  float constant_attenuation = 1, linear_attenuation = 0, quadratic_attenuation = 0;
  Color ambient{0, 0, 0, 1};
  Color diffuse{1, 1, 1, 1};
  Color specular{0, 0, 0, 1};

  // Sets OpenGL light number index (0 to 7) at the node's absolute position; the view matrix must
  // be loaded.
  void Setup(int index) const;
};

// A textured rectangle in the node's XY plane, centred on its origin, facing its direction; it
// receives the shadows of a subtree cast by one light.
class ShadowPlaneNode : public Node {
 public:
  float width = 1, height = 1;
  float x_tiles = 1, y_tiles = 1;
  Node* caster = nullptr;
  const LightNode* light = nullptr;
  Color shadow_color{0, 0, 0, 0.5f};
  Material material;

 protected:
  void DrawSelf(DrawContext& ctx) override;

 private:
  void DrawQuad(bool textured) const;
};

// Text at a pixel place of the viewer (x right, y down from the top-left corner), whatever its
// parent's frame.
class ScreenTextNode : public Node {
 public:
  std::string text;
  float x = 0, y = 0;
  std::string font_family = "MS Sans Serif";
  int font_points = 8;
  Color modulate{1, 1, 1, 1};
  Color backing{0, 0, 0, 0};  // filled behind the text; transparent by default

 protected:
  void DrawSelf(DrawContext& ctx) override;
};

class CameraNode : public Node {
 public:
  float focal_length = 50;
  float depth_of_view = 100;
  float near_bias = 1;
  Node* target = nullptr;
  // When on, the near and far planes follow the distance to the target and the scene's extent
  // (a sphere, scene coordinates) instead of the fixed near plane and depth of view.
  bool follow_extent = false;
  Vec3 extent_centre;
  float extent_radius = 0;
};

}  // namespace vistrel::scene
