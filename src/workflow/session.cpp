#include "workflow/session.h"

#include "numeric/text_format.h"
#include "photogrammetry/report.h"
#include "project/geom_file.h"
#include "project/point_store.h"
#include "project/reference_file.h"
#include "workflow/project_file.h"

namespace vistrel {

namespace {

// "left, right, X Y Z": the coordinates point `index` still lacks.
std::string MissingParts(int index, const StoredParts& parts) {
  std::string text;
  const auto add = [&text](const char* part) {
    text += (text.empty() ? "" : ", ") + std::string(part);
  };
  if (!parts.left) add("left");
  if (!parts.right) add("right");
  if (index != 0 && !parts.space) add("X Y Z");
  return text;
}

}  // namespace

PointTexts MeasuredTexts(const MeasuredPoint& point, char decimal_separator) {
  return {FormatGeneral(point.X, decimal_separator), FormatGeneral(point.Y, decimal_separator),
          FormatGeneral(point.Z, decimal_separator)};
}

void Session::MarkStored(int index, bool StoredParts::*part) {
  stored_[index].*part = true;
  if (index != 0) control_points_changed_ = true;
}

void Session::StoreLeft(int index, const std::string& x, const std::string& y) {
  StoreLeftImage(table_, index, x, y);
  MarkStored(index, &StoredParts::left);
  captures_[0].reset();
}

void Session::StoreRight(int index, const std::string& x, const std::string& y) {
  StoreRightImage(table_, index, x, y);
  MarkStored(index, &StoredParts::right);
  captures_[1].reset();
}

void Session::StoreSpace(int index, const std::string& x, const std::string& y,
                         const std::string& z, char decimal_separator) {
  if (vistrel::StoreSpace(table_, index, x, y, z, decimal_separator)) {
    MarkStored(index, &StoredParts::space);
  }
}

void Session::StoreSpaceRows(const std::vector<CoordinateRow>& rows) {
  for (const CoordinateRow& r : rows) {
    if (r.point < 1 || r.point > PointTable::kControlCount) continue;
    table_.px[r.point] = r.x;
    table_.py[r.point] = r.y;
    table_.pz[r.point] = r.z;
    MarkStored(r.point, &StoredParts::space);
  }
}

void Session::LoadControlPoints(const std::string& path) {
  vistrel::LoadControlPoints(path, table_);
  for (int i = 1; i <= PointTable::kControlCount; ++i) stored_[i] = {true, true, true};
  control_points_changed_ = false;
}

Project Session::OpenProject(const std::string& path) {
  Project project = LoadProject(path);
  table_ = project.table;
  stored_ = project.stored;
  control_points_changed_ = false;  // they are kept in the project, not in reference.txt
  return project;
}

void Session::SaveControlPoints(const std::string& path) {
  vistrel::SaveControlPoints(path, table_);
  control_points_changed_ = false;
}

std::string Session::MissingForCalibration() const {
  std::string list;
  for (int i = 1; i <= PointTable::kControlCount; ++i) {
    if (stored_[i].Complete(i)) continue;
    list += (list.empty() ? "" : ", ") + std::string("control point ") + std::to_string(i) + " (" +
            MissingParts(i, stored_[i]) + ")";
  }
  return list.empty() ? list : "Missing before calibrating: " + list + ".";
}

std::string Session::MissingForMeasurement() const {
  std::string list;
  if (!calibrated_) list = "a calibration (\"Compute Ext./Int. parameters\")";
  if (!stored_[0].Complete(0)) {
    list += (list.empty() ? "" : ", ") + std::string("object point (") +
            MissingParts(0, stored_[0]) + ")";
  }
  return list.empty() ? list : "Missing before measuring: " + list + ".";
}

CalibrationOutcome Session::Calibrate(int width, int height, const CalibrateOptions& options) {
  if (const std::string missing = MissingForCalibration(); !missing.empty()) {
    throw EIncomplete(missing);
  }
  // Checked before it runs, kept unless it is cancelled.
  std::vector<ControlPointWarning> warnings = CheckControlPoints(table_);
  CalibrationOptions calibration;
  calibration.single_start = options.single_start;
  calibration.progress = options.progress;
  calibration.stop = options.stop;
  CalibrationOutcome outcome;
  try {
    outcome = options.lens_model ? CalibrateLensModel(table_, width, height, *options.lens_model,
                                                      camera_, object_point_count_, calibration)
                                 : vistrel::Calibrate(table_, width, height, options.distortion,
                                                      camera_, object_point_count_, calibration);
  } catch (const CalibrationCancelled&) {
    throw;  // the previous calibration, its figures and warnings stand
  } catch (...) {
    quality_.reset();
    quality_problem_ = "No calibration quality: the last calibration stopped before its joint fit.";
    warnings_ = std::move(warnings);
    throw;
  }
  calibrated_ = true;
  warnings_ = std::move(warnings);
  quality_.reset();  // the previous calibration's figures do not describe this one
  try {
    quality_ = ComputeQuality(table_, camera_, outcome);
    quality_fit_failed_ = outcome.joint_fit_failed;
    quality_table_ = table_;
    for (ControlPointWarning& w :
         CheckCalibrationResult(static_cast<double>(quality_->sigma0), camera_.internal.f)) {
      warnings_.push_back(std::move(w));
    }
  } catch (const Exception& e) {
    // The calibration itself stands; only its figures are missing.
    quality_problem_ =
        std::string("No calibration quality: the residuals could not be computed (") + e.what() +
        ").";
  }
  return outcome;
}

MeasuredPoint Session::Measure() {
  if (const std::string missing = MissingForMeasurement(); !missing.empty()) {
    throw EIncomplete(missing);
  }
  return MeasureObjectPoint(table_, camera_, object_point_count_);
}

void Session::NoteCapture(int index, bool left, std::int64_t x, std::int64_t y) {
  captures_[left ? 0 : 1] = Capture{index, x, y};
}

MeasuredPoint Session::MeasureShown(int selected, std::string& note) {
  constexpr int o = PointTable::kObservation;
  note.clear();
  if (selected == o) {
    for (const bool left : {true, false}) {
      const std::optional<Capture> capture = captures_[left ? 0 : 1];
      if (!capture || capture->index != o) continue;
      const bool same =
          left ? stored_[o].left && table_.xg[o] == capture->x && table_.yg[o] == capture->y
               : stored_[o].right && table_.xd[o] == capture->x && table_.yd[o] == capture->y;
      if (same) continue;
      const std::string x = std::to_string(capture->x), y = std::to_string(capture->y);
      left ? StoreLeft(o, x, y) : StoreRight(o, x, y);
      note += (note.empty() ? "Stored the shown " : " and ") +
              std::string(left ? "left " : "right ") + x + " " + y;
    }
    if (!note.empty()) note += " before measuring";
  } else {
    note = "Measured the stored object point: left " + std::to_string(table_.xg[o]) + " " +
           std::to_string(table_.yg[o]) + ", right " + std::to_string(table_.xd[o]) + " " +
           std::to_string(table_.yd[o]);
  }
  return Measure();
}

std::optional<PointPrecision> Session::Precision(const MeasuredPoint& point) const {
  if (!quality_ || quality_fit_failed_) return std::nullopt;
  return MeasuredPointPrecision(table_, camera_, *quality_, point.X, point.Y, point.Z,
                                quality_->sigma0);
}

void Session::AppendPoint(const std::string& path, const PointTexts& texts,
                          char decimal_separator) {
  AppendMeasuredPoint(path, texts.x, texts.y, texts.z, decimal_separator);
}

std::vector<std::string> Session::Report(char decimal_separator) const {
  return ReportLines(table_, camera_, decimal_separator);
}

int Session::NextIncomplete(int index) const {
  for (int step = 1; step <= PointTable::kControlCount; ++step) {
    const int i = (index - 1 + step) % PointTable::kControlCount + 1;
    if (!stored_[i].Complete(i)) return i;
  }
  return stored_[0].Complete(0) ? -1 : 0;
}

bool Session::UnchangedSinceCalibration(int index, bool left) const {
  return left ? table_.xg[index] == quality_table_.xg[index] &&
                    table_.yg[index] == quality_table_.yg[index]
              : table_.xd[index] == quality_table_.xd[index] &&
                    table_.yd[index] == quality_table_.yd[index];
}

}  // namespace vistrel
