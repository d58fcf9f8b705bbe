#include "project/coordinate_list.h"

#include <gtest/gtest.h>

#include <string>

namespace vistrel {
namespace {

// Every way a surveyor's list arrives reads to the same three points.
TEST(CoordinateList, EverySeparatorHeaderAndDecimalSeparatorReadsTheSameRows) {
  const struct {
    const char* name;
    const char* text;
    char locale_separator;
  } cases[] = {
      {"blanks", "T1 -45 -30 40\nT2   45.5 -30   40\r\nT3\t\t45 30 1e1\n", '.'},
      {"comma csv with header", "name,X,Y,Z\nT1,-45,-30,40\nT2,45.5,-30,40\nT3,45,30,10\n", '.'},
      {"semicolon, locale comma", "Point;X;Y;Z\r\nT1;-45;-30;40\r\nT2;45,5;-30;40\r\nT3;45;30;10",
       ','},
      {"tab", "T1\t-45\t-30\t40\nT2\t45.5\t-30\t40\n\n# checked\nT3\t45\t30\t10\n", ','},
      {"blanks, locale comma", "T1 -45 -30 40\nT2 45,5 -30 40\nT3 45 30 10\n", ','},
      {"no names", "X Y Z\n-45 -30 40\n45.5 -30 40\n45 30 10\n", '.'},
  };
  for (const auto& c : cases) {
    const std::vector<CoordinateRow> rows = ReadCoordinateList(c.text, c.locale_separator, 9);
    ASSERT_EQ(rows.size(), 3u) << c.name;
    EXPECT_EQ(rows[0].x, -45) << c.name;
    EXPECT_EQ(rows[1].x, 45.5) << c.name;
    EXPECT_EQ(rows[1].y, -30) << c.name;
    EXPECT_EQ(rows[2].z, 10) << c.name;
    EXPECT_EQ(rows[0].name, std::string(c.name) == "no names" ? "" : "T1") << c.name;
  }
  EXPECT_EQ(ReadCoordinateList("a b c d\n1 2 3\n", '.', 9)[0].line, 2);
}

// A row that cannot be read is refused with its line number; so are a second header, too many
// rows and a list without any.
TEST(CoordinateList, UnreadableListsAreRefusedWithTheLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"T1 1 2 3\nT2 1 2\n", "line 2: expected \"name X Y Z\" or \"X Y Z\", got 'T2 1 2'"},
      {"name X Y Z\nT1 1 2 3\n\nT2 1 two 3\n", "line 4: expected"},
      {"header\nheader again\n", "line 2: expected"},
      {"T1 1,5 2 3\n", "no coordinates found"},  // a comma decimal only with that locale
      {"1 2 3\n1 2 3\n1 2 3\n", "line 3: more than 2 points"},
      {"", "no coordinates found"},
  };
  for (const auto& c : cases) {
    try {
      ReadCoordinateList(c.text, '.', 2);
      ADD_FAILURE() << c.text;
    } catch (const ECoordinateList& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
}

}  // namespace
}  // namespace vistrel
