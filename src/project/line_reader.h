#pragma once

// Text lines from a file or a stream, one at a time and with bounded memory: a line may hold at
// most kMaxLineLength bytes, so an endless line (a device such as /dev/zero, a file without any
// line break) is refused rather than read without limit.

#include <array>
#include <cstddef>
#include <iosfwd>
#include <limits>
#include <string>

#include "project/io_error.h"

namespace vistrel {

// A line longer than the reader takes. The message names the limit.
class ELineTooLong : public EReadLimit {
 public:
  using EReadLimit::EReadLimit;
};

class LineReader {
 public:
  // Longer than any line of numbers this program reads, short enough to hold in memory at once.
  static constexpr std::size_t kMaxLineLength = 4096;

  static constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

  // Reads the file at path, of at most `max_bytes` bytes (a file read whole into memory needs a
  // bound; one read as a stream does not). Throws EInOutError: a missing file, a folder ("Ceci
  // est un dossier, pas un fichier"), a file that cannot be opened.
  explicit LineReader(const std::string& path, std::size_t max_bytes = kUnbounded);
  // Reads the stream (not owned). A stream whose reading fails throws EInOutError "Erreur E/S".
  explicit LineReader(std::istream& in);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its end (LF, CR LF or a bare CR); false at the end of the input.
  // A last line without its end is a line; a byte-order mark at the start is skipped. Throws
  // ELineTooLong for a line of more than kMaxLineLength bytes and EReadLimit past `max_bytes`
  // (reading stops there), EInOutError when reading fails.
  bool Next(std::string& line);
  // The number of the line Next returned last, from 1; while Next throws, the line it was reading.
  int line_number() const { return line_number_; }

 private:
  // The next byte, or -1 at the end.
  int Get();
  int Peek();
  bool Fill();

  std::string path_;
  int fd_ = -1;
  std::istream* stream_ = nullptr;
  std::array<char, 65536> buffer_;
  std::size_t position_ = 0;
  std::size_t size_ = 0;
  std::size_t max_bytes_ = kUnbounded;
  std::size_t consumed_ = 0;  // bytes taken by Get, for max_bytes_
  int line_number_ = 0;
};

}  // namespace vistrel
