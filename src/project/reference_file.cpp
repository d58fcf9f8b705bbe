#include "project/reference_file.h"

#include "numeric/text_format.h"
#include "project/file_error.h"
#include "project/token_reader.h"

namespace vistrel {

namespace {
constexpr const char* kSeparator = "   ";
}  // namespace

void SaveControlPoints(const std::string& path, const PointTable& table) {
  std::string text;
  for (int i = 1; i <= kReferenceFileRows; ++i) {
    const ImagePosition l = table.Left(i), r = table.Right(i);
    for (const double value : {l.x, l.y, r.x, r.y}) {
      text += std::to_string(static_cast<std::int32_t>(value));
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
