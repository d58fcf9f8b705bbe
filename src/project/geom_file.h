#pragma once

#include <string>
#include <vector>

namespace vistrel {

// The geometry file: one record per line, ended by CR LF (a bare LF is read too). A record whose
// first character is "p" or "P" is a point (X, Y, Z); any other is a line between two end points
// (X1, Y1, Z1, X2, Y2, Z2). Coordinates are in file units, "." as decimal separator.
inline constexpr const char* kGeometryFileName = "geom.txt";

struct GeomPoint {
  double x = 0, y = 0, z = 0;
};
struct GeomLine {
  double x1 = 0, y1 = 0, z1 = 0, x2 = 0, y2 = 0, z2 = 0;
};
struct GeomData {
  std::vector<GeomPoint> points;
  std::vector<GeomLine> lines;
};

// Reads every record, in file order. A missing file gives empty lists. Lines end with LF, CR LF or
// a bare CR. Numbers are separated by blanks, tabs or line breaks; the rest of a record's line
// after its last number is skipped; a number missing at the end of the file reads 0. Lines holding
// nothing or only blanks and tabs are skipped. Throws EInOutError ("Saisie numérique incorrecte"
// for a malformed number or one beyond the range of a double, other file errors by cause). With
// missing_ok false, a missing file throws "Fichier introuvable" instead.
GeomData ReadGeometry(const std::string& path, bool missing_ok = true);

// Coordinates already converted back to file units, in extended precision.
struct RewritePoint {
  long double x, y, z;
  bool visible;
};
struct RewriteLine {
  long double x1, y1, z1, x2, y2, z2;
  bool visible;
};

// Replaces the file with the visible points, then the visible lines ("p " / "l " layouts, two
// blanks after each number, CRLF, FormatGeneral with '.'). A value the reader would refuse
// (infinite, NaN, beyond the range of a double) throws EConvertError "'INF' n'est pas une valeur
// en virgule flottante correcte" before the file is touched. A long double holds every double
// exactly, and a double read from a number of up to 15 significant digits is written back as
// that number. Saved with ReplaceFile (in place where a rename would change the file's owner,
// mode or links), so a failure leaves the old file as it was; throws EInOutError.
void RewriteGeometry(const std::string& path, const std::vector<RewritePoint>& points,
                     const std::vector<RewriteLine>& lines);

// The same layout and replacement for every record of data, each value written so that it reads
// back as the very same double: FormatGeneral's 15 digits where they do, else the shortest digits
// that do (up to 17, same notation rules). A value is never rounded by a rewrite.
void RewriteGeometryAsRead(const std::string& path, const GeomData& data);

// Appends "p  X   Y   Z   \r\n" (the three texts as typed, but the decimal separator replaced
// by '.'), creating a missing file; after a last line without its line break, CR LF goes first.
// If any text is empty: creates a missing file but appends nothing. Before appending it checks
// that each text converts (StrToFloat(text, decimal_separator)) and that ReadGeometry takes it
// back (within the range of a double, at most TokenReader::kMaxRealLength characters), and
// throws EConvertError "'%s' n'est pas une valeur en virgule flottante correcte" (touching no
// file) when one fails. Plain append, never a rewrite; file errors throw EInOutError.
void AppendMeasuredPoint(const std::string& path, const std::string& x, const std::string& y,
                         const std::string& z, char decimal_separator);

}  // namespace vistrel
