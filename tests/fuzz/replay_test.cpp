// Replays every input kept under tests/fuzz/regressions/<target>/ (inputs that once broke a
// reader) and the seed corpora under tests/fuzz/corpus/<target>/ through the fuzz targets'
// entry functions, in the ordinary build, without libFuzzer.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz_entry.h"
#include "tests/support/temp_dir.h"
#ifdef VISTREL_FUZZ_PICTURES
#include "ui/pictures/metafile.h"
#include "ui/pictures/picture_loader.h"
#endif

namespace vistrel::fuzz {
namespace {

namespace fs = std::filesystem;

struct Target {
  const char* name;
  Entry entry;
};
void PrintTo(const Target& target, std::ostream* out) { *out << target.name; }

const Target kTargets[] = {
    {"reference_fuzz", ControlPointReader},
    {"geometry_fuzz", GeometryReader},
    {"settings_fuzz", SettingsReader},
    {"text_format_fuzz", NumberConversions},
    {"project_fuzz", ProjectReader},
    {"coordinate_list_fuzz", CoordinateListReader},
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

void ReplayOne(const Target& target, const fs::path& input) {
  const std::string bytes = testing::ReadBytes(input);
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

#ifdef VISTREL_FUZZ_PICTURES
// Hostile pictures among the seeds: each gives its clear error, quickly, without taking the
// memory its header asks for (the whole test runs under the sanitizers' allocator too).
TEST(HostilePictures, RefusedWithTheirMessage) {
  const struct {
    const char* target;
    const char* seed;
    const char* message;
  } cases[] = {
      {"jpeg_fuzz", "huge_declared", "Image trop grande (65000 x 65000 pixels)"},
      // 4000 x 3000 pixels declared in 308 bytes.
      {"jpeg_fuzz", "large_declared_truncated", "Image incomplète"},
      {"jpeg_fuzz", "zero_height", "Erreur JPEG #"},
      {"bitmap_fuzz", "huge_size", "Image trop grande (65535 x 65535 pixels)"},
      {"bitmap_fuzz", "zero_size", "Image bitmap incorrecte"},
      {"icon_fuzz", "offset_outside", "Icône incorrecte"},
      {"metafile_fuzz", "emf_offset_outside", "Métafichier incorrect"},
      {"metafile_fuzz", "emf_size_outside", "Métafichier incorrect"},
      {"metafile_fuzz", "wmf_size_outside", "Métafichier incorrect"},
      {"metafile_fuzz", "wmf_palette_outside", "Métafichier incorrect"},
      {"metafile_fuzz", "emf_no_bitmap", "Ce métafichier ne contient aucune image bitmap"},
      // Passes the metafile reader (which copies only what the file holds, at most twice its
      // size: the replay above) and is refused by the bitmap decoder.
      {"metafile_fuzz", "wmf_huge_bitmap", "Image trop grande (60000 x 60000 pixels)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.target) + "/" + c.seed);
    const std::string text = testing::ReadBytes(FuzzDirectory() / "corpus" / c.target / c.seed);
    ASSERT_FALSE(text.empty());
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    const std::string target = c.target;
    std::string message;
    try {
      if (target == "jpeg_fuzz") DecodeJpeg(bytes.data(), bytes.size());
      if (target == "bitmap_fuzz") DecodeBitmap(bytes);
      if (target == "icon_fuzz") DecodeIcon(bytes);
      if (target == "metafile_fuzz") {
        DecodeBitmap(c.seed[0] == 'w' ? BitmapFromWmf(bytes) : BitmapFromEmf(bytes));
      }
    } catch (const Exception& e) {
      message = e.what();
    }
    EXPECT_EQ(message.substr(0, std::string(c.message).size()), c.message) << message;
  }
}

#endif

}  // namespace
}  // namespace vistrel::fuzz
