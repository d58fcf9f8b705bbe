#pragma once

// Grey levels of a photograph, without toolkit types: the target finder's input, for the window
// and for the command-line tool alike.

#include <cstdint>
#include <string>
#include <vector>

#include "photogrammetry/target_detection.h"

class QImage;

namespace vistrel {

// Grey level 0-255 of a colour 0xAARRGGBB (alpha ignored), by the luma weights of television
// (0.299 red, 0.587 green, 0.114 blue); not rounded, so that sub-pixel centring keeps what the
// three channels say.
inline double GreyLevel(std::uint32_t rgb) {
  return 0.299 * ((rgb >> 16) & 0xFF) + 0.587 * ((rgb >> 8) & 0xFF) + 0.114 * (rgb & 0xFF);
}

// One byte per pixel: the finder's noise model already counts whole grey levels, and a picture
// of the largest size accepted stays at 200 MB.
struct GreyPicture {
  std::int64_t width = 0, height = 0;
  std::vector<std::uint8_t> grey;  // row after row
  std::string warning;             // the decoder's warning, in the program's words, or empty
  // Grey level of pixel (x, y), or -1 outside the picture.
  double at(std::int64_t x, std::int64_t y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? -1.0 : grey[y * width + x];
  }
  GreyView view() const { return {width, height, grey.data()}; }
};

// Loads a photograph as the window does (every format and error of LoadPicture) as grey levels.
// Memory: the decoder's own picture (at most kMaxDecodedBytes; a JPEG is decoded straight to one
// byte per pixel) and one byte per pixel. Throws EPictureError or EInOutError.
GreyPicture LoadGreyPicture(const std::string& path);
// The grey levels of a decoded picture, as LoadGreyPicture takes them.
GreyPicture ToGreyPicture(const QImage& picture);

}  // namespace vistrel
