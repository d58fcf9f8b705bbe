#pragma once

// Shared by the libFuzzer executables and the replay test. Each *_fuzz.cpp defines one entry
// function in vistrel::fuzz; built with VISTREL_LIBFUZZER it also becomes the program's
// LLVMFuzzerTestOneInput, otherwise the replay test calls it directly.
//
// An entry returns 0 for every input. The errors a reader documents for bad input are caught
// there; anything else escapes (a crash for libFuzzer, a failure for the replay test), and so
// does a broken invariant reported by Require.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace vistrel::fuzz {

using Entry = int (*)(const std::uint8_t* data, std::size_t size);

int ControlPointReader(const std::uint8_t* data, std::size_t size);
int GeometryReader(const std::uint8_t* data, std::size_t size);
int SettingsReader(const std::uint8_t* data, std::size_t size);
int NumberConversions(const std::uint8_t* data, std::size_t size);
int ProjectReader(const std::uint8_t* data, std::size_t size);
int CoordinateListReader(const std::uint8_t* data, std::size_t size);
int JpegDecoder(const std::uint8_t* data, std::size_t size);
int BitmapDecoder(const std::uint8_t* data, std::size_t size);
int IconDecoder(const std::uint8_t* data, std::size_t size);
int MetafileDecoder(const std::uint8_t* data, std::size_t size);

class InvariantBroken : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

inline void Require(bool condition, const std::string& what) {
  if (!condition) throw InvariantBroken(what);
}

// An exception's text ends at its first NUL, so an expected message quoting input bytes is
// compared up to there.
inline std::string UpToNul(const std::string& text) { return text.substr(0, text.find('\0')); }

// Saved reals carry 15 significant digits; subnormals less.
inline bool SameToFifteenDigits(double a, double b) {
  return std::fabs(a - b) <= std::fabs(a) * 1e-14 + 1e-322;
}

// A scratch file for readers that take a path, one per name and process, in a private directory
// (tests/support/temp_dir.h). The input is written to it whole before every run.
std::string ScratchFile(const char* name);
void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size);

}  // namespace vistrel::fuzz

#ifdef VISTREL_LIBFUZZER
#define VISTREL_FUZZ_MAIN(entry)                                                      \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    return entry(data, size);                                                         \
  }
#else
#define VISTREL_FUZZ_MAIN(entry)
#endif
