#pragma once

// Random synthetic stereo pairs for measuring how often a calibration lands on the wrong cameras:
// a 1 m object seen from 2.5 to 4 m by two cameras of one lens, nine control points and a set of
// held-out check points, clicks with optional noise rounded to whole pixels. Space units are
// millimetres. The same seed always gives the same pair.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "photogrammetry/camera_model.h"
#include "photogrammetry/point_table.h"

namespace vistrel::synthetic {

// How the space system is oriented: which axis points up.
enum class Axes { kZUp, kZDown, kYUp };

enum class Geometry { kOrdinary, kLongLens, kSteep, kLookingDown, kAnyRoll, kNearlyCoplanar };

struct StereoCase {
  std::uint64_t seed = 0;
  Geometry geometry = Geometry::kOrdinary;
  TCameraParameters truth;
  int W = 0, H = 0;
  PointTable table;  // control points 1 to 9 as clicked; the observation point unused
  Axes axes = Axes::kZUp;
  bool convergent = false;
  double distance = 0, baseline = 0;  // mm
  double convergence = 0;             // degrees between the optical axes (0 when parallel)
  double noise = 0;                   // click noise (pixels, standard deviation) before rounding
  double corner_distortion = 0;       // radial displacement at the photograph's corner, pixels
  std::vector<std::array<double, 3>> checks;        // held-out space points
  std::vector<std::array<std::int32_t, 4>> clicks;  // their clicks: xg, yg, xd, yd

  std::string Describe() const;
};

// A random pair from a seed: sizes 1600 x 1200 to 6000 x 4000, the three axis conventions,
// baselines 0.15 to 0.5 of the distance, parallel or convergent, click noise 0, 0.5 or 1 px,
// radial distortion 0 (half the pairs) or up to 20 px at the corners, 30 check points. Every
// point lies in front of both cameras and inside both photographs.
StereoCase MakeStereoCase(std::uint64_t seed);

// Harder field geometries, each on 4000 x 3000 photographs with 0.5 px click noise, radial
// distortion on half the pairs as above, and otherwise as MakeStereoCase:
//   kLongLens      f 9,000 to 12,000 px, 6 to 10 m away, convergent, baseline 0.15 to 0.3 of
//                  the distance;
//   kSteep         optical axes converging at 40 to 70 degrees;
//   kLookingDown   looking down at 60 to 85 degrees, each camera at any roll;
//   kAnyRoll       each camera held at any roll (portrait, upside down);
//   kNearlyCoplanar control and check points within a depth of 12 % of the object's extent.
const char* GeometryName(Geometry g);
// kOrdinary is MakeStereoCase(seed).
StereoCase MakeStereoCase(Geometry geometry, std::uint64_t seed);

// External parameters of a camera at `centre` looking at `target`, with the space direction
// `up` appearing upward in the photograph (image rows grow downward).
ExternalParameters LookAt(const std::array<double, 3>& centre, const std::array<double, 3>& target,
                          const std::array<double, 3>& up);
// The same camera turned by `roll_deg` about its optical axis.
ExternalParameters LookAt(const std::array<double, 3>& centre, const std::array<double, 3>& target,
                          const std::array<double, 3>& up, double roll_deg);

// Root-mean-square distance between measured and true check points for the given cameras
// (the observation point measured as the main window measures it). A measurement that fails
// counts as infinitely far.
double HeldOutRms(const StereoCase& c, const TCameraParameters& camera);

}  // namespace vistrel::synthetic
