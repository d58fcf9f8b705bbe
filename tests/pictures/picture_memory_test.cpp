#include <gtest/gtest.h>
#include <unistd.h>

#include <QString>
#include <cstdio>
#include <string>
#include <vector>

#include "picture_test_support.h"
#include "pictures/grey_picture.h"
#include "pictures/picture_loader.h"

namespace vistrel {
namespace {

void Put32Be(std::string& b, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b += static_cast<char>((v >> shift) & 0xFF);
}

std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char ch : bytes) {
    crc ^= static_cast<std::uint8_t>(ch);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Chunk(std::string& png, const std::string& type, const std::string& data) {
  Put32Be(png, static_cast<std::uint32_t>(data.size()));
  png += type + data;
  Put32Be(png, Crc32(type + data));
}

// A PNG declaring width x height at the given depth and colour type, with a private ancillary
// chunk of `padding` bytes (so that the file is large enough for its size) and pixel data that
// stops at once.
std::string PngDeclaring(std::uint32_t width, std::uint32_t height, int depth, int colour,
                         std::size_t padding) {
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  Put32Be(header, width);
  Put32Be(header, height);
  header += static_cast<char>(depth);
  header += static_cast<char>(colour);
  header += std::string(3, '\0');
  Chunk(png, "IHDR", header);
  Chunk(png, "vsTl", std::string(padding, 'x'));
  Chunk(png, "IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
  Chunk(png, "IEND", "");
  return png;
}

std::string LoadError(const std::string& path) {
  try {
    LoadPicture(QString::fromStdString(path));
    LoadGreyPicture(path);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

// What goes to the standard error while `f` runs.
template <typename F>
std::string StandardErrorOf(const F& f) {
  testing::TempDir dir;
  std::fflush(stderr);
  const int saved = dup(2);
  std::FILE* capture = std::fopen(dir.File("err").c_str(), "w");
  dup2(fileno(capture), 2);
  f();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::fclose(capture);
  return testing::ReadBytes(dir.File("err"));
}

// Over the limit, whatever the bit depth: the pixel limit for 8 bits per channel, the memory of
// the decoded picture for 16 (14000 x 14000 at 8 bytes a pixel is 1.6 GB); refused before any
// pixel is decoded, and in the same words. Below both, the picture is read (and these have no
// pixels).
TEST(PictureMemory, OversizedPicturesAreTooLargeWhateverTheirDepth) {
  struct Case {
    std::uint32_t width, height;
    int depth, colour;
    const char* error;
  };
  const Case cases[] = {
      {20000, 20000, 8, 0, "Image trop grande (20000 x 20000 pixels)"},
      {14000, 14000, 16, 6, "Image trop grande (14000 x 14000 pixels)"},
      {14000, 14000, 16, 2, "Image trop grande (14000 x 14000 pixels)"},
      {14000, 14000, 8, 0, "Image PNG incorrecte"},
      {14000, 14000, 16, 0, "Image PNG incorrecte"},
  };
  testing::TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.File("big.png");
    testing::WriteBytes(path, PngDeclaring(c.width, c.height, c.depth, c.colour, 120000));
    std::string error;
    const std::string said = StandardErrorOf([&] { error = LoadError(path); });
    EXPECT_EQ(error, c.error) << c.depth << " " << c.colour;
    EXPECT_EQ(said, "") << c.depth << " " << c.colour;
  }
}

// A TIFF with a tag libtiff does not know: it loads, the decoder's complaint is kept as the
// picture's warning in the program's words, and nothing reaches the standard error.
TEST(PictureMemory, DecoderWarningsAreKeptNotPrinted) {
  // Little-endian TIFF, 4 x 2 grey pixels, uncompressed, one strip, and private tag 65000.
  std::string tiff = "II";
  const auto u16 = [&tiff](unsigned v) {
    tiff += static_cast<char>(v & 0xFF);
    tiff += static_cast<char>(v >> 8);
  };
  const auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const std::string pixels = {0,  50, 100, 127, static_cast<char>(200), static_cast<char>(255),
                              10, 20};
  u16(42);
  u32(8 + static_cast<std::uint32_t>(pixels.size()));  // the directory after the pixels
  tiff += pixels;
  const std::uint32_t entries[][3] = {{256, 3, 4}, {257, 3, 2},  {258, 3, 8}, {259, 3, 1},
                                      {262, 3, 1}, {273, 4, 8},  {277, 3, 1}, {278, 3, 2},
                                      {279, 4, 8}, {65000, 3, 7}};
  u16(static_cast<unsigned>(std::size(entries)));
  for (const auto& e : entries) {
    u16(e[0]);
    u16(e[1]);
    u32(1);
    if (e[1] == 3) {
      u16(e[2]);
      u16(0);
    } else {
      u32(e[2]);
    }
  }
  u32(0);
  testing::TempDir dir;
  const std::string path = dir.File("tagged.tif");
  testing::WriteBytes(path, tiff);
  QImage picture;
  GreyPicture grey;
  const std::string said = StandardErrorOf([&] {
    picture = LoadPicture(QString::fromStdString(path));
    grey = LoadGreyPicture(path);
  });
  EXPECT_EQ(said, "");
  ASSERT_EQ(picture.width(), 4);
  EXPECT_EQ(picture.text(kPictureWarningKey).toStdString(), kDecoderWarningMessage);
  EXPECT_EQ(grey.warning, kDecoderWarningMessage);
  ASSERT_EQ(grey.grey.size(), pixels.size());
  for (std::size_t k = 0; k < pixels.size(); ++k) {
    EXPECT_EQ(grey.grey[k], static_cast<std::uint8_t>(pixels[k])) << k;
  }
}

}  // namespace
}  // namespace vistrel
