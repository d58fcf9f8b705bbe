#pragma once

// A surveyor's list of space coordinates, as text or CSV: one point a line, "name X Y Z" or
// "X Y Z", either perhaps followed by a last field "check" or "control" (any case) saying what
// the point is for. What separates the fields decides the decimal separator, never the machine's
// locale: between semicolons, tabs or blanks a comma is a decimal separator (a full stop is read
// too); between commas only a full stop is. A leading UTF-8 byte-order mark, blank lines and lines
// starting with "#" are skipped.

#include <string>
#include <string_view>
#include <vector>

#include "numeric/exception.h"

namespace vistrel {

struct CoordinateRow {
  std::string name;  // empty on an "X Y Z" line
  double x = 0, y = 0, z = 0;
  int line = 0;        // 1-based line of the text
  int point = 0;       // the control point it goes to, 1-based
  bool check = false;  // marked "check": measured and compared, not used to calibrate
};

struct CoordinateList {
  std::vector<CoordinateRow> rows;  // in text order
  int header_line = 0;              // the line taken as a header, 0 when none
  // Whether the names are point numbers ("1".."9", or one prefix followed by 1..9, each once),
  // so that each row went to the point its name numbers; otherwise rows go to 1, 2, ... in order.
  bool numbered = false;
};

// A list that cannot be read. The message starts with the line ("line 4: ...") when one line is
// at fault and names what is wrong in it.
class ECoordinateList : public Exception {
 public:
  using Exception::Exception;
};

// The rows for control points 1 to `max_rows`. The first non-blank line is a header when none of
// its coordinate fields (its last three) reads as a number; any other line that is not a row
// throws. More than `max_rows` rows, or none, throws, saying how many were read.
CoordinateList ReadCoordinateList(std::string_view text, std::size_t max_rows);

// The same for the file at `path`; file errors throw EInOutError, a line too long ELineTooLong.
CoordinateList ReadCoordinateListFile(const std::string& path, std::size_t max_rows);

}  // namespace vistrel
