#pragma once

// The drawing area of an image pane and the drawing of its picture, capture cross and markers.

#include <QColor>
#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "ui/main/pane_geometry.h"

class QPainter;

namespace vistrel {

// A plain drawing surface that hands its mouse and paint events to the window's handlers, the
// way the window's designer wired them.
class TPaintBox : public QWidget {
  Q_OBJECT

 public:
  explicit TPaintBox(QWidget* parent = nullptr);

  std::function<void(Qt::MouseButton, int x, int y)> on_mouse_down;
  std::function<void(int x, int y)> on_mouse_move;
  std::function<void(Qt::MouseButton, int x, int y)> on_mouse_up;
  std::function<void(QPainter&)> on_paint;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

// One point marker: picture coordinates and colour.
struct PaneMarker {
  std::int64_t x, y;
  QColor color;
};

// A control point's image residual (observed minus model, picture pixels) at its marker. It is
// drawn from the marker toward where the calibrated model puts the point, magnified so that one
// picture pixel of residual is kResidualMagnification screen pixels whatever the zoom: a
// mis-clicked point shows a long stroke aimed at where it should have been clicked.
struct PaneResidual {
  std::int64_t x, y;  // the marker's picture coordinates
  long double ex, ey;
};
inline constexpr int kResidualMagnification = 20;
inline constexpr int kResidualPenWidth = 2;
inline const QColor kResidualColor(255, 230, 0);
// A dark edge on either side of the stroke keeps it visible on light and yellow parts of a photo.
inline const QColor kResidualEdgeColor(40, 40, 40);
inline constexpr int kResidualEdgeWidth = 4;
// Strokes at least this long (screen pixels) get an arrowhead of kResidualHead at the model's end.
inline constexpr int kResidualHeadFrom = 12;
inline constexpr int kResidualHead = 6;

// Half-length of the arms of the capture cross and of the markers, and radius of the circle.
inline constexpr int kCrossArm = 10;
inline constexpr int kCrossCircleRadius = 5;

// Paints one pane: background, the visible part of the picture scaled into the display rectangle
// (only the source pixels that land in the drawing area are read), then the capture cross when
// `capture` is set, then the markers in order, then the residual strokes over them.
void PaintPane(QPainter& painter, const PaneGeometry& geometry, const QImage& picture,
               const QColor& background,
               std::optional<std::pair<std::int64_t, std::int64_t>> capture,
               const std::vector<PaneMarker>& markers,
               const std::vector<PaneResidual>& residuals = {});

}  // namespace vistrel
