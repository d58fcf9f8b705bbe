#pragma once

// Where a photograph sits in its pane and how pane pixels map to photograph pixels. No toolkit
// types: the pane widget feeds mouse positions in and paints what this computes.

#include <cstdint>

namespace vistrel {

// Positions are in drawing-area pixels, origin at its top-left corner; image coordinates are
// pixels of the full-resolution picture. All integer products are 64-bit so that typed
// coordinates near the 32-bit limits cannot wrap; conversions cut toward zero, never round.
struct PaneGeometry {
  // Wheel zoom never shrinks the display below this width.
  static constexpr std::int64_t kMinWheelWidth = 10;
  // Wheel zoom stops growing the display at this width or height, far beyond any useful zoom,
  // so that offsets and sizes stay well inside 64 bits and painting coordinates stay sane.
  static constexpr std::int64_t kMaxDisplaySize = std::int64_t{1} << 28;

  std::int64_t picture_width = 0, picture_height = 0;  // Wp, Hp
  std::int64_t view_width = 0, view_height = 0;        // Wv, Hv: the drawing area
  std::int64_t ox = 0, oy = 0;                         // top-left of the display rectangle
  std::int64_t wd = 0, hd = 0;                         // display size Wd, Hd
  std::int64_t press_x = 0, press_y = 0;               // last non-left button press
  // The display rectangle's top-left as the wheel left it, before cutting to ox, oy. Each wheel
  // step starts from it, so that the cuts of successive steps do not add up and the picture
  // point under the pointer stays put however many steps are taken. Used only while
  // trunc(fine_ox) == ox (likewise y): any other change of the offset makes ox, oy count again.
  long double fine_ox = 0, fine_oy = 0;
  // The width the wheel steps count from and their number (in positive): the width is
  // trunc(wheel_base * 1.1^wheel_steps), so that n steps in and n out end on the width they
  // started from. Used only while that still gives wd: any other zoom starts a new count.
  std::int64_t wheel_base = 0;
  int wheel_steps = 0;

  // Display rectangle at 100 %, offset (0, 0).
  void ShowFullSize();

  // Slider zoom: Wd = trunc(Wp p / 100), Hd likewise; the offset stays.
  void SetZoomPercent(int percent);

  // One wheel step around the pointer (mx, my): only the sign of `delta` counts. Zooming in
  // multiplies the width by 1.1, zooming out divides it by 1.1 but not below kMinWheelWidth; the
  // height
  // follows the picture's aspect ratio and the picture point under the pointer stays there.
  void WheelZoom(std::int64_t mx, std::int64_t my, int delta);

  // Centres the display rectangle in the drawing area; size unchanged.
  void Center();

  // Right or middle press: remember where. Right release: move the picture by the drag.
  void Press(std::int64_t mx, std::int64_t my);
  void ReleaseRight(std::int64_t mx, std::int64_t my);

  // Capture: the picture pixel under (mx, my), x = trunc(Wp (mx - ox) / Wd), with the offset's
  // fraction after wheel steps (OriginX). False, leaving the outputs alone, when the display
  // size is 0.
  bool ToImage(std::int64_t mx, std::int64_t my, std::int64_t& x, std::int64_t& y) const;

  // Markers: the pane position of picture pixel (x, y), sx = ox + trunc(x Wd / Wp). False when
  // the picture size is 0.
  bool ToPane(std::int64_t x, std::int64_t y, std::int64_t& sx, std::int64_t& sy) const;

  // The pane position of the centre of picture pixel (x, y): sx = ox + trunc((2x + 1) Wd / 2Wp).
  // Marks drawn there lie on the pixel they stand for at any zoom; ToPane gives its corner, which
  // at 800 % is four screen pixels off. False when the picture size is 0.
  bool ToPaneCentre(std::int64_t x, std::int64_t y, std::int64_t& sx, std::int64_t& sy) const;
  // The same for a real position (a sub-pixel centre); a whole pixel lands as above.
  bool ToPaneCentreOf(double x, double y, std::int64_t& sx, std::int64_t& sy) const;

  // Capture restricted to the picture: false for a position outside the picture's pixels (left
  // of or above the display rectangle, or mapping past the last column or row), where ToImage
  // would still return a pixel.
  bool ToImageInside(std::int64_t mx, std::int64_t my, std::int64_t& x, std::int64_t& y) const;

  // Shows the whole picture as large as the drawing area allows, centred.
  void Fit();

  // Display width over picture width, in percent, rounded; 0 without a picture.
  int ZoomPercent() const;

  // The offset with the fraction the wheel keeps: fine_ox while it still cuts to ox, else ox.
  long double OriginX() const;
  long double OriginY() const;

  // The picture's rectangle inside the display rectangle: at its top-left corner, as large as
  // fits in Wd by Hd at the picture's aspect ratio.
  struct Rect {
    std::int64_t x, y, width, height;
  };
  Rect PictureRect() const;
};

}  // namespace vistrel
