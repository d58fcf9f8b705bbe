#include "photogrammetry/calibration.h"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <cmath>
#include <exception>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "numeric/fit.h"
#include "numeric/fpu.h"
#include "numeric/matrix.h"
#include "photogrammetry/calibration_detail.h"
#include "photogrammetry/models.h"

namespace vistrel {

namespace {

constexpr double kNoCandidateError = 1e10;

// Objectives closer than this (relative) are a tie, which the "dlt" start wins. The minimiser
// stops once an iteration gains less than 1E-6 relatively, so two starts that reach the same
// minimum by different paths end up to about that far apart (1.1E-6 on the demo pair); distinct
// minima differ by far more.
constexpr long double kTieTolerance = 1e-5L;

// Rotation matrices of two starts whose entries differ by no more than this are one rotation
// written as two Euler triples (the entries are rounded to double, so equal ones agree to a few
// units of 1E-16).
constexpr double kSameRotation = 1e-12;

long double RadToDeg(long double radians) { return radians * 180.0L / kPi; }

std::vector<JointField> FittedFields(bool distortion) {
  // The table lists the distortion coefficients first, so the 15-parameter fit is its tail.
  return std::vector<JointField>(std::begin(kJointFields) + (distortion ? 0 : 5),
                                 std::end(kJointFields));
}

// Rounds every field of the model into its place in the camera parameters.
void CopyToCamera(const TDemoModel1& m, TCameraParameters& camera) {
  for (const JointField& field : kJointFields)
    CameraField(camera, field) = static_cast<double>(m.*field.model);
}

// Start values of the joint fit, as the decompositions give them.
struct JointStart {
  long double f = 0, u0 = 0, v0 = 0;
  DltStart image[2];

  // The same cameras: equal focal length, principal point and centres, and rotations that agree
  // to rounding (equivalent Euler triples give one rotation). Such starts lead into the same
  // minimum, so one fit serves both.
  bool SameCamerasAs(const JointStart& o) const {
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
};

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

// One start's joint fit: its own model and minimiser, so starts can run side by side.
struct StartRun {
  std::string name;
  std::optional<JointStart> start;  // empty: the first stage failed for this start
  std::exception_ptr first_stage_fault;
  bool staged = false;  // a 15-parameter fit first, then the 20-parameter fit from its result
  int same_as = -1;

  // Progress, changed only by Advance (on any thread) and between rounds (on the caller's).
  std::optional<TDemoModel1> model;
  IFit fit;
  bool final_stage = false;
  bool finished = false;  // ended: fitted, failed or abandoned
  bool failed = false;
  bool abandoned = false;
  std::string failure_reason;
  long double objective = 0;    // at the end of the fit, or of the last round while running
  long double round_start = 0;  // objective when the last round began
  std::optional<long double> first_stage_objective;  // a staged start's 15-parameter result
  std::int64_t iterations = 0;
};

// Iterations a start runs between two looks at all starts; the looks are the only points where
// starts influence one another, so the outcome does not depend on threads or timing.
constexpr std::int64_t kRoundIterations = 20;
// A running start whose objective is still this many times the best finished start's, and which
// did not halve it during its last round, is creeping along another valley: it stops there.
constexpr long double kHopelessFactor = 10.0L;
constexpr long double kCreepingFactor = 0.5L;

void Advance(const PointTable& table, bool distortion, StartRun& run) {
  try {
    if (!run.model) {
      run.model.emplace(table);
      FpuClear();
      SetModel(*run.model, *run.start);
      run.final_stage = !run.staged;
      run.round_start = run.model->Objective();
    }
    TDemoModel1& model = *run.model;
    const bool with_distortion = run.final_stage && distortion;
    if (!run.fit) {
      std::vector<long double*> params;
      for (const JointField& field : FittedFields(with_distortion))
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

// Runs the tasks on up to `threads` threads (0: one per core). Each task touches only its own
// slot, so the results do not depend on the number of threads or their timing.
void RunAll(std::vector<std::function<void()>>& tasks, int threads) {
  unsigned n = threads > 0 ? static_cast<unsigned>(threads) : std::thread::hardware_concurrency();
  n = std::max(1u, std::min<unsigned>(n, static_cast<unsigned>(tasks.size())));
  if (n == 1) {
    for (auto& task : tasks) task();
    return;
  }
  // Workers compute exactly as the calling thread would: same rounding and precision.
  std::fenv_t env;
  std::fegetenv(&env);
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    std::fesetenv(&env);
    for (std::size_t i; (i = next.fetch_add(1)) < tasks.size();) tasks[i]();
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < n; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
}

// Runs every start to its end in rounds, stopping hopeless ones between rounds.
void RunStarts(const PointTable& table, bool distortion, std::vector<StartRun>& runs, int threads) {
  for (;;) {
    std::vector<std::function<void()>> tasks;
    for (StartRun& run : runs)
      if (run.start && run.same_as < 0 && !run.finished)
        tasks.push_back([&table, distortion, &run] { Advance(table, distortion, run); });
    if (tasks.empty()) return;
    RunAll(tasks, threads);

    std::optional<long double> best;
    for (const StartRun& run : runs)
      if (run.finished && !run.failed && !run.abandoned && (!best || run.objective < *best))
        best = run.objective;
    for (StartRun& run : runs) {
      if (!run.start || run.same_as >= 0 || run.finished) continue;
      if (best && run.objective > kHopelessFactor * *best &&
          run.objective > kCreepingFactor * run.round_start) {
        run.finished = true;
        run.abandoned = true;
        run.fit.reset();
      }
      run.round_start = run.objective;
    }
  }
}

// The F test of the distortion coefficients. The staged starts' first stages are the
// 15-parameter calibration's fits: pick among them as it picks (lowest objective, the classic
// start on ties) to compare with what it would report.
std::optional<DistortionSignificance> TestDistortion(const std::vector<StartRun>& runs,
                                                     const StartRun& dlt_staged, long double with) {
  auto first_stage = [&runs](const StartRun& run) {
    return (run.same_as >= 0 ? runs[run.same_as] : run).first_stage_objective;
  };
  std::optional<long double> without;
  for (const StartRun& run : runs)
    if (run.staged && first_stage(run) && (!without || *first_stage(run) < *without))
      without = first_stage(run);
  if (without && first_stage(dlt_staged) &&
      *first_stage(dlt_staged) <= *without * (1.0L + kTieTolerance))
    without = first_stage(dlt_staged);
  if (!without || !(with > 0)) return std::nullopt;
  DistortionSignificance test;
  test.without_distortion = *without;
  test.with_distortion = with;
  test.F = ((*without - with) / 5.0L) / (with / 16.0L);
  test.significant = test.F > kDistortionFCritical;
  return test;
}

// Centre and focal estimate shared by both decompositions.
void CentreAndFocal(const std::array<double, 11>& Lc, DltStart& s, long double& A) {
  auto L = [&Lc](int j) -> long double { return Lc[j - 1]; };
  FpuClear();
  IFloatMatrix M = CreateMatrix(3, 3);
  const int rows[3][3] = {{1, 2, 3}, {5, 6, 7}, {9, 10, 11}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) M->SetElement(r + 1, c + 1, L(rows[r][c]));
  IFloatVector b = CreateFloatVector(3);
  b->SetElement(1, -L(4));
  b->SetElement(2, -L(8));
  b->SetElement(3, -1.0L);
  M->Invert();
  IFloatVector C = M->MultiplyVector(*b);
  FpuCheck();
  s.Cx = static_cast<double>(C->GetElement(1));
  s.Cy = static_cast<double>(C->GetElement(2));
  s.Cz = static_cast<double>(C->GetElement(3));

  A = L(1) * L(1) + L(2) * L(2) + L(3) * L(3);
  const long double D = L(9) * L(9) + L(10) * L(10) + L(11) * L(11);
  s.F = static_cast<double>(std::sqrt(A / D));
}

// Loops over the 125 candidate triples in the fixed order (Gamma outermost, Beta innermost) and
// keeps the first with the smallest error below 1E10; (alpha0, beta0, gamma0) when none is.
template <typename ErrorOf>
void SearchCandidates(DltStart& s, ErrorOf error_of) {
  double best = kNoCandidateError;
  s.Alpha = s.alpha0;
  s.Beta = s.beta0;
  s.Gamma = s.gamma0;
  for (int ng = 1; ng <= 5; ++ng) {
    const double gamma = AngleCandidate(s.gamma0, ng);
    for (int na = 1; na <= 5; ++na) {
      const double alpha = AngleCandidate(s.alpha0, na);
      for (int nb = 1; nb <= 5; ++nb) {
        const double beta = AngleCandidate(s.beta0, nb);
        const double error = error_of(RotationMatrix(alpha, beta, gamma));
        if (error < best) {
          best = error;
          s.Alpha = alpha;
          s.Beta = beta;
          s.Gamma = gamma;
        }
      }
    }
  }
  // A candidate whose error is not finite (a division by zero inside it) cannot win.
  FpuClear();
  s.best_error = best;
}

}  // namespace

double AngleCandidate(double t, int n) {
  switch (n) {
    case 1:
      return -t;
    case 2:
      return 180.0 - t;
    case 3:
      return 180.0 + t;
    case 4:
      return t - 180.0;
    default:
      return t;
  }
}

ControlImage LeftImage(const PointTable& table) {
  ControlImage im;
  for (int i = 0; i < 9; ++i) {
    im.X[i] = table.px[i + 1];
    im.Y[i] = table.py[i + 1];
    im.Z[i] = table.pz[i + 1];
    im.x[i] = table.xg[i + 1];
    im.y[i] = table.yg[i + 1];
  }
  return im;
}

ControlImage RightImage(const PointTable& table) {
  ControlImage im = LeftImage(table);
  for (int i = 0; i < 9; ++i) {
    im.x[i] = table.xd[i + 1];
    im.y[i] = table.yd[i + 1];
  }
  return im;
}

std::array<double, 11> FitDlt(const PointTable& table, const std::array<std::int32_t, 9>& x,
                              const std::array<std::int32_t, 9>& y, int W, int H) {
  TDemoModel3 model(table, x, y, W, H);
  model.L.fill(0.0L);
  std::array<long double*, 11> params;
  for (int i = 0; i < 11; ++i) params[i] = &model.L[i];
  IFit fit = CreateFit(params, model.Bound());
  fit->Fit();
  std::array<double, 11> L;
  for (int i = 0; i < 11; ++i) L[i] = static_cast<double>(model.L[i]);
  return L;
}

DltStart DecomposeDlt(const std::array<double, 11>& Lc) {
  // 1-based access keeps the formulas readable: L(1) ... L(11).
  auto L = [&Lc](int j) -> long double { return Lc[j - 1]; };
  DltStart s;
  long double A;
  CentreAndFocal(Lc, s, A);
  const long double F = s.F;
  s.beta0 = static_cast<double>(RadToDeg(std::asin(std::sqrt(F * F * L(9) * L(9) / A))));
  const long double cos_beta = std::cos(DegToRad(s.beta0));
  s.alpha0 = static_cast<double>(
      RadToDeg(std::asin(std::sqrt((F * F * L(10) * L(10) / A) / (cos_beta * cos_beta)))));
  s.gamma0 = static_cast<double>(RadToDeg(std::atan(L(5) / L(1))));
  FpuCheck();

  const long double Cx = s.Cx, Cy = s.Cy, Cz = s.Cz;
  SearchCandidates(s, [&](const Rotation& R) {
    auto Rr = [&R](int r, int c) -> long double { return R[(r - 1) * 3 + (c - 1)]; };
    const long double d = Rr(3, 1) * Cx + Rr(3, 2) * Cy + Rr(3, 3) * Cz;
    const long double r1c = Rr(1, 1) * Cx + Rr(1, 2) * Cy + Rr(1, 3) * Cz;
    const long double r2c = Rr(2, 1) * Cx + Rr(2, 2) * Cy + Rr(2, 3) * Cz;
    long double e = 0.0L;
    auto add = [&e](long double t) { e += t * t; };
    for (int j = 1; j <= 3; ++j) add(L(j) + F * Rr(1, j) / d);
    add(L(4) - F * r1c / d);
    for (int j = 1; j <= 3; ++j) add(L(4 + j) + F * Rr(2, j) / d);
    add(L(8) - F * r2c / d);
    for (int j = 1; j <= 3; ++j) add(L(8 + j) - Rr(3, j) / d);
    return static_cast<double>(e);
  });
  return s;
}

DltStart DecomposeDltByReprojection(const std::array<double, 11>& Lc, const ControlImage& image,
                                    int W, int H) {
  auto L = [&Lc](int j) -> long double { return Lc[j - 1]; };
  DltStart s;
  long double A;
  CentreAndFocal(Lc, s, A);
  FpuCheck();
  const long double F = s.F;
  // Rounded clicks can push a sine of a level camera's angle just past 1.
  auto arcsin_deg = [](long double v) {
    return static_cast<double>(RadToDeg(std::asin(std::min(1.0L, std::sqrt(v)))));
  };
  s.beta0 = arcsin_deg(F * F * L(9) * L(9) / A);
  const long double cos_beta = std::cos(DegToRad(s.beta0));
  s.alpha0 = cos_beta == 0 ? 0.0 : arcsin_deg((F * F * L(10) * L(10) / A) / (cos_beta * cos_beta));
  s.gamma0 = L(1) == 0 ? 90.0 : static_cast<double>(RadToDeg(std::atan(L(5) / L(1))));
  FpuCheck();

  const long double cx = static_cast<long double>(W) / 2.0L;
  const long double cy = static_cast<long double>(H) / 2.0L;
  SearchCandidates(s, [&](const Rotation& R) {
    long double e = 0.0L;
    for (int i = 0; i < 9; ++i) {
      const long double dX = image.X[i] - s.Cx, dY = image.Y[i] - s.Cy, dZ = image.Z[i] - s.Cz;
      const long double xc = R[0] * dX + R[1] * dY + R[2] * dZ;
      const long double yc = R[3] * dX + R[4] * dY + R[5] * dZ;
      const long double zc = R[6] * dX + R[7] * dY + R[8] * dZ;
      const long double ex = image.x[i] - (cx + F * xc / zc);
      const long double ey = image.y[i] - (cy + F * yc / zc);
      e += ex * ex + ey * ey;
    }
    // A control point on the candidate's principal plane rules it out.
    return std::isfinite(e) ? static_cast<double>(e) : kNoCandidateError;
  });
  return s;
}

CalibrationOutcome Calibrate(const PointTable& table, int W, int H, bool distortion,
                             TCameraParameters& camera, int& object_point_count,
                             const CalibrationOptions& options) {
  object_point_count = 0;
  const ControlImage images[2] = {LeftImage(table), RightImage(table)};
  std::array<double, 11> L[2];
  for (int k = 0; k < 2; ++k) L[k] = FitDlt(table, images[k].x, images[k].y, W, H);

  // The classic start; a fault in its arcsines or arctangent leaves it out but not the others.
  // Everything else that fails here (a singular coefficient matrix) fails every start alike.
  std::vector<StartRun> runs;
  runs.reserve(4);  // references below stay valid
  auto add_run = [&runs](const char* name, bool staged) -> StartRun& {
    StartRun& r = runs.emplace_back();
    r.name = name;
    r.staged = staged;
    return r;
  };
  StartRun& dlt = add_run("dlt", false);
  StartRun* dlt_staged = nullptr;
  try {
    const DltStart left = DecomposeDlt(L[0]);
    const DltStart right = DecomposeDlt(L[1]);
    dlt.start = MakeJointStart(left, right, W, H);
  } catch (const EMathError&) {
    if (options.single_start) throw;
    dlt.first_stage_fault = std::current_exception();
  }
  if (!options.single_start) {
    std::optional<JointStart> reprojection;
    try {
      reprojection = MakeJointStart(DecomposeDltByReprojection(L[0], images[0], W, H),
                                    DecomposeDltByReprojection(L[1], images[1], W, H), W, H);
    } catch (const EMathError&) {
      if (!dlt.start) std::rethrow_exception(dlt.first_stage_fault);
      throw;
    }
    add_run("reprojection", false).start = reprojection;
    if (distortion) {
      dlt_staged = &add_run("dlt-staged", true);
      dlt_staged->start = dlt.start;
      add_run("reprojection-staged", true).start = reprojection;
    }
    // A start with the same cameras as an earlier one of the same kind shares its fit.
    for (std::size_t i = 0; i < runs.size(); ++i)
      for (std::size_t j = 0; j < i && runs[i].same_as < 0; ++j)
        if (runs[i].start && runs[j].start && runs[i].staged == runs[j].staged &&
            runs[i].start->SameCamerasAs(*runs[j].start))
          runs[i].same_as = static_cast<int>(j);
  }

  RunStarts(table, distortion, runs, options.threads);

  CalibrationOutcome outcome;
  for (const JointField& field : FittedFields(distortion))
    outcome.fitted_names.push_back(field.name);
  for (const StartRun& run : runs) {
    const StartRun& done = run.same_as >= 0 ? runs[run.same_as] : run;
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
    } else {
      record.failed = done.failed;
      record.abandoned = done.abandoned;
      record.failure_reason = done.failure_reason;
      record.objective = done.objective;
      record.iterations = done.iterations;
    }
    outcome.starts.push_back(record);
  }

  // The lowest objective wins; the classic start wins ties, then the earlier start.
  int winner = -1;
  for (std::size_t i = 0; i < outcome.starts.size(); ++i) {
    const StartRecord& r = outcome.starts[i];
    if (r.failed || r.abandoned) continue;
    if (winner < 0 || r.objective < outcome.starts[winner].objective) winner = static_cast<int>(i);
  }
  if (winner > 0 && !outcome.starts[0].failed && !outcome.starts[0].abandoned &&
      outcome.starts[0].objective <= outcome.starts[winner].objective * (1.0L + kTieTolerance))
    winner = 0;

  if (winner < 0) {
    // Every start failed: report as the classic method does, with its last trial values.
    if (!dlt.start) std::rethrow_exception(dlt.first_stage_fault);
    outcome.joint_fit_failed = true;
    outcome.failure_reason = dlt.failure_reason;
    winner = 0;
  }
  outcome.winner = winner;
  const StartRun& kept = runs[winner].same_as >= 0 ? runs[runs[winner].same_as] : runs[winner];
  CopyToCamera(*kept.model, camera);
  FpuClear();
  if (dlt_staged && !outcome.joint_fit_failed)
    outcome.distortion_significance =
        TestDistortion(runs, *dlt_staged, outcome.starts[winner].objective);
  return outcome;
}

}  // namespace vistrel
