#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "fuzz_entry.h"

namespace vistrel::fuzz {

namespace {

// Removes the scratch files when the process ends normally.
struct ScratchRegistry {
  std::vector<std::string> paths;
  ~ScratchRegistry() {
    for (const auto& path : paths) std::remove(path.c_str());
  }
};
ScratchRegistry& Registry() {
  static ScratchRegistry registry;
  return registry;
}

}  // namespace

std::string ScratchFile(const char* name) {
  std::error_code error;
  const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  std::string path = (base / ("vistrel-fuzz-" + std::to_string(::getpid()) + "-" + name)).string();
  Registry().paths.push_back(path);
  return path;
}

void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot write scratch file " + path);
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

}  // namespace vistrel::fuzz
