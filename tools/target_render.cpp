#include "tools/target_render.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace vistrel::synthetic {
namespace {

constexpr int kSamples = 16;       // per pixel side
constexpr int kCoarseSamples = 5;  // a first look: an edge crosses the pixel or not

// 1 where the pattern is light, 0 where dark, at the point (u, v) relative to the centre.
double Pattern(const TargetDrawing& s, double u, double v) {
  const double o = s.orientation_deg * M_PI / 180;
  const double along = u * std::cos(o) + v * std::sin(o);
  const double across = -u * std::sin(o) + v * std::cos(o);
  if (s.shape == TargetShape::kDisc) {
    const double minor = s.radius * std::cos(s.tilt_deg * M_PI / 180);
    const double q = (along / s.radius) * (along / s.radius) + (across / minor) * (across / minor);
    return (q < 1) != s.dark_on_light ? 1 : 0;
  }
  // Corner: the first edge along the orientation, the second turned by 90 degrees + tilt.
  const double second = o + (90 + s.tilt_deg) * M_PI / 180;
  const double side2 = u * std::sin(second) - v * std::cos(second);
  return ((across > 0) == (side2 > 0)) != s.dark_on_light ? 1 : 0;
}

// Mean of the pattern over the pixel square centred at (u, v), n x n samples.
double Coverage(const TargetDrawing& s, double u, double v, int n) {
  double sum = 0;
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) sum += Pattern(s, u - 0.5 + (i + 0.5) / n, v - 0.5 + (j + 0.5) / n);
  }
  return sum / (n * n);
}

// Normal deviates by Box-Muller from the 32-bit Mersenne Twister: the same numbers with every
// standard library.
class Normal {
 public:
  explicit Normal(std::uint32_t seed) : engine_(seed) {}
  double operator()() {
    const double u1 = (engine_() + 1.0) / 4294967297.0, u2 = engine_() / 4294967296.0;
    return std::sqrt(-2 * std::log(u1)) * std::cos(2 * M_PI * u2);
  }

 private:
  std::mt19937 engine_;
};

std::vector<double> Blur(const std::vector<double>& v, int w, int h, double sigma) {
  const int reach = static_cast<int>(std::ceil(4 * sigma));
  std::vector<double> k(2 * reach + 1);
  double total = 0;
  for (int t = -reach; t <= reach; ++t)
    total += k[t + reach] = std::exp(-t * t / (2 * sigma * sigma));
  for (double& x : k) x /= total;
  // Edges repeat the border pixel.
  const auto clampi = [](int a, int n) { return std::clamp(a, 0, n - 1); };
  std::vector<double> a(v.size()), b(v.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double s = 0;
      for (int t = -reach; t <= reach; ++t) s += k[t + reach] * v[y * w + clampi(x + t, w)];
      a[y * w + x] = s;
    }
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double s = 0;
      for (int t = -reach; t <= reach; ++t) s += k[t + reach] * a[clampi(y + t, h) * w + x];
      b[y * w + x] = s;
    }
  }
  return b;
}

}  // namespace

TargetPicture RenderTarget(const TargetDrawing& drawing) {
  const int w = drawing.width, h = drawing.height;
  std::vector<double> light(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      light[y * w + x] = Coverage(drawing, x - drawing.cx, y - drawing.cy, kCoarseSamples);
      // Only a pixel crossed by an edge needs the fine samples.
      const double c = light[y * w + x];
      if (c > 0 && c < 1)
        light[y * w + x] = Coverage(drawing, x - drawing.cx, y - drawing.cy, kSamples);
    }
  }
  if (drawing.blur > 0) light = Blur(light, w, h, drawing.blur);
  TargetPicture p;
  p.width = w;
  p.height = h;
  p.grey.resize(light.size());
  Normal normal(drawing.seed);
  const double contrast = drawing.light - drawing.dark;
  for (std::size_t k = 0; k < light.size(); ++k) {
    double g = drawing.dark + contrast * light[k];
    if (drawing.noise > 0) g += drawing.noise * contrast * normal();
    p.grey[k] = static_cast<std::uint8_t>(std::clamp(std::lround(g), 0L, 255L));
  }
  return p;
}

}  // namespace vistrel::synthetic
