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

// The memory a decoded picture may take in its decoder's own format, bytes: the largest picture
// at 4 bytes per pixel (800 MB). A picture whose decoding would take more (a 16-bit colour PNG
// of 14000 x 14000, 1.6 GB) is "Image trop grande" too, whatever its bit depth, before any
// pixel memory is taken.
inline constexpr std::int64_t kMaxDecodedBytes = kMaxPicturePixels * 4;

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
// "Image bitmap incomplète", or kDecoderWarningMessage when Qt's decoders or the libraries
// under them (libpng, libtiff) complained: their messages never reach the standard error).
inline constexpr const char* kPictureWarningKey = "vistrel-warning";
inline constexpr const char* kDecoderWarningMessage =
    "Le décodeur a signalé des anomalies dans ce fichier : l'image peut être incomplète";

// Loads a picture as LoadPicture does, but in the format its decoder gives (Grayscale8 for a
// grey PNG, 16 bits per channel for a 16-bit one), without the conversion for painting; JPEG
// straight to Grayscale8. For reading grey levels within kMaxDecodedBytes plus one byte per
// pixel.
QImage LoadPictureForGrey(const QString& path);

// Decoders of the bytes of one file, with the same errors.
QImage DecodeJpeg(const std::uint8_t* data, std::size_t size);
QImage DecodeBitmap(const std::vector<std::uint8_t>& bytes);
QImage DecodeIcon(const std::vector<std::uint8_t>& bytes);

}  // namespace vistrel
