#pragma once

// A surveyor's list of space coordinates, as text or CSV: one point a line, "name X Y Z" or
// "X Y Z", fields separated by a comma, a semicolon, a tab or blanks, an optional header line,
// "." or the user's decimal separator. Blank lines and lines starting with "#" are skipped.

#include <string>
#include <string_view>
#include <vector>

#include "numeric/exception.h"

namespace vistrel {

struct CoordinateRow {
  std::string name;  // empty on an "X Y Z" line
  double x = 0, y = 0, z = 0;
  int line = 0;  // 1-based line of the text
};

// A line that cannot be read: "line 4: expected "name X Y Z" or "X Y Z", got '...'".
class ECoordinateList : public Exception {
 public:
  using Exception::Exception;
};

// The rows in text order. Fields: semicolons separate them when the line holds one; else tabs,
// then commas, do when the line splits there into three or four fields whose last three are
// numbers (with "." after commas); else blanks and tabs do (a comma may then be the decimal
// separator). The first
// line that is not a row of numbers may be a header; any later one throws ECoordinateList,
// as does a list with more than `max_rows` rows or none at all.
std::vector<CoordinateRow> ReadCoordinateList(std::string_view text, char decimal_separator,
                                              std::size_t max_rows);

// The same for the file at `path`; file errors throw EInOutError, a line too long ELineTooLong.
std::vector<CoordinateRow> ReadCoordinateListFile(const std::string& path, char decimal_separator,
                                                  std::size_t max_rows);

}  // namespace vistrel
