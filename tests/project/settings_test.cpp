#include "project/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "numeric/text_format.h"
#include "tests/support/temp_dir.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override { path_ = (dir_ / kSettingsFileName).string(); }
  void Write(const std::string& text) { testing::WriteBytes(path_, text); }
  std::string Read() const { return testing::ReadBytes(path_); }

  testing::TempDir temp_;
  fs::path dir_ = temp_.path();
  std::string path_;
};

TEST_F(SettingsFile, MissingFileGivesDefaultsAndCloseWritesAllFourteenKeys) {
  Settings s = ReadSettingsFile(path_, '.');
  EXPECT_EQ(s.colors[0], kColorWhite);
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(s.colors[i], kColorRed) << i;
  EXPECT_EQ(s.scale, 0.01);
  EXPECT_EQ(s.ball, 0.01);
  EXPECT_TRUE(s.left_image.empty());
  EXPECT_TRUE(s.problems.empty());

  WriteSettingsFile(path_, s, '.');
  EXPECT_EQ(Read(),
            "[IMAGES]\nLEFT=\nRIGHT=\n\n[COLORS]\nOBS=clWhite\nREF1=clRed\nREF2=clRed\nREF3=clRed\n"
            "REF4=clRed\nREF5=clRed\nREF6=clRed\nREF7=clRed\nREF8=clRed\nREF9=clRed\n\n[CAD]\n"
            "SCALE=0.01\nBALL=0.01\n");
  EXPECT_FALSE(fs::exists(path_ + ".tmp"));
}

TEST_F(SettingsFile, RoundTripKeepsEveryValue) {
  Settings s;
  s.left_image = dir_.string() + "/gauche é.jpg";
  s.right_image = "/photos/right.JPEG";
  s.colors = {0x0080FF00,    1,          2,         3, 0x00FFFFFF, 0x8000000F, kColorNone,
              kColorDefault, 0xFFFFFFFF, 0x000000FF};
  s.scale = 2;
  s.ball = 1.5e-7;
  for (const char separator : {'.', ','}) {
    WriteSettingsFile(path_, s, separator);
    const Settings back = ReadSettingsFile(path_, separator);
    EXPECT_EQ(back.left_image, s.left_image);
    EXPECT_EQ(back.right_image, s.right_image);
    EXPECT_EQ(back.colors, s.colors);
    EXPECT_EQ(back.scale, 2);
    EXPECT_EQ(back.ball, 1.5e-7);
  }
  std::string text = Read();
  EXPECT_EQ(text.find("[GUIDANCE]"), std::string::npos);  // never on: not written
  struct Options {
    bool store_on_click, advance, fit;
  } options[] = {{true, false, false}, {false, true, false}, {false, false, true}, {}};
  for (const Options& o : options) {
    s.store_on_click = o.store_on_click;
    s.advance = o.advance;
    s.fit_when_shown = o.fit;
    WriteSettingsFile(path_, s, '.');
    const Settings back = ReadSettingsFile(path_, '.');
    EXPECT_EQ(back.store_on_click, o.store_on_click);
    EXPECT_EQ(back.advance, o.advance);
    EXPECT_EQ(back.fit_when_shown, o.fit);
  }
  EXPECT_NE(Read().find("[GUIDANCE]\nSTOREONCLICK=0\nADVANCE=0\nFIT=0\n"), std::string::npos);
  WriteSettingsFile(path_, s, ',');
  text = Read();
  EXPECT_NE(text.find("OBS=$0080FF00\n"), std::string::npos);
  EXPECT_NE(text.find("REF5=clBtnFace\n"), std::string::npos);
  EXPECT_NE(text.find("BALL=1,5E-7\n"), std::string::npos);
}

TEST_F(SettingsFile, NamesIgnoreCaseAndAreWrittenInTheirOwnSpelling) {
  Write(
      "; written by hand\r\n[colors]\r\nobs = CLRED\r\nRef1=clred\r\nREF2=Clred\r\n"
      "REF3=$000000FF\r\nREF4=255\r\nREF5=-2147483648\r\nOTHER=keep me\r\n\r\n[Cad]\r\n"
      "scale = 2 \r\nball=abc\r\n[mine]\r\nx=1\r\n");
  Settings s = ReadSettingsFile(path_, '.');
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(s.colors[i], kColorRed) << i;
  EXPECT_EQ(s.colors[5], 0x80000000u);
  EXPECT_EQ(s.scale, 2);
  EXPECT_EQ(s.ball, 0.01);  // unconvertible: default, no message
  EXPECT_TRUE(s.problems.empty());

  WriteSettingsFile(path_, s, '.');
  EXPECT_EQ(Read(),
            "; written by hand\r\n[colors]\r\nOBS=clRed\r\nREF1=clRed\r\nREF2=clRed\r\n"
            "REF3=clRed\r\nREF4=clRed\r\nREF5=clScrollBar\r\nOTHER=keep me\r\nREF6=clRed\r\n"
            "REF7=clRed\r\nREF8=clRed\r\nREF9=clRed\r\n\r\n[Cad]\r\nSCALE=2\r\nBALL=0.01\r\n"
            "[mine]\r\nx=1\r\n\r\n[IMAGES]\r\nLEFT=\r\nRIGHT=\r\n");
}

// SCALE and BALL the 3D view cannot use give the default, as an unconvertible text does; SCALE 0
// is kept (the view shows the points and saves nothing).
TEST(Settings, ScaleAndBallOutsidePositiveSingleRangeGiveTheDefault) {
  const struct {
    const char* text;
    char separator;
    double scale, ball;
  } cases[] = {
      {"2", '.', 2, 2},
      {"1,5", ',', 1.5, 1.5},
      {"0", '.', 0, kDefaultBall},
      {"-0", '.', 0, kDefaultBall},
      {"-1", '.', kDefaultScale, kDefaultBall},
      {"-1E-5", '.', kDefaultScale, kDefaultBall},
      {"1e39", '.', kDefaultScale, kDefaultBall},   // infinite as a single
      {"1e308", '.', kDefaultScale, kDefaultBall},  // finite as a double
      {"1E-38", '.', kDefaultScale, kDefaultBall},  // below the smallest normal single
      {"1e-300", '.', kDefaultScale, kDefaultBall},
      {"1e400", '.', kDefaultScale, kDefaultBall},
      {"3.40282346638529E38", '.', 3.40282346638529E38, 3.40282346638529E38},
      {"1,17549435082229E-38", ',', 1.17549435082229E-38, 1.17549435082229E-38},
  };
  for (const auto& c : cases) {
    const IniFile ini =
        IniFile::FromText(std::string("[CAD]\nSCALE=") + c.text + "\nBALL=" + c.text);
    const Settings s = ReadSettings(ini, c.separator);
    EXPECT_EQ(s.scale, c.scale) << c.text;
    EXPECT_EQ(s.ball, c.ball) << c.text;
    // What is read is what is written back, and it reads again the same.
    IniFile written = ini;
    WriteSettings(written, s, c.separator);
    const Settings again = ReadSettings(written, c.separator);
    EXPECT_EQ(again.scale, s.scale) << c.text;
    EXPECT_EQ(again.ball, s.ball) << c.text;
  }
}

// A photograph missing at start is skipped, but its name is written back at close until the
// user loads another one.
TEST_F(SettingsFile, MissingPhotographIsRememberedUntilAnotherIsShown) {
  Write("[IMAGES]\nLEFT=/media/absent/left.jpg\nRIGHT=/media/absent/right.jpg\n");
  const Settings read = ReadSettingsFile(path_, '.');
  ASSERT_EQ(read.left_image, "/media/absent/left.jpg");
  Settings closing = read;
  closing.left_image = ImageToRemember("", read.left_image);
  closing.right_image = ImageToRemember("/photos/new right.jpg", read.right_image);
  WriteSettingsFile(path_, closing, '.');
  const Settings next = ReadSettingsFile(path_, '.');
  EXPECT_EQ(next.left_image, "/media/absent/left.jpg");
  EXPECT_EQ(next.right_image, "/photos/new right.jpg");
  EXPECT_EQ(ImageToRemember("", ""), "");
}

TEST_F(SettingsFile, BadColourKeepsItsDefaultAndIsReported) {
  Write("[COLORS]\nREF3=pink\nOBS=$1234567890\n");
  Settings s = ReadSettingsFile(path_, '.');
  EXPECT_EQ(s.colors[3], kColorRed);
  EXPECT_EQ(s.colors[0], kColorWhite);
  ASSERT_EQ(s.problems.size(), 2u);
  EXPECT_EQ(s.problems[0], "'$1234567890' n'est pas une valeur entière correcte");
  EXPECT_EQ(s.problems[1], "'pink' n'est pas une valeur entière correcte");
}

TEST(IniFile, ValuesAreTrimmedAndCutAt2047Characters) {
  const std::string long_value(3000, 'x');
  IniFile ini = IniFile::FromText("[A]\nk=  " + long_value + "  \nempty=\n[B]\nk=b\n");
  EXPECT_EQ(ini.ReadString("a", "K", "d"), long_value.substr(0, 2047));
  EXPECT_EQ(ini.ReadString("A", "empty", "d"), "");
  EXPECT_EQ(ini.ReadString("b", "k", "d"), "b");
  EXPECT_EQ(ini.ReadString("A", "missing", "d"), "d");
  EXPECT_EQ(ini.ReadString("C", "k", "d"), "d");
  // Lines ended by a bare CR (older Mac editors), written back the same way.
  IniFile mac = IniFile::FromText("[A]\rk=1\r[B]\rk=2\r");
  EXPECT_EQ(mac.ReadString("A", "k", "d"), "1");
  EXPECT_EQ(mac.ReadString("B", "k", "d"), "2");
  mac.WriteString("A", "k", "3");
  EXPECT_EQ(mac.Text(), "[A]\rk=3\r[B]\rk=2\r");
  ini.WriteString("b", "K", "new");
  ini.WriteString("B", "z", "1");
  EXPECT_EQ(ini.Text(), "[A]\nk=  " + long_value + "  \nempty=\n[B]\nK=new\nz=1\n");
}

TEST(Colors, TableHasFortyNineDistinctNamesAndTheStatedValues) {
  const auto& names = ColorNames();
  EXPECT_EQ(names.size(), 49u);
  struct Case {
    const char* text;
    TColor value;
  } cases[] = {{"clBlack", 0},
               {"clMaroon", 0x000080},
               {"clLime", 0x00FF00},
               {"clSkyBlue", 0xF0CAA6},
               {"clMoneyGreen", 0xC0DCC0},
               {"clCream", 0xF0FBFF},
               {"clMedGray", 0xA4A0A0},
               {"clScrollBar", 0x80000000},
               {"clInfoBk", 0x80000018},
               {"clGradientInactiveCaption", 0x8000001C},
               {"clNone", 0x1FFFFFFF},
               {"clDefault", 0x20000000},
               {"0x10", 16},
               {"$ff", 255},
               {"-1", 0xFFFFFFFF}};
  for (const Case& c : cases) {
    EXPECT_EQ(ColorFromString(c.text), c.value) << c.text;
  }
  for (const auto& entry : names) {
    EXPECT_EQ(ColorToString(entry.value), entry.name);
    EXPECT_EQ(ColorFromString(entry.name), entry.value);
  }
  EXPECT_EQ(ColorToString(0x0080FF00), "$0080FF00");
  EXPECT_THROW(ColorFromString(""), EConvertError);
  EXPECT_THROW(ColorFromString("12 "), EConvertError);
  EXPECT_THROW(ColorFromString("2147483648"), EConvertError);
}

TEST(Settings, ProgramDirectoryKeepsTheSeparator) {
  EXPECT_EQ(ProgramDirectory("/opt/vistrel/bin/vistrel"), "/opt/vistrel/bin/");
  EXPECT_EQ(ProgramDirectory("/vistrel"), "/");
  EXPECT_EQ(ProgramDirectory("vistrel"), "");
}

}  // namespace
}  // namespace vistrel
