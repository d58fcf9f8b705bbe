#include "project/reference_file.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "numeric/text_format.h"
#include "project/safe_write.h"
#include "project/token_reader.h"

namespace vistrel {

namespace {
constexpr const char* kSeparator = "   ";
}  // namespace

std::string SaveControlPoints(const std::string& path, const PointTable& table) {
  std::vector<int> controls = table.ControlIndices();
  if (controls.size() < static_cast<std::size_t>(kReferenceFileRows)) {
    throw Exception(std::string(kReferenceFileName) + " holds nine control points; there are " +
                    std::to_string(controls.size()));
  }
  const std::size_t left_out = controls.size() - kReferenceFileRows;
  controls.resize(kReferenceFileRows);
  std::string text;
  int rounded = 0;
  for (const int i : controls) {
    const ImagePosition l = table.Left(i), r = table.Right(i);
    for (const double value : {l.x, l.y, r.x, r.y}) {
      const double whole = std::clamp(std::nearbyint(value), -2147483648.0, 2147483647.0);
      if (whole != value) ++rounded;
      text += std::to_string(static_cast<std::int32_t>(whole));
      text += kSeparator;
    }
    const SpacePoint p = table.Space(i);
    for (const double value : {p.X, p.Y, p.Z}) {
      text += FormatGeneralReadable(value);
      text += kSeparator;
    }
    text += "\r\n";
  }
  ReplaceFile(path, text);
  std::string note;
  if (rounded > 0) note = std::to_string(rounded) + " image coordinates rounded to whole pixels";
  if (controls.back() != kReferenceFileRows) {
    note += std::string(note.empty() ? "" : ", ") + "control points " + table.Name(controls[0]);
    for (std::size_t k = 1; k < controls.size(); ++k) note += ", " + table.Name(controls[k]);
    note += " written";
  }
  if (left_out > 0) {
    note += std::string(note.empty() ? "" : ", ") + std::to_string(left_out) +
            (left_out == 1 ? " more control point left out" : " more control points left out");
  }
  if (!note.empty()) {
    note = std::string(kReferenceFileName) + ": " + note + " (the project file keeps everything)";
  }
  return note;
}

void LoadControlPoints(const std::string& path, PointTable& table) {
  TokenReader reader(path);
  for (int i = 1; i <= kReferenceFileRows; ++i) {
    // Each value is kept as soon as it is read, so a bad number leaves those before it stored.
    ImagePosition l = table.Left(i), r = table.Right(i);
    SpacePoint p = table.Space(i);
    for (double* value : {&l.x, &l.y}) {
      *value = reader.ReadInteger();
      table.SetLeft(i, l);
    }
    for (double* value : {&r.x, &r.y}) {
      *value = reader.ReadInteger();
      table.SetRight(i, r);
    }
    for (double* value : {&p.X, &p.Y, &p.Z}) {
      *value = reader.ReadDouble();
      table.SetSpace(i, p);
    }
    reader.SkipLine();
  }
}

}  // namespace vistrel
