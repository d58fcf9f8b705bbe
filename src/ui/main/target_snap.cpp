#include "ui/main/target_snap.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace vistrel {
namespace {

constexpr int kPatchSide = 2 * (kSnapSearch + kSnapPatch + 1) + 1;
constexpr int kPatchCentre = kSnapSearch + kSnapPatch + 1;

struct Score {
  double asymmetry;  // normalised, for acceptance
  double raw;        // mean squared difference, for the sub-pixel fit
  double contrast;   // standard deviation of the grey levels
};

// Candidates are taken on a half-pixel grid: a centre (dx / 2, dy / 2) from the click pairs
// pixel p with pixel (dx, dy) - p, so a target centred between pixels is as symmetric as one
// centred on a pixel. On a whole-pixel grid the thin lines of a target half a pixel off look
// badly asymmetric.
Score ScoreAt(const std::vector<int>& g, int dx, int dy) {
  double diff = 0, sum = 0, sum2 = 0;
  int pairs = 0, missing = 0;
  constexpr int kR2 = 4 * kSnapPatch * kSnapPatch;
  for (int j = -kSnapPatch - kSnapSearch; j <= kSnapPatch + kSnapSearch; ++j) {
    const int ry = 2 * j - dy;
    if (ry * ry > kR2) continue;
    for (int i = -kSnapPatch - kSnapSearch; i <= kSnapPatch + kSnapSearch; ++i) {
      const int rx = 2 * i - dx;
      if (rx * rx + ry * ry > kR2) continue;
      const int a = g[(kPatchCentre + j) * kPatchSide + kPatchCentre + i];
      const int b = g[(kPatchCentre + dy - j) * kPatchSide + kPatchCentre + dx - i];
      if (a < 0 || b < 0) {
        ++missing;
        continue;
      }
      diff += static_cast<double>(a - b) * (a - b);
      sum += a;
      sum2 += static_cast<double>(a) * a;
      ++pairs;
    }
  }
  if (pairs <= missing) return {std::numeric_limits<double>::infinity(), 0, 0};  // off the picture
  const double variance = std::max(sum2 / pairs - (sum / pairs) * (sum / pairs), 1e-9);
  const double raw = diff / pairs;
  return {raw / (2 * variance), raw, std::sqrt(variance)};
}

// Vertex of the parabola through (-1, a), (0, b), (1, c), kept within half a step.
double Vertex(double a, double b, double c) {
  const double curvature = a - 2 * b + c;
  if (!(curvature > 0)) return 0;
  return std::clamp((a - c) / (2 * curvature), -0.5, 0.5);
}

}  // namespace

std::optional<SnapResult> SnapToTarget(const GreyAt& grey, std::int64_t x, std::int64_t y) {
  std::vector<int> g(kPatchSide * kPatchSide);
  for (int j = 0; j < kPatchSide; ++j) {
    for (int i = 0; i < kPatchSide; ++i) {
      g[j * kPatchSide + i] = grey(x + i - kPatchCentre, y + j - kPatchCentre);
    }
  }
  // Scores on the half-pixel grid (offsets in half pixels), with one step more around for the
  // sub-pixel fit.
  constexpr int kReach = 2 * kSnapSearch;
  constexpr int kSide = 2 * (kReach + 1) + 1;
  std::vector<Score> scores(kSide * kSide);
  const auto at = [&](int dx, int dy) -> Score& {
    return scores[(dy + kReach + 1) * kSide + dx + kReach + 1];
  };
  for (int dy = -kReach - 1; dy <= kReach + 1; ++dy) {
    for (int dx = -kReach - 1; dx <= kReach + 1; ++dx) at(dx, dy) = ScoreAt(g, dx, dy);
  }
  int best_x = 0, best_y = 0;
  for (int dy = -kReach; dy <= kReach; ++dy) {
    for (int dx = -kReach; dx <= kReach; ++dx) {
      if (at(dx, dy).asymmetry < at(best_x, best_y).asymmetry) {
        best_x = dx;
        best_y = dy;
      }
    }
  }
  const Score& best = at(best_x, best_y);
  if (!(best.asymmetry < kSnapMaxAsymmetry) || best.contrast < kSnapMinContrast) return {};
  if (std::abs(best_x) == kReach || std::abs(best_y) == kReach) return {};
  SnapResult r;
  r.fx =
      x + (best_x + Vertex(at(best_x - 1, best_y).raw, best.raw, at(best_x + 1, best_y).raw)) / 2;
  r.fy =
      y + (best_y + Vertex(at(best_x, best_y - 1).raw, best.raw, at(best_x, best_y + 1).raw)) / 2;
  r.x = std::llround(r.fx);
  r.y = std::llround(r.fy);
  return r;
}

}  // namespace vistrel
