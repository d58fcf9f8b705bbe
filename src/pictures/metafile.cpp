#include "pictures/metafile.h"

#include <cstdlib>
#include <cstring>

namespace vistrel {
namespace {

std::uint32_t U32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::int32_t I32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }

[[noreturn]] void Damaged() { throw EMetafileError(kMetafileDamagedMessage); }

// Bytes of the header, bit masks and colour table at the start of a packed bitmap.
std::size_t DibInfoSize(const std::uint8_t* dib, std::size_t size) {
  if (size < 12) Damaged();
  const std::uint32_t header = U32(dib);
  if (header == 12) {
    const unsigned bits = U16(dib + 10);
    return 12 + (bits <= 8 ? 3u << bits : 0u);
  }
  if (header < 40 || header > size) Damaged();
  const unsigned bits = U16(dib + 14);
  const std::uint32_t compression = U32(dib + 16);
  std::uint32_t colors = U32(dib + 32);
  if (colors == 0 && bits <= 8) colors = 1u << bits;
  if (colors > 256 && bits <= 8) Damaged();
  std::size_t masks = 0;
  if (header == 40 && compression == 3) masks = 12;  // BI_BITFIELDS
  if (header == 40 && compression == 6) masks = 16;  // BI_ALPHABITFIELDS
  return header + masks + std::size_t{colors} * 4;
}

struct Candidate {
  const std::uint8_t* info = nullptr;
  std::size_t info_size = 0;
  const std::uint8_t* bits = nullptr;
  std::size_t bits_size = 0;
  std::int64_t area = -1;
};

std::int64_t DibArea(const std::uint8_t* info, std::size_t info_size) {
  if (info_size < 12) Damaged();
  if (U32(info) == 12) return std::int64_t{U16(info + 4)} * U16(info + 6);
  if (info_size < 40) Damaged();
  return std::llabs(std::int64_t{I32(info + 4)} * I32(info + 8));
}

void Consider(Candidate& best, const std::uint8_t* info, std::size_t info_size,
              const std::uint8_t* bits, std::size_t bits_size) {
  const std::int64_t area = DibArea(info, info_size);
  if (area > best.area) best = {info, info_size, bits, bits_size, area};
}

std::vector<std::uint8_t> Finish(const Candidate& best) {
  if (best.area < 0) throw EMetafileError(kMetafileNoBitmapMessage);
  std::vector<std::uint8_t> dib(best.info, best.info + best.info_size);
  dib.insert(dib.end(), best.bits, best.bits + best.bits_size);
  return BmpFileFromDib(dib.data(), dib.size(), best.info_size);
}

}  // namespace

std::vector<std::uint8_t> BmpFileFromDib(const std::uint8_t* dib, std::size_t dib_size,
                                         std::size_t bits_offset) {
  if (bits_offset > dib_size || bits_offset < 12) Damaged();
  const std::uint32_t file_size = static_cast<std::uint32_t>(14 + dib_size);
  const std::uint32_t off_bits = static_cast<std::uint32_t>(14 + bits_offset);
  std::vector<std::uint8_t> bmp(14);
  bmp[0] = 'B';
  bmp[1] = 'M';
  for (int i = 0; i < 4; ++i) {
    bmp[2 + i] = static_cast<std::uint8_t>(file_size >> (8 * i));
    bmp[10 + i] = static_cast<std::uint8_t>(off_bits >> (8 * i));
  }
  bmp.insert(bmp.end(), dib, dib + dib_size);
  return bmp;
}

std::vector<std::uint8_t> BitmapFromEmf(const std::vector<std::uint8_t>& file) {
  const std::size_t n = file.size();
  const std::uint8_t* d = file.data();
  constexpr std::uint32_t kHeader = 1, kEof = 14, kBitBlt = 76, kStretchBlt = 77,
                          kSetDiBitsToDevice = 80, kStretchDiBits = 81;
  constexpr std::uint32_t kSignature = 0x464D4520;  // " EMF"
  if (n < 88 || U32(d) != kHeader || U32(d + 40) != kSignature) Damaged();
  Candidate best;
  std::size_t pos = 0;
  while (pos + 8 <= n) {
    const std::uint32_t type = U32(d + pos);
    const std::uint32_t size = U32(d + pos + 4);
    if (size < 8 || size % 4 != 0 || size > n - pos) Damaged();
    const std::uint8_t* r = d + pos;
    // Offsets of offBmiSrc within each record kind; the three sizes follow it.
    std::size_t at = 0;
    if (type == kStretchDiBits || type == kSetDiBitsToDevice) at = 48;
    if (type == kBitBlt || type == kStretchBlt) at = 84;
    if (at != 0 && size >= at + 16) {
      const std::uint32_t off_bmi = U32(r + at), cb_bmi = U32(r + at + 4);
      const std::uint32_t off_bits = U32(r + at + 8), cb_bits = U32(r + at + 12);
      if (cb_bmi != 0) {
        if (off_bmi > size || cb_bmi > size - off_bmi || off_bits > size ||
            cb_bits > size - off_bits) {
          Damaged();
        }
        Consider(best, r + off_bmi, cb_bmi, r + off_bits, cb_bits);
      }
    }
    pos += size;
    if (type == kEof) break;
  }
  return Finish(best);
}

std::vector<std::uint8_t> BitmapFromWmf(const std::vector<std::uint8_t>& file) {
  const std::size_t n = file.size();
  const std::uint8_t* d = file.data();
  constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
  std::size_t pos = 0;
  if (n >= 22 && U32(d) == kPlaceableKey) pos = 22;
  if (n < pos + 18) Damaged();
  const std::uint16_t type = U16(d + pos), header_words = U16(d + pos + 2);
  if ((type != 1 && type != 2) || header_words != 9) Damaged();
  pos += 18;
  constexpr std::uint16_t kEof = 0x0000, kStretchDib = 0x0F43, kDibStretchBlt = 0x0B41,
                          kDibBitBlt = 0x0940, kSetDibToDev = 0x0D33;
  Candidate best;
  while (pos + 6 <= n) {
    const std::uint64_t size = std::uint64_t{U32(d + pos)} * 2;
    const std::uint16_t function = U16(d + pos + 4);
    if (function == kEof) break;
    if (size < 6 || size > n - pos) Damaged();
    // Bytes of parameters before the packed bitmap, by record kind; a blit record without a
    // bitmap is shorter than its header plus a bitmap header.
    std::size_t params = 0;
    if (function == kStretchDib) params = 22;
    if (function == kDibStretchBlt) params = 20;
    if (function == kDibBitBlt) params = 16;
    if (function == kSetDibToDev) params = 18;
    if (params != 0 && size >= 6 + params + 12) {
      const std::uint8_t* dib = d + pos + 6 + params;
      const std::size_t dib_size = size - 6 - params;
      const std::size_t info = DibInfoSize(dib, dib_size);
      if (info > dib_size) Damaged();
      Consider(best, dib, info, dib + info, dib_size - info);
    }
    pos += size;
  }
  return Finish(best);
}

}  // namespace vistrel
