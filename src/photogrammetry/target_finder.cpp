#include "photogrammetry/target_finder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace vistrel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The picture around the start point, and what is derived from it. Region pixel (0, 0) is
// picture pixel (origin_x, origin_y); a missing pixel (off the picture) is NaN.
struct Raster {
  int side = 0;
  std::vector<double> v;
  double at(int i, int j) const {
    return i < 0 || j < 0 || i >= side || j >= side ? kNaN : v[j * side + i];
  }
};

// Half the side of the region read: the search, the largest window, the reflected samples'
// cubic neighbourhood and the smoothing kernel's reach.
constexpr int kRegionHalf = kTargetSearch + kTargetMaxWindow + 8;

// Detection levels: the picture, then two halvings (targets up to 4 x kTargetPatch across).
constexpr int kLevels = 3;

// Smoothing of the first refinement stage: widens the basin of the Gauss-Newton steps to a few
// pixels, so that a start a level's half pixel off (2 px on the second halving) converges.
constexpr double kBasinSmoothing = 1.5;
// The final stage works on the picture smoothed this much. Interpolating raw pixel noise between
// pixels averages it, more at half a pixel than at a whole one, so on the raw picture the
// objective would favour centres where it averages most; smoothed noise interpolates almost
// exactly. Smoothing keeps the pattern point-symmetric, and so the centre where it was. Detection
// works on it too: a sharp target one pixel thin, centred off the half-pixel grid, would
// otherwise look asymmetric at every candidate.
constexpr double kFitSmoothing = 1.0;

// Gauss-Newton: at most this many evaluations per stage; it stops when a step is below
// kStepTolerance pixels. A step that raises the objective is halved, at most kHalvings times.
constexpr int kMaxEvaluations = 30;
constexpr double kStepTolerance = 1e-4;
constexpr int kHalvings = 6;

// The window's weight falls from 1 to 0 over this many pixels around its radius, so that the
// objective stays smooth as the centre moves pixels in and out of it.
constexpr double kTaper = 2.0;

// Whole grey levels carry at least the rounding's noise, variance 1/12: a target centred exactly
// on the pixel grid, perfectly symmetric, is still not known to better than that.
constexpr double kQuantisationVariance = 1.0 / 12;

// A chosen window is the smallest whose predicted variance is within this factor of the best.
constexpr double kWindowTolerance = 1.2;
constexpr int kMinWindow = 4;

Raster Halve(const Raster& r) {
  Raster h;
  h.side = r.side / 2;
  h.v.resize(static_cast<std::size_t>(h.side) * h.side);
  for (int j = 0; j < h.side; ++j) {
    for (int i = 0; i < h.side; ++i) {
      h.v[j * h.side + i] = (r.at(2 * i, 2 * j) + r.at(2 * i + 1, 2 * j) + r.at(2 * i, 2 * j + 1) +
                             r.at(2 * i + 1, 2 * j + 1)) /
                            4;
    }
  }
  return h;
}

// Normalised Gaussian weights at offsets -reach .. reach, reach = ceil(3 sigma).
std::vector<double> GaussianKernel(double sigma) {
  const int reach = static_cast<int>(std::ceil(3 * sigma));
  std::vector<double> kernel(2 * reach + 1);
  double total = 0;
  for (int t = -reach; t <= reach; ++t) {
    total += kernel[t + reach] = std::exp(-t * t / (2 * sigma * sigma));
  }
  for (double& k : kernel) k /= total;
  return kernel;
}

// Separable smoothing; a pixel near a missing one, or within the kernel's reach of the raster's
// edge, becomes missing.
Raster Smooth(const Raster& r, const std::vector<double>& kernel) {
  const int reach = static_cast<int>(kernel.size() / 2);
  const int n = r.side;
  Raster a, b;
  a.side = b.side = n;
  a.v.assign(r.v.size(), kNaN);
  b.v.assign(r.v.size(), kNaN);
  for (int j = 0; j < n; ++j) {
    for (int i = reach; i < n - reach; ++i) {
      const double* p = &r.v[j * n + i - reach];
      double s = 0;
      for (std::size_t t = 0; t < kernel.size(); ++t) s += kernel[t] * p[t];
      a.v[j * n + i] = s;
    }
  }
  for (int j = reach; j < n - reach; ++j) {
    for (int i = 0; i < n; ++i) {
      const double* p = &a.v[(j - reach) * n + i];
      double s = 0;
      for (std::size_t t = 0; t < kernel.size(); ++t) s += kernel[t] * p[t * n];
      b.v[j * n + i] = s;
    }
  }
  return b;
}

struct Detection {
  double asymmetry = std::numeric_limits<double>::infinity();
  double x = 0, y = 0;  // region coordinates
  int level = 0;
};

struct Score {
  double asymmetry = std::numeric_limits<double>::infinity();  // normalised, for acceptance
  double raw = 0;                                              // for the parabola
  double contrast = 0;
};

// The patch as pairs of opposite half-pixel offsets (dx, dy) and (-dx, -dy) from a candidate,
// one of each pair, by the parity of the candidate's half-pixel coordinates (an offset has the
// parity of its candidate, so that it lands on a pixel).
struct PatchOffsets {
  std::array<std::vector<std::pair<int, int>>, 4> by_parity;
  PatchOffsets() {
    constexpr int kR2 = 4 * kTargetPatch * kTargetPatch;
    for (int parity = 0; parity < 4; ++parity) {
      for (int dy = -2 * kTargetPatch; dy <= 2 * kTargetPatch; ++dy) {
        for (int dx = -2 * kTargetPatch; dx <= 2 * kTargetPatch; ++dx) {
          if (((dx & 1) != (parity & 1)) || ((dy & 1) != (parity >> 1))) continue;
          if (dx * dx + dy * dy > kR2 || dy < 0 || (dy == 0 && dx <= 0)) continue;
          by_parity[parity].emplace_back(dx, dy);
        }
      }
    }
  }
};

// Symmetry about the level position (a / 2, b / 2): pixel p is paired with pixel (a, b) - p.
// Candidates on a half-pixel grid: a target centred between pixels is as symmetric as one
// centred on a pixel, and thin lines half a pixel off would look badly asymmetric otherwise.
Score ScoreAt(const Raster& g, int a, int b) {
  static const PatchOffsets patch;
  Score s;
  // The patch must lie on the raster (it always does from the search square).
  const auto inside = [&](int h) {
    return h - 2 * kTargetPatch >= 0 && h + 2 * kTargetPatch < 2 * g.side - 1;
  };
  if (!inside(a) || !inside(b)) return s;
  double diff = 0, sum = 0, sum2 = 0;
  int pairs = 0, missing = 0;
  for (const auto& [dx, dy] : patch.by_parity[(a & 1) | ((b & 1) << 1)]) {
    const double p = g.v[((b + dy) / 2) * g.side + (a + dx) / 2];
    const double q = g.v[((b - dy) / 2) * g.side + (a - dx) / 2];
    if (std::isnan(p) || std::isnan(q)) {
      ++missing;
      continue;
    }
    diff += (p - q) * (p - q);
    sum += p + q;
    sum2 += p * p + q * q;
    ++pairs;
  }
  if (pairs <= missing) return s;  // mostly off the picture
  const double n = 2.0 * pairs;
  const double variance = std::max(sum2 / n - (sum / n) * (sum / n), 1e-9);
  s.raw = diff / pairs;
  s.asymmetry = s.raw / (2 * variance);
  s.contrast = std::sqrt(variance);
  return s;
}

// Vertex of the parabola through (-1, a), (0, b), (1, c), kept within half a step.
double Vertex(double a, double b, double c) {
  const double curvature = a - 2 * b + c;
  if (!(curvature > 0)) return 0;
  return std::clamp((a - c) / (2 * curvature), -0.5, 0.5);
}

// The most symmetric point of one level within the search square around the start (qx, qy),
// region coordinates; a level pixel u sits at region coordinate scale * u + (scale - 1) / 2.
Detection Detect(const Raster& g, int level, double qx, double qy) {
  const double scale = 1 << level;
  const double offset = (scale - 1) / 2;
  // Half-pixel grid indices a with region position scale * a / 2 + offset within the square.
  const auto range = [&](double q, int& lo, int& hi) {
    lo = static_cast<int>(std::ceil(2 * (q - kTargetSearch - offset) / scale));
    hi = static_cast<int>(std::floor(2 * (q + kTargetSearch - offset) / scale));
  };
  int a0, a1, b0, b1;
  range(qx, a0, a1);
  range(qy, b0, b1);
  const int w = a1 - a0 + 3, h = b1 - b0 + 3;  // one more around, for the parabola
  std::vector<Score> scores(static_cast<std::size_t>(w) * h);
  std::vector<char> known(scores.size(), 0);
  // Scores are computed when first needed: the whole-pixel candidates, then a descent on the
  // half-pixel grid from the best of them.
  const auto at = [&](int a, int b) -> const Score& {
    const std::size_t k = (b - b0 + 1) * w + a - a0 + 1;
    if (!known[k]) {
      scores[k] = ScoreAt(g, a, b);
      known[k] = 1;
    }
    return scores[k];
  };
  int ba = a0, bb = b0;
  for (int b = b0 + (b0 & 1); b <= b1; b += 2) {
    for (int a = a0 + (a0 & 1); a <= a1; a += 2) {
      if (at(a, b).asymmetry < at(ba, bb).asymmetry) {
        ba = a;
        bb = b;
      }
    }
  }
  for (bool moved = true; moved;) {
    moved = false;
    const int ca = ba, cb = bb;
    for (int b = std::max(cb - 1, b0); b <= std::min(cb + 1, b1); ++b) {
      for (int a = std::max(ca - 1, a0); a <= std::min(ca + 1, a1); ++a) {
        if (at(a, b).asymmetry < at(ba, bb).asymmetry) {
          ba = a;
          bb = b;
          moved = true;
        }
      }
    }
  }
  Detection d;
  const Score& best = at(ba, bb);
  if (!(best.asymmetry < kTargetMaxAsymmetry) || best.contrast < kTargetMinContrast) return d;
  if (ba == a0 || ba == a1 || bb == b0 || bb == b1) return d;  // a target farther off
  const double va = ba + Vertex(at(ba - 1, bb).raw, best.raw, at(ba + 1, bb).raw);
  const double vb = bb + Vertex(at(ba, bb - 1).raw, best.raw, at(ba, bb + 1).raw);
  d.asymmetry = best.asymmetry;
  d.x = scale * va / 2 + offset;
  d.y = scale * vb / 2 + offset;
  d.level = level;
  return d;
}

// Cubic convolution (Keys, a = -1/2) weights of the four samples at offsets -1, 0, 1, 2 for a
// position t in [0, 1) past the second, and their derivatives with respect to t.
void CubicWeights(double t, std::array<double, 4>& w, std::array<double, 4>& dw) {
  const double t2 = t * t, t3 = t2 * t;
  w = {(-t3 + 2 * t2 - t) / 2, (3 * t3 - 5 * t2 + 2) / 2, (-3 * t3 + 4 * t2 + t) / 2,
       (t3 - t2) / 2};
  dw = {(-3 * t2 + 4 * t - 1) / 2, (9 * t2 - 10 * t) / 2, (-9 * t2 + 8 * t + 1) / 2,
        (3 * t2 - 2 * t) / 2};
}

double WindowWeight(double rho, double radius) {
  if (rho <= radius - kTaper) return 1;
  if (rho >= radius + kTaper) return 0;
  const double t = (radius + kTaper - rho) / (2 * kTaper);  // 1 inside, 0 outside
  return t * t * (3 - 2 * t);
}

int Mod(int a, int m) { return ((a % m) + m) % m; }

// Sums of one evaluation of the symmetry objective at centre c.
struct Sums {
  double objective = 0;     // sum w r^2
  double a[3] = {0, 0, 0};  // sum w J J' (xx, xy, yy)
  double g[2] = {0, 0};     // sum w J r
  double b[3] = {0, 0, 0};  // sum w^2 J J' r^2, for the standard error
  bool ok = false;
};

// One pixel's share, kept for the window choice and the standard error.
struct Sample {
  int i, j;
  double rho, w, jx, jy, r;
};

// r_k = I(k) - I(2c - k) for the pixels k of the window; J = dr/dc = -2 grad I(2c - k). Every
// reflected sample has the same fractional position, so the cubic weights are computed once.
// With step > 1 only every step-th pixel in each direction takes part (a smooth picture).
Sums Evaluate(const Raster& g, double cx, double cy, double radius, int step,
              std::vector<Sample>* samples) {
  Sums s;
  const double tx = 2 * cx, ty = 2 * cy;
  const int ix = static_cast<int>(std::floor(tx)), iy = static_cast<int>(std::floor(ty));
  std::array<double, 4> wx, dwx, wy, dwy;
  CubicWeights(tx - ix, wx, dwx);
  CubicWeights(ty - iy, wy, dwy);
  const double reach = radius + kTaper;
  const int j0 = static_cast<int>(std::ceil(cy - reach)),
            j1 = static_cast<int>(std::floor(cy + reach));
  const int i0 = static_cast<int>(std::ceil(cx - reach)),
            i1 = static_cast<int>(std::floor(cx + reach));
  double weight = 0;
  const double reach2 = reach * reach, inner = radius - kTaper;
  const double inner2 = inner > 0 ? inner * inner : 0;
  for (int j = j0 + Mod(-j0, step); j <= j1; j += step) {
    for (int i = i0 + Mod(-i0, step); i <= i1; i += step) {
      const double rho2 = (i - cx) * (i - cx) + (j - cy) * (j - cy);
      if (rho2 >= reach2) continue;
      const double rho = std::sqrt(rho2);
      const double w = rho2 <= inner2 ? 1 : WindowWeight(rho, radius);
      if (w <= 0) continue;
      const double p = g.at(i, j);
      if (std::isnan(p)) continue;
      // Reflected position (ix - i + tx', iy - j + ty'): samples from ix - i - 1 on.
      const int sx = ix - i - 1, sy = iy - j - 1;
      if (sx < 0 || sy < 0 || sx + 3 >= g.side || sy + 3 >= g.side) continue;
      double value = 0, gx = 0, gy = 0;
      bool missing = false;
      for (int n = 0; n < 4; ++n) {
        const double* row = &g.v[(sy + n) * g.side + sx];
        const double r0 = wx[0] * row[0] + wx[1] * row[1] + wx[2] * row[2] + wx[3] * row[3];
        const double r1 = dwx[0] * row[0] + dwx[1] * row[1] + dwx[2] * row[2] + dwx[3] * row[3];
        value += wy[n] * r0;
        gx += wy[n] * r1;
        gy += dwy[n] * r0;
      }
      if (std::isnan(value)) missing = true;
      if (missing) continue;
      const double r = p - value;
      const double jx = -2 * gx, jy = -2 * gy;
      s.objective += w * r * r;
      s.a[0] += w * jx * jx;
      s.a[1] += w * jx * jy;
      s.a[2] += w * jy * jy;
      s.g[0] += w * jx * r;
      s.g[1] += w * jy * r;
      const double w2r2 = w * w * r * r;
      s.b[0] += w2r2 * jx * jx;
      s.b[1] += w2r2 * jx * jy;
      s.b[2] += w2r2 * jy * jy;
      weight += w;
      if (samples) samples->push_back({i, j, rho, w, jx, jy, r});
    }
  }
  s.ok = weight > 0;
  return s;
}

// Variance of one coordinate, 2 A^-1 B A^-1 averaged over the axes: each pair of opposite pixels
// enters the sums twice. Infinite when A is singular.
double Variance(const double a[3], const double b[3]) {
  const double det = a[0] * a[2] - a[1] * a[1];
  if (!(det > 1e-12 * (a[0] * a[0] + a[2] * a[2])) || !(det > 0)) {
    return std::numeric_limits<double>::infinity();
  }
  // A^-1 = [a2 -a1; -a1 a0] / det.
  const double i00 = a[2] / det, i01 = -a[1] / det, i11 = a[0] / det;
  // (A^-1 B A^-1) diagonal.
  const double m00 = i00 * (b[0] * i00 + b[1] * i01) + i01 * (b[1] * i00 + b[2] * i01);
  const double m11 = i01 * (b[0] * i01 + b[1] * i11) + i11 * (b[1] * i01 + b[2] * i11);
  return (m00 + m11);  // 2 * (m00 + m11) / 2
}

struct Fit {
  double x = 0, y = 0;
  Sums sums;
  bool ok = false;
};

// Gauss-Newton on the symmetry objective from (x, y); a step that raises the objective is
// halved.
Fit Refine(const Raster& g, double x, double y, double radius, int step) {
  Fit f;
  f.x = x;
  f.y = y;
  f.sums = Evaluate(g, x, y, radius, step, nullptr);
  if (!f.sums.ok) return f;
  for (int evaluation = 1; evaluation < kMaxEvaluations;) {
    const double* a = f.sums.a;
    const double det = a[0] * a[2] - a[1] * a[1];
    if (!(det > 0)) return f;
    const double dx = -(a[2] * f.sums.g[0] - a[1] * f.sums.g[1]) / det;
    const double dy = -(a[0] * f.sums.g[1] - a[1] * f.sums.g[0]) / det;
    if (!std::isfinite(dx) || !std::isfinite(dy)) return f;
    double t = 1;
    bool accepted = false;
    for (int h = 0; h <= kHalvings && !accepted; ++h) {
      const Sums s = Evaluate(g, f.x + t * dx, f.y + t * dy, radius, step, nullptr);
      ++evaluation;
      if (s.ok && s.objective <= f.sums.objective) {
        f.x += t * dx;
        f.y += t * dy;
        f.sums = s;
        accepted = true;
      } else {
        t /= 2;
      }
    }
    if (!accepted || t * std::hypot(dx, dy) < kStepTolerance) break;
  }
  f.ok = true;
  return f;
}

// Variance of one residual per unit variance of independent pixel noise, on the picture smoothed
// by the kernel: 2 (sum of the squares of the 2-D kernel).
double NoiseGain(const std::vector<double>& kernel) {
  double k2 = 0;
  for (const double k : kernel) k2 += k * k;
  return 2 * k2 * k2;
}

// The window radius with the smallest predicted variance at the fitted centre (rings of unit
// width summed outwards), or the smallest one within kWindowTolerance of it. A residual counts
// at least residual_floor: a window inside a flat, noise-free disc has no error to show, yet
// tells nothing.
double ChooseWindow(const Raster& g, double x, double y, double residual_floor) {
  std::vector<Sample> samples;
  Evaluate(g, x, y, kTargetMaxWindow, 1, &samples);
  struct Ring {
    double a[3] = {0, 0, 0}, b[3] = {0, 0, 0};
  };
  std::vector<Ring> rings(kTargetMaxWindow + 1);
  for (const Sample& p : samples) {
    Ring& ring = rings[std::min<std::size_t>(static_cast<std::size_t>(p.rho), kTargetMaxWindow)];
    const double jj[3] = {p.jx * p.jx, p.jx * p.jy, p.jy * p.jy};
    for (int k = 0; k < 3; ++k) {
      ring.a[k] += jj[k];
      ring.b[k] += std::max(p.r * p.r, residual_floor) * jj[k];
    }
  }
  std::vector<double> variance(kTargetMaxWindow + 1, std::numeric_limits<double>::infinity());
  double a[3] = {0, 0, 0}, b[3] = {0, 0, 0};
  double best = std::numeric_limits<double>::infinity();
  for (int r = 0; r <= kTargetMaxWindow; ++r) {
    for (int k = 0; k < 3; ++k) {
      a[k] += rings[r].a[k];
      b[k] += rings[r].b[k];
    }
    if (r >= kMinWindow) variance[r] = Variance(a, b);
    best = std::min(best, variance[r]);
  }
  for (int r = kMinWindow; r <= kTargetMaxWindow; ++r) {
    if (variance[r] <= kWindowTolerance * best) return r;
  }
  return kTargetMaxWindow;
}

// Variance of one coordinate of the centre fitted at (x, y) on the picture smoothed by kernel.
// The centre moves by -A^-1 sum w J r; r is linear in the raw pixels' noise n_m, so sum w J r =
// sum_m n_m a_m with a_m = H(m) - H(2c - m), H the field w J smoothed by the kernel. With
// independent noise of variance s^2 its covariance is s^2 A^-1 (sum a a') A^-1. s^2 comes from
// the residuals, weighted as they steer the centre (|J|^2): what is not noise there (compression,
// clutter) counts as noise, so the error is not understated.
double CentreVariance(const Raster& g, double x, double y, double radius,
                      const std::vector<double>& kernel) {
  std::vector<Sample> samples;
  const Sums sums = Evaluate(g, x, y, radius, 1, &samples);
  const int reach = static_cast<int>(kernel.size() / 2);
  // The field on a grid covering the window and the kernel's reach, and its smoothing.
  const int margin = static_cast<int>(std::ceil(radius + kTaper)) + reach + 2;
  const int x0 = static_cast<int>(std::floor(x)) - margin,
            y0 = static_cast<int>(std::floor(y)) - margin;
  const int side = 2 * margin + 2;
  std::vector<double> fx(side * side, 0.0), fy(side * side, 0.0);
  double weight = 0, weighted_r2 = 0;
  for (const Sample& p : samples) {
    fx[(p.j - y0) * side + p.i - x0] = p.w * p.jx;
    fy[(p.j - y0) * side + p.i - x0] = p.w * p.jy;
    const double jj = p.w * (p.jx * p.jx + p.jy * p.jy);
    weight += jj;
    weighted_r2 += jj * p.r * p.r;
  }
  if (!(weight > 0)) return std::numeric_limits<double>::infinity();
  const auto convolve = [&](std::vector<double>& f) {
    std::vector<double> t(f.size(), 0.0);
    for (int j = 0; j < side; ++j) {
      for (int i = reach; i < side - reach; ++i) {
        double s = 0;
        for (int k = -reach; k <= reach; ++k) s += kernel[k + reach] * f[j * side + i + k];
        t[j * side + i] = s;
      }
    }
    std::fill(f.begin(), f.end(), 0.0);
    for (int j = reach; j < side - reach; ++j) {
      for (int i = 0; i < side; ++i) {
        double s = 0;
        for (int k = -reach; k <= reach; ++k) s += kernel[k + reach] * t[(j + k) * side + i];
        f[j * side + i] = s;
      }
    }
  };
  convolve(fx);
  convolve(fy);
  // H at the mirror 2c - m, bilinear: all mirrors share one fractional position.
  const double tx = 2 * (x - x0), ty = 2 * (y - y0);
  const int ix = static_cast<int>(std::floor(tx)), iy = static_cast<int>(std::floor(ty));
  const double ux = tx - ix, uy = ty - iy;
  const auto mirror = [&](const std::vector<double>& f, int i, int j) {
    const int mx = ix - i, my = iy - j;
    if (mx < 0 || my < 0 || mx + 1 >= side || my + 1 >= side) return 0.0;
    const double* r0 = &f[my * side + mx];
    const double* r1 = r0 + side;
    return (1 - uy) * ((1 - ux) * r0[0] + ux * r0[1]) + uy * ((1 - ux) * r1[0] + ux * r1[1]);
  };
  double m[3] = {0, 0, 0};
  for (int j = 0; j < side; ++j) {
    for (int i = 0; i < side; ++i) {
      const double ax = fx[j * side + i] - mirror(fx, i, j);
      const double ay = fy[j * side + i] - mirror(fy, i, j);
      m[0] += ax * ax;
      m[1] += ax * ay;
      m[2] += ay * ay;
    }
  }
  const double gain = NoiseGain(kernel);
  const double noise = std::max(weighted_r2 / weight / gain, kQuantisationVariance);
  // Variance() gives trace(A^-1 B A^-1); here B = noise * M.
  for (double& v : m) v *= noise;
  return Variance(sums.a, m) / 2;
}

// The picture around (x, y) as a raster of side 2 half + 1; sets the origin.
Raster ReadRegion(const GreyAt& grey, double x, double y, int half, std::int64_t& ox,
                  std::int64_t& oy) {
  ox = std::llround(x) - half;
  oy = std::llround(y) - half;
  Raster region;
  region.side = 2 * half + 1;
  region.v.resize(static_cast<std::size_t>(region.side) * region.side);
  for (int j = 0; j < region.side; ++j) {
    for (int i = 0; i < region.side; ++i) {
      const double v = grey(ox + i, oy + j);
      region.v[j * region.side + i] = v < 0 ? kNaN : v;
    }
  }
  return region;
}

// Normalised asymmetry about (x, y) within the window: sum w r^2 over twice the weighted variance
// of the grey levels, sum w over the pairs counted twice.
double WindowAsymmetry(const Raster& g, double x, double y, double radius) {
  std::vector<Sample> samples;
  const Sums sums = Evaluate(g, x, y, radius, 1, &samples);
  double weight = 0, sum = 0, sum2 = 0;
  for (const Sample& p : samples) {
    const double v = g.v[p.j * g.side + p.i];
    weight += p.w;
    sum += p.w * v;
    sum2 += p.w * v * v;
  }
  if (!(weight > 0)) return std::numeric_limits<double>::infinity();
  const double mean = sum / weight;
  const double variance = std::max(sum2 / weight - mean * mean, 1e-9);
  return sums.objective / weight / (2 * variance);
}

// The refinement from (sx, sy), region coordinates, with a first window of `first` pixels:
// basin stage, window choice, final stage, standard error and score. A pattern more asymmetric
// than max_asymmetry after the basin stage is dropped there, before the costlier stages.
std::optional<TargetCentre> RefineInRegion(const Raster& picture, double sx, double sy,
                                           double first, double max_asymmetry) {
  const std::vector<double> kernel = GaussianKernel(kFitSmoothing);
  const Raster smoothed = Smooth(picture, kernel);
  // The basin stage on every other pixel: the smoothed picture varies slowly.
  const Raster basin_picture = Smooth(picture, GaussianKernel(kBasinSmoothing));
  const Fit basin = Refine(basin_picture, sx, sy, first, 2);
  if (!basin.ok) return {};
  if (!(WindowAsymmetry(basin_picture, basin.x, basin.y, first) <= max_asymmetry)) return {};
  const double window =
      ChooseWindow(smoothed, basin.x, basin.y, NoiseGain(kernel) * kQuantisationVariance);
  const Fit fit = Refine(smoothed, basin.x, basin.y, window, 1);
  if (!fit.ok) return {};
  const double variance = CentreVariance(smoothed, fit.x, fit.y, window, kernel);
  if (!(variance <= kTargetMaxSigma * kTargetMaxSigma)) return {};
  TargetCentre c;
  c.x = fit.x;
  c.y = fit.y;
  c.sigma = std::sqrt(variance);
  c.window = window;
  // Principal values of sum w J J': a straight edge or band steers the centre across it only.
  const double* a = fit.sums.a;
  const double mean = (a[0] + a[2]) / 2, spread = std::hypot((a[0] - a[2]) / 2, a[1]);
  c.isotropy = mean + spread > 0 ? (mean - spread) / (mean + spread) : 0;
  c.score = 1 - WindowAsymmetry(smoothed, fit.x, fit.y, window) / kTargetMaxAsymmetry;
  return c;
}

}  // namespace

std::optional<TargetCentre> FindTargetCentre(const GreyAt& grey, double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return {};
  std::int64_t ox = 0, oy = 0;
  const Raster picture = ReadRegion(grey, x, y, kRegionHalf, ox, oy);
  const double qx = x - ox, qy = y - oy;
  Raster level = Smooth(picture, GaussianKernel(kFitSmoothing));

  Detection found;
  for (int l = 0; l < kLevels; ++l) {
    if (l > 0) level = Halve(level);
    const Detection d = Detect(level, l, qx, qy);
    if (d.asymmetry < found.asymmetry) found = d;
  }
  if (!std::isfinite(found.asymmetry)) return {};

  // The patch of the detecting level holds the target: it sets the first window.
  const double first = std::min<double>(kTargetPatch * (1 << found.level) + 4, kTargetMaxWindow);
  std::optional<TargetCentre> c =
      RefineInRegion(picture, found.x, found.y, first, std::numeric_limits<double>::infinity());
  if (!c) return {};
  if (std::abs(c->x - qx) > kTargetSearch + 0.5 || std::abs(c->y - qy) > kTargetSearch + 0.5) {
    return {};
  }
  c->x += ox;
  c->y += oy;
  return c;
}

std::optional<TargetCentre> RefineTargetCentre(const GreyAt& grey, double x, double y, double size,
                                               double max_asymmetry) {
  if (!std::isfinite(x) || !std::isfinite(y) || !(size > 0)) return {};
  std::int64_t ox = 0, oy = 0;
  // The region holds windows of a few times the target's size: a larger one would take in
  // the neighbours, and costs more to read and smooth.
  const int half = static_cast<int>(std::min<double>(kRegionHalf, 3 * size + 20));
  const Raster picture = ReadRegion(grey, x, y, half, ox, oy);
  const double qx = x - ox, qy = y - oy;
  const double first = std::clamp(size + 4, double{kMinWindow}, double{kTargetMaxWindow});
  std::optional<TargetCentre> c = RefineInRegion(picture, qx, qy, first, max_asymmetry);
  if (!c || !(c->score >= 1 - max_asymmetry / kTargetMaxAsymmetry) ||
      !(c->isotropy >= kTargetMinIsotropy)) {
    return {};
  }
  if (std::hypot(c->x - qx, c->y - qy) > std::max(2.0, size / 2)) return {};
  c->x += ox;
  c->y += oy;
  return c;
}

}  // namespace vistrel
