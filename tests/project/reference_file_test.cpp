#include "project/reference_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "numeric/text_format.h"
#include "project/io_error.h"
#include "test_files.h"

namespace vistrel {
namespace {

using namespace std::string_literals;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// Rows 1 to 9 of a table as "xg yg xd yd px py pz", for compact expectations.
std::vector<std::string> Rows(const PointTable& table) {
  std::vector<std::string> rows;
  for (int i = 1; i <= 9; ++i) {
    const ImagePosition l = table.Left(i), r = table.Right(i);
    const SpacePoint s = table.Space(i);
    std::string row;
    for (const double v : {l.x, l.y, r.x, r.y})
      row += (row.empty() ? "" : " ") + std::to_string(static_cast<std::int32_t>(v));
    for (const double v : {s.X, s.Y, s.Z}) row += " " + FormatGeneral(v);
    rows.push_back(row);
  }
  return rows;
}

constexpr const char* kOldRow = "-1 -1 -1 -1 -1 -1 -1";
constexpr const char* kZeroRow = "0 0 0 0 0 0 0";

PointTable OldTable() {
  PointTable table;
  for (int i = 0; i < 10; ++i) {
    table.SetLeft(i, -1, -1);
    table.SetRight(i, -1, -1);
    table.SetSpace(i, -1.0, -1.0, -1.0);
    table.SetColor(i, 0x123456);
  }
  return table;
}

TEST(SaveControlPoints, ExactLayout) {
  PointTable table;
  table.SetLeft(1, 120, 45), table.SetRight(1, 300, 47);
  table.SetSpace(1, 0, 1.5, -2);
  table.SetLeft(2, -7, 0), table.SetSpace(2, 0.00005, 1.5e20, 0.0001);
  table.SetRight(3, std::numeric_limits<std::int32_t>::min(), 0);
  table.SetSpace(3, 1.0 / 3.0, -0.0, 123456789012345.0);
  table.SetSpace(9, 1e15, 0, 0);
  TempDir dir;
  const std::string path = dir.File("reference.txt");
  SaveControlPoints(path, table);

  const std::string zero_line = "0   0   0   0   0   0   0   \r\n";
  std::string expected =
      "120   45   300   47   0   1.5   -2   \r\n"
      "-7   0   0   0   5E-5   1.5E20   0.0001   \r\n"
      "0   0   -2147483648   0   0.333333333333333   0   123456789012345   \r\n";
  for (int i = 4; i <= 8; ++i) expected += zero_line;
  expected += "0   0   0   0   1E15   0   0   \r\n";
  EXPECT_EQ(ReadBytes(path), expected);
}

// A table the file cannot hold: the first nine control points, rounded, and a note saying so;
// fewer than nine control points write nothing.
TEST(SaveControlPoints, WritesTheFirstNineControlPointsRoundedAndSaysSo) {
  PointTable table;
  for (int i = 1; i <= 9; ++i) table.SetSpace(i, i, 0, 0);
  table.SetLeft(1, 722.5, 263.24);  // to the nearest, halves to even: 722
  table.SetKind(2, PointKind::kCheck);
  for (const char* name : {"T10", "T11"}) {
    const int i = table.Add(name, PointKind::kControl);
    table.SetSpace(i, 10 + i, 0, 0);
    table.SetRight(i, 5.75, 0);
  }
  TempDir dir;
  const std::string path = dir.File("reference.txt");
  EXPECT_EQ(SaveControlPoints(path, table),
            "reference.txt: 3 image coordinates rounded to whole pixels, control points 1, 3, 4, "
            "5, 6, 7, 8, 9, T10 written, 1 more control point left out (the project file keeps "
            "everything)");
  PointTable loaded;
  LoadControlPoints(path, loaded);
  EXPECT_EQ(loaded.Left(1).x, 722);
  EXPECT_EQ(loaded.Left(1).y, 263);
  EXPECT_EQ(loaded.Space(2).X, 3) << "point 3 in the second row";
  EXPECT_EQ(loaded.Right(9).x, 6);
  EXPECT_EQ(loaded.Space(9).X, 20);
  EXPECT_EQ(SaveControlPoints(path, PointTable()), "") << "the ten first points fit";
  for (int i = 3; i <= 9; ++i) table.SetKind(i, PointKind::kCheck);
  const std::string before = ReadBytes(path);
  EXPECT_THROW(SaveControlPoints(path, table), Exception);
  EXPECT_EQ(ReadBytes(path), before);
}

TEST(SaveControlPoints, RoundTripsThroughLoad) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::int32_t> pixel(std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
  std::uniform_real_distribution<double> space(-1e4, 1e4);
  const auto fifteen_digits = [](double value) {
    double rounded = 0;
    EXPECT_TRUE(TryStrToDouble(FormatGeneral(value), rounded));
    return rounded;
  };
  PointTable saved = OldTable();  // row 0 and the colours are not in the file
  for (int i = 1; i <= 9; ++i) {
    // One declaration per value keeps the order the numbers are drawn in.
    const double xg = pixel(random), yg = pixel(random);
    const double xd = pixel(random), yd = pixel(random);
    // Reals survive to 15 significant digits; these have no more.
    const double X = fifteen_digits(space(random));
    const double Y = fifteen_digits(space(random) * 1e-9);
    const double Z = fifteen_digits(space(random) * 1e15);
    saved.SetLeft(i, xg, yg), saved.SetRight(i, xd, yd), saved.SetSpace(i, X, Y, Z);
  }
  TempDir dir;
  const std::string path = dir.File("reference.txt");
  SaveControlPoints(path, saved);
  PointTable loaded = OldTable();
  LoadControlPoints(path, loaded);
  EXPECT_EQ(Rows(loaded), Rows(saved));
  EXPECT_TRUE(loaded == saved);
}

struct LoadCase {
  const char* name;
  std::string contents;
  int error;  // 0, or the expected EInOutError code
  // Rows 1.. as expected after loading; rows not listed are 0 after a clean load and keep their
  // old value after an error.
  std::vector<std::string> rows;
};

TEST(LoadControlPoints, TokenReaderRules) {
  const std::string pad32 = std::string(31, '0') + "7";    // 32 characters: the longest integer
  const std::string pad64 = "1.5" + std::string(61, '0');  // 64: the longest real
  const LoadCase cases[] = {
      {"point continues on the next line",
       "1 1 1 1 1 1 1\r\n2 2 2 2 2 2 2\r\n3 3 3 3 3 3 3\r\n4 4 4 4 4\r\n4.5 4.25 99\r\n"
       "5 5 5 5 5 5 5\r\n",
       0,
       {"1 1 1 1 1 1 1", "2 2 2 2 2 2 2", "3 3 3 3 3 3 3", "4 4 4 4 4 4.5 4.25", "5 5 5 5 5 5 5"}},
      {"three lines, rest zero",
       "1 2 3 4 5 6 7\r\n8 9 10 11 12 13 14\r\n1 1 1 1 1 1 1\r\n",
       0,
       {"1 2 3 4 5 6 7", "8 9 10 11 12 13 14", "1 1 1 1 1 1 1"}},
      {"empty file", "", 0, {}},
      {"extra numbers and text skipped",
       "1 2 3 4 5 6 7 8 9 junk\r\n2 2 2 2 2 2 2 x\r\n",
       0,
       {"1 2 3 4 5 6 7", "2 2 2 2 2 2 2"}},
      {"tabs, runs of blanks, bare LF, NUL",
       "\t 1\t\t2  3 4\t5 6 7\n\n2 2 2 2 2 2 2\n3\0 3 3 3 3 3 3"s,
       0,
       {"1 2 3 4 5 6 7", "2 2 2 2 2 2 2", "3 3 3 3 3 3 3"}},
      {"no line end at the end", "1 2 3 4 5 6", 0, {"1 2 3 4 5 6 0"}},
      {"hexadecimal and signs",
       "$10 0x20 -$1 +4 -1.5e2 +.5 1E-5\r\n",
       0,
       {"16 32 -1 4 -150 0.5 1E-5"}},
      {"longest tokens", pad32 + " 0 0 0 " + pad64 + " 0 0\r\n", 0, {"7 0 0 0 1.5 0 0"}},
      {"comma in a real",
       "1 2 3 4 5 1,5 7\r\n",
       EInOutError::kInvalidNumericInput,
       {"1 2 3 4 5 -1 -1"}},
      {"real as image coordinate",
       "1 1 1 1 1 1 1\r\n12.0 2 2 2 2 2 2\r\n",
       EInOutError::kInvalidNumericInput,
       {"1 1 1 1 1 1 1"}},
      {"integer beyond 32 bits",
       "2147483648 1 1 1 1 1 1\r\n",
       EInOutError::kInvalidNumericInput,
       {}},
      {"integer token too long",
       "0" + pad32 + " 1 1 1 1 1 1\r\n",
       EInOutError::kInvalidNumericInput,
       {}},
      {"real token too long",
       "1 1 1 1 0" + pad64 + " 1 1\r\n",
       EInOutError::kInvalidNumericInput,
       {"1 1 1 1 -1 -1 -1"}},
      {"real beyond double range",
       "1 1 1 1 1e400 1 1\r\n",
       EInOutError::kInvalidNumericInput,
       {"1 1 1 1 -1 -1 -1"}},
      {"binary garbage",
       "\x89PNG\r\n\x1a\n\xff\xfe\x01\x02"s,
       EInOutError::kInvalidNumericInput,
       {}},
  };
  TempDir dir;
  const std::string path = dir.File("reference.txt");
  for (const LoadCase& c : cases) {
    WriteBytes(path, c.contents);
    PointTable table = OldTable();
    int error = 0;
    try {
      LoadControlPoints(path, table);
    } catch (const EInOutError& e) {
      error = e.code;
    }
    EXPECT_EQ(error, c.error) << c.name;
    std::vector<std::string> expected = c.rows;
    expected.resize(9, c.error == 0 ? kZeroRow : kOldRow);
    EXPECT_EQ(Rows(table), expected) << c.name;
    EXPECT_EQ(table.Left(0).x, -1) << c.name;
  }
}

TEST(LoadControlPoints, UnreadableFileLeavesTableUnchanged) {
  TempDir dir;
  const struct {
    std::string path;
    const char* message;
  } cases[] = {
      {dir.File("reference.txt"), "Fichier introuvable"},
      {dir.path(), "Ceci est un dossier, pas un fichier"},
  };
  for (const auto& c : cases) {
    PointTable table = OldTable();
    try {
      LoadControlPoints(c.path, table);
      ADD_FAILURE() << c.path << ": no exception";
    } catch (const EInOutError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    EXPECT_EQ(Rows(table), Rows(OldTable()));
  }
}

// A load or save that stops on an error releases the file.
TEST(LoadControlPoints, ErrorsReleaseTheFile) {
  TempDir dir;
  const std::string path = dir.File("reference.txt");
  WriteBytes(path, "1 x\r\n");
  const int before = testing::OpenDescriptorCount();
  for (int n = 0; n < 3; ++n) {
    PointTable table;
    EXPECT_THROW(LoadControlPoints(path, table), EInOutError);
    EXPECT_THROW(SaveControlPoints(dir.path(), table), EInOutError);
  }
  EXPECT_EQ(testing::OpenDescriptorCount(), before);
}

}  // namespace
}  // namespace vistrel
