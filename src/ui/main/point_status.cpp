#include "ui/main/point_status.h"

#include "project/point_store.h"

namespace vistrel {

std::string PointStateText(int index, const StoredParts& parts) {
  const auto state = [](bool stored) { return stored ? " stored" : " missing"; };
  std::string text =
      PointSelectorEntry(index) + ": left" + state(parts.left) + ", right" + state(parts.right);
  if (index != 0) text += std::string(", space") + state(parts.space);
  return text;
}

std::string PointerText(bool over_pane, std::optional<std::pair<std::int64_t, std::int64_t>> pixel,
                        int zoom_percent) {
  const std::string zoom = "zoom " + std::to_string(zoom_percent) + " %";
  if (!over_pane) return zoom;
  if (!pixel) return "outside the photograph  |  " + zoom;
  return "x " + std::to_string(pixel->first) + "  y " + std::to_string(pixel->second) + "  |  " +
         zoom;
}

}  // namespace vistrel
