#include "photogrammetry/report.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

TEST(Report, SeventyTwoLinesWithEveryBlank) {
  PointTable t;
  t.Reset();
  t.xg[1] = 120;
  t.yg[1] = 45;
  t.xd[1] = 300;
  t.yd[1] = 47;
  t.px[1] = 0;
  t.py[1] = 1.5;
  t.pz[1] = -2;
  TCameraParameters c;
  c.internal.f = 2200.25;
  c.left.Alpha = -0.5;
  c.right.Tz = -225;
  const std::vector<std::string> lines = ReportLines(t, c, ',');
  ASSERT_EQ(lines.size(), 72u);
  EXPECT_EQ(lines[0], "CONTROL POINTS");
  EXPECT_EQ(lines[1], "Control point n° 1");
  EXPECT_EQ(lines[2].size(), 130u);
  EXPECT_EQ(lines[2], "left Image Coordinates" + std::string(33, ' ') + "Right Image coordinates" +
                          std::string(35, ' ') + "Space Coordinates");
  EXPECT_EQ(lines[3], "x : 120      y : 45" + std::string(49, ' ') + "x : 300      y : 47" +
                          std::string(39, ' ') + "x : 0      y : 1,5      z : -2");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[33], "Control point n° 9");
  EXPECT_EQ(lines[35], "x : 0      y : 0" + std::string(49, ' ') + "x : 0      y : 0" +
                           std::string(39, ' ') + "x : 0      y : 0      z : 0");
  EXPECT_EQ(lines[36], "");
  EXPECT_EQ(lines[37], std::string(219, '-'));
  EXPECT_EQ(lines[38], "INTERNAL PARAMETERS");
  EXPECT_EQ(lines[40], "Focal (f) :            2200,25");
  EXPECT_EQ(lines[41], "Horizontal Coordinates of the Focal Point (u0) :   0");
  EXPECT_EQ(lines[42], "Vertical Coordinates of the Focal Point (v0) :     0");
  EXPECT_EQ(lines[43], "Correction of the Radial Distorsion");
  EXPECT_EQ(lines[44], "a1 :           0");
  EXPECT_EQ(lines[47], "Correction of the Tangential distorsion");
  EXPECT_EQ(lines[49], "p2 :           0");
  EXPECT_EQ(lines[50], std::string(219, '-'));
  EXPECT_EQ(lines[51], "EXTERNAL PARAMETERS");
  EXPECT_EQ(lines[53], "LEFT IMAGE");
  EXPECT_EQ(lines[54], "Euler angles");
  EXPECT_EQ(lines[55], "Alpha :           -0,5");
  EXPECT_EQ(lines[56], "Beta :           0");
  EXPECT_EQ(lines[58], "Translation World system/Cam system");
  EXPECT_EQ(lines[61], "Tz :           0");
  EXPECT_EQ(lines[62], "");
  EXPECT_EQ(lines[63], "RIGHT IMAGE");
  EXPECT_EQ(lines[71], "Tz :           -225");
}

}  // namespace
}  // namespace vistrel
