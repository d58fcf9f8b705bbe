#pragma once

// The work of a session, without any window: the point table and what has been stored in it, the
// calibrated cameras with their quality, the measurement counter, and the commands behind the
// main window's buttons and vistrel-cli's commands. Both front ends read their input, call these
// and show the outcome; tests drive them directly.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "numeric/exception.h"
#include "photogrammetry/calibration.h"
#include "photogrammetry/camera_model.h"
#include "photogrammetry/control_point_check.h"
#include "photogrammetry/measurement.h"
#include "photogrammetry/point_table.h"
#include "photogrammetry/quality.h"
#include "project/coordinate_list.h"

namespace vistrel {

struct Project;

// How a calibration runs, for both front ends alike.
struct CalibrateOptions {
  bool distortion = false;    // also fit the five lens-distortion coefficients
  bool single_start = false;  // only the "dlt" start (the classic method)
  // Progress and cancelling, as CalibrationOptions: a cancelled calibration throws
  // CalibrationCancelled and leaves the session as it was.
  std::function<void(const CalibrationProgress&)> progress{};
  std::stop_token stop{};

  // A lens model in place of `distortion` (CalibrateLensModel); empty: `distortion` decides.
  std::optional<LensModel> lens_model = std::nullopt;
};

// The three texts of a measured point as they are shown and appended to the geometry file.
struct PointTexts {
  std::string x, y, z;
};
PointTexts MeasuredTexts(const MeasuredPoint& point, char decimal_separator);

// What a command still needs: "Missing before calibrating: control point 2 (right, X Y Z),
// control point 5 (left)." Thrown before anything of the command runs.
class EIncomplete : public Exception {
 public:
  using Exception::Exception;
};

// Measured minus known space coordinates of one point.
struct PointError {
  std::string name;
  long double dX = 0, dY = 0, dZ = 0;
  std::string failure;  // why the point could not be measured (then no figures); empty if it was
};

// The accuracy of a calibration against known points: one line per point, "LABEL NAME dX DX dY
// DY dZ DZ", then "LABEL rms X RX Y RY Z RZ 3D R3 max M n N", then, when `diagonal` (the control
// points' bounding-box diagonal) is given and the 3D RMS is above zero, "relative accuracy 1:K"
// with K = diagonal / 3D RMS, rounded. A point that could not be measured has the line "LABEL
// NAME failed: REASON" and no share in the figures. No lines for no points.
std::vector<std::string> AccuracyLines(const std::vector<PointError>& errors,
                                       const std::string& label,
                                       std::optional<long double> diagonal, char decimal_separator);
// The diagonal of the bounding box of the control points' space coordinates.
long double ControlDiagonal(const PointTable& table);

// The fewest control points a calibration takes: the linear start needs six.
inline constexpr int kMinimumControlPoints = 6;

class Session {
 public:
  // The store commands of the point table (texts as typed; throw on a malformed number, having
  // stored what came before it). A successful store marks that part of the point stored.
  void StoreLeft(int index, const std::string& x, const std::string& y);
  void StoreRight(int index, const std::string& x, const std::string& y);
  void StoreSpace(int index, const std::string& x, const std::string& y, const std::string& z,
                  char decimal_separator);
  // Stores an image position as it is, a sub-pixel centre or a whole pixel, and marks it stored.
  void StoreImage(int index, bool left, ImagePosition position);
  // Adds a point with both image positions and, unless it is an object point, its space
  // coordinates, all marked stored; returns its index. Exception for a refused name.
  int AddPoint(const std::string& name, PointKind kind, ImagePosition left, ImagePosition right,
               SpacePoint space);

  // Removes an added point (not one of the first ten: Exception); the quality figures of the
  // other points stay theirs.
  void RemovePoint(int index);

  // The check points measured with the current calibration, measured minus known (complete
  // check points only; the object point counter is not used). Empty before a calibration.
  std::vector<PointError> CheckErrors() const;
  // Each control point in turn left out, the pair recalibrated from the others with `options`
  // and the point measured: measured minus known. The session's own calibration is not touched.
  // Throws EIncomplete as Calibrate, and the fault of a recalibration. Progress counts the
  // starts of all the recalibrations together; a stop throws CalibrationCancelled.
  std::vector<PointError> LeaveOneOut(int width, int height, const CalibrateOptions& options) const;

  // Space coordinates of each row's point, marked stored: rows 1 to 9 (CoordinateRow::point) go
  // to points 1 to 9, later rows to the point of their name (or number), added
  // when there is none; a row marked check makes its point a check point. A name of one of the
  // first ten points, or a refused one, throws before anything is stored.
  void StoreSpaceRows(const std::vector<CoordinateRow>& rows);

  // Reads `path` into the control points and marks them stored; throws on a file error.
  void LoadControlPoints(const std::string& path);
  // Reads a project file (LoadProject) and takes every point, its stored parts and its colour
  // from it; the rest of the project is returned for the front end. A file that cannot be read
  // or is refused throws and leaves the session as it was.
  Project OpenProject(const std::string& path);
  // Writes reference.txt; returns what it could not hold (SaveControlPoints of the project
  // layer), empty when it holds everything.
  std::string SaveControlPoints(const std::string& path);
  // Whether a control point was stored since the last load or save of the control points.
  bool ControlPointsChanged() const { return control_points_changed_; }

  // What calibrating (or measuring) still needs, in the wording of EIncomplete; empty when
  // nothing is missing.
  std::string MissingForCalibration() const;
  std::string MissingForMeasurement() const;

  // Calibrates from the control points, `width` x `height` being the left photograph's own pixel
  // size. Throws EIncomplete, running nothing, when a control point lacks a coordinate; throws,
  // with no figures kept, when the first stage fails; throws CalibrationCancelled, changing
  // nothing, when cancelled. The quality figures are computed every
  // time: when they cannot be, the calibration stands and QualityProblem() says why.
  CalibrationOutcome Calibrate(int width, int height, const CalibrateOptions& options);
  // What the last calibration should be doubted for: degenerate control points (checked before
  // it runs, so also after a first stage that threw), then sigma0 above its limit or a focal
  // length that is not positive. The calibration's result and status are not changed by them.
  const std::vector<ControlPointWarning>& Warnings() const { return warnings_; }

  // Measures the observation point (uses up a number even when the computation throws). Throws
  // EIncomplete, using up nothing, before a calibration or while a pixel of the point is missing.
  MeasuredPoint Measure();

  // A pixel clicked in the left (or right) photograph while point `index` was selected, shown in
  // the capture boxes but perhaps not stored. A store of that side, or a new selection, forgets it.
  // A sub-pixel capture (a target's centre) counts at its full precision.
  void NoteCapture(int index, bool left, double x, double y);
  void ForgetCaptures() { captures_ = {}; }
  // Measure of what the user sees. With the observation point selected, a capture noted for it
  // that differs from its stored pixel is stored first: a measurement never uses pixels other
  // than those shown. `note` says what was stored, or, with another point selected, which
  // stored pixels were measured.
  MeasuredPoint MeasureShown(int selected, std::string& note);

  // Standard errors of a point measured from the current observation point: the last
  // calibration's covariance and clicks as scattered as its control points' (sigma0). Empty
  // without quality figures or when the joint fit failed.
  std::optional<PointPrecision> Precision(const MeasuredPoint& point) const;

  // Appends a measured point's three texts to the geometry file at `path`.
  static void AppendPoint(const std::string& path, const PointTexts& texts, char decimal_separator);

  // The results report of the current control points and cameras.
  std::vector<std::string> Report(char decimal_separator) const;

  // The first control point after `index` (wrapping round, `index` last) that lacks a coordinate,
  // else the observation point (0) when it lacks a pixel, else -1.
  int NextIncomplete(int index) const;

  const PointTable& Table() const { return table_; }
  PointTable& Table() { return table_; }
  const StoredParts& Stored(int index) const { return table_.Stored(index); }
  const TCameraParameters& Camera() const { return camera_; }
  bool Calibrated() const { return calibrated_; }
  int ObjectPointCount() const { return object_point_count_; }
  // Quality of the last calibration; empty before any, after one that stopped before its joint
  // fit, or when its residuals could not be computed (QualityProblem() then says why).
  const std::optional<CalibrationQuality>& Quality() const { return quality_; }
  bool QualityFitFailed() const { return quality_fit_failed_; }
  const std::string& QualityProblem() const { return quality_problem_; }
  // Whether point `index` still has the image coordinates the quality figures were computed
  // from in the left (or right) photograph.
  bool UnchangedSinceCalibration(int index, bool left) const;

 private:
  void MarkStored(int index, bool StoredParts::*part);

  struct Capture {
    int index;
    double x, y;
  };

  PointTable table_;  // with the parts of each point stored since start
  std::array<std::optional<Capture>, 2> captures_;  // left, right
  bool control_points_changed_ = false;
  TCameraParameters camera_;
  bool calibrated_ = false;
  int object_point_count_ = 0;
  std::optional<CalibrationQuality> quality_;
  bool quality_fit_failed_ = false;
  PointTable quality_table_;                   // the point table the figures were computed from
  std::string quality_problem_;                // why there are no figures, once a calibration ran
  std::vector<ControlPointWarning> warnings_;  // of the last calibration
};

}  // namespace vistrel
