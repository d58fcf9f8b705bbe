#include "photogrammetry/report.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

TEST(Report, SeventyTwoLinesWithEveryBlank) {
  PointTable t;
  t.Reset();
  t.SetLeft(1, 120, 45);
  t.SetRight(1, 300, 47);
  t.SetSpace(1, 0, 1.5, -2);
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

// Every one of the twenty parameters distinct and non-zero, so that a field printed in another's
// place, or the left camera's block repeated for the right, shows.
TEST(Report, EachParameterOnItsOwnLine) {
  PointTable t;
  t.Reset();
  TCameraParameters c;
  c.internal = {1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5};
  c.left = {11.5, 12.5, 13.5, 14.5, 15.5, 16.5};
  c.right = {21.5, 22.5, 23.5, 24.5, 25.5, 26.5};
  const std::vector<std::string> lines = ReportLines(t, c, '.');
  const struct {
    int line;
    const char* label;
    const char* value;
  } rows[] = {{40, "Focal (f) :", "1.5"}, {41, "(u0) :", "2.5"},   {42, "(v0) :", "3.5"},
              {44, "a1 :", "4.5"},        {45, "a2 :", "5.5"},     {46, "a3 :", "6.5"},
              {48, "p1 :", "7.5"},        {49, "p2 :", "8.5"},     {55, "Alpha :", "11.5"},
              {56, "Beta :", "12.5"},     {57, "Gamma :", "13.5"}, {59, "Tx :", "14.5"},
              {60, "Ty :", "15.5"},       {61, "Tz :", "16.5"},    {65, "Alpha :", "21.5"},
              {66, "Beta :", "22.5"},     {67, "Gamma :", "23.5"}, {69, "Tx :", "24.5"},
              {70, "Ty :", "25.5"},       {71, "Tz :", "26.5"}};
  ASSERT_EQ(lines.size(), 72u);
  for (const auto& row : rows) {
    const std::string& line = lines[row.line];
    EXPECT_NE(line.find(row.label), std::string::npos) << row.line << ": " << line;
    const std::string tail = std::string(" ") + row.value;
    ASSERT_GE(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << row.line << ": " << line;
  }
}

}  // namespace
}  // namespace vistrel
