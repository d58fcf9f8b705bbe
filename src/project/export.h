#pragma once

// Exports of the measured geometry for other programs: points and lines in file units, every
// coordinate in the geometry file's general format (15 significant digits, "." separator).

#include <optional>
#include <string>
#include <string_view>

#include "project/geom_file.h"

namespace vistrel {

enum class ExportFormat {
  kCsv,  // header "kind,index,x,y,z,x2,y2,z2"; "point,i,X,Y,Z,,," and "line,j,X1,...,Z2"
  kPly,  // ASCII PLY: double vertices (points, then both ends of each line) and int edges
  kObj,  // "v X Y Z" vertices in the same order, "l A B" (1-based) per line
  kDxf,  // AutoCAD R12 (AC1009): POINT entities on layer POINTS, LINE entities on layer LINES
};

// "csv", "ply", "obj" or "dxf" (any case); nothing for another name.
std::optional<ExportFormat> ExportFormatFromName(std::string_view name);

// The whole export as text, lines ended by LF.
std::string ExportText(const GeomData& data, ExportFormat format);

// Why `out` cannot take an export of the geometry file `geom`, or an empty text when it can:
// it is that very file under any name (RefuseOutputOverInput), it is a folder, or its folder does
// not exist. Looks only, writes nothing.
std::string ExportOutputProblem(const std::string& geom, const std::string& out);

// Reads the geometry file to export. Unlike the 3D view, which starts empty without one, a
// missing file is an error here: "Fichier introuvable" (EInOutError), as other file errors.
GeomData ReadExportSource(const std::string& geom);

// Writes ExportText to path (beside and renamed, as the project files); throws EInOutError.
void WriteExport(const std::string& path, const GeomData& data, ExportFormat format);

}  // namespace vistrel
