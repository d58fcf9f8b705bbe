#include "project/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <istream>

#include "project/io_error.h"

namespace vistrel {

LineReader::LineReader(const std::string& path, std::size_t max_bytes)
    : path_(path), max_bytes_(max_bytes) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw EInOutError::FromErrno(errno, path);
  struct stat info;
  const int error = ::fstat(fd_, &info) != 0 ? errno : 0;
  if (error != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw error != 0 ? EInOutError::FromErrno(error, path) : EInOutError(EInOutError::kIsFolder);
  }
}

LineReader::LineReader(std::istream& in) : stream_(&in) {}

LineReader::~LineReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool LineReader::Fill() {
  position_ = 0;
  size_ = 0;
  if (stream_ != nullptr) {
    // One byte at a time: a block read would wait for a whole block of typed lines.
    const auto c = stream_->get();
    if (stream_->bad()) throw EInOutError(EInOutError::kDeviceError);
    if (c == std::istream::traits_type::eof()) return false;
    buffer_[0] = char(c);
    size_ = 1;
    return true;
  }
  for (;;) {
    const ssize_t count = ::read(fd_, buffer_.data(), buffer_.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      throw EInOutError::FromErrno(errno, path_);
    }
    size_ = std::size_t(count);
    return count > 0;
  }
}

int LineReader::Peek() {
  if (position_ == size_ && !Fill()) return -1;
  return static_cast<unsigned char>(buffer_[position_]);
}

int LineReader::Get() {
  const int c = Peek();
  if (c >= 0) {
    ++position_;
    if (++consumed_ > max_bytes_) {
      throw EReadLimit("longer than " + std::to_string(max_bytes_) + " bytes: reading stops here");
    }
  }
  return c;
}

bool LineReader::Next(std::string& line) {
  line.clear();
  if (line_number_ == 0 && consumed_ == 0) {
    // A byte-order mark some editors put first is no part of the text.
    static constexpr unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
    std::size_t matched = 0;
    while (matched < 3 && Peek() == kMark[matched]) {
      Get();
      ++matched;
    }
    // Bytes of a mark cut short are text after all.
    for (std::size_t k = 0; k < matched && matched < 3; ++k) line += char(kMark[k]);
  }
  // Counted first, so that a limit reached on the way names the line being read.
  ++line_number_;
  int c = Get();
  if (c < 0 && line.empty()) {
    --line_number_;
    return false;
  }
  for (; c >= 0; c = Get()) {
    if (c == '\n') break;
    if (c == '\r') {
      if (Peek() == '\n') ++position_;
      break;
    }
    if (line.size() == kMaxLineLength) {
      throw ELineTooLong("line longer than " + std::to_string(kMaxLineLength) +
                         " characters: reading stops here");
    }
    line += char(c);
  }
  return true;
}

}  // namespace vistrel
