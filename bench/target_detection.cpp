// How well and how fast are the targets of a whole photograph found? Renders photographs of
// 4000 x 3000 pixels with targets of known centres among clutter (tools/target_render.h) and
// reports, over all of them, the recall (true targets found within kMatch pixels), the false
// targets (found ones near no true target), the RMS centre error, and the processor time of one
// detection (the thread's own, so that other work on a shared machine does not count).
//
//   target_detection [--photos N] [--width W --height H] [--verbose]

#include "photogrammetry/target_detection.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "tools/target_render.h"

namespace {

constexpr double kMatch = 1.0;  // pixels

double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

const char* KindName(vistrel::synthetic::FieldTargetKind k) {
  switch (k) {
    case vistrel::synthetic::FieldTargetKind::kDisc:
      return "disc";
    case vistrel::synthetic::FieldTargetKind::kRing:
      return "ring";
    default:
      return "corner";
  }
}

}  // namespace

int main(int argc, char** argv) {
  int photos = 5, width = 4000, height = 3000;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--photos" && i + 1 < argc)
      photos = std::atoi(argv[++i]);
    else if (a == "--width" && i + 1 < argc)
      width = std::atoi(argv[++i]);
    else if (a == "--height" && i + 1 < argc)
      height = std::atoi(argv[++i]);
    else if (a == "--verbose")
      verbose = true;
    else {
      std::fprintf(stderr,
                   "usage: target_detection [--photos N] [--width W --height H] [--verbose]\n");
      return 1;
    }
  }
  int truths = 0, found = 0, detected = 0, false_targets = 0;
  double error2 = 0, least_true_score = 1, least_true_isotropy = 1, largest_true_sigma = 0;
  std::vector<double> seconds;
  for (int p = 0; p < photos; ++p) {
    vistrel::synthetic::FieldDrawing drawing;
    drawing.width = width;
    drawing.height = height;
    drawing.seed = static_cast<std::uint32_t>(p + 1);
    const auto field = vistrel::synthetic::RenderTargetField(drawing);
    const vistrel::GreyView view{field.picture.width, field.picture.height,
                                 field.picture.grey.data()};
    const double start = ThreadSeconds();
    const std::vector<vistrel::TargetCentre> targets = vistrel::DetectTargets(view);
    seconds.push_back(ThreadSeconds() - start);
    std::vector<char> used(targets.size(), 0);
    for (const auto& t : field.targets) {
      ++truths;
      double best = 1e9;
      std::size_t k_best = 0;
      for (std::size_t k = 0; k < targets.size(); ++k) {
        const double d = std::hypot(targets[k].x - t.cx, targets[k].y - t.cy);
        if (d < best) {
          best = d;
          k_best = k;
        }
      }
      if (best <= kMatch) {
        ++found;
        used[k_best] = 1;
        least_true_score = std::min(least_true_score, targets[k_best].score);
        least_true_isotropy = std::min(least_true_isotropy, targets[k_best].isotropy);
        largest_true_sigma = std::max(largest_true_sigma, targets[k_best].sigma);
        error2 += best * best;
      } else if (verbose) {
        std::printf("  photo %d: missed %s r %.1f tilt %.0f at %.1f %.1f (nearest %.1f px)\n", p,
                    KindName(t.kind), t.radius, t.tilt_deg, t.cx, t.cy, best);
      }
    }
    for (std::size_t k = 0; k < targets.size(); ++k) {
      ++detected;
      if (used[k]) continue;
      bool near_truth = false;
      for (const auto& t : field.targets) {
        near_truth = near_truth || std::hypot(targets[k].x - t.cx, targets[k].y - t.cy) <= t.radius;
      }
      if (!near_truth) {
        ++false_targets;
        if (verbose) {
          std::printf("  photo %d: false target at %.1f %.1f sigma %.3f score %.2f isotropy %.2f\n",
                      p, targets[k].x, targets[k].y, targets[k].sigma, targets[k].score,
                      targets[k].isotropy);
        }
      }
    }
    std::printf("photo %d: %zu true, %zu found, %.3f s\n", p, field.targets.size(), targets.size(),
                seconds.back());
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf(
      "%d photographs of %d x %d: recall %d of %d (%.1f %%), false targets %d of %d found, "
      "RMS error %.3f px\nleast score of a true target %.2f, least isotropy %.2f, largest sigma "
      "%.3f px\nprocessor time per photograph: median %.3f s, worst %.3f s\n",
      photos, width, height, found, truths, 100.0 * found / std::max(truths, 1), false_targets,
      detected, std::sqrt(error2 / std::max(found, 1)), least_true_score, least_true_isotropy,
      largest_true_sigma, seconds[seconds.size() / 2], seconds.back());
  return 0;
}
