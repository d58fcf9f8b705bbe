#include "pictures/grey_picture.h"

#include <QImage>
#include <QString>
#include <cmath>

#include "pictures/picture_loader.h"

namespace vistrel {

GreyPicture LoadGreyPicture(const std::string& path) {
  const QImage picture = LoadPicture(QString::fromStdString(path));
  GreyPicture g;
  g.width = picture.width();
  g.height = picture.height();
  g.grey.resize(static_cast<std::size_t>(g.width) * g.height);
  for (int y = 0; y < picture.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
    for (int x = 0; x < picture.width(); ++x) {
      g.grey[static_cast<std::size_t>(y) * g.width + x] =
          static_cast<std::uint8_t>(std::lround(GreyLevel(row[x])));
    }
  }
  return g;
}

}  // namespace vistrel
