#include "tools/image_align.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/little_endian.h"

namespace vespodar {

namespace {

void Put16(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
  image[at] = value & 0xFF;
  image[at + 1] = (value >> 8) & 0xFF;
}
void Put32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
  WriteLe32(&image[at], value);
}
std::uint32_t Get32(const std::vector<std::uint8_t>& image, std::size_t at) { return ReadLe32(&image[at]); }

// A PE32 image as the linker lays it out, sections 512 bytes apart in the
// file: code at 0x400, uninitialised data (no bytes), the resources at 0x800,
// relocations at 0xC00; each section's bytes are its own number.
const std::size_t kPe = 0x40, kOptional = kPe + 24;
const std::uint32_t kRaw[] = {0x400, 0, 0x800, 0xC00};

std::vector<std::uint8_t> MakeImage(bool pe32Plus = false) {
  const std::size_t optionalSize = pe32Plus ? 240 : 224;
  const std::size_t table = kOptional + optionalSize;
  std::vector<std::uint8_t> image(0xE00, 0);
  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 60, kPe);
  std::memcpy(&image[kPe], "PE\0\0", 4);
  Put16(image, kPe + 6, 4);
  Put16(image, kPe + 20, static_cast<std::uint32_t>(optionalSize));
  Put16(image, kOptional, pe32Plus ? 0x20B : 0x10B);
  Put32(image, kOptional + 36, 0x200);  // file alignment
  for (std::size_t i = 0; i < 4; ++i) {
    Put32(image, table + 40 * i + 12, static_cast<std::uint32_t>(0x1000 * (i + 1)));
    Put32(image, table + 40 * i + 16, kRaw[i] ? 0x200u : 0u);
    Put32(image, table + 40 * i + 20, kRaw[i]);
    if (kRaw[i]) std::memset(&image[kRaw[i]], static_cast<int>(i + 1), 0x200);
  }
  return image;
}

TEST(ImageAlignTest, MovesTheSectionOfTheOffsetAndThoseAfterItToAPageBoundary) {
  for (const bool pe32Plus : {false, true}) {
    const std::size_t table = kOptional + (pe32Plus ? 240 : 224);
    std::vector<std::uint8_t> image = MakeImage(pe32Plus);
    const std::vector<std::uint8_t> before = image;
    std::size_t moved = 0;
    std::string error;
    // An offset inside the resources' bytes.
    ASSERT_TRUE(AlignSectionInFile(&image, 0x900, &moved, &error)) << error;
    EXPECT_EQ(moved, 0x800u);
    EXPECT_EQ(image.size(), before.size() + 0x800);
    const std::uint32_t expected[] = {0x400, 0, 0x1000, 0x1400};
    for (std::size_t i = 0; i < 4; ++i) {
      const std::uint32_t raw = Get32(image, table + 40 * i + 20);
      EXPECT_EQ(raw, expected[i]) << i;
      // Each section's bytes are where its header now says.
      if (raw) EXPECT_EQ(image[raw], i + 1) << i;
      if (raw) EXPECT_EQ(image[raw + 0x1FF], i + 1) << i;
    }
    // Nothing before the moved section changed; the gap is zeros.
    EXPECT_TRUE(std::equal(before.begin() + 0x400, before.begin() + 0x800, image.begin() + 0x400));
    for (std::size_t i = 0x800; i < 0x1000; ++i) ASSERT_EQ(image[i], 0) << i;

    // Aligned already: nothing moves.
    const std::vector<std::uint8_t> aligned = image;
    ASSERT_TRUE(AlignSectionInFile(&image, 0x1010, &moved, &error)) << error;
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(image, aligned);
  }
}

TEST(ImageAlignTest, RefusesWhatItCannotMoveSafely) {
  std::size_t moved = 0;
  std::string error;
  std::vector<std::uint8_t> image = MakeImage();
  // Between sections, in the headers, past the end: in no section's bytes.
  for (std::size_t at : {std::size_t{0x100}, std::size_t{0xE00}, std::size_t{0x5000}}) {
    std::vector<std::uint8_t> copy = image;
    EXPECT_FALSE(AlignSectionInFile(&copy, at, &moved, &error)) << at;
    EXPECT_EQ(copy, image) << at;
  }
  // A signed image: moving bytes would break its signature.
  std::vector<std::uint8_t> signedImage = image;
  Put32(signedImage, kOptional + 128, 0xE00);
  Put32(signedImage, kOptional + 132, 0x100);
  EXPECT_FALSE(AlignSectionInFile(&signedImage, 0x900, &moved, &error));
  EXPECT_NE(error.find("signed"), std::string::npos) << error;
  // Not an image at all.
  std::vector<std::uint8_t> text(0x1000, 'x');
  EXPECT_FALSE(AlignSectionInFile(&text, 0x900, &moved, &error));
}

}  // namespace

}  // namespace vespodar
