#pragma once

#include <array>

#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"

namespace vistrel::testing {

// A stereo pair made with the system's own camera model: the demo scene's cameras and targets,
// with the lens given, pixels rounded to whole numbers as a click would give them.
struct SyntheticPair {
  TCameraParameters truth;
  PointTable table;
  int W = 0, H = 0;
};

SyntheticPair MakePair(const InternalParameters& lens);

// Projects (X, Y, Z) into both photographs and stores the rounded pixels as the observation.
void Observe(PointTable& table, const TCameraParameters& camera, double X, double Y, double Z);

// Largest difference between the rotation matrices of two Euler triples (equivalent triples
// give the same matrix).
double RotationDistance(const ExternalParameters& a, const ExternalParameters& b);

}  // namespace vistrel::testing
