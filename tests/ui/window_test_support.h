#pragma once

// Shared by the window tests: the recorded message boxes and a scratch directory that serves as
// both the program directory and the working directory.

#include <QString>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "ui/main/messages.h"

namespace vistrel::testing {

// Boxes shown since the last Clear(), in order.
std::vector<std::pair<MessageKind, QString>>& Messages();

// A fresh directory that is also the current directory while the object lives.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  const std::filesystem::path& path() const { return path_; }
  // The directory as the window takes it, ending in '/'.
  std::string program_directory() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

std::filesystem::path SourceDir();

}  // namespace vistrel::testing
