#include "pictures/metafile.h"

#include <gtest/gtest.h>

#include "metafile_samples.h"

namespace vistrel {
namespace {

std::uint32_t At32(const std::vector<std::uint8_t>& b, std::size_t i) {
  return b[i] | (b[i + 1] << 8) | (b[i + 2] << 16) | (std::uint32_t{b[i + 3]} << 24);
}

// The .bmp made from either metafile holds the record's bitmap unchanged behind a file header.
TEST(Metafile, BitmapRecordsBecomeBmpFiles) {
  const auto expected_info = testing::SampleDibInfo();
  const auto expected_bits = testing::SampleDibBits();
  for (const bool emf : {true, false}) {
    const auto bmp =
        emf ? BitmapFromEmf(testing::SampleEmf()) : BitmapFromWmf(testing::SampleWmf());
    ASSERT_EQ(bmp.size(), 14u + 40u + 16u) << emf;
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(At32(bmp, 2), bmp.size());
    EXPECT_EQ(At32(bmp, 10), 14u + 40u);
    EXPECT_TRUE(std::equal(expected_info.begin(), expected_info.end(), bmp.begin() + 14));
    EXPECT_TRUE(std::equal(expected_bits.begin(), expected_bits.end(), bmp.begin() + 54));
  }
}

TEST(Metafile, FailuresSayWhatIsWrong) {
  struct Case {
    std::vector<std::uint8_t> file;
    bool emf;
    const char* message;
  } cases[] = {
      {testing::SampleEmf(false), true, kMetafileNoBitmapMessage},
      {testing::SampleEmf(true, true), true, kMetafileDamagedMessage},
      {testing::SampleWmf(), true, kMetafileDamagedMessage},  // not an enhanced metafile
      {testing::SampleEmf(), false, kMetafileDamagedMessage},
      {{}, true, kMetafileDamagedMessage},
      {{}, false, kMetafileDamagedMessage},
      {[] {  // a WMF cut inside its bitmap record
         auto cut = testing::SampleWmf();
         cut.resize(cut.size() - 20);
         return cut;
       }(),
       false, kMetafileDamagedMessage},
  };
  for (const Case& c : cases) {
    try {
      c.emf ? BitmapFromEmf(c.file) : BitmapFromWmf(c.file);
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const EMetafileError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

}  // namespace
}  // namespace vistrel
