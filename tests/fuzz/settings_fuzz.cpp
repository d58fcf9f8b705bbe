// The settings reader on arbitrary bytes, with both decimal separators: reading never throws and
// gives scale values the 3D view can use; writing what was read and reading again gives the same
// settings; the file text is stable from its first rewrite on; colour texts convert back and forth.

#include <string_view>

#include "fuzz_entry.h"
#include "numeric/text_format.h"
#include "project/settings.h"

namespace vistrel::fuzz {
namespace {

void CheckColorText(std::string_view text) {
  TColor color = 0;
  try {
    color = ColorFromString(text);
  } catch (const EConvertError& e) {
    Require(
        e.what() == UpToNul("'" + std::string(text) + "' n'est pas une valeur entière correcte"),
        "colour error without the conversion message");
    return;
  }
  Require(ColorFromString(ColorToString(color)) == color, "colour text does not read back");
}

// Scale values are written with 15 significant digits, so a value typed with more digits comes
// back rounded to 15: equal means equal in that form.
bool SameSettings(const Settings& a, const Settings& b) {
  return a.left_image == b.left_image && a.right_image == b.right_image && a.colors == b.colors &&
         FormatGeneral(a.scale) == FormatGeneral(b.scale) &&
         FormatGeneral(a.ball) == FormatGeneral(b.ball);
}

}  // namespace

int SettingsReader(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const IniFile ini = IniFile::FromText(text);
  for (const char separator : {'.', ','}) {
    const Settings read = ReadSettings(ini, separator);
    // The 3D view scales and draws in single precision: positive normal singles, or SCALE 0.
    const auto usable = [](double v) {
      return v >= 1.17549435082229E-38 && v <= 3.40282346638529E38;
    };
    Require((read.scale == 0 || usable(read.scale)) && usable(read.ball),
            "scale value the 3D view cannot use");

    IniFile written = ini;
    WriteSettings(written, read, separator);
    const Settings again = ReadSettings(written, separator);
    Require(SameSettings(read, again), "settings change when written and read back");
    Require(again.problems.empty(), "written colours do not read back");

    const std::string once = written.Text();
    Require(IniFile::FromText(once).Text() == once, "settings text changes on a second pass");
  }
  // The raw bytes as a colour text and as the value texts the reader sees.
  CheckColorText(text);
  const std::string value = ini.ReadString("COLORS", "OBS", "");
  if (!value.empty()) CheckColorText(value);
  return 0;
}

}  // namespace vistrel::fuzz

VISTREL_FUZZ_MAIN(vistrel::fuzz::SettingsReader)
