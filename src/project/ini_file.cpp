#include "project/ini_file.h"

#include <fstream>
#include <sstream>

#include "project/io_error.h"
#include "project/safe_write.h"

namespace vistrel {
namespace {

std::string_view Trim(std::string_view s) {
  const char* blanks = " \t\r\n";
  const auto first = s.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The name of a "[name]" line, or false.
bool SectionName(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return false;
  const auto close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = Trim(line.substr(1, close - 1));
  return true;
}

// The key and value of a "key=value" line, or false.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return !key.empty();
}

}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

IniFile IniFile::FromText(std::string_view text) {
  IniFile ini;
  // A byte-order mark some editors put first would hide the first section's name.
  std::size_t start = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  bool newline_seen = false;
  while (start < text.size()) {
    // Lines end with LF, CR LF or a bare CR; the first line end found is the one written back.
    auto end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    ini.lines_.emplace_back(text.substr(start, end - start));
    std::size_t next = end + 1;
    if (end < text.size()) {
      std::string newline(1, text[end]);
      if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
        newline = "\r\n";
        ++next;
      }
      if (!newline_seen) ini.newline_ = newline;
      newline_seen = true;
    }
    start = next;
  }
  return ini;
}

IniFile IniFile::Load(const std::string& path) {
  // A settings file is a few hundred bytes; one beyond a megabyte (an endless device) is as
  // unreadable as a missing one, and reading it stops there.
  constexpr std::size_t kMaxSettingsBytes = std::size_t(1) << 20;
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text(kMaxSettingsBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad() || static_cast<std::size_t>(in.gcount()) > kMaxSettingsBytes) return {};
  text.resize(static_cast<std::size_t>(in.gcount()));
  return FromText(text);
}

std::size_t IniFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (SectionName(lines_[i], name) && EqualNoCase(name, section)) return i;
  }
  return std::string::npos;
}

std::size_t IniFile::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  std::string_view name;
  while (i < lines_.size() && !SectionName(lines_[i], name)) ++i;
  return i;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view default_value) const {
  const std::size_t header = FindSection(section);
  if (header == std::string::npos) return std::string(default_value);
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    std::string_view k, v;
    if (KeyValue(lines_[i], k, v) && EqualNoCase(k, key)) {
      return std::string(v.substr(0, kIniValueMaxLength));
    }
  }
  return std::string(default_value);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key) + "=" + std::string(value);
  std::size_t header = FindSection(section);
  if (header == std::string::npos) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::move(line));
    return;
  }
  std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    std::string_view k, v;
    if (KeyValue(lines_[i], k, v) && EqualNoCase(k, key)) {
      lines_[i] = std::move(line);
      return;
    }
  }
  // After the section's last non-blank line, so a blank line before the next section stays.
  while (end > header + 1 && Trim(lines_[end - 1]).empty()) --end;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(end), std::move(line));
}

std::string IniFile::Text() const {
  std::string text;
  for (const auto& line : lines_) text += line + newline_;
  return text;
}

void IniFile::Save(const std::string& path) const {
  try {
    ReplaceFile(path, Text());
  } catch (const EInOutError&) {
    throw ESettingsWriteError("Impossible d'écrire dans " + path);
  }
}

}  // namespace vistrel
