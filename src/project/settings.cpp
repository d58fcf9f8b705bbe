#include "project/settings.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "numeric/text_format.h"
#include "photogrammetry/point_table.h"
#include "project/safe_write.h"

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

std::string_view Trim(std::string_view s) {
  const char* blanks = " \t\r\n";
  const auto first = s.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// The name of a "[name]" line, or false.
bool SectionName(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return false;
  const auto close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = Trim(line.substr(1, close - 1));
  return true;
}

// The key and value of a "key=value" line, or false.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return !key.empty();
}

std::string RefKey(int i) { return "REF" + std::to_string(i); }

constexpr TColor Rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }
constexpr TColor Sys(unsigned n) { return kSystemColorFlag | n; }

const std::array<ColorName, 49> kColorNames = {{
    {"clBlack", Rgb(0, 0, 0)},
    {"clMaroon", Rgb(128, 0, 0)},
    {"clGreen", Rgb(0, 128, 0)},
    {"clOlive", Rgb(128, 128, 0)},
    {"clNavy", Rgb(0, 0, 128)},
    {"clPurple", Rgb(128, 0, 128)},
    {"clTeal", Rgb(0, 128, 128)},
    {"clGray", Rgb(128, 128, 128)},
    {"clSilver", Rgb(192, 192, 192)},
    {"clRed", Rgb(255, 0, 0)},
    {"clLime", Rgb(0, 255, 0)},
    {"clYellow", Rgb(255, 255, 0)},
    {"clBlue", Rgb(0, 0, 255)},
    {"clFuchsia", Rgb(255, 0, 255)},
    {"clAqua", Rgb(0, 255, 255)},
    {"clWhite", Rgb(255, 255, 255)},
    {"clMoneyGreen", Rgb(192, 220, 192)},
    {"clSkyBlue", Rgb(166, 202, 240)},
    {"clCream", Rgb(255, 251, 240)},
    {"clMedGray", Rgb(160, 160, 164)},
    {"clScrollBar", Sys(0)},
    {"clBackground", Sys(1)},
    {"clActiveCaption", Sys(2)},
    {"clInactiveCaption", Sys(3)},
    {"clMenu", Sys(4)},
    {"clWindow", Sys(5)},
    {"clWindowFrame", Sys(6)},
    {"clMenuText", Sys(7)},
    {"clWindowText", Sys(8)},
    {"clCaptionText", Sys(9)},
    {"clActiveBorder", Sys(10)},
    {"clInactiveBorder", Sys(11)},
    {"clAppWorkSpace", Sys(12)},
    {"clHighlight", Sys(13)},
    {"clHighlightText", Sys(14)},
    {"clBtnFace", Sys(15)},
    {"clBtnShadow", Sys(16)},
    {"clGrayText", Sys(17)},
    {"clBtnText", Sys(18)},
    {"clInactiveCaptionText", Sys(19)},
    {"clBtnHighlight", Sys(20)},
    {"cl3DDkShadow", Sys(21)},
    {"cl3DLight", Sys(22)},
    {"clInfoText", Sys(23)},
    {"clInfoBk", Sys(24)},
    {"clGradientActiveCaption", Sys(27)},
    {"clGradientInactiveCaption", Sys(28)},
    {"clNone", kColorNone},
    {"clDefault", kColorDefault},
}};

// Whole-number text of a colour: decimal within the signed 32-bit range, or up to eight hex
// digits after "$" or "0x" taken as the raw 32 bits ("$FF000000" and "-16777216" are one colour).
bool ParseColorNumber(std::string_view text, TColor& value) {
  std::int32_t number = 0;
  if (!TryStrToInt(text, number)) return false;
  value = static_cast<TColor>(number);
  return true;
}

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

// ---- IniFile -----------------------------------------------------------------------------------

IniFile IniFile::FromText(std::string_view text) {
  IniFile ini;
  // A byte-order mark some editors put first would hide the first section's name.
  std::size_t start = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  bool newline_seen = false;
  while (start < text.size()) {
    // Lines end with LF, CR LF or a bare CR; the first line end found is the one written back.
    auto end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    ini.lines_.emplace_back(text.substr(start, end - start));
    std::size_t next = end + 1;
    if (end < text.size()) {
      std::string newline(1, text[end]);
      if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
        newline = "\r\n";
        ++next;
      }
      if (!newline_seen) ini.newline_ = newline;
      newline_seen = true;
    }
    start = next;
  }
  return ini;
}

IniFile IniFile::Load(const std::string& path) {
  // A settings file is a few hundred bytes; one beyond a megabyte (an endless device) is as
  // unreadable as a missing one, and reading it stops there.
  constexpr std::size_t kMaxSettingsBytes = std::size_t(1) << 20;
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text(kMaxSettingsBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad() || static_cast<std::size_t>(in.gcount()) > kMaxSettingsBytes) return {};
  text.resize(static_cast<std::size_t>(in.gcount()));
  return FromText(text);
}

std::size_t IniFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (SectionName(lines_[i], name) && EqualNoCase(name, section)) return i;
  }
  return std::string::npos;
}

std::size_t IniFile::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  std::string_view name;
  while (i < lines_.size() && !SectionName(lines_[i], name)) ++i;
  return i;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view default_value) const {
  const std::size_t header = FindSection(section);
  if (header == std::string::npos) return std::string(default_value);
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    std::string_view k, v;
    if (KeyValue(lines_[i], k, v) && EqualNoCase(k, key)) {
      return std::string(v.substr(0, kIniValueMaxLength));
    }
  }
  return std::string(default_value);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key) + "=" + std::string(value);
  std::size_t header = FindSection(section);
  if (header == std::string::npos) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::move(line));
    return;
  }
  std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    std::string_view k, v;
    if (KeyValue(lines_[i], k, v) && EqualNoCase(k, key)) {
      lines_[i] = std::move(line);
      return;
    }
  }
  // After the section's last non-blank line, so a blank line before the next section stays.
  while (end > header + 1 && Trim(lines_[end - 1]).empty()) --end;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(end), std::move(line));
}

std::string IniFile::Text() const {
  std::string text;
  for (const auto& line : lines_) text += line + newline_;
  return text;
}

void IniFile::Save(const std::string& path) const {
  try {
    ReplaceFile(path, Text());
  } catch (const EInOutError&) {
    throw ESettingsWriteError("Impossible d'écrire dans " + path);
  }
}

// ---- Colours -----------------------------------------------------------------------------------

const std::array<ColorName, 49>& ColorNames() { return kColorNames; }

TColor ColorFromString(std::string_view text) {
  for (const auto& entry : kColorNames) {
    if (EqualNoCase(text, entry.name)) return entry.value;
  }
  TColor value = 0;
  if (!ParseColorNumber(text, value)) {
    throw EConvertError("'" + std::string(text) + "' n'est pas une valeur entière correcte");
  }
  return value;
}

std::string ColorToString(TColor color) {
  for (const auto& entry : kColorNames) {
    if (entry.value == color) return entry.name;
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "$%08X", static_cast<unsigned>(color));
  return buffer;
}

// ---- Settings ----------------------------------------------------------------------------------

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
}

void WriteSettingsFile(const std::string& path, const Settings& settings, char decimal_separator) {
  IniFile ini = IniFile::Load(path);
  WriteSettings(ini, settings, decimal_separator);
  ini.Save(path);
}

}  // namespace vistrel
