#include "project/color.h"

#include <cstdio>

#include "numeric/exception.h"
#include "numeric/text_format.h"
#include "project/ini_file.h"

namespace vistrel {
namespace {

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

}  // namespace

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

}  // namespace vistrel
