#pragma once

// Small single-precision vector and matrix types of the scene graph. Matrices use the row-vector
// convention (a point p maps to p * M, translation in row 3); stored row by row, a matrix is laid
// out exactly as OpenGL expects for glLoadMatrixf / glMultMatrixf.

#include <cmath>

namespace vistrel::scene {

inline constexpr float kPi = 3.14159265358979f;  // pi as the scene's single precision holds it

struct Vec3 {
  float x = 0, y = 0, z = 0;

  float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
  float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  friend Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
  friend Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
  friend Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
  friend Vec3 operator*(float s, Vec3 a) { return a * s; }
  friend bool operator==(Vec3 a, Vec3 b) = default;
};

inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
// Unit vector along a; a zero vector stays zero.
inline Vec3 Normalized(Vec3 a) {
  const float len = Length(a);
  return len > 0 ? a * (1.0f / len) : a;
}

// Right-handed rotation of v about the unit axis k by angle radians (Rodrigues).
inline Vec3 RotateAbout(Vec3 v, Vec3 k, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return v * c + Cross(k, v) * s + k * (Dot(k, v) * (1 - c));
}

struct Color {
  float r = 0, g = 0, b = 0, a = 1;
  float& operator[](int i) { return i == 0 ? r : (i == 1 ? g : (i == 2 ? b : a)); }
  float operator[](int i) const { return i == 0 ? r : (i == 1 ? g : (i == 2 ? b : a)); }
  const float* data() const { return &r; }
  friend bool operator==(Color a, Color b) = default;
};

struct Mat4 {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

  static Mat4 Identity() { return {}; }
  Vec3 Row(int i) const { return {m[i][0], m[i][1], m[i][2]}; }
  const float* data() const { return &m[0][0]; }
};

// a * b: first a, then b (row vectors).
Mat4 operator*(const Mat4& a, const Mat4& b);
// p * M with w = 1.
Vec3 TransformPoint(Vec3 p, const Mat4& m);
// Inverse of an affine matrix (last column 0, 0, 0, 1); a singular 3x3 part gives identity.
Mat4 AffineInverse(const Mat4& m);

}  // namespace vistrel::scene
