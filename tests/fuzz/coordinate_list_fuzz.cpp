// The surveyor's coordinate-list reader on arbitrary bytes, with either decimal separator: it
// either gives one to nine rows of finite numbers in line order, or refuses with its reason.

#include <cmath>

#include "fuzz_entry.h"
#include "project/coordinate_list.h"

namespace vistrel::fuzz {

int CoordinateListReader(const std::uint8_t* data, std::size_t size) {
  static const std::string input = ScratchFile("coordinates.csv");
  WriteScratch(input, data, size);
  constexpr std::size_t kRows = 9;
  for (const char separator : {'.', ','}) {
    std::vector<CoordinateRow> rows;
    try {
      rows = ReadCoordinateListFile(input, separator, kRows);
    } catch (const ECoordinateList&) {
      continue;
    }
    Require(!rows.empty() && rows.size() <= kRows, "a list of no rows or too many");
    int previous_line = 0;
    for (const CoordinateRow& row : rows) {
      Require(std::isfinite(row.x) && std::isfinite(row.y) && std::isfinite(row.z),
              "a coordinate that is not a number");
      Require(row.line > previous_line, "rows out of line order");
      previous_line = row.line;
    }
  }
  return 0;
}

}  // namespace vistrel::fuzz

VISTREL_FUZZ_MAIN(vistrel::fuzz::CoordinateListReader)
