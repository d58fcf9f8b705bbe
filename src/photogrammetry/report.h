#pragma once

#include <string>
#include <vector>

#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"

namespace vistrel {

// The results report: the nine control points, then the internal and external parameters;
// always 72 lines, every blank kept. Reals in the general format with the given separator.
std::vector<std::string> ReportLines(const PointTable& table, const TCameraParameters& camera,
                                     char decimal_separator);

}  // namespace vistrel
