#pragma once

// Small metafiles carrying one 2 x 2 bitmap, built byte by byte for the loader tests.

#include <cstdint>
#include <vector>

namespace vistrel::testing {

inline void Put16(std::vector<std::uint8_t>& b, unsigned v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
inline void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A 2 x 2, 24-bit bottom-up bitmap: header (40 bytes) then pixels. Top row red, blue; bottom
// row green, white.
inline std::vector<std::uint8_t> SampleDibInfo() {
  std::vector<std::uint8_t> b;
  Put32(b, 40);
  Put32(b, 2);
  Put32(b, 2);
  Put16(b, 1);
  Put16(b, 24);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  return b;
}
inline std::vector<std::uint8_t> SampleDibBits() {
  // Rows of 6 bytes padded to 8, bottom row first, BGR.
  return {0, 255, 0,   255, 255, 255, 0, 0,   // green, white
          0, 0,   255, 255, 0,   0,   0, 0};  // red, blue
}

// An enhanced metafile: header, one EMR_STRETCHDIBITS, EOF. `damage` cuts the bitmap record's
// declared size so that it runs past the end of the file.
inline std::vector<std::uint8_t> SampleEmf(bool with_bitmap = true, bool damage = false) {
  std::vector<std::uint8_t> header;
  Put32(header, 1);                              // EMR_HEADER
  Put32(header, 88);                             // size
  for (int i = 0; i < 8; ++i) Put32(header, 0);  // bounds and frame
  Put32(header, 0x464D4520);                     // " EMF"
  while (header.size() < 88) header.push_back(0);

  std::vector<std::uint8_t> record;
  if (with_bitmap) {
    const auto info = SampleDibInfo();
    const auto bits = SampleDibBits();
    const std::uint32_t off_bmi = 80, off_bits = off_bmi + 40, size = off_bits + 16;
    Put32(record, 81);  // EMR_STRETCHDIBITS
    Put32(record, damage ? size + 400 : size);
    for (int i = 0; i < 4; ++i) Put32(record, 0);                         // bounds
    for (int i = 0; i < 6; ++i) Put32(record, i == 4 || i == 5 ? 2 : 0);  // dest, src, cx, cy
    Put32(record, off_bmi);
    Put32(record, 40);
    Put32(record, off_bits);
    Put32(record, 16);
    Put32(record, 0);           // DIB_RGB_COLORS
    Put32(record, 0x00CC0020);  // SRCCOPY
    Put32(record, 2);
    Put32(record, 2);
    record.insert(record.end(), info.begin(), info.end());
    record.insert(record.end(), bits.begin(), bits.end());
  } else {
    Put32(record, 27);  // EMR_MOVETOEX
    Put32(record, 16);
    Put32(record, 0);
    Put32(record, 0);
  }
  std::vector<std::uint8_t> eof;
  Put32(eof, 14);
  Put32(eof, 20);
  Put32(eof, 0);
  Put32(eof, 16);
  Put32(eof, 20);

  std::vector<std::uint8_t> file = header;
  file.insert(file.end(), record.begin(), record.end());
  file.insert(file.end(), eof.begin(), eof.end());
  return file;
}

// A placeable Windows metafile with one META_STRETCHDIB record.
inline std::vector<std::uint8_t> SampleWmf() {
  std::vector<std::uint8_t> b;
  Put32(b, 0x9AC6CDD7);
  for (int i = 0; i < 9; ++i) Put16(b, 0);  // handle, bounds, inch, reserved, checksum
  Put16(b, 1);                              // memory metafile
  Put16(b, 9);                              // header words
  Put16(b, 0x0300);
  Put32(b, 0);
  Put16(b, 0);
  Put32(b, 0);
  Put16(b, 0);
  const auto info = SampleDibInfo();
  const auto bits = SampleDibBits();
  const std::uint32_t bytes = 6 + 22 + 40 + 16;
  Put32(b, bytes / 2);
  Put16(b, 0x0F43);
  Put32(b, 0x00CC0020);
  for (int i = 0; i < 9; ++i) Put16(b, (i == 1 || i == 2 || i == 5 || i == 6) ? 2 : 0);
  b.insert(b.end(), info.begin(), info.end());
  b.insert(b.end(), bits.begin(), bits.end());
  Put32(b, 3);  // META_EOF
  Put16(b, 0);
  return b;
}

}  // namespace vistrel::testing
