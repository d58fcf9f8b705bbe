#pragma once

// Every target of a photograph, without a click: candidates over the whole picture, each centred
// by the target finder's refinement (target_finder.h), which also gives its standard error and
// its score. The snap of a click uses the same detection around the click, so that it takes the
// target under the pointer, or says that two are there, instead of the most symmetric one within
// reach.
//
// Candidates come from a pyramid of 2 x 2 halvings (levels 1 to kDetectionLevels, so targets of
// about 3 to 60 pixels across each meet a level where they are 2 to 8 pixels across):
//   - blobs (a disc, an ellipse, a ring, light or dark): local extrema of the difference of two
//     Gaussian smoothings of the level;
//   - saddles (a chequered corner): local maxima of Ixy^2 - Ixx Iyy, the smoothed level's Hessian
//     being indefinite there.
// A candidate that is not roughly point-symmetric on its level is dropped before the costly
// refinement; what remains is refined on the full picture and kept when its centre is determined
// and symmetric enough. Centres closer than kSameTarget are one target; the parts of a larger
// target, and the midpoint of a group of targets, are not targets (kPartDistance).

#include <cstdint>
#include <optional>
#include <vector>

#include "photogrammetry/target_finder.h"

namespace vistrel {

// A photograph's grey levels, 0-255, row after row; not owned.
struct GreyView {
  std::int64_t width = 0, height = 0;
  const std::uint8_t* pixels = nullptr;
  double at(std::int64_t x, std::int64_t y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? -1.0 : pixels[y * width + x];
  }
};

inline constexpr int kDetectionLevels = 4;
// Smoothings of a level for the blob response, in the level's pixels.
inline constexpr double kBlobInner = 1.0, kBlobOuter = 1.6;
// Weakest responses considered, grey levels (blob) and grey levels per pixel squared (saddle):
// a target of the finder's least contrast (kTargetMinContrast) stays above them.
inline constexpr double kMinBlobResponse = 3.0;
inline constexpr double kMinSaddleResponse = 1.5;
// A level's candidate goes on to refinement below this asymmetry on a patch of kLevelPatch level
// pixels (looser than the finder's own limit: the level's candidate is up to half a level pixel
// off the centre).
inline constexpr double kLevelMaxAsymmetry = 0.35;
inline constexpr int kLevelPatch = 3;
// A target of the photograph is this symmetric (RefineTargetCentre's max_asymmetry; score at
// least 2/3): rendered targets under noise and blur stay below 0.02, while the junctions and
// corners of clutter that pass the level's test mostly lie above.
inline constexpr double kDetectionMaxAsymmetry = 0.1;
// ... and centred this well, pixels: rendered targets stay below 0.02, the demo's below 0.03,
// while slivers and junctions of clutter that are nearly symmetric lie above 0.1.
inline constexpr double kDetectionMaxSigma = 0.1;
// Two refined centres closer than this (pixels) are the same target.
inline constexpr double kSameTarget = 1.5;
// A pattern with smaller targets within kPartDistance times its window of its centre is one
// target with parts (the crossings of its ring and its cross), under kPartWindow times its
// window, or a group of targets when two or more inside are no smaller than that (two alike
// side by side are symmetric about their midpoint).
inline constexpr double kPartWindow = 0.5;
inline constexpr double kPartDistance = 0.5;

// Every target of the picture, sorted by y then x. Coordinates as the finder's (the centre of
// pixel (i, j) is (i, j)).
std::vector<TargetCentre> DetectTargets(const GreyView& picture);

// The targets whose candidates lie in the rectangle [x0, x1) x [y0, y1) of the picture read by
// `grey` (grey levels, negative outside the picture), as symmetric as max_asymmetry and centred
// to max_sigma.
std::vector<TargetCentre> DetectTargetsIn(const GreyAt& grey, std::int64_t x0, std::int64_t y0,
                                          std::int64_t x1, std::int64_t y1,
                                          double max_asymmetry = kDetectionMaxAsymmetry,
                                          double max_sigma = kDetectionMaxSigma);

// What a click at (x, y) takes.
struct SnapResult {
  enum class Kind { kTarget, kNone, kTwo };
  Kind kind = Kind::kNone;
  TargetCentre target;  // kTarget: the target; kTwo: the nearer of the two
  TargetCentre other;   // kTwo: the other one
};

// The target under the click: among the targets whose centre lies within kTargetSearch pixels of
// the click or whose window covers it, the nearest, when the next one is at least twice as far;
// kTwo when it is not (the click lies between two targets); kNone when there is none.
SnapResult SnapToTarget(const GreyAt& grey, double x, double y);

}  // namespace vistrel
