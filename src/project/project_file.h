#pragma once

// The project file (*.vistrel): both photographs, the ten points at full precision with their
// colours and which of their parts are stored, and the lens-model choice, in one versioned text
// file. Unlike reference.txt it loses nothing: space coordinates are written with the shortest
// text that reads back to the same double.

#include <optional>
#include <string>
#include <string_view>

#include "numeric/exception.h"
#include "photogrammetry/calibration.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

// Version 1 holds the first ten points with whole pixels; version 2 every point with its name,
// kind and real positions. A table version 1 can hold is written as version 1, bit for bit as
// before; any other as version 2. Both are read.
inline constexpr int kProjectFormatVersion = 2;
inline constexpr const char* kProjectFileExtension = ".vistrel";

struct Project {
  std::string left_image, right_image;  // full names, empty when a pane shows its own picture
  PointTable table;  // pixels, space coordinates, colours and the parts that hold a stored value
  bool distortion = false;              // "Correc. Distortions"
  std::optional<LensModel> lens_model;  // the model beside it; empty: the check box decides
  bool sub_pixel = false;               // reserved: read and written, not used yet
};

// A file that is not a project this version reads: "line 7: ...". Nothing was read into any
// project when it is thrown.
class EProjectFileError : public Exception {
 public:
  EProjectFileError(int line, const std::string& reason)
      : Exception("line " + std::to_string(line) + ": " + reason), line(line) {}
  int line;
};

std::string ProjectText(const Project& project);
// Throws EProjectFileError for a damaged file or one of a newer format version.
Project ParseProject(std::string_view text);

// Writes with ReplaceFile (never a truncated file; owner, mode and links kept). Throws
// EInOutError, or Exception for a photograph name that a line cannot hold.
void SaveProject(const std::string& path, const Project& project);
// Throws EInOutError when the file cannot be read, EProjectFileError as ParseProject.
Project LoadProject(const std::string& path);

}  // namespace vistrel
