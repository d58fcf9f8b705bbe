#include "ui/view3d/scene_composition.h"

#include <QImage>
#include <algorithm>

namespace vistrel::view3d {

namespace {

constexpr scene::Color kLineEdge{0.1f, 0.1f, 0.1f, 1};
constexpr float kLineWidth = 2, kLineEdgeWidth = 4;
constexpr scene::Color kOverlayColor{0.25f, 0.25f, 0.3f, 1};

}  // namespace

void StyleLine(scene::PolylineNode& line) {
  line.width = kLineWidth;
  line.edge_width = kLineEdgeWidth;
  line.edge_color = kLineEdge;
  line.batched = true;
}

std::shared_ptr<scene::TextureImage> LoadGroundTexture() {
  auto texture = std::make_shared<scene::TextureImage>();
  const QImage image = QImage(":/vistrel/view3d/ground.png").convertToFormat(QImage::Format_RGB888);
  if (image.isNull()) return texture;
  texture->width = image.width();
  texture->height = image.height();
  texture->rgb.resize(size_t(image.width()) * image.height() * 3);
  for (int row = 0; row < image.height(); ++row) {
    std::copy_n(image.constScanLine(row), image.width() * 3,
                texture->rgb.begin() + ptrdiff_t(row) * image.width() * 3);
  }
  return texture;
}

SceneNodes ComposeScene(scene::Node& root, std::shared_ptr<scene::TextureImage> ground) {
  SceneNodes n;
  // File axes to screen axes: file X -> scene X, file Y -> scene -Z, file Z -> scene Y (up).
  n.GLDummyCube1 = root.AddChild<scene::FrameNode>();
  n.GLDummyCube1->name = "GLDummyCube1";
  n.GLDummyCube1->direction = {0, 1, 0};
  n.GLDummyCube1->up = {0, 0, -1};
  n.GLDummyCube1->show_axes = true;

  n.GLShadowPlane1 = n.GLDummyCube1->AddChild<scene::ShadowPlaneNode>();
  n.GLShadowPlane1->name = "GLShadowPlane1";
  n.GLShadowPlane1->width = n.GLShadowPlane1->height = 100;
  n.GLShadowPlane1->x_tiles = n.GLShadowPlane1->y_tiles = 100;
  n.GLShadowPlane1->material.ambient = {0.753f, 0.753f, 0.753f, 1};
  n.GLShadowPlane1->material.diffuse = {0.753f, 0.753f, 0.753f, 1};
  n.GLShadowPlane1->material.texture_enabled = ground && !ground->rgb.empty();
  n.GLShadowPlane1->material.texture = std::move(ground);
  n.GLShadowPlane1->caster = n.GLDummyCube1;

  const scene::Color red{1, 0, 0, 1};
  auto add_text = [red](scene::Node& parent, const char* name, float top, const char* text) {
    auto* hud = parent.AddChild<scene::ScreenTextNode>();
    hud->name = name;
    hud->y = top;
    hud->text = text;
    hud->modulate = red;
    hud->backing = kTextBacking;
    return hud;
  };
  n.GLHUDText1 = add_text(root, "GLHUDText1", 0, "NUMPAD 4-6 : left/right CAM move");
  n.GLHUDText2 = add_text(root, "GLHUDText2", 15, "NUMPAD 2-8 : frontward/reverse CAM move");
  n.GLHUDText3 = add_text(*n.GLHUDText2, "GLHUDText3", 30, "NUMPAD 3-9 : up/down CAM move");
  n.GLHUDText5 =
      add_text(*n.GLHUDText2, "GLHUDText5", 60, "Mouse right button : point and line operations");
  n.GLHUDText4 = add_text(root, "GLHUDText4", 45, "Mouse left button : CAM rotate");
  n.GLHUDText6 = add_text(root, "GLHUDText6", 75,
                          "Arrows, PgUp/PgDn : move target on screen   Home : fit   "
                          "Middle or Shift+left drag : pan");
  n.GridText = add_text(root, "GridText", 90, "");
  n.GridText->modulate = {0.1f, 0.1f, 0.3f, 1};

  // Overlays that read height: they live in the data frame (file axes) but are no data.
  n.Grid = n.GLDummyCube1->AddChild<scene::SegmentsNode>();
  n.Grid->name = "Grid";
  n.Grid->line_color = kOverlayColor;
  n.DropLines = n.GLDummyCube1->AddChild<scene::SegmentsNode>();
  n.DropLines->name = "DropLines";
  n.DropLines->line_color = kOverlayColor;
  n.Batch = n.GLDummyCube1->AddChild<scene::BatchNode>();
  n.Batch->name = "Batch";
  n.Labels = root.AddChild<scene::FrameNode>();
  n.Labels->name = "Labels";

  n.GLDummyCube2 = root.AddChild<scene::FrameNode>();
  n.GLDummyCube2->name = "GLDummyCube2";
  n.GLDummyCube2->show_axes = true;
  n.GLCube2 = n.GLDummyCube2->AddChild<scene::CubeNode>();
  n.GLCube2->name = "GLCube2";
  n.GLCube2->size = {0.05f, 0.05f, 0.05f};
  n.GLCube2->material.emission = {1, 1, 0.133f, 1};
  n.GLCube2->material.shininess = 10;

  n.GLCamera1 = root.AddChild<scene::CameraNode>();
  n.GLCamera1->name = "GLCamera1";
  n.GLCamera1->position = {0, 1, 1};
  n.GLCamera1->up = {0, 1, 0};
  n.GLCamera1->target = n.GLDummyCube2;
  n.GLCamera1->focal_length = 50;
  n.GLCamera1->depth_of_view = 100;
  n.GLCamera1->follow_extent = true;  // never clipped, however close the zoom
  n.GLCamera1->extent_radius = kFixedSceneRadius;

  n.GLLightSource1 = n.GLCamera1->AddChild<scene::LightNode>();
  n.GLLightSource1->name = "GLLightSource1";
  n.GLShadowPlane1->light = n.GLLightSource1;
  return n;
}

}  // namespace vistrel::view3d
