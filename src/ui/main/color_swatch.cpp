#include "ui/main/color_swatch.h"

#include <QMouseEvent>
#include <QPainter>

namespace vistrel {

TColorSwatch::TColorSwatch(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setMinimumSize(24, 24);
}

void TColorSwatch::SetColor(const QColor& color) {
  color_ = color;
  update();
}

void TColorSwatch::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && on_double_click) on_double_click();
}

void TColorSwatch::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    painter.fillRect(contentsRect(), color_);
  }
  QFrame::paintEvent(event);
}

}  // namespace vistrel
