#include "ui/main/qt_utils.h"

#include <QApplication>
#include <QPalette>

#include "project/settings.h"

namespace vistrel {
namespace {

QColor SystemColor(unsigned number) {
  const QPalette palette = QApplication::palette();
  switch (number) {
    case 1:   // background
    case 12:  // application work space
      return palette.color(QPalette::Dark);
    case 2:   // active caption
    case 13:  // highlight
    case 27:  // gradient active caption
      return palette.color(QPalette::Highlight);
    case 3:   // inactive caption
    case 28:  // gradient inactive caption
      return palette.color(QPalette::Inactive, QPalette::Highlight);
    case 5:  // window
      return palette.color(QPalette::Base);
    case 6:   // window frame
    case 21:  // 3D dark shadow
      return palette.color(QPalette::Shadow);
    case 7:  // menu text
    case 8:  // window text
      return palette.color(QPalette::WindowText);
    case 9:   // caption text
    case 14:  // highlight text
      return palette.color(QPalette::HighlightedText);
    case 16:  // button shadow
      return palette.color(QPalette::Mid);
    case 17:  // grey text
    case 19:  // inactive caption text
      return palette.color(QPalette::Disabled, QPalette::WindowText);
    case 18:  // button text
      return palette.color(QPalette::ButtonText);
    case 20:  // button highlight
      return palette.color(QPalette::Light);
    case 22:  // 3D light
      return palette.color(QPalette::Midlight);
    case 23:  // info text
      return palette.color(QPalette::ToolTipText);
    case 24:  // info background
      return palette.color(QPalette::ToolTipBase);
    default:  // scroll bar, menu, borders, button face
      return palette.color(QPalette::Button);
  }
}

}  // namespace

QColor ToQColor(TColor color) {
  if (color == kColorNone) return Qt::transparent;
  if (color == kColorDefault) return QApplication::palette().color(QPalette::WindowText);
  if (color & kSystemColorFlag) return SystemColor(color & 0xFF);
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

TColor FromQColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return static_cast<TColor>(rgb.red()) | (static_cast<TColor>(rgb.green()) << 8) |
         (static_cast<TColor>(rgb.blue()) << 16);
}

}  // namespace vistrel
