#include "project/coordinate_list.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

#include "numeric/text_format.h"
#include "project/line_reader.h"

namespace vistrel {
namespace {

constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr char kExpected[] = "expected \"name X Y Z\" or \"X Y Z\"";

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
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
  for (std::size_t i = 0;;) {
    i = line.find_first_not_of(kBlanks, i);
    if (i == std::string_view::npos) return fields;
    const std::size_t end = std::min(line.find_first_of(kBlanks, i), line.size());
    fields.push_back(line.substr(i, end - i));
    i = end;
  }
}

struct Fields {
  std::vector<std::string_view> values;
  bool comma_separated = false;
};

// Semicolons, then tabs separate when the line holds one. Otherwise commas do when the last
// three comma fields hold no blank ("T1,-45,-30,40" or "T1, -45, -30, 40"); else blanks do,
// and a comma is then part of a number ("T1 -45,5 -30 40").
Fields Split(std::string_view line) {
  if (line.find(';') != std::string_view::npos) return {SplitAt(line, ';')};
  if (line.find('\t') != std::string_view::npos) return {SplitAt(line, '\t')};
  if (line.find(',') != std::string_view::npos) {
    std::vector<std::string_view> fields = SplitAt(line, ',');
    const bool clean =
        fields.size() >= 3 && std::none_of(fields.end() - 3, fields.end(), [](std::string_view f) {
          return f.find_first_of(kBlanks) != std::string_view::npos;
        });
    if (clean) return {std::move(fields), true};
  }
  return {SplitAtBlanks(line)};
}

std::optional<double> Number(std::string_view text, bool comma_separated) {
  double value;
  if (TryStrToDouble(text, value, '.')) return value;
  if (!comma_separated && TryStrToDouble(text, value, ',')) return value;
  return {};
}

// "check" or "control" in any case; empty for another text.
std::optional<bool> KindWord(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower == "check") return true;
  if (lower == "control") return false;
  return {};
}

bool AnyCoordinateIsNumber(const Fields& f) {
  std::size_t size = f.values.size();
  if (size >= 5 && KindWord(f.values.back())) --size;  // "name X Y Z check"
  const std::size_t first = size > 3 ? size - 3 : 0;
  for (std::size_t i = first; i < size; ++i) {
    if (Number(f.values[i], f.comma_separated)) return true;
  }
  return false;
}

[[noreturn]] void Refuse(int line, const std::string& what) {
  throw ECoordinateList("line " + std::to_string(line) + ": " + what);
}

CoordinateRow RowOf(Fields f, int line) {
  std::optional<bool> check;
  if (f.values.size() >= 4) {
    check = KindWord(f.values.back());
    if (check) f.values.pop_back();
  }
  const std::size_t n = f.values.size();
  if (n != 3 && n != 4) {
    // A decimal comma splits each number in two: 5 to 8 fields instead of 3 or 4.
    if (f.comma_separated && n > 4 && n <= 8) {
      Refuse(line, "decimal comma in a comma-separated list (" + std::to_string(n) + " fields, " +
                       kExpected + ")");
    }
    Refuse(line, std::to_string(n) + (n == 1 ? " field, " : " fields, ") + kExpected);
  }
  if (n == 3 && !Number(f.values[0], f.comma_separated) && Number(f.values[1], f.comma_separated) &&
      Number(f.values[2], f.comma_separated)) {
    Refuse(line, std::string("a name and two numbers, ") + kExpected);
  }
  CoordinateRow row;
  row.line = line;
  row.check = check.value_or(false);
  if (n == 4) row.name = std::string(f.values[0]);
  double* values[] = {&row.x, &row.y, &row.z};
  const char* names[] = {"X", "Y", "Z"};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string_view text = f.values[n - 3 + i];
    const std::optional<double> v = Number(text, f.comma_separated);
    if (!v) {
      Refuse(line, std::string(names[i]) + " '" + std::string(text) + "' is not a number" +
                       (text.empty() ? " (empty field)" : ""));
    }
    *values[i] = *v;
  }
  return row;
}

// The number a name ends in, with the name's prefix; empty when it does not end in 1 to 9
// digits.
std::optional<std::pair<std::string_view, long>> NameNumber(std::string_view name) {
  const std::size_t digits = name.find_last_not_of("0123456789") + 1;  // npos + 1 == 0
  if (digits == name.size() || name.size() - digits > 9) return {};
  return std::pair{name.substr(0, digits), std::stol(std::string(name.substr(digits)))};
}

// Numbers the rows by their names when every name is one prefix followed by a distinct number
// from 1 to `max_rows`.
bool NumberByName(std::vector<CoordinateRow>& rows, std::size_t max_rows) {
  std::optional<std::string_view> prefix;
  std::set<long> seen;
  std::vector<int> numbers;
  for (const CoordinateRow& r : rows) {
    const auto number = NameNumber(r.name);
    if (!number || number->second < 1 || number->second > static_cast<long>(max_rows)) {
      return false;
    }
    if (prefix && *prefix != number->first) return false;
    if (!seen.insert(number->second).second) return false;
    prefix = number->first;
    numbers.push_back(static_cast<int>(number->second));
  }
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i].point = numbers[i];
  return true;
}

}  // namespace

CoordinateList ReadCoordinateList(std::string_view text, std::size_t max_rows) {
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  CoordinateList list;
  bool first = true;
  int number = 0;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++number;
    if (line.empty() || line[0] == '#') continue;
    const Fields fields = Split(line);
    if (first && !AnyCoordinateIsNumber(fields)) {
      list.header_line = number;
      first = false;
      continue;
    }
    first = false;
    list.rows.push_back(RowOf(fields, number));
  }
  if (list.rows.empty()) throw ECoordinateList("no coordinates found");
  if (list.rows.size() > max_rows) {
    throw ECoordinateList(std::to_string(list.rows.size()) + " rows read, at most " +
                          std::to_string(max_rows) + " control points");
  }
  list.numbered = NumberByName(list.rows, max_rows);
  if (!list.numbered) {
    for (std::size_t i = 0; i < list.rows.size(); ++i) list.rows[i].point = static_cast<int>(i) + 1;
  }
  return list;
}

CoordinateList ReadCoordinateListFile(const std::string& path, std::size_t max_rows) {
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
  return ReadCoordinateList(text, max_rows);
}

}  // namespace vistrel
