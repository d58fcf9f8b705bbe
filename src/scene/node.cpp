#include "scene/node.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace vistrel::scene {

namespace {

// The standard planar projection from a point light: M = (P . L) I - L P^T, column-major.
void ShadowMatrix(const float plane[4], const float light[4], float out[16]) {
  const float dot =
      plane[0] * light[0] + plane[1] * light[1] + plane[2] * light[2] + plane[3] * light[3];
  for (int col = 0; col < 4; ++col) {
    for (int row = 0; row < 4; ++row) {
      out[col * 4 + row] = (row == col ? dot : 0.0f) - light[row] * plane[col];
    }
  }
}

}  // namespace

bool DrawContext::PickMisses(Vec3 centre, float radius) const {
  if (!pick_cull || pixels_per_unit <= 0) return false;
  const Vec3 d = centre - pick_origin;
  const float along = Dot(d, pick_direction);
  if (along < -radius) return true;  // behind the eye
  const float off = Length(d - pick_direction * along);
  return off > radius + pick_slack_px * std::max(along, 0.0f) / pixels_per_unit;
}

bool DrawContext::PickMissesSegment(Vec3 a, Vec3 b) const {
  if (!pick_cull || pixels_per_unit <= 0) return false;
  // Closest approach of the segment to the ray (clamped on both), then the same test.
  const Vec3 u = b - a, w = a - pick_origin;
  const float uu = Dot(u, u), ud = Dot(u, pick_direction), uw = Dot(u, w),
              dw = Dot(pick_direction, w);
  const float denom = uu - ud * ud;
  float s = denom > 1e-12f ? std::clamp((ud * dw - uw) / denom, 0.0f, 1.0f) : 0.0f;
  float t = std::max(dw + s * ud, 0.0f);
  if (uu > 0) s = std::clamp((t * ud - uw) / uu, 0.0f, 1.0f);
  t = std::max(Dot(a + u * s - pick_origin, pick_direction), 0.0f);
  const Vec3 gap = a + u * s - (pick_origin + pick_direction * t);
  return Length(gap) > pick_slack_px * t / pixels_per_unit + 1e-6f;
}

void DrawContext::SetLighting(bool on) {
  if (lit == int(on)) return;
  on ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
  lit = on;
}

void DrawContext::SetTexturing(bool on) {
  if (textured == int(on)) return;
  on ? glEnable(GL_TEXTURE_2D) : glDisable(GL_TEXTURE_2D);
  textured = on;
}

void Material::Apply(DrawContext& ctx) const {
  ctx.SetLighting(ctx.lighting);
  const bool same = ctx.has_material && ctx.m_ambient == ambient && ctx.m_diffuse == diffuse &&
                    ctx.m_specular == specular && ctx.m_emission == emission &&
                    ctx.m_shininess == shininess;
  if (!same) {
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient.data());
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse.data());
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular.data());
    glMaterialfv(GL_FRONT, GL_EMISSION, emission.data());
    glMaterialf(GL_FRONT, GL_SHININESS, shininess);
    ctx.has_material = true;
    ctx.m_ambient = ambient;
    ctx.m_diffuse = diffuse;
    ctx.m_specular = specular;
    ctx.m_emission = emission;
    ctx.m_shininess = shininess;
  }
  if (texture_enabled && texture && ctx.gl) {
    ctx.SetTexturing(true);
    ctx.gl->BindTexture(*texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  } else {
    ctx.SetTexturing(false);
  }
}

void Node::Destroy(Node* node) {
  if (node == nullptr || node->parent_ == nullptr) return;
  auto& siblings = node->parent_->children_;
  // Nodes are usually destroyed newest first, so search from the back.
  auto it = std::find_if(siblings.rbegin(), siblings.rend(),
                         [node](const std::unique_ptr<Node>& c) { return c.get() == node; });
  if (it != siblings.rend()) siblings.erase(std::next(it).base());
}

void Node::DestroyChildren(const std::unordered_set<const Node*>& doomed) {
  std::erase_if(children_,
                [&doomed](const std::unique_ptr<Node>& c) { return doomed.count(c.get()) != 0; });
}

Mat4 Node::LocalMatrix() const {
  const Vec3 x = Cross(up, direction);
  Mat4 m;
  const Vec3 rows[3] = {x * scale.x, up * scale.y, direction * scale.z};
  for (int i = 0; i < 3; ++i) {
    m.m[i][0] = rows[i].x;
    m.m[i][1] = rows[i].y;
    m.m[i][2] = rows[i].z;
    m.m[i][3] = 0;
  }
  m.m[3][0] = position.x;
  m.m[3][1] = position.y;
  m.m[3][2] = position.z;
  m.m[3][3] = 1;
  return m;
}

Mat4 Node::AbsoluteMatrix() const {
  return parent_ ? LocalMatrix() * parent_->AbsoluteMatrix() : LocalMatrix();
}

void Node::SetAbsolutePosition(Vec3 p) {
  position = parent_ ? TransformPoint(p, AffineInverse(parent_->AbsoluteMatrix())) : p;
}

void Node::Render(DrawContext& ctx) {
  if (!visible || this == ctx.excluded) return;
  const Mat4 local = LocalMatrix();
  const Mat4 parent_model = ctx.model;
  ctx.model = local * parent_model;
  glPushMatrix();
  glMultMatrixf(local.data());
  // Axes are decoration: they cast no shadow and are not picked, so they never hide a ball.
  if (show_axes && ctx.pass == Pass::kNormal) {
    DrawAxes(ctx);
    ctx.Forget();
  }
  if (ctx.pass == Pass::kPick) ctx.gl->LoadPickName(this);
  DrawSelf(ctx);
  for (const auto& child : children_) child->Render(ctx);
  glPopMatrix();
  ctx.model = parent_model;
}

void Node::DrawAxes(const DrawContext& ctx) const {
  const float len = ctx.camera ? ctx.camera->depth_of_view : 100.0f;
  glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_LINE_STIPPLE);
  glLineStipple(1, 0xCCCC);
  glLineWidth(1);
  glBegin(GL_LINES);
  const float bright[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int axis = 0; axis < 3; ++axis) {
    float end[3] = {0, 0, 0};
    end[axis] = len;
    glColor3fv(bright[axis]);
    glVertex3f(0, 0, 0);
    glVertex3fv(end);
    end[axis] = -len;
    glColor3f(bright[axis][0] * 0.5f, bright[axis][1] * 0.5f, bright[axis][2] * 0.5f);
    glVertex3f(0, 0, 0);
    glVertex3fv(end);
  }
  glEnd();
  glPopAttrib();
}

namespace {

// Facets of a ball as seen: edges near 3 pixels on screen, up to the full tessellation.
void BallFacets(const DrawContext& ctx, Vec3 centre, float radius, int slices, int stacks,
                int& draw_slices, int& draw_stacks) {
  draw_slices = slices;
  draw_stacks = stacks;
  if (ctx.pixels_per_unit <= 0) return;
  const float distance = std::max(Length(centre - ctx.eye), 1e-6f);
  const float radius_px = radius * ctx.pixels_per_unit / distance;
  // A ball beyond single range (an infinite or undefined distance) keeps the full tessellation.
  if (!std::isfinite(radius_px)) return;
  // Capped before the conversion: a ball at the eye is millions of pixels wide.
  const int wanted = int(std::ceil(2 * kPi * std::min(radius_px, 1e6f) / 3));
  draw_slices = std::clamp(wanted, std::min(6, slices), slices);
  // Stacks run over half a turn, slices over a whole one: half as many give the same edges.
  draw_stacks = std::clamp((wanted + 1) / 2, std::min(4, stacks), stacks);
}

}  // namespace

void SphereNode::DrawSelf(DrawContext& ctx) {
  if (batched && ctx.pass == Pass::kNormal) return;
  if (ctx.pass == Pass::kShadow &&
      ctx.ShadowHidden(ctx.model.Row(3), radius * Length(ctx.model.Row(0)))) {
    return;
  }
  if (ctx.pass == Pass::kPick &&
      ctx.PickMisses(ctx.model.Row(3), radius * Length(ctx.model.Row(0)))) {
    return;
  }
  if (ctx.pass == Pass::kNormal) material.Apply(ctx);
  // A ball a few pixels wide looks the same with fewer facets.
  int draw_slices = slices, draw_stacks = stacks;
  BallFacets(ctx, ctx.model.Row(3), radius * Length(ctx.model.Row(0)), slices, stacks, draw_slices,
             draw_stacks);
  glPushMatrix();
  glScalef(radius, radius, radius);
  ctx.gl->CallSphere(draw_slices, draw_stacks);
  glPopMatrix();
}

void CubeNode::DrawSelf(DrawContext& ctx) {
  if (ctx.pass == Pass::kNormal) material.Apply(ctx);
  const float hx = size.x / 2, hy = size.y / 2, hz = size.z / 2;
  // Each face: outward normal and four corners counter-clockwise seen from outside.
  struct Face {
    float n[3];
    float v[4][3];
  };
  const Face faces[6] = {
      {{1, 0, 0}, {{hx, -hy, -hz}, {hx, hy, -hz}, {hx, hy, hz}, {hx, -hy, hz}}},
      {{-1, 0, 0}, {{-hx, -hy, -hz}, {-hx, -hy, hz}, {-hx, hy, hz}, {-hx, hy, -hz}}},
      {{0, 1, 0}, {{-hx, hy, -hz}, {-hx, hy, hz}, {hx, hy, hz}, {hx, hy, -hz}}},
      {{0, -1, 0}, {{-hx, -hy, -hz}, {hx, -hy, -hz}, {hx, -hy, hz}, {-hx, -hy, hz}}},
      {{0, 0, 1}, {{-hx, -hy, hz}, {hx, -hy, hz}, {hx, hy, hz}, {-hx, hy, hz}}},
      {{0, 0, -1}, {{-hx, -hy, -hz}, {-hx, hy, -hz}, {hx, hy, -hz}, {hx, -hy, -hz}}},
  };
  glBegin(GL_QUADS);
  for (const Face& f : faces) {
    glNormal3fv(f.n);
    for (const auto& v : f.v) glVertex3fv(v);
  }
  glEnd();
}

void PolylineNode::DrawSelf(DrawContext& ctx) {
  if (vertices.empty() || (batched && ctx.pass == Pass::kNormal)) return;
  if (ctx.pass == Pass::kPick && ctx.pick_cull && vertices.size() == 2 &&
      ctx.PickMissesSegment(TransformPoint(vertices[0], ctx.model),
                            TransformPoint(vertices[1], ctx.model))) {
    return;
  }
  if (ctx.pass == Pass::kShadow && ctx.skip_hidden_shadows &&
      std::all_of(vertices.begin(), vertices.end(),
                  [&ctx](Vec3 v) { return ctx.ShadowHidden(TransformPoint(v, ctx.model), 0); })) {
    return;
  }
  if (ctx.pass == Pass::kNormal) {
    ctx.SetLighting(false);
    ctx.SetTexturing(false);
    if (edge_width > 0) {
      glColor4fv(edge_color.data());
      glLineWidth(edge_width);
      glBegin(GL_LINE_STRIP);
      for (const Vec3& v : vertices) glVertex3f(v.x, v.y, v.z);
      glEnd();
    }
    glColor4fv(line_color.data());
  }
  // The line lies exactly on its own edge: it must win that depth tie.
  const bool over_edge = edge_width > 0 && ctx.pass == Pass::kNormal;
  if (over_edge) glDepthFunc(GL_LEQUAL);
  glLineWidth(width);
  glBegin(GL_LINE_STRIP);
  for (const Vec3& v : vertices) glVertex3f(v.x, v.y, v.z);
  glEnd();
  if (over_edge) glDepthFunc(GL_LESS);
  if (markers && ctx.pass != Pass::kShadow) {
    glPointSize(3);
    glBegin(GL_POINTS);
    for (const Vec3& v : vertices) glVertex3f(v.x, v.y, v.z);
    glEnd();
  }
}

void SegmentsNode::DrawSelf(DrawContext& ctx) {
  if (ctx.pass != Pass::kNormal || ends.size() < 2) return;
  ctx.SetLighting(false);
  ctx.SetTexturing(false);
  glColor4fv(line_color.data());
  glLineWidth(width);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(Vec3), ends.data());
  glDrawArrays(GL_LINES, 0, GLsizei(ends.size() / 2 * 2));
  glDisableClientState(GL_VERTEX_ARRAY);
}

void BatchNode::DrawSelf(DrawContext& ctx) {
  if (ctx.pass != Pass::kNormal) return;
  if (balls != nullptr) DrawBalls(ctx);
  if (lines != nullptr) DrawLines(ctx);
}

void BatchNode::DrawBalls(DrawContext& ctx) {
  positions_.clear();
  normals_.clear();
  colours_.clear();
  indices_.clear();
  const SphereNode* first = nullptr;
  const float frame_scale = Length(ctx.model.Row(0));
  const Vec3 sight = ctx.camera && ctx.camera->target
                         ? Normalized(ctx.camera->target->AbsolutePosition() - ctx.eye)
                         : Vec3{};
  for (const SphereNode* ball : *balls) {
    if (!ball->visible || !ball->batched) continue;
    const Vec3 centre = TransformPoint(ball->position, ctx.model);
    const float radius = ball->radius * frame_scale;
    // Wholly behind the eye: nothing of it can show.
    if (Dot(centre - ctx.eye, sight) < -radius) continue;
    if (first == nullptr) first = ball;
    int slices = 0, stacks = 0;
    BallFacets(ctx, centre, radius, ball->slices, ball->stacks, slices, stacks);
    const std::vector<float>* unit = nullptr;
    const std::vector<unsigned short>* triangles = nullptr;
    ctx.gl->SphereArrays(slices, stacks, unit, triangles);
    const unsigned base = unsigned(positions_.size() / 3);
    const Vec3 p = ball->position;
    const float r = ball->radius;
    for (size_t i = 0; i < unit->size(); i += 3) {
      const float* n = unit->data() + i;
      positions_.insert(positions_.end(), {p.x + r * n[0], p.y + r * n[1], p.z + r * n[2]});
      normals_.insert(normals_.end(), {n[0], n[1], n[2]});
      const Color& e = ball->material.emission;
      colours_.insert(colours_.end(), {e.r, e.g, e.b, e.a});
    }
    for (const unsigned short index : *triangles) indices_.push_back(base + index);
  }
  if (first == nullptr) return;
  first->material.Apply(ctx);
  // Each ball's own emission comes with its vertices.
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT, GL_EMISSION);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, positions_.data());
  glNormalPointer(GL_FLOAT, 0, normals_.data());
  glColorPointer(4, GL_FLOAT, 0, colours_.data());
  glDrawElements(GL_TRIANGLES, GLsizei(indices_.size()), GL_UNSIGNED_INT, indices_.data());
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisable(GL_COLOR_MATERIAL);
  ctx.Forget();  // the emission the colour material left behind is not the cached one
}

void BatchNode::DrawLines(DrawContext& ctx) {
  edge_ends_.clear();
  line_ends_.clear();
  line_colours_.clear();
  float width = 1, edge_width = 0;
  Color edge_color;
  for (const PolylineNode* line : *lines) {
    if (!line->visible || !line->batched) continue;
    width = line->width;
    if (line->edge_width > 0) {
      edge_width = line->edge_width;
      edge_color = line->edge_color;
    }
    for (size_t i = 1; i < line->vertices.size(); ++i) {
      for (const Vec3& v : {line->vertices[i - 1], line->vertices[i]}) {
        line_ends_.push_back(v);
        line_colours_.push_back(line->line_color);
        if (line->edge_width > 0) edge_ends_.push_back(v);
      }
    }
  }
  if (line_ends_.empty()) return;
  ctx.SetLighting(false);
  ctx.SetTexturing(false);
  glEnableClientState(GL_VERTEX_ARRAY);
  if (!edge_ends_.empty()) {
    glColor4fv(edge_color.data());
    glLineWidth(edge_width);
    glVertexPointer(3, GL_FLOAT, sizeof(Vec3), edge_ends_.data());
    glDrawArrays(GL_LINES, 0, GLsizei(edge_ends_.size()));
    glDepthFunc(GL_LEQUAL);  // the lines lie exactly on their edges and must win that tie
  }
  glEnableClientState(GL_COLOR_ARRAY);
  glLineWidth(width);
  glVertexPointer(3, GL_FLOAT, sizeof(Vec3), line_ends_.data());
  glColorPointer(4, GL_FLOAT, sizeof(Color), line_colours_.data());
  glDrawArrays(GL_LINES, 0, GLsizei(line_ends_.size()));
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDepthFunc(GL_LESS);
}

void LightNode::Setup(int index) const {
  const GLenum light = GL_LIGHT0 + index;
  const Vec3 p = AbsolutePosition();
  const float pos[4] = {p.x, p.y, p.z, 1};
  glEnable(light);
  glLightfv(light, GL_POSITION, pos);
  glLightf(light, GL_SPOT_CUTOFF, spot_cutoff);
  glLightf(light, GL_CONSTANT_ATTENUATION, constant_attenuation);
  glLightf(light, GL_LINEAR_ATTENUATION, linear_attenuation);
  glLightf(light, GL_QUADRATIC_ATTENUATION, quadratic_attenuation);
  glLightfv(light, GL_AMBIENT, ambient.data());
  glLightfv(light, GL_DIFFUSE, diffuse.data());
  glLightfv(light, GL_SPECULAR, specular.data());
}

void ShadowPlaneNode::DrawQuad(bool textured) const {
  const float hw = width / 2, hh = height / 2;
  glBegin(GL_QUADS);
  glNormal3f(0, 0, 1);
  if (textured) glTexCoord2f(0, 0);
  glVertex3f(-hw, -hh, 0);
  if (textured) glTexCoord2f(x_tiles, 0);
  glVertex3f(hw, -hh, 0);
  if (textured) glTexCoord2f(x_tiles, y_tiles);
  glVertex3f(hw, hh, 0);
  if (textured) glTexCoord2f(0, y_tiles);
  glVertex3f(-hw, hh, 0);
  glEnd();
}

void ShadowPlaneNode::DrawSelf(DrawContext& ctx) {
  if (ctx.pass == Pass::kShadow) return;
  if (ctx.pass == Pass::kPick) {
    DrawQuad(false);
    return;
  }
  const Mat4 abs = AbsoluteMatrix();
  const Vec3 normal = Normalized(abs.Row(2));
  const Vec3 origin = abs.Row(3);
  // Seen from behind, neither the plane nor its shadows are drawn.
  if (ctx.camera == nullptr || Dot(ctx.camera->AbsolutePosition() - origin, normal) <= 0) return;

  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glClearStencil(0);
  glClear(GL_STENCIL_BUFFER_BIT);
  glEnable(GL_STENCIL_TEST);
  glStencilMask(0xFF);
  glStencilFunc(GL_ALWAYS, 1, 0xFF);
  glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
  material.Apply(ctx);
  // Pushed back a little so that lines lying on the plane (the frame's axes, lines between
  // points on the ground) stay in front of it instead of fighting it for depth.
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(1, 1);
  DrawQuad(material.texture_enabled && material.texture);
  glDisable(GL_POLYGON_OFFSET_FILL);

  if (caster != nullptr && light != nullptr) {
    const Vec3 l = light->AbsolutePosition();
    const float light4[4] = {l.x, l.y, l.z, 1};
    const float plane[4] = {normal.x, normal.y, normal.z, -Dot(normal, origin)};
    float shadow[16];
    ShadowMatrix(plane, light4, shadow);

    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1, -1);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4fv(shadow_color.data());
    // Each plane pixel takes at most one shadow pixel, so overlaps do not darken twice.
    glStencilFunc(GL_EQUAL, 1, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_ZERO);

    glPushMatrix();
    glLoadMatrixf(ctx.view.data());
    glMultMatrixf(shadow);
    if (caster->parent() != nullptr) glMultMatrixf(caster->parent()->AbsoluteMatrix().data());
    DrawContext shadow_ctx = ctx;
    shadow_ctx.pass = Pass::kShadow;
    shadow_ctx.excluded = this;
    shadow_ctx.model = caster->parent() ? caster->parent()->AbsoluteMatrix() : Mat4{};
    shadow_ctx.Forget();
    shadow_ctx.skip_hidden_shadows = Length(l - ctx.eye) < 1e-5f;
    std::copy_n(plane, 4, shadow_ctx.shadow_plane);
    caster->Render(shadow_ctx);
    glPopMatrix();
  }
  glPopAttrib();
  ctx.Forget();
}

void ScreenTextNode::DrawSelf(DrawContext& ctx) {
  if (ctx.pass == Pass::kNormal && ctx.gl) {
    ctx.gl->DrawScreenText(*this);
    ctx.Forget();
  }
}

}  // namespace vistrel::scene
