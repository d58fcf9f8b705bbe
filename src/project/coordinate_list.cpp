#include "project/coordinate_list.h"

#include <algorithm>
#include <optional>

#include "numeric/text_format.h"
#include "project/line_reader.h"

namespace vistrel {
namespace {

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string_view> SplitAt(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t end = line.find(separator, start);
    fields.push_back(Trim(line.substr(start, end - start)));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

std::vector<std::string_view> SplitAtBlanks(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t i = 0;
  while (true) {
    i = line.find_first_not_of(" \t\r", i);
    if (i == std::string_view::npos) return fields;
    const std::size_t end = std::min(line.find_first_of(" \t\r", i), line.size());
    fields.push_back(line.substr(i, end - i));
    i = end;
  }
}

std::optional<double> Number(std::string_view text, char decimal_separator) {
  double value;
  if (TryStrToDouble(text, value, '.') || TryStrToDouble(text, value, decimal_separator)) {
    return value;
  }
  return {};
}

// The row a line holds, when its last three fields are numbers and there are three or four.
std::optional<CoordinateRow> RowOf(const std::vector<std::string_view>& fields,
                                   char decimal_separator) {
  if (fields.size() != 3 && fields.size() != 4) return {};
  const std::size_t first = fields.size() - 3;
  CoordinateRow row;
  double* values[] = {&row.x, &row.y, &row.z};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::optional<double> v = Number(fields[first + i], decimal_separator);
    if (!v) return {};
    *values[i] = *v;
  }
  if (first == 1) row.name = std::string(fields[0]);
  return row;
}

std::optional<CoordinateRow> ReadLine(std::string_view line, char decimal_separator) {
  if (line.find(';') != std::string_view::npos) return RowOf(SplitAt(line, ';'), decimal_separator);
  // Tabs or commas separate the fields when splitting there gives a row; else blanks and tabs
  // do, and a comma may be the decimal separator.
  if (line.find('\t') != std::string_view::npos) {
    if (auto row = RowOf(SplitAt(line, '\t'), decimal_separator)) return row;
  }
  if (line.find(',') != std::string_view::npos) {
    if (auto row = RowOf(SplitAt(line, ','), '.')) return row;
  }
  return RowOf(SplitAtBlanks(line), decimal_separator);
}

}  // namespace

std::vector<CoordinateRow> ReadCoordinateList(std::string_view text, char decimal_separator,
                                              std::size_t max_rows) {
  std::vector<CoordinateRow> rows;
  bool header_allowed = true;
  int number = 0;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::optional<CoordinateRow> row = ReadLine(line, decimal_separator);
    if (!row) {
      if (header_allowed) {
        header_allowed = false;
        continue;
      }
      throw ECoordinateList("line " + std::to_string(number) +
                            ": expected \"name X Y Z\" or \"X Y Z\", got '" + std::string(line) +
                            "'");
    }
    header_allowed = false;
    row->line = number;
    rows.push_back(*row);
    if (rows.size() > max_rows) {
      throw ECoordinateList("line " + std::to_string(number) + ": more than " +
                            std::to_string(max_rows) + " points");
    }
  }
  if (rows.empty()) throw ECoordinateList("no coordinates found");
  return rows;
}

std::vector<CoordinateRow> ReadCoordinateListFile(const std::string& path, char decimal_separator,
                                                  std::size_t max_rows) {
  // A surveyor's list of a few points: a megabyte is far beyond one, and keeps an endless
  // device from filling the memory.
  constexpr std::size_t kMaxListBytes = std::size_t(1) << 20;
  std::string text;
  LineReader reader(path, kMaxListBytes);
  try {
    for (std::string line; reader.Next(line);) text += line + '\n';
  } catch (const EReadLimit& e) {
    throw ECoordinateList("line " + std::to_string(reader.line_number()) + ": " + e.what());
  }
  return ReadCoordinateList(text, decimal_separator, max_rows);
}

}  // namespace vistrel
