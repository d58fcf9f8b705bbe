#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vistrel {

// Sequential, buffered reader of a project text file with the number rules both project files
// share: before a number every character with code 0 to 32 is skipped; the number's text runs up
// to the next such character or the end of the file; the end of the file in place of a number
// reads as 0. Memory stays bounded whatever the file holds. Every failure is an EInOutError.
class TokenReader {
 public:
  static constexpr int kEnd = -1;
  static constexpr std::size_t kMaxIntegerLength = 32;
  static constexpr std::size_t kMaxRealLength = 64;

  // Opens the file. A missing file throws "Fichier introuvable", unless `missing_ok`, in which
  // case found() is false and the reader is at its end. A directory is "Accès au fichier refusé".
  explicit TokenReader(const std::string& path, bool missing_ok = false);
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

  std::string path_;
  int fd_ = -1;
  std::array<unsigned char, 65536> buffer_;
  std::size_t position_ = 0;
  std::size_t size_ = 0;
};

}  // namespace vistrel
