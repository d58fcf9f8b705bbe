#pragma once

// The joint fit from several starts: each start's own model and minimiser, run side by side in
// rounds, and the one rule that picks the result.

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "numeric/fit.h"
#include "photogrammetry/dlt.h"
#include "photogrammetry/joint_fields.h"
#include "photogrammetry/models.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

// Objectives closer than this (relative) are a tie, which the classic start wins. The minimiser
// stops once an iteration gains less than 1E-6 relatively, so two starts that reach the same
// minimum by different paths end up to about that far apart (1.1E-6 on the demo pair); distinct
// minima differ by far more.
inline constexpr long double kTieTolerance = 1e-5L;

// Start values of the joint fit, as the decompositions give them.
struct JointStart {
  long double f = 0, u0 = 0, v0 = 0;
  DltStart image[2];

  // The same cameras: equal focal length, principal point and centres, and rotations that agree
  // to rounding (equivalent Euler triples give one rotation). Such starts lead into the same
  // minimum, so one fit serves both.
  bool SameCamerasAs(const JointStart& o) const;
};

// f the mean of both focal estimates, the principal point at (W / 2, H / 2).
JointStart MakeJointStart(const DltStart& left, const DltStart& right, int W, int H);

// What every start fits: the control points, the left photograph's pixel size, the model, and
// the scaling of the least-squares starts (absent when the points coincide).
struct JointProblem {
  const PointTable* table = nullptr;
  int W = 0, H = 0;
  DistortionTerms distortion = kNoDistortion;
  std::optional<SpaceNormalisation> space;
};

// One start's joint fit: its own model and minimiser, so starts can run side by side.
struct StartRun {
  std::string name;
  // Fitted by least squares in scaled parameters (all of it in one round), else by the damped
  // Newton minimiser of the joint objective in rounds.
  bool least_squares = false;
  std::optional<JointStart> start;  // empty: the first stage failed for this start
  std::exception_ptr first_stage_fault;
  bool staged = false;  // a 15-parameter fit first, then the 20-parameter fit from its result
  int same_as = -1;     // an earlier start with the same cameras whose fit this one shares

  // Progress, changed only by the run itself (on any thread) and between rounds (on the
  // caller's).
  std::optional<TDemoModel1> model;
  IFit fit;
  bool final_stage = false;
  bool finished = false;  // ended: fitted, failed or abandoned
  bool failed = false;
  bool abandoned = false;
  bool stopped_at_budget = false;  // ended on its iteration budget, not converged
  std::string failure_reason;
  long double objective = 0;    // at the end of the fit, or of the last round while running
  long double round_start = 0;  // objective when the last round began
  std::optional<long double> first_stage_objective;  // a staged start's 15-parameter result
  std::int64_t iterations = 0;
};

// Iterations the damped Newton minimiser may take beside other starts; the classic start alone
// runs without a budget, as the classic method does.
inline constexpr std::int64_t kMinimiserBudget = 500;

// Called on the caller's thread between rounds with the starts ended and all starts; returns
// false to stop the calibration there.
using RoundHook = std::function<bool(int ended, int starts)>;

// Runs every start that has start values and no twin to its end, in rounds, stopping between
// rounds those that cannot win: hopeless ones, those falling behind the best, and those over
// their budget (when `budgets`). The problem's `distortion` names the coefficients the final fit
// adds (after the first stage of a staged start). Threads as RunInParallel; the outcome does not
// depend on them. Returns false when `hook` stopped it.
bool RunStarts(const JointProblem& problem, std::vector<StartRun>& runs, int threads, bool budgets,
               const RoundHook& hook);

// The run whose fit a start's record shows: its twin's when it shares one.
inline const StartRun& Done(const std::vector<StartRun>& runs, const StartRun& run) {
  return run.same_as >= 0 ? runs[run.same_as] : run;
}

// The rule that picks a result among candidates: the lowest objective wins, the earlier on
// equal ones; the classic candidate wins when it is within kTieTolerance of that, so that where
// the classic method finds the best minimum the result is exactly its own. Empty entries are
// no candidates; -1 when there is none. `classic` is an index or -1.
int PickWinner(const std::vector<std::optional<long double>>& objectives, int classic);

}  // namespace vistrel
