#include "photogrammetry/calibration.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "numeric/fpu.h"
#include "photogrammetry/dlt.h"
#include "photogrammetry/joint_fields.h"
#include "photogrammetry/multi_start.h"
#include "photogrammetry/scaled_fit.h"

namespace vistrel {

namespace {

// Start values, or the fault that left a start without them.
struct StartValues {
  std::optional<JointStart> start;
  std::exception_ptr fault;
};

template <typename Make>
StartValues TryStart(Make make) {
  StartValues v;
  try {
    v.start = make();
  } catch (const std::exception&) {
    v.fault = std::current_exception();
  }
  return v;
}

// The decomposition start: both photographs' decomposed cameras, f their mean focal length and
// the principal point their mean (the photograph's centre when that lies outside it).
JointStart DecompositionStart(const ControlImage (&images)[2], const SpaceNormalisation& space,
                              int W, int H) {
  const CameraDecomposition left = DecomposeNormalisedDlt(images[0], space, W, H);
  const CameraDecomposition right = DecomposeNormalisedDlt(images[1], space, W, H);
  JointStart s = MakeJointStart(left.start, right.start, W, H);
  const long double u0 = (left.u0 + right.u0) / 2, v0 = (left.v0 + right.v0) / 2;
  if (u0 >= 0 && u0 <= W && v0 >= 0 && v0 <= H) {
    s.u0 = u0;
    s.v0 = v0;
  }
  return s;
}

// The starts of the joint fit, in their fixed order, with their start values; the classic
// start comes first. With the classic start alone, its first-stage failure throws here.
std::vector<StartRun> MakeStarts(const PointTable& table, const JointProblem& problem,
                                 const CalibrationOptions& options) {
  const int W = problem.W, H = problem.H;
  const ControlImage images[2] = {LeftImage(table), RightImage(table)};
  std::array<double, 11> L[2];
  std::exception_ptr dlt_fault;
  try {
    for (int k = 0; k < 2; ++k) L[k] = FitDlt(images[k], W, H);
  } catch (const std::exception&) {
    if (options.single_start) throw;
    dlt_fault = std::current_exception();
  }
  auto from_dlt = [&](auto make) {
    if (dlt_fault) return StartValues{std::nullopt, dlt_fault};
    return TryStart(make);
  };
  const StartValues classic = from_dlt([&] {
    const DltStart left = DecomposeDlt(L[0]);
    const DltStart right = DecomposeDlt(L[1]);
    return MakeJointStart(left, right, W, H);
  });
  if (options.single_start && classic.fault) std::rethrow_exception(classic.fault);

  std::vector<StartRun> runs;
  auto add_run = [&runs](const char* name, bool staged, bool least_squares,
                         const StartValues& values) {
    StartRun& r = runs.emplace_back();
    r.name = name;
    r.staged = staged;
    r.least_squares = least_squares;
    r.start = values.start;
    r.first_stage_fault = values.fault;
  };
  add_run("dlt", false, false, classic);
  if (options.single_start) return runs;

  // The least-squares starts need the scaling; without it (coincident points) they fail alike.
  auto scaled = [&](StartValues values) {
    if (!problem.space) values = StartValues{std::nullopt, values.fault};
    return values;
  };
  const StartValues reprojection = scaled(from_dlt([&] {
    const DltStart left = DecomposeDltByReprojection(L[0], images[0], W, H);
    const DltStart right = DecomposeDltByReprojection(L[1], images[1], W, H);
    return MakeJointStart(left, right, W, H);
  }));
  const StartValues decomposition =
      problem.space ? TryStart([&] { return DecompositionStart(images, *problem.space, W, H); })
                    : StartValues{};
  add_run("reprojection", false, true, reprojection);
  add_run("decomposition", false, true, decomposition);
  if (problem.distortion != kNoDistortion) {
    add_run("dlt-staged", true, false, classic);
    add_run("reprojection-staged", true, true, reprojection);
    add_run("decomposition-staged", true, true, decomposition);
  }
  // A start with the same cameras as an earlier one of the same kind shares its fit.
  for (std::size_t i = 0; i < runs.size(); ++i)
    for (std::size_t j = 0; j < i && runs[i].same_as < 0; ++j)
      if (runs[i].start && runs[j].start && runs[i].staged == runs[j].staged &&
          runs[i].least_squares == runs[j].least_squares &&
          runs[i].start->SameCamerasAs(*runs[j].start))
        runs[i].same_as = static_cast<int>(j);
  return runs;
}

StartRecord RecordOf(const std::vector<StartRun>& runs, const StartRun& run, bool budgets) {
  const StartRun& done = Done(runs, run);
  StartRecord record;
  record.name = run.name;
  record.same_as = run.same_as;
  if (!done.start) {
    record.failed = true;
    if (done.first_stage_fault) {
      try {
        std::rethrow_exception(done.first_stage_fault);
      } catch (const std::exception& e) {
        record.failure_reason = e.what();
      }
    }
    return record;
  }
  record.failed = done.failed;
  record.abandoned = done.abandoned;
  record.stopped_at_budget = done.stopped_at_budget;
  record.budget = done.least_squares ? kLeastSquaresBudget : budgets ? kMinimiserBudget : 0;
  record.failure_reason = done.failure_reason;
  record.objective = done.objective;
  record.iterations = done.iterations;
  if (done.model) {
    CopyToCamera(*done.model, record.camera);
    FpuClear();
  }
  return record;
}

// The F test of the distortion coefficients. The staged starts' first stages are the
// 15-parameter calibration's fits: pick among them as it picks, to compare with what it would
// report.
std::optional<DistortionSignificance> TestDistortion(const std::vector<StartRun>& runs,
                                                     long double with, int observations) {
  std::vector<std::optional<long double>> first_stages;
  int classic = -1;
  for (const StartRun& run : runs) {
    if (run.staged && classic < 0) classic = static_cast<int>(first_stages.size());
    first_stages.push_back(run.staged ? Done(runs, run).first_stage_objective : std::nullopt);
  }
  const int pick = PickWinner(first_stages, classic);
  if (pick < 0 || !(with > 0)) return std::nullopt;
  return TestDistortionTerms(*first_stages[pick], with, observations);
}

// The calibration fitting the fifteen parameters and the distortion coefficients named.
CalibrationOutcome CalibrateWith(const PointTable& table, int W, int H, DistortionTerms distortion,
                                 TCameraParameters& camera, int& object_point_count,
                                 const CalibrationOptions& options) {
  const int previous_count = object_point_count;
  object_point_count = 0;
  JointProblem problem;
  problem.table = &table;
  problem.W = W;
  problem.H = H;
  problem.distortion = distortion;
  try {
    problem.space = NormaliseSpace(table);
  } catch (const Exception&) {
    // The least-squares starts then have no start values.
  }
  std::vector<StartRun> runs = MakeStarts(table, problem, options);
  bool any_start = false;
  for (const StartRun& run : runs) any_start = any_start || run.start.has_value();
  if (!any_start) std::rethrow_exception(runs[0].first_stage_fault);

  const bool budgets = !options.single_start;
  const RoundHook hook = [&options](int ended, int starts) {
    if (options.progress) options.progress(CalibrationProgress{ended, starts});
    return !options.stop.stop_requested();
  };
  if (!RunStarts(problem, runs, options.threads, budgets, hook)) {
    object_point_count = previous_count;
    throw CalibrationCancelled();
  }

  CalibrationOutcome outcome;
  for (const JointField& field : FittedFields(distortion))
    outcome.fitted_names.push_back(field.name);
  std::vector<std::optional<long double>> objectives;
  for (const StartRun& run : runs) {
    const StartRecord& record = outcome.starts.emplace_back(RecordOf(runs, run, budgets));
    objectives.push_back(record.failed || record.abandoned ? std::nullopt
                                                           : std::optional(record.objective));
  }
  int winner = PickWinner(objectives, 0);
  const StartRun& dlt = runs[0];
  if (winner < 0) {
    // Every start failed: report as the classic method does, with its last trial values.
    if (!dlt.start) std::rethrow_exception(dlt.first_stage_fault);
    outcome.joint_fit_failed = true;
    outcome.failure_reason = dlt.failure_reason;
    winner = 0;
  }
  outcome.winner = winner;

  CopyToCamera(*Done(runs, runs[winner]).model, camera);
  FpuClear();
  if (distortion == kAllDistortion && !options.single_start && !outcome.joint_fit_failed)
    outcome.distortion_significance =
        TestDistortion(runs, outcome.starts[winner].objective, ObservationCount(table));
  return outcome;
}

// The radial model adds a1 alone.
constexpr DistortionTerms kRadialDistortion = 1u;

// "a1 significant (F 12.3 > 4.35)", three digits.
std::string FTest(const char* what, long double F, long double critical) {
  const bool significant = F > critical;
  char text[96];
  std::snprintf(text, sizeof text, "%s %s (F %.3Lg %s %.3Lg)", what,
                significant ? "significant" : "not significant", F,
                significant ? ">" : "<=", critical);
  return text;
}

}  // namespace

LensModelChoice ChooseLensModel(long double none, long double radial, long double full,
                                int observations) {
  // Nested tests: a1 against none (1 and n - 16 degrees of freedom), the five against none and
  // the four others against radial (5 and 4 and n - 20).
  const long double radial_critical = FCritical95(1, observations - 16);
  const long double full_critical = FCritical95(5, observations - 20);
  const long double rest_critical = FCritical95(4, observations - 20);
  const long double f_radial = NestedF(none, radial, 1, observations - 16);
  const long double f_full = NestedF(none, full, 5, observations - 20);
  const long double f_rest = NestedF(radial, full, 4, observations - 20);
  const std::string a1 = FTest("a1", f_radial, radial_critical);
  LensModelChoice choice;
  if (!(f_radial > radial_critical) && !(f_full > full_critical)) {
    choice.model = LensModel::kNone;
    choice.reason = a1 + ", " + FTest("five coefficients", f_full, full_critical);
  } else {
    const bool rest = f_rest > rest_critical;
    choice.model = rest ? LensModel::kFull : LensModel::kRadial;
    choice.reason = a1 + ", " + FTest("a2 a3 p1 p2", f_rest, rest_critical);
  }
  return choice;
}

const char* LensModelName(LensModel model) {
  switch (model) {
    case LensModel::kNone:
      return "none";
    case LensModel::kRadial:
      return "radial";
    case LensModel::kFull:
      return "full";
    case LensModel::kAuto:
      break;
  }
  return "auto";
}

std::optional<LensModel> LensModelFromName(std::string_view name) {
  for (const LensModel m :
       {LensModel::kNone, LensModel::kRadial, LensModel::kFull, LensModel::kAuto})
    if (name == LensModelName(m)) return m;
  return std::nullopt;
}

CalibrationOutcome Calibrate(const PointTable& table, int W, int H, bool distortion,
                             TCameraParameters& camera, int& object_point_count,
                             const CalibrationOptions& options) {
  return CalibrateWith(table, W, H, distortion ? kAllDistortion : kNoDistortion, camera,
                       object_point_count, options);
}

CalibrationOutcome CalibrateLensModel(const PointTable& table, int W, int H, LensModel model,
                                      TCameraParameters& camera, int& object_point_count,
                                      const CalibrationOptions& options) {
  if (model != LensModel::kAuto) {
    const DistortionTerms terms = model == LensModel::kNone     ? kNoDistortion
                                  : model == LensModel::kRadial ? kRadialDistortion
                                                                : kAllDistortion;
    CalibrationOutcome outcome =
        CalibrateWith(table, W, H, terms, camera, object_point_count, options);
    outcome.lens_model = LensModelName(model);
    outcome.lens_model_reason = "chosen";
    return outcome;
  }
  // All three, then the simplest that no richer one beats significantly.
  TCameraParameters cameras[3] = {camera, camera, camera};
  CalibrationOutcome outcomes[3];
  const DistortionTerms terms[3] = {kNoDistortion, kRadialDistortion, kAllDistortion};
  // A count of its own, so that a cancel in the second or third fit leaves the caller's as it was.
  int count = object_point_count;
  for (int k = 0; k < 3; ++k)
    outcomes[k] = CalibrateWith(table, W, H, terms[k], cameras[k], count, options);
  int pick = 0;
  std::string reason;
  const auto objective = [&](int k) { return outcomes[k].starts[outcomes[k].winner].objective; };
  const bool all_fitted = !outcomes[0].joint_fit_failed && !outcomes[1].joint_fit_failed &&
                          !outcomes[2].joint_fit_failed && objective(1) > 0 && objective(2) > 0;
  if (!all_fitted) {
    // Without three fits to compare, the fewest parameters that fitted.
    while (pick < 2 && outcomes[pick].joint_fit_failed) ++pick;
    reason = "a calibration failed, no test";
  } else {
    const LensModelChoice choice =
        ChooseLensModel(objective(0), objective(1), objective(2), ObservationCount(table));
    pick = static_cast<int>(choice.model);
    reason = choice.reason;
  }
  camera = cameras[pick];
  object_point_count = 0;
  CalibrationOutcome outcome = outcomes[pick];
  outcome.lens_model = LensModelName(pick == 0   ? LensModel::kNone
                                     : pick == 1 ? LensModel::kRadial
                                                 : LensModel::kFull);
  outcome.lens_model_reason = "auto: " + reason;
  return outcome;
}

}  // namespace vistrel
