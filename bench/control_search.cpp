// From two photographs and the surveyor's list to named control points, without a click: random
// synthetic pairs (tools/stereo_generator.h) rendered as photographs (tools/target_render.h) with
// the nine control targets and the 30 check points as targets among clutter, each photograph's
// targets detected (DetectTargets) and matched to the list (SearchControlTargets). Reports the
// control targets detected, the pairs fully found, the wrong names (a control point given a target
// that is not its own: the one outcome that must never happen) and the processor time of
// detection and matching per pair.
//
//   control_search_bench [--geometry G] [--pairs N] [--first-seed S] [--clutter C] [--verbose]

#include "workflow/control_search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "photogrammetry/target_detection.h"
#include "tools/stereo_generator.h"
#include "tools/target_render.h"

namespace {

using namespace vistrel;
using namespace vistrel::synthetic;

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// One photograph: the true centres of its control targets, and what was detected.
struct Photo {
  std::vector<ImagePosition> control;
  DetectedPhotograph detected;
  int control_detected = 0;  // control targets with a detection within a pixel
};

Photo RenderAndDetect(const StereoCase& c, const ExternalParameters& camera,
                      const std::vector<std::array<double, 3>>& control_space, int clutter,
                      std::uint32_t seed, double& seconds) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  FieldDrawing drawing;
  drawing.width = c.W;
  drawing.height = c.H;
  drawing.clutter = clutter;
  drawing.seed = seed;
  const double radius = 0.002 * c.W;  // 8 px on a 4000-pixel photograph
  Photo photo;
  auto place = [&](const std::array<double, 3>& p, bool is_control) {
    const ImagePoint q = ProjectToImage(c.truth.internal, camera, p[0], p[1], p[2]);
    const double x = static_cast<double>(q.x), y = static_cast<double>(q.y);
    // Targets whose cards would overlap are not both placed (a control target always is).
    for (const FieldTarget& t : drawing.placed)
      if (std::hypot(t.cx - x, t.cy - y) < 4 * radius) {
        if (!is_control) return;
      }
    FieldTarget t;
    t.cx = x;
    t.cy = y;
    t.radius = radius * (0.8 + 0.4 * unit(random));
    t.tilt_deg = 40 * unit(random);
    t.orientation_deg = 180 * unit(random);
    drawing.placed.push_back(t);
    if (is_control) photo.control.push_back({x, y});
  };
  for (const auto& p : control_space) place(p, true);
  for (const auto& p : c.checks) place(p, false);
  const FieldPicture field = RenderTargetField(drawing);
  const double start = ThreadSeconds();
  const GreyView view{field.picture.width, field.picture.height, field.picture.grey.data()};
  for (const TargetCentre& t : DetectTargets(view)) photo.detected.targets.push_back({t.x, t.y});
  seconds += ThreadSeconds() - start;
  photo.detected.width = c.W;
  photo.detected.height = c.H;
  for (const ImagePosition& truth : photo.control)
    for (const ImagePosition& d : photo.detected.targets)
      if (std::hypot(d.x - truth.x, d.y - truth.y) < 1.0) {
        ++photo.control_detected;
        break;
      }
  return photo;
}

double Quantile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
  Geometry geometry = Geometry::kOrdinary;
  int pairs = 10, clutter = 200;
  std::uint64_t first = 1;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--geometry" && more) {
      const std::string g = argv[++i];
      bool known = false;
      for (Geometry candidate :
           {Geometry::kOrdinary, Geometry::kLongLens, Geometry::kSteep, Geometry::kLookingDown,
            Geometry::kAnyRoll, Geometry::kNearlyCoplanar})
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
                   "usage: control_search_bench [--geometry G] [--pairs N] [--first-seed S] "
                   "[--clutter C] [--verbose]\n");
      return 1;
    }
  }
  int control_targets = 0, control_detected = 0, fully_found = 0, wrong = 0, ambiguous = 0,
      too_few = 0;
  std::vector<double> seconds;
  for (int p = 0; p < pairs; ++p) {
    const StereoCase c = MakeStereoCase(geometry, first + static_cast<std::uint64_t>(p));
    std::vector<std::array<double, 3>> space;
    std::vector<CoordinateRow> rows;
    for (int i : c.table.ControlIndices()) {
      const SpacePoint s = c.table.Space(i);
      space.push_back({s.X, s.Y, s.Z});
      CoordinateRow row;
      row.name = c.table.Name(i);
      row.x = s.X;
      row.y = s.Y;
      row.z = s.Z;
      rows.push_back(row);
    }
    double time = 0;
    const Photo left = RenderAndDetect(c, c.truth.left, space, clutter, 2 * p + 1, time);
    const Photo right = RenderAndDetect(c, c.truth.right, space, clutter, 2 * p + 2, time);
    const double start = ThreadSeconds();
    const ControlSearch search = SearchControlTargets(rows, left.detected, right.detected);
    time += ThreadSeconds() - start;
    seconds.push_back(time);
    control_targets += 2 * static_cast<int>(rows.size());
    control_detected += left.control_detected + right.control_detected;
    int wrong_here = 0;
    for (std::size_t k = 0; k < search.points.size(); ++k) {
      const FoundControlPoint& f = search.points[k];
      if (f.left && std::hypot(f.left->x - left.control[k].x, f.left->y - left.control[k].y) > 1)
        ++wrong_here;
      if (f.right &&
          std::hypot(f.right->x - right.control[k].x, f.right->y - right.control[k].y) > 1)
        ++wrong_here;
    }
    wrong += wrong_here > 0 ? 1 : 0;
    ambiguous += search.ambiguous ? 1 : 0;
    too_few += !search.ambiguous && search.found < 6 ? 1 : 0;
    fully_found += search.found == static_cast<int>(rows.size()) && wrong_here == 0 ? 1 : 0;
    if (verbose || wrong_here > 0) {
      std::printf(
          "%s: found %d of %zu, detected %d + %d of the control targets, %zu + %zu "
          "targets, %s%s%.2f s\n",
          c.Describe().c_str(), search.found, rows.size(), left.control_detected,
          right.control_detected, left.detected.targets.size(), right.detected.targets.size(),
          search.ambiguous ? "ambiguous, " : "", wrong_here > 0 ? "WRONG, " : "", time);
    }
  }
  std::printf(
      "%s, %d pairs, %d clutter shapes a photograph: control targets detected %d of %d; pairs "
      "fully found %d, too few %d, ambiguous %d, WRONG %d; processor time per pair (detection "
      "and matching) median %.2f s, worst %.2f s\n",
      GeometryName(geometry), pairs, clutter, control_detected, control_targets, fully_found,
      too_few, ambiguous, wrong, Quantile(seconds, 0.5), Quantile(seconds, 1.0));
  return wrong == 0 ? 0 : 2;
}
