#include "project/point_store.h"

#include <stdexcept>

#include "numeric/text_format.h"

namespace vistrel {

namespace {

void CheckIndex(int index) {
  if (index < 0 || index >= kPointSelectorCount) {
    throw std::out_of_range("point index " + std::to_string(index) + " out of 0..9");
  }
}

// Any point of the table, the added ones too.
void CheckIndex(const PointTable& table, int index) {
  if (index < 0 || index >= table.Count()) {
    throw std::out_of_range("point index " + std::to_string(index) + " out of 0.." +
                            std::to_string(table.Count() - 1));
  }
}

// The table keeps doubles, rounded once from the text. A number beyond their range is an
// overflow, as when the runtime stores an extended value into a double.
double ToStoredDouble(std::string_view text, char decimal_separator) {
  StrToFloat(text, decimal_separator);  // throws the conversion error
  double value = 0;
  if (!TryStrToDouble(text, value, decimal_separator)) throw EOverflow();
  return value;
}

}  // namespace

std::string PointSelectorEntry(int index) {
  CheckIndex(index);
  if (index == PointTable::kObservation) return "Object point";
  return "Control : " + std::to_string(index);
}

void StoreLeftImage(PointTable& table, int index, std::string_view x_text,
                    std::string_view y_text) {
  CheckIndex(table, index);
  table.SetLeft(index, {static_cast<double>(StrToInt(x_text)), table.Left(index).y});
  table.SetLeft(index, {table.Left(index).x, static_cast<double>(StrToInt(y_text))});
}

void StoreRightImage(PointTable& table, int index, std::string_view x_text,
                     std::string_view y_text) {
  CheckIndex(table, index);
  table.SetRight(index, {static_cast<double>(StrToInt(x_text)), table.Right(index).y});
  table.SetRight(index, {table.Right(index).x, static_cast<double>(StrToInt(y_text))});
}

bool StoreSpace(PointTable& table, int index, std::string_view x_text, std::string_view y_text,
                std::string_view z_text, char decimal_separator) {
  CheckIndex(table, index);
  if (table.Kind(index) == PointKind::kObject) return false;
  SpacePoint p = table.Space(index);
  p.X = ToStoredDouble(x_text, decimal_separator);
  table.SetSpace(index, p);
  p.Y = ToStoredDouble(y_text, decimal_separator);
  table.SetSpace(index, p);
  p.Z = ToStoredDouble(z_text, decimal_separator);
  table.SetSpace(index, p);
  return true;
}

}  // namespace vistrel
