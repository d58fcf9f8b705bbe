#include "project/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace vistrel {

namespace {

// An access control list is part of a file's rights that a new file would not get.
bool HasAccessControlList(const std::string& path) {
  return ::getxattr(path.c_str(), "system.posix_acl_access", nullptr, 0) > 0;
}

// The path a chain of symbolic links at `path` ends at, whether or not that exists; `path`
// itself when it is no link. A link's relative text is taken from the link's own folder. A loop
// (or an absurdly long chain) gives up and returns where it got to, so that the save fails there
// with the system's own error.
std::string LinkTarget(const std::string& path) {
  constexpr int kMaxLinks = 40;  // the system's own limit on a path's links
  std::string current = path;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat info;
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string text(std::size_t(info.st_size > 0 ? info.st_size : 256) + 1, '\0');
    const ssize_t length = ::readlink(current.c_str(), text.data(), text.size());
    if (length <= 0 || std::size_t(length) >= text.size()) return current;
    text.resize(std::size_t(length));
    if (text[0] == '/') {
      current = text;
    } else {
      const std::size_t slash = current.rfind('/');
      current = slash == std::string::npos ? text : current.substr(0, slash + 1) + text;
    }
  }
  return current;
}

// Copies the extended attributes of the file at `from` onto the open file `to_fd`, but for the
// access control list, which is kept by writing in place. False when one cannot be copied (a
// namespace we may not write, a file system without them): the caller then writes in place.
bool CopyExtendedAttributes(const std::string& from, int to_fd) {
  ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
  if (size < 0) return errno == ENOTSUP;  // nothing to keep where there are none
  std::string names(std::size_t(size), '\0');
  size = ::listxattr(from.c_str(), names.data(), names.size());
  if (size < 0) return false;
  names.resize(std::size_t(size));
  for (std::size_t at = 0; at < names.size();) {
    const std::string name = names.c_str() + at;
    at += name.size() + 1;
    if (name.empty() || name.rfind("system.posix_acl", 0) == 0) continue;
    const ssize_t length = ::getxattr(from.c_str(), name.c_str(), nullptr, 0);
    if (length < 0) return false;
    std::string value(std::size_t(length), '\0');
    const ssize_t got = ::getxattr(from.c_str(), name.c_str(), value.data(), value.size());
    if (got < 0) return false;
    value.resize(std::size_t(got));
    if (::fsetxattr(to_fd, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}

// Writes all of `contents`, retrying partial writes; returns 0 or the errno of the failure.
int WriteAll(int fd, std::string_view contents) {
  const char* data = contents.data();
  std::size_t remaining = contents.size();
  while (remaining > 0) {
    const ssize_t written = ::write(fd, data, remaining);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    remaining -= static_cast<std::size_t>(written);
  }
  return 0;
}

// A device or pipe cannot be replaced by a rename: it is written through.
void WriteInPlace(const std::string& path, std::string_view contents) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) throw EInOutError::FromErrno(errno, path);
  const int error = WriteAll(fd, contents);
  const int close_error = ::close(fd) == 0 ? 0 : errno;
  if (error != 0) throw EInOutError::FromErrno(error, path);
  if (close_error != 0) throw EInOutError::FromErrno(close_error, path);
}

// A name for the temporary copy that no other writer in this or another process picks.
std::string TemporaryName(const std::string& directory) {
  static std::atomic<unsigned> counter{0};
  return directory + "/.vistrel-" + std::to_string(::getpid()) + "-" +
         std::to_string(counter.fetch_add(1)) + ".tmp";
}

// Writes `bytes` at `offset`, retrying partial writes; returns how many were written and sets
// `error` to the errno of a failure.
std::size_t WriteAt(int fd, std::string_view bytes, off_t offset, int& error) {
  std::size_t done = 0;
  error = 0;
  while (done < bytes.size()) {
    const ssize_t written =
        ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
    if (written < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    done += static_cast<std::size_t>(written);
  }
  return done;
}

// The whole file open as `fd`, from its start; returns 0 or the errno of the failure.
int ReadAll(int fd, std::string& text) {
  text.clear();
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()));
    if (count == 0) return 0;
    if (count < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    text.append(buffer, static_cast<std::size_t>(count));
  }
}

// Rewrites an existing regular file in place, for when a replacement by rename would change its
// owner, mode or links, or its folder takes no new file. Only the bytes from the first that
// differs on are written, into space reserved beforehand, so a full disk fails before anything
// changes; a write that fails all the same puts the old bytes back, and the file is as it was.
// Only a file we may write but not read cannot be put back: it keeps what was written, cut there.
void OverwriteFile(const std::string& path, std::string_view contents) {
  bool readable = true;
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) {
    readable = false;
    fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  }
  if (fd < 0) throw EInOutError::FromErrno(errno, path);
  const auto fail = [&](int error_number) {
    ::close(fd);
    throw EInOutError::FromErrno(error_number, path);
  };

  std::string old;
  off_t old_size = 0;
  if (readable) {
    if (const int error = ReadAll(fd, old); error != 0) fail(error);
    old_size = static_cast<off_t>(old.size());
  } else {
    struct stat info;
    if (::fstat(fd, &info) != 0) fail(errno);
    old_size = info.st_size;
  }
  std::size_t first = 0;
  if (readable) {
    while (first < old.size() && first < contents.size() && old[first] == contents[first]) ++first;
    if (first == old.size() && first == contents.size()) {
      ::close(fd);
      return;
    }
  }
  const off_t new_size = static_cast<off_t>(contents.size());
  if (new_size > old_size &&
      ::fallocate(fd, FALLOC_FL_KEEP_SIZE, old_size, new_size - old_size) != 0 &&
      (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
    const int error = errno;
    (void)::ftruncate(fd, old_size);  // gives back what was reserved before the space ran out
    fail(error);
  }

  int error = 0;
  const std::size_t written = WriteAt(fd, contents.substr(first), static_cast<off_t>(first), error);
  if (error == 0 && new_size < old_size && ::ftruncate(fd, new_size) != 0) error = errno;
  if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL) error = errno;
  if (error != 0) {
    if (readable) {
      const std::size_t overwritten = std::min(written, old.size() - first);
      int ignored = 0;
      WriteAt(fd, std::string_view(old).substr(first, overwritten), static_cast<off_t>(first),
              ignored);
      (void)::ftruncate(fd, old_size);
      (void)::fsync(fd);
    } else {
      (void)::ftruncate(fd, static_cast<off_t>(first + written));
    }
    fail(error);
  }
  if (::close(fd) != 0) throw EInOutError::FromErrno(errno, path);
}

// How a save puts its text in the place of an existing file.
enum class SaveMethod {
  kRename,   // a new file beside it, renamed over it: the save happens whole or not at all
  kInPlace,  // the regular file rewritten where it stands (OverwriteFile)
  kThrough,  // a device or pipe, which cannot be replaced, written through
};

// The way to save onto the existing `target` described by `info`. A new file replacing a file
// with other names would leave those names on the old contents, one replacing a file with an
// access control list would drop it, and a folder we may not write takes no new file: the old
// file is then rewritten in place.
SaveMethod ChooseSaveMethod(const std::string& target, const struct stat& info) {
  if (!S_ISREG(info.st_mode)) return SaveMethod::kThrough;
  if (info.st_nlink != 1 || HasAccessControlList(target) ||
      ::access(ParentDirectory(target).c_str(), W_OK) != 0) {
    return SaveMethod::kInPlace;
  }
  return SaveMethod::kRename;
}

}  // namespace

void ReplaceFile(const std::string& path, std::string_view contents) {
  if (path.empty()) throw EInOutError(EInOutError::kInvalidFileName);

  // Replace what a symbolic link points at, not the link itself, also when it does not exist
  // yet (a dangling link): the save creates it, as editors do. Only a missing file is created:
  // any other failure to look at the target (a chain of links that never ends, a path through a
  // file) is the save's own failure, before anything is written.
  const std::string target = LinkTarget(path);
  struct stat info;
  const bool exists = ::stat(target.c_str(), &info) == 0;
  if (!exists && errno != ENOENT) throw EInOutError::FromErrno(errno, target);
  if (exists && S_ISDIR(info.st_mode)) throw EInOutError(EInOutError::kAccessDenied);
  const SaveMethod method = exists ? ChooseSaveMethod(target, info) : SaveMethod::kRename;
  if (method == SaveMethod::kThrough) {
    WriteInPlace(target, contents);
    return;
  }
  // A rename would happily replace a read-only file; saving onto one must be refused instead.
  if (exists && ::access(target.c_str(), W_OK) != 0) throw EInOutError::FromErrno(errno, target);
  if (method == SaveMethod::kInPlace) {
    OverwriteFile(target, contents);
    return;
  }
  const std::string directory = ParentDirectory(target);
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temporary = TemporaryName(directory);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || (errno == EEXIST && attempt < 100)) continue;
    if (exists && (errno == EACCES || errno == EPERM)) {
      OverwriteFile(target, contents);
      return;
    }
    throw EInOutError::FromErrno(errno, target);
  }

  const auto fail = [&](int error_number) {
    ::close(fd);
    ::unlink(temporary.c_str());
    throw EInOutError::FromErrno(error_number, target);
  };
  // The new file must have the old one's owner, group, mode and extended attributes, or the save
  // would change them (root saving another user's file; a group we are not in; a note in a
  // user attribute). Owner first: a change of owner clears the set-user-ID bit that the mode
  // then restores. What cannot be kept is written in place instead.
  if (exists) {
    struct stat made;
    if (::fstat(fd, &made) != 0) fail(errno);
    const bool owner_kept = (made.st_uid == info.st_uid && made.st_gid == info.st_gid) ||
                            ::fchown(fd, info.st_uid, info.st_gid) == 0;
    const bool mode_kept = owner_kept && ::fchmod(fd, info.st_mode & 07777) == 0 &&
                           ::fstat(fd, &made) == 0 && made.st_uid == info.st_uid &&
                           made.st_gid == info.st_gid &&
                           (made.st_mode & 07777) == (info.st_mode & 07777);
    if (!mode_kept || !CopyExtendedAttributes(target, fd)) {
      ::close(fd);
      ::unlink(temporary.c_str());
      OverwriteFile(target, contents);
      return;
    }
  }
  if (const int error = WriteAll(fd, contents); error != 0) fail(error);
  // Flushed before the rename, so that a crash never leaves a renamed but empty file.
  if (::fsync(fd) != 0 && errno != EINVAL) fail(errno);
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw EInOutError::FromErrno(error, target);
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw EInOutError::FromErrno(error, target);
  }
  // Make the rename itself durable; a failure here no longer endangers either file.
  const int directory_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory_fd >= 0) {
    (void)::fsync(directory_fd);
    ::close(directory_fd);
  }
}

namespace {

void Append(const std::string& path, std::string_view contents, bool on_new_line) {
  if (path.empty()) throw EInOutError(EInOutError::kInvalidFileName);
  constexpr int kFlags = O_APPEND | O_CREAT | O_CLOEXEC;
  // Read access only to look at the last byte.
  int fd = on_new_line ? ::open(path.c_str(), O_RDWR | kFlags, 0666) : -1;
  if (fd < 0) fd = ::open(path.c_str(), O_WRONLY | kFlags, 0666);
  if (fd < 0) throw EInOutError::FromErrno(errno, path);
  struct stat info;
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  std::string text;
  char last = '\n';
  if (on_new_line && regular && info.st_size > 0 && ::pread(fd, &last, 1, info.st_size - 1) == 1 &&
      last != '\n') {
    // Glued onto an unterminated last line, the record would not read back.
    text = "\r\n";
  }
  text += contents;
  // A write cut short by a full disk leaves part of the record behind, which would glue the next
  // record onto it and make the file unreadable: cut the file back to where it ended.
  const int error = WriteAll(fd, text);
  if (error != 0 && regular) (void)::ftruncate(fd, info.st_size);
  const int close_error = ::close(fd) == 0 ? 0 : errno;
  if (error != 0) throw EInOutError::FromErrno(error, path);
  if (close_error != 0) throw EInOutError::FromErrno(close_error, path);
}

}  // namespace

void AppendToFile(const std::string& path, std::string_view contents) {
  Append(path, contents, /*on_new_line=*/false);
}

void AppendLineToFile(const std::string& path, std::string_view line) {
  Append(path, line, /*on_new_line=*/true);
}

void RefuseOutputOverInput(const NamedFile& output, const std::vector<NamedFile>& inputs) {
  struct stat written;
  if (output.path.empty() || output.path == "-" || ::stat(output.path.c_str(), &written) != 0) {
    return;
  }
  for (const NamedFile& input : inputs) {
    struct stat read;
    if (input.path.empty() || input.path == "-" || ::stat(input.path.c_str(), &read) != 0) continue;
    if (read.st_dev == written.st_dev && read.st_ino == written.st_ino) {
      throw EOutputIsInput(output.role + " " + output.path + " is " + input.role + " " +
                           input.path + " under " +
                           (input.path == output.path ? "the same" : "another") +
                           " name: writing it would destroy that input; nothing was written");
    }
  }
}

}  // namespace vistrel
