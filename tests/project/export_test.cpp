#include "project/export.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "numeric/text_format.h"
#include "test_files.h"

namespace vistrel {
namespace {

using testing::TempDir;

// Values that need every one of the 15 digits, both notations, signs and zero.
const GeomData kData = {
    {{-45, -30, 40}, {0.333333333333333, 1.5e20, -1e-5}, {123456.789012345, 0, -0.0001}},
    {{0, 0, 25, -25, -10, 10}, {9.87654321098765e-7, 1.23456789012345e300, 7, 1, 2, 3}},
};

// Runs the independent parser over an export; its exit status and what it printed.
struct Parsed {
  int status = -1;
  std::vector<std::string> lines;
};
Parsed ParseWithPython(const std::string& format, const std::string& path) {
  const char* source = std::getenv("VISTREL_SOURCE_DIR");
  const std::string script =
      std::string(source ? source : VISTREL_TEST_SOURCE_DIR) + "/tests/project/export_check.py";
  // Debian's own interpreter, where python3-ezdxf is installed, before any other on the PATH.
  const std::string python =
      std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  const std::string out = path + ".parsed";
  const std::string command =
      python + " '" + script + "' " + format + " '" + path + "' > '" + out + "' 2>&1";
  Parsed parsed;
  const int raw = std::system(command.c_str());
  parsed.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::istringstream text(testing::ReadBytes(out));
  for (std::string line; std::getline(text, line);) parsed.lines.push_back(line);
  return parsed;
}

TEST(Export, EachFormatReadsBackWithAnIndependentParserTo15Digits) {
  if (std::system("python3 -c '' 2>/dev/null") != 0 &&
      !std::filesystem::exists("/usr/bin/python3")) {
    GTEST_SKIP() << "python3 is needed to check the exports";
  }
  TempDir dir;
  std::vector<double> expected;
  for (const GeomPoint& p : kData.points) expected.insert(expected.end(), {p.x, p.y, p.z});
  for (const GeomLine& l : kData.lines) {
    expected.insert(expected.end(), {l.x1, l.y1, l.z1, l.x2, l.y2, l.z2});
  }
  for (const char* name : {"csv", "ply", "obj", "dxf"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.File(std::string("geom.") + name);
    WriteExport(path, kData, *ExportFormatFromName(name));
    const Parsed parsed = ParseWithPython(name, path);
    if (parsed.status == 77) {
      std::printf("skipped: python3-ezdxf is not installed, so %s is not checked\n", name);
      continue;
    }
    ASSERT_EQ(parsed.status, 0) << (parsed.lines.empty() ? "" : parsed.lines[0]);
    ASSERT_EQ(parsed.lines.size(), 2 + expected.size());
    EXPECT_EQ(parsed.lines[0], "points 3");
    EXPECT_EQ(parsed.lines[1], "lines 2");
    for (size_t i = 0; i < expected.size(); ++i) {
      const double back = std::strtod(parsed.lines[2 + i].c_str(), nullptr);
      EXPECT_EQ(FormatGeneral(back), FormatGeneral(expected[i])) << "coordinate " << i;
    }
  }
}

TEST(Export, EmptyGeometryAndFormatNames) {
  // Nothing measured yet still gives files the readers accept: headers and no records.
  EXPECT_EQ(ExportText({}, ExportFormat::kCsv), "kind,index,x,y,z,x2,y2,z2\n");
  EXPECT_NE(ExportText({}, ExportFormat::kPly).find("element vertex 0\n"), std::string::npos);
  EXPECT_NE(ExportText({}, ExportFormat::kDxf).find("ENTITIES\n  0\nENDSEC\n  0\nEOF\n"),
            std::string::npos);
  EXPECT_EQ(ExportFormatFromName("DXF"), ExportFormat::kDxf);
  EXPECT_EQ(ExportFormatFromName("Obj"), ExportFormat::kObj);
  EXPECT_EQ(ExportFormatFromName("stl"), std::nullopt);
  EXPECT_EQ(ExportFormatFromName(""), std::nullopt);
}

}  // namespace
}  // namespace vistrel
