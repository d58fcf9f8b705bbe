// Replays every input kept under tests/fuzz/regressions/<target>/ (inputs that once broke a
// reader) and the seed corpora under tests/fuzz/corpus/<target>/ through the fuzz targets'
// entry functions, in the ordinary build, without libFuzzer.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_entry.h"

namespace vistrel::fuzz {
namespace {

namespace fs = std::filesystem;

struct Target {
  const char* name;
  Entry entry;
};

const Target kTargets[] = {
    {"reference_fuzz", ControlPointReader},
    {"geometry_fuzz", GeometryReader},
    {"settings_fuzz", SettingsReader},
    {"text_format_fuzz", NumberConversions},
#ifdef VISTREL_FUZZ_PICTURES
    {"jpeg_fuzz", JpegDecoder},
    {"bitmap_fuzz", BitmapDecoder},
    {"icon_fuzz", IconDecoder},
    {"metafile_fuzz", MetafileDecoder},
#endif
};

fs::path FuzzDirectory() {
  const char* source = std::getenv("VISTREL_SOURCE_DIR");
  return fs::path(source != nullptr ? source : VISTREL_SOURCE_DIR_FALLBACK) / "tests" / "fuzz";
}

std::vector<fs::path> InputsOf(const fs::path& directory) {
  std::vector<fs::path> inputs;
  std::error_code error;
  if (!fs::is_directory(directory, error)) return inputs;
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  return inputs;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ReplayOne(const Target& target, const fs::path& input) {
  const std::string bytes = ReadAll(input);
  try {
    EXPECT_EQ(target.entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0)
        << input;
  } catch (const std::exception& e) {
    ADD_FAILURE() << target.name << " on " << input << ": " << e.what();
  }
}

class Replay : public ::testing::TestWithParam<Target> {};

TEST_P(Replay, RegressionInputsAndSeedsPass) {
  const Target& target = GetParam();
  const std::vector<fs::path> regressions = InputsOf(FuzzDirectory() / "regressions" / target.name);
  const std::vector<fs::path> seeds = InputsOf(FuzzDirectory() / "corpus" / target.name);
  // A missing corpus means the test is looking in the wrong place, not that all is well.
  ASSERT_FALSE(seeds.empty()) << "no seed corpus for " << target.name << " under "
                              << FuzzDirectory();
  for (const auto& input : regressions) ReplayOne(target, input);
  for (const auto& input : seeds) ReplayOne(target, input);
}

INSTANTIATE_TEST_SUITE_P(FuzzTargets, Replay, ::testing::ValuesIn(kTargets), [](const auto& info) {
  std::string name = info.param.name;
  return name.substr(0, name.size() - 5);  // without "_fuzz"
});

}  // namespace
}  // namespace vistrel::fuzz
