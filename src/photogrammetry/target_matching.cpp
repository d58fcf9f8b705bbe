#include "photogrammetry/target_matching.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <map>
#include <optional>
#include <set>

#include "numeric/exception.h"

namespace vistrel {
namespace {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;  // rows

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 Scale(const Vec3& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
double Norm(const Vec3& a) { return std::sqrt(Dot(a, a)); }
Vec3 Unit(const Vec3& a) { return Scale(a, 1.0 / Norm(a)); }

// Focal lengths tried, in units of half the photograph's diagonal: a 1.25 ladder from a wide
// angle (about 127 degrees across the diagonal) to a long lens (about 28 degrees).
constexpr double kFocalLow = 0.5;
constexpr double kFocalHigh = 4.0;
constexpr double kFocalStep = 1.25;
// A hypothesis is refined when this many control points (its three included) fall within the
// coarse radius of a target; the coarse radius is this share of the photograph's diagonal, wide
// enough for a focal length between two rungs of the ladder.
constexpr double kCoarseRadius = 0.015;
// Control triples tried, largest space triangle first, until one finds every control point.
constexpr int kMaxTriples = 3;
// Three targets closer than two coarse radii give a camera far away that sees every control point
// in one spot; and a control triangle's sides appear at pixels-per-unit scales that differ by at
// most this factor (foreshortening up to 70 degrees, and the depth): other target triples are not
// tried.
constexpr double kMaxScaleSpread = 4.0;
// A DLT camera is a camera when its pixels are square to this ratio, its skew below this share
// of the focal length and its principal point inside the photograph.
constexpr double kMaxAspect = 1.25;
constexpr double kMaxSkew = 0.1;
// A rival assignment fitting within this ratio of the best one's RMS, plus this many pixels (the
// DLT leaves lens distortion in the residuals), makes the match ambiguous.
constexpr double kRivalRmsRatio = 3.0;
constexpr double kRivalRmsFloor = 0.25;
// A rival disagreeing on at most this many control points is the same camera: those points stay
// unnamed rather than the whole photograph ambiguous.
constexpr std::size_t kMaxDisputedPoints = 2;

// ---- polynomials of degree at most four: real roots --------------------------------------

// Coefficients, constant first; fixed size, since the search solves millions of them.
struct Poly {
  std::array<double, 5> c{};
  int degree = 0;
};

Poly MakePoly(std::initializer_list<double> coefficients) {
  Poly p;
  int i = 0;
  for (double v : coefficients) p.c[i++] = v;
  p.degree = i - 1;
  return p;
}
Poly Multiply(const Poly& a, const Poly& b) {
  Poly r;
  r.degree = a.degree + b.degree;
  for (int i = 0; i <= a.degree; ++i)
    for (int j = 0; j <= b.degree; ++j) r.c[i + j] += a.c[i] * b.c[j];
  return r;
}
Poly Add(Poly a, const Poly& b, double s = 1.0) {
  a.degree = std::max(a.degree, b.degree);
  for (int i = 0; i <= b.degree; ++i) a.c[i] += s * b.c[i];
  return a;
}
double Eval(const Poly& p, double x) {
  double r = 0;
  for (int i = p.degree; i >= 0; --i) r = r * x + p.c[i];
  return r;
}

// Real roots of p above `low`, ascending, into `roots` (returns their count): one in each
// interval between the roots of its derivative where p changes sign, by Newton steps kept
// inside the bracket (bisection where a step would leave it). Cauchy's bound bounds them.
int RealRoots(Poly p, double low, std::array<double, 4>& roots) {
  while (p.degree > 0 && std::abs(p.c[p.degree]) <= 1e-14 * std::abs(p.c[0]) + 1e-300) --p.degree;
  const int degree = p.degree;
  if (degree == 0) return 0;
  if (degree == 1) {
    roots[0] = -p.c[0] / p.c[1];
    return roots[0] > low ? 1 : 0;
  }
  double bound = 0;
  for (int i = 0; i < degree; ++i) bound = std::max(bound, std::abs(p.c[i] / p.c[degree]));
  bound += 1.0;
  if (!(low < bound)) return 0;
  Poly derivative;
  derivative.degree = degree - 1;
  for (int i = 1; i <= degree; ++i) derivative.c[i - 1] = p.c[i] * i;
  std::array<double, 4> inner{};
  const int inner_count = RealRoots(derivative, low, inner);
  std::array<double, 6> edges{};
  int edge_count = 0;
  edges[edge_count++] = std::max(low, -bound);
  for (int k = 0; k < inner_count; ++k)
    if (inner[k] > edges[0] && inner[k] < bound) edges[edge_count++] = inner[k];
  edges[edge_count++] = bound;
  int count = 0;
  for (int k = 0; k + 1 < edge_count; ++k) {
    double lo = edges[k], hi = edges[k + 1];
    const double flo = Eval(p, lo), fhi = Eval(p, hi);
    if (flo == 0) {
      if (lo > low) roots[count++] = lo;
      continue;
    }
    if ((flo < 0) == (fhi < 0)) continue;
    double x = 0.5 * (lo + hi);
    for (int i = 0; i < 100; ++i) {
      const double fx = Eval(p, x);
      if (fx == 0) break;
      if ((fx < 0) == (flo < 0))
        lo = x;
      else
        hi = x;
      const double dfx = Eval(derivative, x);
      double next = dfx != 0 ? x - fx / dfx : 0.5 * (lo + hi);
      if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
      const bool converged = std::abs(next - x) <= 1e-14 * (1 + std::abs(x));
      x = next;
      if (converged || hi - lo <= 1e-14 * (1 + std::abs(lo))) break;
    }
    roots[count++] = x;
  }
  return count;
}

// The real roots of a quartic above `low` (count returned), in closed form (Ferrari: the
// depressed quartic split into two quadratics by a root of its resolvent cubic), each polished by
// two Newton steps on the quartic itself. Falls back to RealRoots when the leading coefficient is
// negligible.
int QuarticRoots(const Poly& p, double low, std::array<double, 4>& roots) {
  if (p.degree < 4 || std::abs(p.c[4]) <= 1e-12 * (std::abs(p.c[3]) + std::abs(p.c[2]) +
                                                   std::abs(p.c[1]) + std::abs(p.c[0])))
    return RealRoots(p, low, roots);
  const double B = p.c[3] / p.c[4], C = p.c[2] / p.c[4], D = p.c[1] / p.c[4], E = p.c[0] / p.c[4];
  const double shift = -B / 4;
  const double B2 = B * B;
  const double pp = C - 3 * B2 / 8;
  const double qq = D - B * C / 2 + B2 * B / 8;
  const double rr = E - B * D / 4 + B2 * C / 16 - 3 * B2 * B2 / 256;
  std::array<double, 4> y{};
  int count = 0;
  auto quadratic = [&](double b, double c) {
    const double disc = b * b - 4 * c;
    if (disc < 0) return;
    const double sq = std::sqrt(disc);
    y[count++] = (-b + sq) / 2;
    y[count++] = (-b - sq) / 2;
  };
  const double scale = std::abs(pp) * std::abs(pp) + std::abs(rr) + 1e-300;
  if (std::abs(qq) * std::abs(qq) <= 1e-24 * scale * scale) {
    // Biquadratic: y^4 + pp y^2 + rr = 0.
    const double disc = pp * pp - 4 * rr;
    if (disc >= 0) {
      const double sq = std::sqrt(disc);
      for (double z : {(-pp + sq) / 2, (-pp - sq) / 2})
        if (z >= 0) {
          y[count++] = std::sqrt(z);
          y[count++] = -std::sqrt(z);
        }
    }
  } else {
    // Resolvent: 8 m^3 + 8 pp m^2 + (2 pp^2 - 8 rr) m - qq^2 = 0 has a positive root (it is
    // -qq^2 < 0 at 0); its largest real root by Cardano's formula.
    const double a2 = pp, a1 = (pp * pp - 4 * rr) / 4, a0 = -qq * qq / 8;  // m^3 + a2 m^2 + ...
    const double Q = (3 * a1 - a2 * a2) / 9;
    const double R = (9 * a2 * a1 - 27 * a0 - 2 * a2 * a2 * a2) / 54;
    const double disc = Q * Q * Q + R * R;
    double m;
    if (disc >= 0) {
      const double sq = std::sqrt(disc);
      m = std::cbrt(R + sq) + std::cbrt(R - sq) - a2 / 3;
    } else {
      const double theta = std::acos(std::clamp(R / std::sqrt(-Q * Q * Q), -1.0, 1.0));
      m = 2 * std::sqrt(-Q) * std::cos(theta / 3) - a2 / 3;
    }
    // Polish m, which must be positive.
    for (int i = 0; i < 2; ++i) {
      const double g = ((m + a2) * m + a1) * m + a0, dg = (3 * m + 2 * a2) * m + a1;
      if (dg != 0) m -= g / dg;
    }
    if (!(m > 0)) return RealRoots(p, low, roots);
    const double s = std::sqrt(2 * m);
    const double t = qq / (2 * s);
    quadratic(s, pp / 2 + m - t);
    quadratic(-s, pp / 2 + m + t);
  }
  Poly derivative;
  derivative.degree = 3;
  for (int i = 1; i <= 4; ++i) derivative.c[i - 1] = p.c[i] * i;
  int kept = 0;
  for (int k = 0; k < count; ++k) {
    double x = y[k] + shift;
    for (int i = 0; i < 2; ++i) {
      const double d = Eval(derivative, x);
      if (d != 0) x -= Eval(p, x) / d;
    }
    if (x > low && std::isfinite(x)) roots[kept++] = x;
  }
  return kept;
}

// ---- three-point resection -------------------------------------------------------------------

struct Pose {
  Mat3 R;  // camera from world
  Vec3 t;
  Vec3 Apply(const Vec3& p) const {
    return {Dot(R[0], p) + t[0], Dot(R[1], p) + t[1], Dot(R[2], p) + t[2]};
  }
};

// An orthonormal frame (rows) of a triangle: first axis along its first side, third normal to it.
std::optional<Mat3> TriangleFrame(const Vec3& a, const Vec3& b, const Vec3& c) {
  const Vec3 e1 = Sub(b, a);
  const Vec3 n = Cross(e1, Sub(c, a));
  const double ln = Norm(n), l1 = Norm(e1);
  if (!(ln > 1e-12 * l1 * l1)) return std::nullopt;
  const Vec3 u1 = Scale(e1, 1.0 / l1), u3 = Scale(n, 1.0 / ln);
  return Mat3{u1, Cross(u3, u1), u3};
}

// The camera poses that see world points P[0..2] along the unit bearings j[0..2] (all in front
// of the camera). With depths s1, s2 = u s1, s3 = v s1, the three distances give two conics in
// (u, v); their difference is linear in u, which leaves one quartic in v.
std::vector<Pose> ThreePointPoses(const std::array<Vec3, 3>& j, const std::array<Vec3, 3>& P) {
  const double a2 = Dot(Sub(P[1], P[2]), Sub(P[1], P[2]));
  const double b2 = Dot(Sub(P[0], P[2]), Sub(P[0], P[2]));
  const double c2 = Dot(Sub(P[0], P[1]), Sub(P[0], P[1]));
  const double ca = Dot(j[1], j[2]), cb = Dot(j[0], j[2]), cg = Dot(j[0], j[1]);
  // b2 (1 + u^2 - 2 u cg) = c2 (1 + v^2 - 2 v cb)      (sides P0P1 and P0P2)
  // b2 (u^2 + v^2 - 2 u v ca) = a2 (1 + v^2 - 2 v cb)  (sides P1P2 and P0P2)
  // u = N(v) / D(v), N quadratic, D linear:
  const Poly q = MakePoly({1.0, -2.0 * cb, 1.0});  // 1 - 2 v cb + v^2
  const Poly N = Add(Multiply(MakePoly({a2 - c2}), q), MakePoly({b2, 0.0, -b2}));
  const Poly D = MakePoly({2.0 * b2 * cg, -2.0 * b2 * ca});
  // b2 (D^2 + N^2 - 2 cg N D) - c2 q D^2 = 0
  const Poly DD = Multiply(D, D);
  Poly quartic = Add(Multiply(N, N), DD);
  quartic = Add(quartic, Multiply(N, D), -2.0 * cg);
  quartic = Multiply(MakePoly({b2}), quartic);
  quartic = Add(quartic, Multiply(q, DD), -c2);

  const auto world = TriangleFrame(P[0], P[1], P[2]);
  std::vector<Pose> poses;
  if (!world) return poses;
  std::array<double, 4> roots{};
  const int root_count = QuarticRoots(quartic, 0.0, roots);
  for (int r = 0; r < root_count; ++r) {
    const double v = roots[r];
    if (!(v > 0)) continue;
    const double d = Eval(D, v);
    if (std::abs(d) < 1e-12 * b2) continue;
    const double u = Eval(N, v) / d;
    const double qv = Eval(q, v);
    if (!(u > 0) || !(qv > 0)) continue;
    const double s1 = std::sqrt(b2 / qv);
    const std::array<Vec3, 3> Q{Scale(j[0], s1), Scale(j[1], u * s1), Scale(j[2], v * s1)};
    // The quotient may bring in roots of the difference that miss the first side.
    const double side = Dot(Sub(Q[0], Q[1]), Sub(Q[0], Q[1]));
    if (std::abs(side - c2) > 1e-6 * c2) continue;
    const auto camera = TriangleFrame(Q[0], Q[1], Q[2]);
    if (!camera) continue;
    Pose pose{};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c)
        pose.R[r][c] = (*camera)[0][r] * (*world)[0][c] + (*camera)[1][r] * (*world)[1][c] +
                       (*camera)[2][r] * (*world)[2][c];
    const Vec3 rp = pose.Apply(P[0]);
    pose.t = {Q[0][0] - rp[0], Q[0][1] - rp[1], Q[0][2] - rp[2]};
    poses.push_back(pose);
  }
  return poses;
}

// ---- nearest target within a radius ----------------------------------------------------------

// Targets bucketed on a dense grid of square cells over the photograph (normalised units, the
// photograph within [-1, 1] on both axes); a query looks at the 3 x 3 cells around it.
class TargetGrid {
 public:
  TargetGrid(const std::vector<ImagePosition>& targets, double cell)
      : targets_(targets), cell_(cell), side_(static_cast<int>(std::ceil(2.0 / cell)) + 1) {
    std::vector<int> count(static_cast<std::size_t>(side_) * side_ + 1, 0);
    std::vector<int> cell_of(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
      cell_of[i] = Index(Cell(targets[i].x), Cell(targets[i].y));
      ++count[cell_of[i] + 1];
    }
    for (std::size_t k = 1; k < count.size(); ++k) count[k] += count[k - 1];
    start_ = count;
    members_.resize(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i)
      members_[count[cell_of[i]]++] = static_cast<int>(i);
  }
  // The target nearest (x, y) within `radius` (at most the cell size), or -1.
  int Nearest(double x, double y, double radius) const {
    if (!(x > -1.0 - cell_ && x < 1.0 + cell_ && y > -1.0 - cell_ && y < 1.0 + cell_)) return -1;
    const int cx = Cell(x), cy = Cell(y);
    int best = -1;
    double best_d2 = radius * radius;
    for (int gx = std::max(cx - 1, 0); gx <= std::min(cx + 1, side_ - 1); ++gx)
      for (int gy = std::max(cy - 1, 0); gy <= std::min(cy + 1, side_ - 1); ++gy) {
        const int k = Index(gx, gy);
        for (int m = start_[k]; m < start_[k + 1]; ++m) {
          const ImagePosition& t = targets_[members_[m]];
          const double d2 = (t.x - x) * (t.x - x) + (t.y - y) * (t.y - y);
          if (d2 <= best_d2) {
            best_d2 = d2;
            best = members_[m];
          }
        }
      }
    return best;
  }

 private:
  int Cell(double v) const {
    return std::clamp(static_cast<int>(std::floor((v + 1.0) / cell_)), 0, side_ - 1);
  }
  int Index(int gx, int gy) const { return gy * side_ + gx; }
  const std::vector<ImagePosition>& targets_;
  double cell_;
  int side_;
  std::vector<int> start_, members_;
};

// ---- linear DLT --------------------------------------------------------------------------------

struct Dlt {
  std::array<double, 11> L{};
  ImagePosition Project(const Vec3& p) const {
    const double w = L[8] * p[0] + L[9] * p[1] + L[10] * p[2] + 1.0;
    return {(L[0] * p[0] + L[1] * p[1] + L[2] * p[2] + L[3]) / w,
            (L[4] * p[0] + L[5] * p[1] + L[6] * p[2] + L[7]) / w};
  }
  // Whether the 3 x 3 part is a camera's: calibration times rotation with square pixels, little
  // skew and the principal point inside the photograph (pixel coordinates in `scale` units
  // around the photograph's centre, so the photograph spans +-`half_w`, +-`half_h`).
  bool Plausible(double half_w, double half_h) const {
    const Vec3 m1{L[0], L[1], L[2]}, m2{L[4], L[5], L[6]}, m3{L[8], L[9], L[10]};
    const double n3 = Dot(m3, m3);
    if (!(n3 > 0)) return false;
    const double u0 = Dot(m1, m3) / n3, v0 = Dot(m2, m3) / n3;
    const double fy2 = Dot(m2, m2) / n3 - v0 * v0;
    if (!(fy2 > 0)) return false;
    const double fy = std::sqrt(fy2);
    const double skew = (Dot(m1, m2) / n3 - u0 * v0) / fy;
    const double fx2 = Dot(m1, m1) / n3 - u0 * u0 - skew * skew;
    if (!(fx2 > 0)) return false;
    const double fx = std::sqrt(fx2);
    return fx / fy < kMaxAspect && fy / fx < kMaxAspect && std::abs(skew) < kMaxSkew * fx &&
           std::abs(u0) < half_w && std::abs(v0) < half_h;
  }
};

// Least-squares DLT through the pairs (normal equations, Gauss elimination with partial pivoting;
// double precision is plenty on normalised coordinates for telling targets apart); empty when they
// leave it undetermined.
std::optional<Dlt> FitLinearDlt(const std::vector<Vec3>& space,
                                const std::vector<ImagePosition>& image) {
  std::array<std::array<double, 12>, 11> A{};
  auto add_row = [&](const std::array<double, 11>& row, double rhs) {
    for (int r = 0; r < 11; ++r) {
      for (int c = 0; c < 11; ++c) A[r][c] += row[r] * row[c];
      A[r][11] += row[r] * rhs;
    }
  };
  for (std::size_t i = 0; i < space.size(); ++i) {
    const double X = space[i][0], Y = space[i][1], Z = space[i][2];
    const double x = image[i].x, y = image[i].y;
    add_row({X, Y, Z, 1, 0, 0, 0, 0, -x * X, -x * Y, -x * Z}, x);
    add_row({0, 0, 0, 0, X, Y, Z, 1, -y * X, -y * Y, -y * Z}, y);
  }
  for (int c = 0; c < 11; ++c) {
    int pivot = c;
    for (int r = c + 1; r < 11; ++r)
      if (std::abs(A[r][c]) > std::abs(A[pivot][c])) pivot = r;
    if (!(std::abs(A[pivot][c]) > 1e-14)) return std::nullopt;
    std::swap(A[c], A[pivot]);
    for (int r = 0; r < 11; ++r) {
      if (r == c) continue;
      const double f = A[r][c] / A[c][c];
      for (int k = c; k < 12; ++k) A[r][k] -= f * A[c][k];
    }
  }
  Dlt dlt;
  for (int c = 0; c < 11; ++c) dlt.L[c] = static_cast<double>(A[c][11] / A[c][c]);
  for (double v : dlt.L)
    if (!std::isfinite(v)) return std::nullopt;
  return dlt;
}

// ---- the search --------------------------------------------------------------------------------

struct Candidate {
  std::vector<int> target_of;
  int found = 0;
  double rms = 0;
};

// The control points on which two assignments disagree: given two different targets, or given
// a target that the other assignment gives to another control point (then the best one's owner
// of it, `b`).
std::vector<std::size_t> Disputed(const std::vector<int>& a, const std::vector<int>& b) {
  std::set<std::size_t> disputed;
  std::map<int, std::size_t> owner_in_b;
  for (std::size_t k = 0; k < b.size(); ++k)
    if (b[k] >= 0) owner_in_b[b[k]] = k;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (a[k] < 0) continue;
    if (b[k] >= 0 && a[k] != b[k]) disputed.insert(k);
    const auto it = owner_in_b.find(a[k]);
    if (it != owner_in_b.end() && it->second != k) {
      disputed.insert(k);
      disputed.insert(it->second);
    }
  }
  return {disputed.begin(), disputed.end()};
}

class Search {
 public:
  Search(const std::vector<SpacePoint>& control, const std::vector<ImagePosition>& targets,
         int width, int height, const TargetMatchOptions& options)
      : options_(options),
        n_(control.size()),
        cx_(0.5 * (width - 1)),
        cy_(0.5 * (height - 1)),
        half_diagonal_(0.5 * std::hypot(width, height)),
        coarse_(kCoarseRadius * 2.0 * half_diagonal_) {
    // Image and space in units of their own size, so that the DLT is well conditioned.
    for (const auto& t : targets)
      targets_.push_back({(t.x - cx_) / half_diagonal_, (t.y - cy_) / half_diagonal_});
    Vec3 centre{0, 0, 0};
    for (const auto& p : control) centre = {centre[0] + p.X, centre[1] + p.Y, centre[2] + p.Z};
    centre = Scale(centre, 1.0 / static_cast<double>(n_));
    double size = 0;
    for (const auto& p : control) {
      const Vec3 d = Sub({p.X, p.Y, p.Z}, centre);
      size += Dot(d, d);
    }
    size = std::sqrt(size / static_cast<double>(n_));
    if (!(size > 0) || !std::isfinite(size)) throw Exception("The control points coincide");
    for (const auto& p : control) space_.push_back(Scale(Sub({p.X, p.Y, p.Z}, centre), 1.0 / size));
    grid_.emplace(targets_, coarse_ / half_diagonal_);
    half_w_ = 0.5 * width / half_diagonal_;
    half_h_ = 0.5 * height / half_diagonal_;
  }

  TargetMatch Run() {
    std::vector<std::array<int, 3>> triples = ControlTriples();
    for (std::size_t t = 0; t < triples.size() && t < kMaxTriples; ++t) {
      if (options_.stop.stop_requested()) break;
      SearchTriple(triples[t]);
      const Candidate* best = Best();
      if (best && best->found == static_cast<int>(n_)) break;
    }
    return Decide();
  }

 private:
  // Control triples by the area of their space triangle, largest first, each sharing at most
  // one point with an earlier one (so that one undetected target spoils only one of them).
  std::vector<std::array<int, 3>> ControlTriples() const {
    std::vector<std::pair<double, std::array<int, 3>>> all;
    const int n = static_cast<int>(n_);
    for (int a = 0; a < n; ++a)
      for (int b = a + 1; b < n; ++b)
        for (int c = b + 1; c < n; ++c) {
          const double area = Norm(Cross(Sub(space_[b], space_[a]), Sub(space_[c], space_[a])));
          all.push_back({area, {a, b, c}});
        }
    std::sort(all.begin(), all.end(),
              [](const auto& x, const auto& y) { return x.first > y.first; });
    if (all.empty() || !(all.front().first > 1e-9))
      throw Exception("The control points lie in one line");
    std::vector<std::array<int, 3>> chosen;
    for (const auto& [area, tri] : all) {
      if (!(area > 1e-3 * all.front().first)) break;
      bool overlaps = false;
      for (const auto& c : chosen) {
        int shared = 0;
        for (int i : tri) shared += static_cast<int>(std::count(c.begin(), c.end(), i));
        overlaps = overlaps || shared > 1;
      }
      if (!overlaps) chosen.push_back(tri);
      if (chosen.size() == kMaxTriples) break;
    }
    return chosen;
  }

  void SearchTriple(const std::array<int, 3>& tri) {
    const std::array<Vec3, 3> P{space_[tri[0]], space_[tri[1]], space_[tri[2]]};
    const int m = static_cast<int>(targets_.size());
    const int needed = options_.min_found;
    const double radius = coarse_ / half_diagonal_;
    // Image distances of the targets, and the bearings of every target for each focal length.
    std::vector<double> apart(static_cast<std::size_t>(m) * m);
    for (int i = 0; i < m; ++i)
      for (int j = 0; j < m; ++j)
        apart[i * m + j] = std::hypot(targets_[i].x - targets_[j].x, targets_[i].y - targets_[j].y);
    std::vector<double> focals;
    for (double f = kFocalLow; f <= kFocalHigh * 1.0001; f *= kFocalStep) focals.push_back(f);
    std::vector<std::vector<Vec3>> bearings(focals.size());
    for (std::size_t r = 0; r < focals.size(); ++r)
      for (const auto& t : targets_) bearings[r].push_back(Unit({t.x, t.y, focals[r]}));
    const double side_ab = Norm(Sub(P[1], P[0])), side_ac = Norm(Sub(P[2], P[0])),
                 side_bc = Norm(Sub(P[2], P[1]));
    const double too_close = 2.0 * radius;
    for (int i = 0; i < m; ++i) {
      if (options_.stop.stop_requested()) return;
      for (int j = 0; j < m; ++j) {
        if (j == i || apart[i * m + j] <= too_close) continue;
        const double scale_ab = apart[i * m + j] / side_ab;
        for (int k = 0; k < m; ++k) {
          if (k == i || k == j || apart[i * m + k] <= too_close || apart[j * m + k] <= too_close)
            continue;
          // Pixels per space unit along the three sides agree within what foreshortening and
          // depth can make of them.
          const double scale_ac = apart[i * m + k] / side_ac, scale_bc = apart[j * m + k] / side_bc;
          const double largest = std::max({scale_ab, scale_ac, scale_bc});
          const double smallest = std::min({scale_ab, scale_ac, scale_bc});
          if (largest > kMaxScaleSpread * smallest) continue;
          for (std::size_t r = 0; r < focals.size(); ++r) {
            const double f = focals[r];
            const auto& bearing = bearings[r];
            for (const Pose& pose : ThreePointPoses({bearing[i], bearing[j], bearing[k]}, P)) {
              ++hypotheses_;
              // Count the other control points missing every target (or landing on a target
              // taken already); stop once too many do.
              int misses = 0;
              const int allowed = static_cast<int>(n_) - needed;
              std::array<int, 64> taken{i, j, k};
              std::size_t taken_count = 3;
              for (std::size_t c = 0; c < n_ && misses <= allowed; ++c) {
                if (static_cast<int>(c) == tri[0] || static_cast<int>(c) == tri[1] ||
                    static_cast<int>(c) == tri[2])
                  continue;
                const Vec3 q = pose.Apply(space_[c]);
                const int t =
                    q[2] > 0 ? grid_->Nearest(f * q[0] / q[2], f * q[1] / q[2], radius) : -1;
                if (t >= 0 && std::find(taken.begin(), taken.begin() + taken_count, t) ==
                                  taken.begin() + taken_count) {
                  if (taken_count < taken.size()) taken[taken_count++] = t;
                  continue;
                }
                ++misses;
              }
              if (misses <= allowed) Refine(pose, f, tri, {i, j, k});
            }
          }
        }
      }
    }
  }

  // Each control point's nearest target within `radius` through `project`; a target claimed
  // twice goes to the nearer control point.
  template <class Project>
  std::vector<int> Assign(const Project& project, double radius) const {
    std::vector<int> target_of(n_, -1);
    std::vector<double> dist(n_, 0);
    std::map<int, std::size_t> owner;
    for (std::size_t c = 0; c < n_; ++c) {
      const auto p = project(space_[c]);
      if (!p) continue;
      const int t = grid_->Nearest(p->x, p->y, radius);
      if (t < 0) continue;
      dist[c] = std::hypot(targets_[t].x - p->x, targets_[t].y - p->y);
      const auto it = owner.find(t);
      if (it != owner.end()) {
        if (dist[it->second] <= dist[c]) continue;
        target_of[it->second] = -1;
      }
      owner[t] = c;
      target_of[c] = t;
    }
    return target_of;
  }

  void Refine(const Pose& pose, double f, const std::array<int, 3>& tri,
              const std::array<int, 3>& seed) {
    std::vector<int> target_of = Assign(
        [&](const Vec3& p) -> std::optional<ImagePosition> {
          const Vec3 q = pose.Apply(p);
          if (!(q[2] > 0)) return std::nullopt;
          return ImagePosition{f * q[0] / q[2], f * q[1] / q[2]};
        },
        coarse_ / half_diagonal_);
    for (int s = 0; s < 3; ++s) target_of[tri[s]] = seed[s];
    // Many hypotheses (other triples, neighbouring focal lengths) lead to the same start.
    if (!refined_.insert(target_of).second) return;
    // Tolerances in normalised units, from the coarse radius down to the final one.
    const double final_tol = options_.tolerance / half_diagonal_;
    const std::array<double, 3> ladder{std::max(4.0 * final_tol, 0.3 * coarse_ / half_diagonal_),
                                       2.0 * final_tol, final_tol};
    std::optional<Dlt> dlt;
    for (double tol : ladder) {
      std::vector<Vec3> sp;
      std::vector<ImagePosition> im;
      for (std::size_t c = 0; c < n_; ++c)
        if (target_of[c] >= 0) {
          sp.push_back(space_[c]);
          im.push_back(targets_[target_of[c]]);
        }
      if (static_cast<int>(sp.size()) < options_.min_found) return;
      dlt = FitLinearDlt(sp, im);
      if (!dlt || !dlt->Plausible(half_w_, half_h_)) return;
      target_of = Assign(
          [&](const Vec3& p) -> std::optional<ImagePosition> { return dlt->Project(p); }, tol);
    }
    Candidate cand;
    cand.target_of = target_of;
    double sum = 0;
    for (std::size_t c = 0; c < n_; ++c)
      if (target_of[c] >= 0) {
        const ImagePosition p = dlt->Project(space_[c]);
        const ImagePosition& t = targets_[target_of[c]];
        sum += (p.x - t.x) * (p.x - t.x) + (p.y - t.y) * (p.y - t.y);
        ++cand.found;
      }
    if (cand.found < options_.min_found) return;
    cand.rms = std::sqrt(sum / cand.found) * half_diagonal_;
    auto it = candidates_.find(cand.target_of);
    if (it == candidates_.end() || it->second.rms > cand.rms) candidates_[cand.target_of] = cand;
  }

  static bool Better(const Candidate& a, const Candidate& b) {
    return a.found != b.found ? a.found > b.found : a.rms < b.rms;
  }

  const Candidate* Best() const {
    const Candidate* best = nullptr;
    for (const auto& [key, c] : candidates_)
      if (!best || Better(c, *best)) best = &c;
    return best;
  }

  TargetMatch Decide() const {
    TargetMatch match;
    match.hypotheses = hypotheses_;
    const Candidate* best = Best();
    if (!best) return match;
    match.found = best->found;
    match.rms = best->rms;
    // A rival: an assignment that disagrees with the best one, holds nearly as many points and
    // fits about as well. (The best one spoilt by a neighbouring target fits clearly worse.)
    // One that disagrees on a point or two is the same camera with two targets close together
    // where those points project: they are left unnamed. One that disagrees on more is another
    // camera: the photograph is ambiguous.
    std::vector<int> target_of = best->target_of;
    const Candidate* rival = nullptr;
    for (const auto& [key, c] : candidates_) {
      if (&c == best || c.found < best->found - 1 ||
          c.rms > kRivalRmsRatio * best->rms + kRivalRmsFloor)
        continue;
      const std::vector<std::size_t> disputed = Disputed(c.target_of, best->target_of);
      if (disputed.empty()) continue;
      if (disputed.size() <= kMaxDisputedPoints) {
        for (std::size_t k : disputed) target_of[k] = -1;
      } else if (!rival || Better(c, *rival)) {
        rival = &c;
      }
    }
    if (rival) {
      match.status = TargetMatchStatus::kAmbiguous;
      match.rival_found = rival->found;
      match.rival_rms = rival->rms;
      return match;
    }
    match.found = static_cast<int>(
        std::count_if(target_of.begin(), target_of.end(), [](int t) { return t >= 0; }));
    if (match.found < options_.min_found) return match;  // too few left certain
    match.status = TargetMatchStatus::kFound;
    match.target_of = target_of;
    return match;
  }

  TargetMatchOptions options_;
  std::size_t n_;
  double cx_, cy_, half_diagonal_, coarse_;
  double half_w_ = 1, half_h_ = 1;
  std::vector<ImagePosition> targets_;
  std::vector<Vec3> space_;
  std::optional<TargetGrid> grid_;
  std::map<std::vector<int>, Candidate> candidates_;
  std::set<std::vector<int>> refined_;  // starts of the refinement tried
  std::size_t hypotheses_ = 0;
};

}  // namespace

TargetMatch MatchTargetsToControlPoints(const std::vector<SpacePoint>& control,
                                        const std::vector<ImagePosition>& targets, int width,
                                        int height, const TargetMatchOptions& options) {
  if (control.size() < 6) throw Exception("At least six control points are needed");
  if (width <= 0 || height <= 0) throw Exception("The photograph has no pixels");
  TargetMatch match;
  if (targets.size() < 3 || static_cast<int>(targets.size()) < options.min_found) return match;
  Search search(control, targets, width, height, options);
  return search.Run();
}

}  // namespace vistrel
