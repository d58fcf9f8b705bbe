// The JPEG decoder (libjpeg) on arbitrary bytes.

#include "picture_checks.h"

namespace vistrel::fuzz {
#ifdef VISTREL_LIBFUZZER
namespace {

// The frame size a file declares in its first start-of-frame marker, or 0. Only to keep the
// fuzzer fast: pictures of legal size are slow to decode and their decoding is libjpeg's.
std::uint64_t DeclaredPixels(const std::uint8_t* data, std::size_t size) {
  std::size_t i = 2;
  while (i + 9 <= size && data[i] == 0xFF) {
    const int marker = data[i + 1];
    const std::size_t length = (data[i + 2] << 8) | data[i + 3];
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      return std::uint64_t((data[i + 5] << 8) | data[i + 6]) * ((data[i + 7] << 8) | data[i + 8]);
    }
    i += 2 + length;
  }
  return 0;
}

}  // namespace
#endif

int JpegDecoder(const std::uint8_t* data, std::size_t size) {
#ifdef VISTREL_LIBFUZZER
  constexpr std::uint64_t kFastPixels = 1 << 20;
  const std::uint64_t declared = DeclaredPixels(data, size);
  if (declared > kFastPixels && declared <= std::uint64_t(kMaxPicturePixels)) return 0;
#endif
  try {
    CheckPicture(DecodeJpeg(data, size));
  } catch (const EPictureError&) {
  }
  return 0;
}

}  // namespace vistrel::fuzz

VISTREL_FUZZ_MAIN(vistrel::fuzz::JpegDecoder)
