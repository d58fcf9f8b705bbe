#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vistrel {

// Sequential, buffered reader of a project text file with the number rules both project files
// share: before a number every character with code 0 to 32 is skipped; the number's text runs up
// to the next such character or the end of the file; the end of the file in place of a number
// reads as 0. A byte-order mark at the start is skipped. Memory and time stay bounded whatever the
// file holds: a line may be at most kMaxLineLength bytes long and the file at most the
// reader's byte budget, or reading stops with EReadLimit naming the line. Every other failure
// is an EInOutError.
class TokenReader {
 public:
  static constexpr int kEnd = -1;
  static constexpr std::size_t kMaxIntegerLength = 32;
  static constexpr std::size_t kMaxRealLength = 64;
  // Far beyond any line of numbers these files hold; reached at once by an endless device.
  static constexpr std::size_t kMaxLineLength = 4096;
  // Enough for the nine lines of a control-point file many times over.
  static constexpr std::size_t kDefaultMaxBytes = std::size_t(1) << 20;

  // Opens the file, to be read up to `max_bytes` bytes. A missing file throws "Fichier
  // introuvable", unless `missing_ok`, in which case found() is false and the reader is at its
  // end. A folder is "Ceci est un dossier, pas un fichier".
  explicit TokenReader(const std::string& path, bool missing_ok = false,
                       std::size_t max_bytes = kDefaultMaxBytes);
  ~TokenReader();
  TokenReader(const TokenReader&) = delete;
  TokenReader& operator=(const TokenReader&) = delete;

  bool found() const { return fd_ >= 0; }

  // The next byte (0 to 255) or kEnd; Get consumes it, Peek does not.
  int Peek();
  int Get();

  // A whole number (decimal, or hexadecimal after "$" or "0x") of at most kMaxIntegerLength
  // characters, within 32 bits. Throws "Saisie numérique incorrecte" otherwise, a longer text
  // included.
  std::int32_t ReadInteger();
  // A real number with "." as separator, of at most kMaxRealLength characters, within the range
  // of a double. Throws "Saisie numérique incorrecte" otherwise.
  double ReadDouble();

  // Skips blanks and tabs, stopping before anything else.
  void SkipBlanks();
  // Skips the rest of the current line, its line end included: LF, CR LF or a bare CR.
  void SkipLine();

 private:
  // The next token, empty at the end of the file; throws when it exceeds max_length.
  std::string ReadToken(std::size_t max_length);
  bool Fill();
  // Takes the byte Peek gave, counting lines and holding the bounds.
  void Advance();
  [[noreturn]] void Stop(const std::string& reason) const;

  std::string path_;
  int fd_ = -1;
  std::array<unsigned char, 65536> buffer_;
  std::size_t position_ = 0;
  std::size_t size_ = 0;
  std::size_t max_bytes_;
  std::size_t consumed_ = 0;     // bytes taken so far
  std::size_t line_length_ = 0;  // bytes taken since the last line end
  int line_ = 1;                 // the line being read, from 1
  int previous_ = kEnd;          // the byte taken last, for CR LF
};

}  // namespace vistrel
