#include "ui/main/image_pane.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "pictures/grey_picture.h"

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
  // Shifted by the fraction of the offset that wheel steps keep, as the capture reads it, so
  // that a click lands on the pixel drawn under the pointer.
  const QRectF target(static_cast<double>(x0) + static_cast<double>(g.OriginX() - g.ox),
                      static_cast<double>(y0) + static_cast<double>(g.OriginY() - g.oy),
                      static_cast<double>(x1 - x0), static_cast<double>(y1 - y0));
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
  if (event->button() == Qt::RightButton) drag_at_ = p;
  if (on_mouse_down) on_mouse_down(event->button(), p.x(), p.y(), event->modifiers());
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const std::optional<QPoint> before = pointer_;
  pointer_ = p;
  if (drag_at_) {
    drag_at_ = p;
    update();
  } else {
    const QRect now = LoupeRect(width(), p.x());
    update(now);
    if (before && LoupeRect(width(), before->x()) != now) update(LoupeRect(width(), before->x()));
  }
  if (on_mouse_move) on_mouse_move(p.x(), p.y());
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::RightButton) drag_at_.reset();
  if (on_mouse_up) on_mouse_up(event->button(), p.x(), p.y());
}

void TPaintBox::leaveEvent(QEvent*) {
  if (pointer_) update(LoupeRect(width(), pointer_->x()));
  pointer_.reset();
  if (on_leave) on_leave();
}

void TPaintBox::resizeEvent(QResizeEvent*) {
  if (on_resize) on_resize();
}

void TPaintBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (on_paint) on_paint(painter);
}

QRect LoupeRect(std::int64_t view_width, int pointer_x) {
  const int width = static_cast<int>(std::min<std::int64_t>(view_width, kPaintLimit));
  const int x = pointer_x > width / 2 ? kLoupeMargin : width - kLoupeMargin - kLoupeSize;
  return QRect(x, kLoupeMargin, kLoupeSize, kLoupeSize + kLoupeCaption);
}

void DrawLoupe(QPainter& painter, const QImage& picture, const QRect& rect, std::int64_t x,
               std::int64_t y, const QColor& background) {
  const QRect lens(rect.x(), rect.y(), kLoupeSize, kLoupeSize);
  painter.fillRect(rect, background);
  // copy() gives transparent black outside the picture; only these few pixels are read.
  constexpr int kHalf = kLoupePixels / 2;
  const QImage pixels = picture.copy(
      QRect(static_cast<int>(x) - kHalf, static_cast<int>(y) - kHalf, kLoupePixels, kLoupePixels));
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(lens, pixels);
  painter.setBrush(Qt::NoBrush);
  // The captured pixel framed twice, dark then light, so the frame shows on any photograph.
  const QRect centre(lens.x() + kHalf * kLoupeZoom, lens.y() + kHalf * kLoupeZoom, kLoupeZoom,
                     kLoupeZoom);
  painter.setPen(QPen(Qt::black, 1));
  painter.drawRect(centre.adjusted(-2, -2, 1, 1));
  painter.setPen(QPen(kCaptureColor, 1));
  painter.drawRect(centre.adjusted(-1, -1, 0, 0));
  // Crosshair arms from the frame to the lens edge.
  const int cx = centre.center().x(), cy = centre.center().y();
  painter.drawLine(lens.left(), cy, centre.left() - 3, cy);
  painter.drawLine(centre.right() + 3, cy, lens.right(), cy);
  painter.drawLine(cx, lens.top(), cx, centre.top() - 3);
  painter.drawLine(cx, centre.bottom() + 3, cx, lens.bottom());
  painter.setPen(QPen(Qt::black, 1));
  painter.drawRect(rect.adjusted(0, 0, -1, -1));
  painter.setPen(Qt::white);
  painter.drawText(QRect(rect.x(), lens.bottom() + 1, rect.width(), kLoupeCaption), Qt::AlignCenter,
                   QString("x %1   y %2").arg(x).arg(y));
}

GreyAt PictureGrey(const QImage& picture) {
  return [&picture](std::int64_t x, std::int64_t y) {
    if (x < 0 || y < 0 || x >= picture.width() || y >= picture.height()) return -1.0;
    return GreyLevel(picture.pixel(static_cast<int>(x), static_cast<int>(y)));
  };
}

void PaintPane(QPainter& painter, const PaneGeometry& g, const QImage& picture,
               const QColor& background, const PaneOverlay& overlay) {
  painter.fillRect(QRect(0, 0, Clamp(g.view_width), Clamp(g.view_height)), background);
  DrawPicture(painter, g, picture);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
  if (overlay.guide.size() >= 2) {
    painter.setPen(QPen(kGuideColor, 1));
    painter.drawPolyline(overlay.guide.data(), static_cast<int>(overlay.guide.size()));
  }
  std::int64_t sx, sy;
  const auto& capture = overlay.capture;
  if (capture && g.ToPaneCentreOf(capture->first, capture->second, sx, sy)) {
    painter.setPen(QPen(kCaptureColor, 1));
    DrawPlus(painter, sx, sy);
    painter.drawEllipse(QRect(Clamp(sx - kCrossCircleRadius), Clamp(sy - kCrossCircleRadius),
                              2 * kCrossCircleRadius, 2 * kCrossCircleRadius));
  }
  for (const PaneMarker& marker : overlay.markers) {
    if (!g.ToPaneCentreOf(marker.x, marker.y, sx, sy)) continue;
    painter.setPen(QPen(marker.color, 1));
    DrawPlus(painter, sx, sy);
    if (!marker.label.isEmpty()) {
      // Up and right of the plus, with a dark shadow so it reads on light and dark parts alike.
      const QPoint at(Clamp(sx + 4), Clamp(sy - 4));
      painter.setPen(Qt::black);
      painter.drawText(at + QPoint(1, 1), marker.label);
      painter.setPen(marker.color);
      painter.drawText(at, marker.label);
    }
  }
  // All the edges first, so that no edge covers another point's stroke.
  for (const QPen& pen : {QPen(kResidualEdgeColor, kResidualEdgeWidth, Qt::SolidLine, Qt::RoundCap),
                          QPen(kResidualColor, kResidualPenWidth, Qt::SolidLine, Qt::RoundCap)}) {
    painter.setPen(pen);
    for (const PaneResidual& residual : overlay.residuals) {
      if (g.ToPaneCentreOf(residual.x, residual.y, sx, sy)) DrawResidual(painter, sx, sy, residual);
    }
  }
  if (overlay.loupe_pixel) {
    DrawLoupe(painter, picture, overlay.loupe_rect, overlay.loupe_pixel->first,
              overlay.loupe_pixel->second, background);
  }
}

}  // namespace vistrel
