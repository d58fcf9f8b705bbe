// The control-point reader on arbitrary bytes: it either loads or says "Saisie numérique
// incorrecte"; what it loads saves and loads back to the same table.

#include "fuzz_entry.h"
#include "project/io_error.h"
#include "project/reference_file.h"
#include "project/token_reader.h"

namespace vistrel::fuzz {

int ControlPointReader(const std::uint8_t* data, std::size_t size) {
  static const std::string input = ScratchFile("reference-in.txt");
  static const std::string output = ScratchFile("reference-out.txt");
  WriteScratch(input, data, size);

  PointTable table;
  try {
    LoadControlPoints(input, table);
  } catch (const EInOutError& e) {
    Require(e.code == EInOutError::kInvalidNumericInput,
            std::string("unexpected error reading control points: ") + e.what());
    return 0;
  } catch (const EReadLimit&) {
    // Only a line longer than the reader takes stops it within the fuzzer's input sizes.
    Require(size > TokenReader::kMaxLineLength, "a read limit reached on a short input");
    return 0;
  }
  SaveControlPoints(output, table);
  PointTable again;
  try {
    LoadControlPoints(output, again);
  } catch (const EInOutError& e) {
    Require(false, std::string("saved control points do not load: ") + e.what());
  }
  for (int i = 1; i <= PointTable::kFixedControls; ++i) {
    Require(again.Left(i).x == table.Left(i).x && again.Left(i).y == table.Left(i).y &&
                again.Right(i).x == table.Right(i).x && again.Right(i).y == table.Right(i).y,
            "image coordinates change in a save and load");
    Require(SameToFifteenDigits(table.Space(i).X, again.Space(i).X) &&
                SameToFifteenDigits(table.Space(i).Y, again.Space(i).Y) &&
                SameToFifteenDigits(table.Space(i).Z, again.Space(i).Z),
            "space coordinates change in a save and load");
  }
  return 0;
}

}  // namespace vistrel::fuzz

VISTREL_FUZZ_MAIN(vistrel::fuzz::ControlPointReader)
