#pragma once

// What the 3D window draws over its data, computed as plain values: drop lines, the ground grid
// and its caption, point labels and the measure line. Nothing here draws, so every rule is
// tested without OpenGL.

#include <string>
#include <vector>

#include "project/geom_file.h"
#include "scene/node.h"

namespace vistrel::view3d {

// Segment ends, two per visible ball, from the ball straight down to the ground (the data
// frame's z = 0), in the data frame.
std::vector<scene::Vec3> DropLineEnds(const std::vector<scene::SphereNode*>& points);

// Grid lines per side at most, whatever the data's extent.
inline constexpr int kMaxGridLines = 200;

struct GroundGrid {
  std::vector<scene::Vec3> ends;  // two per segment, in the data frame, on its z = 0
  double step_file = 0;           // spacing in file units; 0 when there is no grid
};
// A square grid on the ground around the data: its spacing a power of ten in file units, about
// a fifth of the data's extent; one unit square when there is no data (has_data false).
// centre: the data's centre in the data frame, scene units; radius: the data's extent, scene
// units; scale: file units to scene units. No grid for a scale that is not a positive number.
GroundGrid MakeGroundGrid(bool has_data, scene::Vec3 centre, double radius, double scale);

// The caption of the grid: its unit, then the local origin's file coordinates when the scene is
// drawn around one (the ground is then the plane z = origin Z). Empty without a grid.
std::string GridCaption(double step_file, const GeomPoint& origin);

// The label of point `index`: mode 1 the number, mode 2 the number and its file coordinates.
std::string PointLabel(int mode, std::size_t index, const GeomPoint& record);

// The measure line under the view: the selection's readout, or how to get one.
std::string MeasureLine(const std::string& readout);

}  // namespace vistrel::view3d
