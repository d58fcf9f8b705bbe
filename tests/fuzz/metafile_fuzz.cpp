// The metafile readers on arbitrary bytes, as the loader uses them: the bitmap found in a WMF or
// EMF file becomes a .bmp file that the bitmap decoder reads. Every record that points outside
// the file must be refused before it is read.

#include <vector>

#include "picture_checks.h"
#include "pictures/metafile.h"

namespace vistrel::fuzz {

int MetafileDecoder(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> file(data, data + size);
  for (const bool wmf : {true, false}) {
    std::vector<std::uint8_t> bmp;
    try {
      bmp = wmf ? BitmapFromWmf(file) : BitmapFromEmf(file);
    } catch (const EMetafileError&) {
      continue;
    }
    // Header and pixels are each copied from inside the file, behind a 14-byte file header.
    Require(bmp.size() >= 14 + 12 && bmp.size() <= 14 + 2 * size, "bitmap larger than its file");
    try {
      CheckPicture(DecodeBitmap(bmp));
    } catch (const EPictureError&) {
    }
  }
  return 0;
}

}  // namespace vistrel::fuzz

VISTREL_FUZZ_MAIN(vistrel::fuzz::MetafileDecoder)
