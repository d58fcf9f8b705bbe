#include "project/settings.h"

#include "numeric/text_format.h"
#include "photogrammetry/point_table.h"

namespace vistrel {
namespace {

constexpr char kImages[] = "IMAGES";
constexpr char kColors[] = "COLORS";
constexpr char kCad[] = "CAD";
// The window's options: a section of their own, which versions without them never read.
constexpr char kGuidance[] = "GUIDANCE";
constexpr const char* kGuidanceKeys[] = {"STOREONCLICK", "ADVANCE", "FIT"};
constexpr char kLens[] = "LENS";
constexpr char kLensModel[] = "MODEL";
constexpr char kGeneral[] = "GENERAL";
constexpr char kLanguage[] = "LANGUAGE";

std::string RefKey(int i) { return "REF" + std::to_string(i); }

// The 3D view multiplies coordinates by SCALE in double and draws in single precision, and BALL
// becomes a single-precision radius: both must be positive normal singles. The bounds are the
// smallest and largest normal single as written with 15 digits, so a value that passes still
// passes after being written and read back.
constexpr double kSmallestScaleValue = 1.17549435082229E-38;
constexpr double kLargestScaleValue = 3.40282346638529E38;

bool UsableScaleValue(double value) {
  return value >= kSmallestScaleValue && value <= kLargestScaleValue;
}

// An absent, unconvertible or unusable text gives the default, silently. `zero_allowed`: the
// 3D view has its own answer for SCALE 0 (it shows the points but saves nothing).
double ReadReal(const IniFile& ini, const char* key, double default_value, char separator,
                bool zero_allowed) {
  const std::string text = ini.ReadString(kCad, key, "");
  // Straight to a double: a text beyond its range gives the default, not infinity.
  double value = 0;
  if (text.empty() || !TryStrToDouble(text, value, separator)) return default_value;
  if (zero_allowed && value == 0) return 0;
  return UsableScaleValue(value) ? value : default_value;
}

}  // namespace

std::string ProgramDirectory(std::string_view executable_path) {
  const auto slash = executable_path.find_last_of('/');
  if (slash == std::string_view::npos) return {};
  return std::string(executable_path.substr(0, slash + 1));
}

Settings ReadSettings(const IniFile& ini, char decimal_separator) {
  Settings s;
  for (int i = 0; i < static_cast<int>(s.colors.size()); ++i) {
    const std::string text = i == 0 ? ini.ReadString(kColors, "OBS", "Clwhite")
                                    : ini.ReadString(kColors, RefKey(i), "Clred");
    try {
      s.colors[i] = ColorFromString(text);
    } catch (const EConvertError& e) {
      s.colors[i] = i == 0 ? kColorWhite : kColorRed;
      s.problems.emplace_back(e.what());
    }
  }
  s.left_image = ini.ReadString(kImages, "LEFT", "");
  s.right_image = ini.ReadString(kImages, "RIGHT", "");
  s.scale = ReadReal(ini, "SCALE", kDefaultScale, decimal_separator, /*zero_allowed=*/true);
  s.ball = ReadReal(ini, "BALL", kDefaultBall, decimal_separator, /*zero_allowed=*/false);
  s.store_on_click = ini.ReadString(kGuidance, kGuidanceKeys[0], "0") == "1";
  s.advance = ini.ReadString(kGuidance, kGuidanceKeys[1], "0") == "1";
  s.fit_when_shown = ini.ReadString(kGuidance, kGuidanceKeys[2], "0") == "1";
  s.lens_model = LensModelFromName(ini.ReadString(kLens, kLensModel, ""));
  s.language = LanguageFromName(ini.ReadString(kGeneral, kLanguage, ""));
  return s;
}

Settings ReadSettingsFile(const std::string& path, char decimal_separator) {
  return ReadSettings(IniFile::Load(path), decimal_separator);
}

std::string ImageToRemember(std::string_view shown, std::string_view read_at_start) {
  return std::string(shown.empty() ? read_at_start : shown);
}

void WriteSettings(IniFile& ini, const Settings& s, char decimal_separator) {
  ini.WriteString(kImages, "LEFT", s.left_image);
  ini.WriteString(kImages, "RIGHT", s.right_image);
  ini.WriteString(kColors, "OBS", ColorToString(s.colors[0]));
  for (int i = 1; i < static_cast<int>(s.colors.size()); ++i) {
    ini.WriteString(kColors, RefKey(i), ColorToString(s.colors[i]));
  }
  ini.WriteString(kCad, "SCALE", FormatGeneral(s.scale, decimal_separator));
  ini.WriteString(kCad, "BALL", FormatGeneral(s.ball, decimal_separator));
  // A file that never had the options on stays as versions without them write it.
  bool in_file = false;
  for (const char* key : kGuidanceKeys) in_file |= ini.ReadString(kGuidance, key, "-") != "-";
  if (s.store_on_click || s.advance || s.fit_when_shown || in_file) {
    ini.WriteString(kGuidance, kGuidanceKeys[0], s.store_on_click ? "1" : "0");
    ini.WriteString(kGuidance, kGuidanceKeys[1], s.advance ? "1" : "0");
    ini.WriteString(kGuidance, kGuidanceKeys[2], s.fit_when_shown ? "1" : "0");
  }
  // Empty once chosen back to the check box: the section stays, the value says "as the box".
  if (s.lens_model || ini.ReadString(kLens, kLensModel, "-") != "-") {
    ini.WriteString(kLens, kLensModel, s.lens_model ? LensModelName(*s.lens_model) : "");
  }
  if (s.language || ini.ReadString(kGeneral, kLanguage, "-") != "-") {
    ini.WriteString(kGeneral, kLanguage, s.language ? LanguageName(*s.language) : "");
  }
}

void WriteSettingsFile(const std::string& path, const Settings& settings, char decimal_separator) {
  IniFile ini = IniFile::Load(path);
  WriteSettings(ini, settings, decimal_separator);
  ini.Save(path);
}

}  // namespace vistrel
