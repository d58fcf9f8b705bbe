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

// Writes ExportText to path (beside and renamed, as the project files); throws EInOutError.
void WriteExport(const std::string& path, const GeomData& data, ExportFormat format);

}  // namespace vistrel
