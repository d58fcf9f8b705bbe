#include "ui/main/session.h"

#include "numeric/exception.h"
#include "project/point_store.h"
#include "project/reference_file.h"

namespace vistrel {

void Session::StoreLeft(int index, const std::string& x, const std::string& y) {
  StoreLeftImage(table_, index, x, y);
  stored_[index].left = true;
}

void Session::StoreRight(int index, const std::string& x, const std::string& y) {
  StoreRightImage(table_, index, x, y);
  stored_[index].right = true;
}

void Session::StoreSpace(int index, const std::string& x, const std::string& y,
                         const std::string& z, char decimal_separator) {
  if (vistrel::StoreSpace(table_, index, x, y, z, decimal_separator)) stored_[index].space = true;
}

void Session::LoadControlPoints(const std::string& path) {
  vistrel::LoadControlPoints(path, table_);
  for (int i = 1; i <= PointTable::kControlCount; ++i) stored_[i] = {true, true, true};
}

void Session::SaveControlPoints(const std::string& path) const {
  vistrel::SaveControlPoints(path, table_);
}

CalibrationOutcome Session::Calibrate(int width, int height, bool distortion) {
  quality_.reset();
  quality_problem_ = "No calibration quality: the last calibration stopped before its joint fit.";
  const CalibrationOutcome outcome =
      vistrel::Calibrate(table_, width, height, distortion, camera_, object_point_count_);
  try {
    quality_ = ComputeQuality(table_, camera_, outcome);
    quality_fit_failed_ = outcome.joint_fit_failed;
    quality_table_ = table_;
  } catch (const Exception& e) {
    // The calibration itself stands; only its figures are missing.
    quality_problem_ =
        std::string("No calibration quality: the residuals could not be computed (") + e.what() +
        ").";
  }
  return outcome;
}

MeasuredPoint Session::Measure() {
  return MeasureObjectPoint(table_, camera_, object_point_count_);
}

bool Session::UnchangedSinceCalibration(int index, bool left) const {
  return left ? table_.xg[index] == quality_table_.xg[index] &&
                    table_.yg[index] == quality_table_.yg[index]
              : table_.xd[index] == quality_table_.xd[index] &&
                    table_.yd[index] == quality_table_.yd[index];
}

}  // namespace vistrel
