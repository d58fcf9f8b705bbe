// The JPEG decoder (libjpeg) on arbitrary bytes.

#include "picture_checks.h"

namespace vistrel::fuzz {

int JpegDecoder(const std::uint8_t* data, std::size_t size) {
  try {
    CheckPicture(DecodeJpeg(data, size));
  } catch (const EPictureError&) {
  }
  return 0;
}

}  // namespace vistrel::fuzz

VISTREL_FUZZ_MAIN(vistrel::fuzz::JpegDecoder)
