// Writes the demo project's text files from the synthetic scene: the control points as a user
// would click them (true distorted projections rounded to whole pixels), observations of the
// extra targets with their true coordinates, and a small geometry file.
//
// Usage: make_demo_data OUTPUT_DIR

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "numeric/text_format.h"
#include "photogrammetry/camera_model.h"
#include "project/geom_file.h"
#include "project/reference_file.h"
#include "tools/demo_scene.h"

using namespace vistrel;
using demo::ClickedPixel;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_data OUTPUT_DIR\n");
    return 1;
  }
  const std::string dir = std::string(argv[1]) + "/";
  try {
    SaveControlPoints(dir + "reference.txt", demo::ClickedControlPoints());

    std::ofstream obs(dir + "observations.txt", std::ios::binary);
    std::ofstream truth(dir + "observations-truth.txt", std::ios::binary);
    obs << "# xg yg xd yd of the extra targets A to D (true coordinates in "
           "observations-truth.txt)\n";
    truth << "# X Y Z of the extra targets A to D, in centimetres\n";
    std::vector<RewritePoint> points;
    for (const demo::Target& t : demo::kExtraTargets) {
      const ImagePoint l = ProjectToImage(demo::kLens, demo::kLeftCamera, t.X, t.Y, t.Z);
      const ImagePoint r = ProjectToImage(demo::kLens, demo::kRightCamera, t.X, t.Y, t.Z);
      obs << ClickedPixel(l.x) << ' ' << ClickedPixel(l.y) << ' ' << ClickedPixel(r.x) << ' '
          << ClickedPixel(r.y) << '\n';
      truth << FormatGeneral(t.X) << ' ' << FormatGeneral(t.Y) << ' ' << FormatGeneral(t.Z) << '\n';
    }
    if (!obs || !truth) throw Exception("cannot write the observation files");

    // The geometry: the four back-board corners joined as a frame, and the blocks' targets.
    std::vector<RewriteLine> lines;
    for (int i = 0; i < 9; ++i) {
      const demo::Target& t = demo::kControlTargets[i];
      points.push_back(RewritePoint{t.X, t.Y, t.Z, true});
    }
    for (int i = 0; i < 4; ++i) {
      const demo::Target& a = demo::kControlTargets[i];
      const demo::Target& b = demo::kControlTargets[(i + 1) % 4];
      lines.push_back(RewriteLine{a.X, a.Y, a.Z, b.X, b.Y, b.Z, true});
    }
    const demo::Target& centre = demo::kControlTargets[8];
    for (int i = 4; i < 8; ++i) {
      const demo::Target& t = demo::kControlTargets[i];
      lines.push_back(RewriteLine{centre.X, centre.Y, centre.Z, t.X, t.Y, t.Z, true});
    }
    RewriteGeometry(dir + "geom.txt", points, lines);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_demo_data: %s\n", e.what());
    return 2;
  }
  return 0;
}
