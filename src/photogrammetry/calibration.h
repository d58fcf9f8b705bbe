#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"
#include "photogrammetry/significance.h"

namespace vistrel {

inline constexpr const char* kJointFitFailedMessage =
    "Optimisation failed. Possible reason : wrong control points";

// One start of the joint fit and how it ended.
struct StartRecord {
  // "dlt" (Euler triples chosen by their consistency with the DLT coefficients), "reprojection"
  // (chosen by how well the control points reproject), and with distortion "dlt-staged" and
  // "reprojection-staged" (the 15-parameter solution of that start refined with distortion).
  std::string name;
  // Index of an earlier start with the same cameras (equal values, rotations equal to rounding)
  // whose fit this start shares instead of repeating it; -1 when this start ran its own fit.
  int same_as = -1;
  bool failed = false;
  // Stopped before its end because its objective stayed far above a finished start's while
  // barely falling: it cannot win. Objective and iterations are those reached when it stopped.
  bool abandoned = false;
  std::string failure_reason;   // the exception's message when failed
  long double objective = 0;    // sum of the 36 squared residuals at the end of the fit
  std::int64_t iterations = 0;  // minimiser iterations, both stages of a staged start
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

struct CalibrationOptions {
  // Threads for the independent starts: 0 for one per core, 1 to run all on the calling thread.
  // The result is the same for every value.
  int threads = 0;
  // Only the "dlt" start, for comparisons with the classic method.
  bool single_start = false;
};

// The calibration command: per-photograph DLT fit and decomposition for start values, then the
// joint fit of both photographs (15 parameters, or 20 with `distortion`) from several starts;
// the start whose fit ends with the lowest objective wins, the "dlt" start on ties (within 1E-9
// relative), so that where it finds the best minimum the result is exactly its own. W and H are
// the left photograph's own pixel size: the DLT is centred on (W / 2, H / 2) and the principal
// point starts there. Resets object_point_count to 0 first. A failure of the first stage
// (singular DLT, floating-point fault) throws and leaves `camera` unchanged, unless another start
// still gets through (a fault in the "dlt" start's arcsines alone does not stop the others);
// when every start's joint fit raises, the outcome says so and `camera` receives the values the
// "dlt" start's minimiser wrote last.
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

// The automatic model's choice from the objectives (sums of the 36 squared residuals) of the
// three calibrations: none, radial, full, with the F tests that decided ("a1 significant (F 57.1 >
// 4.35), a2 a3 p1 p2 not significant (F 2.07 <= 3.01)").
struct LensModelChoice {
  LensModel model = LensModel::kNone;
  std::string reason;
};
LensModelChoice ChooseLensModel(long double none, long double radial, long double full);

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
