#include "ui/main/pane_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vistrel {
namespace {

using Wide = __int128;

// a * b / c cut toward zero, computed exactly: the 128-bit product cannot overflow and integer
// division truncates toward zero. Saturates to the 64-bit range. c must not be 0.
std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
  const Wide q = static_cast<Wide>(a) * b / c;
  constexpr Wide kMax = std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(std::clamp<Wide>(q, -kMax, kMax));
}

// trunc of a real that may lie outside 64 bits: saturate instead of invoking undefined behaviour.
std::int64_t Trunc(long double v) {
  constexpr long double kLimit = 9.2e18L;
  if (!(v == v)) return 0;
  return static_cast<std::int64_t>(std::clamp(std::trunc(v), -kLimit, kLimit));
}

// trunc(base * 1.1^steps): exact as the fraction 11^n / 10^n while that fits in 128 bits (25
// steps either way from any width the wheel allows), so that 10 steps to 11 and 9 stays 9
// without depending on how 1.1 rounds in binary; in extended precision beyond.
std::int64_t WheelWidth(std::int64_t base, int steps) {
  constexpr int kExactSteps = 25;
  if (steps == 0) return base;
  const int n = steps > 0 ? steps : -steps;
  if (n > kExactSteps) return Trunc(base * std::pow(1.1L, static_cast<long double>(steps)));
  Wide eleven = 1, ten = 1;
  for (int i = 0; i < n; ++i) {
    eleven *= 11;
    ten *= 10;
  }
  const Wide q =
      steps > 0 ? static_cast<Wide>(base) * eleven / ten : static_cast<Wide>(base) * ten / eleven;
  constexpr Wide kMax = std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(std::min(q, kMax));
}

}  // namespace

void PaneGeometry::ShowFullSize() {
  ox = oy = 0;
  fine_ox = fine_oy = 0;
  wd = picture_width;
  hd = picture_height;
}

void PaneGeometry::SetZoomPercent(int percent) {
  wd = MulDiv(picture_width, percent, 100);
  hd = MulDiv(picture_height, percent, 100);
}

long double PaneGeometry::OriginX() const { return Trunc(fine_ox) == ox ? fine_ox : ox; }
long double PaneGeometry::OriginY() const { return Trunc(fine_oy) == oy ? fine_oy : oy; }

void PaneGeometry::WheelZoom(std::int64_t mx, std::int64_t my, int delta) {
  const long double c = wd != 0 ? (mx - OriginX()) / wd : 0.0L;
  const long double b = hd != 0 ? (my - OriginY()) / hd : 0.0L;
  if (WheelWidth(wheel_base, wheel_steps) != wd) {
    wheel_base = wd;
    wheel_steps = 0;
  }
  const int steps = wheel_steps + (delta > 0 ? 1 : -1);
  std::int64_t new_wd = WheelWidth(wheel_base, steps);
  bool counted = true;
  if (delta <= 0 && new_wd < kMinWheelWidth) {
    new_wd = std::max(wd, kMinWheelWidth);  // the floor is not a step
    counted = false;
  }
  const std::int64_t new_hd =
      picture_width != 0 ? MulDiv(picture_height, new_wd, picture_width) : 0;
  if (new_wd > kMaxDisplaySize || new_hd > kMaxDisplaySize) return;
  if (counted) wheel_steps = steps;
  wd = new_wd;
  hd = new_hd;
  fine_ox = mx - wd * c;
  fine_oy = my - hd * b;
  ox = Trunc(fine_ox);
  oy = Trunc(fine_oy);
}

void PaneGeometry::Center() {
  ox = (view_width - wd) / 2;
  oy = (view_height - hd) / 2;
  fine_ox = ox;
  fine_oy = oy;
}

void PaneGeometry::Press(std::int64_t mx, std::int64_t my) {
  press_x = mx;
  press_y = my;
}

void PaneGeometry::ReleaseRight(std::int64_t mx, std::int64_t my) {
  ox += mx - press_x;
  oy += my - press_y;
}

// Both mappings are exact rationals cut toward zero. In floating point, 1600 x (894 / 1600) can
// come out as 893.999... and a click on pixel 894 at 100 % would capture 893.
bool PaneGeometry::ToImage(std::int64_t mx, std::int64_t my, std::int64_t& x,
                           std::int64_t& y) const {
  if (wd == 0 || hd == 0) return false;
  // After wheel steps the offset carries a fraction: measured from it, the pixel under the
  // pointer is the one the steps kept there.
  const long double fx = OriginX(), fy = OriginY();
  x = fx == ox ? MulDiv(picture_width, mx - ox, wd) : Trunc(picture_width * (mx - fx) / wd);
  y = fy == oy ? MulDiv(picture_height, my - oy, hd) : Trunc(picture_height * (my - fy) / hd);
  return true;
}

bool PaneGeometry::ToPane(std::int64_t x, std::int64_t y, std::int64_t& sx,
                          std::int64_t& sy) const {
  if (picture_width == 0 || picture_height == 0) return false;
  sx = ox + MulDiv(x, wd, picture_width);
  sy = oy + MulDiv(y, hd, picture_height);
  return true;
}

bool PaneGeometry::ToPaneCentre(std::int64_t x, std::int64_t y, std::int64_t& sx,
                                std::int64_t& sy) const {
  if (picture_width == 0 || picture_height == 0) return false;
  sx = ox + MulDiv(2 * x + 1, wd, 2 * picture_width);
  sy = oy + MulDiv(2 * y + 1, hd, 2 * picture_height);
  return true;
}

bool PaneGeometry::ToPaneCentreOf(double x, double y, std::int64_t& sx, std::int64_t& sy) const {
  if (x == std::floor(x) && y == std::floor(y) && std::fabs(x) < 4e18 && std::fabs(y) < 4e18) {
    return ToPaneCentre(static_cast<std::int64_t>(x), static_cast<std::int64_t>(y), sx, sy);
  }
  if (picture_width == 0 || picture_height == 0 || !std::isfinite(x) || !std::isfinite(y))
    return false;
  sx = ox + std::llround((x + 0.5) * static_cast<double>(wd) / static_cast<double>(picture_width));
  sy = oy + std::llround((y + 0.5) * static_cast<double>(hd) / static_cast<double>(picture_height));
  return true;
}

bool PaneGeometry::ToImageInside(std::int64_t mx, std::int64_t my, std::int64_t& x,
                                 std::int64_t& y) const {
  // Left of or above the rectangle, trunc would still give pixel 0: test the position itself.
  if (mx < OriginX() || my < OriginY()) return false;
  std::int64_t ix, iy;
  if (!ToImage(mx, my, ix, iy) || ix >= picture_width || iy >= picture_height) return false;
  x = ix;
  y = iy;
  return true;
}

void PaneGeometry::Fit() {
  if (picture_width <= 0 || picture_height <= 0 || view_width <= 0 || view_height <= 0) return;
  if (static_cast<Wide>(view_width) * picture_height <=
      static_cast<Wide>(view_height) * picture_width) {
    wd = view_width;
    hd = MulDiv(picture_height, view_width, picture_width);
  } else {
    hd = view_height;
    wd = MulDiv(picture_width, view_height, picture_height);
  }
  Center();
}

int PaneGeometry::ZoomPercent() const {
  if (picture_width <= 0) return 0;
  return static_cast<int>(std::clamp<std::int64_t>(
      MulDiv(200 * wd + picture_width, 1, 2 * picture_width), 0, std::numeric_limits<int>::max()));
}

PaneGeometry::Rect PaneGeometry::PictureRect() const {
  if (picture_width <= 0 || picture_height <= 0 || wd <= 0 || hd <= 0) return {ox, oy, 0, 0};
  // Compare Wd/Wp with Hd/Hp without dividing: the smaller ratio decides.
  if (static_cast<Wide>(wd) * picture_height <= static_cast<Wide>(hd) * picture_width) {
    return {ox, oy, wd, MulDiv(picture_height, wd, picture_width)};
  }
  return {ox, oy, MulDiv(picture_width, hd, picture_height), hd};
}

}  // namespace vistrel
