#include "project/geom_file.h"

#include "numeric/text_format.h"
#include "project/file_error.h"
#include "project/token_reader.h"

namespace vistrel {

namespace {

void AppendNumber(std::string& text, long double value) {
  text += FormatGeneral(value, '.');
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
