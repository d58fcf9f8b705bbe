#include "tools/stereo_generator.h"

#include <cmath>
#include <limits>
#include <random>
#include <sstream>

#include "photogrammetry/measurement.h"

namespace vistrel::synthetic {

namespace {

using Vec = std::array<double, 3>;

Vec Add(const Vec& a, const Vec& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Vec Sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec Scale(const Vec& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
Vec Cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec Unit(const Vec& a) { return Scale(a, 1.0 / std::sqrt(Dot(a, a))); }

constexpr double kRadToDeg = 180.0 / 3.14159265358979323846;

const char* AxesName(Axes a) {
  switch (a) {
    case Axes::kZUp:
      return "Z up";
    case Axes::kZDown:
      return "Z down";
    default:
      return "Y up";
  }
}

// True when the point projects inside the photograph with a margin, in front of the camera.
bool Visible(const InternalParameters& in, const ExternalParameters& ex, int W, int H, const Vec& p,
             double margin) {
  const Rotation R = RotationMatrix(ex.Alpha, ex.Beta, ex.Gamma);
  const double zc = R[6] * (p[0] - ex.Tx) + R[7] * (p[1] - ex.Ty) + R[8] * (p[2] - ex.Tz);
  if (zc < 100.0) return false;
  const ImagePoint q = ProjectToImage(in, ex, p[0], p[1], p[2]);
  return q.x > margin && q.x < W - margin && q.y > margin && q.y < H - margin;
}

}  // namespace

ExternalParameters LookAt(const Vec& centre, const Vec& target, const Vec& up) {
  return LookAt(centre, target, up, 0.0);
}

ExternalParameters LookAt(const Vec& centre, const Vec& target, const Vec& up, double roll_deg) {
  const Vec z = Unit(Sub(target, centre));  // optical axis
  Vec x = Unit(Cross(z, up));               // image columns grow to the right
  Vec y = Cross(z, x);                      // image rows grow downward
  if (roll_deg != 0.0) {
    const double c = std::cos(roll_deg / kRadToDeg), s = std::sin(roll_deg / kRadToDeg);
    const Vec xr = Add(Scale(x, c), Scale(y, s));
    y = Add(Scale(x, -s), Scale(y, c));
    x = xr;
  }
  // R = Rz(gamma) Ry(beta) Rx(alpha) has rows x, y, z.
  ExternalParameters e;
  e.Beta = std::asin(-z[0]) * kRadToDeg;
  e.Alpha = std::atan2(z[1], z[2]) * kRadToDeg;
  e.Gamma = std::atan2(y[0], x[0]) * kRadToDeg;
  e.Tx = centre[0];
  e.Ty = centre[1];
  e.Tz = centre[2];
  return e;
}

StereoCase MakeStereoCase(std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  auto uniform = [&rng](double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(rng);
  };
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  static const int kSizes[][2] = {{1600, 1200}, {2400, 1600}, {3000, 2000},
                                  {4000, 3000}, {5000, 3333}, {6000, 4000}};
  static const double kNoise[] = {0.0, 0.5, 1.0};

  for (;;) {  // draw until every point is seen by both cameras
    StereoCase c;
    c.seed = seed;
    const int* size = kSizes[pick(6)];
    c.W = size[0];
    c.H = size[1];
    c.axes = static_cast<Axes>(pick(3));
    c.convergent = pick(2) == 1;
    c.noise = kNoise[pick(3)];
    c.distance = uniform(2500.0, 4000.0);
    c.baseline = uniform(0.15, 0.5) * c.distance;
    if (c.convergent) c.convergence = 2 * std::atan(c.baseline / 2 / c.distance) * kRadToDeg;

    InternalParameters& in = c.truth.internal;
    in.f = c.W * uniform(0.75, 1.1);
    in.u0 = c.W * (0.5 + uniform(-0.03, 0.03));
    in.v0 = c.H * (0.5 + uniform(-0.03, 0.03));
    if (pick(2) == 1) {
      c.corner_distortion = uniform(0.0, 20.0);
      const double corner = std::hypot(c.W / 2.0, c.H / 2.0);
      in.a1 = (pick(2) == 1 ? 1 : -1) * c.corner_distortion / (corner * corner * corner);
    }

    // The object frame: `up`, a horizontal viewing direction of random azimuth, its right.
    Vec up, ahead;
    const double azimuth = uniform(0.0, 2 * 3.14159265358979323846);
    switch (c.axes) {
      case Axes::kZUp:
        up = {0, 0, 1};
        ahead = {std::cos(azimuth), std::sin(azimuth), 0};
        break;
      case Axes::kZDown:
        up = {0, 0, -1};
        ahead = {std::cos(azimuth), std::sin(azimuth), 0};
        break;
      default:
        up = {0, 1, 0};
        ahead = {std::cos(azimuth), 0, std::sin(azimuth)};
        break;
    }
    const Vec right = Cross(ahead, up);
    const Vec origin = {uniform(-2000, 2000), uniform(-2000, 2000), uniform(-500, 500)};
    // Object point at (u right, v up, w toward the cameras) in millimetres.
    auto object = [&](double u, double v, double w) {
      return Add(origin, Add(Scale(right, u), Add(Scale(up, v), Scale(ahead, -w))));
    };

    // Nine well-spread control points: four near the back corners, four nearer the cameras
    // and one in the middle, each jittered.
    const double back[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    std::vector<Vec> control;
    for (const auto& b : back)
      control.push_back(
          object(b[0] * 450 + uniform(-60, 60), b[1] * 350 + uniform(-60, 60), uniform(0, 60)));
    for (const auto& b : back)
      control.push_back(
          object(b[0] * 250 + uniform(-80, 80), b[1] * 200 + uniform(-80, 80), uniform(250, 500)));
    control.push_back(object(uniform(-80, 80), uniform(-80, 80), uniform(100, 300)));
    for (int k = 0; k < 30; ++k)
      c.checks.push_back(object(uniform(-450, 450), uniform(-350, 350), uniform(0, 500)));

    // Cameras: elevation up to 20 degrees either way, centred on the object's middle.
    const double elevation = uniform(-20.0, 20.0) / kRadToDeg;
    const Vec middle = object(0, 0, 250);
    const Vec toward = Add(Scale(ahead, -std::cos(elevation)), Scale(up, std::sin(elevation)));
    const Vec eye = Add(middle, Scale(toward, c.distance));
    const Vec side = Unit(Cross(up, toward));
    const Vec left_centre = Add(eye, Scale(side, -c.baseline / 2));
    const Vec right_centre = Add(eye, Scale(side, c.baseline / 2));
    if (c.convergent) {
      c.truth.left = LookAt(left_centre, middle, up);
      c.truth.right = LookAt(right_centre, middle, up);
    } else {
      c.truth.left = LookAt(left_centre, Sub(left_centre, toward), up);
      c.truth.right = LookAt(right_centre, Sub(right_centre, toward), up);
    }

    const double margin = 0.02 * c.W;
    bool seen = true;
    for (const auto* set : {&control, &c.checks})
      for (const Vec& p : *set)
        seen = seen && Visible(in, c.truth.left, c.W, c.H, p, margin) &&
               Visible(in, c.truth.right, c.W, c.H, p, margin);
    if (!seen) continue;

    std::normal_distribution<double> noise(0.0, c.noise > 0 ? c.noise : 1.0);
    auto click = [&](long double v) {
      const double n = c.noise > 0 ? noise(rng) : 0.0;
      return static_cast<std::int32_t>(std::lround(static_cast<double>(v) + n));
    };
    c.table.Reset();
    for (int i = 1; i <= 9; ++i) {
      const Vec& p = control[i - 1];
      const ImagePoint l = ProjectToImage(in, c.truth.left, p[0], p[1], p[2]);
      const ImagePoint r = ProjectToImage(in, c.truth.right, p[0], p[1], p[2]);
      // One declaration per value keeps the order the noise is drawn in.
      const double xg = click(l.x);
      const double yg = click(l.y);
      const double xd = click(r.x);
      const double yd = click(r.y);
      c.table.SetLeft(i, xg, yg);
      c.table.SetRight(i, xd, yd);
      c.table.SetSpace(i, p[0], p[1], p[2]);
    }
    for (const Vec& p : c.checks) {
      const ImagePoint l = ProjectToImage(in, c.truth.left, p[0], p[1], p[2]);
      const ImagePoint r = ProjectToImage(in, c.truth.right, p[0], p[1], p[2]);
      c.clicks.push_back({click(l.x), click(l.y), click(r.x), click(r.y)});
    }
    return c;
  }
}

const char* GeometryName(Geometry g) {
  switch (g) {
    case Geometry::kOrdinary:
      return "ordinary";
    case Geometry::kLongLens:
      return "long lens";
    case Geometry::kSteep:
      return "steep";
    case Geometry::kLookingDown:
      return "looking down";
    case Geometry::kAnyRoll:
      return "any roll";
    default:
      return "nearly coplanar";
  }
}

StereoCase MakeStereoCase(Geometry geometry, std::uint64_t seed) {
  if (geometry == Geometry::kOrdinary) return MakeStereoCase(seed);
  // A stream of its own per geometry, so that the pairs of one do not repeat another's draws.
  std::mt19937_64 rng(seed * 8 + static_cast<std::uint64_t>(geometry));
  auto uniform = [&rng](double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(rng);
  };
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };

  for (;;) {
    StereoCase c;
    c.seed = seed;
    c.geometry = geometry;
    c.W = 4000;
    c.H = 3000;
    c.axes = static_cast<Axes>(pick(3));
    c.convergent = true;
    c.noise = 0.5;
    const bool long_lens = geometry == Geometry::kLongLens;
    c.distance = long_lens ? uniform(6000.0, 10000.0) : uniform(2500.0, 4000.0);
    double convergence;  // degrees between the optical axes
    if (geometry == Geometry::kSteep) {
      convergence = uniform(40.0, 70.0);
      c.baseline = 2 * c.distance * std::sin(convergence / 2 / kRadToDeg);
    } else {
      c.baseline = (long_lens ? uniform(0.15, 0.3) : uniform(0.15, 0.5)) * c.distance;
      convergence = 2 * std::atan(c.baseline / 2 / c.distance) * kRadToDeg;
    }
    c.convergence = convergence;

    InternalParameters& in = c.truth.internal;
    in.f = long_lens ? uniform(9000.0, 12000.0) : c.W * uniform(0.75, 1.1);
    in.u0 = c.W * (0.5 + uniform(-0.03, 0.03));
    in.v0 = c.H * (0.5 + uniform(-0.03, 0.03));
    if (pick(2) == 1) {
      c.corner_distortion = uniform(0.0, 20.0);
      const double corner = std::hypot(c.W / 2.0, c.H / 2.0);
      in.a1 = (pick(2) == 1 ? 1 : -1) * c.corner_distortion / (corner * corner * corner);
    }

    Vec up, ahead;
    const double azimuth = uniform(0.0, 2 * 3.14159265358979323846);
    switch (c.axes) {
      case Axes::kZUp:
        up = {0, 0, 1};
        ahead = {std::cos(azimuth), std::sin(azimuth), 0};
        break;
      case Axes::kZDown:
        up = {0, 0, -1};
        ahead = {std::cos(azimuth), std::sin(azimuth), 0};
        break;
      default:
        up = {0, 1, 0};
        ahead = {std::cos(azimuth), 0, std::sin(azimuth)};
        break;
    }
    const Vec right = Cross(ahead, up);
    const Vec origin = {uniform(-2000, 2000), uniform(-2000, 2000), uniform(-500, 500)};
    // Object point at (u right, v up, w toward the cameras). Looking down, the object lies on
    // the ground: its depth runs along `up`.
    const bool down = geometry == Geometry::kLookingDown;
    const Vec depth_axis = down ? up : Scale(ahead, -1.0);
    const Vec v_axis = down ? ahead : up;
    auto object = [&](double u, double v, double w) {
      return Add(origin, Add(Scale(right, u), Add(Scale(v_axis, v), Scale(depth_axis, w))));
    };
    const double depth = geometry == Geometry::kNearlyCoplanar ? 0.12 * 1000.0 : 500.0;
    auto w_of = [&](double lo, double hi) { return uniform(lo, hi) * depth / 500.0; };

    const double back[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    std::vector<Vec> control;
    for (const auto& b : back)
      control.push_back(
          object(b[0] * 450 + uniform(-60, 60), b[1] * 350 + uniform(-60, 60), w_of(0, 60)));
    for (const auto& b : back)
      control.push_back(
          object(b[0] * 250 + uniform(-80, 80), b[1] * 200 + uniform(-80, 80), w_of(250, 500)));
    control.push_back(object(uniform(-80, 80), uniform(-80, 80), w_of(100, 300)));
    for (int k = 0; k < 30; ++k)
      c.checks.push_back(object(uniform(-450, 450), uniform(-350, 350), w_of(0, 500)));

    // The direction from the object toward the cameras: above the horizon by the elevation.
    const double elevation = (down ? uniform(60.0, 85.0) : uniform(-20.0, 20.0)) / kRadToDeg;
    const Vec middle = object(0, 0, depth / 2);
    const Vec toward = Add(Scale(ahead, -std::cos(elevation)), Scale(up, std::sin(elevation)));
    const Vec eye = Add(middle, Scale(toward, c.distance));
    const Vec side = Unit(Cross(up, toward));
    const Vec left_centre = Add(eye, Scale(side, -c.baseline / 2));
    const Vec right_centre = Add(eye, Scale(side, c.baseline / 2));
    const bool rolled = down || geometry == Geometry::kAnyRoll;
    const double left_roll = rolled ? uniform(0.0, 360.0) : 0.0;
    const double right_roll = rolled ? uniform(0.0, 360.0) : 0.0;
    c.truth.left = LookAt(left_centre, middle, up, left_roll);
    c.truth.right = LookAt(right_centre, middle, up, right_roll);

    const double margin = 0.02 * c.W;
    bool seen = true;
    for (const auto* set : {&control, &c.checks})
      for (const Vec& p : *set)
        seen = seen && Visible(in, c.truth.left, c.W, c.H, p, margin) &&
               Visible(in, c.truth.right, c.W, c.H, p, margin);
    if (!seen) continue;

    std::normal_distribution<double> noise(0.0, c.noise);
    auto click = [&](long double v) {
      return static_cast<std::int32_t>(std::lround(static_cast<double>(v) + noise(rng)));
    };
    c.table.Reset();
    for (int i = 1; i <= 9; ++i) {
      const Vec& p = control[i - 1];
      const ImagePoint l = ProjectToImage(in, c.truth.left, p[0], p[1], p[2]);
      const ImagePoint r = ProjectToImage(in, c.truth.right, p[0], p[1], p[2]);
      // One declaration per value keeps the order the noise is drawn in.
      const double xg = click(l.x);
      const double yg = click(l.y);
      const double xd = click(r.x);
      const double yd = click(r.y);
      c.table.SetLeft(i, xg, yg);
      c.table.SetRight(i, xd, yd);
      c.table.SetSpace(i, p[0], p[1], p[2]);
    }
    for (const Vec& p : c.checks) {
      const ImagePoint l = ProjectToImage(in, c.truth.left, p[0], p[1], p[2]);
      const ImagePoint r = ProjectToImage(in, c.truth.right, p[0], p[1], p[2]);
      c.clicks.push_back({click(l.x), click(l.y), click(r.x), click(r.y)});
    }
    return c;
  }
}

double HeldOutRms(const StereoCase& c, const TCameraParameters& camera) {
  PointTable table = c.table;
  double sum = 0;
  for (std::size_t k = 0; k < c.checks.size(); ++k) {
    table.SetLeft(0, c.clicks[k][0], c.clicks[k][1]);
    table.SetRight(0, c.clicks[k][2], c.clicks[k][3]);
    int counter = 0;
    try {
      const MeasuredPoint m = MeasureObjectPoint(table, camera, counter);
      const double dx = static_cast<double>(m.X) - c.checks[k][0];
      const double dy = static_cast<double>(m.Y) - c.checks[k][1];
      const double dz = static_cast<double>(m.Z) - c.checks[k][2];
      sum += dx * dx + dy * dy + dz * dz;
    } catch (const std::exception&) {
      return std::numeric_limits<double>::infinity();
    }
  }
  return std::sqrt(sum / static_cast<double>(c.checks.size()));
}

std::string StereoCase::Describe() const {
  std::ostringstream s;
  s << GeometryName(geometry) << " seed " << seed << ": f " << truth.internal.f << ", " << W << "x"
    << H << ", " << AxesName(axes) << ", " << (convergent ? "convergent" : "parallel")
    << ", distance " << distance << " mm, baseline " << baseline / distance
    << " x distance, convergence " << convergence << " deg, noise " << noise << " px, distortion "
    << corner_distortion << " px";
  return s.str();
}

}  // namespace vistrel::synthetic
