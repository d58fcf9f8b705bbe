#include "scene/math.h"

namespace vistrel::scene {

Mat4 operator*(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  }
  return r;
}

Vec3 TransformPoint(Vec3 p, const Mat4& m) {
  Vec3 r;
  for (int j = 0; j < 3; ++j)
    r[j] = p.x * m.m[0][j] + p.y * m.m[1][j] + p.z * m.m[2][j] + m.m[3][j];
  return r;
}

Mat4 AffineInverse(const Mat4& m) {
  const float(&a)[4][4] = m.m;
  const double det = double(a[0][0]) * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                     double(a[0][1]) * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                     double(a[0][2]) * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  Mat4 r;
  if (det == 0) return r;
  const double inv = 1.0 / det;
  r.m[0][0] = float((a[1][1] * a[2][2] - a[1][2] * a[2][1]) * inv);
  r.m[0][1] = float((a[0][2] * a[2][1] - a[0][1] * a[2][2]) * inv);
  r.m[0][2] = float((a[0][1] * a[1][2] - a[0][2] * a[1][1]) * inv);
  r.m[1][0] = float((a[1][2] * a[2][0] - a[1][0] * a[2][2]) * inv);
  r.m[1][1] = float((a[0][0] * a[2][2] - a[0][2] * a[2][0]) * inv);
  r.m[1][2] = float((a[0][2] * a[1][0] - a[0][0] * a[1][2]) * inv);
  r.m[2][0] = float((a[1][0] * a[2][1] - a[1][1] * a[2][0]) * inv);
  r.m[2][1] = float((a[0][1] * a[2][0] - a[0][0] * a[2][1]) * inv);
  r.m[2][2] = float((a[0][0] * a[1][1] - a[0][1] * a[1][0]) * inv);
  // Translation: -t * R^-1.
  for (int j = 0; j < 3; ++j) {
    r.m[3][j] = -(a[3][0] * r.m[0][j] + a[3][1] * r.m[1][j] + a[3][2] * r.m[2][j]);
  }
  return r;
}

}  // namespace vistrel::scene
