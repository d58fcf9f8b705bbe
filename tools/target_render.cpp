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

namespace vistrel::synthetic {
namespace {

// Coverage of a shape over pixel (x, y) by 4 x 4 samples.
template <typename Inside>
double ShapeCoverage(const Inside& inside, int x, int y) {
  int n = 0;
  for (int j = 0; j < 4; ++j) {
    for (int i = 0; i < 4; ++i) n += inside(x - 0.375 + 0.25 * i, y - 0.375 + 0.25 * j) ? 1 : 0;
  }
  return n / 16.0;
}

// Paints `level` where the shape covers, within the box.
template <typename Inside>
void Paint(std::vector<double>& v, int w, int h, int x0, int y0, int x1, int y1, double level,
           const Inside& inside) {
  for (int y = std::max(y0, 0); y <= std::min(y1, h - 1); ++y) {
    for (int x = std::max(x0, 0); x <= std::min(x1, w - 1); ++x) {
      const double c = ShapeCoverage(inside, x, y);
      if (c > 0) v[y * w + x] = (1 - c) * v[y * w + x] + c * level;
    }
  }
}

double Cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

}  // namespace

FieldPicture RenderTargetField(const FieldDrawing& drawing) {
  const int w = drawing.width, h = drawing.height;
  std::mt19937 random(drawing.seed);
  const auto uniform = [&random](double a, double b) {
    return a + (b - a) * (random() / 4294967296.0);
  };
  // Ground: a gentle shading and a low-contrast texture of overlapping soft blotches.
  std::vector<double> v(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) v[y * w + x] = 100 + 40.0 * x / w + 20.0 * y / h;
  }
  // Clutter, drawn first: the cards of the targets lie on it.
  for (int k = 0; k < drawing.clutter; ++k) {
    const double cx = uniform(0, w), cy = uniform(0, h), size = uniform(8, 60);
    const double level = uniform(0, 1) < 0.5 ? uniform(20, 70) : uniform(170, 240);
    const double a = uniform(0, 2 * M_PI);
    const int box0x = static_cast<int>(cx - size) - 1, box1x = static_cast<int>(cx + size) + 1;
    const int box0y = static_cast<int>(cy - size) - 1, box1y = static_cast<int>(cy + size) + 1;
    const double ca = std::cos(a), sa = std::sin(a);
    switch (drawing.clutter_kind >= 0 ? drawing.clutter_kind : k % 4) {
      case 0: {  // a scalene triangle
        const double px[3] = {cx + size * ca, cx - 0.3 * size * sa, cx - 0.8 * size * ca};
        const double py[3] = {cy + size * sa, cy + 0.3 * size * ca,
                              cy + 0.5 * size * sa - 0.4 * size};
        Paint(v, w, h, box0x, box0y, box1x, box1y, level, [&](double x, double y) {
          const double d0 = Cross(px[1] - px[0], py[1] - py[0], x - px[0], y - py[0]);
          const double d1 = Cross(px[2] - px[1], py[2] - py[1], x - px[1], y - py[1]);
          const double d2 = Cross(px[0] - px[2], py[0] - py[2], x - px[2], y - py[2]);
          return (d0 >= 0 && d1 >= 0 && d2 >= 0) || (d0 <= 0 && d1 <= 0 && d2 <= 0);
        });
        break;
      }
      case 1: {  // an L of two bars
        const double t = std::max(2.0, size / 5);
        Paint(v, w, h, box0x, box0y, box1x, box1y, level, [&](double x, double y) {
          const double u = (x - cx) * ca + (y - cy) * sa, q = -(x - cx) * sa + (y - cy) * ca;
          return (u >= 0 && u <= size && q >= 0 && q <= t) ||
                 (q >= 0 && q <= 0.6 * size && u >= 0 && u <= t);
        });
        break;
      }
      case 2: {  // a half disc
        Paint(v, w, h, box0x, box0y, box1x, box1y, level, [&](double x, double y) {
          const double u = (x - cx) * ca + (y - cy) * sa, q = -(x - cx) * sa + (y - cy) * ca;
          return u * u + q * q <= size * size && q >= 0;
        });
        break;
      }
      default: {  // a wedge of 40 degrees
        Paint(v, w, h, box0x, box0y, box1x, box1y, level, [&](double x, double y) {
          const double u = (x - cx) * ca + (y - cy) * sa, q = -(x - cx) * sa + (y - cy) * ca;
          return u > 0 && u * u + q * q <= size * size && std::abs(q) <= u * std::tan(0.35);
        });
        break;
      }
    }
  }
  // Targets: the given ones, or random ones apart from each other.
  FieldPicture field;
  field.targets = drawing.placed;
  const auto card = [](const FieldTarget& t) { return t.radius + std::max(3.0, 0.4 * t.radius); };
  if (field.targets.empty()) {
    const double lr0 = std::log(drawing.min_radius), lr1 = std::log(drawing.max_radius);
    for (int tries = 0; static_cast<int>(field.targets.size()) < drawing.targets && tries < 100000;
         ++tries) {
      FieldTarget t;
      const double kind = uniform(0, 1);
      t.kind = kind < 0.5    ? FieldTargetKind::kDisc
               : kind < 0.75 ? FieldTargetKind::kRing
                             : FieldTargetKind::kCorner;
      t.radius = std::exp(uniform(lr0, lr1));
      if (t.kind == FieldTargetKind::kRing) t.radius = std::max(t.radius, 4.0);
      if (t.kind == FieldTargetKind::kCorner) t.radius = std::max(t.radius, 6.0);
      t.tilt_deg =
          t.kind == FieldTargetKind::kCorner ? uniform(0, 20) : uniform(0, drawing.max_tilt_deg);
      t.orientation_deg = uniform(0, 180);
      t.dark_on_light = uniform(0, 1) < 0.5;
      const double margin = card(t) + 70;
      t.cx = uniform(margin, w - margin);
      t.cy = uniform(margin, h - margin);
      bool apart = true;
      for (const FieldTarget& o : field.targets) {
        apart = apart && std::hypot(o.cx - t.cx, o.cy - t.cy) > card(o) + card(t) + 20;
      }
      if (apart) field.targets.push_back(t);
    }
  }
  for (const FieldTarget& t : field.targets) {
    const double half = card(t);
    const int x0 = static_cast<int>(std::floor(t.cx - half)),
              y0 = static_cast<int>(std::floor(t.cy - half));
    const int side = static_cast<int>(std::ceil(2 * half)) + 2;
    TargetDrawing d;
    d.width = d.height = side;
    d.cx = t.cx - x0;
    d.cy = t.cy - y0;
    d.radius = t.radius;
    d.tilt_deg = t.tilt_deg;
    d.orientation_deg = t.orientation_deg;
    d.dark_on_light = t.dark_on_light;
    d.shape = t.kind == FieldTargetKind::kCorner ? TargetShape::kCorner : TargetShape::kDisc;
    TargetPicture tile = RenderTarget(d);
    if (t.kind == FieldTargetKind::kRing) {
      // The disc less a smaller disc: a ring a third of the radius wide.
      d.radius = t.radius * 2 / 3;
      const TargetPicture hole = RenderTarget(d);
      for (std::size_t k = 0; k < tile.grey.size(); ++k) {
        const double ring = tile.grey[k] - hole.grey[k] + (t.dark_on_light ? d.light : d.dark);
        tile.grey[k] = static_cast<std::uint8_t>(std::clamp(std::lround(ring), 0L, 255L));
      }
    }
    // The card: the tile within `half` of the centre (a square, point-symmetric about it).
    for (int j = 0; j < side; ++j) {
      for (int i = 0; i < side; ++i) {
        const int x = x0 + i, y = y0 + j;
        if (x < 0 || y < 0 || x >= w || y >= h) continue;
        const double c = ShapeCoverage(
            [&](double px, double py) {
              return std::abs(px - t.cx) <= half && std::abs(py - t.cy) <= half;
            },
            x, y);
        v[y * w + x] = (1 - c) * v[y * w + x] + c * tile.grey[j * side + i];
      }
    }
  }
  if (drawing.blur > 0) v = Blur(v, w, h, drawing.blur);
  Normal normal(drawing.seed + 1);
  field.picture.width = w;
  field.picture.height = h;
  field.picture.grey.resize(v.size());
  for (std::size_t k = 0; k < v.size(); ++k) {
    const double g = v[k] + (drawing.noise > 0 ? drawing.noise * normal() : 0);
    field.picture.grey[k] = static_cast<std::uint8_t>(std::clamp(std::lround(g), 0L, 255L));
  }
  return field;
}

}  // namespace vistrel::synthetic
