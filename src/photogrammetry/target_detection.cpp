#include "photogrammetry/target_detection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace vistrel {
namespace {

struct Level {
  int width = 0, height = 0;
  std::vector<float> v;
  float at(int x, int y) const { return v[static_cast<std::size_t>(y) * width + x]; }
};

// The first halving, straight from the picture's 8-bit grey levels.
template <typename Source>
Level Halve(const Source& at, std::int64_t width, std::int64_t height) {
  Level h;
  h.width = static_cast<int>(width / 2);
  h.height = static_cast<int>(height / 2);
  h.v.resize(static_cast<std::size_t>(h.width) * h.height);
  for (int j = 0; j < h.height; ++j) {
    for (int i = 0; i < h.width; ++i) {
      h.v[static_cast<std::size_t>(j) * h.width + i] =
          0.25f * static_cast<float>(at(2 * i, 2 * j) + at(2 * i + 1, 2 * j) +
                                     at(2 * i, 2 * j + 1) + at(2 * i + 1, 2 * j + 1));
    }
  }
  return h;
}

std::vector<float> Kernel(double sigma) {
  const int reach = static_cast<int>(std::ceil(3 * sigma));
  std::vector<float> k(2 * reach + 1);
  double total = 0;
  for (int t = -reach; t <= reach; ++t) total += std::exp(-t * t / (2 * sigma * sigma));
  for (int t = -reach; t <= reach; ++t)
    k[t + reach] = static_cast<float>(std::exp(-t * t / (2 * sigma * sigma)) / total);
  return k;
}

// Separable smoothing; the border repeats the edge pixel.
Level Smooth(const Level& in, double sigma) {
  const std::vector<float> k = Kernel(sigma);
  const int reach = static_cast<int>(k.size() / 2);
  const int w = in.width, h = in.height;
  Level a = in, b = in;
  std::vector<float> row(static_cast<std::size_t>(w + 2 * reach));
  for (int j = 0; j < h; ++j) {
    const float* src = &in.v[static_cast<std::size_t>(j) * w];
    for (int i = -reach; i < w + reach; ++i) row[i + reach] = src[std::clamp(i, 0, w - 1)];
    float* dst = &a.v[static_cast<std::size_t>(j) * w];
    for (int i = 0; i < w; ++i) {
      float s = 0;
      for (int t = 0; t <= 2 * reach; ++t) s += k[t] * row[i + t];
      dst[i] = s;
    }
  }
  for (int j = 0; j < h; ++j) {
    float* dst = &b.v[static_cast<std::size_t>(j) * w];
    std::fill(dst, dst + w, 0.0f);
    for (int t = -reach; t <= reach; ++t) {
      const float* src = &a.v[static_cast<std::size_t>(std::clamp(j + t, 0, h - 1)) * w];
      const float kt = k[t + reach];
      for (int i = 0; i < w; ++i) dst[i] += kt * src[i];
    }
  }
  return b;
}

struct Candidate {
  double x = 0, y = 0;  // picture pixels
  double size = 0;      // about the target's radius, picture pixels
  double asymmetry = 0;
  int level = 0;
};

// Asymmetry of the smoothed level about the point (i + a / 2, j + b / 2) within kLevelPatch,
// pixel p paired with (2 i + a, 2 j + b) - p, and the patch's contrast (standard deviation).
std::pair<double, double> LevelAsymmetry(const Level& s, int i, int j, int a, int b) {
  double diff = 0, sum = 0, sum2 = 0;
  int pairs = 0;
  for (int dy = 0; dy <= kLevelPatch; ++dy) {
    for (int dx = -kLevelPatch; dx <= kLevelPatch; ++dx) {
      if ((dy == 0 && dx <= 0) || dx * dx + dy * dy > kLevelPatch * kLevelPatch) continue;
      const double p = s.at(i + dx, j + dy), q = s.at(i + a - dx, j + b - dy);
      diff += (p - q) * (p - q);
      sum += p + q;
      sum2 += p * p + q * q;
      ++pairs;
    }
  }
  const double n = 2.0 * pairs;
  const double variance = std::max(sum2 / n - (sum / n) * (sum / n), 1e-9);
  return {diff / pairs / (2 * variance), std::sqrt(variance)};
}

// The least asymmetry about the level pixel (i, j) and the eight half-pixel points around it (a
// level pixel is up to half of one off the centre, and coarse levels are far from symmetric about
// a point beside it); the contrast there; and that point, in level pixels.
struct LevelSymmetry {
  double asymmetry = std::numeric_limits<double>::infinity(), contrast = 0, x = 0, y = 0;
};

LevelSymmetry BestLevelSymmetry(const Level& s, int i, int j) {
  LevelSymmetry best;
  if (i < kLevelPatch + 1 || j < kLevelPatch + 1 || i + kLevelPatch + 1 >= s.width ||
      j + kLevelPatch + 1 >= s.height) {
    return best;
  }
  for (int b = -1; b <= 1; ++b) {
    for (int a = -1; a <= 1; ++a) {
      const auto [asymmetry, contrast] = LevelAsymmetry(s, i, j, a, b);
      if (asymmetry < best.asymmetry) best = {asymmetry, contrast, i + a / 2.0, j + b / 2.0};
    }
  }
  return best;
}

// Smaller over larger principal value of the level's gradient moments within kLevelPatch of
// (i, j): a band or an edge, symmetric about its own points, is near 0.
double LevelIsotropy(const Level& s, int i, int j) {
  double xx = 0, xy = 0, yy = 0;
  for (int dy = -kLevelPatch; dy <= kLevelPatch; ++dy) {
    for (int dx = -kLevelPatch; dx <= kLevelPatch; ++dx) {
      if (dx * dx + dy * dy > kLevelPatch * kLevelPatch) continue;
      const double gx = (s.at(i + dx + 1, j + dy) - s.at(i + dx - 1, j + dy)) / 2;
      const double gy = (s.at(i + dx, j + dy + 1) - s.at(i + dx, j + dy - 1)) / 2;
      xx += gx * gx;
      xy += gx * gy;
      yy += gy * gy;
    }
  }
  const double mean = (xx + yy) / 2, spread = std::hypot((xx - yy) / 2, xy);
  return mean + spread > 0 ? (mean - spread) / (mean + spread) : 0;
}

// Candidates of one level, scale = 2^level picture pixels per level pixel.
void LevelCandidates(const Level& level, int index, double x0, double y0,
                     std::vector<Candidate>& out) {
  if (level.width < 2 * kLevelPatch + 3 || level.height < 2 * kLevelPatch + 3) return;
  const Level inner = Smooth(level, kBlobInner);
  const Level outer = Smooth(level, kBlobOuter);
  const int w = level.width, h = level.height;
  std::vector<float> blob(inner.v.size()), saddle(inner.v.size(), 0.0f);
  for (std::size_t k = 0; k < blob.size(); ++k) blob[k] = inner.v[k] - outer.v[k];
  for (int j = 1; j + 1 < h; ++j) {
    for (int i = 1; i + 1 < w; ++i) {
      const float c = inner.at(i, j);
      const float xx = inner.at(i + 1, j) + inner.at(i - 1, j) - 2 * c;
      const float yy = inner.at(i, j + 1) + inner.at(i, j - 1) - 2 * c;
      const float xy = (inner.at(i + 1, j + 1) + inner.at(i - 1, j - 1) - inner.at(i + 1, j - 1) -
                        inner.at(i - 1, j + 1)) /
                       4;
      saddle[static_cast<std::size_t>(j) * w + i] = xy * xy - xx * yy;
    }
  }
  const double scale = std::ldexp(1.0, index);
  const double offset = (scale - 1) / 2;
  const auto peak = [&](const std::vector<float>& f, int i, int j, float value) {
    for (int dj = -1; dj <= 1; ++dj) {
      for (int di = -1; di <= 1; ++di) {
        if (di == 0 && dj == 0) continue;
        const float n = f[static_cast<std::size_t>(j + dj) * w + i + di];
        // Ties go to the first in reading order, so a plateau gives one candidate.
        if (n > value || (n == value && (dj < 0 || (dj == 0 && di < 0)))) return false;
      }
    }
    return true;
  };
  std::vector<float> magnitude(blob.size());
  for (std::size_t k = 0; k < blob.size(); ++k) magnitude[k] = std::abs(blob[k]);
  const float min_saddle = static_cast<float>(kMinSaddleResponse * kMinSaddleResponse);
  for (int j = kLevelPatch; j + kLevelPatch < h; ++j) {
    for (int i = kLevelPatch; i + kLevelPatch < w; ++i) {
      const std::size_t k = static_cast<std::size_t>(j) * w + i;
      const bool is_blob = magnitude[k] >= kMinBlobResponse && peak(magnitude, i, j, magnitude[k]);
      const bool is_saddle = saddle[k] >= min_saddle && peak(saddle, i, j, saddle[k]);
      if (!is_blob && !is_saddle) continue;
      const LevelSymmetry symmetry = BestLevelSymmetry(inner, i, j);
      if (!(symmetry.asymmetry < kLevelMaxAsymmetry) ||
          symmetry.contrast < kTargetMinContrast / 4 ||
          LevelIsotropy(inner, i, j) < kTargetMinIsotropy) {
        continue;
      }
      Candidate c;
      c.x = x0 + scale * symmetry.x + offset;
      c.y = y0 + scale * symmetry.y + offset;
      c.size = 2 * scale;
      c.asymmetry = symmetry.asymmetry;
      c.level = index;
      out.push_back(c);
    }
  }
}

struct Kept {
  TargetCentre centre;
};

// Refines the candidates, finest level first, and keeps the distinct targets. A candidate near a
// target already kept (within its level's pixel) whose window is as large as the candidate's
// size is that target again and costs no refinement. Two centres within kSameTarget are one
// target: the one with the larger window stays.
std::vector<TargetCentre> RefineCandidates(const GreyAt& grey, std::vector<Candidate> candidates,
                                           double max_asymmetry, double max_sigma) {
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) {
                     return a.level != b.level ? a.level < b.level : a.asymmetry < b.asymmetry;
                   });
  std::vector<Kept> kept;
  const auto near = [&kept](double x, double y, double distance, double window) -> Kept* {
    for (Kept& k : kept) {
      const TargetCentre& t = k.centre;
      if (std::hypot(t.x - x, t.y - y) < distance && t.window >= window) return &k;
    }
    return nullptr;
  };
  for (const Candidate& c : candidates) {
    if (near(c.x, c.y, std::ldexp(1.0, c.level), c.size)) continue;
    const std::optional<TargetCentre> t = RefineTargetCentre(grey, c.x, c.y, c.size, max_asymmetry);
    if (!t || !(t->sigma <= max_sigma)) continue;
    if (Kept* same = near(t->x, t->y, kSameTarget, 0)) {
      if (t->window > same->centre.window) same->centre = *t;
      continue;
    }
    kept.push_back({*t});
  }
  // A larger pattern with smaller targets inside it (within kPartDistance of its window) is
  // either one target with parts that are symmetric about their own points (where its cross
  // meets its ring: much smaller than it), or a group of targets, symmetric as a whole (two alike
  // side by side, each at least kPartWindow of the group).
  std::sort(kept.begin(), kept.end(),
            [](const Kept& a, const Kept& b) { return a.centre.window > b.centre.window; });
  std::vector<char> dropped(kept.size(), 0);
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (dropped[i]) continue;
    const TargetCentre& big = kept[i].centre;
    // Smaller targets near the middle of its window are its parts; two or more farther out but
    // still inside it make it a group.
    std::vector<std::size_t> parts;
    int members = 0;
    for (std::size_t j = i + 1; j < kept.size(); ++j) {
      const TargetCentre& t = kept[j].centre;
      if (dropped[j] || !(t.window < big.window)) continue;
      const double d = std::hypot(t.x - big.x, t.y - big.y);
      if (d < kPartDistance * big.window && t.window < kPartWindow * big.window) {
        parts.push_back(j);
      } else if (d < big.window) {
        ++members;
      }
    }
    if (members >= 2) {
      dropped[i] = 1;
    } else {
      for (const std::size_t j : parts) dropped[j] = 1;
    }
  }
  std::vector<TargetCentre> targets;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (!dropped[i]) targets.push_back(kept[i].centre);
  }
  std::sort(targets.begin(), targets.end(), [](const TargetCentre& a, const TargetCentre& b) {
    return a.y != b.y ? a.y < b.y : a.x < b.x;
  });
  return targets;
}

template <typename Source>
std::vector<Candidate> Candidates(const Source& at, std::int64_t width, std::int64_t height,
                                  double x0, double y0) {
  std::vector<Candidate> candidates;
  Level level = Halve(at, width, height);
  for (int index = 1; index <= kDetectionLevels; ++index) {
    if (index > 1)
      level = Halve([&level](int i, int j) { return level.at(i, j); }, level.width, level.height);
    LevelCandidates(level, index, x0, y0, candidates);
  }
  return candidates;
}

}  // namespace

std::vector<TargetCentre> DetectTargets(const GreyView& picture) {
  if (picture.width <= 0 || picture.height <= 0 || !picture.pixels) return {};
  const std::uint8_t* pixels = picture.pixels;
  const std::int64_t width = picture.width;
  const auto at = [pixels, width](std::int64_t i, std::int64_t j) {
    return static_cast<float>(pixels[j * width + i]);
  };
  return RefineCandidates([&picture](std::int64_t x, std::int64_t y) { return picture.at(x, y); },
                          Candidates(at, picture.width, picture.height, 0, 0),
                          kDetectionMaxAsymmetry, kDetectionMaxSigma);
}

std::vector<TargetCentre> DetectTargetsIn(const GreyAt& grey, std::int64_t x0, std::int64_t y0,
                                          std::int64_t x1, std::int64_t y1, double max_asymmetry,
                                          double max_sigma) {
  if (x1 <= x0 || y1 <= y0) return {};
  const std::int64_t width = x1 - x0, height = y1 - y0;
  std::vector<float> region(static_cast<std::size_t>(width * height));
  for (std::int64_t j = 0; j < height; ++j) {
    for (std::int64_t i = 0; i < width; ++i) {
      // Off the picture: the nearest grey level would invent edges; a mid grey is as good as any
      // (no candidate survives there: the refinement reads the picture itself).
      const double v = grey(x0 + i, y0 + j);
      region[static_cast<std::size_t>(j * width + i)] = static_cast<float>(v < 0 ? 128 : v);
    }
  }
  const auto at = [&region, width](std::int64_t i, std::int64_t j) {
    return region[static_cast<std::size_t>(j * width + i)];
  };
  return RefineCandidates(
      grey, Candidates(at, width, height, static_cast<double>(x0), static_cast<double>(y0)),
      max_asymmetry, max_sigma);
}

SnapResult SnapToTarget(const GreyAt& grey, double x, double y) {
  SnapResult result;
  if (!std::isfinite(x) || !std::isfinite(y)) return result;
  // Candidates of the largest targets whose window may cover the click, on whole pyramid cells.
  constexpr std::int64_t kReach = kTargetSearch + kTargetMaxWindow;
  constexpr std::int64_t kCell = std::int64_t{1} << kDetectionLevels;
  const std::int64_t cx = std::llround(x), cy = std::llround(y);
  const std::int64_t x0 = cx - kReach, y0 = cy - kReach;
  const std::int64_t side = (2 * kReach + kCell) / kCell * kCell;
  std::vector<std::pair<double, TargetCentre>> under;
  // The finder's own limit: a click asks for a target there, so the doubt goes its way.
  for (const TargetCentre& t :
       DetectTargetsIn(grey, x0, y0, x0 + side, y0 + side, kTargetMaxAsymmetry, kTargetMaxSigma)) {
    const double d = std::hypot(t.x - x, t.y - y);
    if (d <= std::max<double>(kTargetSearch, t.window)) under.emplace_back(d, t);
  }
  if (under.empty()) return result;
  std::sort(under.begin(), under.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  result.target = under[0].second;
  if (under.size() > 1 && under[1].first < 2 * under[0].first) {
    result.kind = SnapResult::Kind::kTwo;
    result.other = under[1].second;
    return result;
  }
  result.kind = SnapResult::Kind::kTarget;
  return result;
}

}  // namespace vistrel
