#include "pictures/grey_picture.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <cmath>
#include <cstring>

#include "pictures/picture_loader.h"

namespace vistrel {

GreyPicture LoadGreyPicture(const std::string& path) {
  return ToGreyPicture(LoadPictureForGrey(QString::fromStdString(path)));
}

GreyPicture ToGreyPicture(const QImage& picture) {
  GreyPicture g;
  g.width = picture.width();
  g.height = picture.height();
  g.warning = picture.text(kPictureWarningKey).toStdString();
  g.grey.resize(static_cast<std::size_t>(g.width) * g.height);
  const auto row_of = [&g](int y) { return &g.grey[static_cast<std::size_t>(y) * g.width]; };
  switch (picture.format()) {
    case QImage::Format_Grayscale8:
      for (int y = 0; y < picture.height(); ++y) {
        std::memcpy(row_of(y), picture.constScanLine(y), static_cast<std::size_t>(g.width));
      }
      break;
    case QImage::Format_Grayscale16:
      for (int y = 0; y < picture.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(picture.constScanLine(y));
        std::uint8_t* out = row_of(y);
        for (int x = 0; x < picture.width(); ++x)
          out[x] = static_cast<std::uint8_t>((row[x] + 128) / 257);
      }
      break;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
      for (int y = 0; y < picture.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        std::uint8_t* out = row_of(y);
        for (int x = 0; x < picture.width(); ++x) {
          out[x] = static_cast<std::uint8_t>(std::lround(GreyLevel(row[x])));
        }
      }
      break;
    default:
      // Other decoders' formats (16 bits per channel, indexed, one bit): row by row through
      // QImage::pixelColor, which keeps the memory at one byte per pixel beyond the decoded one.
      for (int y = 0; y < picture.height(); ++y) {
        std::uint8_t* out = row_of(y);
        for (int x = 0; x < picture.width(); ++x) {
          const QColor c = picture.pixelColor(x, y);
          out[x] = static_cast<std::uint8_t>(
              std::lround(255 * (0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF())));
        }
      }
      break;
  }
  return g;
}

}  // namespace vistrel
