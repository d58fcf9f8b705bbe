#include "workflow/session.h"

#include <algorithm>
#include <cmath>

#include "numeric/text_format.h"
#include "photogrammetry/report.h"
#include "project/geom_file.h"
#include "project/point_store.h"
#include "project/project_file.h"
#include "project/reference_file.h"

namespace vistrel {

namespace {

// "left, right, X Y Z": the coordinates point `index` still lacks.
std::string MissingParts(PointKind kind, const StoredParts& parts) {
  std::string text;
  const auto add = [&text](const char* part) {
    text += (text.empty() ? "" : ", ") + std::string(part);
  };
  if (!parts.left) add("left");
  if (!parts.right) add("right");
  if (kind != PointKind::kObject && !parts.space) add("X Y Z");
  return text;
}

}  // namespace

std::vector<std::string> AccuracyLines(const std::vector<PointError>& errors,
                                       const std::string& label,
                                       std::optional<long double> diagonal, char sep) {
  std::vector<std::string> lines;
  if (errors.empty()) return lines;
  const auto num = [sep](long double v) { return FormatGeneral(v, sep); };
  long double sx = 0, sy = 0, sz = 0, largest = 0;
  std::size_t measured = 0;
  for (const PointError& e : errors) {
    if (!e.failure.empty()) {
      lines.push_back(label + " " + e.name + " failed: " + e.failure);
      continue;
    }
    ++measured;
    lines.push_back(label + " " + e.name + " dX " + num(e.dX) + " dY " + num(e.dY) + " dZ " +
                    num(e.dZ));
    sx += e.dX * e.dX;
    sy += e.dY * e.dY;
    sz += e.dZ * e.dZ;
    largest = std::max(largest, std::sqrt(e.dX * e.dX + e.dY * e.dY + e.dZ * e.dZ));
  }
  if (measured == 0) return lines;
  const auto n = static_cast<long double>(measured);
  const long double rx = std::sqrt(sx / n), ry = std::sqrt(sy / n), rz = std::sqrt(sz / n);
  const long double r3 = std::sqrt((sx + sy + sz) / n);
  lines.push_back(label + " rms X " + num(rx) + " Y " + num(ry) + " Z " + num(rz) + " 3D " +
                  num(r3) + " max " + num(largest) + " n " + std::to_string(measured));
  if (diagonal && r3 > 0) {
    lines.push_back("relative accuracy 1:" + std::to_string(std::llround(*diagonal / r3)));
  }
  return lines;
}

long double ControlDiagonal(const PointTable& table) {
  const std::vector<int> controls = table.ControlIndices();
  if (controls.empty()) return 0;
  SpacePoint lo = table.Space(controls[0]), hi = lo;
  for (const int i : controls) {
    const SpacePoint p = table.Space(i);
    lo = {std::min(lo.X, p.X), std::min(lo.Y, p.Y), std::min(lo.Z, p.Z)};
    hi = {std::max(hi.X, p.X), std::max(hi.Y, p.Y), std::max(hi.Z, p.Z)};
  }
  const long double dx = hi.X - lo.X, dy = hi.Y - lo.Y, dz = hi.Z - lo.Z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

PointTexts MeasuredTexts(const MeasuredPoint& point, char decimal_separator) {
  return {FormatGeneral(point.X, decimal_separator), FormatGeneral(point.Y, decimal_separator),
          FormatGeneral(point.Z, decimal_separator)};
}

void Session::MarkStored(int index, bool StoredParts::*part) {
  table_.MarkStored(index, part);
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

void Session::StoreImage(int index, bool left, ImagePosition position) {
  table_.SetImage(index, left, position);
  MarkStored(index, left ? &StoredParts::left : &StoredParts::right);
  captures_[left ? 0 : 1].reset();
}

int Session::AddPoint(const std::string& name, PointKind kind, ImagePosition left,
                      ImagePosition right, SpacePoint space) {
  const int index = table_.Add(name, kind);
  table_.SetLeft(index, left);
  table_.SetRight(index, right);
  table_.SetStored(index, {true, true, kind != PointKind::kObject});
  if (kind != PointKind::kObject) table_.SetSpace(index, space);
  if (kind == PointKind::kControl) control_points_changed_ = true;
  return index;
}

namespace {

// Measured minus known for point `index` of `table` under `camera`.
PointError ErrorOf(const PointTable& table, const TCameraParameters& camera, int index) {
  int count = 0;
  try {
    const MeasuredPoint m = MeasureObjectPoint(table, camera, count, index);
    const SpacePoint known = table.Space(index);
    return {table.Name(index), m.X - known.X, m.Y - known.Y, m.Z - known.Z, {}};
  } catch (const Exception& e) {
    return {table.Name(index), 0, 0, 0, e.what()};
  }
}

// Calibrates `table` as Session::Calibrate does, without its checks and figures.
void CalibrateTable(const PointTable& table, int width, int height, const CalibrateOptions& options,
                    TCameraParameters& camera) {
  CalibrationOptions calibration;
  calibration.single_start = options.single_start;
  calibration.progress = options.progress;
  calibration.stop = options.stop;
  int count = 0;
  if (options.lens_model) {
    CalibrateLensModel(table, width, height, *options.lens_model, camera, count, calibration);
  } else {
    vistrel::Calibrate(table, width, height, options.distortion, camera, count, calibration);
  }
}

}  // namespace

std::vector<PointError> Session::CheckErrors() const {
  std::vector<PointError> errors;
  if (!calibrated_) return errors;
  for (const int i : table_.CheckIndices()) {
    if (table_.Complete(i)) errors.push_back(ErrorOf(table_, camera_, i));
  }
  return errors;
}

std::vector<PointError> Session::LeaveOneOut(int width, int height,
                                             const CalibrateOptions& options) const {
  if (const std::string missing = MissingForCalibration(); !missing.empty()) {
    throw EIncomplete(missing);
  }
  if (table_.ControlIndices().size() <= static_cast<std::size_t>(kMinimumControlPoints)) {
    throw EIncomplete("Missing before leaving one out: at least seven control points.");
  }
  std::vector<PointError> errors;
  const std::vector<int> controls = table_.ControlIndices();
  for (const int i : controls) {
    PointTable without = table_;
    without.SetKind(i, PointKind::kCheck);
    TCameraParameters camera;
    // The progress of all the recalibrations together: each counts for the same share.
    CalibrateOptions one = options;
    if (options.progress) {
      const int done = static_cast<int>(errors.size());
      const int all = static_cast<int>(controls.size());
      one.progress = [&options, done, all](const CalibrationProgress& p) {
        options.progress({done * p.starts + p.starts_ended, all * p.starts});
      };
    }
    CalibrateTable(without, width, height, one, camera);
    errors.push_back(ErrorOf(without, camera, i));
  }
  return errors;
}

void Session::StoreSpaceRows(const std::vector<CoordinateRow>& rows) {
  // The names of the points beyond the first nine are checked before anything is stored.
  const auto name_of = [](const CoordinateRow& r) {
    return r.name.empty() ? std::to_string(r.point) : r.name;
  };
  for (const CoordinateRow& r : rows) {
    if (r.point <= PointTable::kFixedControls) continue;
    const int i = table_.Find(name_of(r));
    if (i >= 0 && i <= PointTable::kFixedControls) {
      throw Exception("line " + std::to_string(r.line) + ": " + name_of(r) +
                      " is the name of one of the first ten points");
    }
    if (i < 0) {
      if (const std::string problem = table_.NameProblem(name_of(r)); !problem.empty())
        throw Exception("line " + std::to_string(r.line) + ": " + problem);
    }
  }
  // Row n of the first nine goes to point n, also when it was made a check point: its number
  // is the surveyor's.
  for (const CoordinateRow& r : rows) {
    if (r.point < 1 || r.point > PointTable::kFixedControls) continue;
    const int i = r.point;
    table_.SetSpace(i, {r.x, r.y, r.z});
    MarkStored(i, &StoredParts::space);
    if (r.check) table_.SetKind(i, PointKind::kCheck);
  }
  // The others under their names: a new point, or the one of that name.
  for (const CoordinateRow& r : rows) {
    if (r.point <= PointTable::kFixedControls) continue;
    const PointKind kind = r.check ? PointKind::kCheck : PointKind::kControl;
    int i = table_.Find(name_of(r));
    if (i < 0) i = table_.Add(name_of(r), kind);
    table_.SetKind(i, kind);
    table_.SetSpace(i, {r.x, r.y, r.z});
    MarkStored(i, &StoredParts::space);
  }
}

void Session::LoadControlPoints(const std::string& path) {
  vistrel::LoadControlPoints(path, table_);
  for (int i = 1; i <= PointTable::kFixedControls; ++i) table_.SetStored(i, {true, true, true});
  control_points_changed_ = false;
}

Project Session::OpenProject(const std::string& path) {
  Project project = LoadProject(path);
  table_ = project.table;
  control_points_changed_ = false;  // they are kept in the project, not in reference.txt
  return project;
}

std::string Session::SaveControlPoints(const std::string& path) {
  std::string note = vistrel::SaveControlPoints(path, table_);
  control_points_changed_ = false;
  return note;
}

std::string Session::MissingForCalibration() const {
  std::string list;
  for (const int i : table_.ControlIndices()) {
    if (table_.Complete(i)) continue;
    list += (list.empty() ? "" : ", ") + std::string("control point ") + table_.Name(i) + " (" +
            MissingParts(table_.Kind(i), table_.Stored(i)) + ")";
  }
  const auto controls = static_cast<int>(table_.ControlIndices().size());
  if (controls < kMinimumControlPoints) {
    list += (list.empty() ? "" : ", ") + std::string("at least six control points (") +
            std::to_string(controls) + " given)";
  }
  return list.empty() ? list : "Missing before calibrating: " + list + ".";
}

std::string Session::MissingForMeasurement() const {
  std::string list;
  if (!calibrated_) list = "a calibration (\"Compute Ext./Int. parameters\")";
  if (!table_.Complete(PointTable::kObservation)) {
    list += (list.empty() ? "" : ", ") + std::string("object point (") +
            MissingParts(PointKind::kObject, table_.Stored(PointTable::kObservation)) + ")";
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

void Session::NoteCapture(int index, bool left, double x, double y) {
  captures_[left ? 0 : 1] = Capture{index, x, y};
}

MeasuredPoint Session::MeasureShown(int selected, std::string& note) {
  constexpr int o = PointTable::kObservation;
  note.clear();
  if (selected == o) {
    for (const bool left : {true, false}) {
      const std::optional<Capture> capture = captures_[left ? 0 : 1];
      if (!capture || capture->index != o) continue;
      const StoredParts& stored = table_.Stored(o);
      const ImagePosition shown{capture->x, capture->y};
      const bool same = (left ? stored.left : stored.right) && table_.Image(o, left) == shown;
      if (same) continue;
      if (shown.x == std::floor(shown.x) && shown.y == std::floor(shown.y)) {
        // Whole pixels go through the store command, as typed.
        const std::string x = std::to_string(static_cast<std::int64_t>(shown.x)),
                          y = std::to_string(static_cast<std::int64_t>(shown.y));
        left ? StoreLeft(o, x, y) : StoreRight(o, x, y);
      } else {
        StoreImage(o, left, shown);
      }
      note += (note.empty() ? "Stored the shown " : " and ") +
              std::string(left ? "left " : "right ") + PixelText(shown);
    }
    if (!note.empty()) note += " before measuring";
  } else {
    note = "Measured the stored object point: left " + PixelText(table_.Left(o)) + ", right " +
           PixelText(table_.Right(o));
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
  const std::vector<int> controls = table_.ControlIndices();
  const auto n = static_cast<int>(controls.size());
  // From the point after `index`; from the first control point when `index` is not one.
  const auto found = std::find(controls.begin(), controls.end(), index);
  const int at = found == controls.end() ? -1 : static_cast<int>(found - controls.begin());
  for (int step = 1; step <= n; ++step) {
    const int i = controls[static_cast<std::size_t>((at + step) % n)];
    if (!table_.Complete(i)) return i;
  }
  return table_.Complete(PointTable::kObservation) ? -1 : PointTable::kObservation;
}

void Session::RemovePoint(int index) {
  table_.Remove(index);
  captures_ = {};
  // The figures are found by index: those of the later points move up with them.
  if (index < quality_table_.Count()) quality_table_.Remove(index);
  if (quality_) {
    std::erase_if(quality_->points,
                  [index](const ControlPointQuality& q) { return q.point == index; });
    for (ControlPointQuality& q : quality_->points)
      if (q.point > index) --q.point;
  }
}

bool Session::UnchangedSinceCalibration(int index, bool left) const {
  return index < quality_table_.Count() &&
         table_.Image(index, left) == quality_table_.Image(index, left);
}

}  // namespace vistrel
