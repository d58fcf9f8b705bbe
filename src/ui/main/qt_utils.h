#pragma once

// Conversions between the program's plain types and Qt's, in one place.

#include <QColor>
#include <QLocale>
#include <QString>
#include <string>

#include "project/settings.h"

namespace vistrel {

// The user locale's decimal separator, as the number texts of the window use it. The texts are
// single-byte, so a separator with no single-byte form (the Arabic and Persian ones) is "." there.
inline char LocaleDecimalSeparator(const QLocale& locale = QLocale()) {
  const QString point = locale.decimalPoint();
  if (point.size() != 1 || point.at(0).unicode() == 0 || point.at(0).unicode() > 0x7F) return '.';
  return point.at(0).toLatin1();
}

inline std::string ToStd(const QString& s) { return s.toStdString(); }
inline QString ToQt(const std::string& s) { return QString::fromStdString(s); }

// A plain colour converts by its bytes; a system colour (top bit set) takes the nearest role of
// the application palette; clNone and clDefault show as transparent and as the window text.
QColor ToQColor(TColor color);
// A plain colour 0x00BBGGRR.
TColor FromQColor(const QColor& color);

}  // namespace vistrel
