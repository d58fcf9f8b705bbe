#include "project/geom_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <sstream>
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

// Points as "x y z", lines as "x1 y1 z1 x2 y2 z2", for compact expectations.
std::vector<std::string> PointRows(const GeomData& data) {
  std::vector<std::string> rows;
  for (const GeomPoint& p : data.points) {
    rows.push_back(FormatGeneral(p.x) + " " + FormatGeneral(p.y) + " " + FormatGeneral(p.z));
  }
  return rows;
}
std::vector<std::string> LineRows(const GeomData& data) {
  std::vector<std::string> rows;
  for (const GeomLine& l : data.lines) {
    std::string row;
    for (const double v : {l.x1, l.y1, l.z1, l.x2, l.y2, l.z2}) {
      row += (row.empty() ? "" : " ") + FormatGeneral(v);
    }
    rows.push_back(row);
  }
  return rows;
}

// What was read, as the records to write back, all visible.
std::pair<std::vector<RewritePoint>, std::vector<RewriteLine>> AsWritten(const GeomData& data) {
  std::pair<std::vector<RewritePoint>, std::vector<RewriteLine>> records;
  for (const GeomPoint& p : data.points) records.first.push_back({p.x, p.y, p.z, true});
  for (const GeomLine& l : data.lines) {
    records.second.push_back({l.x1, l.y1, l.z1, l.x2, l.y2, l.z2, true});
  }
  return records;
}
// The values of the visible records, points first, one row per record.
std::vector<std::vector<long double>> VisibleValues(const std::vector<RewritePoint>& points,
                                                    const std::vector<RewriteLine>& lines) {
  std::vector<std::vector<long double>> rows;
  for (const RewritePoint& p : points) {
    if (p.visible) rows.push_back({p.x, p.y, p.z});
  }
  for (const RewriteLine& l : lines) {
    if (l.visible) rows.push_back({l.x1, l.y1, l.z1, l.x2, l.y2, l.z2});
  }
  return rows;
}

TEST(AppendMeasuredPoint, ExactLayoutAndPlainAppend) {
  TempDir dir;
  const std::string path = dir.File("geom.txt");
  AppendMeasuredPoint(path, "1.5", "-2", "0.25", '.');
  EXPECT_EQ(ReadBytes(path), "p  1.5   -2   0.25   \r\n");

  // Whatever the file holds stays, byte for byte; a last line without its line end gets one, so
  // the record starts a line of its own.
  WriteBytes(path, "l 1  2  3  4  5  6  \r\nP 7 8 9");
  AppendMeasuredPoint(path, "1,5", "-2", "2,5E-3", ',');
  AppendMeasuredPoint(path, "1E20", "0", "-0,0001", ',');
  EXPECT_EQ(ReadBytes(path),
            "l 1  2  3  4  5  6  \r\nP 7 8 9\r\n"
            "p  1.5   -2   2.5E-3   \r\n"
            "p  1E20   0   -0.0001   \r\n");
}

TEST(AppendMeasuredPoint, EmptyTextCreatesTheFileButAppendsNothing) {
  TempDir dir;
  const std::string path = dir.File("geom.txt");
  AppendMeasuredPoint(path, "1", "", "3", '.');
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(ReadBytes(path), "");
  WriteBytes(path, "p 1  2  3  \r\n");
  AppendMeasuredPoint(path, "", "", "", '.');
  EXPECT_EQ(ReadBytes(path), "p 1  2  3  \r\n");
}

TEST(AppendMeasuredPoint, InvalidTextAppendsNothing) {
  const std::string kTooLong = "0." + std::string(62, '0') + "1";  // 65 characters
  TempDir dir;
  const std::string path = dir.File("geom.txt");
  const struct {
    const char* x;
    const char* y;
    const char* z;
    char separator;
    std::string message;
  } cases[] = {
      {"1", "abc", "3", '.', "'abc' n'est pas une valeur en virgule flottante correcte"},
      {"1.5", "2", "3", ',', "'1.5' n'est pas une valeur en virgule flottante correcte"},
      {"1", "2", "1,5", '.', "'1,5' n'est pas une valeur en virgule flottante correcte"},
      {"1", "2", "3 4", '.', "'3 4' n'est pas une valeur en virgule flottante correcte"},
      // Converts in extended range, but the reader takes doubles only.
      {"1e400", "2", "3", '.', "'1e400' n'est pas une valeur en virgule flottante correcte"},
      {"1", "-1,2E309", "3", ',', "'-1,2E309' n'est pas une valeur en virgule flottante correcte"},
      // Longer than any number the reader takes.
      {"1", "2", kTooLong.c_str(), '.',
       "'" + kTooLong + "' n'est pas une valeur en virgule flottante correcte"},
  };
  for (const auto& c : cases) {
    try {
      AppendMeasuredPoint(path, c.x, c.y, c.z, c.separator);
      ADD_FAILURE() << c.message << ": no exception";
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.what(), c.message);
    }
    EXPECT_FALSE(std::filesystem::exists(path)) << c.message;
  }
}

TEST(RewriteGeometry, ExactLayoutVisibleOnlyPointsFirst) {
  TempDir dir;
  const std::string path = dir.File("geom.txt");
  WriteBytes(path, std::string(5000, 'x'));  // longer than the new contents
  const std::vector<RewritePoint> points = {
      {1.5L, -2.0L, 0.25L, true},
      {9.0L, 9.0L, 9.0L, false},
      {0.00001L, 1.5e20L, 100.0L, true},
      {1.0L / 3.0L, -0.0L, 999999999999999.5L, true},
  };
  const std::vector<RewriteLine> lines = {
      {1, 2, 3, 4, 5, 6, true},
      {7, 7, 7, 7, 7, 7, false},
      {-0.5L, 0, 0, 12.5L, 1e-4L, 5e-5L, true},
  };
  RewriteGeometry(path, points, lines);
  EXPECT_EQ(ReadBytes(path),
            "p 1.5  -2  0.25  \r\n"
            "p 1E-5  1.5E20  100  \r\n"
            "p 0.333333333333333  0  1E15  \r\n"
            "l 1  2  3  4  5  6  \r\n"
            "l -0.5  0  0  12.5  0.0001  5E-5  \r\n");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"geom.txt"});
}

TEST(RewriteGeometry, NothingVisibleGivesAnEmptyFile) {
  TempDir dir;
  const std::string path = dir.File("geom.txt");
  RewriteGeometry(path, {}, {});
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(ReadBytes(path), "");
  WriteBytes(path, "p 1  2  3  \r\n");
  RewriteGeometry(path, {{1, 2, 3, false}}, {{1, 2, 3, 4, 5, 6, false}});
  EXPECT_EQ(ReadBytes(path), "");
}

// A number the reader would refuse is never written: the file stays as it was.
TEST(RewriteGeometry, UnreadableNumberLeavesTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("geom.txt");
  const std::string old = "p  1   2   3   \r\nl 1  2  3  4  5  6  \r\n";
  WriteBytes(path, old);
  const long double kHuge = 1e400L;
  const struct {
    std::vector<RewritePoint> points;
    std::vector<RewriteLine> lines;
    const char* text;
  } unreadable[] = {
      {{{1, 2, 3, true}, {1, INFINITY, 3, true}}, {}, "INF"},
      {{}, {{1, 2, 3, 4, 5, -kHuge, true}}, "-1E400"},
      {{{NAN, 2, 3, true}}, {}, "NAN"},
  };
  for (const auto& c : unreadable) {
    try {
      RewriteGeometry(path, c.points, c.lines);
      ADD_FAILURE() << c.text << ": no exception";
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.what(),
                "'" + std::string(c.text) + "' n'est pas une valeur en virgule flottante correcte");
    }
    EXPECT_EQ(ReadBytes(path), old) << c.text;
  }
  // Hidden, it is not written, so it is no obstacle.
  RewriteGeometry(path, {{INFINITY, 0, 0, false}, {1, 2, 3, true}}, {});
  EXPECT_EQ(ReadBytes(path), "p 1  2  3  \r\n");
}

struct ReadCase {
  const char* name;
  std::string contents;
  int error;  // 0, or the expected EInOutError code
  std::vector<std::string> points;
  std::vector<std::string> lines;
};

TEST(ReadGeometry, ReaderRules) {
  const std::string long_number = "1.5" + std::string(61, '0');  // 64 characters: accepted
  const ReadCase cases[] = {
      {"empty file", "", 0, {}, {}},
      {"both writer layouts",
       "p 1.5  -2  0.25  \r\nl 1  2  3  4  5  6  \r\np  7   8   9   \r\n",
       0,
       {"1.5 -2 0.25", "7 8 9"},
       {"1 2 3 4 5 6"}},
      {"bare LF, tabs", "p\t1\t2\t3\nl 1 2 3\t4 5 6\n", 0, {"1 2 3"}, {"1 2 3 4 5 6"}},
      {"record kinds by first letter",
       "P 1 2 3\r\nL 1 2 3 4 5 6\r\nx 6 5 4 3 2 1\r\n",
       0,
       {"1 2 3"},
       {"1 2 3 4 5 6", "6 5 4 3 2 1"}},
      {"last line without line end, number missing", "p 1 2", 0, {"1 2 0"}, {}},
      {"line record cut by the end of file", "l 1 2 3 4\r\n", 0, {}, {"1 2 3 4 0 0"}},
      {"blank and whitespace-only lines skipped",
       "\r\n\np 1 2 3\r\n   \t\r\n\r\nl 1 2 3 4 5 6\r\n  \t",
       0,
       {"1 2 3"},
       {"1 2 3 4 5 6"}},
      {"rest of line skipped",
       "p 1 2 3 4 5 junk\r\nl 1 2 3 4 5 6 7\r\n",
       0,
       {"1 2 3"},
       {"1 2 3 4 5 6"}},
      {"record continues on the next line",
       "l 1 2 3\r\n4 5 6 junk\r\np 7 8 9\r\n",
       0,
       {"7 8 9"},
       {"1 2 3 4 5 6"}},
      {"number forms",
       "p -1.5e3 +2 .5\r\np 1E-5 2e+2 " + long_number + "\r\n",
       0,
       {"-1500 2 0.5", "1E-5 200 1.5"},
       {}},
      {"comma separator", "p 1 2 3\r\np 1,5 2 3\r\n", EInOutError::kInvalidNumericInput, {}, {}},
      {"letter where a number belongs",
       "p 1 2 3\r\np 1 2\r\nl 1 2 3 4 5 6\r\n",
       EInOutError::kInvalidNumericInput,
       {},
       {}},
      {"number too long",
       "p 1 2 0" + long_number + "\r\n",
       EInOutError::kInvalidNumericInput,
       {},
       {}},
      {"beyond double range", "p 1 2 1e309\r\n", EInOutError::kInvalidNumericInput, {}, {}},
      {"binary garbage",
       "\x7f"
       "ELF\x02\x01\x01\0\0\0\0\xff\xfe p"s,
       EInOutError::kInvalidNumericInput,
       {},
       {}},
  };
  TempDir dir;
  const std::string path = dir.File("geom.txt");
  for (const ReadCase& c : cases) {
    WriteBytes(path, c.contents);
    int error = 0;
    GeomData data;
    try {
      data = ReadGeometry(path);
    } catch (const EInOutError& e) {
      error = e.code;
    }
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(PointRows(data), c.points) << c.name;
    EXPECT_EQ(LineRows(data), c.lines) << c.name;
  }
}

TEST(ReadGeometry, MissingFileIsEmptyButADirectoryIsAnError) {
  TempDir dir;
  const GeomData data = ReadGeometry(dir.File("geom.txt"));
  EXPECT_TRUE(data.points.empty());
  EXPECT_TRUE(data.lines.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("geom.txt")));
  try {
    ReadGeometry(dir.path());
    ADD_FAILURE() << "no exception";
  } catch (const EInOutError& error) {
    EXPECT_STREQ(error.what(), "Ceci est un dossier, pas un fichier");
  }
}

// Many records, so that numbers straddle the reader's buffer boundaries.
TEST(ReadGeometry, LargeFileReadsEveryRecordExactly) {
  TempDir dir;
  const std::string path = dir.File("geom.txt");
  std::ostringstream text;
  const int kRecords = 60000;
  for (int i = 0; i < kRecords; ++i) {
    if (i % 3 == 2) {
      text << "l " << i << ".25  -" << i << "  1E-" << (i % 300) << "  0  0  " << i << "  \r\n";
    } else {
      text << "p " << i << ".5  " << -i << "  " << i * 7 << "E2  \r\n";
    }
  }
  WriteBytes(path, text.str());
  const GeomData data = ReadGeometry(path);
  ASSERT_EQ(data.points.size() + data.lines.size(), static_cast<std::size_t>(kRecords));
  std::size_t p = 0, l = 0;
  for (int i = 0; i < kRecords; ++i) {
    if (i % 3 == 2) {
      const GeomLine& line = data.lines[l++];
      ASSERT_EQ(line.x1, i + 0.25) << i;
      ASSERT_EQ(line.y1, -i) << i;
      ASSERT_EQ(line.z1, std::stod("1E-" + std::to_string(i % 300))) << i;
      ASSERT_EQ(line.z2, i) << i;
    } else {
      const GeomPoint& point = data.points[p++];
      ASSERT_EQ(point.x, i + 0.5) << i;
      ASSERT_EQ(point.y, -i) << i;
      ASSERT_EQ(point.z, i * 700.0) << i;
    }
  }
}

// Appends, then what the 3D view does at its close: read, apply the edits (hide records, add
// lines between points), rewrite. The rewrite must read back to what it wrote, and a second
// rewrite without edits must change nothing.
TEST(GeometryFile, AppendReadRewriteRoundTrip) {
  struct Edits {
    std::vector<std::size_t> hidden_points, hidden_lines;
    std::vector<std::pair<std::size_t, std::size_t>> new_lines;  // between points, by index
  };
  const struct {
    const char* name;
    std::string before;  // "" : no file
    char separator;
    std::vector<std::array<const char*, 3>> appends;
    std::string appended;  // the file after the appends
    Edits edits;
    std::string rewritten;
  } cases[] = {
      {"append layout into a new file, then rewrite layout",
       "",
       ',',
       {{"12,5", "-3,25", "0,001"}, {"1E20", "7", "-8"}},
       "p  12.5   -3.25   0.001   \r\np  1E20   7   -8   \r\n",
       {},
       "p 12.5  -3.25  0.001  \r\np 1E20  7  -8  \r\n"},
      {"appended after the rewrite layout, lines after points",
       "p 1  2  3  \r\nl 1  2  3  4  5  6  \r\n",
       '.',
       {{"-45", "-30", "40"}},
       "p 1  2  3  \r\nl 1  2  3  4  5  6  \r\np  -45   -30   40   \r\n",
       {},
       "p 1  2  3  \r\np -45  -30  40  \r\nl 1  2  3  4  5  6  \r\n"},
      {"last line without a line break",
       "l 1 2 3 4 5 6\r\nP 7 8 9",
       '.',
       {{"1", "2", "3"}},
       "l 1 2 3 4 5 6\r\nP 7 8 9\r\np  1   2   3   \r\n",
       {},
       "p 7  8  9  \r\np 1  2  3  \r\nl 1  2  3  4  5  6  \r\n"},
      {"last line ending in a blank without a break, bare LF before",
       "p 4 5 6\nl 1 2 3 4 5 6 ",
       '.',
       {{"3", "4", "5"}},
       "p 4 5 6\nl 1 2 3 4 5 6 \r\np  3   4   5   \r\n",
       {},
       "p 4  5  6  \r\np 3  4  5  \r\nl 1  2  3  4  5  6  \r\n"},
      {"huge and tiny values keep every digit",
       "p 1.79769313486232E308  -1.79769313486232E308  4.94065645841247E-324  \r\n",
       '.',
       {{"1e308", "-2.5E-308", "123456789012345"}, {"0.000123456789012345", "1E-5", "-0"}},
       "p 1.79769313486232E308  -1.79769313486232E308  4.94065645841247E-324  \r\n"
       "p  1e308   -2.5E-308   123456789012345   \r\np  0.000123456789012345   1E-5   -0   \r\n",
       {},
       "p 1.79769313486232E308  -1.79769313486232E308  4.94065645841247E-324  \r\n"
       "p 1E308  -2.5E-308  123456789012345  \r\np 0.000123456789012345  1E-5  0  \r\n"},
      {"after edits: deleted records left out, new lines last, unedited values exact",
       "p 0.1  0.2  0.3  \r\np -44.9999988  30  1E-7  \r\nl 9  9  9  8  8  8  \r\n"
       "l 0.1  0.2  0.3  5  5  5  \r\n",
       '.',
       {{"5", "5", "5"}},
       "p 0.1  0.2  0.3  \r\np -44.9999988  30  1E-7  \r\nl 9  9  9  8  8  8  \r\n"
       "l 0.1  0.2  0.3  5  5  5  \r\np  5   5   5   \r\n",
       {{0}, {0}, {{1, 2}}},
       "p -44.9999988  30  1E-7  \r\np 5  5  5  \r\nl 0.1  0.2  0.3  5  5  5  \r\n"
       "l -44.9999988  30  1E-7  5  5  5  \r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("geom.txt");
    if (!c.before.empty()) WriteBytes(path, c.before);
    for (const auto& xyz : c.appends) {
      AppendMeasuredPoint(path, xyz[0], xyz[1], xyz[2], c.separator);
    }
    EXPECT_EQ(ReadBytes(path), c.appended);

    auto [points, lines] = AsWritten(ReadGeometry(path));
    for (const std::size_t i : c.edits.hidden_points) points.at(i).visible = false;
    for (const std::size_t i : c.edits.hidden_lines) lines.at(i).visible = false;
    for (const auto& [a, b] : c.edits.new_lines) {
      const RewritePoint &p = points.at(a), &q = points.at(b);
      lines.push_back({p.x, p.y, p.z, q.x, q.y, q.z, true});
    }
    RewriteGeometry(path, points, lines);
    EXPECT_EQ(ReadBytes(path), c.rewritten);

    // Every value written reads back as the exact double it was written from.
    const auto [same_points, same_lines] = AsWritten(ReadGeometry(path));
    EXPECT_EQ(VisibleValues(same_points, same_lines), VisibleValues(points, lines));
    RewriteGeometry(path, same_points, same_lines);
    EXPECT_EQ(ReadBytes(path), c.rewritten) << "a rewrite without edits changed the file";
  }
}

}  // namespace
}  // namespace vistrel
