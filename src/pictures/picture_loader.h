#pragma once

// Photographs for the image panes, decoded by file extension.

#include <QImage>
#include <QString>
#include <QStringList>
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

// Pixels a picture file may declare per byte it holds, whatever its coding. No coding of a
// photograph comes near it (a Huffman-coded JPEG spends at least one bit per 8 x 8 block, so 512
// pixels per byte at most; an uncompressed bitmap 8 at most), but a header of a few bytes
// declaring a giant picture would otherwise cost hundreds of megabytes and seconds to decode.
inline constexpr std::int64_t kMaxPixelsPerFileByte = 8 * 512;

// The check made before any decoder takes memory: throws EPictureError "Image trop grande
// (%d x %d pixels)" above kMaxPicturePixels or when the size is not positive, and "Image
// incomplète (%d x %d pixels déclarés pour %d octets)" above kMaxPixelsPerFileByte pixels per
// byte of the file.
void CheckDeclaredSize(std::int64_t width, std::int64_t height, std::size_t file_bytes);

// The extensions, lower case, of the pictures LoadPicture reads here: bmp, jpg, jpeg, png, ico,
// wmf, emf, and tif, tiff when Qt's TIFF plugin is installed.
QStringList PictureExtensions();

// The open dialog's filters: every picture that loads, then each kind, then all files.
QStringList PictureFileFilters();

// Loads a picture by its extension, letter case ignored: bmp, jpg/jpeg, png, tif/tiff, ico,
// wmf/emf. Throws EPictureError: "Extension de fichier image inconnue (.%s)", "Format TIFF non
// pris en charge (greffon d'images TIFF de Qt absent)", "Erreur JPEG #%d" (the decoder's
// message number), "Image bitmap incorrecte", "Image PNG incorrecte", "Image TIFF incorrecte",
// "Icône incorrecte", the metafile messages, or
// the size checks of CheckDeclaredSize, "%s est un dossier, pas une image"; EInOutError when
// the file cannot be read. The result is
// in a format the raster painter draws without conversion (RGB32 or premultiplied ARGB32).
QImage LoadPicture(const QString& path);

// A picture that loaded but is damaged (a JPEG cut short, filled with grey below the cut; a
// bitmap whose pixels stop early) carries a warning as the text of this key ("Erreur JPEG #%d",
// "Image bitmap incomplète").
inline constexpr const char* kPictureWarningKey = "vistrel-warning";

// Decoders of the bytes of one file, with the same errors.
QImage DecodeJpeg(const std::uint8_t* data, std::size_t size);
QImage DecodeBitmap(const std::vector<std::uint8_t>& bytes);
QImage DecodeIcon(const std::vector<std::uint8_t>& bytes);

}  // namespace vistrel
