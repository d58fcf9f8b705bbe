#include "project/point_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "numeric/text_format.h"

namespace vistrel {
namespace {

// Every point gets values unique to it, so that a store into the wrong row shows.
PointTable NumberedTable() {
  PointTable table;
  for (int i = 0; i < 10; ++i) {
    table.SetLeft(i, 1000 + i, 2000 + i);
    table.SetRight(i, 3000 + i, 4000 + i);
    table.SetSpace(i, 5000.5 + i, 6000.5 + i, 7000.5 + i);
    table.SetColor(i, 0x00010203u * static_cast<unsigned>(i));
  }
  return table;
}

bool SameTable(const PointTable& a, const PointTable& b) { return a == b; }

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
       [](PointTable& t, int i) { t.SetLeft(i, 100, -5); }},
      {"right", [](PointTable& t, int i) { StoreRightImage(t, i, " $10", "0x20"); },
       [](PointTable& t, int i) { t.SetRight(i, 16, 32); }},
      {"space", [](PointTable& t, int i) { StoreSpace(t, i, "1.5", "-2", "2.5e-3", '.'); },
       [](PointTable& t, int i) {
         if (i != 0) t.SetSpace(i, 1.5, -2, 0.0025);
       }},
      {"space, comma", [](PointTable& t, int i) { StoreSpace(t, i, "1,5", " -2 ", "0,25", ','); },
       [](PointTable& t, int i) {
         if (i != 0) t.SetSpace(i, 1.5, -2, 0.25);
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
// cell and those after it, and the error names the text (or the index, or the overflow).
TEST(PointStore, FailureKeepsWhatWasStoredBefore) {
  const std::string kNotInteger = "' n'est pas une valeur entière correcte";
  const std::string kNotReal = "' n'est pas une valeur en virgule flottante correcte";
  const struct {
    std::function<void(PointTable&)> store;
    std::string message;
    std::function<void(PointTable&)> stored;  // the cells changed before the failure
  } cases[] = {
      {[](PointTable& t) { StoreLeftImage(t, 2, "100", "1,5"); }, "'1,5" + kNotInteger,
       [](PointTable& t) { t.SetLeft(2, 100, t.Left(2).y); }},
      {[](PointTable& t) { StoreRightImage(t, 2, "12.5", "7"); }, "'12.5" + kNotInteger, {}},
      {[](PointTable& t) { StoreRightImage(t, 2, "", "7"); }, "'" + kNotInteger, {}},
      {[](PointTable& t) { StoreSpace(t, 4, "1,25", "abc", "3", ','); }, "'abc" + kNotReal,
       [](PointTable& t) { t.SetSpace(4, 1.25, t.Space(4).Y, t.Space(4).Z); }},
      {[](PointTable& t) { StoreSpace(t, 1, "1.5", "0", "0", ','); }, "'1.5" + kNotReal, {}},
      {[](PointTable& t) { StoreSpace(t, 1, "1", "-1e400", "3", '.'); },
       "Débordement de virgule flottante",
       [](PointTable& t) { t.SetSpace(1, 1, t.Space(1).Y, t.Space(1).Z); }},
      {[](PointTable& t) { StoreLeftImage(t, 10, "1", "2"); }, "point index 10 out of 0..9", {}},
      {[](PointTable& t) { StoreSpace(t, -1, "1", "2", "3", '.'); },
       "point index -1 out of 0..9",
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    PointTable table = NumberedTable();
    PointTable expected = NumberedTable();
    if (c.stored) c.stored(expected);
    try {
      c.store(table);
      ADD_FAILURE() << "no exception";
    } catch (const std::exception& error) {
      EXPECT_EQ(error.what(), c.message);
    }
    EXPECT_TRUE(SameTable(table, expected));
  }
}

}  // namespace
}  // namespace vistrel
