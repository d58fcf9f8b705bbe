#include "project/coordinate_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel {
namespace {

// Every way a surveyor's list arrives, each with what it must read to: the header line, whether
// the names numbered the rows, and per row its control point and coordinates. Or the start of
// the message that refuses it. The machine's locale plays no part in any of them.
TEST(CoordinateList, ListsReadTheSameWhateverTheSeparatorsAndRefusalsNameTheFault) {
  struct Row {
    int point;
    double x, y, z;
  };
  const struct {
    const char* name;
    const char* text;
    int header_line;
    bool numbered;
    std::vector<Row> rows;
    const char* refusal;  // start of the message, or nullptr when the list reads
  } cases[] = {
      {"semicolons, decimal commas, CR LF, header",
       "Point;Easting;Northing;Height\r\nP1;-45,000;-30,000;40,000\r\nP2;45,5;-30;40\r\n",
       1,
       true,
       {{1, -45, -30, 40}, {2, 45.5, -30, 40}},
       nullptr},
      {"tabs, decimal commas and full stops",
       "A\t-45,25\t-30\t40\nB\t45.5\t-30\t1e1\n",
       0,
       false,
       {{1, -45.25, -30, 40}, {2, 45.5, -30, 10}},
       nullptr},
      {"blanks, decimal commas, comments and blank lines",
       "# site 4\n\nA -45,25   -30 40\n\nB 45.5 -30,5 40\n",
       0,
       false,
       {{1, -45.25, -30, 40}, {2, 45.5, -30.5, 40}},
       nullptr},
      {"commas with full stops and blanks after commas",
       "name,X,Y,Z\nA, -45.25, -30, 40\nB,1,2,3\n",
       1,
       false,
       {{1, -45.25, -30, 40}, {2, 1, 2, 3}},
       nullptr},
      {"byte-order mark before the first row",
       "\xEF\xBB\xBF"
       "A;1;2;3\nB;4;5;6\n",
       0,
       false,
       {{1, 1, 2, 3}, {2, 4, 5, 6}},
       nullptr},
      {"byte-order mark before the header",
       "\xEF\xBB\xBFX Y Z\n1 2 3\n",
       1,
       false,
       {{1, 1, 2, 3}},
       nullptr},
      {"prefixed names out of order go by number",
       "T3 3 0 0\nT1 1 0 0\nT2 2 0 0\n",
       0,
       true,
       {{3, 3, 0, 0}, {1, 1, 0, 0}, {2, 2, 0, 0}},
       nullptr},
      {"bare numbers out of order go by number",
       "9;9;0;0\n4;4;0;0\n",
       0,
       true,
       {{9, 9, 0, 0}, {4, 4, 0, 0}},
       nullptr},
      {"a repeated number keeps the text order",
       "T2 1 0 0\nT2 2 0 0\n",
       0,
       false,
       {{1, 1, 0, 0}, {2, 2, 0, 0}},
       nullptr},
      {"two prefixes keep the text order",
       "A2 1 0 0\nB1 2 0 0\n",
       0,
       false,
       {{1, 1, 0, 0}, {2, 2, 0, 0}},
       nullptr},
      {"a number past the last point keeps the text order",
       "P10 1 0 0\nP1 2 0 0\n",
       0,
       false,
       {{1, 1, 0, 0}, {2, 2, 0, 0}},
       nullptr},
      {"a typo in the first row is no header",
       "T1;-45;x30;40\nT2;1;2;3\n",
       0,
       false,
       {},
       "line 1: Y 'x30' is not a number"},
      {"a second header", "Point X Y Z\nNr E N H\n", 0, false, {}, "line 2: X 'E' is not a number"},
      {"decimal comma between commas",
       "T1,-45,5,-30,0,40,0\n",
       0,
       false,
       {},
       "line 1: decimal comma in a comma-separated list"},
      {"a missing field",
       "T1 1 2 3\nT2 1 2\n",
       0,
       false,
       {},
       "line 2: a name and two numbers, expected"},
      {"a field too many", "T1;1;2;3;4\n", 0, false, {}, "line 1: 5 fields, expected"},
      {"an empty field", "T1;1;;3\n", 0, false, {}, "line 1: Y '' is not a number (empty"},
      {"digit grouping", "T1;1.234,5;2;3\n", 0, false, {}, "line 1: X '1.234,5' is not"},
      {"more rows than points",
       "1 2 3\n1 2 3\n1 2 3\n1 2 3\n1 2 3\n1 2 3\n1 2 3\n1 2 3\n1 2 3\n"
       "1 2 3\n",
       0,
       false,
       {},
       "10 rows read, at most 9 control points"},
      {"a header alone", "Point;X;Y;Z\r\n", 0, false, {}, "no coordinates found"},
      {"nothing", "", 0, false, {}, "no coordinates found"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.refusal) {
      try {
        ReadCoordinateList(c.text, 9);
        ADD_FAILURE() << "accepted";
      } catch (const ECoordinateList& e) {
        EXPECT_EQ(std::string(e.what()).rfind(c.refusal, 0), 0u) << e.what();
      }
      continue;
    }
    const CoordinateList list = ReadCoordinateList(c.text, 9);
    EXPECT_EQ(list.header_line, c.header_line);
    EXPECT_EQ(list.numbered, c.numbered);
    ASSERT_EQ(list.rows.size(), c.rows.size());
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
      EXPECT_EQ(list.rows[i].point, c.rows[i].point) << i;
      EXPECT_EQ(list.rows[i].x, c.rows[i].x) << i;
      EXPECT_EQ(list.rows[i].y, c.rows[i].y) << i;
      EXPECT_EQ(list.rows[i].z, c.rows[i].z) << i;
    }
  }
}

}  // namespace
}  // namespace vistrel
