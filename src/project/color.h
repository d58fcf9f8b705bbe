#pragma once

// Marker colours: the 32-bit colour value, its names and its text form in the settings file.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vistrel {

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

}  // namespace vistrel
