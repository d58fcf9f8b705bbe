#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/exception.h"
#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"
#include "photogrammetry/significance.h"

namespace vistrel {

inline constexpr const char* kJointFitFailedMessage =
    "Optimisation failed. Possible reason : wrong control points";

// One start of the joint fit and how it ended.
struct StartRecord {
  // "dlt" (Euler triples chosen by their consistency with the DLT coefficients), "reprojection"
  // (chosen by how well the control points reproject), "decomposition" (calibration, rotation
  // and centre decomposed from a DLT in normalised coordinates), and with distortion
  // "dlt-staged", "reprojection-staged" and "decomposition-staged" (the 15-parameter solution
  // of that start refined with distortion). All but the "dlt" ones are fitted by least squares
  // in scaled parameters.
  std::string name;
  // Index of an earlier start with the same cameras (equal values, rotations equal to rounding)
  // whose fit this start shares instead of repeating it; -1 when this start ran its own fit.
  int same_as = -1;
  bool failed = false;
  // Stopped before its end because its objective stayed far above a finished start's while
  // barely falling: it cannot win. Objective and iterations are those reached when it stopped.
  bool abandoned = false;
  // Stopped on its budget of iterations (`budget`) before the minimiser converged; it still
  // competes with the objective it reached.
  bool stopped_at_budget = false;
  std::int64_t budget = 0;      // iterations the start was allowed (per stage for least squares)
  std::string failure_reason;   // the exception's message when failed
  long double objective = 0;    // sum of the 36 squared residuals at the end of the fit
  std::int64_t iterations = 0;  // minimiser iterations (least squares: Jacobians), both stages
  TCameraParameters camera;     // the parameters the start ended with; zeros when it had none
};

struct CalibrationOutcome {
  bool joint_fit_failed = false;  // every start raised; camera holds the first start's last trial
  std::string failure_reason;     // the message of the first start's exception, for diagnostics
  // Names of the fitted parameters in fit order ("a1", ..., "u0", "v0", "f", "left Tx", ...).
  std::vector<std::string> fitted_names;
  std::vector<StartRecord> starts;  // every start tried, in a fixed order
  int winner = 0;                   // index into starts of the result kept
  // With distortion, when the joint fit succeeded, a staged start finished its first stage and
  // the kept objective is above zero; empty otherwise (and always with the "dlt" start alone).
  std::optional<DistortionSignificance> distortion_significance;
  // The lens model used and why, from CalibrateLensModel ("none", "radial" or "full"; the reason
  // "chosen" or "auto: " and the F tests that decided); empty from Calibrate.
  std::string lens_model, lens_model_reason;
};

// Where a calibration stands, for a progress display.
struct CalibrationProgress {
  int starts_ended = 0;  // starts whose fit has ended (or that have none)
  int starts = 0;
};

// Thrown when a calibration was stopped through its options; nothing was changed.
class CalibrationCancelled : public Exception {
 public:
  CalibrationCancelled() : Exception("Calibration cancelled") {}
};

struct CalibrationOptions {
  // Threads for the independent starts: 0 for one per core, 1 to run all on the calling thread.
  // The result is the same for every value.
  int threads = 0;
  // Only the "dlt" start, for comparisons with the classic method.
  bool single_start = false;
  // Called on the calling thread before the first round of the joint fit and after every round
  // (every few hundredths of a second); may be empty.
  std::function<void(const CalibrationProgress&)> progress;
  // Looked at with each progress call: once a stop is requested the calibration throws
  // CalibrationCancelled without changing the camera or the counter.
  std::stop_token stop;
};

// The calibration command: per-photograph DLT fit and decomposition for start values, then the
// joint fit of both photographs (15 parameters, or 20 with `distortion`) from several starts;
// the start whose fit ends with the lowest objective wins, the "dlt" start on ties (within 1E-5
// relative), so that where it finds the best minimum the result is exactly its own. W and H are
// the left photograph's own pixel size: the DLT is centred on (W / 2, H / 2) and the principal
// point starts there. Resets object_point_count to 0 first. A failure of the first stage
// (singular DLT, floating-point fault) throws the "dlt" start's exception and leaves `camera`
// unchanged, unless another start still gets through; when every start's joint fit raises, the
// outcome says so and `camera` receives the values the "dlt" start's minimiser wrote last. A
// stop requested through `options` throws CalibrationCancelled with `camera` and
// object_point_count as they were.
CalibrationOutcome Calibrate(const PointTable& table, int W, int H, bool distortion,
                             TCameraParameters& camera, int& object_point_count,
                             const CalibrationOptions& options = {});

// Lens models: which distortion coefficients the joint fit adds to the fifteen parameters.
// none: no distortion; radial: a1 alone; full: the five coefficients, exactly the calibration
// with `distortion`; auto: the simplest of the three whose added coefficients test significant.
enum class LensModel { kNone, kRadial, kFull, kAuto };

// "none", "radial", "full", "auto", and back (empty for any other text).
const char* LensModelName(LensModel model);
std::optional<LensModel> LensModelFromName(std::string_view name);

// The automatic model's choice from the objectives (sums of the 4N squared residuals) of the
// three calibrations: none, radial, full, with the F tests that decided ("a1 significant (F 57.1 >
// 4.35), a2 a3 p1 p2 not significant (F 2.07 <= 3.01)").
struct LensModelChoice {
  LensModel model = LensModel::kNone;
  std::string reason;
};
LensModelChoice ChooseLensModel(long double none, long double radial, long double full,
                                int observations = 36);

// The image residuals a calibration fits: four per control point.
inline int ObservationCount(const PointTable& table) {
  return 4 * static_cast<int>(table.ControlIndices().size());
}

// The calibration with a lens model. none, radial and full calibrate once (none and full exactly
// as Calibrate without and with distortion). auto calibrates with all three and keeps: none when
// neither a1 alone (F against none, 1 and 20 degrees of freedom) nor the five coefficients
// (5 and 16) test significant at 95 %; otherwise radial when the four others do not test
// significant against radial (4 and 16); otherwise full. Nine points give few degrees of freedom:
// coefficients that do not test significant fit the click noise and measure worse. Throws as
// Calibrate.
CalibrationOutcome CalibrateLensModel(const PointTable& table, int W, int H, LensModel model,
                                      TCameraParameters& camera, int& object_point_count,
                                      const CalibrationOptions& options = {});

}  // namespace vistrel
