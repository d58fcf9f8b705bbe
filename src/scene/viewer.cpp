#include "scene/viewer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "scene/camera.h"

namespace vistrel::scene {

namespace {
constexpr int kInitialPickHits = 64;
constexpr int kWordsPerHit = 4;  // name count, min depth, max depth, one name

// Unit sphere like gluSphere's: stacks from +Z to -Z, slices counter-clockwise about Z, outward
// faces counter-clockwise.
SceneViewer::SphereMesh UnitSphere(int slices, int stacks) {
  SceneViewer::SphereMesh mesh;
  for (int i = 0; i <= stacks; ++i) {
    const float theta = kPi * i / stacks;
    for (int j = 0; j <= slices; ++j) {
      const float phi = 2 * kPi * j / slices;
      mesh.vertices.push_back(std::sin(theta) * std::cos(phi));
      mesh.vertices.push_back(std::sin(theta) * std::sin(phi));
      mesh.vertices.push_back(std::cos(theta));
    }
  }
  auto at = [slices](int i, int j) { return GLushort(i * (slices + 1) + j); };
  for (int i = 0; i < stacks; ++i) {
    for (int j = 0; j < slices; ++j) {
      if (i != 0) mesh.indices.insert(mesh.indices.end(), {at(i, j), at(i + 1, j), at(i, j + 1)});
      if (i != stacks - 1) {
        mesh.indices.insert(mesh.indices.end(), {at(i, j + 1), at(i + 1, j), at(i + 1, j + 1)});
      }
    }
  }
  return mesh;
}
}  // namespace

QSurfaceFormat SceneViewer::RequestedFormat() {
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setProfile(QSurfaceFormat::CompatibilityProfile);
  format.setDepthBufferSize(24);
  format.setStencilBufferSize(8);
  format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  return format;
}

SceneViewer::SceneViewer(QWidget* parent)
    : QOpenGLWidget(parent), root_(std::make_unique<FrameNode>()) {
  setFormat(RequestedFormat());
  setMouseTracking(true);
  root_->name = "root";
}

SceneViewer::~SceneViewer() {
  // The base class destroys the context after this destructor; its aboutToBeDestroyed must not
  // reach members that are gone by then.
  if (context() != nullptr) disconnect(context(), nullptr, this, nullptr);
  ReleaseGl();
}

void SceneViewer::ReleaseGl() {
  if (!HasValidContext()) return;
  makeCurrent();
  for (const auto& [image, id] : textures_) glDeleteTextures(1, &id);
  for (auto& [key, mesh] : spheres_) {
    if (mesh.list != 0) glDeleteLists(mesh.list, 1);
    mesh.list = 0;
  }
  textures_.clear();
  doneCurrent();
}

bool SceneViewer::HasValidContext() const { return context() != nullptr && context()->isValid(); }

double SceneViewer::ScreenPpi() const {
  const double dpi = logicalDpiY();
  return dpi > 0 ? dpi : 96.0;
}

void SceneViewer::initializeGL() {
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { textures_.clear(); });
}

Mat4 SceneViewer::SetupCamera(int width_px, int height_px, bool keep_projection) {
  glMatrixMode(GL_PROJECTION);
  if (!keep_projection) glLoadIdentity();
  Mat4 view;
  if (camera_ != nullptr) {
    const Frustum f = CameraFrustum(*camera_, width_px, height_px, ScreenPpi());
    glFrustum(f.left, f.right, f.bottom, f.top, f.near, f.far);
  }
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (camera_ != nullptr) {
    const ViewBasis b = CameraViewBasis(*camera_);
    const Vec3 up = camera_->AbsoluteUp();
    gluLookAt(b.eye.x, b.eye.y, b.eye.z, b.at.x, b.at.y, b.at.z, up.x, up.y, up.z);
  }
  glGetFloatv(GL_MODELVIEW_MATRIX, &view.m[0][0]);
  return view;
}

void SceneViewer::paintGL() {
  const qreal dpr = devicePixelRatioF();
  viewport_width_ = int(width() * dpr);
  viewport_height_ = int(height() * dpr);
  const Color& bg = settings_.background;
  glClearColor(bg.r, bg.g, bg.b, bg.a);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glViewport(0, 0, viewport_width_, viewport_height_);

  DrawContext ctx;
  ctx.view = SetupCamera(viewport_width_, viewport_height_, false);
  ctx.pass = Pass::kNormal;
  ctx.gl = this;
  ctx.camera = camera_;
  ctx.lighting = settings_.lighting;

  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, settings_.ambient.data());
  for (int i = 0; i < 8; ++i) glDisable(GL_LIGHT0 + i);
  for (size_t i = 0; i < lights_.size() && i < 8; ++i) lights_[i]->Setup(int(i));
  settings_.lighting ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
  settings_.depth_test ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  if (settings_.cull_back_faces) {
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
  } else {
    glDisable(GL_CULL_FACE);
  }
  glEnable(GL_NORMALIZE);  // spheres are one unit sphere scaled to their radius
  glShadeModel(GL_SMOOTH);
  glDisable(GL_BLEND);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_TEXTURE_2D);

  SetupLevelOfDetail(ctx, viewport_width_, viewport_height_);
  ctx.lit = settings_.lighting;
  ctx.textured = 0;

  if (before_render) before_render();
  root_->Render(ctx);
}

Node* SceneViewer::Pick(int x, int y) {
  if (!HasValidContext() || camera_ == nullptr) return nullptr;
  makeCurrent();
  const qreal dpr = devicePixelRatioF();
  const int w = int(width() * dpr), h = int(height() * dpr);
  const double px = x * dpr, py = y * dpr;
  GLint viewport[4] = {0, 0, w, h};

  Node* result = nullptr;
  int capacity = kInitialPickHits;
  for (;;) {
    std::vector<GLuint> buffer(size_t(capacity) * kWordsPerHit);
    glSelectBuffer(GLsizei(buffer.size()), buffer.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPickMatrix(px, h - py, 2, 2, viewport);
    DrawContext ctx;
    ctx.view = SetupCamera(w, h, true);
    ctx.pass = Pass::kPick;
    ctx.gl = this;
    ctx.camera = camera_;
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    if (settings_.cull_back_faces) {
      glEnable(GL_CULL_FACE);
    } else {
      glDisable(GL_CULL_FACE);
    }
    SetupLevelOfDetail(ctx, w, h);
    // The ray through the picked pixel, for skipping what cannot be under it.
    {
      const Frustum f = CameraFrustum(*camera_, w, h, ScreenPpi());
      const ViewBasis b = CameraViewBasis(*camera_);
      const double xn = 2 * px / w - 1, yn = 1 - 2 * py / h;
      ctx.pick_cull = ctx.pixels_per_unit > 0;
      ctx.pick_origin = b.eye;
      ctx.pick_direction = Normalized(b.forward + b.right * float(xn * f.right / f.near) +
                                      b.up * float(yn * f.top / f.near));
    }
    pick_names_.clear();
    picking_ = true;
    root_->Render(ctx);
    picking_ = false;
    const GLint hits = glRenderMode(GL_RENDER);
    if (hits < 0) {  // overflow: the buffer was too small for every hit
      capacity *= 2;
      continue;
    }
    // Nearest minimum depth first; ties keep the drawing order.
    const GLuint* p = buffer.data();
    GLuint best_depth = 0;
    for (GLint i = 0; i < hits; ++i) {
      const GLuint names = p[0], zmin = p[1];
      if (names > 0) {
        const GLuint name = p[3 + names - 1];
        if (name > 0 && name <= pick_names_.size() && (result == nullptr || zmin < best_depth)) {
          result = pick_names_[name - 1];
          best_depth = zmin;
        }
      }
      p += 3 + names;
    }
    break;
  }
  pick_names_.clear();
  doneCurrent();
  return result;
}

bool SceneViewer::ProjectToWidget(Vec3 p, double& x, double& y) const {
  if (camera_ == nullptr) return false;
  const ViewBasis b = CameraViewBasis(*camera_);
  const Vec3 d = p - b.eye;
  const double depth = Dot(b.forward, d);
  if (depth <= 0) return false;
  const Frustum fr = CameraFrustum(*camera_, width(), height(), ScreenPpi());
  const double xn = fr.near * Dot(b.right, d) / depth / fr.right;
  const double yn = fr.near * Dot(b.up, d) / depth / fr.top;
  x = (xn + 1) / 2 * width();
  y = (1 - yn) / 2 * height();
  return true;
}

double SceneViewer::PixelsPerUnitAtOne() const {
  if (camera_ == nullptr) return 0;
  const Frustum f = CameraFrustum(*camera_, width(), height(), ScreenPpi());
  return f.near * width() / (f.right - f.left);
}

void SceneViewer::SetupLevelOfDetail(DrawContext& ctx, int width_px, int height_px) const {
  if (camera_ == nullptr) return;
  const Frustum f = CameraFrustum(*camera_, width_px, height_px, ScreenPpi());
  ctx.eye = camera_->AbsolutePosition();
  // Pixels a unit spans at distance 1: the near plane's width in pixels over its width in units.
  ctx.pixels_per_unit = float(f.near * width_px / (f.right - f.left));
}

void SceneViewer::LoadPickName(Node* node) {
  pick_names_.push_back(node);
  glLoadName(GLuint(pick_names_.size()));
}

SceneViewer::SphereMesh& SceneViewer::Sphere(int slices, int stacks) {
  auto it = spheres_.find({slices, stacks});
  if (it == spheres_.end()) {
    it = spheres_.emplace(std::pair{slices, stacks}, UnitSphere(slices, stacks)).first;
  }
  return it->second;
}

void SceneViewer::SphereArrays(int slices, int stacks, const std::vector<float>*& vertices,
                               const std::vector<unsigned short>*& indices) {
  const SphereMesh& mesh = Sphere(slices, stacks);
  vertices = &mesh.vertices;
  indices = &mesh.indices;
}

void SceneViewer::CallSphere(int slices, int stacks) {
  SphereMesh& mesh = Sphere(slices, stacks);
  auto draw_arrays = [&mesh] {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, mesh.vertices.data());
    glNormalPointer(GL_FLOAT, 0, mesh.vertices.data());  // unit sphere: normal = position
    glDrawElements(GL_TRIANGLES, GLsizei(mesh.indices.size()), GL_UNSIGNED_SHORT,
                   mesh.indices.data());
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
  };
  if (picking_) {
    draw_arrays();
    return;
  }
  if (mesh.list == 0) {
    mesh.list = glGenLists(1);
    glNewList(mesh.list, GL_COMPILE);
    draw_arrays();
    glEndList();
  }
  glCallList(mesh.list);
}

void SceneViewer::BindTexture(const TextureImage& image) {
  auto [it, inserted] = textures_.try_emplace(&image, 0u);
  if (inserted) {
    glGenTextures(1, &it->second);
    glBindTexture(GL_TEXTURE_2D, it->second);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE,
                      image.rgb.data());
  } else {
    glBindTexture(GL_TEXTURE_2D, it->second);
  }
}

void SceneViewer::DrawScreenText(const ScreenTextNode& node) {
  if (node.text.empty()) return;
  TextImage& cached = text_images_[&node];
  if (cached.image.isNull() || cached.text != node.text || !(cached.color == node.modulate) ||
      !(cached.backing == node.backing)) {
    QFont font(QString::fromStdString(node.font_family));
    font.setPointSizeF(node.font_points * ScreenPpi() / logicalDpiY());
    const QFontMetrics metrics(font, this);
    const QString text = QString::fromStdString(node.text);
    const int pad = node.backing.a > 0 ? 3 : 0;
    QImage image(std::max(1, metrics.horizontalAdvance(text) + 2 * pad),
                 std::max(1, metrics.height()), QImage::Format_RGBA8888_Premultiplied);
    image.fill(QColor::fromRgbF(node.backing.r, node.backing.g, node.backing.b, node.backing.a));
    {
      QPainter painter(&image);
      painter.setFont(font);
      painter.setPen(
          QColor::fromRgbF(node.modulate.r, node.modulate.g, node.modulate.b, node.modulate.a));
      painter.drawText(pad, metrics.ascent(), text);
    }
    cached = {node.text, node.modulate, node.backing,
              image.convertToFormat(QImage::Format_RGBA8888).mirrored(false, true)};
  }
  const double px_scale = ScreenPpi() / 96.0 * devicePixelRatioF();
  const int left = int(node.x * px_scale);
  const int bottom = viewport_height_ - int(node.y * px_scale) - cached.image.height();
  if (bottom < 0 || left >= viewport_width_)
    return;  // a raster position off the viewport draws nothing

  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, viewport_width_, 0, viewport_height_, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_STENCIL_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glRasterPos2i(left, bottom);
  glDrawPixels(cached.image.width(), cached.image.height(), GL_RGBA, GL_UNSIGNED_BYTE,
               cached.image.constBits());
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}

void SceneViewer::mousePressEvent(QMouseEvent* event) {
  if (on_mouse_press) on_mouse_press(event);
}

void SceneViewer::mouseMoveEvent(QMouseEvent* event) {
  if (on_mouse_move) on_mouse_move(event);
}

}  // namespace vistrel::scene
