#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "project/export.h"
#include "project/geom_file.h"
#include "tests/support/temp_dir.h"
#include "tools/demo_scene.h"

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

class CliTest : public ::testing::Test {
 protected:
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
           {"report", "--format", "csv"}}) {
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

TEST_F(CliTest, FileErrors) {
  CliRun r = RunWith({"report", "--reference", Path("missing.txt")});
  EXPECT_EQ(r.status, kExitInput);
  EXPECT_NE(r.err.find("Fichier introuvable"), std::string::npos) << r.err;

  Write("bad.txt", "1 2 3 4 1,5 0 0\r\n");
  r = RunWith({"calibrate", "--reference", Path("bad.txt"), "--size", "1600x1200"});
  EXPECT_EQ(r.status, kExitInput);
  EXPECT_NE(r.err.find("Saisie numérique incorrecte"), std::string::npos) << r.err;

  // Observations that cannot be read are an input error, never an empty run.
  const struct {
    std::string observations;
    std::string message;
  } unreadable[] = {
      {dir_.string(), "Accès au fichier refusé"},
      {Path("absent.txt"), "Fichier introuvable"},
      {Path("absent/obs.txt"), "Nom de fichier incorrect"},
      // Opens, but reading its first page fails (nothing is mapped at address 0).
      {"/proc/self/mem", "Erreur E/S 1117"},
  };
  for (const auto& c : unreadable) {
    r = RunWith({"measure", "--reference", kExamples + "/reference.txt", "--size", "1600x1200",
                 c.observations});
    EXPECT_EQ(r.status, kExitInput) << c.observations;
    EXPECT_EQ(r.err, c.observations + ": " + c.message + "\n");
    EXPECT_EQ(r.out, "") << c.observations;
  }
}

#ifdef VISTREL_CLI_READS_PHOTOGRAPHS
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
  EXPECT_EQ(r.err, Path("absent.jpg") + ": Fichier introuvable\n");
  Write("photo.txt", "not a picture");
  r = RunWith({"snap", Path("photo.txt"), "1", "1"});
  EXPECT_EQ(r.status, kExitInput);
  EXPECT_EQ(r.err, Path("photo.txt") + ": Extension de fichier image inconnue (.txt)\n");
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
  EXPECT_EQ(err.str(), "-: Erreur E/S 1117\n");
}

TEST_F(CliTest, CalibrateTheExample) {
  const CliRun r = RunWith({"calibrate", "--reference", kExamples + "/reference.txt", "--size",
                            "1600x1200", "--distortion"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 72u);
  const std::string prefix = "Focal (f) :            ";
  ASSERT_EQ(lines[40].rfind(prefix, 0), 0u);
  EXPECT_NEAR(std::fabs(std::stod(lines[40].substr(prefix.size()))), 2200.0, 60.0);
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
  ASSERT_EQ(lines.size(), 72u + 1u + 9u + 3u + 15u + 2u + 1u);
  EXPECT_TRUE(std::equal(plain_lines.begin(), plain_lines.end(), lines.begin()));
  EXPECT_EQ(lines[72], "CALIBRATION QUALITY");
  EXPECT_EQ(lines[73].rfind("point ", 0), 0u);
  EXPECT_EQ(lines[84].rfind("fitted 15", 0), 0u);
  EXPECT_EQ(lines[87].rfind("parameter f ", 0), 0u);
  EXPECT_EQ(lines[100].rfind("start dlt objective ", 0), 0u);
  EXPECT_EQ(lines[101].rfind("start reprojection objective ", 0), 0u);
  EXPECT_EQ(lines[102], "winner dlt");
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
  EXPECT_NE(r.err.find("'three' n'est pas une valeur entière correcte"), std::string::npos)
      << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("Object point n° 1       x : ", 0), 0u);
  EXPECT_EQ(lines[3].rfind("Object point n° 4       x : ", 0), 0u);

  std::ifstream truth_file(kExamples + "/observations-truth.txt");
  std::string header;
  std::getline(truth_file, header);
  const GeomData geom = ReadGeometry(Path("geom.txt"));
  ASSERT_EQ(geom.points.size(), 4u);
  for (const GeomPoint& p : geom.points) {
    double X, Y, Z;
    truth_file >> X >> Y >> Z;
    EXPECT_NEAR(p.x, X, 0.3);
    EXPECT_NEAR(p.y, Y, 0.3);
    EXPECT_NEAR(p.z, Z, 0.6);
  }
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

}  // namespace
}  // namespace vistrel
