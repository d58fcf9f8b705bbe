#include "fuzz_entry.h"
#include "tests/support/temp_dir.h"

namespace vistrel::fuzz {

// One private directory per process, removed when the process ends normally. Set TMPDIR to a
// memory filesystem for long fuzzing runs.
std::string ScratchFile(const char* name) {
  static const testing::TempDir directory;
  return directory.File(name);
}

void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
  testing::WriteBytes(path, std::string(reinterpret_cast<const char*>(data), size));
}

}  // namespace vistrel::fuzz
