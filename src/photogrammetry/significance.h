#pragma once

// Significance tests between nested calibrations.

namespace vistrel {

// F statistic of a fit with `added` more parameters against the nested fit without them:
// ((without - with) / added) / (with / residual_dof), residual_dof the observations less the
// larger fit's parameters. Large values say the added parameters explain more than noise.
long double NestedF(long double without, long double with, int added, int residual_dof);

// Whether the five distortion coefficients explain more than click noise: an F test of the kept
// 20-parameter objective against the lowest 15-parameter objective the same calibration reached
// (the first stage of its staged starts). Nine points give 36 observations, so the distortion
// terms add 5 parameters to 15 and leave 16 degrees of freedom; with so few, coefficients that are
// not significant fit the noise and usually measure worse than no distortion terms at all.
struct DistortionSignificance {
  long double without_distortion = 0;  // lowest 15-parameter objective
  long double with_distortion = 0;     // the kept 20-parameter objective
  long double F = 0;                   // ((without - with) / 5) / (with / 16)
  bool significant = false;            // F above the 95 % point of F(5, 16)
};

// The 95 % point of the F distribution with 5 and 16 degrees of freedom.
inline constexpr long double kDistortionFCritical = 2.852409L;

// The 95 % point of the F distribution with d1 and d2 degrees of freedom (d1, d2 >= 1); the
// nine control points' tests get the constants they were always compared with.
long double FCritical95(int d1, int d2);

// The test of the five coefficients from the two objectives (`with` above zero), from
// `observations` image residuals (4 per control point).
DistortionSignificance TestDistortionTerms(long double without, long double with,
                                           int observations = 36);

}  // namespace vistrel
