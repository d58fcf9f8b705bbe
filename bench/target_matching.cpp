// How often are the control points named right without a click? For random synthetic pairs
// (tools/stereo_generator.h) each photograph's targets are its nine control points, its 30 check
// points (other targets of the object) and random clutter that passed detection, all in a
// shuffled order, the positions with the detector's noise; the matcher then names the control
// points in each photograph. A wrong assignment (a control point given another target) is the one
// outcome that must never happen; too few and ambiguous ask the user for three clicks.
//
//   target_matching_bench [--geometry G] [--pairs N] [--first-seed S] [--clutter C]
//
// G is one of ordinary (the default), long-lens, steep, looking-down, any-roll, coplanar.

#include "photogrammetry/target_matching.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "tools/stereo_generator.h"

namespace {

using namespace vistrel;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Tally {
  int photographs = 0, all_found = 0, some_missing = 0, too_few = 0, ambiguous = 0, wrong = 0;
  std::vector<double> seconds;
};

// Matches one photograph; `positions` are the control points' true pixels, `others` the other
// targets' pixels.
void MatchOne(const std::vector<SpacePoint>& control, const std::vector<ImagePosition>& positions,
              std::vector<ImagePosition> others, int W, int H, int clutter, std::mt19937& random,
              Tally& tally, const std::string& what, bool verbose) {
  std::normal_distribution<double> noise(0.0, 0.05);
  std::uniform_real_distribution<double> across(0, W - 1), down(0, H - 1);
  for (int k = 0; k < clutter; ++k) others.push_back({across(random), down(random)});
  // Shuffled: the control targets' indices must not give them away.
  std::vector<ImagePosition> targets = others;
  for (const auto& p : positions) targets.push_back(p);
  std::vector<int> order(targets.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::shuffle(order.begin(), order.end(), random);
  std::vector<ImagePosition> shuffled(targets.size());
  std::vector<int> expected(control.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    shuffled[i] = {targets[order[i]].x + noise(random), targets[order[i]].y + noise(random)};
    const int source = order[i] - static_cast<int>(others.size());
    if (source >= 0) expected[source] = static_cast<int>(i);
  }
  const double start = CpuSeconds();
  const TargetMatch match = MatchTargetsToControlPoints(control, shuffled, W, H);
  tally.seconds.push_back(CpuSeconds() - start);
  ++tally.photographs;
  const char* outcome = "";
  if (match.status == TargetMatchStatus::kTooFew) {
    ++tally.too_few;
    outcome = "too few";
  } else if (match.status == TargetMatchStatus::kAmbiguous) {
    ++tally.ambiguous;
    outcome = "ambiguous";
  } else {
    int right = 0, wrong = 0;
    for (std::size_t k = 0; k < control.size(); ++k) {
      if (match.target_of[k] == expected[k])
        ++right;
      else if (match.target_of[k] >= 0)
        ++wrong;
    }
    if (wrong > 0) {
      ++tally.wrong;
      outcome = "WRONG";
    } else if (right == static_cast<int>(control.size())) {
      ++tally.all_found;
      outcome = "all";
    } else {
      ++tally.some_missing;
      outcome = "some missing";
    }
  }
  if (verbose || std::strcmp(outcome, "WRONG") == 0)
    std::printf("%s: %s (found %d, rms %.3g px, rival %d %.3g px, %.2f s)\n", what.c_str(), outcome,
                match.found, match.rms, match.rival_found, match.rival_rms, tally.seconds.back());
}

double Quantile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vistrel::synthetic;
  Geometry geometry = Geometry::kOrdinary;
  int pairs = 25, clutter = 15;
  std::uint64_t first = 1;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--geometry" && more) {
      const std::string g = argv[++i];
      const Geometry all[] = {Geometry::kOrdinary, Geometry::kLongLens,
                              Geometry::kSteep,    Geometry::kLookingDown,
                              Geometry::kAnyRoll,  Geometry::kNearlyCoplanar};
      bool known = false;
      for (Geometry candidate : all)
        if (g == GeometryName(candidate)) {
          geometry = candidate;
          known = true;
        }
      if (!known) {
        std::fprintf(stderr, "unknown geometry %s\n", g.c_str());
        return 1;
      }
    } else if (a == "--pairs" && more) {
      pairs = std::atoi(argv[++i]);
    } else if (a == "--first-seed" && more) {
      first = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--clutter" && more) {
      clutter = std::atoi(argv[++i]);
    } else if (a == "--verbose") {
      verbose = true;
    } else {
      std::fprintf(stderr,
                   "usage: target_matching_bench [--geometry G] [--pairs N] "
                   "[--first-seed S] [--clutter C] [--verbose]\n");
      return 1;
    }
  }
  Tally tally;
  std::mt19937 random(12345);
  for (int p = 0; p < pairs; ++p) {
    const StereoCase c = MakeStereoCase(geometry, first + static_cast<std::uint64_t>(p));
    std::vector<SpacePoint> control;
    std::vector<ImagePosition> left, right, left_others, right_others;
    for (int i : c.table.ControlIndices()) {
      control.push_back(c.table.Space(i));
      left.push_back(c.table.Left(i));
      right.push_back(c.table.Right(i));
    }
    for (const auto& k : c.clicks) {
      left_others.push_back({static_cast<double>(k[0]), static_cast<double>(k[1])});
      right_others.push_back({static_cast<double>(k[2]), static_cast<double>(k[3])});
    }
    MatchOne(control, left, left_others, c.W, c.H, clutter, random, tally, c.Describe() + " left",
             verbose);
    MatchOne(control, right, right_others, c.W, c.H, clutter, random, tally,
             c.Describe() + " right", verbose);
  }
  std::printf(
      "%s: %d photographs (%d pairs), %d other targets and %d clutter each: all nine named %d, "
      "some missing %d, too few %d, ambiguous %d, WRONG %d; processor time per photograph "
      "median %.2f s, worst %.2f s\n",
      GeometryName(geometry), tally.photographs, pairs, 30, clutter, tally.all_found,
      tally.some_missing, tally.too_few, tally.ambiguous, tally.wrong, Quantile(tally.seconds, 0.5),
      Quantile(tally.seconds, 1.0));
  return tally.wrong == 0 ? 0 : 2;
}
