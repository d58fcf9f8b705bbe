#include "ui/main/image_pane.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace vistrel {
namespace {

// Pane positions far outside the drawing area are clamped before they reach the painter, whose
// coordinates are 32-bit; the lines then still lie outside the visible area.
constexpr std::int64_t kPaintLimit = 1 << 20;
int Clamp(std::int64_t v) { return static_cast<int>(std::clamp(v, -kPaintLimit, kPaintLimit)); }

void DrawPlus(QPainter& painter, std::int64_t sx, std::int64_t sy) {
  painter.drawLine(Clamp(sx), Clamp(sy - kCrossArm), Clamp(sx), Clamp(sy + kCrossArm));
  painter.drawLine(Clamp(sx - kCrossArm), Clamp(sy), Clamp(sx + kCrossArm), Clamp(sy));
}

void DrawPicture(QPainter& painter, const PaneGeometry& g, const QImage& picture) {
  const PaneGeometry::Rect r = g.PictureRect();
  if (picture.isNull() || r.width <= 0 || r.height <= 0) return;
  // The part of the picture rectangle inside the drawing area, in pane pixels.
  const std::int64_t x0 = std::max<std::int64_t>(r.x, 0);
  const std::int64_t y0 = std::max<std::int64_t>(r.y, 0);
  const std::int64_t x1 = std::min<std::int64_t>(r.x + r.width, g.view_width);
  const std::int64_t y1 = std::min<std::int64_t>(r.y + r.height, g.view_height);
  if (x0 >= x1 || y0 >= y1) return;
  // The same part in picture pixels.
  const double sx = static_cast<double>(picture.width()) / static_cast<double>(r.width);
  const double sy = static_cast<double>(picture.height()) / static_cast<double>(r.height);
  const QRectF source((x0 - r.x) * sx, (y0 - r.y) * sy, (x1 - x0) * sx, (y1 - y0) * sy);
  const QRectF target(x0, y0, x1 - x0, y1 - y0);
  painter.drawImage(target, picture, source);
}

// Only the direction and length of a residual matter; a stroke longer than this is cut, which keeps
// absurd residuals of a failed fit inside the painter's coordinate range.
constexpr long double kResidualMaxStroke = 1 << 16;

void DrawResidual(QPainter& painter, std::int64_t sx, std::int64_t sy, const PaneResidual& r) {
  long double dx = -r.ex * kResidualMagnification, dy = -r.ey * kResidualMagnification;
  if (!std::isfinite(dx) || !std::isfinite(dy)) return;
  const long double length = std::hypot(dx, dy);
  if (length > kResidualMaxStroke) {
    dx *= kResidualMaxStroke / length;
    dy *= kResidualMaxStroke / length;
  }
  const QPointF start(static_cast<double>(Clamp(sx)), static_cast<double>(Clamp(sy)));
  const QPointF end = start + QPointF(static_cast<double>(dx), static_cast<double>(dy));
  painter.drawLine(start, end);
  if (length < kResidualHeadFrom) return;
  // Two barbs at +-25 degrees from the reversed direction.
  const double back = std::atan2(static_cast<double>(-dy), static_cast<double>(-dx));
  for (const double turn : {-0.436, 0.436}) {
    painter.drawLine(end, end + QPointF(kResidualHead * std::cos(back + turn),
                                        kResidualHead * std::sin(back + turn)));
  }
}

}  // namespace

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (on_mouse_down) on_mouse_down(event->button(), p.x(), p.y());
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (on_mouse_move) on_mouse_move(p.x(), p.y());
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (on_mouse_up) on_mouse_up(event->button(), p.x(), p.y());
}

void TPaintBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (on_paint) on_paint(painter);
}

void PaintPane(QPainter& painter, const PaneGeometry& g, const QImage& picture,
               const QColor& background,
               std::optional<std::pair<std::int64_t, std::int64_t>> capture,
               const std::vector<PaneMarker>& markers, const std::vector<PaneResidual>& residuals) {
  painter.fillRect(QRect(0, 0, Clamp(g.view_width), Clamp(g.view_height)), background);
  DrawPicture(painter, g, picture);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
  std::int64_t sx, sy;
  if (capture && g.ToPane(capture->first, capture->second, sx, sy)) {
    painter.setPen(QPen(Qt::red, 1));
    DrawPlus(painter, sx, sy);
    painter.drawEllipse(QRect(Clamp(sx - kCrossCircleRadius), Clamp(sy - kCrossCircleRadius),
                              2 * kCrossCircleRadius, 2 * kCrossCircleRadius));
  }
  for (const PaneMarker& marker : markers) {
    if (!g.ToPane(marker.x, marker.y, sx, sy)) continue;
    painter.setPen(QPen(marker.color, 1));
    DrawPlus(painter, sx, sy);
  }
  // All the edges first, so that no edge covers another point's stroke.
  for (const QPen& pen : {QPen(kResidualEdgeColor, kResidualEdgeWidth, Qt::SolidLine, Qt::RoundCap),
                          QPen(kResidualColor, kResidualPenWidth, Qt::SolidLine, Qt::RoundCap)}) {
    painter.setPen(pen);
    for (const PaneResidual& residual : residuals) {
      if (g.ToPane(residual.x, residual.y, sx, sy)) DrawResidual(painter, sx, sy, residual);
    }
  }
}

}  // namespace vistrel
