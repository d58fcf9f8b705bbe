// Renders the demo stereo pair from the synthetic scene: a textured back board with the four far
// control targets, blocks standing in front of it carrying the near targets and the targets to
// measure, a wall behind and a floor below. Each pixel casts its viewing ray through the system's
// own camera model (distortion included), so every target's centre falls exactly on the pixel
// the model projects it to. Control targets are ringed crosses labelled 1 to 9; the targets to
// measure are quartered discs labelled A to D.
//
// Usage: make_demo_photos OUTPUT_DIR   (writes left.jpg and right.jpg)

// clang-format off
// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "photogrammetry/camera_model.h"
#include "tools/demo_scene.h"

namespace {

using namespace vistrel;

constexpr int kWidth = demo::kImageWidth;
constexpr int kHeight = demo::kImageHeight;
constexpr int kJpegQuality = 90;

struct Vec {
  double x, y, z;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator*(double s, Vec a) { return {s * a.x, s * a.y, s * a.z}; }

struct Color {
  double r, g, b;
};
Color Mix(Color a, Color b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Color Scale(Color c, double s) { return {c.r * s, c.g * s, c.b * s}; }

// ---- procedural texture -------------------------------------------------------------------------

double Hash(int x, int y, int seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u +
                    static_cast<std::uint32_t>(y) * 668265263u +
                    static_cast<std::uint32_t>(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

double ValueNoise(double x, double y, int seed) {
  const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  const double fx = x - ix, fy = y - iy;
  const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const double a = Hash(ix, iy, seed), b = Hash(ix + 1, iy, seed);
  const double c = Hash(ix, iy + 1, seed), d = Hash(ix + 1, iy + 1, seed);
  return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

double Fractal(double x, double y, int seed) {
  double sum = 0, amplitude = 0.5, frequency = 1;
  for (int octave = 0; octave < 4; ++octave) {
    sum += amplitude * ValueNoise(x * frequency, y * frequency, seed + octave);
    amplitude *= 0.5;
    frequency *= 2.1;
  }
  return sum;
}

// ---- scene
// ----------------------------------------------------------------------------------------

// A surface hit: the point, which surface, and the surface's own 2D coordinates (cm).
enum class Surface { kWall, kFloor, kBoard, kBlockFront, kBlockSide };
struct Hit {
  double t;
  Vec p;
  Surface surface;
  int block;  // index into Blocks() for block faces
  double u, v;
  double shade;
};

constexpr double kBoardZ = 40, kBoardHalfX = 72, kBoardHalfY = 50;
constexpr double kWallZ = 90, kFloorY = 62;
constexpr double kBlockHalf = 6.5;

struct Block {
  double x, y, z_front;  // the front face is at z_front; the block reaches back to the board
  Color color;
  bool control;  // carries a control target (else a target to measure)
  int label;     // control number 1..9, or 0..3 for A..D
};

const std::vector<Block>& Blocks() {
  static const std::vector<Block> blocks = [] {
    std::vector<Block> b;
    const Color palette[] = {{0.62, 0.36, 0.24},
                             {0.30, 0.45, 0.62},
                             {0.55, 0.55, 0.30},
                             {0.40, 0.58, 0.42},
                             {0.58, 0.40, 0.55}};
    int k = 0;
    for (int i = 0; i < 9; ++i) {
      const auto& t = demo::kControlTargets[i];
      if (t.Z < kBoardZ) b.push_back({t.X, t.Y, t.Z, palette[k++ % 5], true, i + 1});
    }
    for (int i = 0; i < 4; ++i) {
      const auto& t = demo::kExtraTargets[i];
      b.push_back({t.X, t.Y, t.Z, palette[k++ % 5], false, i});
    }
    return b;
  }();
  return blocks;
}

void Consider(std::optional<Hit>& best, const Hit& hit) {
  if (hit.t > 1e-6 && (!best || hit.t < best->t)) best = hit;
}

std::optional<Hit> Trace(Vec o, Vec d) {
  std::optional<Hit> best;
  const auto at = [&](double t) { return o + t * d; };
  if (d.z > 0) {
    const double t = (kWallZ - o.z) / d.z;
    const Vec p = at(t);
    Consider(best, {t, p, Surface::kWall, -1, p.x, p.y, 0.75});
    const double tb = (kBoardZ - o.z) / d.z;
    const Vec pb = at(tb);
    if (std::abs(pb.x) <= kBoardHalfX && std::abs(pb.y) <= kBoardHalfY) {
      Consider(best, {tb, pb, Surface::kBoard, -1, pb.x, pb.y, 1.0});
    }
  }
  if (d.y > 0) {
    const double t = (kFloorY - o.y) / d.y;
    const Vec p = at(t);
    if (p.z > -400 && p.z < kWallZ) Consider(best, {t, p, Surface::kFloor, -1, p.x, p.z, 0.85});
  }
  for (std::size_t i = 0; i < Blocks().size(); ++i) {
    const Block& b = Blocks()[i];
    const double x0 = b.x - kBlockHalf, x1 = b.x + kBlockHalf;
    const double y0 = b.y - kBlockHalf, y1 = b.y + kBlockHalf;
    // Front face.
    if (d.z > 0) {
      const double t = (b.z_front - o.z) / d.z;
      const Vec p = at(t);
      if (p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1) {
        Consider(best,
                 {t, p, Surface::kBlockFront, static_cast<int>(i), p.x - b.x, p.y - b.y, 1.0});
      }
    }
    // Side faces, shaded darker: the light comes from the upper left.
    const double xs[] = {x0, x1};
    for (int s = 0; s < 2; ++s) {
      if (d.x == 0) continue;
      const double t = (xs[s] - o.x) / d.x;
      const Vec p = at(t);
      if (p.y >= y0 && p.y <= y1 && p.z >= b.z_front && p.z <= kBoardZ) {
        Consider(best,
                 {t, p, Surface::kBlockSide, static_cast<int>(i), p.z, p.y, s == 0 ? 0.8 : 0.55});
      }
    }
    const double ys[] = {y0, y1};
    for (int s = 0; s < 2; ++s) {
      if (d.y == 0) continue;
      const double t = (ys[s] - o.y) / d.y;
      const Vec p = at(t);
      if (p.x >= x0 && p.x <= x1 && p.z >= b.z_front && p.z <= kBoardZ) {
        Consider(best,
                 {t, p, Surface::kBlockSide, static_cast<int>(i), p.x, p.z, s == 0 ? 0.9 : 0.5});
      }
    }
  }
  return best;
}

// Control target: white disc with a black ring, a black cross and a black centre dot.
std::optional<Color> ControlTarget(double du, double dv) {
  const double r = std::hypot(du, dv);
  if (r > 3.4) return std::nullopt;
  const Color white{0.96, 0.96, 0.94}, black{0.05, 0.05, 0.05};
  if (r > 3.0) return black;
  if (r > 2.2 && r < 2.6) return black;
  if (r < 0.35) return Color{0.85, 0.1, 0.1};
  if ((std::abs(du) < 0.12 || std::abs(dv) < 0.12) && r < 2.2) return black;
  return white;
}

// Target to measure: a quartered disc, black and yellow, its centre where the quarters meet.
std::optional<Color> ExtraTarget(double du, double dv) {
  const double r = std::hypot(du, dv);
  if (r > 2.8) return std::nullopt;
  if (r > 2.5) return Color{0.05, 0.05, 0.05};
  return (du > 0) == (dv > 0) ? Color{0.05, 0.05, 0.05} : Color{0.98, 0.85, 0.1};
}

Color Shade(const Hit& h) {
  switch (h.surface) {
    case Surface::kWall: {
      const double n = Fractal(h.u / 9, h.v / 9, 11);
      return Scale(Mix({0.55, 0.57, 0.60}, {0.70, 0.71, 0.72}, n), h.shade);
    }
    case Surface::kFloor: {
      // Floor boards 12 cm wide with a grain.
      const int board = static_cast<int>(std::floor(h.u / 12));
      const double grain = Fractal(h.u / 1.5, h.v / 25 + board * 7.3, 23);
      const Color wood = Mix({0.45, 0.31, 0.20}, {0.62, 0.45, 0.30}, grain);
      const double seam = std::abs(h.u / 12 - std::round(h.u / 12)) < 0.02 ? 0.6 : 1.0;
      return Scale(wood, h.shade * seam * (0.9 + 0.2 * Hash(board, 0, 5)));
    }
    case Surface::kBoard: {
      for (const auto& t : demo::kControlTargets) {
        if (t.Z == kBoardZ) {
          if (auto c = ControlTarget(h.u - t.X, h.v - t.Y)) return *c;
        }
      }
      const double n = Fractal(h.u / 2.5, h.v / 2.5, 3);
      const double fibre = ValueNoise(h.u * 1.7, h.v * 0.15, 9);
      return Mix({0.74, 0.68, 0.55}, {0.90, 0.85, 0.72}, 0.7 * n + 0.3 * fibre);
    }
    case Surface::kBlockFront: {
      const Block& b = Blocks()[h.block];
      if (auto c = b.control ? ControlTarget(h.u, h.v) : ExtraTarget(h.u, h.v)) return *c;
      const double n = Fractal(h.u / 1.8 + h.block * 13, h.v / 1.8, 17);
      return Scale(b.color, 0.8 + 0.35 * n);
    }
    case Surface::kBlockSide: {
      const Block& b = Blocks()[h.block];
      const double n = Fractal(h.u / 1.8, h.v / 1.8 + h.block * 13, 19);
      return Scale(b.color, h.shade * (0.8 + 0.35 * n));
    }
  }
  return {0, 0, 0};
}

// ---- labels
// ---------------------------------------------------------------------------------------

// 5 x 7 glyphs, one string per row, '#' for ink.
const std::array<const char*, 7>& Glyph(char c) {
  static const std::array<const char*, 7> kDigits[9] = {
      {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."},
      {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"},
      {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."},
      {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."},
      {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."},
      {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."},
      {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."},
      {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."},
      {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."},
  };
  static const std::array<const char*, 7> kLetters[4] = {
      {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"},
      {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."},
      {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."},
      {"###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."},
  };
  return c >= '1' && c <= '9' ? kDigits[c - '1'] : kLetters[c - 'A'];
}

struct Image {
  std::vector<std::uint8_t> rgb = std::vector<std::uint8_t>(kWidth * kHeight * 3);
  void Set(int x, int y, Color c) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
    std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3];
    p[0] = static_cast<std::uint8_t>(std::clamp(c.r, 0.0, 1.0) * 255 + 0.5);
    p[1] = static_cast<std::uint8_t>(std::clamp(c.g, 0.0, 1.0) * 255 + 0.5);
    p[2] = static_cast<std::uint8_t>(std::clamp(c.b, 0.0, 1.0) * 255 + 0.5);
  }
};

// A label on a dark plate at the upper right of the target's pixel.
void DrawLabel(Image& image, long double px, long double py, char c, Color ink) {
  constexpr int kScale = 4;
  const int x0 = static_cast<int>(std::lround(static_cast<double>(px))) + 22;
  const int y0 = static_cast<int>(std::lround(static_cast<double>(py))) - 22 - 7 * kScale;
  for (int y = -4; y < 7 * kScale + 4; ++y) {
    for (int x = -4; x < 5 * kScale + 4; ++x) image.Set(x0 + x, y0 + y, {0.1, 0.1, 0.12});
  }
  const auto& glyph = Glyph(c);
  for (int row = 0; row < 7; ++row) {
    for (int col = 0; col < 5; ++col) {
      if (glyph[row][col] != '#') continue;
      for (int y = 0; y < kScale; ++y) {
        for (int x = 0; x < kScale; ++x)
          image.Set(x0 + col * kScale + x, y0 + row * kScale + y, ink);
      }
    }
  }
}

// ---- rendering
// --------------------------------------------------------------------------------------

Image Render(const ExternalParameters& camera) {
  const InternalParameters& lens = demo::kLens;
  const Rotation R = RotationMatrix(camera.Alpha, camera.Beta, camera.Gamma);
  const Vec origin{camera.Tx, camera.Ty, camera.Tz};
  const double abs_f = std::abs(lens.f);
  Image image;
  // Pixel (i, j) is centred on image coordinate (i, j); four samples per pixel.
  constexpr double kOffsets[2] = {-0.25, 0.25};
  for (int j = 0; j < kHeight; ++j) {
    for (int i = 0; i < kWidth; ++i) {
      Color sum{0, 0, 0};
      for (double oy : kOffsets) {
        for (double ox : kOffsets) {
          const double x = i + ox, y = j + oy;
          // The model's correction of an observed pixel gives the ideal centred coordinates.
          const Distortion dist = DistortionAt(x, y, LensOf(lens));
          const double xc = (x - (dist.dx_rad + dist.dx_tan + lens.u0)) / abs_f;
          const double yc = (y - (dist.dy_rad + dist.dy_tan + lens.v0)) / abs_f;
          // R maps space directions into the camera; its transpose maps back.
          const Vec d{R[0] * xc + R[3] * yc + R[6], R[1] * xc + R[4] * yc + R[7],
                      R[2] * xc + R[5] * yc + R[8]};
          const auto hit = Trace(origin, d);
          const Color c = hit ? Shade(*hit) : Color{0.2, 0.2, 0.22};
          sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
        }
      }
      // A little sensor grain.
      const double grain = (Hash(i, j, 77 + static_cast<int>(camera.Tx)) - 0.5) * 0.03;
      image.Set(i, j, {sum.r / 4 + grain, sum.g / 4 + grain, sum.b / 4 + grain});
    }
  }
  for (int k = 0; k < 9; ++k) {
    const auto& t = demo::kControlTargets[k];
    const ImagePoint p = ProjectToImage(lens, camera, t.X, t.Y, t.Z);
    DrawLabel(image, p.x, p.y, static_cast<char>('1' + k), {1.0, 1.0, 1.0});
  }
  for (int k = 0; k < 4; ++k) {
    const auto& t = demo::kExtraTargets[k];
    const ImagePoint p = ProjectToImage(lens, camera, t.X, t.Y, t.Z);
    DrawLabel(image, p.x, p.y, static_cast<char>('A' + k), {1.0, 0.85, 0.1});
  }
  return image;
}

bool WriteJpeg(const std::string& path, const Image& image) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = kWidth;
  cinfo.image_height = kHeight;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, kJpegQuality, TRUE);
  cinfo.optimize_coding = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(
        &image.rgb[static_cast<std::size_t>(cinfo.next_scanline) * kWidth * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_photos OUTPUT_DIR\n");
    return 1;
  }
  const std::string dir = std::string(argv[1]) + "/";
  const std::pair<const char*, const ExternalParameters*> photos[] = {
      {"left.jpg", &demo::kLeftCamera}, {"right.jpg", &demo::kRightCamera}};
  for (const auto& [name, camera] : photos) {
    // Every target must be seen on its own surface, not hidden behind a block.
    for (const auto& t : demo::kControlTargets) {
      const Vec p{t.X, t.Y, t.Z};
      const Vec o{camera->Tx, camera->Ty, camera->Tz};
      const Vec d{p.x - o.x, p.y - o.y, p.z - o.z};
      const auto hit = Trace(o, d);
      if (!hit || std::abs(hit->t - 1.0) > 1e-9) {
        std::fprintf(stderr, "%s: target (%g, %g, %g) is hidden\n", name, t.X, t.Y, t.Z);
      }
    }
    if (!WriteJpeg(dir + name, Render(*camera))) {
      std::fprintf(stderr, "cannot write %s%s\n", dir.c_str(), name);
      return 1;
    }
  }
  return 0;
}
