#include "project/geom_file.h"

#include <charconv>
#include <cstdlib>

#include "numeric/text_format.h"
#include "project/file_error.h"
#include "project/token_reader.h"

namespace vistrel {

namespace {

// The general format with the shortest digits that read back as this very double (up to 17):
// used only where 15 digits would not.
std::string ShortestGeneral(double value) {
  char buf[64];
  const auto end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific).ptr;
  const std::string text(buf, end);  // [-]d[.ddd]e[+-]XX
  const size_t e = text.find('e');
  const bool negative = text[0] == '-';
  std::string digits;
  for (size_t i = negative ? 1 : 0; i < e; ++i) {
    if (text[i] != '.') digits += text[i];
  }
  const int exponent = std::atoi(text.c_str() + e + 1);
  const double magnitude = value < 0 ? -value : value;
  std::string out = negative ? "-" : "";
  if (magnitude >= 1e-4 && magnitude < 1e15) {
    if (exponent < 0) {
      out += "0." + std::string(size_t(-exponent - 1), '0') + digits;
    } else if (size_t(exponent) + 1 >= digits.size()) {
      out += digits + std::string(size_t(exponent) + 1 - digits.size(), '0');
    } else {
      out += digits.substr(0, size_t(exponent) + 1) + "." + digits.substr(size_t(exponent) + 1);
    }
  } else {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E" + std::to_string(exponent);
  }
  return out;
}

void AppendNumber(std::string& text, long double value) {
  text += FormatGeneral(value, '.');
  text += "  ";
}

// 15 significant digits when they read back as this double, else the shortest that do.
void AppendExactNumber(std::string& text, double value) {
  std::string number = FormatGeneral(value, '.');
  double back = 0;
  if (!TryStrToDouble(number, back) || back != value) number = ShortestGeneral(value);
  text += number;
  text += "  ";
}

bool IsLineEnd(int c) { return c == '\r' || c == '\n' || c == TokenReader::kEnd; }

}  // namespace

GeomData ReadGeometry(const std::string& path) {
  GeomData data;
  TokenReader reader(path, /*missing_ok=*/true);
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
  WriteFileAtomically(path, text);
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
  WriteFileAtomically(path, text);
}

void AppendMeasuredPoint(const std::string& path, const std::string& x, const std::string& y,
                         const std::string& z, char decimal_separator) {
  if (x.empty() || y.empty() || z.empty()) {
    AppendToFile(path, "");
    return;
  }
  std::string record = "p  ";
  for (const std::string* text : {&x, &y, &z}) {
    StrToFloat(*text, decimal_separator);
    // The file always uses a full stop, whatever separator the user types with.
    for (const char c : *text) record += c == decimal_separator ? '.' : c;
    record += "   ";
  }
  record += "\r\n";
  AppendToFile(path, record);
}

}  // namespace vistrel
