#include "ui/pictures/picture_loader.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "metafile_samples.h"
#include "tests/support/temp_dir.h"
#include "ui/pictures/metafile.h"
#include "window_test_support.h"

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
  WriteBytes(dir.path() / "s.emf", testing::SampleEmf());
  WriteBytes(dir.path() / "s.WMF", testing::SampleWmf());

  struct Case {
    const char* name;
    int width, height;
  } cases[] = {{"LEFT.JPG", 1600, 1200}, {"left.Jpeg", 1600, 1200}, {"s.BMP", 7, 5},
               {"s.ico", 7, 5},          {"s.emf", 2, 2},           {"s.WMF", 2, 2}};
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
  EXPECT_EQ(LoadPicture(QString::fromStdString((dir.path() / "s.BMP").string())).pixelColor(3, 2),
            QColor(10, 200, 30));
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
  WriteBytes(dir.path() / "photo.tif", "\1\2\3");
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
      {"photo.tif", "Extension de fichier image inconnue (.tif)"},
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
}

}  // namespace
}  // namespace vistrel
