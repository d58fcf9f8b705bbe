#pragma once

// Photographs for the image panes, decoded by file extension.

#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

#include "numeric/exception.h"

namespace vistrel {

class EPictureError : public Exception {
 public:
  using Exception::Exception;
};

// Pictures above this many pixels are refused before any pixel memory is taken (a damaged or
// hostile header can declare 65535 x 65535). 200 megapixels is eight times a 24-MP photograph.
inline constexpr std::int64_t kMaxPicturePixels = 200'000'000;

// Loads a picture by its extension, letter case ignored: bmp, jpg/jpeg, ico, wmf/emf. Throws
// EPictureError: "Extension de fichier image inconnue (.%s)", "Erreur JPEG #%d" (the decoder's
// message number), "Image bitmap incorrecte", "Icône incorrecte", the metafile messages, or
// "Image trop grande (%d x %d pixels)"; EInOutError when the file cannot be read. The result is
// in a format the raster painter draws without conversion (RGB32 or premultiplied ARGB32).
QImage LoadPicture(const QString& path);

// A picture that loaded but is damaged (a JPEG cut short, filled with grey below the cut)
// carries the decoder's warning as the text of this key ("Erreur JPEG #%d").
inline constexpr const char* kPictureWarningKey = "vistrel-warning";

// Decoders of the bytes of one file, with the same errors.
QImage DecodeJpeg(const std::uint8_t* data, std::size_t size);
QImage DecodeBitmap(const std::vector<std::uint8_t>& bytes);
QImage DecodeIcon(const std::vector<std::uint8_t>& bytes);

}  // namespace vistrel
