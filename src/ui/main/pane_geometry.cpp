#include "ui/main/pane_geometry.h"

#include <algorithm>
#include <cmath>

namespace vistrel {
namespace {

// trunc of a real that may lie outside 64 bits: saturate instead of invoking undefined behaviour.
std::int64_t Trunc(long double v) {
  constexpr long double kLimit = 9.2e18L;
  if (!(v == v)) return 0;
  return static_cast<std::int64_t>(std::clamp(std::trunc(v), -kLimit, kLimit));
}

}  // namespace

void PaneGeometry::ShowFullSize() {
  ox = oy = 0;
  wd = picture_width;
  hd = picture_height;
}

void PaneGeometry::SetZoomPercent(int percent) {
  wd = Trunc(static_cast<long double>(picture_width * percent) / 100);
  hd = Trunc(static_cast<long double>(picture_height * percent) / 100);
}

void PaneGeometry::WheelZoom(std::int64_t mx, std::int64_t my, int delta) {
  const long double c = wd != 0 ? static_cast<long double>(mx - ox) / wd : 0.0L;
  const long double b = hd != 0 ? static_cast<long double>(my - oy) / hd : 0.0L;
  std::int64_t new_wd;
  if (delta > 0) {
    new_wd = Trunc(wd * 1.1L);
  } else {
    new_wd = std::max(Trunc(wd * 0.9L), kMinWheelWidth);
  }
  const std::int64_t new_hd =
      picture_width != 0 ? Trunc(static_cast<long double>(picture_height * new_wd) / picture_width)
                         : 0;
  if (new_wd > kMaxDisplaySize || new_hd > kMaxDisplaySize) return;
  wd = new_wd;
  hd = new_hd;
  ox = Trunc(mx - wd * c);
  oy = Trunc(my - hd * b);
}

void PaneGeometry::Center() {
  ox = Trunc(static_cast<long double>(view_width - wd) / 2);
  oy = Trunc(static_cast<long double>(view_height - hd) / 2);
}

void PaneGeometry::Press(std::int64_t mx, std::int64_t my) {
  press_x = mx;
  press_y = my;
}

void PaneGeometry::ReleaseRight(std::int64_t mx, std::int64_t my) {
  ox += mx - press_x;
  oy += my - press_y;
}

bool PaneGeometry::ToImage(std::int64_t mx, std::int64_t my, std::int64_t& x,
                           std::int64_t& y) const {
  if (wd == 0 || hd == 0) return false;
  x = Trunc(picture_width * (static_cast<long double>(mx - ox) / wd));
  y = Trunc(picture_height * (static_cast<long double>(my - oy) / hd));
  return true;
}

bool PaneGeometry::ToPane(std::int64_t x, std::int64_t y, std::int64_t& sx,
                          std::int64_t& sy) const {
  if (picture_width == 0 || picture_height == 0) return false;
  // |x| < 2^31 and Wd <= 2^28 keep the product inside 64 bits.
  sx = ox + Trunc(static_cast<long double>(x * wd) / picture_width);
  sy = oy + Trunc(static_cast<long double>(y * hd) / picture_height);
  return true;
}

PaneGeometry::Rect PaneGeometry::PictureRect() const {
  if (picture_width <= 0 || picture_height <= 0 || wd <= 0 || hd <= 0) return {ox, oy, 0, 0};
  // Compare Wd/Wp with Hd/Hp without dividing: the smaller ratio decides.
  if (static_cast<long double>(wd) * picture_height <=
      static_cast<long double>(hd) * picture_width) {
    return {ox, oy, wd, Trunc(static_cast<long double>(picture_height) * wd / picture_width)};
  }
  return {ox, oy, Trunc(static_cast<long double>(picture_width) * hd / picture_height), hd};
}

}  // namespace vistrel
