#pragma once

// The linear stage of the calibration: per photograph, the DLT fit of the nine control points
// and its decomposition into start values of the joint fit.

#include <array>
#include <cstdint>
#include <vector>

#include "photogrammetry/point_table.h"

namespace vistrel {

// Start values of one photograph, decomposed from its eleven DLT coefficients.
struct DltStart {
  double F = 0;                           // focal estimate
  double Cx = 0, Cy = 0, Cz = 0;          // projection centre
  double Alpha = 0, Beta = 0, Gamma = 0;  // kept Euler triple, degrees
  double alpha0 = 0, beta0 = 0, gamma0 = 0;
  double best_error = 0;  // error of the kept triple (1E10 when none was below it)
};

// The control points as one photograph sees them, in table order: space points and pixels.
struct ControlImage {
  std::vector<double> X, Y, Z;
  std::vector<double> x, y;
  std::size_t Size() const { return X.size(); }
};

ControlImage LeftImage(const PointTable& table);
ControlImage RightImage(const PointTable& table);

// Fits the DLT model of one photograph from the all-zero start; returns L1..L11 as doubles.
std::array<double, 11> FitDlt(const ControlImage& image, int W, int H);

// Projection centre, focal estimate, first angles and the 125-candidate search, keeping the
// triple most consistent with the DLT coefficients. Throws EFloatMatrix for a singular
// coefficient matrix and EMathError for a fault in the square roots, arcsines or the arctangent.
DltStart DecomposeDlt(const std::array<double, 11>& L);

// The same centre, focal estimate and candidates, keeping the triple under which the nine
// control points reproject best (focal length F, principal point (W / 2, H / 2), no
// distortion). Arcsine arguments a little above 1 from rounded clicks are taken as 1 and an
// L1 of 0 as a Gamma of 90, so a level camera still gets its angles. Throws EFloatMatrix for a
// singular coefficient matrix and EMathError for a fault in the focal estimate.
DltStart DecomposeDltByReprojection(const std::array<double, 11>& L, const ControlImage& image,
                                    int W, int H);

// Space coordinates as the added starts compute with them: centred on the nine control points
// centroid and divided by their RMS distance from it, so that results do not depend on the unit
// or the origin of the space system.
struct SpaceNormalisation {
  long double cx = 0, cy = 0, cz = 0;  // centroid, space units
  long double size = 1;                // RMS distance from it, space units
};
// Throws Exception when the nine points coincide.
SpaceNormalisation NormaliseSpace(const PointTable& table);

// A photograph's camera from its DLT, for the decomposition start.
struct CameraDecomposition {
  DltStart start;  // F the mean of the two focal lengths; centre; Euler angles from R directly
  long double u0 = 0, v0 = 0;  // principal point, pixels
};

// Fits the DLT to the nine points in normalised coordinates (space as `space`, pixels centred
// on (W / 2, H / 2) and divided by half the photograph's diagonal) as the eigenvector of the
// smallest eigenvalue, and decomposes the 3 x 3 part into calibration times rotation (RQ) and
// the projection centre. Throws Exception when the points leave the DLT undetermined (coplanar
// points) and EMathError on a fault.
CameraDecomposition DecomposeNormalisedDlt(const ControlImage& image,
                                           const SpaceNormalisation& space, int W, int H);

// The five candidates of an angle t, numbered 1 to 5: -t, 180 - t, 180 + t, t - 180, t.
double AngleCandidate(double t, int n);

}  // namespace vistrel
