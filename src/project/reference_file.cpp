#include "project/reference_file.h"

#include "numeric/text_format.h"
#include "project/safe_write.h"
#include "project/token_reader.h"

namespace vistrel {

namespace {
constexpr const char* kSeparator = "   ";
}  // namespace

void SaveControlPoints(const std::string& path, const PointTable& table) {
  std::string text;
  for (int i = 1; i <= PointTable::kControlCount; ++i) {
    for (const std::int32_t value : {table.xg[i], table.yg[i], table.xd[i], table.yd[i]}) {
      text += std::to_string(value);
      text += kSeparator;
    }
    for (const double value : {table.px[i], table.py[i], table.pz[i]}) {
      text += FormatGeneralReadable(value);
      text += kSeparator;
    }
    text += "\r\n";
  }
  ReplaceFile(path, text);
}

void LoadControlPoints(const std::string& path, PointTable& table) {
  TokenReader reader(path);
  for (int i = 1; i <= PointTable::kControlCount; ++i) {
    table.xg[i] = reader.ReadInteger();
    table.yg[i] = reader.ReadInteger();
    table.xd[i] = reader.ReadInteger();
    table.yd[i] = reader.ReadInteger();
    table.px[i] = reader.ReadDouble();
    table.py[i] = reader.ReadDouble();
    table.pz[i] = reader.ReadDouble();
    reader.SkipLine();
  }
}

}  // namespace vistrel
