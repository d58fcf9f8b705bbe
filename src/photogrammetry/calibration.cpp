#include "photogrammetry/calibration.h"

#include <exception>
#include <optional>
#include <vector>

#include "numeric/fpu.h"
#include "photogrammetry/dlt.h"
#include "photogrammetry/joint_fields.h"
#include "photogrammetry/multi_start.h"

namespace vistrel {

namespace {

// The starts of the joint fit, in their fixed order, with their start values; the classic
// start comes first. Throws when the first stage fails for every start alike.
std::vector<StartRun> MakeStarts(const PointTable& table, int W, int H, bool distortion,
                                 const CalibrationOptions& options) {
  const ControlImage images[2] = {LeftImage(table), RightImage(table)};
  std::array<double, 11> L[2];
  for (int k = 0; k < 2; ++k) L[k] = FitDlt(table, images[k].x, images[k].y, W, H);

  std::vector<StartRun> runs;
  auto add_run = [&runs](const char* name, bool staged) -> StartRun& {
    StartRun& r = runs.emplace_back();
    r.name = name;
    r.staged = staged;
    return r;
  };
  // The classic start; a fault in its arcsines or arctangent leaves it out but not the others.
  // Everything else that fails here (a singular coefficient matrix) fails every start alike.
  std::optional<JointStart> classic;
  std::exception_ptr classic_fault;
  try {
    const DltStart left = DecomposeDlt(L[0]);
    const DltStart right = DecomposeDlt(L[1]);
    classic = MakeJointStart(left, right, W, H);
  } catch (const EMathError&) {
    if (options.single_start) throw;
    classic_fault = std::current_exception();
  }
  StartRun& dlt = add_run("dlt", false);
  dlt.start = classic;
  dlt.first_stage_fault = classic_fault;
  if (options.single_start) return runs;

  std::optional<JointStart> reprojection;
  try {
    const DltStart left = DecomposeDltByReprojection(L[0], images[0], W, H);
    const DltStart right = DecomposeDltByReprojection(L[1], images[1], W, H);
    reprojection = MakeJointStart(left, right, W, H);
  } catch (const EMathError&) {
    if (!classic) std::rethrow_exception(classic_fault);
    throw;
  }
  add_run("reprojection", false).start = reprojection;
  if (distortion) {
    StartRun& dlt_staged = add_run("dlt-staged", true);
    dlt_staged.start = classic;
    dlt_staged.first_stage_fault = classic_fault;
    add_run("reprojection-staged", true).start = reprojection;
  }
  // A start with the same cameras as an earlier one of the same kind shares its fit.
  for (std::size_t i = 0; i < runs.size(); ++i)
    for (std::size_t j = 0; j < i && runs[i].same_as < 0; ++j)
      if (runs[i].start && runs[j].start && runs[i].staged == runs[j].staged &&
          runs[i].start->SameCamerasAs(*runs[j].start))
        runs[i].same_as = static_cast<int>(j);
  return runs;
}

StartRecord RecordOf(const std::vector<StartRun>& runs, const StartRun& run) {
  const StartRun& done = Done(runs, run);
  StartRecord record;
  record.name = run.name;
  record.same_as = run.same_as;
  if (!done.start) {
    record.failed = true;
    try {
      std::rethrow_exception(done.first_stage_fault);
    } catch (const std::exception& e) {
      record.failure_reason = e.what();
    }
    return record;
  }
  record.failed = done.failed;
  record.abandoned = done.abandoned;
  record.failure_reason = done.failure_reason;
  record.objective = done.objective;
  record.iterations = done.iterations;
  return record;
}

// The F test of the distortion coefficients. The staged starts' first stages are the
// 15-parameter calibration's fits: pick among them as it picks, to compare with what it would
// report.
std::optional<DistortionSignificance> TestDistortion(const std::vector<StartRun>& runs,
                                                     long double with) {
  std::vector<std::optional<long double>> first_stages;
  int classic = -1;
  for (const StartRun& run : runs) {
    if (run.staged && classic < 0) classic = static_cast<int>(first_stages.size());
    first_stages.push_back(run.staged ? Done(runs, run).first_stage_objective : std::nullopt);
  }
  const int pick = PickWinner(first_stages, classic);
  if (pick < 0 || !(with > 0)) return std::nullopt;
  return TestDistortionTerms(*first_stages[pick], with);
}

}  // namespace

CalibrationOutcome Calibrate(const PointTable& table, int W, int H, bool distortion,
                             TCameraParameters& camera, int& object_point_count,
                             const CalibrationOptions& options) {
  object_point_count = 0;
  std::vector<StartRun> runs = MakeStarts(table, W, H, distortion, options);
  RunStarts(table, distortion, runs, options.threads);

  CalibrationOutcome outcome;
  for (const JointField& field : FittedFields(distortion ? kAllDistortion : kNoDistortion))
    outcome.fitted_names.push_back(field.name);
  std::vector<std::optional<long double>> objectives;
  for (const StartRun& run : runs) {
    const StartRecord& record = outcome.starts.emplace_back(RecordOf(runs, run));
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
  if (distortion && !options.single_start && !outcome.joint_fit_failed)
    outcome.distortion_significance = TestDistortion(runs, outcome.starts[winner].objective);
  return outcome;
}

}  // namespace vistrel
