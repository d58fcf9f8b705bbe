#include "project/token_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "numeric/text_format.h"
#include "project/io_error.h"

namespace vistrel {

TokenReader::TokenReader(const std::string& path, bool missing_ok, std::size_t max_bytes)
    : path_(path), max_bytes_(max_bytes) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    if (missing_ok && errno == ENOENT) return;
    throw EInOutError::FromErrno(errno, path);
  }
  struct stat info;
  if (::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EInOutError(EInOutError::kIsFolder);
  }
  // A byte-order mark some editors put first is no part of the text.
  try {
    if (Fill() && size_ >= 3 && buffer_[0] == 0xEF && buffer_[1] == 0xBB && buffer_[2] == 0xBF) {
      position_ = 3;
    }
  } catch (...) {
    ::close(fd_);  // no destructor runs for a constructor that throws
    fd_ = -1;
    throw;
  }
}

TokenReader::~TokenReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool TokenReader::Fill() {
  if (fd_ < 0) return false;
  for (;;) {
    const ssize_t count = ::read(fd_, buffer_.data(), buffer_.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      throw EInOutError::FromErrno(errno, path_);
    }
    position_ = 0;
    size_ = static_cast<std::size_t>(count);
    return count > 0;
  }
}

int TokenReader::Peek() {
  if (position_ == size_ && !Fill()) return kEnd;
  return buffer_[position_];
}

void TokenReader::Stop(const std::string& reason) const {
  throw EReadLimit("line " + std::to_string(line_) + ": " + reason + ": reading stops here");
}

void TokenReader::Advance() {
  const int c = buffer_[position_++];
  if (++consumed_ > max_bytes_)
    Stop("the file is longer than " + std::to_string(max_bytes_) + " bytes");
  if (c == '\r' || (c == '\n' && previous_ != '\r')) {
    ++line_;
    line_length_ = 0;
  } else if (c != '\n' && ++line_length_ > kMaxLineLength) {
    Stop("longer than " + std::to_string(kMaxLineLength) + " characters");
  }
  previous_ = c;
}

int TokenReader::Get() {
  const int c = Peek();
  if (c != kEnd) Advance();
  return c;
}

std::string TokenReader::ReadToken(std::size_t max_length) {
  int c = Peek();
  while (c != kEnd && c <= ' ') {
    Advance();
    c = Peek();
  }
  std::string token;
  while (c != kEnd && c > ' ') {
    // Longer than any number the files can hold: refuse it rather than split it in two.
    if (token.size() == max_length) throw EInOutError(EInOutError::kInvalidNumericInput);
    token += static_cast<char>(c);
    Advance();
    c = Peek();
  }
  return token;
}

std::int32_t TokenReader::ReadInteger() {
  const std::string token = ReadToken(kMaxIntegerLength);
  if (token.empty()) return 0;
  std::int32_t value = 0;
  if (!TryStrToInt(token, value)) throw EInOutError(EInOutError::kInvalidNumericInput);
  return value;
}

double TokenReader::ReadDouble() {
  const std::string token = ReadToken(kMaxRealLength);
  if (token.empty()) return 0;
  double value = 0;
  if (!TryStrToDouble(token, value, '.')) throw EInOutError(EInOutError::kInvalidNumericInput);
  return value;
}

void TokenReader::SkipBlanks() {
  for (int c = Peek(); c == ' ' || c == '\t'; c = Peek()) Advance();
}

void TokenReader::SkipLine() {
  for (int c = Get(); c != kEnd; c = Get()) {
    if (c == '\n') return;
    // A bare CR ends a line too (files of older Mac editors); CR LF is one line end.
    if (c == '\r') {
      if (Peek() == '\n') Advance();
      return;
    }
  }
}

}  // namespace vistrel
