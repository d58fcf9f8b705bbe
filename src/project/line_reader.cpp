#include "project/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <istream>

#include "project/io_error.h"

namespace vistrel {

LineReader::LineReader(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw EInOutError::FromErrno(errno, path);
  struct stat info;
  const int error = ::fstat(fd_, &info) != 0 ? errno : (S_ISDIR(info.st_mode) ? EISDIR : 0);
  if (error != 0) {
    ::close(fd_);
    fd_ = -1;
    throw EInOutError::FromErrno(error, path);
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
  if (c >= 0) ++position_;
  return c;
}

bool LineReader::Next(std::string& line) {
  line.clear();
  int c = Get();
  if (c < 0) return false;
  ++line_number_;
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
