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

PointResidual ResidualOf(ImagePosition q, const PointTable& t, int i, const InternalParameters& in,
                         const ExternalParameters& ex) {
  const SpacePoint s = t.Space(i);
  const Residual r = ImageResidual(q.x, q.y, s.X, s.Y, s.Z, PoseOf(ex), LensOf(in));
  return PointResidual{r.ex, r.ey, std::sqrt(r.ex * r.ex + r.ey * r.ey)};
}

const JointField* FieldNamed(const std::string& name) {
  for (const JointField& field : kJointFields)
    if (name == field.name) return &field;
  return nullptr;
}

// The 4N image residuals of the N control points, the left photograph's points first, ex
// before ey.
std::vector<long double> Residuals(const PointTable& t, const std::vector<int>& controls,
                                   const TCameraParameters& c) {
  std::vector<long double> r;
  r.reserve(4 * controls.size());
  for (int photograph = 0; photograph < 2; ++photograph) {
    for (const int i : controls) {
      const ImagePosition q = t.Image(i, photograph == 0);
      const SpacePoint s = t.Space(i);
      const Residual e = ImageResidual(
          q.x, q.y, s.X, s.Y, s.Z, PoseOf(photograph == 0 ? c.left : c.right), LensOf(c.internal));
      r.push_back(e.ex);
      r.push_back(e.ey);
    }
  }
  return r;
}

// A residual change of this many pixels makes a derivative step: far above rounding, small
// enough for the model to be linear over it.
constexpr long double kStepEffect = 1e-3L;

// Covariance of the fitted parameters from the residuals' derivatives: sigma0^2 (J^T J)^-1, n x n
// row after row, with J by central differences and the normal matrix scaled to a unit diagonal
// before inverting, so that coefficients of r^2 and r^6 and angles in degrees are handled alike.
// Also the standard errors, sigma0 sqrt(diagonal). Both empty when the derivatives are degenerate
// (a parameter the residuals do not depend on, or two that move them alike).
struct ParameterErrors {
  std::vector<long double> covariance, standard_errors;
};
ParameterErrors Covariance(const PointTable& t, const TCameraParameters& camera,
                           const std::vector<const JointField*>& fields, long double sigma0) {
  const auto n = static_cast<std::int32_t>(fields.size());
  const std::vector<int> controls = t.ControlIndices();
  const std::size_t observations = 4 * controls.size();
  std::vector<std::vector<long double>> J(fields.size());
  for (std::size_t k = 0; k < fields.size(); ++k) {
    TCameraParameters moved = camera;
    double& p = CameraField(moved, *fields[k]);
    const double p0 = p;
    // Each parameter's step is sized by its effect on the residuals: distortion coefficients
    // are tiny numbers with large effects, translations the other way round.
    double h = (p0 != 0 ? std::fabs(p0) : 1.0) * 1e-6;
    auto change = [&](double step) {
      p = p0 + step;
      const auto plus = Residuals(t, controls, moved);
      p = p0 - step;
      const auto minus = Residuals(t, controls, moved);
      p = p0;
      std::vector<long double> d(observations);
      long double largest = 0;
      for (std::size_t o = 0; o < observations; ++o) {
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
    for (std::size_t o = 0; o < observations; ++o) sum += J[i][o] * J[i][o];
    scale[i] = std::sqrt(sum);
  }
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = 1; j <= n; ++j) {
      long double sum = 0;
      for (std::size_t o = 0; o < observations; ++o) sum += J[i - 1][o] * J[j - 1][o];
      N->SetElement(i, j, sum / (scale[i - 1] * scale[j - 1]));
    }
  }
  FpuCheck();
  try {
    N->Invert();
  } catch (const EFloatMatrix&) {
    return {};
  }
  ParameterErrors e;
  e.covariance.resize(fields.size() * fields.size());
  for (std::int32_t i = 1; i <= n; ++i) {
    const long double v = N->GetElement(i, i);
    if (!(v > 0)) return {};
    e.standard_errors.push_back(sigma0 * std::sqrt(v) / scale[i - 1]);
    for (std::int32_t j = 1; j <= n; ++j) {
      e.covariance[(i - 1) * n + j - 1] =
          sigma0 * sigma0 * N->GetElement(i, j) / (scale[i - 1] * scale[j - 1]);
    }
  }
  FpuCheck();
  return e;
}

// The observation's four image residuals (left ex, ey, right ex, ey) at space point P, from
// the image coordinates o.
// The camera as the model computes with it, converted once (the rotations' sines and cosines
// are most of the cost).
using Four = std::array<long double, 4>;
struct PairModel {
  Lens lens;
  Pose left, right;
  explicit PairModel(const TCameraParameters& c)
      : lens(LensOf(c.internal)), left(PoseOf(c.left)), right(PoseOf(c.right)) {}
};
Four ObservationResiduals(const PairModel& c, const std::array<long double, 3>& P, const Four& o) {
  const Residual l = ImageResidual(o[0], o[1], P[0], P[1], P[2], c.left, c.lens);
  const Residual r = ImageResidual(o[2], o[3], P[0], P[1], P[2], c.right, c.lens);
  return {l.ex, l.ey, r.ex, r.ey};
}

// d residuals / d x by central differences, x moved by +-h.
template <typename Move>
Four Derivative(long double h, Move move) {
  const Four plus = move(h), minus = move(-h);
  Four d;
  for (int k = 0; k < 4; ++k) d[k] = (plus[k] - minus[k]) / (2 * h);
  return d;
}

}  // namespace

std::optional<PointPrecision> MeasuredPointPrecision(const PointTable& table,
                                                     const TCameraParameters& camera,
                                                     const CalibrationQuality& quality,
                                                     long double X, long double Y, long double Z,
                                                     long double pixel_sigma, int index) {
  const std::size_t n = quality.parameters.size();
  if (quality.covariance.size() != n * n) return {};
  FpuClear();
  const std::array<long double, 3> P = {X, Y, Z};
  const PairModel model(camera);
  const ImagePosition l = table.Left(index), r = table.Right(index);
  const Four o = {l.x, l.y, r.x, r.y};

  // A = d residuals / d P (4 x 3), with steps of a millionth of the distance to the left camera.
  const long double range = std::sqrt((X - camera.left.Tx) * (X - camera.left.Tx) +
                                      (Y - camera.left.Ty) * (Y - camera.left.Ty) +
                                      (Z - camera.left.Tz) * (Z - camera.left.Tz));
  const long double hP = 1e-6L * std::max(range, 1e-3L);
  std::array<Four, 3> A;
  for (int j = 0; j < 3; ++j) {
    A[j] = Derivative(hP, [&](long double h) {
      std::array<long double, 3> moved = P;
      moved[j] += h;
      return ObservationResiduals(model, moved, o);
    });
  }
  // G = (A'A)^-1 A' (3 x 4): how the intersection moves with the residuals (dP = -G de).
  long double N[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      N[i][j] = 0;
      for (int k = 0; k < 4; ++k) N[i][j] += A[i][k] * A[j][k];
    }
  }
  const long double det = N[0][0] * (N[1][1] * N[2][2] - N[1][2] * N[2][1]) -
                          N[0][1] * (N[1][0] * N[2][2] - N[1][2] * N[2][0]) +
                          N[0][2] * (N[1][0] * N[2][1] - N[1][1] * N[2][0]);
  if (!(std::fabs(det) > 0)) return {};
  long double Ni[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      // Cofactor of (j, i) over the determinant.
      const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
      Ni[i][j] = (N[r0][c0] * N[r1][c1] - N[r0][c1] * N[r1][c0]) / det;
    }
  }
  long double G[3][4];
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 4; ++k) {
      G[i][k] = 0;
      for (int j = 0; j < 3; ++j) G[i][k] += Ni[i][j] * A[j][k];
    }
  }

  // Covariance of the residuals: the camera's share E C E' (E = d residuals / d parameters,
  // steps sized as for the parameters' own errors) and the pixels' share s^2 D D'
  // (D = d residuals / d image coordinates).
  std::vector<Four> E(n);
  for (std::size_t k = 0; k < n; ++k) {
    const JointField* field = FieldNamed(quality.parameters[k].name);
    if (!field) return {};
    TCameraParameters moved = camera;
    double& p = CameraField(moved, *field);
    const double p0 = p;
    PairModel moved_model = model;
    const auto at = [&](long double h) {
      p = static_cast<double>(p0 + h);
      // Only the part of the camera the parameter belongs to changes.
      if (field->photograph < 0) moved_model.lens = LensOf(moved.internal);
      if (field->photograph == 0) moved_model.left = PoseOf(moved.left);
      if (field->photograph == 1) moved_model.right = PoseOf(moved.right);
      const Four r = ObservationResiduals(moved_model, P, o);
      p = p0;
      return r;
    };
    long double h = (p0 != 0 ? std::fabs(p0) : 1.0) * 1e-6L;
    for (int tries = 0; tries < 8; ++tries) {
      const Four plus = at(h), minus = at(-h);
      long double largest = 0;
      for (int m = 0; m < 4; ++m) largest = std::max(largest, std::fabs(plus[m] - minus[m]) / 2);
      // A parameter that moves none of these residuals (such as one of the other photograph's)
      // has no share.
      if (!(largest > 0)) break;
      for (int m = 0; m < 4; ++m) E[k][m] = (plus[m] - minus[m]) / (2 * h);
      if (std::fabs(largest / kStepEffect - 1) <= 0.5) break;
      h = static_cast<double>(h * (kStepEffect / largest));
    }
  }
  long double S[4][4] = {};
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = 0; b < n; ++b) {
      const long double c = quality.covariance[a * n + b];
      if (c == 0) continue;
      for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) S[i][j] += E[a][i] * c * E[b][j];
      }
    }
  }
  constexpr long double kPixelStep = 1e-3L;
  for (int m = 0; m < 4; ++m) {
    const Four D = Derivative(kPixelStep, [&](long double h) {
      Four moved = o;
      moved[m] += h;
      return ObservationResiduals(model, P, moved);
    });
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) S[i][j] += pixel_sigma * pixel_sigma * D[i] * D[j];
    }
  }
  FpuCheck();

  long double variance[3];
  for (int i = 0; i < 3; ++i) {
    variance[i] = 0;
    for (int k = 0; k < 4; ++k) {
      for (int l = 0; l < 4; ++l) variance[i] += G[i][k] * S[k][l] * G[i][l];
    }
  }
  return PointPrecision{std::sqrt(variance[0]), std::sqrt(variance[1]), std::sqrt(variance[2])};
}

std::string PrecisionLine(const PointPrecision& p, char sep) {
  return "precision sx " + FormatGeneral(p.sx, sep) + " sy " + FormatGeneral(p.sy, sep) + " sz " +
         FormatGeneral(p.sz, sep);
}

CalibrationQuality ComputeQuality(const PointTable& table, const TCameraParameters& camera,
                                  const CalibrationOutcome& outcome) {
  CalibrationQuality q;
  FpuClear();
  for (const int i : table.ControlIndices()) {
    ControlPointQuality p;
    p.point = i;
    p.name = table.Name(i);
    p.left = ResidualOf(table.Left(i), table, i, camera.internal, camera.left);
    p.right = ResidualOf(table.Right(i), table, i, camera.internal, camera.right);
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
  const int observations = 4 * static_cast<int>(q.points.size());
  q.rms = std::sqrt(q.sum_of_squares / static_cast<long double>(observations));
  const int redundancy = observations - q.fitted_parameters;
  q.sigma0 = redundancy > 0 ? std::sqrt(q.sum_of_squares / redundancy) : 0.0L;
  for (ControlPointQuality& p : q.points) {
    p.flagged = p.left.length > 3 * q.sigma0 || p.right.length > 3 * q.sigma0;
  }
  std::vector<const JointField*> fields;
  for (const std::string& name : outcome.fitted_names) fields.push_back(FieldNamed(name));
  ParameterErrors errors;
  if (!outcome.joint_fit_failed) {
    try {
      errors = Covariance(table, camera, fields, q.sigma0);
    } catch (const EMathError&) {
      errors = {};  // a parameter step that faults leaves the errors unknown
    }
    FpuClear();
  }
  q.covariance = errors.covariance;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    ParameterQuality pq;
    pq.name = outcome.fitted_names[k];
    pq.value = CameraField(camera, *fields[k]);
    if (k < errors.standard_errors.size()) pq.standard_error = errors.standard_errors[k];
    q.parameters.push_back(pq);
  }
  q.starts = outcome.starts;
  q.winner = outcome.winner;
  q.joint_fit_failed = outcome.joint_fit_failed;
  q.distortion_significance = outcome.distortion_significance;
  q.lens_model = outcome.lens_model;
  q.lens_model_reason = outcome.lens_model_reason;
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
    lines.push_back("point " + p.name + " left " + num(p.left.ex) + " " + num(p.left.ey) + " " +
                    num(p.left.length) + " right " + num(p.right.ex) + " " + num(p.right.ey) + " " +
                    num(p.right.length) + (p.flagged ? " flagged" : " ok"));
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
    if (s.stopped_at_budget) line += " budget " + std::to_string(s.budget);
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
  if (!q.lens_model.empty())
    lines.push_back("lens-model " + q.lens_model + " " + q.lens_model_reason);
  return lines;
}

}  // namespace vistrel
