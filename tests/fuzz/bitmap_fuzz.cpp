// The bitmap decoder on arbitrary bytes.

#include <vector>

#include "picture_checks.h"

namespace vistrel::fuzz {

int BitmapDecoder(const std::uint8_t* data, std::size_t size) {
  try {
    CheckPicture(DecodeBitmap(std::vector<std::uint8_t>(data, data + size)));
  } catch (const EPictureError&) {
  }
  return 0;
}

}  // namespace vistrel::fuzz

VISTREL_FUZZ_MAIN(vistrel::fuzz::BitmapDecoder)
