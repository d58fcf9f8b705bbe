#pragma once

#include <string>
#include <string_view>

#include "photogrammetry/point_table.h"

namespace vistrel {

// The point selector lists the observation point at index 0, then the nine control points.
// Index 1 is selected when the selector is built.
inline constexpr int kPointSelectorCount = 10;
inline constexpr int kInitialSelectedPoint = 1;

// Entry text of the selector at `index` (0 to 9): "Object point", then "Control : 1" to
// "Control : 9". Throws std::out_of_range for another index.
std::string PointSelectorEntry(int index);

// Store commands of the point table. `index` is the selected point, any point of the table
// (std::out_of_range otherwise). Each text is converted as a whole and stored before the next one
// is converted, so a failure on y leaves the new x stored.
//
// Image coordinates of the left (xg, yg) or right (xd, yd) photograph; throws EConvertError
// "'%s' n'est pas une valeur entière correcte" for a text that is not a 32-bit whole number.
void StoreLeftImage(PointTable& table, int index, std::string_view x_text, std::string_view y_text);
void StoreRightImage(PointTable& table, int index, std::string_view x_text,
                     std::string_view y_text);

// Space coordinates px, py, pz of control or check point `index`, in the user's units, with the
// user's decimal separator. An object point (the observation point, index 0) has no space
// coordinates: for it nothing is converted or stored and the result is false. Throws EConvertError
// "'%s' n'est pas une valeur en virgule flottante correcte" for a text that is not a number, and
// EOverflow for one beyond the range of a double.
bool StoreSpace(PointTable& table, int index, std::string_view x_text, std::string_view y_text,
                std::string_view z_text, char decimal_separator);

}  // namespace vistrel
