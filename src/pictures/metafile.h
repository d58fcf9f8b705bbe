#pragma once

// The bitmap carried by a Windows metafile: a photograph saved as .wmf or .emf is one
// device-independent bitmap drawn by a single record. Reading those records is all the program
// needs; vector drawings are not shown.

#include <cstdint>
#include <string>
#include <vector>

#include "numeric/exception.h"

namespace vistrel {

class EMetafileError : public Exception {
 public:
  using Exception::Exception;
};

inline constexpr const char* kMetafileDamagedMessage = "Métafichier incorrect";
inline constexpr const char* kMetafileNoBitmapMessage =
    "Ce métafichier ne contient aucune image bitmap affichable";

// The largest bitmap drawn by an enhanced metafile (EMR_STRETCHDIBITS, EMR_SETDIBITSTODEVICE,
// EMR_BITBLT, EMR_STRETCHBLT), returned as the bytes of a .bmp file. Throws EMetafileError.
std::vector<std::uint8_t> BitmapFromEmf(const std::vector<std::uint8_t>& file);

// The same for a Windows metafile, with or without the placeable header (META_STRETCHDIB,
// META_DIBSTRETCHBLT, META_DIBBITBLT, META_SETDIBTODEV).
std::vector<std::uint8_t> BitmapFromWmf(const std::vector<std::uint8_t>& file);

// A .bmp file around a packed device-independent bitmap (header, colour table, pixels).
// Throws EMetafileError when the header does not describe a bitmap that fits in `dib`.
std::vector<std::uint8_t> BmpFileFromDib(const std::uint8_t* dib, std::size_t dib_size,
                                         std::size_t bits_offset);

}  // namespace vistrel
