#include "photogrammetry/significance.h"

namespace vistrel {

namespace {
constexpr int kObservations = 36;
constexpr int kDistortionTerms = 5;
constexpr int kParametersWith = 20;
}  // namespace

long double NestedF(long double without, long double with, int added, int residual_dof) {
  return ((without - with) / static_cast<long double>(added)) /
         (with / static_cast<long double>(residual_dof));
}

DistortionSignificance TestDistortionTerms(long double without, long double with) {
  DistortionSignificance test;
  test.without_distortion = without;
  test.with_distortion = with;
  test.F = NestedF(without, with, kDistortionTerms, kObservations - kParametersWith);
  test.significant = test.F > kDistortionFCritical;
  return test;
}

}  // namespace vistrel
