#pragma once

#include <array>
#include <cstdint>

namespace vistrel {

// Everything the user has entered about the points. Index 0 is the observation point (image
// coordinates only), 1 to 9 are the control points. Image coordinates are whole pixels of the
// full-resolution photograph, origin top-left, y downwards; `g` is the left photograph, `d` the
// right one. Space coordinates are in the user's units and exist for the control points only
// (element 0 of px/py/pz is never used).
struct PointTable {
  static constexpr int kObservation = 0;
  static constexpr int kControlCount = 9;

  std::array<std::int32_t, 10> xg{}, yg{}, xd{}, yd{};
  std::array<double, 10> px{}, py{}, pz{};
  // Marker colours (TColor values, project/settings.h), for the windows; no computation reads them.
  std::array<std::uint32_t, 10> color{};

  // All image and space coordinates back to 0; colours are left for the settings to set.
  void Reset() {
    xg.fill(0);
    yg.fill(0);
    xd.fill(0);
    yd.fill(0);
    px.fill(0.0);
    py.fill(0.0);
    pz.fill(0.0);
  }
};

}  // namespace vistrel
