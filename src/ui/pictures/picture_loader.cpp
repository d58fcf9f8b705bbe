#include "ui/pictures/picture_loader.h"

// clang-format off
// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// After jpeglib.h: the decoder's message numbers.
#include <jerror.h>
// clang-format on

#include <sys/mman.h>

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "project/io_error.h"
#include "ui/pictures/metafile.h"

namespace vistrel {
namespace {

[[noreturn]] void TooLarge(std::int64_t width, std::int64_t height) {
  throw EPictureError("Image trop grande (" + std::to_string(width) + " x " +
                      std::to_string(height) + " pixels)");
}

bool Acceptable(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width * height <= kMaxPicturePixels;
}

// ---- JPEG through libjpeg --------------------------------------------------------------------
// A decoder failure jumps back with longjmp. The function holding setjmp keeps no object with a
// destructor in its frame, and the picture memory is taken in a separate function, so the jump
// skips nothing that needs cleaning up beyond jpeg_destroy_decompress.

struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int first_warning = 0;  // message number of the decoder's first warning, 0 for none
};

extern "C" void JpegErrorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  std::longjmp(manager->jump, 1);
}

// Warnings (a file cut short in the scan, stray bytes) do not stop the decoding: the decoder
// fills what is missing with grey and the picture stays usable. The first one is kept, so that
// the user can be told the photograph is incomplete.
extern "C" void JpegMessage(j_common_ptr cinfo, int level) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  if (level < 0 && manager->first_warning == 0) manager->first_warning = cinfo->err->msg_code;
}

struct JpegTarget {
  QImage image;
  int declared_width = 0, declared_height = 0;
  int warning = 0;  // the decoder's first warning
};

enum : int { kJpegOk = 0, kJpegTooLarge = -1, kJpegNoMemory = -2 };

bool DenseEnough(std::int64_t width, std::int64_t height, std::size_t file_bytes) {
  return width * height <= std::int64_t(file_bytes) * kMaxPixelsPerFileByte;
}

void FreePixels(void* pixels) { std::free(pixels); }

// Pixel memory for a large picture: aligned to 2 MB and marked for huge pages, so that the first
// write of a 24-MP picture takes some fifty page faults instead of twenty-five thousand (those
// faults cost more than half the decoding time otherwise).
QImage AllocateRgb32(int width, int height) {
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  const std::size_t line = static_cast<std::size_t>(width) * 4;
  const std::size_t size =
      (line * static_cast<std::size_t>(height) + kHugePage - 1) / kHugePage * kHugePage;
  void* pixels = nullptr;
  if (posix_memalign(&pixels, kHugePage, size) != 0) return {};
  madvise(pixels, size, MADV_HUGEPAGE);  // advice only: without huge pages it still works
  return QImage(static_cast<uchar*>(pixels), width, height, static_cast<qsizetype>(line),
                QImage::Format_RGB32, FreePixels, pixels);
}

bool AllocateJpegTarget(JpegTarget* target, JDIMENSION width, JDIMENSION height) {
  target->declared_width = static_cast<int>(width);
  target->declared_height = static_cast<int>(height);
  if (!Acceptable(width, height)) return false;
  target->image = AllocateRgb32(static_cast<int>(width), static_cast<int>(height));
  return !target->image.isNull();
}

JSAMPROW JpegRow(JpegTarget* target, JDIMENSION row) {
  return reinterpret_cast<JSAMPROW>(target->image.scanLine(static_cast<int>(row)));
}

int DecodeJpegInto(const std::uint8_t* data, std::size_t size, JpegTarget* target) {
  jpeg_decompress_struct cinfo;
  JpegErrorManager errors;
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = JpegErrorExit;
  errors.pub.emit_message = JpegMessage;
  if (setjmp(errors.jump)) {
    const int code = errors.pub.msg_code;
    jpeg_destroy_decompress(&cinfo);
    return code;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  // Four bytes per pixel in the order of QImage::Format_RGB32 on a little-endian machine, so rows
  // are decoded straight into the picture.
  cinfo.out_color_space = JCS_EXT_BGRX;
  target->declared_width = static_cast<int>(cinfo.image_width);
  target->declared_height = static_cast<int>(cinfo.image_height);
  // Whatever the coding (Huffman or arithmetic), before the picture memory is taken.
  if (!Acceptable(cinfo.image_width, cinfo.image_height) ||
      !DenseEnough(cinfo.image_width, cinfo.image_height, size)) {
    jpeg_destroy_decompress(&cinfo);
    return kJpegTooLarge;
  }
  if (!AllocateJpegTarget(target, cinfo.image_width, cinfo.image_height)) {
    const bool too_large = !Acceptable(cinfo.image_width, cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    return too_large ? kJpegTooLarge : kJpegNoMemory;
  }
  jpeg_start_decompress(&cinfo);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[16];
    const JDIMENSION count = std::min<JDIMENSION>(16, cinfo.output_height - cinfo.output_scanline);
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = JpegRow(target, cinfo.output_scanline + i);
    jpeg_read_scanlines(&cinfo, rows, count);
  }
  jpeg_finish_decompress(&cinfo);
  target->warning = errors.first_warning;
  jpeg_destroy_decompress(&cinfo);
  return kJpegOk;
}

// ---- Other formats ------------------------------------------------------------------------------

QImage Painterly(QImage image) {
  if (image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return image.convertToFormat(QImage::Format_RGB32);
}

// Reads with Qt's decoder of `format` after checking the declared size; null when it fails.
QImage ReadWithQt(const std::vector<std::uint8_t>& bytes, const char* format) {
  QByteArray array = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&array);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  const QSize size = reader.size();
  if (size.isValid()) CheckDeclaredSize(size.width(), size.height(), bytes.size());
  // Our own limit is the one that counts; Qt's default would refuse a 24-MP picture's big
  // brothers with a vaguer message.
  QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024) + 1));
  QImage image = reader.read();
  if (image.isNull()) return image;
  return Painterly(std::move(image));
}

std::vector<std::uint8_t> ReadFileBytes(const QString& path) {
  const std::string name = path.toStdString();
  // A folder opens like a file here, and its "size" would be taken for the picture's.
  if (QFileInfo(path).isDir()) {
    throw EPictureError(QFileInfo(path).fileName().toStdString() +
                        " est un dossier, pas une image");
  }
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) throw EInOutError::FromErrno(errno, name);
  // One read of the whole file: a photograph is read once and decoded from memory.
  std::vector<std::uint8_t> bytes;
  bool failed = std::fseek(f, 0, SEEK_END) != 0;
  const long size = failed ? -1 : std::ftell(f);
  failed = failed || size < 0 || std::fseek(f, 0, SEEK_SET) != 0;
  if (!failed) {
    bytes.resize(static_cast<std::size_t>(size));
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    failed = std::ferror(f) != 0;
  }
  const int error = errno;
  std::fclose(f);
  if (failed) throw EInOutError::FromErrno(error, name);
  return bytes;
}

}  // namespace

void CheckDeclaredSize(std::int64_t width, std::int64_t height, std::size_t file_bytes) {
  if (!Acceptable(width, height)) TooLarge(width, height);
  if (!DenseEnough(width, height, file_bytes)) {
    throw EPictureError("Image incomplète (" + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels déclarés pour " +
                        std::to_string(file_bytes) + " octets)");
  }
}

QImage DecodeJpeg(const std::uint8_t* data, std::size_t size) {
  JpegTarget target;
  const int code = DecodeJpegInto(data, size, &target);
  if (code == kJpegTooLarge) {
    CheckDeclaredSize(target.declared_width, target.declared_height, size);
    TooLarge(target.declared_width, target.declared_height);
  }
  if (code == kJpegNoMemory) throw EPictureError("Mémoire insuffisante pour l'image");
  if (code != kJpegOk) throw EPictureError(FormatMessage("Erreur JPEG #%d", code));
  if (target.warning != 0)
    target.image.setText(kPictureWarningKey,
                         QString::fromStdString(FormatMessage("Erreur JPEG #%d", target.warning)));
  return std::move(target.image);
}

QImage DecodeBitmap(const std::vector<std::uint8_t>& bytes) {
  // The declared size, checked before the decoder takes memory for it.
  constexpr std::size_t kInfoAt = 14;
  std::uint64_t pixel_bytes_end = 0;  // where uncompressed pixels end; 0 when unknown
  if (bytes.size() >= kInfoAt + 16) {
    const auto u32 = [&bytes](std::size_t i) {
      return static_cast<std::uint32_t>(bytes[i] | (bytes[i + 1] << 8) | (bytes[i + 2] << 16) |
                                        (static_cast<std::uint32_t>(bytes[i + 3]) << 24));
    };
    const std::uint32_t header = u32(kInfoAt);
    if (header >= 40 && bytes.size() >= kInfoAt + 20) {
      const std::int64_t width = static_cast<std::int32_t>(u32(kInfoAt + 4));
      const std::int64_t height =
          std::abs(std::int64_t{static_cast<std::int32_t>(u32(kInfoAt + 8))});
      const unsigned bits = bytes[kInfoAt + 14] | (bytes[kInfoAt + 15] << 8);
      const std::uint32_t compression = u32(kInfoAt + 16);
      if (width > 0 && height != 0) {
        CheckDeclaredSize(width, height, bytes.size());
        // Uncompressed rows (plain or with bit-field masks) have a size known from the header.
        if ((compression == 0 || compression == 3) && bits > 0 && bits <= 32) {
          const std::uint64_t row = (std::uint64_t(width) * bits + 31) / 32 * 4;
          pixel_bytes_end = u32(10) + row * std::uint64_t(height);
        }
      }
    }
  }
  QImage image = ReadWithQt(bytes, "bmp");
  if (image.isNull()) throw EPictureError("Image bitmap incorrecte");
  // The decoder fills missing rows without a word: say that the picture is cut short.
  if (pixel_bytes_end > bytes.size()) image.setText(kPictureWarningKey, "Image bitmap incomplète");
  return image;
}

QImage DecodeIcon(const std::vector<std::uint8_t>& bytes) {
  QImage image = ReadWithQt(bytes, "ico");
  if (image.isNull()) throw EPictureError("Icône incorrecte");
  return image;
}

namespace {

bool TiffReadable() { return QImageReader::supportedImageFormats().contains("tiff"); }

// A PNG or TIFF through Qt's decoder. A file cut short or damaged anywhere gives no picture:
// the decoders do not say how much of it they read.
QImage DecodeWithQt(const std::vector<std::uint8_t>& bytes, const char* format,
                    const char* damaged) {
  QImage image = ReadWithQt(bytes, format);
  if (image.isNull()) throw EPictureError(damaged);
  return image;
}

}  // namespace

QStringList PictureExtensions() {
  QStringList extensions{"bmp", "jpg", "jpeg", "png"};
  if (TiffReadable())
    extensions << "tif"
               << "tiff";
  extensions << "ico"
             << "wmf"
             << "emf";
  return extensions;
}

QStringList PictureFileFilters() {
  // Both letter cases: the dialog compares names as the file system does.
  const auto patterns = [](const QStringList& extensions) {
    QStringList list;
    for (const QString& e : extensions) list << "*." + e << "*." + e.toUpper();
    return list.join(' ');
  };
  QStringList filters{"Photographies (" + patterns(PictureExtensions()) + ")",
                      "JPEG (" + patterns({"jpg", "jpeg"}) + ")",
                      "PNG (" + patterns({"png"}) + ")"};
  if (TiffReadable()) filters << "TIFF (" + patterns({"tif", "tiff"}) + ")";
  filters << "Bitmap (" + patterns({"bmp"}) + ")"
          << "Tous les fichiers (*)";
  return filters;
}

QImage LoadPicture(const QString& path) {
  const QString extension = QFileInfo(path).suffix();
  const QString lower = extension.toLower();
  const bool tiff = lower == "tif" || lower == "tiff";
  if (tiff && !TiffReadable()) {
    throw EPictureError("Format TIFF non pris en charge (greffon d'images TIFF de Qt absent)");
  }
  if (!tiff && !PictureExtensions().contains(lower)) {
    throw EPictureError("Extension de fichier image inconnue (." + extension.toStdString() + ")");
  }
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  if (lower == "jpg" || lower == "jpeg") return DecodeJpeg(bytes.data(), bytes.size());
  if (lower == "bmp") return DecodeBitmap(bytes);
  if (lower == "png") return DecodeWithQt(bytes, "png", "Image PNG incorrecte");
  if (tiff) return DecodeWithQt(bytes, "tiff", "Image TIFF incorrecte");
  if (lower == "ico") return DecodeIcon(bytes);
  const std::vector<std::uint8_t> bmp =
      lower == "wmf" ? BitmapFromWmf(bytes) : BitmapFromEmf(bytes);
  QImage image = ReadWithQt(bmp, "bmp");
  if (image.isNull()) throw EMetafileError(kMetafileDamagedMessage);
  return image;
}

}  // namespace vistrel
