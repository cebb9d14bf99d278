#include "discovery/installed_size.h"

#include <gtest/gtest.h>

namespace {

TEST(InstalledSizeTest, WholeKibRoundedDownWithoutWrapAndCapped) {
  EXPECT_EQ(0, KibFromBytes(0));
  EXPECT_EQ(0, KibFromBytes(1023));
  EXPECT_EQ(1, KibFromBytes(1024));
  EXPECT_EQ(1, KibFromBytes(2047));
  // 4 GiB and more: no wrap-around at 32 bits.
  EXPECT_EQ(4194304, KibFromBytes(4ull << 30));
  EXPECT_EQ(4194305, KibFromBytes((4ull << 30) + 1024));
  // The largest value a signed REG_DWORD reader takes.
  EXPECT_EQ(0x7FFFFFFF, KibFromBytes(0x7FFFFFFFull << 10));
  EXPECT_EQ(0x7FFFFFFF, KibFromBytes(~0ull));
}

TEST(InstalledSizeTest, WalksRealDirectoriesButNotLinksOrDots) {
  const std::uint32_t directory = 0x10, reparse = 0x400, hidden = 0x2, system = 0x4;
  EXPECT_TRUE(IsDirectoryToWalk(directory, L"data"));
  EXPECT_TRUE(IsDirectoryToWalk(directory | hidden | system, L".git"));
  EXPECT_TRUE(IsDirectoryToWalk(directory, L"..."));
  EXPECT_FALSE(IsDirectoryToWalk(directory, L"."));
  EXPECT_FALSE(IsDirectoryToWalk(directory, L".."));
  EXPECT_FALSE(IsDirectoryToWalk(directory | reparse, L"loop"));
  EXPECT_FALSE(IsDirectoryToWalk(0x20, L"file.dat"));
}

}  // namespace
