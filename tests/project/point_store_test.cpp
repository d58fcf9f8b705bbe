#include "project/point_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "numeric/exception.h"
#include "numeric/text_format.h"

namespace vistrel {
namespace {

// Every point gets values unique to it, so that a store into the wrong row shows.
PointTable NumberedTable() {
  PointTable table;
  for (int i = 0; i < 10; ++i) {
    table.xg[i] = 1000 + i;
    table.yg[i] = 2000 + i;
    table.xd[i] = 3000 + i;
    table.yd[i] = 4000 + i;
    table.px[i] = 5000.5 + i;
    table.py[i] = 6000.5 + i;
    table.pz[i] = 7000.5 + i;
    table.color[i] = 0x00010203u * static_cast<unsigned>(i);
  }
  return table;
}

bool SameTable(const PointTable& a, const PointTable& b) {
  return a.xg == b.xg && a.yg == b.yg && a.xd == b.xd && a.yd == b.yd && a.px == b.px &&
         a.py == b.py && a.pz == b.pz && a.color == b.color;
}

TEST(PointSelector, EntryTexts) {
  EXPECT_EQ(PointSelectorEntry(0), "Object point");
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(PointSelectorEntry(i), "Control : " + std::to_string(i));
  EXPECT_THROW(PointSelectorEntry(10), std::out_of_range);
  EXPECT_THROW(PointSelectorEntry(-1), std::out_of_range);
  EXPECT_EQ(kInitialSelectedPoint, 1);
}

// Each store command touches exactly the two or three cells of the selected row.
TEST(PointStore, ChangesOnlyTheSelectedPoint) {
  const struct {
    const char* name;
    std::function<void(PointTable&, int)> store;
    std::function<void(PointTable&, int)> expect;
  } commands[] = {
      {"left", [](PointTable& t, int i) { StoreLeftImage(t, i, "100", "-5"); },
       [](PointTable& t, int i) { t.xg[i] = 100, t.yg[i] = -5; }},
      {"right", [](PointTable& t, int i) { StoreRightImage(t, i, " $10", "0x20"); },
       [](PointTable& t, int i) { t.xd[i] = 16, t.yd[i] = 32; }},
      {"space", [](PointTable& t, int i) { StoreSpace(t, i, "1.5", "-2", "2.5e-3", '.'); },
       [](PointTable& t, int i) {
         if (i != 0) t.px[i] = 1.5, t.py[i] = -2, t.pz[i] = 0.0025;
       }},
  };
  for (const auto& command : commands) {
    for (const int index : {0, 1, 5, 9}) {
      PointTable table = NumberedTable();
      PointTable expected = NumberedTable();
      command.store(table, index);
      command.expect(expected, index);
      EXPECT_TRUE(SameTable(table, expected)) << command.name << " at " << index;
    }
  }
}

TEST(PointStore, ObjectPointHasNoSpaceCoordinates) {
  PointTable table = NumberedTable();
  EXPECT_FALSE(StoreSpace(table, 0, "abc", "", "1", '.'));  // not even converted
  EXPECT_TRUE(SameTable(table, NumberedTable()));
  EXPECT_TRUE(StoreSpace(table, 3, "1", "2", "3", '.'));
}

// The first coordinate is stored before the second is converted; a failing text keeps its own
// cell and those after it.
TEST(PointStore, FailureKeepsWhatWasStoredBefore) {
  {
    PointTable table = NumberedTable();
    try {
      StoreLeftImage(table, 2, "100", "1,5");
      ADD_FAILURE() << "no exception";
    } catch (const EConvertError& error) {
      EXPECT_STREQ(error.what(), "'1,5' n'est pas une valeur entière correcte");
    }
    EXPECT_EQ(table.xg[2], 100);
    EXPECT_EQ(table.yg[2], 2002);
  }
  {
    PointTable table = NumberedTable();
    EXPECT_THROW(StoreRightImage(table, 2, "12.5", "7"), EConvertError);
    EXPECT_TRUE(SameTable(table, NumberedTable()));
  }
  {
    PointTable table = NumberedTable();
    EXPECT_THROW(StoreRightImage(table, 2, "", "7"), EConvertError);
    EXPECT_TRUE(SameTable(table, NumberedTable()));
  }
  {
    PointTable table = NumberedTable();
    try {
      StoreSpace(table, 4, "1,25", "abc", "3", ',');
      ADD_FAILURE() << "no exception";
    } catch (const EConvertError& error) {
      EXPECT_STREQ(error.what(), "'abc' n'est pas une valeur en virgule flottante correcte");
    }
    EXPECT_EQ(table.px[4], 1.25);
    EXPECT_EQ(table.py[4], 6004.5);
    EXPECT_EQ(table.pz[4], 7004.5);
  }
}

TEST(PointStore, SpaceCoordinatesUseTheGivenSeparator) {
  PointTable table;
  StoreSpace(table, 1, "1,5", " -2 ", "0,25", ',');
  EXPECT_EQ(table.px[1], 1.5);
  EXPECT_EQ(table.py[1], -2.0);
  EXPECT_EQ(table.pz[1], 0.25);
  EXPECT_THROW(StoreSpace(table, 1, "1.5", "0", "0", ','), EConvertError);
  EXPECT_EQ(table.px[1], 1.5);
}

TEST(PointStore, ValueBeyondDoubleRangeOverflows) {
  PointTable table = NumberedTable();
  EXPECT_THROW(StoreSpace(table, 1, "1", "-1e400", "3", '.'), EOverflow);
  EXPECT_EQ(table.px[1], 1.0);
  EXPECT_EQ(table.py[1], 6001.5);
}

TEST(PointStore, IndexOutsideTheTableThrows) {
  PointTable table;
  EXPECT_THROW(StoreLeftImage(table, 10, "1", "2"), std::out_of_range);
  EXPECT_THROW(StoreSpace(table, -1, "1", "2", "3", '.'), std::out_of_range);
}

}  // namespace
}  // namespace vistrel
