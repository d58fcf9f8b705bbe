#include "project/project_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "project/io_error.h"
#include "tests/support/temp_dir.h"
#include "workflow/session.h"

namespace vistrel {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Values that a fixed number of digits would change, names with blanks, stored and missing
// parts, colours with the system-colour bit: all come back bit for bit.
TEST(ProjectFile, RoundTripKeepsEveryBit) {
  Project p;
  p.left_image = "/photos/left pair/ gauche.jpg ";
  p.right_image = "";
  p.distortion = true;
  p.lens_model = LensModel::kAuto;
  p.sub_pixel = true;
  const double awkward[] = {0.1 + 0.2, 1e-300,    -123456.78901234567,
                            5e-324,    1.0 / 3.0, std::numeric_limits<double>::max(),
                            -0.0,      2.5,       1e22};
  for (int i = 0; i < 10; ++i) {
    const auto n = static_cast<std::size_t>(i);
    p.table.SetLeft(i, i == 1 ? std::numeric_limits<std::int32_t>::min() : 100 * i - 7,
                    i == 2 ? std::numeric_limits<std::int32_t>::max() : 3 * i);
    p.table.SetRight(i, -i, i * i);
    if (i > 0) {
      p.table.SetSpace(i, awkward[n - 1], -awkward[(n + 3) % 9], awkward[(n + 5) % 9] / 7);
    }
    p.table.SetColor(i, i == 3 ? 0x80000005u : 0x00123456u + static_cast<std::uint32_t>(i));
    p.table.SetStored(i, {i != 4, i != 5, i != 0 && i != 6});
  }
  // A part not stored holds 0, as the session keeps it.
  p.table.SetLeft(4, 0, 0);
  p.table.SetRight(5, 0, 0);
  p.table.SetSpace(6, 0, 0, 0);

  testing::TempDir dir;
  const std::string path = dir.File("pair.vistrel");
  SaveProject(path, p);
  const Project back = LoadProject(path);
  EXPECT_EQ(back.left_image, p.left_image);
  EXPECT_EQ(back.right_image, p.right_image);
  EXPECT_EQ(back.distortion, p.distortion);
  EXPECT_EQ(back.lens_model, p.lens_model);
  EXPECT_EQ(back.sub_pixel, p.sub_pixel);
  EXPECT_TRUE(back.table == p.table);  // every bit, with the stored parts
  EXPECT_EQ(ProjectText(back), ReadAll(path));
  EXPECT_EQ(ReadAll(path).rfind("VISTREL-PROJECT 1\n", 0), 0u) << "whole pixels, ten points";
  // The shortest text that reads back: 0.1 + 0.2 is not written as 0.3 nor with 17 digits.
  EXPECT_NE(ReadAll(path).find("POINT 1 -2147483648 3 -1 1 0.30000000000000004 "),
            std::string::npos)
      << ReadAll(path);

  // The check box alone, and a file with CR LF line ends, read the same way.
  p.lens_model.reset();
  std::string text = ProjectText(p);
  EXPECT_NE(text.find("\nLENS-MODEL box\n"), std::string::npos);
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2))
    text.insert(at, "\r");
  EXPECT_FALSE(ParseProject(text).lens_model);
  EXPECT_EQ(ParseProject(text).left_image, p.left_image);
}

// Named points of every kind beyond the first ten, sub-pixel positions and a control point
// turned check point need the second format; it gives back every bit, and refuses what does not
// make a table.
TEST(ProjectFile, SecondFormatKeepsEveryPointAndItsKind) {
  Project p;
  p.table.SetLeft(1, 722.8475, 263.24);
  p.table.SetRight(1, 0.1 + 0.2, -1e-300);
  p.table.SetSpace(1, -0.0, 1.0 / 3.0, 5e-324);
  p.table.SetStored(1, {true, true, true});
  p.table.SetKind(3, PointKind::kCheck);
  const int a = p.table.Add("A-12", PointKind::kCheck);
  p.table.SetLeft(a, 1e9 + 0.5, 2);
  p.table.SetSpace(a, 1, 2, 3);
  p.table.SetStored(a, {true, false, true});
  p.table.SetColor(a, 0x80000005u);
  p.table.Add("B", PointKind::kObject);
  p.table.Add("10", PointKind::kControl);
  p.distortion = true;
  testing::TempDir dir;
  const std::string path = dir.File("many.vistrel");
  SaveProject(path, p);
  const Project back = LoadProject(path);
  EXPECT_TRUE(back.table == p.table);
  EXPECT_EQ(ProjectText(back), ReadAll(path));
  const std::string text = ReadAll(path);
  EXPECT_EQ(text.rfind("VISTREL-PROJECT 2\n", 0), 0u);
  EXPECT_NE(text.find("\nPOINT 1 control 722.8475 263.24 0.30000000000000004 -1e-300 -0 "),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\nPOINT A-12 check 1000000000.5 2 - - 1 2 3 $80000005\n"),
            std::string::npos);

  const auto refused = [&text](const std::string& from, const std::string& to) {
    std::string t = text;
    t.replace(t.find(from), from.size(), to);
    try {
      ParseProject(t);
    } catch (const EProjectFileError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refused("POINT B object", "POINT A-12 object"), "line 19: POINT A-12 given twice");
  EXPECT_EQ(refused("POINT B object", "POINT B survey"),
            "line 19: the kind of a point is object, control or check, not \"survey\"");
  EXPECT_EQ(refused("POINT O object", "POINT O control"),
            "line 8: the observation point stays an object point");
  EXPECT_EQ(refused("POINT 5 control", "POINT 55 control"),
            "line 20: the file ends without POINT 5");
}

// Line ends of every editor, a byte-order mark and indented lines read as the file written.
TEST(ProjectFile, ReadsAnyLineEndAMarkAndIndentedLines) {
  Project p;
  p.left_image = "/photos/left pair.jpg";
  p.right_image = "right.jpg";
  p.lens_model = LensModel::kRadial;
  for (int n = 0; n < 10; ++n) {
    p.table.SetLeft(n, 10 * n + 1, 7);
    if (n > 0) p.table.SetSpace(n, 0.5 * n, -1, 2);
    p.table.SetStored(n, {true, n != 2, n > 0});
  }
  const std::string text = ProjectText(p);
  const auto each_line_end = [&text](const std::string& end) {
    std::string t;
    for (const char c : text) t += c == '\n' ? end : std::string(1, c);
    return t;
  };
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"CR LF", each_line_end("\r\n")},
      {"bare CR", each_line_end("\r")},
      {"byte-order mark", "\xEF\xBB\xBF" + text},
      {"indented", "  " + each_line_end("\n \t")},
      {"all of them", "\xEF\xBB\xBF\t" + each_line_end("\r  ")},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Write(dir.File("p.vistrel"), c.text);
    EXPECT_EQ(ProjectText(LoadProject(dir.File("p.vistrel"))), text);
  }
}

// A damaged file, or one of a newer format, is refused with its line and reason, and the open
// project keeps every point; no other file of the folder is touched.
TEST(ProjectFile, RefusedFilesChangeNothing) {
  Project good;
  for (int n = 0; n < 10; ++n) good.table.SetStored(n, {true, true, n > 0});
  const std::string text = ProjectText(good);
  const auto replace = [&text](const std::string& from, const std::string& to) {
    std::string t = text;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  const struct {
    std::string text;
    int line;
    const char* reason;
  } cases[] = {
      {replace("PROJECT 1", "PROJECT 3"), 1, "newer version of VISTREL (format 3"},
      {replace("PROJECT 1", "PROJECT 99999999999"), 1,
       "newer version of VISTREL (format 99999999999"},
      {replace("VISTREL-PROJECT", "VISTREL"), 1, "not a VISTREL project file"},
      {"", 1, "not a VISTREL project file"},
      {replace("DISTORTION 0", "DISTORTION 2"), 5, "DISTORTION is 0 or 1"},
      {replace("LENS-MODEL box", "LENS-MODEL cubic"), 6, "unknown lens model \"cubic\""},
      {replace("POINT 3 0 0", "POINT 3 0 0.5"), 11, "bad left pixel value \"0.5\""},
      {replace("POINT 3 0 0 0 0 0", "POINT 3 0 0 0 0 1e999"), 11, "bad space value \"1e999\""},
      {replace("POINT 4 0 0", "POINT 4 - 0"), 12, "bad left pixel value \"-\""},
      {replace("POINT 5", "POINT 4"), 13, "POINT 4 given twice"},
      {replace("POINT 0 0 0 0 0 - - -", "POINT 0 0 0 0 0 1 2 3"), 8, "no space coordinates"},
      {replace("$00000000\nPOINT 9", "$0000000\nPOINT 9"), 16, "bad colour \"$0000000\""},
      {replace("SUB-PIXEL", "SUBPIXEL"), 7, "unknown entry \"SUBPIXEL\""},
      {text.substr(0, text.find("POINT 9")), 16, "ends without POINT 9"},
      {replace("POINT 9 0 0 0 0 0 0 0 $00000000", "POINT 9 0 0 0 0 0 0 0"), 17, "takes 9 values"},
  };
  testing::TempDir dir;
  const std::string path = dir.File("damaged.vistrel");
  Session session;
  session.StoreLeft(2, "17", "4");
  session.StoreSpace(7, "1", "2", "0.125", '.');
  const PointTable before = session.Table();
  for (const auto& c : cases) {
    Write(path, c.text);
    try {
      session.OpenProject(path);
      ADD_FAILURE() << "accepted: " << c.reason;
    } catch (const EProjectFileError& e) {
      EXPECT_EQ(e.line, c.line) << c.reason << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
    EXPECT_TRUE(session.Table() == before) << c.reason;
    EXPECT_TRUE(session.Stored(2).left);
    EXPECT_FALSE(session.Stored(3).left);
  }
  EXPECT_THROW(session.OpenProject(dir.File("missing.vistrel")), EInOutError);
  // What the table accepted opens and replaces the points.
  Write(path, text);
  session.OpenProject(path);
  EXPECT_EQ(session.Table().Left(2).x, 0);
  EXPECT_TRUE(session.Stored(3).left);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"damaged.vistrel"});
}

}  // namespace
}  // namespace vistrel
