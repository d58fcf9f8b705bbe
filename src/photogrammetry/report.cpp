#include "photogrammetry/report.h"

#include "numeric/text_format.h"

namespace vistrel {

std::vector<std::string> ReportLines(const PointTable& t, const TCameraParameters& camera,
                                     char sep) {
  auto num = [sep](long double v) { return FormatGeneral(v, sep); };
  // Whole pixels as whole numbers; a sub-pixel position with the digits that read back to it.
  auto pixel = [](double v) { return FormatShortestGeneral(v); };
  const std::string rule(219, '-');
  const std::string blanks6(6, ' ');

  std::vector<std::string> lines;
  lines.reserve(72);
  lines.push_back("CONTROL POINTS");
  for (const int i : t.ControlIndices()) {
    const ImagePosition l = t.Left(i), r = t.Right(i);
    const SpacePoint s = t.Space(i);
    lines.push_back("Control point n° " + t.Name(i));
    lines.push_back("left Image Coordinates" + std::string(33, ' ') + "Right Image coordinates" +
                    std::string(35, ' ') + "Space Coordinates");
    lines.push_back("x : " + pixel(l.x) + blanks6 + "y : " + pixel(l.y) + std::string(49, ' ') +
                    "x : " + pixel(r.x) + blanks6 + "y : " + pixel(r.y) + std::string(39, ' ') +
                    "x : " + num(s.X) + blanks6 + "y : " + num(s.Y) + blanks6 + "z : " + num(s.Z));
    lines.push_back("");
  }
  const InternalParameters& in = camera.internal;
  lines.push_back(rule);
  lines.push_back("INTERNAL PARAMETERS");
  lines.push_back(rule);
  lines.push_back("Focal (f) :" + std::string(12, ' ') + num(in.f));
  lines.push_back("Horizontal Coordinates of the Focal Point (u0) :" + std::string(3, ' ') +
                  num(in.u0));
  lines.push_back("Vertical Coordinates of the Focal Point (v0) :" + std::string(5, ' ') +
                  num(in.v0));
  const std::string pad11(11, ' ');
  lines.push_back("Correction of the Radial Distorsion");
  lines.push_back("a1 :" + pad11 + num(in.a1));
  lines.push_back("a2 :" + pad11 + num(in.a2));
  lines.push_back("a3 :" + pad11 + num(in.a3));
  lines.push_back("Correction of the Tangential distorsion");
  lines.push_back("p1 :" + pad11 + num(in.p1));
  lines.push_back("p2 :" + pad11 + num(in.p2));
  lines.push_back(rule);
  lines.push_back("EXTERNAL PARAMETERS");
  lines.push_back(rule);
  auto external = [&](const char* title, const ExternalParameters& e) {
    lines.push_back(title);
    lines.push_back("Euler angles");
    lines.push_back("Alpha :" + pad11 + num(e.Alpha));
    lines.push_back("Beta :" + pad11 + num(e.Beta));
    lines.push_back("Gamma :" + pad11 + num(e.Gamma));
    lines.push_back("Translation World system/Cam system");
    lines.push_back("Tx :" + pad11 + num(e.Tx));
    lines.push_back("Ty :" + pad11 + num(e.Ty));
    lines.push_back("Tz :" + pad11 + num(e.Tz));
  };
  external("LEFT IMAGE", camera.left);
  lines.push_back("");
  external("RIGHT IMAGE", camera.right);
  return lines;
}

}  // namespace vistrel
