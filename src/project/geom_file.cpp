#include "project/geom_file.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "numeric/text_format.h"
#include "project/safe_write.h"
#include "project/token_reader.h"

namespace vistrel {

namespace {

std::string NotARealMessage(std::string_view text) {
  return "'" + std::string(text) + "' n'est pas une valeur en virgule flottante correcte";
}

// A number the reader would refuse (beyond the range of a double: INF, 1E400) is never written,
// since one such number makes the whole file unreadable.
void AppendNumber(std::string& text, long double value) {
  const std::string number = FormatGeneral(value, '.');
  if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<double>::max()) {
    double read_back = 0;
    if (!TryStrToDouble(number, read_back, '.')) throw EConvertError(NotARealMessage(number));
  }
  text += number;
  text += "  ";
}

// The typed text as the file will hold it ('.' as separator). Refused with the conversion error
// unless the reader takes it back as one number: within the range of a double (the typing check
// allows extended range) and no longer than the reader's longest number.
std::string AppendedNumber(const std::string& text, char decimal_separator) {
  StrToFloat(text, decimal_separator);
  std::string field;
  for (const char c : text) field += c == decimal_separator ? '.' : c;
  const auto first = field.find_first_not_of(" \t");
  const auto last = field.find_last_not_of(" \t");
  const std::string_view token = std::string_view(field).substr(first, last - first + 1);
  double value = 0;
  if (token.size() > TokenReader::kMaxRealLength || !TryStrToDouble(token, value, '.')) {
    throw EConvertError(NotARealMessage(text));
  }
  return field;
}

// 15 significant digits when they read back as this double, in this program and in others (not
// beyond the largest double), else the shortest that do.
void AppendExactNumber(std::string& text, double value) {
  std::string number = FormatGeneralReadable(value);
  double back = 0;
  if (!TryStrToDouble(number, back) || back != value) number = FormatShortestGeneral(value);
  text += number;
  text += "  ";
}

bool IsLineEnd(int c) { return c == '\r' || c == '\n' || c == TokenReader::kEnd; }

}  // namespace

GeomData ReadGeometry(const std::string& path, bool missing_ok) {
  GeomData data;
  // Some million points: more than the 3D view can show, far less than an endless device.
  constexpr std::size_t kMaxGeometryFileBytes = std::size_t(64) << 20;
  TokenReader reader(path, missing_ok, kMaxGeometryFileBytes);
  while (reader.Peek() != TokenReader::kEnd) {
    if (IsLineEnd(reader.Peek())) {
      reader.SkipLine();
      continue;
    }
    // The record's kind is its first character, whatever it is; but a line of nothing except
    // blanks and tabs is no record at all.
    const int kind = reader.Get();
    if (kind == ' ' || kind == '\t') {
      reader.SkipBlanks();
      if (IsLineEnd(reader.Peek())) {
        reader.SkipLine();
        continue;
      }
    }
    if (kind == 'p' || kind == 'P') {
      GeomPoint point;
      point.x = reader.ReadDouble();
      point.y = reader.ReadDouble();
      point.z = reader.ReadDouble();
      data.points.push_back(point);
    } else {
      GeomLine line;
      line.x1 = reader.ReadDouble();
      line.y1 = reader.ReadDouble();
      line.z1 = reader.ReadDouble();
      line.x2 = reader.ReadDouble();
      line.y2 = reader.ReadDouble();
      line.z2 = reader.ReadDouble();
      data.lines.push_back(line);
    }
    reader.SkipLine();
  }
  return data;
}

void RewriteGeometry(const std::string& path, const std::vector<RewritePoint>& points,
                     const std::vector<RewriteLine>& lines) {
  std::string text;
  for (const RewritePoint& point : points) {
    if (!point.visible) continue;
    text += "p ";
    for (const long double value : {point.x, point.y, point.z}) AppendNumber(text, value);
    text += "\r\n";
  }
  for (const RewriteLine& line : lines) {
    if (!line.visible) continue;
    text += "l ";
    for (const long double value : {line.x1, line.y1, line.z1, line.x2, line.y2, line.z2}) {
      AppendNumber(text, value);
    }
    text += "\r\n";
  }
  ReplaceFile(path, text);
}

void RewriteGeometryAsRead(const std::string& path, const GeomData& data) {
  std::string text;
  for (const GeomPoint& point : data.points) {
    text += "p ";
    for (const double value : {point.x, point.y, point.z}) AppendExactNumber(text, value);
    text += "\r\n";
  }
  for (const GeomLine& line : data.lines) {
    text += "l ";
    for (const double value : {line.x1, line.y1, line.z1, line.x2, line.y2, line.z2}) {
      AppendExactNumber(text, value);
    }
    text += "\r\n";
  }
  ReplaceFile(path, text);
}

void AppendMeasuredPoint(const std::string& path, const std::string& x, const std::string& y,
                         const std::string& z, char decimal_separator) {
  if (x.empty() || y.empty() || z.empty()) {
    AppendToFile(path, "");
    return;
  }
  std::string record = "p  ";
  for (const std::string* text : {&x, &y, &z}) {
    record += AppendedNumber(*text, decimal_separator);
    record += "   ";
  }
  record += "\r\n";
  AppendLineToFile(path, record);
}

}  // namespace vistrel
