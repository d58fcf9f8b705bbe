#pragma once

// What the status bar and the point status table say, without any toolkit.

#include <cstdint>
#include <optional>
#include <string>

#include "workflow/session.h"

namespace vistrel {

// "Control : 3: left stored, right missing, space stored" ("Object point: ..." has no space).
std::string PointStateText(int index, const StoredParts& parts);

// "x 812  y 403  |  zoom 100 %", "outside the photograph  |  zoom 25 %" when the pointer is off
// the picture, "zoom 100 %" when it is not over the pane.
std::string PointerText(bool over_pane, std::optional<std::pair<std::int64_t, std::int64_t>> pixel,
                        int zoom_percent);

}  // namespace vistrel
