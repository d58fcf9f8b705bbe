#pragma once

// Which detected target is which control point, in one photograph, without a click: the control
// points' space coordinates are known, so the search is for a camera that puts many of them onto
// detected targets at once. Hypotheses come from three control points matched to three targets
// (a three-point resection for each focal length of a grid); each one that puts enough of the
// other control points near targets is refined by a linear DLT through all of them and matched
// again with a shrinking tolerance. An assignment is accepted only when no other assignment
// fits about as well: a symmetric layout is reported ambiguous, never guessed.

#include <cstddef>
#include <stop_token>
#include <vector>

#include "photogrammetry/point_table.h"

namespace vistrel {

enum class TargetMatchStatus {
  kFound,      // at least `min_found` control points assigned, no rival assignment
  kTooFew,     // no camera puts `min_found` control points onto targets
  kAmbiguous,  // another assignment fits about as well
};

struct TargetMatchOptions {
  // Largest distance, pixels, between a control point's projection through the fitted DLT and
  // the target assigned to it.
  double tolerance = 3.0;
  // Fewest control points an assignment holds to count. The DLT needs six, but six points leave
  // it one degree of freedom, and among a few dozen targets some wrong six fit as well as the
  // right ones: seven is the least that tells them apart.
  int min_found = 7;
  std::stop_token stop{};
};

struct TargetMatch {
  TargetMatchStatus status = TargetMatchStatus::kTooFew;
  // For each control point, the index of its target, or -1 when none was found for it. Filled
  // for kFound only.
  std::vector<int> target_of;
  int found = 0;        // control points assigned (of the best assignment, whatever the status)
  double rms = 0;       // reprojection RMS of the best assignment through its DLT, pixels
  int rival_found = 0;  // the closest rival's figures, when the status is kAmbiguous
  double rival_rms = 0;
  std::size_t hypotheses = 0;  // camera hypotheses tried, for the benchmark
};

// Matches the control points to the targets detected in a `width` x `height` photograph. Needs
// six or more control points, not all in one line; throws Exception otherwise. A stop request
// ends the search early with what it has found (status kTooFew when nothing yet).
TargetMatch MatchTargetsToControlPoints(const std::vector<SpacePoint>& control,
                                        const std::vector<ImagePosition>& targets, int width,
                                        int height, const TargetMatchOptions& options = {});

}  // namespace vistrel
