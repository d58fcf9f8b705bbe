// How often does a calibration land on the wrong cameras? Calibrates random synthetic stereo
// pairs (tools/stereo_generator.h) and compares the held-out measuring error with the error the
// true cameras give on the same rounded clicks (the floor). A blunder is a held-out RMS more
// than twice the floor's, or a calibration that fails.
//
//   calibration_blunder [--geometry G] [--pairs N] [--first-seed S] [--single-start]
//                       [--threads T] [--models] [--verbose]
//
// G is one of ordinary (the default), long-lens, steep, looking-down, any-roll, coplanar.
// --models also calibrates each pair with the radial lens model and the automatic one.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "photogrammetry/calibration.h"
#include "tools/stereo_generator.h"

namespace {

using vistrel::synthetic::StereoCase;

struct Run {
  double ratio = 0;  // held-out RMS / floor
  double ms = 0;
  double cpu_ms = 0;  // processor time of all threads: the wall time of an idle machine is
                      // between this divided by the cores and this
  bool failed = false;
  bool distortion_significant = false;  // the F test of the distortion coefficients says so
  long double objective = 0;            // the kept start's sum of squared residuals
  std::string starts;  // which start won, and every start's objective and iterations
};

struct Summary {
  std::vector<double> ratios, times, cpu_times;
  int blunders = 0;
  std::vector<std::string> worst;

  void Add(const Run& r, const StereoCase& c) {
    ratios.push_back(r.ratio);
    times.push_back(r.ms);
    cpu_times.push_back(r.cpu_ms);
    if (r.failed || !(r.ratio <= 2.0)) {
      ++blunders;
      char line[64];
      std::snprintf(line, sizeof line, " ratio %.3g%s", r.ratio, r.failed ? " (failed)" : "");
      worst.push_back(c.Describe() + line);
    }
  }
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void Print(const char* title, const Summary& s) {
  if (s.ratios.empty()) return;
  std::printf(
      "%-44s pairs %4zu  blunders %3d  median ratio %.3f  time median %7.1f ms  worst %7.1f ms"
      "  cpu median %7.1f ms  worst %7.1f ms\n",
      title, s.ratios.size(), s.blunders, Median(s.ratios), Median(s.times),
      *std::max_element(s.times.begin(), s.times.end()), Median(s.cpu_times),
      *std::max_element(s.cpu_times.begin(), s.cpu_times.end()));
  for (const std::string& w : s.worst) std::printf("    blunder: %s\n", w.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  int pairs = 200;
  std::uint64_t first = 1;
  bool verbose = false, models = false;
  vistrel::CalibrationOptions options;
  vistrel::synthetic::Geometry geometry = vistrel::synthetic::Geometry::kOrdinary;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--geometry") && i + 1 < argc) {
      using vistrel::synthetic::Geometry;
      static const std::pair<const char*, Geometry> kNames[] = {
          {"ordinary", Geometry::kOrdinary}, {"long-lens", Geometry::kLongLens},
          {"steep", Geometry::kSteep},       {"looking-down", Geometry::kLookingDown},
          {"any-roll", Geometry::kAnyRoll},  {"coplanar", Geometry::kNearlyCoplanar}};
      const char* name = argv[++i];
      bool known = false;
      for (const auto& [text, g] : kNames)
        if (!std::strcmp(name, text)) {
          geometry = g;
          known = true;
        }
      if (!known) {
        std::fprintf(stderr, "unknown geometry %s\n", name);
        return 1;
      }
    } else if (!std::strcmp(argv[i], "--pairs") && i + 1 < argc) {
      pairs = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--first-seed") && i + 1 < argc) {
      first = std::strtoull(argv[++i], nullptr, 10);
    } else if (!std::strcmp(argv[i], "--single-start")) {
      options.single_start = true;
    } else if (!std::strcmp(argv[i], "--threads") && i + 1 < argc) {
      options.threads = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--dump") && i + 1 < argc) {
      // The pair of one seed as test data: W, H, truth, then per point xg yg xd yd X Y Z.
      const StereoCase c =
          vistrel::synthetic::MakeStereoCase(geometry, std::strtoull(argv[++i], nullptr, 10));
      const vistrel::TCameraParameters& t = c.truth;
      std::printf("// %s\n%d %d\n", c.Describe().c_str(), c.W, c.H);
      std::printf("%.17g %.17g %.17g %.17g\n", t.internal.f, t.internal.u0, t.internal.v0,
                  t.internal.a1);
      for (const vistrel::ExternalParameters* e : {&t.left, &t.right})
        std::printf("%.17g %.17g %.17g %.17g %.17g %.17g\n", e->Alpha, e->Beta, e->Gamma, e->Tx,
                    e->Ty, e->Tz);
      for (int k = 1; k <= 9; ++k) {
        const vistrel::ImagePosition l = c.table.Left(k), r = c.table.Right(k);
        const vistrel::SpacePoint p = c.table.Space(k);
        std::printf("{%.17g, %.17g, %.17g, %.17g, %.17g, %.17g, %.17g},\n", l.x, l.y, r.x, r.y, p.X,
                    p.Y, p.Z);
      }
      for (std::size_t k = 0; k < 5; ++k)
        std::printf("check {%d, %d, %d, %d, %.17g, %.17g, %.17g},\n", c.clicks[k][0],
                    c.clicks[k][1], c.clicks[k][2], c.clicks[k][3], c.checks[k][0], c.checks[k][1],
                    c.checks[k][2]);
      return 0;
    } else if (!std::strcmp(argv[i], "--verbose")) {
      verbose = true;
    } else if (!std::strcmp(argv[i], "--models")) {
      models = true;
    } else {
      std::fprintf(stderr,
                   "usage: %s [--geometry G] [--pairs N] [--first-seed S] [--single-start] "
                   "[--threads T] [--models] [--verbose] [--dump SEED]\n",
                   argv[0]);
      return 1;
    }
  }

  // "advised": the 20-parameter result where its distortion coefficients are significant, the
  // 15-parameter one otherwise, as the quality output advises.
  Summary plain_undistorted, plain_distorted, full_all, full_distorted, advised_all,
      advised_distorted;
  int significant[2] = {0, 0};  // pairs without / with distortion whose F test was significant
  std::vector<double> distorted_gain;  // 20-parameter RMS / 15-parameter RMS on distorted pairs
  std::vector<double> advised_gain;    // the same with the advised result in place of 20
  // --models: the radial and automatic lens models.
  Summary radial_all, radial_distorted, auto_all, auto_distorted;
  std::vector<double> auto_gain, auto_gain_significant, radial_gain;  // RMS / 15-parameter RMS
  int auto_picks[2][3] = {};  // pairs without / with distortion: none, radial, full
  for (int n = 0; n < pairs; ++n) {
    const StereoCase c = vistrel::synthetic::MakeStereoCase(geometry, first + n);
    const double floor = vistrel::synthetic::HeldOutRms(c, c.truth);
    Run runs[2];
    for (int distortion = 0; distortion < 2; ++distortion) {
      vistrel::TCameraParameters camera;
      int counter = 0;
      Run& r = runs[distortion];
      const auto t0 = std::chrono::steady_clock::now();
      const std::clock_t c0 = std::clock();
      try {
        const vistrel::CalibrationOutcome outcome =
            vistrel::Calibrate(c.table, c.W, c.H, distortion == 1, camera, counter, options);
        r.failed = outcome.joint_fit_failed;
        r.objective = outcome.starts[outcome.winner].objective;
        r.distortion_significant =
            outcome.distortion_significance && outcome.distortion_significance->significant;
        for (std::size_t k = 0; k < outcome.starts.size(); ++k) {
          const vistrel::StartRecord& s = outcome.starts[k];
          char text[160];
          std::snprintf(text, sizeof text, " %s%s=%.6Lg/%lld%s",
                        static_cast<int>(k) == outcome.winner ? "*" : "", s.name.c_str(),
                        s.objective, static_cast<long long>(s.iterations),
                        s.failed         ? "(failed)"
                        : s.same_as >= 0 ? "(same)"
                                         : "");
          r.starts += text;
        }
      } catch (const std::exception&) {
        r.failed = true;
      }
      r.ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      r.cpu_ms = 1000.0 * static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
      r.ratio = r.failed ? 1e300 : vistrel::synthetic::HeldOutRms(c, camera) / floor;
    }
    const bool distorted = c.corner_distortion > 0;
    if (models) {
      // The radial model's calibration; the automatic model picks among it and the two above
      // by their objectives, as CalibrateLensModel does after running the same three.
      vistrel::TCameraParameters camera;
      int counter = 0;
      Run radial;
      const auto t0 = std::chrono::steady_clock::now();
      const std::clock_t c0 = std::clock();
      try {
        const vistrel::CalibrationOutcome outcome = vistrel::CalibrateLensModel(
            c.table, c.W, c.H, vistrel::LensModel::kRadial, camera, counter, options);
        radial.failed = outcome.joint_fit_failed;
        radial.objective = outcome.starts[outcome.winner].objective;
      } catch (const std::exception&) {
        radial.failed = true;
      }
      radial.ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      radial.cpu_ms = 1000.0 * static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
      radial.ratio = radial.failed ? 1e300 : vistrel::synthetic::HeldOutRms(c, camera) / floor;
      int pick = 0;
      if (!runs[0].failed && !radial.failed && !runs[1].failed)
        pick = static_cast<int>(
            vistrel::ChooseLensModel(runs[0].objective, radial.objective, runs[1].objective).model);
      Run automatic = pick == 0 ? runs[0] : pick == 1 ? radial : runs[1];
      automatic.ms = runs[0].ms + radial.ms + runs[1].ms;
      automatic.cpu_ms = runs[0].cpu_ms + radial.cpu_ms + runs[1].cpu_ms;
      radial_all.Add(radial, c);
      auto_all.Add(automatic, c);
      ++auto_picks[distorted][pick];
      if (distorted) {
        radial_distorted.Add(radial, c);
        auto_distorted.Add(automatic, c);
        radial_gain.push_back(radial.ratio / runs[0].ratio);
        auto_gain.push_back(automatic.ratio / runs[0].ratio);
        if (runs[1].distortion_significant)
          auto_gain_significant.push_back(automatic.ratio / runs[0].ratio);
      }
      if (verbose)
        std::printf("  radial: ratio %.3f %.1f ms; auto picks %s\n", radial.ratio, radial.ms,
                    pick == 0   ? "none"
                    : pick == 1 ? "radial"
                                : "full");
    }
    (distorted ? plain_distorted : plain_undistorted).Add(runs[0], c);
    full_all.Add(runs[1], c);
    const Run& advised = runs[1].distortion_significant ? runs[1] : runs[0];
    advised_all.Add(advised, c);
    significant[distorted] += runs[1].distortion_significant;
    if (distorted) {
      full_distorted.Add(runs[1], c);
      advised_distorted.Add(advised, c);
      distorted_gain.push_back(runs[1].ratio / runs[0].ratio);
      advised_gain.push_back(advised.ratio / runs[0].ratio);
    }
    if (verbose)
      std::printf("%s  floor %.3f mm\n  15: ratio %.3f %.1f ms%s\n  20: ratio %.3f %.1f ms%s\n",
                  c.Describe().c_str(), floor, runs[0].ratio, runs[0].ms, runs[0].starts.c_str(),
                  runs[1].ratio, runs[1].ms, runs[1].starts.c_str());
  }
  std::printf("%s, %s geometry, %d pairs from seed %llu\n",
              options.single_start ? "single start" : "all starts",
              vistrel::synthetic::GeometryName(geometry), pairs,
              static_cast<unsigned long long>(first));
  Print("15 parameters, pairs without distortion", plain_undistorted);
  Print("15 parameters, distorted pairs (model error)", plain_distorted);
  Print("20 parameters, all pairs", full_all);
  Print("20 parameters, distorted pairs", full_distorted);
  std::printf("distorted pairs: median of 20-parameter RMS / 15-parameter RMS %.3f\n",
              Median(distorted_gain));
  std::printf("distortion significant: %d of %zu pairs without, %d of %zu with distortion\n",
              significant[0], plain_undistorted.ratios.size(), significant[1],
              plain_distorted.ratios.size());
  Print("advised (20 if significant, else 15), all", advised_all);
  Print("advised, distorted pairs", advised_distorted);
  std::printf("distorted pairs: median of advised RMS / 15-parameter RMS %.3f\n",
              Median(advised_gain));
  if (models) {
    Print("radial (a1), all", radial_all);
    Print("radial, distorted pairs", radial_distorted);
    std::printf("distorted pairs: median of radial RMS / 15-parameter RMS %.3f\n",
                Median(radial_gain));
    Print("automatic model, all", auto_all);
    Print("automatic model, distorted pairs", auto_distorted);
    std::printf(
        "distorted pairs: median of automatic RMS / 15-parameter RMS %.3f (%zu pairs), "
        "where the five coefficients test significant %.3f (%zu pairs)\n",
        Median(auto_gain), auto_gain.size(), Median(auto_gain_significant),
        auto_gain_significant.size());
    std::printf(
        "automatic picks none / radial / full: without distortion %d / %d / %d, with "
        "%d / %d / %d\n",
        auto_picks[0][0], auto_picks[0][1], auto_picks[0][2], auto_picks[1][0], auto_picks[1][1],
        auto_picks[1][2]);
  }
  return 0;
}
