// Generates the ground texture of the 3D window: a 356 x 354, 24-bit grey granular surface that
// tiles without visible seams (every noise layer wraps around the picture's edges).
//
// Usage: make_ground_texture OUTPUT.png [seed]

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 356;
constexpr int kHeight = 354;

// Value noise on a wrapping lattice of cells x cells, smoothly interpolated.
std::vector<float> WrappingNoise(int cells_x, int cells_y, std::mt19937& rng) {
  std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
  std::vector<float> lattice(size_t(cells_x) * cells_y);
  for (float& v : lattice) v = uniform(rng);
  std::vector<float> out(size_t(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    const float fy = float(y) * cells_y / kHeight;
    const int y0 = int(fy) % cells_y, y1 = (y0 + 1) % cells_y;
    const float ty = fy - std::floor(fy), sy = ty * ty * (3 - 2 * ty);
    for (int x = 0; x < kWidth; ++x) {
      const float fx = float(x) * cells_x / kWidth;
      const int x0 = int(fx) % cells_x, x1 = (x0 + 1) % cells_x;
      const float tx = fx - std::floor(fx), sx = tx * tx * (3 - 2 * tx);
      const float a = lattice[y0 * cells_x + x0], b = lattice[y0 * cells_x + x1];
      const float c = lattice[y1 * cells_x + x0], d = lattice[y1 * cells_x + x1];
      out[size_t(y) * kWidth + x] = (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png [seed]\n", argv[0]);
    return 2;
  }
  const unsigned seed = argc > 2 ? unsigned(std::stoul(argv[2])) : 1977u;
  std::mt19937 rng(seed);

  // Broad patches, medium grain, then per-pixel grit: the look of concrete or coarse paper.
  const auto patches = WrappingNoise(4, 4, rng);
  const auto grain = WrappingNoise(45, 44, rng);
  const auto fine = WrappingNoise(178, 177, rng);
  std::normal_distribution<float> grit(0.0f, 9.0f);
  std::uniform_real_distribution<float> speck(0.0f, 1.0f);

  QImage image(kWidth, kHeight, QImage::Format_RGB888);
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* row = image.scanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      const size_t i = size_t(y) * kWidth + x;
      float v = 150 + 14 * patches[i] + 12 * grain[i] + 10 * fine[i] + grit(rng);
      const float s = speck(rng);
      if (s < 0.01f) v -= 45;   // dark pores
      if (s > 0.995f) v += 35;  // bright crystals
      const int g = std::clamp(int(std::lround(v)), 0, 255);
      // A faint warm tint keeps it from looking flat while staying grey.
      row[x * 3 + 0] = std::uint8_t(std::clamp(g + 2, 0, 255));
      row[x * 3 + 1] = std::uint8_t(g);
      row[x * 3 + 2] = std::uint8_t(std::clamp(g - 3, 0, 255));
    }
  }
  if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
