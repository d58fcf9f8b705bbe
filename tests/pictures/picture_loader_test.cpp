#include "pictures/picture_loader.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <filesystem>

#include "metafile_samples.h"
#include "picture_test_support.h"
#include "pictures/metafile.h"
#include "tests/support/temp_dir.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::WriteBytes;

std::string LoadError(const fs::path& path) {
  try {
    LoadPicture(QString::fromStdString(path.string()));
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

// A valid JPEG with its frame header's size rewritten.
std::string JpegDeclaring(std::uint16_t width, std::uint16_t height) {
  std::string bytes = ReadBytes(testing::SourceDir() / "examples/left.jpg");
  for (std::size_t i = 0; i + 8 < bytes.size(); ++i) {
    if (bytes[i] == '\xFF' && (bytes[i + 1] == '\xC0' || bytes[i + 1] == '\xC2')) {
      bytes[i + 5] = static_cast<char>(height >> 8);
      bytes[i + 6] = static_cast<char>(height & 0xFF);
      bytes[i + 7] = static_cast<char>(width >> 8);
      bytes[i + 8] = static_cast<char>(width & 0xFF);
      break;
    }
  }
  return bytes;
}

TEST(PictureLoader, FormatsFollowTheExtensionWhateverItsCase) {
  testing::ScratchDirectory dir;
  const fs::path jpeg = testing::SourceDir() / "examples/left.jpg";
  fs::copy_file(jpeg, dir.path() / "LEFT.JPG");
  fs::copy_file(jpeg, dir.path() / "left.Jpeg");
  QImage sample(7, 5, QImage::Format_RGB32);
  sample.fill(QColor(10, 200, 30));
  ASSERT_TRUE(sample.save(QString::fromStdString((dir.path() / "s.BMP").string()), "BMP"));
  ASSERT_TRUE(sample.save(QString::fromStdString((dir.path() / "s.ico").string()), "ICO"));
  ASSERT_TRUE(sample.save(QString::fromStdString((dir.path() / "s.Png").string()), "PNG"));
  ASSERT_TRUE(sample.save(QString::fromStdString((dir.path() / "s.TIF").string()), "TIFF"));
  ASSERT_TRUE(sample.save(QString::fromStdString((dir.path() / "s.tiff").string()), "TIFF"));
  WriteBytes(dir.path() / "s.emf", testing::SampleEmf());
  WriteBytes(dir.path() / "s.WMF", testing::SampleWmf());

  struct Case {
    const char* name;
    int width, height;
  } cases[] = {{"LEFT.JPG", 1600, 1200}, {"left.Jpeg", 1600, 1200}, {"s.BMP", 7, 5},
               {"s.Png", 7, 5},          {"s.TIF", 7, 5},           {"s.tiff", 7, 5},
               {"s.ico", 7, 5},          {"s.emf", 2, 2},           {"s.WMF", 2, 2}};
  // Every extension the open dialog offers is in the table, and loads.
  QStringList offered = PictureExtensions();
  for (const Case& c : cases) offered.removeAll(QFileInfo(c.name).suffix().toLower());
  EXPECT_TRUE(offered.isEmpty()) << qPrintable(offered.join(' '));
  EXPECT_TRUE(PictureFileFilters().first().contains("*.tif *.TIF"));
  for (const Case& c : cases) {
    const QImage image = LoadPicture(QString::fromStdString((dir.path() / c.name).string()));
    EXPECT_EQ(image.width(), c.width) << c.name;
    EXPECT_EQ(image.height(), c.height) << c.name;
    EXPECT_TRUE(image.format() == QImage::Format_RGB32 ||
                image.format() == QImage::Format_ARGB32_Premultiplied)
        << c.name;
  }
  // The metafiles' bitmap: red, blue over green, white.
  for (const char* name : {"s.emf", "s.WMF"}) {
    const QImage image = LoadPicture(QString::fromStdString((dir.path() / name).string()));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 0, 0)) << name;
    EXPECT_EQ(image.pixelColor(1, 0), QColor(0, 0, 255)) << name;
    EXPECT_EQ(image.pixelColor(0, 1), QColor(0, 255, 0)) << name;
    EXPECT_EQ(image.pixelColor(1, 1), QColor(255, 255, 255)) << name;
  }
  for (const char* name : {"s.BMP", "s.Png", "s.TIF"}) {
    EXPECT_EQ(LoadPicture(QString::fromStdString((dir.path() / name).string())).pixelColor(3, 2),
              QColor(10, 200, 30))
        << name;
  }
}

TEST(PictureLoader, JpegDecodesLikeTheReferenceDecoder) {
  // Qt's own JPEG plugin wraps the same library: the pixels must agree exactly.
  const fs::path jpeg = testing::SourceDir() / "examples/right.jpg";
  const QImage ours = LoadPicture(QString::fromStdString(jpeg.string()));
  const QImage theirs =
      QImage(QString::fromStdString(jpeg.string()), "JPG").convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(theirs.isNull());
  EXPECT_EQ(ours, theirs);
}

TEST(PictureLoader, DamagedFilesGiveTheirMessages) {
  testing::ScratchDirectory dir;
  const std::string good = ReadBytes(testing::SourceDir() / "examples/left.jpg");
  WriteBytes(dir.path() / "text.jpg", "not a JPEG");
  WriteBytes(dir.path() / "empty.jpg", "");
  WriteBytes(dir.path() / "header.jpg", good.substr(0, 120));
  WriteBytes(dir.path() / "bad.bmp",
             std::string{'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  WriteBytes(dir.path() / "bad.ico", std::string{0, 0, 1, 0, 1, 0, 9, 9});
  WriteBytes(dir.path() / "huge.jpg", JpegDeclaring(60000, 50000));
  std::vector<std::uint8_t> bmp = {'B', 'M'};
  for (std::uint32_t v : {0u, 0u, 54u, 40u, 100000u, 100000u}) testing::Put32(bmp, v);
  testing::Put16(bmp, 1);
  testing::Put16(bmp, 24);
  for (int i = 0; i < 6; ++i) testing::Put32(bmp, 0);
  WriteBytes(dir.path() / "huge.bmp", bmp);
  // 66 bytes declaring 10000 x 10000: a header with next to no pixels.
  std::vector<std::uint8_t> cut = {'B', 'M'};
  for (std::uint32_t v : {66u, 0u, 54u, 40u, 10000u, 10000u}) testing::Put32(cut, v);
  testing::Put16(cut, 1);
  testing::Put16(cut, 24);
  for (int i = 0; i < 6; ++i) testing::Put32(cut, 0);
  cut.resize(66, 0x7F);
  WriteBytes(dir.path() / "cut.bmp", cut);
  // An arithmetic-coded frame (no floor on the bits per block) declaring 14000 x 14000.
  std::string arith = "\xFF\xD8\xFF\xC9";
  arith += std::string("\x00\x0B\x08\x36\xB0\x36\xB0\x01\x01\x11\x00", 11);
  arith += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
  arith += std::string(96, '\x55') + "\xFF\xD9";
  WriteBytes(dir.path() / "arith.jpg", arith);
  fs::create_directory(dir.path() / "folder.jpg");
  WriteBytes(dir.path() / "photo.gif", "\1\2\3");
  WriteBytes(dir.path() / "bad.png", "\x89PNG\r\n\x1a\nnot the rest");
  WriteBytes(dir.path() / "bad.tif", "II*\0garbage");
  // Cut short in the pixels.
  QImage noise(300, 200, QImage::Format_RGB32);
  for (int y = 0; y < noise.height(); ++y) {
    for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, qRgb(x * 7, y * 13, x ^ y));
  }
  for (const char* format : {"png", "tif"}) {
    const QString whole = QString::fromStdString((dir.path() / "whole.").string()) + format;
    ASSERT_TRUE(noise.save(whole));
    const std::string bytes = ReadBytes(whole.toStdString());
    WriteBytes(dir.path() / (std::string("cut.") + format), bytes.substr(0, bytes.size() / 2));
  }
  // A PNG header declaring 10000 x 10000 pixels, with its checksum, and an empty data chunk.
  std::vector<std::uint8_t> giant(
      {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
  for (const std::uint8_t b : {0, 0, 0x27, 0x10, 0, 0, 0x27, 0x10, 8, 2, 0, 0, 0})
    giant.push_back(b);
  for (const std::uint8_t b : {0x35, 0x2C, 0xF5, 0x70}) giant.push_back(b);
  for (const std::uint8_t b :
       std::initializer_list<std::uint8_t>{0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E})
    giant.push_back(b);
  WriteBytes(dir.path() / "giant.png", giant);
  WriteBytes(dir.path() / "noextension", "\1\2\3");
  WriteBytes(dir.path() / "empty.emf", testing::SampleEmf(false));

  struct Case {
    const char* name;
    std::string message;
  } cases[] = {
      {"text.jpg", "Erreur JPEG #53"},
      {"empty.jpg", "Erreur JPEG #42"},
      {"bad.bmp", "Image bitmap incorrecte"},
      {"bad.ico", "Icône incorrecte"},
      {"huge.jpg", "Image trop grande (60000 x 50000 pixels)"},
      {"huge.bmp", "Image trop grande (100000 x 100000 pixels)"},
      {"cut.bmp", "Image incomplète (10000 x 10000 pixels déclarés pour 66 octets)"},
      {"arith.jpg", "Image incomplète (14000 x 14000 pixels déclarés pour 123 octets)"},
      {"folder.jpg", "folder.jpg est un dossier, pas une image"},
      {"photo.gif", "Extension de fichier image inconnue (.gif)"},
      {"bad.png", "Image PNG incorrecte"},
      {"cut.png", "Image PNG incorrecte"},
      {"giant.png", "Image incomplète (10000 x 10000 pixels déclarés pour 45 octets)"},
      {"bad.tif", "Image TIFF incorrecte"},
      {"cut.tif", "Image TIFF incorrecte"},
      {"noextension", "Extension de fichier image inconnue (.)"},
      {"empty.emf", kMetafileNoBitmapMessage},
      {"missing.jpg", "Fichier introuvable"},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadError(dir.path() / c.name), c.message) << c.name;
  // Cut inside the header: the decoder's own number, whatever it is.
  EXPECT_EQ(LoadError(dir.path() / "header.jpg").rfind("Erreur JPEG #", 0), 0u);
}

TEST(PictureLoader, JpegCutInTheScanStillLoads) {
  // The decoder fills the missing rows and only warns: the photograph is shown.
  testing::ScratchDirectory dir;
  const std::string bytes = ReadBytes(testing::SourceDir() / "examples/left.jpg");
  WriteBytes(dir.path() / "half.jpg", bytes.substr(0, bytes.size() / 2));
  const QImage image = LoadPicture(QString::fromStdString((dir.path() / "half.jpg").string()));
  EXPECT_EQ(image.size(), QSize(1600, 1200));
  // ... and says it is incomplete, which a whole photograph does not.
  EXPECT_TRUE(image.text(kPictureWarningKey).startsWith("Erreur JPEG #"))
      << qPrintable(image.text(kPictureWarningKey));
  const QImage whole =
      LoadPicture(QString::fromStdString((testing::SourceDir() / "examples/left.jpg").string()));
  EXPECT_TRUE(whole.text(kPictureWarningKey).isEmpty());
  // A bitmap whose rows stop early loads too, with its warning.
  QImage sample(100, 80, QImage::Format_RGB32);
  sample.fill(QColor(10, 200, 30));
  const QString bmp = QString::fromStdString((dir.path() / "whole.bmp").string());
  ASSERT_TRUE(sample.save(bmp, "BMP"));
  EXPECT_TRUE(LoadPicture(bmp).text(kPictureWarningKey).isEmpty());
  const std::string bmp_bytes = ReadBytes(bmp.toStdString());
  WriteBytes(dir.path() / "half.bmp", bmp_bytes.substr(0, bmp_bytes.size() / 2));
  const QImage half_bmp = LoadPicture(QString::fromStdString((dir.path() / "half.bmp").string()));
  EXPECT_EQ(half_bmp.size(), QSize(100, 80));
  EXPECT_EQ(half_bmp.text(kPictureWarningKey), "Image bitmap incomplète");
}

}  // namespace
}  // namespace vistrel
