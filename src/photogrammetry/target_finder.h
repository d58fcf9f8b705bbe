#pragma once

// The centre of a target on a photograph, to a fraction of a pixel: a circular target (light on
// dark or dark on light, also seen obliquely as an ellipse), a ring or a chequered corner.
//
// Pixel convention: the centre of pixel (i, j) is the point (i, j); a target whose centre lies on
// the boundary between pixels 10 and 11 has x = 10.5.

#include <cstdint>
#include <functional>
#include <optional>

namespace vistrel {

// Every such target is point-symmetric: its centre is the one point about which the pattern maps
// onto itself, and blur, foreshortening to an ellipse and sensor noise keep that. Textured
// background is not. The finder works in two stages:
//
// 1. Detection: on the picture and on two halvings of it, each candidate centre within
//    kTargetSearch pixels of the start point, on a half-pixel grid of that level, is scored by
//    the mean squared difference of grey levels at opposite offsets within kTargetPatch pixels
//    of the level, divided by twice their variance: about 1 for unstructured texture, near 0 at
//    a target's centre. The halvings find targets larger than the patch.
// 2. Refinement: the centre c minimising sum w(|k - c|) (I(k) - I(2c - k))^2 over the pixels k of
//    a round window, I interpolated by cubic convolution, by Gauss-Newton steps; first on the
//    picture smoothed (a wide basin for the start), then on the picture itself. The window's
//    radius is the one that gives the smallest standard error (below).
inline constexpr int kTargetSearch = 10;
inline constexpr int kTargetPatch = 12;
// The largest refinement window: a target of radius 40 px, blurred, fits in it.
inline constexpr int kTargetMaxWindow = 56;
// A detection is accepted below this normalised asymmetry...
inline constexpr double kTargetMaxAsymmetry = 0.3;
// ... and only where the patch has this grey-level standard deviation (grey levels 0-255): a flat
// area is symmetric about every point.
inline constexpr double kTargetMinContrast = 12.0;
// A centre whose standard error exceeds this is no centre (a straight line is symmetric about
// every point along it).
inline constexpr double kTargetMaxSigma = 0.5;
// RefineTargetCentre refuses a pattern less isotropic than this (TargetCentre::isotropy): noise
// alone steers the centre along a band, and makes its standard error look small there. A disc
// seen 70 degrees obliquely keeps about 0.1.
inline constexpr double kTargetMinIsotropy = 0.05;

// Grey level of picture pixel (x, y), 0 (black) to 255 (white); negative outside the picture.
using GreyAt = std::function<double(std::int64_t x, std::int64_t y)>;

struct TargetCentre {
  double x = 0, y = 0;  // picture pixels, pixel centres at whole numbers
  // Standard error of one coordinate, pixels: the root mean square of the two axes' standard
  // errors, from the residual asymmetry of the grey levels weighted as they steer the centre
  // (noise, blur and compression all show in it).
  double sigma = 0;
  // How target-like the pattern is: 1 - a / kTargetMaxAsymmetry, a the normalised asymmetry of
  // the grey levels about the centre within the refinement window (mean squared difference of
  // opposite pixels over twice their variance). 1 for a perfect target, 0 at the limit.
  double score = 0;
  // Radius of the refinement window, pixels: about the target's extent.
  double window = 0;
  // Smaller over larger principal value of the gradients' weighted second moments in the window:
  // near 0 along a straight edge or band, about cos^2 of the tilt for a disc seen obliquely.
  double isotropy = 0;
};

// The centre of the target nearest (x, y): empty when no point within kTargetSearch pixels is
// symmetric enough, when the best lies on the edge of the search area (a target farther off), or
// when the centre is not determined to kTargetMaxSigma.
std::optional<TargetCentre> FindTargetCentre(const GreyAt& grey, double x, double y);

// The centre of a target already known to lie within a couple of pixels of (x, y), about `size`
// pixels in radius: the refinement stage alone, which never looks for a target elsewhere, so that
// a neighbour a few pixels away is not taken instead. Empty when the refined centre is not
// determined to kTargetMaxSigma, when the normalised asymmetry exceeds max_asymmetry (after the
// first, smoothed stage or at the end; that is, score < 1 - max_asymmetry / kTargetMaxAsymmetry),
// when the pattern is a band (kTargetMinIsotropy) or when the centre ends farther than
// max(2, size / 2) pixels from the start.
std::optional<TargetCentre> RefineTargetCentre(const GreyAt& grey, double x, double y, double size,
                                               double max_asymmetry = kTargetMaxAsymmetry);

}  // namespace vistrel
