#pragma once

// The settings file config.ini beside the executable: remembered photographs, marker colours and
// the two 3D scale values. Plain code, no toolkit: the main window converts to and from widgets.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/exception.h"
#include "photogrammetry/calibration.h"
#include "project/color.h"
#include "project/ini_file.h"
#include "project/language.h"

namespace vistrel {

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
  // The language the windows speak, section GENERAL, key LANGUAGE ("fr" or "en"); empty: the
  // system's. Written once chosen, as the lens model.
  std::optional<Language> language;
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
