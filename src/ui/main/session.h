#pragma once

// The work of a session, without any window: the point table and what has been stored in it, the
// calibrated cameras with their quality, the measurement counter, and the commands behind the
// main window's buttons. The window reads its widgets, calls these and shows the outcome; tests
// drive them directly.

#include <optional>
#include <string>
#include <vector>

#include "photogrammetry/calibration.h"
#include "photogrammetry/camera_model.h"
#include "photogrammetry/measurement.h"
#include "photogrammetry/point_table.h"
#include "photogrammetry/quality.h"
#include "ui/main/point_status.h"

namespace vistrel {

class Session {
 public:
  // The store commands of the point table (texts as typed; throw on a malformed number, having
  // stored what came before it). A successful store marks that part of the point stored.
  void StoreLeft(int index, const std::string& x, const std::string& y);
  void StoreRight(int index, const std::string& x, const std::string& y);
  void StoreSpace(int index, const std::string& x, const std::string& y, const std::string& z,
                  char decimal_separator);

  // Reads `path` into the control points and marks them stored; throws on a file error.
  void LoadControlPoints(const std::string& path);
  void SaveControlPoints(const std::string& path) const;

  // Calibrates from the control points, `width` x `height` being the left photograph's own pixel
  // size, and keeps the quality figures. Throws, with no figures kept, when the first stage fails.
  CalibrationOutcome Calibrate(int width, int height, bool distortion);

  // Measures the observation point (uses up a number even when it throws).
  MeasuredPoint Measure();

  const PointTable& Table() const { return table_; }
  PointTable& Table() { return table_; }
  const StoredPoints& Stored() const { return stored_; }
  const TCameraParameters& Camera() const { return camera_; }
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
  PointTable table_;
  StoredPoints stored_{};
  TCameraParameters camera_;
  int object_point_count_ = 0;
  std::optional<CalibrationQuality> quality_;
  bool quality_fit_failed_ = false;
  PointTable quality_table_;     // the point table the figures were computed from
  std::string quality_problem_;  // why there are no figures, once a calibration ran
};

}  // namespace vistrel
