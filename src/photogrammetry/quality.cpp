#include "photogrammetry/quality.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <utility>

#include "numeric/fpu.h"
#include "numeric/matrix.h"
#include "numeric/text_format.h"
#include "photogrammetry/joint_fields.h"

namespace vistrel {

namespace {

PointResidual ResidualOf(long double x, long double y, const PointTable& t, int i,
                         const InternalParameters& in, const ExternalParameters& ex) {
  const Residual r = ImageResidual(x, y, t.px[i], t.py[i], t.pz[i], PoseOf(ex), LensOf(in));
  return PointResidual{r.ex, r.ey, std::sqrt(r.ex * r.ex + r.ey * r.ey)};
}

const JointField* FieldNamed(const std::string& name) {
  for (const JointField& field : kJointFields)
    if (name == field.name) return &field;
  return nullptr;
}

constexpr int kObservations = 36;

// The 36 image residuals, the left photograph's points first, ex before ey.
std::array<long double, kObservations> Residuals(const PointTable& t, const TCameraParameters& c) {
  std::array<long double, kObservations> r{};
  std::size_t k = 0;
  for (int photograph = 0; photograph < 2; ++photograph) {
    for (int i = 1; i <= 9; ++i) {
      const Residual e = photograph == 0
                             ? ImageResidual(t.xg[i], t.yg[i], t.px[i], t.py[i], t.pz[i],
                                             PoseOf(c.left), LensOf(c.internal))
                             : ImageResidual(t.xd[i], t.yd[i], t.px[i], t.py[i], t.pz[i],
                                             PoseOf(c.right), LensOf(c.internal));
      r[k++] = e.ex;
      r[k++] = e.ey;
    }
  }
  return r;
}

// A residual change of this many pixels makes a derivative step: far above rounding, small
// enough for the model to be linear over it.
constexpr long double kStepEffect = 1e-3L;

// Standard errors of the fitted parameters from the residuals' derivatives: the covariance
// sigma0^2 (J^T J)^-1, with J by central differences and the normal matrix scaled to a unit
// diagonal before inverting, so that coefficients of r^2 and r^6 and angles in degrees are
// handled alike. Empty when the derivatives are degenerate (a parameter the residuals do not
// depend on, or two that move them alike).
std::vector<long double> StandardErrors(const PointTable& t, const TCameraParameters& camera,
                                        const std::vector<const JointField*>& fields,
                                        long double sigma0) {
  const auto n = static_cast<std::int32_t>(fields.size());
  std::vector<std::array<long double, kObservations>> J(fields.size());
  for (std::size_t k = 0; k < fields.size(); ++k) {
    TCameraParameters moved = camera;
    double& p = CameraField(moved, *fields[k]);
    const double p0 = p;
    // Each parameter's step is sized by its effect on the residuals: distortion coefficients
    // are tiny numbers with large effects, translations the other way round.
    double h = (p0 != 0 ? std::fabs(p0) : 1.0) * 1e-6;
    auto change = [&](double step) {
      p = p0 + step;
      const auto plus = Residuals(t, moved);
      p = p0 - step;
      const auto minus = Residuals(t, moved);
      p = p0;
      std::array<long double, kObservations> d{};
      long double largest = 0;
      for (int o = 0; o < kObservations; ++o) {
        d[o] = (plus[o] - minus[o]) / (2.0L * step);
        largest = std::max(largest, std::fabs(plus[o] - minus[o]) / 2.0L);
      }
      return std::pair(d, largest);
    };
    auto [d, largest] = change(h);
    for (int tries = 0; tries < 8 && largest > 0 && std::fabs(largest / kStepEffect - 1) > 0.5;
         ++tries) {
      h = static_cast<double>(h * (kStepEffect / largest));
      std::tie(d, largest) = change(h);
    }
    if (!(largest > 0)) return {};
    J[k] = d;
  }
  FpuCheck();
  IFloatMatrix N = CreateMatrix(n, n);
  std::vector<long double> scale(fields.size());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    long double sum = 0;
    for (int o = 0; o < kObservations; ++o) sum += J[i][o] * J[i][o];
    scale[i] = std::sqrt(sum);
  }
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = 1; j <= n; ++j) {
      long double sum = 0;
      for (int o = 0; o < kObservations; ++o) sum += J[i - 1][o] * J[j - 1][o];
      N->SetElement(i, j, sum / (scale[i - 1] * scale[j - 1]));
    }
  }
  FpuCheck();
  try {
    N->Invert();
  } catch (const EFloatMatrix&) {
    return {};
  }
  std::vector<long double> errors;
  for (std::int32_t i = 1; i <= n; ++i) {
    const long double v = N->GetElement(i, i);
    if (!(v > 0)) return {};
    errors.push_back(sigma0 * std::sqrt(v) / scale[i - 1]);
  }
  FpuCheck();
  return errors;
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
  std::vector<const JointField*> fields;
  for (const std::string& name : outcome.fitted_names) fields.push_back(FieldNamed(name));
  std::vector<long double> errors;
  if (!outcome.joint_fit_failed) {
    try {
      errors = StandardErrors(table, camera, fields, q.sigma0);
    } catch (const EMathError&) {
      errors.clear();  // a parameter step that faults leaves the errors unknown
    }
    FpuClear();
  }
  for (std::size_t k = 0; k < fields.size(); ++k) {
    ParameterQuality pq;
    pq.name = outcome.fitted_names[k];
    pq.value = CameraField(camera, *fields[k]);
    if (k < errors.size()) pq.standard_error = errors[k];
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
