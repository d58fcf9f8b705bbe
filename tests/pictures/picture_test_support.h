#pragma once

// Shared by the picture tests: the repository's folder (for the demo photographs) and a scratch
// folder per test.

#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace vistrel::testing {

inline std::filesystem::path SourceDir() {
  const char* dir = std::getenv("VISTREL_SOURCE_DIR");
  return dir ? dir : VISTREL_SOURCE_DIR_FALLBACK;
}

class ScratchDirectory {
 public:
  const std::filesystem::path& path() const { return path_; }

 private:
  TempDir temp_;
  std::filesystem::path path_ = temp_.path();
};

}  // namespace vistrel::testing
