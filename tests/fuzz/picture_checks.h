#pragma once

// What every picture decoder promises for any input: a picture within the size limit in a
// format the painter draws directly, or one of its own errors.

#include <QImage>

#include "fuzz_entry.h"
#include "pictures/picture_loader.h"

namespace vistrel::fuzz {

inline void CheckPicture(const QImage& image) {
  Require(!image.isNull(), "decoder returned an empty picture without an error");
  Require(image.width() > 0 && image.height() > 0, "picture with a zero side");
  Require(std::int64_t{image.width()} * image.height() <= kMaxPicturePixels,
          "picture above the size limit");
  Require(image.format() == QImage::Format_RGB32 ||
              image.format() == QImage::Format_ARGB32_Premultiplied,
          "picture in a format the painter converts");
}

}  // namespace vistrel::fuzz
