#pragma once

// The drawing area of an image pane and the drawing of its picture, capture cross and markers.

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "photogrammetry/target_finder.h"
#include "ui/main/pane_geometry.h"

class QPainter;

namespace vistrel {

// The drawing area of a pane. It hands its mouse and paint events to the window's handlers, the
// way the window's designer wired them, and keeps what only the drawing needs: where the pointer
// is (for the loupe) and where a right drag has got to (the picture follows it until the
// release moves it for good). A pointer move repaints only the loupe's old and new places.
class TPaintBox : public QWidget {
  Q_OBJECT

 public:
  explicit TPaintBox(QWidget* parent = nullptr);

  // The pointer over the drawing area; empty once it left.
  const std::optional<QPoint>& Pointer() const { return pointer_; }
  // While the right button is held: the pointer's position, where the picture is drawn to follow.
  const std::optional<QPoint>& DragAt() const { return drag_at_; }

  std::function<void(Qt::MouseButton, int x, int y, Qt::KeyboardModifiers)> on_mouse_down;
  std::function<void(int x, int y)> on_mouse_move;
  std::function<void(Qt::MouseButton, int x, int y)> on_mouse_up;
  std::function<void(QPainter&)> on_paint;
  std::function<void()> on_leave;   // the pointer left the drawing area
  std::function<void()> on_resize;  // the drawing area changed size

 protected:
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::optional<QPoint> pointer_;
  std::optional<QPoint> drag_at_;
};

// One point marker: picture coordinates, colour and the label drawn beside it (none if empty).
struct PaneMarker {
  double x, y;  // picture position, sub-pixel when it was stored so
  QColor color;
  QString label;
};

// A control point's image residual (observed minus model, picture pixels) at its marker. It is
// drawn from the marker toward where the calibrated model puts the point, magnified so that one
// picture pixel of residual is kResidualMagnification screen pixels whatever the zoom: a
// mis-clicked point shows a long stroke aimed at where it should have been clicked.
struct PaneResidual {
  double x, y;  // the marker's picture coordinates
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
// The capture cross is cyan: the markers default to red and white and the demo targets have red
// centres, so a red cross would vanish among them.
inline const QColor kCaptureColor(0, 255, 255);
// The epipolar guide: magenta, a colour no default marker or residual stroke uses.
inline const QColor kGuideColor(255, 0, 255);

// The magnifier: kLoupePixels picture pixels across, each kLoupeZoom screen pixels, in the top
// corner of the pane away from the pointer, kLoupeMargin from the edges. An odd count puts the
// pixel a click would capture in the middle.
inline constexpr int kLoupePixels = 21;
inline constexpr int kLoupeZoom = 8;
inline constexpr int kLoupeSize = kLoupePixels * kLoupeZoom;
inline constexpr int kLoupeMargin = 6;
inline constexpr int kLoupeCaption = 16;  // height of the coordinate line under the lens

// Where the loupe goes in a drawing area of `view_width` for a pointer at `pointer_x`: the top
// corner on the other side, so the lens never covers what the pointer is on. Includes the
// caption.
QRect LoupeRect(std::int64_t view_width, int pointer_x);

// What is drawn over the picture, in drawing order.
struct PaneOverlay {
  std::optional<std::pair<double, double>> capture;  // picture position
  std::vector<PaneMarker> markers;
  std::vector<PaneResidual> residuals;
  std::vector<QPointF> guide;  // polyline in pane coordinates
  // Pointer over the pane: the picture pixel a click captures and where the loupe goes.
  std::optional<std::pair<std::int64_t, std::int64_t>> loupe_pixel;
  QRect loupe_rect;
};

// Paints one pane: background, the visible part of the picture scaled into the display rectangle
// (only the source pixels that land in the drawing area are read), then the epipolar guide, the
// capture cross, the markers in order with their labels, the residual strokes, and the loupe.
// Marks sit at the centre of their pixel's footprint.
void PaintPane(QPainter& painter, const PaneGeometry& geometry, const QImage& picture,
               const QColor& background, const PaneOverlay& overlay);

// The magnified pixels around picture pixel (x, y) in `rect`, a frame around the pixel in the
// middle and the pixel's coordinates under the lens. Reads only the few pixels shown.
void DrawLoupe(QPainter& painter, const QImage& picture, const QRect& rect, std::int64_t x,
               std::int64_t y, const QColor& background);

// Grey levels of a picture for the target snap (-1 outside it).
GreyAt PictureGrey(const QImage& picture);

}  // namespace vistrel
