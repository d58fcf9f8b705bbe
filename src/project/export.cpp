#include "project/export.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "numeric/text_format.h"
#include "project/safe_write.h"

namespace vistrel {

namespace {

std::string Num(double value) { return FormatGeneralReadable(value); }

void Csv(const GeomData& data, std::string& out) {
  out += "kind,index,x,y,z,x2,y2,z2\n";
  for (size_t i = 0; i < data.points.size(); ++i) {
    const GeomPoint& p = data.points[i];
    out +=
        "point," + std::to_string(i) + "," + Num(p.x) + "," + Num(p.y) + "," + Num(p.z) + ",,,\n";
  }
  for (size_t i = 0; i < data.lines.size(); ++i) {
    const GeomLine& l = data.lines[i];
    out += "line," + std::to_string(i);
    for (const double v : {l.x1, l.y1, l.z1, l.x2, l.y2, l.z2}) out += "," + Num(v);
    out += "\n";
  }
}

// Lines store their ends by value, so each end is a vertex of its own after the points.
void Vertices(const GeomData& data, const char* prefix, std::string& out) {
  auto vertex = [&](double x, double y, double z) {
    out += prefix + Num(x) + " " + Num(y) + " " + Num(z) + "\n";
  };
  for (const GeomPoint& p : data.points) vertex(p.x, p.y, p.z);
  for (const GeomLine& l : data.lines) {
    vertex(l.x1, l.y1, l.z1);
    vertex(l.x2, l.y2, l.z2);
  }
}

void Ply(const GeomData& data, std::string& out) {
  const size_t vertices = data.points.size() + 2 * data.lines.size();
  out += "ply\nformat ascii 1.0\ncomment vistrel geometry, file units\n";
  out += "element vertex " + std::to_string(vertices) + "\n";
  // Doubles: single precision would not keep 15 significant digits.
  out += "property double x\nproperty double y\nproperty double z\n";
  out += "element edge " + std::to_string(data.lines.size()) + "\n";
  out += "property int vertex1\nproperty int vertex2\nend_header\n";
  Vertices(data, "", out);
  for (size_t i = 0; i < data.lines.size(); ++i) {
    const size_t first = data.points.size() + 2 * i;
    out += std::to_string(first) + " " + std::to_string(first + 1) + "\n";
  }
}

void Obj(const GeomData& data, std::string& out) {
  out += "# vistrel geometry, file units: " + std::to_string(data.points.size()) + " points, " +
         std::to_string(data.lines.size()) + " lines\n";
  Vertices(data, "v ", out);
  for (size_t i = 0; i < data.lines.size(); ++i) {
    const size_t first = data.points.size() + 2 * i + 1;  // OBJ counts from 1
    out += "l " + std::to_string(first) + " " + std::to_string(first + 1) + "\n";
  }
}

void Group(std::string& out, int code, const std::string& value) {
  std::string c = std::to_string(code);
  out += std::string(c.size() < 3 ? 3 - c.size() : 0, ' ') + c + "\n" + value + "\n";
}

void Dxf(const GeomData& data, std::string& out) {
  Group(out, 0, "SECTION");
  Group(out, 2, "HEADER");
  Group(out, 9, "$ACADVER");
  Group(out, 1, "AC1009");
  Group(out, 0, "ENDSEC");
  Group(out, 0, "SECTION");
  Group(out, 2, "TABLES");
  Group(out, 0, "TABLE");
  Group(out, 2, "LAYER");
  Group(out, 70, "2");
  for (const auto& [name, colour] : {std::pair{"POINTS", "1"}, std::pair{"LINES", "7"}}) {
    Group(out, 0, "LAYER");
    Group(out, 2, name);
    Group(out, 70, "0");
    Group(out, 62, colour);
    Group(out, 6, "CONTINUOUS");
  }
  Group(out, 0, "ENDTAB");
  Group(out, 0, "ENDSEC");
  Group(out, 0, "SECTION");
  Group(out, 2, "ENTITIES");
  // A point's X, Y and Z go to group codes first, first + 10 and first + 20.
  auto point = [&out](int first, double x, double y, double z) {
    Group(out, first, Num(x));
    Group(out, first + 10, Num(y));
    Group(out, first + 20, Num(z));
  };
  for (const GeomPoint& p : data.points) {
    Group(out, 0, "POINT");
    Group(out, 8, "POINTS");
    point(10, p.x, p.y, p.z);
  }
  for (const GeomLine& l : data.lines) {
    Group(out, 0, "LINE");
    Group(out, 8, "LINES");
    point(10, l.x1, l.y1, l.z1);
    point(11, l.x2, l.y2, l.z2);
  }
  Group(out, 0, "ENDSEC");
  Group(out, 0, "EOF");
}

}  // namespace

std::optional<ExportFormat> ExportFormatFromName(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  if (lower == "csv") return ExportFormat::kCsv;
  if (lower == "ply") return ExportFormat::kPly;
  if (lower == "obj") return ExportFormat::kObj;
  if (lower == "dxf") return ExportFormat::kDxf;
  return std::nullopt;
}

std::string ExportText(const GeomData& data, ExportFormat format) {
  std::string out;
  switch (format) {
    case ExportFormat::kCsv:
      Csv(data, out);
      break;
    case ExportFormat::kPly:
      Ply(data, out);
      break;
    case ExportFormat::kObj:
      Obj(data, out);
      break;
    case ExportFormat::kDxf:
      Dxf(data, out);
      break;
  }
  return out;
}

std::string ExportOutputProblem(const std::string& geom, const std::string& out) {
  struct stat out_info;
  if (::stat(out.c_str(), &out_info) == 0) {
    if (S_ISDIR(out_info.st_mode)) return "is a folder: give the name of a file to write";
    try {
      RefuseOutputOverInput({"the export", out}, {{"the geometry file", geom}});
    } catch (const EOutputIsInput& e) {
      return e.what();
    }
    return {};
  }
  const std::size_t slash = out.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    const std::string folder = out.substr(0, slash);
    struct stat folder_info;
    if (::stat(folder.c_str(), &folder_info) != 0)
      return "the folder " + folder + " does not exist";
    if (!S_ISDIR(folder_info.st_mode)) return folder + " is not a folder";
  }
  return {};
}

GeomData ReadExportSource(const std::string& geom) {
  return ReadGeometry(geom, /*missing_ok=*/false);
}

void WriteExport(const std::string& path, const GeomData& data, ExportFormat format) {
  ReplaceFile(path, ExportText(data, format));
}

}  // namespace vistrel
