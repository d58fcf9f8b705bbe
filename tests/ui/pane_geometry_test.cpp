#include "ui/main/pane_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <string>

#include "photogrammetry/epipolar.h"
#include "tools/demo_scene.h"

namespace vistrel {
namespace {

PaneGeometry Picture(std::int64_t wp, std::int64_t hp) {
  PaneGeometry g;
  g.picture_width = wp;
  g.picture_height = hp;
  g.view_width = 429;
  g.view_height = 320;
  g.ShowFullSize();
  return g;
}

TEST(PaneGeometry, StartsAtFullSizeAndSliderZoomsFromTheCorner) {
  PaneGeometry g = Picture(2000, 1500);
  EXPECT_EQ(g.wd, 2000);
  EXPECT_EQ(g.hd, 1500);
  g.ox = 7;
  g.oy = -3;
  struct Case {
    int percent;
    std::int64_t wd, hd;
  } cases[] = {{11, 220, 165}, {10, 200, 150}, {1, 20, 15}, {300, 6000, 4500}, {100, 2000, 1500}};
  for (const Case& c : cases) {
    g.SetZoomPercent(c.percent);
    EXPECT_EQ(g.wd, c.wd) << c.percent;
    EXPECT_EQ(g.hd, c.hd) << c.percent;
    EXPECT_EQ(g.ox, 7);
    EXPECT_EQ(g.oy, -3);
  }
}

// Display at twice the picture size, picture corner at (50, 20): a capture cuts toward zero, and
// only a position on the picture's display is inside it (and gives its pixel).
TEST(PaneGeometry, CaptureCutsTowardZeroAndKnowsThePictureEdge) {
  PaneGeometry g = Picture(100, 80);
  g.wd = 200;
  g.hd = 160;
  g.ox = 50;
  g.oy = 20;
  struct Case {
    std::int64_t mx, my, x, y;
    bool inside;
  } cases[] = {
      {49, 19, 0, 0, false},    // -0.5 -> 0
      {48, 18, -1, -1, false},  // -1.0 -> -1
      {47, 17, -1, -1, false},  // -1.5 -> -1
      {50, 20, 0, 0, true},       {51, 21, 0, 0, true},      {52, 22, 1, 1, true},
      {249, 179, 99, 79, true},  // last display pixel -> last picture pixel
      {250, 180, 100, 80, false}, {49, 30, 0, 5, false},     {50, 19, 0, 0, false},
      {250, 100, 100, 40, false}, {100, 180, 25, 80, false}, {-5, -5, -27, -12, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mx) + "," + std::to_string(c.my));
    std::int64_t x = 1234, y = 1234;
    ASSERT_TRUE(g.ToImage(c.mx, c.my, x, y));
    EXPECT_EQ(x, c.x);
    EXPECT_EQ(y, c.y);
    x = y = -7;
    EXPECT_EQ(g.ToImageInside(c.mx, c.my, x, y), c.inside);
    EXPECT_EQ(x, c.inside ? c.x : -7);
    EXPECT_EQ(y, c.inside ? c.y : -7);
  }
}

TEST(PaneGeometry, AtFullSizeEveryPixelCapturesItself) {
  // Exact arithmetic: in floating point 1600 * (894 / 1600) may fall just short of 894.
  PaneGeometry g = Picture(1600, 1200);
  for (std::int64_t m = -5; m < 1605; ++m) {
    std::int64_t x, y, sx, sy;
    ASSERT_TRUE(g.ToImage(m, m, x, y));
    ASSERT_EQ(x, m);
    ASSERT_EQ(y, m);
    ASSERT_TRUE(g.ToPane(m, m, sx, sy));
    ASSERT_EQ(sx, m);
  }
}

TEST(PaneGeometry, ZeroSizesNeverDivide) {
  PaneGeometry g = Picture(150, 90);
  g.SetZoomPercent(1);  // truncates to 1 x 0
  EXPECT_EQ(g.wd, 1);
  EXPECT_EQ(g.hd, 0);
  std::int64_t x = 5, y = 6;
  EXPECT_FALSE(g.ToImage(10, 10, x, y));
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 6);
  PaneGeometry empty = Picture(0, 0);
  std::int64_t sx = 1, sy = 2;
  EXPECT_FALSE(empty.ToPane(3, 4, sx, sy));
  EXPECT_EQ(empty.PictureRect().width, 0);
  // A wheel step on an empty picture neither divides nor gives it a height.
  empty.WheelZoom(10, 10, -120);
  EXPECT_EQ(empty.wd, PaneGeometry::kMinWheelWidth);
  EXPECT_EQ(empty.hd, 0);
}

TEST(PaneGeometry, MarkerMappingUses64BitProducts) {
  PaneGeometry g = Picture(1600, 1200);
  g.SetZoomPercent(300);  // 4800 x 3600
  std::int64_t sx, sy;
  ASSERT_TRUE(g.ToPane(std::numeric_limits<std::int32_t>::max(),
                       std::numeric_limits<std::int32_t>::min(), sx, sy));
  // 2147483647 * 4800 overflows 32 bits; in 64 bits it is exactly three times the coordinate.
  EXPECT_EQ(sx, std::int64_t{2147483647} * 3);
  EXPECT_EQ(sy, std::int64_t{-2147483648} * 3);
  g.ox = 10;
  g.SetZoomPercent(11);  // 176 x 132: sx = 10 + trunc(801 * 176 / 1600) = 10 + 88
  ASSERT_TRUE(g.ToPane(801, -5, sx, sy));
  EXPECT_EQ(sx, 98);
  EXPECT_EQ(sy, 0);  // trunc(-5 * 132 / 1200) = trunc(-0.55) = 0
}

TEST(PaneGeometry, WheelStepsTruncateAndKeepThePointUnderThePointer) {
  struct Case {
    std::int64_t wd;
    int delta;
    std::int64_t expected;
  } cases[] = {
      {9, 120, 9},                                       // trunc(9.9) = 9: stuck
      {10, 120, 11},                                     // trunc(11.0)
      {10, -120, 10},  {11, -1, 10},       {12, 0, 10},  // never below 10; delta 0 zooms out
      {1000, 1, 1100}, {1000, -5000, 909},               // only the sign counts; / 1.1
  };
  for (const Case& c : cases) {
    PaneGeometry g = Picture(2000, 1000);
    g.wd = c.wd;
    g.hd = c.wd / 2;
    g.WheelZoom(0, 0, c.delta);
    EXPECT_EQ(g.wd, c.expected) << c.wd << " " << c.delta;
    EXPECT_EQ(g.hd, c.expected * 1000 / 2000);
  }
  // The picture point under the pointer stays there (to within the truncation).
  PaneGeometry g = Picture(2000, 1000);
  g.SetZoomPercent(20);  // 400 x 200
  g.ox = 30;
  g.oy = 40;
  std::int64_t before_x, before_y, after_x, after_y;
  g.ToImage(230, 140, before_x, before_y);
  g.WheelZoom(230, 140, 120);
  EXPECT_EQ(g.wd, 440);
  EXPECT_EQ(g.hd, 220);
  EXPECT_EQ(g.ox, 10);  // trunc(230 - 440 * 0.5)
  EXPECT_EQ(g.oy, 30);  // trunc(140 - 220 * 0.5)
  g.ToImage(230, 140, after_x, after_y);
  EXPECT_EQ(after_x, before_x);
  EXPECT_EQ(after_y, before_y);
}

// The cuts of successive wheel steps do not add up: after 24 notches in and 24 out, or in and out
// in turn, the zoom is the one it started at and the pointer is on the photograph pixel it
// started on, give or take one.
TEST(PaneGeometry, WheelNotchesInAndOutKeepThePixelUnderThePointer) {
  struct Case {
    int percent;
    std::int64_t mx, my;
    bool alternate;
  } cases[] = {{100, 213, 157, false}, {100, 37, 301, false}, {100, 401, 9, true},
               {27, 213, 157, false},  {27, 380, 250, true},  {150, 123, 77, false}};
  for (const Case& c : cases) {
    PaneGeometry g = Picture(1600, 1200);
    g.SetZoomPercent(c.percent);
    g.Center();
    // The photograph position under the pointer, with the offset's fraction.
    const auto under = [&g, &c] {
      return std::make_pair(g.picture_width * (c.mx - g.OriginX()) / g.wd,
                            g.picture_height * (c.my - g.OriginY()) / g.hd);
    };
    const auto [u0, v0] = under();
    std::int64_t x0, y0, x1, y1;
    ASSERT_TRUE(g.ToImage(c.mx, c.my, x0, y0));
    const std::int64_t start = g.wd;
    for (int i = 0; i < 48; ++i) {
      const bool in = c.alternate ? i % 2 == 0 : i < 24;
      g.WheelZoom(c.mx, c.my, in ? 120 : -120);
    }
    EXPECT_EQ(g.wd, start) << c.percent;  // the zoom it started at
    const auto [u1, v1] = under();
    EXPECT_NEAR(static_cast<double>(u1), static_cast<double>(u0), 1e-6) << c.percent;
    EXPECT_NEAR(static_cast<double>(v1), static_cast<double>(v0), 1e-6) << c.percent;
    // What a click captures there.
    ASSERT_TRUE(g.ToImage(c.mx, c.my, x1, y1));
    EXPECT_LE(std::abs(x1 - x0), 1) << c.percent << " " << c.mx;
    EXPECT_LE(std::abs(y1 - y0), 1) << c.percent << " " << c.my;
  }
}

TEST(PaneGeometry, WheelZoomStopsBeforeSizesRunAway) {
  PaneGeometry g = Picture(6000, 4000);
  for (int i = 0; i < 1000; ++i) g.WheelZoom(200, 100, 120);
  EXPECT_LE(g.wd, PaneGeometry::kMaxDisplaySize);
  EXPECT_LE(g.hd, PaneGeometry::kMaxDisplaySize);
  EXPECT_GT(g.wd, PaneGeometry::kMaxDisplaySize / 2);
  std::int64_t x, y;
  ASSERT_TRUE(g.ToImage(200, 100, x, y));
  EXPECT_GE(x, 0);
  EXPECT_LT(x, 6000);
}

TEST(PaneGeometry, PanAppliesOnRightReleaseAndCenterCentres) {
  PaneGeometry g = Picture(2000, 1500);
  g.SetZoomPercent(10);
  g.Press(100, 100);
  g.ReleaseRight(130, 90);
  EXPECT_EQ(g.ox, 30);
  EXPECT_EQ(g.oy, -10);
  g.Center();  // (429 - 200) / 2 = 114.5, (320 - 150) / 2 = 85
  EXPECT_EQ(g.ox, 114);
  EXPECT_EQ(g.oy, 85);
  g.SetZoomPercent(30);  // 600 x 450: (429 - 600) / 2 = -85.5 -> -85
  g.Center();
  EXPECT_EQ(g.ox, -85);
  EXPECT_EQ(g.oy, -65);
}

TEST(PaneGeometry, PictureKeepsItsAspectInsideTheDisplayRectangle) {
  PaneGeometry g = Picture(2000, 1000);
  g.ox = 5;
  g.oy = 6;
  struct Case {
    std::int64_t wd, hd, w, h;
  } cases[] = {{400, 200, 400, 200}, {400, 100, 200, 100}, {300, 400, 300, 150}, {0, 10, 0, 0}};
  for (const Case& c : cases) {
    g.wd = c.wd;
    g.hd = c.hd;
    const auto r = g.PictureRect();
    EXPECT_EQ(r.x, 5);
    EXPECT_EQ(r.y, 6);
    EXPECT_EQ(r.width, c.w) << c.wd << "x" << c.hd;
    EXPECT_EQ(r.height, c.h) << c.wd << "x" << c.hd;
  }
}

// At every zoom, a click anywhere on a pixel's display footprint captures that pixel, the mark
// drawn for it lies on that footprint.
TEST(PaneGeometry, ClickedPixelIsMarkedOnItselfAtEveryZoom) {
  for (const int percent : {10, 33, 100, 150, 800, 1000}) {
    PaneGeometry g = Picture(1600, 1200);
    g.SetZoomPercent(percent);
    g.ox = -37;
    g.oy = 11;
    for (const std::int64_t px : {0, 1, 799, 1599}) {
      // The footprint of pixel px: every position whose capture gives px.
      std::int64_t sx, sy, x, y;
      ASSERT_TRUE(g.ToPaneCentre(px, px / 2, sx, sy));
      if (percent >= 100) {
        ASSERT_TRUE(g.ToImageInside(sx, sy, x, y)) << percent << " " << px;
        EXPECT_EQ(x, px) << percent;
        EXPECT_EQ(y, px / 2) << percent;
        // At whole magnifications the centre lies half a footprint from the corner ToPane gives.
        std::int64_t cx, cy;
        ASSERT_TRUE(g.ToPane(px, px / 2, cx, cy));
        if (percent % 100 == 0) {
          EXPECT_EQ(sx - cx, percent / 200) << percent;
        }
      }
    }
  }
}

TEST(PaneGeometry, FitShowsTheWholePictureCentred) {
  struct Case {
    std::int64_t wp, hp;
    std::int64_t wd, hd, ox, oy;
    int percent;
  } cases[] = {
      {1600, 1200, 426, 320, 1, 0, 27},  // height decides
      {6000, 1000, 429, 71, 0, 124, 7},  // width decides
      {100, 80, 400, 320, 14, 0, 400},   // small pictures grow
  };
  for (const Case& c : cases) {
    PaneGeometry g = Picture(c.wp, c.hp);
    g.Fit();
    EXPECT_EQ(g.wd, c.wd) << c.wp;
    EXPECT_EQ(g.hd, c.hd) << c.wp;
    EXPECT_EQ(g.ox, c.ox) << c.wp;
    EXPECT_EQ(g.oy, c.oy) << c.wp;
    EXPECT_EQ(g.ZoomPercent(), c.percent) << c.wp;
  }
  PaneGeometry none = Picture(0, 0);
  none.Fit();
  EXPECT_EQ(none.wd, 0);
  EXPECT_EQ(none.ZoomPercent(), 0);
}

// On the demo pair, the curve drawn for a clicked target passes through that target's true image
// on the other photograph, in both directions; with distortion ignored it misses, which shows the
// curve bends with the lens.
TEST(EpipolarCurve, PassesThroughTheMatchOnTheOtherPhotograph) {
  // The demo's lens with ten times its radial distortion, so that ignoring it shows.
  InternalParameters lens = demo::kLens;
  lens.a1 *= 10;
  lens.p1 = 2e-7;
  TCameraParameters camera{lens, demo::kLeftCamera, demo::kRightCamera};
  const PointTable table = demo::ClickedControlPoints(lens);
  TCameraParameters straight = camera;
  straight.internal.a1 = 0;
  straight.internal.p1 = 0;
  long double worst_straight = 0;
  for (const auto& t : demo::kExtraTargets) {
    const ImagePoint l = ProjectToImage(lens, demo::kLeftCamera, t.X, t.Y, t.Z);
    const ImagePoint r = ProjectToImage(lens, demo::kRightCamera, t.X, t.Y, t.Z);
    const auto to_right = EpipolarCurve(camera, true, l.x, l.y, table);
    const auto to_left = EpipolarCurve(camera, false, r.x, r.y, table);
    ASSERT_EQ(to_right.size(), static_cast<std::size_t>(kEpipolarSamples));
    EXPECT_LT(DistanceToCurve(to_right, r.x, r.y), 0.05L) << t.X;
    EXPECT_LT(DistanceToCurve(to_left, l.x, l.y), 0.05L) << t.X;
    // A whole-pixel click still passes within a pixel.
    EXPECT_LT(DistanceToCurve(EpipolarCurve(camera, true, std::round(l.x), std::round(l.y), table),
                              r.x, r.y),
              1.0L);
    worst_straight = std::max(
        worst_straight, DistanceToCurve(EpipolarCurve(straight, true, l.x, l.y, table), r.x, r.y));
  }
  EXPECT_GT(worst_straight, 1.0L);
  EXPECT_TRUE(EpipolarCurve(TCameraParameters{}, true, 800, 600, table).empty());  // uncalibrated
}

// A click's match: the true image on the other photograph is the nearest candidate among all the
// demo's targets, and the only one but for two targets; another target 1 px off the curve
// joins the candidates, one 3 px off stays out; no target near the curve gives none.
TEST(EpipolarCurve, TargetsOnCurveTakeOnlyThoseNearIt) {
  const TCameraParameters camera{demo::kLens, demo::kLeftCamera, demo::kRightCamera};
  const PointTable table = demo::ClickedControlPoints(demo::kLens);
  std::vector<demo::Target> all(demo::kControlTargets.begin(), demo::kControlTargets.end());
  all.insert(all.end(), demo::kExtraTargets.begin(), demo::kExtraTargets.end());
  std::vector<ImagePosition> right;
  for (const demo::Target& t : all) {
    const ImagePoint r = ProjectToImage(demo::kLens, demo::kRightCamera, t.X, t.Y, t.Z);
    right.push_back({static_cast<double>(r.x), static_cast<double>(r.y)});
  }
  std::size_t single = 0;  // targets whose match is the only one on the curve
  for (std::size_t k = 0; k < all.size(); ++k) {
    const demo::Target& t = all[k];
    const ImagePoint l = ProjectToImage(demo::kLens, demo::kLeftCamera, t.X, t.Y, t.Z);
    const auto curve = EpipolarCurve(camera, true, l.x, l.y, table);
    const std::vector<std::size_t> alone = TargetsOnCurve(curve, right);
    ASSERT_FALSE(alone.empty()) << t.X << "," << t.Y;
    EXPECT_EQ(alone.front(), k) << t.X << "," << t.Y;
    single += alone.size() == 1;
    // Beside the match, across the curve (its local direction turned a right angle).
    std::size_t s = 1;
    while (s + 1 < curve.size() &&
           DistanceToCurve({curve[s - 1], curve[s]}, right[k].x, right[k].y) > 0.1L) {
      ++s;
    }
    const long double dx = curve[s].x - curve[s - 1].x, dy = curve[s].y - curve[s - 1].y;
    const long double n = std::hypot(dx, dy);
    const struct {
      double off;
      std::size_t found;
    } decoys[] = {{1.0, alone.size() + 1}, {3.0, alone.size()}};
    for (const auto& d : decoys) {
      std::vector<ImagePosition> with = right;
      with.push_back({right[k].x - static_cast<double>(dy / n) * d.off,
                      right[k].y + static_cast<double>(dx / n) * d.off});
      const auto found = TargetsOnCurve(curve, with);
      ASSERT_EQ(found.size(), d.found) << d.off;
      EXPECT_EQ(found.front(), k);
    }
  }
  // On the demo pair only control targets 4 and 8 lie on each other's curve.
  EXPECT_EQ(single, all.size() - 2);
  EXPECT_TRUE(TargetsOnCurve(EpipolarCurve(camera, true, 10, 10, table), {{-5000, -5000}}).empty());
}

}  // namespace
}  // namespace vistrel
