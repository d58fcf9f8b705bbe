#pragma once

// What the status bar and the point status table say, without any toolkit.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vistrel {

// Which coordinates of a point were stored since start: left image, right image, space (control
// points only). The point table alone cannot tell: a point never stored sits at (0, 0).
struct StoredParts {
  bool left = false, right = false, space = false;
  // Everything the point needs: both images, and space coordinates for a control point.
  bool Complete(int index) const { return left && right && (index == 0 || space); }
};
using StoredPoints = std::array<StoredParts, 10>;

// "Control : 3: left stored, right missing, space stored" ("Object point: ..." has no space).
std::string PointStateText(int index, const StoredParts& parts);

// "x 812  y 403  |  zoom 100 %", "outside the photograph  |  zoom 25 %" when the pointer is off
// the picture, "zoom 100 %" when it is not over the pane.
std::string PointerText(bool over_pane, std::optional<std::pair<std::int64_t, std::int64_t>> pixel,
                        int zoom_percent);

}  // namespace vistrel
