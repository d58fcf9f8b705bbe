#include "cli/cli.h"

#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "project/export.h"
#include "project/geom_file.h"
#include "project/line_reader.h"
#include "project/project_file.h"
#include "tests/support/temp_dir.h"
#include "tools/demo_scene.h"
#include "workflow/session.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;

const std::string kExamples = VISTREL_EXAMPLES_DIR;

struct CliRun {
  int status;
  std::string out, err;
};

CliRun RunWith(std::vector<std::string> args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = RunCli(args, in, out, err);
  return CliRun{status, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream s(text);
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}

// The tool speaks the system's language: every test runs in a known one, English unless it sets
// another.
class ScopedLocaleEnvironment {
 public:
  explicit ScopedLocaleEnvironment(const char* lc_all) {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      ::unsetenv(name);
    }
    ::setenv("LC_ALL", lc_all, 1);
  }
  ~ScopedLocaleEnvironment() {
    for (const auto& [name, value] : saved_) {
      value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
  }

 private:
  static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

class CliTest : public ::testing::Test {
 protected:
  ScopedLocaleEnvironment english_{"C.UTF-8"};
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& text) const {
    testing::WriteBytes(Path(name), text);
  }
  testing::TempDir temp_;
  fs::path dir_ = temp_.path();
};

TEST_F(CliTest, UsageErrors) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {},
           {"frobnicate"},
           {"calibrate"},
           {"calibrate", "--size", "1600"},
           {"calibrate", "--size", "0x10"},
           {"measure", "--size", "10x10"},
           {"report", "--bogus"},
           {"calibrate", "--size", "1600x1200", "--distortion=fisheye"},
           {"report", "--distortion=none"},
           {"calibrate", "--size", "1600x1200", "--precision"},
           {"snap", kExamples + "/left.jpg", "100"},
           {"snap", kExamples + "/left.jpg", "100", "1,5"},
           {"snap", "--size", "10x10", kExamples + "/left.jpg", "100", "100"},
           {"report", "--reference"},
           {"calibrate", "--size", "10x10", "--append-geom", "g.txt"},
           {"export", "g.txt", "out"},
           {"export", "--format", "stl", "g.txt", "out"},
           {"export", "--format", "csv", "g.txt"},
           {"export", "--format", "csv", "--size", "10x10", "g.txt", "out"},
           {"report", "--format", "csv"},
           {"export", "--format", "csv", "--format", "ply", "g.txt", "out"},
           {"calibrate", "--size", "10x10", "--size", "20x20"},
           {"report", "--project", "p.vistrel"},
           {"calibrate", "--size", "10x10", "--project", "p.vistrel", "--reference", "r.txt"},
           // One lens option, in whatever spelling, once.
           {"calibrate", "--size", "10x10", "--distortion", "--distortion=none"},
           {"calibrate", "--size", "10x10", "--distortion=full", "--distortion=none"},
           // Standard output is no file to append to or replace.
           {"measure", "--size", "10x10", "--append-geom", "-", "obs.txt"},
           {"export", "--format", "csv", "g.txt", "-"},
           {"make-reference", "--pixels", "p.txt", "--coordinates", "c.txt", "--reference", "-"}}) {
    const CliRun r = RunWith(args);
    EXPECT_EQ(r.status, kExitUsage) << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("vistrel-cli: "), std::string::npos);
  }
  const CliRun help = RunWith({"--help"});
  EXPECT_EQ(help.status, kExitOk);
  EXPECT_NE(help.out.find("--append-geom"), std::string::npos);
}

TEST_F(CliTest, ReportOfTheExampleHasZeroParameters) {
  const CliRun r = RunWith({"report", "--reference", kExamples + "/reference.txt"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 72u);
  EXPECT_EQ(lines[40], "Focal (f) :            0");
  EXPECT_EQ(lines[3].rfind("x : ", 0), 0u);
}

// One error in each language: the system's language decides, LC_ALL before LANG; the report on
// the standard output does not change.
TEST_F(CliTest, MessagesFollowTheSystemLanguage) {
  const struct {
    const char* lc_all;
    const char* lang;
    const char* message;
  } cases[] = {
      {"C.UTF-8", "fr_FR.UTF-8", "File not found"},
      {"fr_FR.UTF-8", "en_GB.UTF-8", "Fichier introuvable"},
      {"", "fr_CA.UTF-8", "Fichier introuvable"},
      {"", "en_US.UTF-8", "File not found"},
  };
  const std::string report = RunWith({"report", "--reference", kExamples + "/reference.txt"}).out;
  for (const auto& c : cases) {
    ScopedLocaleEnvironment locale(c.lc_all);
    ::setenv("LANG", c.lang, 1);
    const CliRun r = RunWith({"report", "--reference", Path("missing.txt")});
    EXPECT_EQ(r.err, Path("missing.txt") + ": " + c.message + "\n") << c.lc_all << c.lang;
    EXPECT_EQ(RunWith({"report", "--reference", kExamples + "/reference.txt"}).out, report);
  }
}

TEST_F(CliTest, FileErrors) {
  CliRun r = RunWith({"report", "--reference", Path("missing.txt")});
  EXPECT_EQ(r.status, kExitInput);
  EXPECT_NE(r.err.find("File not found"), std::string::npos) << r.err;

  Write("bad.txt", "1 2 3 4 1,5 0 0\r\n");
  r = RunWith({"calibrate", "--reference", Path("bad.txt"), "--size", "1600x1200"});
  EXPECT_EQ(r.status, kExitInput);
  EXPECT_NE(r.err.find("Invalid numeric input"), std::string::npos) << r.err;

  // Observations that cannot be read are an input error, never an empty run.
  const struct {
    std::string observations;
    std::string message;
  } unreadable[] = {
      {dir_.string(), "This is a folder, not a file"},
      {Path("absent.txt"), "File not found"},
      {Path("absent/obs.txt"), "Invalid file name"},
      // Opens, but reading its first page fails (nothing is mapped at address 0).
      {"/proc/self/mem", "I/O error 1117"},
  };
  for (const auto& c : unreadable) {
    r = RunWith({"measure", "--reference", kExamples + "/reference.txt", "--size", "1600x1200",
                 c.observations});
    EXPECT_EQ(r.status, kExitInput) << c.observations;
    EXPECT_EQ(r.err, c.observations + ": " + c.message + "\n");
    EXPECT_EQ(r.out, "") << c.observations;
  }
}

// A project file in place of the control-point file: the same points, the same report; one the
// reader refuses is an input error that names its line.
TEST_F(CliTest, ProjectFileInPlaceOfTheReference) {
  Session session;
  session.LoadControlPoints(kExamples + "/reference.txt");
  Project project;
  project.table = session.Table();
  SaveProject(Path("pair.vistrel"), project);
  const CliRun by_reference =
      RunWith({"calibrate", "--reference", kExamples + "/reference.txt", "--size", "1600x1200"});
  const CliRun by_project =
      RunWith({"calibrate", "--project", Path("pair.vistrel"), "--size", "1600x1200"});
  ASSERT_EQ(by_project.status, kExitOk) << by_project.err;
  EXPECT_EQ(by_project.out, by_reference.out);

  Write("newer.vistrel", "VISTREL-PROJECT 9\n");
  const CliRun newer =
      RunWith({"measure", "--project", Path("newer.vistrel"), "--size", "1600x1200", "-"});
  EXPECT_EQ(newer.status, kExitInput);
  EXPECT_EQ(newer.err.rfind(Path("newer.vistrel") + ": line 1: written by a newer version", 0), 0u)
      << newer.err;
}

#ifdef VISTREL_CLI_READS_PHOTOGRAPHS
// Without a click: every demo target of either photograph is one line "x y sigma score" of
// find-targets, at its true projection.
TEST_F(CliTest, FindTargetsListsEveryDemoTarget) {
  std::vector<demo::Target> targets(demo::kControlTargets.begin(), demo::kControlTargets.end());
  targets.insert(targets.end(), demo::kExtraTargets.begin(), demo::kExtraTargets.end());
  for (const bool left : {true, false}) {
    const CliRun r = RunWith({"find-targets", kExamples + (left ? "/left.jpg" : "/right.jpg")});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    std::vector<std::array<double, 4>> found;
    std::istringstream lines(r.out);
    for (std::array<double, 4> f; lines >> f[0] >> f[1] >> f[2] >> f[3];) found.push_back(f);
    const ExternalParameters& camera = left ? demo::kLeftCamera : demo::kRightCamera;
    for (const demo::Target& t : targets) {
      const ImagePoint truth = ProjectToImage(demo::kLens, camera, t.X, t.Y, t.Z);
      const auto near = std::count_if(found.begin(), found.end(), [&](const auto& f) {
        return std::hypot(f[0] - static_cast<double>(truth.x),
                          f[1] - static_cast<double>(truth.y)) < 0.1 &&
               f[2] > 0 && f[3] > 0 && f[3] <= 1;
      });
      EXPECT_EQ(near, 1) << left << " " << t.X << "," << t.Y << "," << t.Z;
    }
  }
}

// The demo's control targets found among all the photographs' targets without a click, from the
// surveyor's list in any order, four points beyond the nine included: each within a pixel of its
// clicked pixel, the pair calibrated and the project written. A list whose points are not where
// the photographs show them finds too few and says so.
TEST_F(CliTest, FindControlNamesTheDemoTargetsWithoutAClick) {
  std::ifstream reference(kExamples + "/reference.txt");
  std::vector<std::array<double, 7>> rows;
  for (std::array<double, 7> r; reference >> r[0] >> r[1] >> r[2] >> r[3] >> r[4] >> r[5] >> r[6];)
    rows.push_back(r);
  ASSERT_EQ(rows.size(), 9u);
  std::string shuffled = "Point;X;Y;Z\n", wrong;
  for (const int k : {4, 0, 8, 2, 6, 1, 5, 3, 7}) {
    shuffled += "T" + std::to_string(k + 1) + ";" + std::to_string(rows[k][4]) + ";" +
                std::to_string(rows[k][5]) + ";" + std::to_string(rows[k][6]) + "\n";
    // The same points with X and Y exchanged: no camera sees them where the targets are.
    if (k < 6) {
      wrong += std::to_string(rows[k][5]) + " " + std::to_string(rows[k][4]) + " " +
               std::to_string(rows[k][6] * 3) + "\n";
    }
  }
  // Four more targets of the photographs, beyond the nine: added under their names.
  for (std::size_t k = 0; k < demo::kExtraTargets.size(); ++k) {
    const demo::Target& t = demo::kExtraTargets[k];
    shuffled += "T" + std::to_string(k + 10) + ";" + std::to_string(t.X) + ";" +
                std::to_string(t.Y) + ";" + std::to_string(t.Z) + "\n";
  }
  Write("shuffled.csv", shuffled);
  Write("wrong.txt", wrong);
  const auto find = [&](const std::string& list) {
    return RunWith({"find-control", kExamples + "/left.jpg", kExamples + "/right.jpg",
                    "--coordinates", Path(list), "--project", Path("found.vistrel")});
  };
  CliRun r = find("shuffled.csv");
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::istringstream lines(r.out);
  for (int k = 0; k < 9; ++k) {
    std::string word, name;
    std::array<double, 4> p{};
    lines >> word >> name >> p[0] >> p[1] >> p[2] >> p[3];
    ASSERT_EQ(word, "point");
    const auto& truth = rows[static_cast<std::size_t>(std::stoi(name.substr(1)) - 1)];
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(p[c], truth[c], 1.0) << name;
  }
  for (int k = 10; k <= 13; ++k) {
    EXPECT_NE(r.out.find("point T" + std::to_string(k) + " "), std::string::npos) << r.out;
  }
  EXPECT_EQ(r.out.find("missing"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("found 13 of 13\ncalibrated: rms"), std::string::npos) << r.out;
  EXPECT_TRUE(std::filesystem::exists(Path("found.vistrel")));

  r = find("wrong.txt");
  EXPECT_EQ(r.status, kExitComputation) << r.err;
  EXPECT_NE(r.out.find("found 0 of 6"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("too few control points found"), std::string::npos) << r.err;
}

// Every demo target, started 3 px off its true projection in either photograph: "x y sigma"
// within a few hundredths of a pixel, the centre of pixel (i, j) being (i, j). Off any target,
// "none" and exit 3; a photograph that cannot be read is an input error.
TEST_F(CliTest, SnapFindsTheDemoTargets) {
  std::vector<demo::Target> targets(demo::kControlTargets.begin(), demo::kControlTargets.end());
  targets.insert(targets.end(), demo::kExtraTargets.begin(), demo::kExtraTargets.end());
  for (const bool left : {true, false}) {
    const ExternalParameters& camera = left ? demo::kLeftCamera : demo::kRightCamera;
    for (const demo::Target& t : targets) {
      const ImagePoint truth = ProjectToImage(demo::kLens, camera, t.X, t.Y, t.Z);
      const CliRun r = RunWith({"snap", kExamples + (left ? "/left.jpg" : "/right.jpg"),
                                std::to_string(static_cast<double>(truth.x) + 2.6),
                                std::to_string(static_cast<double>(truth.y) - 1.5)});
      ASSERT_EQ(r.status, kExitOk) << r.err;
      std::istringstream words(r.out);
      double x = 0, y = 0, sigma = 0;
      ASSERT_TRUE(words >> x >> y >> sigma) << r.out;
      EXPECT_NEAR(x, static_cast<double>(truth.x), 0.06) << t.X << "," << t.Y << "," << t.Z;
      EXPECT_NEAR(y, static_cast<double>(truth.y), 0.06) << t.X << "," << t.Y << "," << t.Z;
      EXPECT_GT(sigma, 0);
      EXPECT_LT(sigma, 0.05);
    }
  }
  // The wall at the top left of the left photograph; a negative position is a position.
  for (const auto& [x, y] : {std::pair<std::string, std::string>{"60", "60"}, {"-3", "40.5"}}) {
    const CliRun r = RunWith({"snap", kExamples + "/left.jpg", x, y});
    EXPECT_EQ(r.status, kExitComputation) << x;
    EXPECT_EQ(r.out, "none\n");
  }
  CliRun r = RunWith({"snap", Path("absent.jpg"), "1", "1"});
  EXPECT_EQ(r.status, kExitInput);
  EXPECT_EQ(r.err, Path("absent.jpg") + ": File not found\n");
  r = RunWith({"find-targets", Path("absent.jpg")});
  EXPECT_EQ(r.status, kExitInput);
  EXPECT_EQ(r.err, Path("absent.jpg") + ": File not found\n");
  Write("photo.txt", "not a picture");
  r = RunWith({"snap", Path("photo.txt"), "1", "1"});
  EXPECT_EQ(r.status, kExitInput);
  EXPECT_EQ(r.err, Path("photo.txt") + ": Unknown picture file extension (.txt)\n");
}
#endif

// Standard input whose reading fails part way: what was read is measured, then the failure
// makes the run an input error.
TEST_F(CliTest, FailingStandardInputIsAnInputError) {
  struct FailingInput : std::stringbuf {
    using std::stringbuf::stringbuf;
    int_type underflow() override {
      const int_type c = std::stringbuf::underflow();
      if (c == traits_type::eof()) throw std::ios_base::failure("read error");
      return c;
    }
  } buffer("1 2 3 4\n");
  std::istream in(&buffer);
  std::ostringstream out, err;
  const int status =
      RunCli({"measure", "--reference", kExamples + "/reference.txt", "--size", "1600x1200", "-"},
             in, out, err);
  EXPECT_EQ(status, kExitInput);
  EXPECT_EQ(Lines(out.str()).size(), 1u);
  EXPECT_EQ(err.str(), "-: I/O error 1117\n");
}

TEST_F(CliTest, QualityFollowsTheUnchangedReport) {
  const std::vector<std::string> args = {"calibrate", "--reference", kExamples + "/reference.txt",
                                         "--size", "1600x1200"};
  const CliRun plain = RunWith(args);
  std::vector<std::string> with_quality = args;
  with_quality.push_back("--quality");
  const CliRun rated = RunWith(with_quality);
  ASSERT_EQ(rated.status, kExitOk) << rated.err;
  const auto plain_lines = Lines(plain.out);
  const auto lines = Lines(rated.out);
  ASSERT_EQ(lines.size(), 72u + 1u + 9u + 3u + 15u + 3u + 1u);
  EXPECT_TRUE(std::equal(plain_lines.begin(), plain_lines.end(), lines.begin()));
  EXPECT_EQ(lines[72], "CALIBRATION QUALITY");
  EXPECT_EQ(lines[73].rfind("point ", 0), 0u);
  EXPECT_EQ(lines[84].rfind("fitted 15", 0), 0u);
  EXPECT_EQ(lines[87].rfind("parameter f ", 0), 0u);
  EXPECT_EQ(lines[100].rfind("start dlt objective ", 0), 0u);
  EXPECT_EQ(lines[101].rfind("start reprojection objective ", 0), 0u);
  EXPECT_EQ(lines[102].rfind("start decomposition objective ", 0), 0u);
  EXPECT_EQ(lines[103], "winner dlt");
  EXPECT_EQ(RunWith({"report", "--quality"}).status, kExitUsage);
}

TEST_F(CliTest, JointFitFailureStillPrintsTheReport) {
  // Clicks that match no camera (space coordinates of the demo frame): the classic start alone
  // meets a singular curvature, while another start gets through.
  Write("wrong.txt",
        "1429 1516 531 335 -45 -30 40\n1314 102 66 592 45 -30 40\n172 1577 952 159 45 30 40\n"
        "848 974 670 849 -45 30 40\n536 773 996 1321 -25 -10 10\n701 1208 1178 624 20 -15 0\n"
        "829 383 926 249 30 20 15\n1033 1159 1585 1463 -20 25 5\n1312 757 661 1086 0 0 25\n");
  const CliRun r = RunWith({"calibrate", "--reference", Path("wrong.txt"), "--size", "1600x1200",
                            "--distortion", "--single-start"});
  EXPECT_EQ(r.status, kExitComputation);
  EXPECT_NE(r.err.find("Optimisation failed. Possible reason : wrong control points"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(Lines(r.out).size(), 72u);
  const CliRun rescued = RunWith(
      {"calibrate", "--reference", Path("wrong.txt"), "--size", "1600x1200", "--distortion"});
  EXPECT_EQ(rescued.status, kExitOk) << rescued.err;
}

TEST_F(CliTest, CoplanarControlPointsFailTheComputation) {
  std::string text;
  for (int i = 0; i < 9; ++i) {
    text += std::to_string(100 + 50 * i) + " " + std::to_string(80 + 30 * (i % 3)) + " " +
            std::to_string(120 + 50 * i) + " " + std::to_string(90 + 30 * (i % 3)) + " " +
            std::to_string(i) + " " + std::to_string(i % 3) + " 0\r\n";
  }
  Write("flat.txt", text);
  const CliRun r = RunWith({"calibrate", "--reference", Path("flat.txt"), "--size", "800x600"});
  EXPECT_EQ(r.status, kExitComputation);
  EXPECT_NE(r.err.find("Invert: Singular matrix"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.rfind("warning: the nine control points lie in one plane", 0), 0u) << r.err;
}

TEST_F(CliTest, MeasureTheExampleAndAppend) {
  std::ifstream obs_file(kExamples + "/observations.txt");
  std::stringstream obs;
  obs << obs_file.rdbuf() << "\n   \n1 2 three 4\n";
  const CliRun r = RunWith({"measure", "--reference", kExamples + "/reference.txt", "--size",
                            "1600x1200", "--distortion", "--append-geom", Path("geom.txt"), "-"},
                           obs.str());
  // The malformed last line is reported and makes the run an input failure.
  EXPECT_EQ(r.status, kExitInput);
  EXPECT_NE(r.err.find("'three' is not a valid integer value"), std::string::npos) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("Object point n° 1       x : ", 0), 0u);
  EXPECT_EQ(lines[3].rfind("Object point n° 4       x : ", 0), 0u);

  EXPECT_EQ(ReadGeometry(Path("geom.txt")).points.size(), 4u);
}

// The control-point file built from pixels and a surveyor's list gives the example's report.
TEST_F(CliTest, MakeReferenceFromPixelsAndACoordinateList) {
  std::ifstream example(kExamples + "/reference.txt");
  std::string pixels = "# xg yg xd yd\n", coordinates = "name;X;Y;Z\n";
  long double v[7];
  for (int i = 1; example >> v[0] >> v[1] >> v[2] >> v[3] >> v[4] >> v[5] >> v[6]; ++i) {
    std::ostringstream p, c;
    p << v[0] << ' ' << v[1] << ' ' << v[2] << ' ' << v[3] << '\n';
    c << 'T' << i << ';' << v[4] << ';' << v[5] << ';' << v[6] << '\n';
    pixels += p.str();
    coordinates += c.str();
  }
  Write("pixels.txt", pixels);
  Write("targets.csv", coordinates);
  const CliRun made = RunWith({"make-reference", "--pixels", Path("pixels.txt"), "--coordinates",
                               Path("targets.csv"), "--reference", Path("made.txt")});
  ASSERT_EQ(made.status, kExitOk) << made.err;
  EXPECT_EQ(RunWith({"report", "--reference", Path("made.txt")}).out,
            RunWith({"report", "--reference", kExamples + "/reference.txt"}).out);

  Write("short.csv", "1 2 3\n");
  const CliRun refused = RunWith({"make-reference", "--pixels", Path("pixels.txt"), "--coordinates",
                                  Path("short.csv"), "--reference", Path("refused.txt")});
  EXPECT_EQ(refused.status, kExitInput);
  EXPECT_EQ(refused.err, Path("short.csv") + ": 1 row read, expected nine\n");
  EXPECT_FALSE(fs::exists(Path("refused.txt")));
  EXPECT_EQ(RunWith({"make-reference", "--pixels", Path("pixels.txt")}).status, kExitUsage);
}

// With --precision every point's line is followed by its standard errors, which cover the
// distance to the true position; --distortion=MODEL names the model in the quality output.
TEST_F(CliTest, PrecisionAndLensModel) {
  const std::string reference = kExamples + "/reference.txt";
  const CliRun r = RunWith({"measure", "--reference", reference, "--size", "1600x1200",
                            "--distortion=radial", "--precision", kExamples + "/observations.txt"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 8u);
  std::ifstream truth_file(kExamples + "/observations-truth.txt");
  std::string header;
  std::getline(truth_file, header);
  for (std::size_t k = 0; k < 8; k += 2) {
    std::istringstream point(lines[k].substr(lines[k].find("x : ") + 4));
    std::string y_label, z_label, colon;
    double X, Y, Z, tX, tY, tZ, sX, sY, sZ;
    point >> X >> y_label >> colon >> Y >> z_label >> colon >> Z;
    truth_file >> tX >> tY >> tZ;
    std::istringstream precision(lines[k + 1]);
    std::string words[4];
    precision >> words[0] >> words[1] >> sX >> words[2] >> sY >> words[3] >> sZ;
    ASSERT_EQ(words[0] + words[1] + words[2] + words[3], "precisionsxsysz") << lines[k + 1];
    EXPECT_GT(sZ, sX);  // depth is the weak direction of a stereo pair
    EXPECT_LT(std::fabs(X - tX), 4 * sX) << lines[k + 1];
    EXPECT_LT(std::fabs(Y - tY), 4 * sY) << lines[k + 1];
    EXPECT_LT(std::fabs(Z - tZ), 4 * sZ) << lines[k + 1];
  }

  const CliRun automatic = RunWith({"calibrate", "--reference", reference, "--size", "1600x1200",
                                    "--distortion=auto", "--quality"});
  ASSERT_EQ(automatic.status, kExitOk) << automatic.err;
  EXPECT_EQ(Lines(automatic.out).back().rfind("lens-model ", 0), 0u);
  EXPECT_NE(Lines(automatic.out).back().find(" auto: a1 "), std::string::npos);
}

TEST_F(CliTest, ExportWritesTheFormat) {
  Write("geom.txt", "p  -45   -30   40   \r\nl 0  0  25  -25  -10  10  \r\np 4 5 6");
  for (const char* format : {"csv", "PLY", "obj", "dxf"}) {
    const CliRun r = RunWith({"export", "--format", format, Path("geom.txt"), Path("out")});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "2 points, 1 lines\n");
    EXPECT_EQ(testing::ReadBytes(Path("out")),
              ExportText(ReadGeometry(Path("geom.txt")), *ExportFormatFromName(format)));
  }
  // An unreadable geometry file or an unwritable output is an input error.
  Write("bad.txt", "p 1,5 2 3\r\n");
  EXPECT_EQ(RunWith({"export", "--format", "csv", Path("bad.txt"), Path("out2")}).status,
            kExitInput);
  EXPECT_FALSE(fs::exists(Path("out2")));
  EXPECT_EQ(RunWith({"export", "--format", "csv", Path("geom.txt"), Path("no/such/out")}).status,
            kExitInput);
}

// Export and save cases: what must never be overwritten, what a save keeps, and numbers every
// reader takes back. Each row runs one export; geom.txt holds kGeom before it.
TEST_F(CliTest, ExportGuardsItsInputAndKeepsLinksAttributesAndRange) {
  const std::string kGeom = "p 1.5  -2  0.25  \r\np 1.7976931348623157E308  0  -4.9E-324  \r\n";
  const std::string geom = Path("geom.txt");
  struct Case {
    const char* what;
    std::function<std::string()> prepare;  // gives the output argument
    int status;
    std::string message;  // in standard error
    std::function<void()> check;
  };
  bool attributes = false;
  const auto geom_unchanged = [&] { EXPECT_EQ(testing::ReadBytes(geom), kGeom); };
  const Case cases[] = {
      {"missing geometry file",
       [&] {
         fs::remove(geom);
         return Path("out.csv");
       },
       kExitInput, "File not found", [&] { EXPECT_FALSE(fs::exists(Path("out.csv"))); }},
      {"output folder missing", [&] { return Path("nowhere/out.csv"); }, kExitInput,
       "the folder " + Path("nowhere") + " does not exist", geom_unchanged},
      {"output is a folder", [&] { return dir_.string(); }, kExitInput, "is a folder",
       geom_unchanged},
      {"dangling link: written through to its target",
       [&] {
         fs::create_directory(Path("real"));
         fs::create_symlink("real/out.csv", Path("dangling.csv"));
         return Path("dangling.csv");
       },
       kExitOk, "",
       [&] {
         EXPECT_TRUE(fs::is_symlink(Path("dangling.csv")));
         EXPECT_EQ(testing::ReadBytes(Path("real/out.csv")).rfind("kind,", 0), 0u);
       }},
      {"extended attributes kept",
       [&] {
         testing::WriteBytes(Path("noted.csv"), "old");
         attributes = ::setxattr(Path("noted.csv").c_str(), "user.note", "x", 1, 0) == 0;
         return Path("noted.csv");
       },
       kExitOk, "",
       [&] {
         if (!attributes) {
           std::printf("skipped: this file system keeps no user attributes\n");
           return;
         }
         char value[8] = {};
         const ssize_t n = ::getxattr(Path("noted.csv").c_str(), "user.note", value, sizeof value);
         EXPECT_EQ(std::string(value, n > 0 ? size_t(n) : 0), "x");
         EXPECT_NE(testing::ReadBytes(Path("noted.csv")), "old");
       }},
      {"the largest double reads back in other programs", [&] { return Path("range.csv"); },
       kExitOk, "",
       [&] {
         const std::string text = testing::ReadBytes(Path("range.csv"));
         EXPECT_NE(text.find(",1.7976931348623157E308,0,"), std::string::npos) << text;
         for (const std::string& line : Lines(text)) {
           std::istringstream fields(line);
           for (std::string field; std::getline(fields, field, ',');) {
             if (!field.empty() && (std::isdigit(field[0]) || field[0] == '-')) {
               EXPECT_TRUE(std::isfinite(std::strtod(field.c_str(), nullptr))) << field;
             }
           }
         }
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path());
    Write("geom.txt", kGeom);
    const std::string out = c.prepare();
    const CliRun r = RunWith({"export", "--format", "csv", geom, out});
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.message.empty()) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    c.check();
  }
}

// No command writes over a file it reads, under whatever name the output is given: refused with
// both roles named before anything is read or written.
TEST_F(CliTest, NoCommandWritesOverItsOwnInput) {
  const std::vector<std::string> measure_by_reference = {
      "measure",       "--reference", Path("reference.txt"),   "--size", "1600x1200",
      "--append-geom", "@",           Path("observations.txt")};
  const std::vector<std::string> make_reference = {
      "make-reference", "--pixels", Path("pixels.txt"), "--coordinates", Path("xyz.csv"),
      "--reference",    "@"};
  const struct {
    std::string output_role, input_role, input;
    std::vector<std::string> args;  // "@" stands for the output
  } commands[] = {
      {"--append-geom", "--reference", "reference.txt", measure_by_reference},
      {"--append-geom",
       "--project",
       "pair.vistrel",
       {"measure", "--project", Path("pair.vistrel"), "--size", "1600x1200", "--append-geom", "@",
        Path("observations.txt")}},
      {"--append-geom", "OBSERVATIONS", "observations.txt", measure_by_reference},
      {"--reference", "--pixels", "pixels.txt", make_reference},
      {"--reference", "--coordinates", "xyz.csv", make_reference},
      {"OUT", "GEOM", "geom.txt", {"export", "--format", "csv", Path("geom.txt"), "@"}},
  };
  const struct {
    const char* what;
    std::function<std::string(const std::string& input)> alias;
  } aliases[] = {
      {"same name", [this](const std::string& input) { return Path(input); }},
      {"hard link",
       [this](const std::string& input) {
         fs::create_hard_link(Path(input), Path("hard"));
         return Path("hard");
       }},
      {"symbolic link",
       [this](const std::string& input) {
         fs::create_symlink(input, Path("soft"));
         return Path("soft");
       }},
      {"./x", [this](const std::string& input) { return (dir_ / "." / input).string(); }},
      {"../dir/x",
       [this](const std::string& input) {
         return (dir_ / ".." / dir_.filename() / input).string();
       }},
  };
  const auto names = [this] {
    std::vector<fs::path> listing(fs::directory_iterator(dir_), {});
    return listing.size();
  };
  for (const auto& command : commands) {
    for (const auto& alias : aliases) {
      SCOPED_TRACE(command.output_role + " onto " + command.input_role + ", " + alias.what);
      for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path());
      for (const char* name : {"reference.txt", "pair.vistrel", "observations.txt", "pixels.txt",
                               "xyz.csv", "geom.txt"})
        Write(name, std::string("the ") + name + " as it was\n");
      const std::string out = alias.alias(command.input);
      const std::size_t before = names();
      std::vector<std::string> args = command.args;
      std::replace(args.begin(), args.end(), std::string("@"), out);
      const CliRun r = RunWith(args);
      EXPECT_EQ(r.status, kExitInput) << r.err;
      EXPECT_NE(r.err.find(command.output_role + " " + out + " is " + command.input_role),
                std::string::npos)
          << r.err;
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(testing::ReadBytes(Path(command.input)), "the " + command.input + " as it was\n");
      EXPECT_EQ(names(), before) << "a file was made";
    }
  }
}

// Every file reader ends on an endless device with the line it stopped at, says so of a folder,
// and refuses a file beyond its size; a project that lacks a point's part is an input error.
TEST_F(CliTest, EveryReaderEndsAndSaysWhatIsWrong) {
  Write("blank-lines.txt", std::string((1 << 20) + 10, '\n'));
  std::string long_project = "VISTREL-PROJECT 1\n";
  while (long_project.size() <= (1 << 20)) long_project += "# a comment line\n";
  Write("long.vistrel", long_project);
  {
    Session session;
    session.LoadControlPoints(kExamples + "/reference.txt");
    Project project;
    project.table = session.Table();
    project.table.SetStored(3, {false, true, true});
    SaveProject(Path("partial.vistrel"), project);
  }
  const std::string folder = dir_.string();
  const std::string reference = kExamples + "/reference.txt";
  const auto calibrate_project = [](const std::string& path) {
    return std::vector<std::string>{"calibrate", "--project", path, "--size", "1600x1200"};
  };
  const auto export_from = [this](const std::string& path) {
    return std::vector<std::string>{"export", "--format", "csv", path, Path("out.csv")};
  };
  const auto pixels_from = [](const std::string& path) {
    return std::vector<std::string>{"make-reference", "--pixels", path, "--coordinates",
                                    "/nowhere.csv"};
  };
  const auto coordinates_from = [this](const std::string& path) {
    return std::vector<std::string>{"make-reference", "--pixels", Path("pixels.txt"),
                                    "--coordinates", path};
  };
  std::string pixels;
  for (int i = 1; i <= 9; ++i) pixels += std::to_string(i) + " 2 3 4\n";
  Write("pixels.txt", pixels);
  const struct {
    std::vector<std::string> args;
    std::string err;  // contained in standard error
  } cases[] = {
      {{"report", "--reference", "/dev/zero"}, "/dev/zero: line 1: longer than 4096 characters"},
      {{"report", "--reference", folder}, folder + ": This is a folder"},
      {{"report", "--reference", Path("blank-lines.txt")},
       "line 1048577: the file is longer than 1048576 bytes"},
      {calibrate_project("/dev/zero"), "/dev/zero: line 1: line longer than 4096 characters"},
      {calibrate_project(folder), folder + ": This is a folder"},
      {calibrate_project(Path("long.vistrel")), ": longer than 1048576 bytes"},
      {calibrate_project(Path("partial.vistrel")), "point 3"},
      {export_from("/dev/zero"), "/dev/zero: line 1: longer than 4096 characters"},
      {export_from(folder), folder + ": This is a folder"},
      {pixels_from("/dev/zero"), "/dev/zero: line 1: line longer than 4096 characters"},
      {pixels_from(folder), folder + ": This is a folder"},
      {coordinates_from("/dev/zero"), "/dev/zero: line 1: line longer than 4096 characters"},
      {coordinates_from(folder), folder + ": This is a folder"},
      {{"measure", "--reference", reference, "--size", "1600x1200", folder},
       folder + ": This is a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const CliRun r = RunWith(c.args);
    EXPECT_EQ(r.status, kExitInput) << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}

// Readers: a bare CR ends a line in every file, and no line is read without limit.
TEST_F(CliTest, ReadersTakeBareCarriageReturnsAndRefuseEndlessLines) {
  auto with_cr = [](std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += text[i] == '\n' ? '\r' : text[i];
    }
    return out;
  };
  Write("geom.txt", with_cr("p 1 2 3\np 4 5 6\nl 1 2 3 4 5 6\np 7 8 9\n"));
  Write("reference.txt", with_cr(testing::ReadBytes(kExamples + "/reference.txt")));
  const std::string observations = testing::ReadBytes(kExamples + "/observations.txt");
  Write("observations.txt", with_cr(observations));
  const std::string measure_crlf =
      RunWith({"measure", "--reference", kExamples + "/reference.txt", "--size", "1600x1200", "-"},
              observations)
          .out;
  ASSERT_EQ(Lines(measure_crlf).size(), 4u);
  const std::string endless(LineReader::kMaxLineLength + 1, '7');
  // What the lines before an endless one give: they are measured, then the run stops.
  const std::string one_point =
      RunWith({"measure", "--reference", kExamples + "/reference.txt", "--size", "1600x1200", "-"},
              "1 2 3 4\n")
          .out;
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string out;  // exactly
    std::string err;  // contained
  } cases[] = {
      {"geometry file",
       {"export", "--format", "csv", Path("geom.txt"), Path("out.csv")},
       "",
       kExitOk,
       "3 points, 1 lines\n",
       ""},
      {"control points",
       {"report", "--reference", Path("reference.txt")},
       "",
       kExitOk,
       RunWith({"report", "--reference", kExamples + "/reference.txt"}).out,
       ""},
      {"observations file",
       {"measure", "--reference", Path("reference.txt"), "--size", "1600x1200",
        Path("observations.txt")},
       "",
       kExitOk,
       measure_crlf,
       ""},
      {"endless device",
       {"measure", "--reference", Path("reference.txt"), "--size", "1600x1200", "/dev/zero"},
       "",
       kExitInput,
       "",
       "/dev/zero:1: line longer than 4096 characters"},
      {"endless standard input",
       {"measure", "--reference", Path("reference.txt"), "--size", "1600x1200", "-"},
       "1 2 3 4\n" + endless,
       kExitInput,
       one_point,
       "-:2: line longer than 4096 characters"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const CliRun r = RunWith(c.args, c.input);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, c.out);
    if (c.err.empty()) {
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
  }
}

// Exact sub-pixel positions of the demo targets in real-number files (tabs, CR LF and CR line
// ends, names on some lines) give back the pair: check points, held-out control points and a
// measured observation land on their true places.
TEST_F(CliTest, RealValuedControlAndCheckFilesReproduceThePair) {
  const auto line = [](const demo::Target& t, const std::string& name) {
    char text[256];
    const ImagePoint l = ProjectToImage(demo::kLens, demo::kLeftCamera, t.X, t.Y, t.Z);
    const ImagePoint r = ProjectToImage(demo::kLens, demo::kRightCamera, t.X, t.Y, t.Z);
    std::snprintf(text, sizeof text, "%.17g\t%.17g  %.17g %.17g %.17g %.17g %.17g %s",
                  static_cast<double>(l.x), static_cast<double>(l.y), static_cast<double>(r.x),
                  static_cast<double>(r.y), t.X, t.Y, t.Z, name.c_str());
    return std::string(text);
  };
  std::string control = "# surveyed targets\r\n";
  for (const demo::Target& t : demo::kControlTargets) control += line(t, "") + "\r\n";
  control += line({-30, 0, 30}, "T10") + "\r" + line({30, -20, 20}, "T11") + "\n";
  Write("control.txt", control);
  std::string check;
  for (const demo::Target& t : demo::kExtraTargets) check += line(t, "") + "\n";
  Write("check.txt", check);
  const std::vector<std::string> source = {
      "--control", Path("control.txt"),   "--check",        Path("check.txt"), "--size",
      "1600x1200", "--distortion=radial", "--leave-one-out"};
  std::vector<std::string> args = {"calibrate"};
  args.insert(args.end(), source.begin(), source.end());
  const CliRun run = RunWith(args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Control point n° T11\n"), std::string::npos);
  const auto figure = [&run](const std::string& label, const std::string& word) {
    const std::size_t at = run.out.find(label + " rms ");
    if (at == std::string::npos) return -1.0;
    std::istringstream words(run.out.substr(run.out.find(" " + word + " ", at) + word.size() + 2));
    double v = -1;
    words >> v;
    return v;
  };
  EXPECT_GE(figure("check", "3D"), 0.0);
  EXPECT_LT(figure("check", "3D"), 1e-4) << run.out;
  EXPECT_EQ(figure("check", "n"), 4.0);
  EXPECT_NE(run.out.find("\ncheck C4 dX "), std::string::npos);
  EXPECT_LT(figure("control-held-out", "3D"), 1e-3) << run.out;
  EXPECT_EQ(figure("control-held-out", "n"), 11.0);
  EXPECT_NE(run.out.find("\nrelative accuracy 1:"), std::string::npos);

  // An observation at real positions measures its target; whole numbers still work.
  const demo::Target& a = demo::kExtraTargets[0];
  std::istringstream fields(line(a, ""));
  std::string observation, field;
  for (int k = 0; k < 4 && fields >> field; ++k) observation += field + " ";
  std::vector<std::string> measure = {"measure"};
  measure.insert(measure.end(), source.begin(), source.end() - 1);
  measure.push_back("-");
  const CliRun measured = RunWith(measure, observation + "\n700 500 600 510\n");
  ASSERT_EQ(measured.status, 0) << measured.err;
  const std::size_t at = measured.out.find("Object point n° 1 ");
  ASSERT_NE(at, std::string::npos) << measured.out;
  std::istringstream words(measured.out.substr(at + std::string("Object point n° 1 ").size()));
  std::string x, colon;
  double X = 0, Y = 0, Z = 0;
  words >> x >> colon >> X >> x >> colon >> Y >> x >> colon >> Z;
  EXPECT_NEAR(X, a.X, 1e-4);
  EXPECT_NEAR(Y, a.Y, 1e-4);
  EXPECT_NEAR(Z, a.Z, 1e-4);
  EXPECT_NE(measured.out.find("Object point n° 2 "), std::string::npos);

  Write("short.txt", control.substr(0, control.find(line(demo::kControlTargets[5], ""))));
  const CliRun refused =
      RunWith({"calibrate", "--control", Path("short.txt"), "--size", "1600x1200"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, Path("short.txt") + ": expected six control points or more, got 5\n");
}

}  // namespace
}  // namespace vistrel
