#include "photogrammetry/multi_start.h"

#include <cmath>
#include <functional>

#include "numeric/fpu.h"
#include "numeric/parallel.h"
#include "photogrammetry/camera_model.h"
#include "photogrammetry/scaled_fit.h"

namespace vistrel {

namespace {

// Rotation matrices of two starts whose entries differ by no more than this are one rotation
// written as two Euler triples (the entries are rounded to double, so equal ones agree to a few
// units of 1E-16).
constexpr double kSameRotation = 1e-12;

// Iterations a start runs between two looks at all starts; the looks are the only points where
// starts influence one another, so the outcome does not depend on threads or timing.
constexpr std::int64_t kRoundIterations = 10;
// A running start whose objective is still this many times the best finished start's, and which
// did not halve it during its last round, is creeping along another valley: it stops there.
constexpr long double kHopelessFactor = 10.0L;
constexpr long double kCreepingFactor = 0.5L;
// A running start above the tie band of the best finished start that, at the pace of its last
// round, would need more than this many rounds to reach the band, is falling behind: it stops.
constexpr long double kCatchUpRounds = 5.0L;

void SetModel(TDemoModel1& m, const JointStart& s) {
  m.f = s.f;
  m.u0 = s.u0;
  m.v0 = s.v0;
  // Each photograph's pose, in the order of its DltStart fields.
  static constexpr long double TDemoModel1::*kPose[2][6] = {
      {&TDemoModel1::left_Alpha, &TDemoModel1::left_Beta, &TDemoModel1::left_Gamma,
       &TDemoModel1::left_Tx, &TDemoModel1::left_Ty, &TDemoModel1::left_Tz},
      {&TDemoModel1::right_Alpha, &TDemoModel1::right_Beta, &TDemoModel1::right_Gamma,
       &TDemoModel1::right_Tx, &TDemoModel1::right_Ty, &TDemoModel1::right_Tz}};
  for (int k = 0; k < 2; ++k) {
    const DltStart& d = s.image[k];
    const double pose[6] = {d.Alpha, d.Beta, d.Gamma, d.Cx, d.Cy, d.Cz};
    for (int j = 0; j < 6; ++j) m.*kPose[k][j] = pose[j];
  }
}

// A least-squares start, both stages, in one go: its fit takes milliseconds.
void AdvanceLeastSquares(const JointProblem& problem, StartRun& run) {
  try {
    run.model.emplace(*problem.table);
    FpuClear();
    SetModel(*run.model, *run.start);
    TDemoModel1& model = *run.model;
    auto stage = [&](DistortionTerms terms) {
      const LeastSquaresSummary s =
          FitScaled(model, *problem.table, *problem.space, problem.W, problem.H, terms);
      run.iterations += s.iterations;
      if (s.stop == LeastSquaresStop::kBudget) run.stopped_at_budget = true;
      return model.Objective();
    };
    if (run.staged) run.first_stage_objective = stage(kNoDistortion);
    run.objective = stage(problem.distortion);
  } catch (const std::exception& e) {
    run.failed = true;
    run.failure_reason = e.what();
  }
  run.finished = true;
  FpuClear();
}

// One round of a start: up to kRoundIterations iterations of its minimiser.
void Advance(const JointProblem& problem, StartRun& run) {
  if (run.least_squares) return AdvanceLeastSquares(problem, run);
  const PointTable& table = *problem.table;
  const DistortionTerms distortion = problem.distortion;
  try {
    if (!run.model) {
      run.model.emplace(table);
      FpuClear();
      SetModel(*run.model, *run.start);
      run.final_stage = !run.staged;
      run.round_start = run.model->Objective();
    }
    TDemoModel1& model = *run.model;
    if (!run.fit) {
      std::vector<long double*> params;
      for (const JointField& field : FittedFields(run.final_stage ? distortion : kNoDistortion))
        params.push_back(&(model.*field.model));
      run.fit = CreateFit(params, model.Bound());
    }
    const std::int64_t before = run.fit->Iterations();
    bool ended;
    try {
      ended = run.fit->FitFor(kRoundIterations);
    } catch (...) {
      run.iterations += run.fit->Iterations() - before;
      throw;
    }
    run.iterations += run.fit->Iterations() - before;
    run.objective = model.Objective();
    if (!ended) return;
    if (!run.final_stage) {
      run.first_stage_objective = run.objective;
      run.final_stage = true;
      run.fit.reset();
      return;
    }
    run.finished = true;
  } catch (const std::exception& e) {
    run.finished = true;
    run.failed = true;
    run.failure_reason = e.what();
  }
  run.fit.reset();
  FpuClear();  // the copy into the camera rounds whatever the minimiser left, faults included
}

}  // namespace

bool JointStart::SameCamerasAs(const JointStart& o) const {
  if (f != o.f || u0 != o.u0 || v0 != o.v0) return false;
  for (int k = 0; k < 2; ++k) {
    const DltStart& a = image[k];
    const DltStart& b = o.image[k];
    if (a.Cx != b.Cx || a.Cy != b.Cy || a.Cz != b.Cz) return false;
    const Rotation ra = RotationMatrix(a.Alpha, a.Beta, a.Gamma);
    const Rotation rb = RotationMatrix(b.Alpha, b.Beta, b.Gamma);
    for (int e = 0; e < 9; ++e)
      if (std::fabs(ra[e] - rb[e]) > kSameRotation) return false;
  }
  return true;
}

JointStart MakeJointStart(const DltStart& left, const DltStart& right, int W, int H) {
  FpuClear();
  JointStart s;
  s.f = (static_cast<long double>(left.F) + right.F) / 2.0L;
  s.u0 = static_cast<long double>(W) / 2.0L;
  s.v0 = static_cast<long double>(H) / 2.0L;
  s.image[0] = left;
  s.image[1] = right;
  return s;
}

bool RunStarts(const JointProblem& problem, std::vector<StartRun>& runs, int threads, bool budgets,
               const RoundHook& hook) {
  auto running = [](const StartRun& run) { return run.start && run.same_as < 0 && !run.finished; };
  for (;;) {
    if (hook) {
      int ended = 0;
      for (const StartRun& run : runs) ended += running(run) ? 0 : 1;
      if (!hook(ended, static_cast<int>(runs.size()))) return false;
    }
    std::vector<std::function<void()>> tasks;
    for (StartRun& run : runs)
      if (running(run)) tasks.push_back([&problem, &run] { Advance(problem, run); });
    if (tasks.empty()) return true;
    RunInParallel(tasks, threads);

    std::optional<long double> best;
    for (const StartRun& run : runs)
      if (run.finished && !run.failed && !run.abandoned && (!best || run.objective < *best))
        best = run.objective;
    for (StartRun& run : runs) {
      if (!running(run)) continue;
      const long double progress = run.round_start - run.objective;
      const long double band = best ? *best * (1.0L + kTieTolerance) : 0;
      const bool hopeless = best && run.objective > kHopelessFactor * *best &&
                            run.objective > kCreepingFactor * run.round_start;
      const bool behind =
          best && run.objective > band && progress * kCatchUpRounds < run.objective - band;
      if (hopeless || behind) {
        run.finished = true;
        run.abandoned = true;
        run.fit.reset();
      } else if (budgets && run.iterations >= kMinimiserBudget) {
        // Still a candidate: its objective is what it reached.
        run.finished = true;
        run.stopped_at_budget = true;
        run.fit.reset();
      }
      run.round_start = run.objective;
    }
  }
}

int PickWinner(const std::vector<std::optional<long double>>& objectives, int classic) {
  int winner = -1;
  for (std::size_t i = 0; i < objectives.size(); ++i)
    if (objectives[i] && (winner < 0 || *objectives[i] < *objectives[winner]))
      winner = static_cast<int>(i);
  if (winner >= 0 && classic >= 0 && winner != classic && objectives[classic] &&
      *objectives[classic] <= *objectives[winner] * (1.0L + kTieTolerance))
    winner = classic;
  return winner;
}

}  // namespace vistrel
