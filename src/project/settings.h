#pragma once

// The settings file config.ini beside the executable: remembered photographs, marker colours and
// the two 3D scale values. Plain code, no toolkit: the main window converts to and from widgets.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/exception.h"
#include "photogrammetry/calibration.h"

namespace vistrel {

// Longest value text a read returns; longer values are cut.
inline constexpr std::size_t kIniValueMaxLength = 2047;

// A sectioned key=value text file held as its lines, so that writing a key replaces that one line
// and leaves every other line (comments, unknown keys, blank lines) as it was. Section and key
// names are compared without regard to ASCII letter case.
class IniFile {
 public:
  IniFile() = default;

  // Reads the file; a missing or unreadable file gives an empty one (no error).
  static IniFile Load(const std::string& path);
  static IniFile FromText(std::string_view text);

  // The value of `key` in `section` with surrounding blanks removed, cut to kIniValueMaxLength
  // characters; `default_value` when the section or key is missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;

  // Sets `key` in `section`, replacing the existing line in place, or adding the key at the end
  // of its section, or adding the section at the end of the file.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

  std::string Text() const;

  // Replaces the file with the text (ReplaceFile: its owner, mode and links kept), so that a
  // failure never leaves a truncated file. Throws ESettingsWriteError "Impossible d'écrire dans
  // <path>".
  void Save(const std::string& path) const;

 private:
  // Index of the section's header line, or npos.
  std::size_t FindSection(std::string_view section) const;
  // Index one past the last line of the section that starts at `header`.
  std::size_t SectionEnd(std::size_t header) const;

  std::vector<std::string> lines_;
  std::string newline_ = "\n";  // a file read with CR LF is written back with CR LF
};

class ESettingsWriteError : public Exception {
 public:
  using Exception::Exception;
};

// ---- Colours -----------------------------------------------------------------------------------

// A 32-bit colour: 0x00BBGGRR for a plain colour (red in the lowest byte); a value with the top
// bit set names a system colour by the number in its low byte.
using TColor = std::uint32_t;

inline constexpr TColor kColorRed = 0x000000FF;
inline constexpr TColor kColorWhite = 0x00FFFFFF;

inline constexpr TColor kColorNone = 0x1FFFFFFF;
inline constexpr TColor kColorDefault = 0x20000000;
inline constexpr TColor kSystemColorFlag = 0x80000000;

struct ColorName {
  const char* name;
  TColor value;
};
// The 49 colour names: twenty plain colours, 27 system colours, clNone and clDefault.
const std::array<ColorName, 49>& ColorNames();

// A table name (letter case ignored) or an integer, decimal or hexadecimal after "$" or "0x"
// (all 32 bits may be used, so "$80000005" is a system colour). Throws EConvertError
// "'%s' n'est pas une valeur entière correcte".
TColor ColorFromString(std::string_view text);

// The table name when the value has one, otherwise "$" and eight upper-case hex digits.
std::string ColorToString(TColor color);

// ---- The settings ------------------------------------------------------------------------------

inline constexpr double kDefaultScale = 0.01;
inline constexpr double kDefaultBall = 0.01;

struct Settings {
  std::string left_image;           // full name of the left photograph, empty when none
  std::string right_image;          // likewise for the right one
  std::array<TColor, 10> colors{};  // 0 the observation point, 1..9 the control points
  // Both are positive normal singles when read (1.17549435082229E-38 to 3.40282346638529E38),
  // except that SCALE may be 0: anything else reads as the default.
  double scale = kDefaultScale;  // file units to 3D scene units
  double ball = kDefaultBall;    // ball radius in scene units
  // The window's options, section GUIDANCE, "1" for on. Guided marking: a click in a pane
  // stores the selected point's pixel at once (STOREONCLICK); a complete control point hands the
  // selection to the next incomplete point (ADVANCE). "Fit photographs when shown" (FIT). The
  // section is written once an option was on, so older versions' files stay as they were.
  bool store_on_click = false;
  bool advance = false;
  bool fit_when_shown = false;
  // The lens model chosen beside "Correc. Distortions", section LENS, key MODEL ("none", "radial",
  // "full" or "auto"); empty: the check box alone decides. Written once a model was chosen, so
  // that files of versions without the choice stay as they were; an unknown text reads as empty.
  std::optional<LensModel> lens_model;
  // Colour texts that did not convert; those colours keep their defaults.
  std::vector<std::string> problems;
};

inline constexpr const char* kSettingsFileName = "config.ini";

// The directory of the executable: its full name cut after the last '/' (kept).
std::string ProgramDirectory(std::string_view executable_path);

// Reads every key with its default; never throws. `decimal_separator` is the user locale's, used
// for SCALE and BALL (a text that does not convert, or a value the 3D view cannot use: negative,
// beyond single range, BALL 0, gives the default silently). LEFT and RIGHT are kept as read,
// whether or not the files exist.
Settings ReadSettings(const IniFile& ini, char decimal_separator);
Settings ReadSettingsFile(const std::string& path, char decimal_separator);

// The photograph name to write back for one pane at close. `shown` is the full name of the
// photograph the pane shows, empty while it shows its built-in picture; `read_at_start` is the
// name read from the settings (Settings::left_image or right_image). A photograph missing at
// start (a drive not mounted, a folder renamed for a while) leaves the pane empty but is not
// forgotten; once the user loads another, that one is remembered.
std::string ImageToRemember(std::string_view shown, std::string_view read_at_start);

// Writes the fourteen keys in the order LEFT, RIGHT, OBS, REF1..REF9, SCALE, BALL.
void WriteSettings(IniFile& ini, const Settings& settings, char decimal_separator);
// Loads the file as it stands, writes the keys into it and saves it with IniFile::Save. Throws
// ESettingsWriteError.
void WriteSettingsFile(const std::string& path, const Settings& settings, char decimal_separator);

}  // namespace vistrel
