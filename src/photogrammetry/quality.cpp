#include "photogrammetry/quality.h"

#include <algorithm>
#include <cmath>

#include "numeric/fpu.h"
#include "numeric/text_format.h"
#include "photogrammetry/calibration_detail.h"

namespace vistrel {

namespace {

PointResidual ResidualOf(long double x, long double y, const PointTable& t, int i,
                         const InternalParameters& in, const ExternalParameters& ex) {
  const Residual r = ImageResidual(x, y, t.px[i], t.py[i], t.pz[i], PoseOf(ex), LensOf(in));
  return PointResidual{r.ex, r.ey, std::sqrt(r.ex * r.ex + r.ey * r.ey)};
}

long double FieldValue(const TCameraParameters& c, const std::string& name) {
  for (const JointField& field : kJointFields)
    if (name == field.name) return CameraField(c, field);
  return 0;
}

}  // namespace

CalibrationQuality ComputeQuality(const PointTable& table, const TCameraParameters& camera,
                                  const CalibrationOutcome& outcome) {
  CalibrationQuality q;
  FpuClear();
  for (int i = 1; i <= 9; ++i) {
    ControlPointQuality p;
    p.point = i;
    p.left = ResidualOf(table.xg[i], table.yg[i], table, i, camera.internal, camera.left);
    p.right = ResidualOf(table.xd[i], table.yd[i], table, i, camera.internal, camera.right);
    p.largest = std::max(p.left.length, p.right.length);
    q.points.push_back(p);
  }
  // Summed in the joint fit's order: the left photograph's points, then the right one's.
  q.sum_of_squares = 0;
  for (const ControlPointQuality& p : q.points) {
    q.sum_of_squares += p.left.ex * p.left.ex;
    q.sum_of_squares += p.left.ey * p.left.ey;
  }
  for (const ControlPointQuality& p : q.points) {
    q.sum_of_squares += p.right.ex * p.right.ex;
    q.sum_of_squares += p.right.ey * p.right.ey;
  }
  FpuCheck();
  q.fitted_parameters = static_cast<int>(outcome.fitted_names.size());
  q.rms = std::sqrt(q.sum_of_squares / 36.0L);
  const int redundancy = 36 - q.fitted_parameters;
  q.sigma0 = redundancy > 0 ? std::sqrt(q.sum_of_squares / redundancy) : 0.0L;
  for (ControlPointQuality& p : q.points) {
    p.flagged = p.left.length > 3 * q.sigma0 || p.right.length > 3 * q.sigma0;
  }
  for (std::size_t k = 0; k < outcome.fitted_names.size(); ++k) {
    ParameterQuality pq;
    pq.name = outcome.fitted_names[k];
    pq.value = FieldValue(camera, pq.name);
    if (!outcome.joint_fit_failed && k < outcome.parameter_errors.size() &&
        !std::isnan(outcome.parameter_errors[k])) {
      pq.standard_error = q.sigma0 * outcome.parameter_errors[k];
    }
    q.parameters.push_back(pq);
  }
  q.starts = outcome.starts;
  q.winner = outcome.winner;
  q.joint_fit_failed = outcome.joint_fit_failed;
  q.distortion_significance = outcome.distortion_significance;
  return q;
}

std::vector<ControlPointQuality> CalibrationQuality::ByLargestResidual() const {
  std::vector<ControlPointQuality> sorted = points;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const ControlPointQuality& a, const ControlPointQuality& b) {
                     return a.largest > b.largest;
                   });
  return sorted;
}

std::vector<std::string> QualityLines(const CalibrationQuality& q, char sep) {
  auto num = [sep](long double v) { return FormatGeneral(v, sep); };
  std::vector<std::string> lines;
  lines.push_back("CALIBRATION QUALITY");
  for (const ControlPointQuality& p : q.ByLargestResidual()) {
    lines.push_back("point " + std::to_string(p.point) + " left " + num(p.left.ex) + " " +
                    num(p.left.ey) + " " + num(p.left.length) + " right " + num(p.right.ex) + " " +
                    num(p.right.ey) + " " + num(p.right.length) + (p.flagged ? " flagged" : " ok"));
  }
  lines.push_back("rms " + num(q.rms));
  lines.push_back("sigma0 " + num(q.sigma0));
  lines.push_back("fitted " + std::to_string(q.fitted_parameters));
  for (const ParameterQuality& p : q.parameters) {
    std::string name = p.name;
    std::replace(name.begin(), name.end(), ' ', '.');  // one word per field for scripts
    lines.push_back("parameter " + name + " " + num(p.value) + " " +
                    (p.standard_error ? num(*p.standard_error) : std::string("not available")));
  }
  for (const StartRecord& s : q.starts) {
    std::string line = "start " + s.name + " objective " +
                       (s.failed ? std::string("none") : num(s.objective)) + " iterations " +
                       std::to_string(s.iterations);
    if (s.failed) line += " failed";
    if (s.abandoned) line += " abandoned";
    if (s.same_as >= 0) line += " same-as " + q.starts[static_cast<std::size_t>(s.same_as)].name;
    lines.push_back(line);
  }
  if (!q.starts.empty())
    lines.push_back("winner " + (q.joint_fit_failed
                                     ? std::string("none")
                                     : q.starts[static_cast<std::size_t>(q.winner)].name));
  if (const auto& d = q.distortion_significance)
    lines.push_back("distortion F " + num(d->F) + " without " + num(d->without_distortion) +
                    " with " + num(d->with_distortion) +
                    (d->significant ? " significant" : " not-significant"));
  return lines;
}

}  // namespace vistrel
