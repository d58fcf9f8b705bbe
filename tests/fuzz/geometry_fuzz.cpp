// The geometry reader on arbitrary bytes: it either reads or says "Saisie numérique
// incorrecte"; what it reads rewrites and reads back to the same records.

#include "fuzz_entry.h"
#include "project/geom_file.h"
#include "project/io_error.h"
#include "project/token_reader.h"

namespace vistrel::fuzz {

int GeometryReader(const std::uint8_t* data, std::size_t size) {
  static const std::string input = ScratchFile("geom-in.txt");
  static const std::string output = ScratchFile("geom-out.txt");
  WriteScratch(input, data, size);

  GeomData read;
  try {
    read = ReadGeometry(input);
  } catch (const EInOutError& e) {
    Require(e.code == EInOutError::kInvalidNumericInput,
            std::string("unexpected error reading the geometry: ") + e.what());
    return 0;
  } catch (const EReadLimit&) {
    // Only a line longer than the reader takes stops it within the fuzzer's input sizes.
    Require(size > TokenReader::kMaxLineLength, "a read limit reached on a short input");
    return 0;
  }
  Require(read.points.size() + read.lines.size() <= size, "more records than bytes");

  std::vector<RewritePoint> points;
  for (const GeomPoint& p : read.points) points.push_back({p.x, p.y, p.z, true});
  std::vector<RewriteLine> lines;
  for (const GeomLine& l : read.lines) lines.push_back({l.x1, l.y1, l.z1, l.x2, l.y2, l.z2, true});
  RewriteGeometry(output, points, lines);
  GeomData again;
  try {
    again = ReadGeometry(output);
  } catch (const EInOutError& e) {
    Require(false, std::string("rewritten geometry does not read: ") + e.what());
  }
  Require(again.points.size() == read.points.size() && again.lines.size() == read.lines.size(),
          "record count changes in a rewrite");
  for (std::size_t i = 0; i < read.points.size(); ++i) {
    const GeomPoint &a = read.points[i], &b = again.points[i];
    Require(SameToFifteenDigits(a.x, b.x) && SameToFifteenDigits(a.y, b.y) &&
                SameToFifteenDigits(a.z, b.z),
            "point changes in a rewrite");
  }
  for (std::size_t i = 0; i < read.lines.size(); ++i) {
    const GeomLine &a = read.lines[i], &b = again.lines[i];
    Require(SameToFifteenDigits(a.x1, b.x1) && SameToFifteenDigits(a.y1, b.y1) &&
                SameToFifteenDigits(a.z1, b.z1) && SameToFifteenDigits(a.x2, b.x2) &&
                SameToFifteenDigits(a.y2, b.y2) && SameToFifteenDigits(a.z2, b.z2),
            "line changes in a rewrite");
  }
  return 0;
}

}  // namespace vistrel::fuzz

VISTREL_FUZZ_MAIN(vistrel::fuzz::GeometryReader)
