#pragma once

#include <string>

#include "photogrammetry/point_table.h"

namespace vistrel {

// The control-point file: nine lines, one per control point 1 to 9, each holding xg, yg, xd, yd
// (whole numbers) then px, py, pz (general format, 15 significant digits, "." as separator),
// every number followed by three blanks, each line ended by CR LF.
inline constexpr const char* kReferenceFileName = "reference.txt";
inline constexpr int kReferenceFileRows = 9;  // control points 1 to 9 of the point table

// Writes the first nine control points of `table` with ReplaceFile (owner, mode and links kept),
// so a failure ("Accès au fichier refusé", "Disque plein", ...: EInOutError) leaves the old file
// intact. The file holds whole pixels of nine points only: when the table holds more, or
// sub-pixel positions, or fewer than nine control points among its first ten entries, the
// returned note says what the file leaves out (empty when it holds everything). Exception, with
// nothing written, for fewer than nine control points.
std::string SaveControlPoints(const std::string& path, const PointTable& table);

// Reads the nine control points into `table`, each value stored as soon as it is read: four whole
// numbers then three reals per point, then the rest of that line is skipped. Numbers may be
// separated by any characters of code 0 to 32, so a point may continue on the next line; the
// end of the file reads as 0 for every value still missing. Throws EInOutError: "Fichier
// introuvable" (table unchanged), "Saisie numérique incorrecte" for a bad number (values read
// before it stay stored).
void LoadControlPoints(const std::string& path, PointTable& table);

}  // namespace vistrel
