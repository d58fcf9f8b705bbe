#pragma once

// A sectioned key=value text file (the INI kind), edited line by line so that a write changes
// only the line of its key.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/exception.h"

namespace vistrel {

// Longest value text a read returns; longer values are cut.
inline constexpr std::size_t kIniValueMaxLength = 2047;

// A sectioned key=value text file held as its lines, so that writing a key replaces that one line
// and leaves every other line (comments, unknown keys, blank lines) as it was. Section and key
// names are compared without regard to ASCII letter case.
class IniFile {
 public:
  IniFile() = default;

  // Reads the file; a missing or unreadable file gives an empty one (no error).
  static IniFile Load(const std::string& path);
  static IniFile FromText(std::string_view text);

  // The value of `key` in `section` with surrounding blanks removed, cut to kIniValueMaxLength
  // characters; `default_value` when the section or key is missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;

  // Sets `key` in `section`, replacing the existing line in place, or adding the key at the end
  // of its section, or adding the section at the end of the file.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

  std::string Text() const;

  // Replaces the file with the text (ReplaceFile: its owner, mode and links kept), so that a
  // failure never leaves a truncated file. Throws ESettingsWriteError "Impossible d'écrire dans
  // <path>".
  void Save(const std::string& path) const;

 private:
  // Index of the section's header line, or npos.
  std::size_t FindSection(std::string_view section) const;
  // Index one past the last line of the section that starts at `header`.
  std::size_t SectionEnd(std::size_t header) const;

  std::vector<std::string> lines_;
  std::string newline_ = "\n";  // a file read with CR LF is written back with CR LF
};

class ESettingsWriteError : public Exception {
 public:
  using Exception::Exception;
};

// ASCII letter case ignored; used for section, key and colour names.
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace vistrel
