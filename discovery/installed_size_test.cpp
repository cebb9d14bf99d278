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

TEST(InstalledSizeTest, EachDirectoryIsEnteredOnceWhateverTheRoute) {
  VisitedDirectories visited;
  EXPECT_TRUE(visited.FirstVisit(0x5A000000u, 0xA72057u));
  EXPECT_FALSE(visited.FirstVisit(0x5A000000u, 0xA72057u));
  // The same index on another volume, and indexes that differ only in the
  // high word, are other directories.
  EXPECT_TRUE(visited.FirstVisit(0x5A000001u, 0xA72057u));
  EXPECT_TRUE(visited.FirstVisit(0x5A000000u, 0xA72057u | (1ull << 32)));
  EXPECT_FALSE(visited.FirstVisit(0x5A000000u, 0xA72057u | (1ull << 32)));
}

// A tree of many directories: every one is new once and known ever after,
// through the table's growth, including indexes that share their low bits.
TEST(InstalledSizeTest, ThousandsOfDirectoriesAreEachKnownAfterTheirFirstVisit) {
  VisitedDirectories visited;
  for (std::uint64_t i = 0; i < 5000; ++i) {
    ASSERT_TRUE(visited.FirstVisit(7, i << 20)) << i;
    ASSERT_TRUE(visited.FirstVisit(8, i << 20)) << i;
  }
  for (std::uint64_t i = 0; i < 5000; ++i) {
    ASSERT_FALSE(visited.FirstVisit(7, i << 20)) << i;
    ASSERT_FALSE(visited.FirstVisit(8, i << 20)) << i;
  }
  EXPECT_TRUE(visited.FirstVisit(7, 5000ull << 20));
  EXPECT_TRUE(visited.FirstVisit(0, 0));
  EXPECT_FALSE(visited.FirstVisit(0, 0));
}

}  // namespace
