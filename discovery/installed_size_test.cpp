#include "discovery/installed_size.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace vespodar {

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

// A stand-in for the system: the volume of each path, and how often the walk
// asked for one. The walk takes a plain function, so the stand-in is one
// table for the whole test program, filled afresh by each test.
struct Volumes {
  std::map<std::wstring, std::optional<std::uint32_t>> byPath;
  int asked = 0;
};
Volumes volumes;

std::optional<std::uint32_t> StandInVolume(const std::wstring& path) {
  ++volumes.asked;
  const auto found = volumes.byPath.find(path);
  return found == volumes.byPath.end() ? std::nullopt : found->second;
}

TEST(InstalledSizeTest, EachDirectoryIsEnteredOnceWhateverTheRoute) {
  volumes = Volumes();
  volumes.byPath = {{L"C:\\P\\data\\", 0x5A000000u}, {L"C:\\P\\data\\loop\\", 0x5A000000u},
                    {L"C:\\P\\data\\loop\\loop\\", 0x5A000000u}, {L"D:\\", 0x5A000001u}};
  VisitedDirectories visited;
  EXPECT_TRUE(visited.FirstVisit(0xA72057u, L"C:\\P\\data\\", StandInVolume));
  // A bind mount of the directory inside itself: the same index on the same
  // volume, however often the walk comes round.
  EXPECT_FALSE(visited.FirstVisit(0xA72057u, L"C:\\P\\data\\loop\\", StandInVolume));
  EXPECT_FALSE(visited.FirstVisit(0xA72057u, L"C:\\P\\data\\loop\\loop\\", StandInVolume));
  // The same index on another volume is another directory, and is known
  // from then on too.
  EXPECT_TRUE(visited.FirstVisit(0xA72057u, L"D:\\", StandInVolume));
  EXPECT_FALSE(visited.FirstVisit(0xA72057u, L"D:\\", StandInVolume));
  // Indexes that differ only in the high word are other directories.
  EXPECT_TRUE(visited.FirstVisit(0xA72057u | (1ull << 32), L"C:\\P\\x\\", StandInVolume));
}

// The volume costs Wine half a millisecond: a tree without repeated indexes
// never asks for one, and a repeat asks once for each directory involved.
TEST(InstalledSizeTest, TheVolumeIsAskedOnlyWhenAnIndexComesAgain) {
  volumes = Volumes();
  volumes.byPath = {{L"a", 1u}, {L"b", 1u}, {L"c", 1u}};
  VisitedDirectories visited;
  for (std::uint64_t index = 0; index < 1000; ++index)
    ASSERT_TRUE(visited.FirstVisit(index << 20, L"d" + std::to_wstring(index), StandInVolume));
  EXPECT_EQ(0, volumes.asked);
  EXPECT_TRUE(visited.FirstVisit(5000, L"a", StandInVolume));
  EXPECT_FALSE(visited.FirstVisit(5000, L"b", StandInVolume));
  EXPECT_EQ(2, volumes.asked);
  // The first directory's volume is known now; only the newcomer is asked.
  EXPECT_FALSE(visited.FirstVisit(5000, L"c", StandInVolume));
  EXPECT_EQ(3, volumes.asked);
}

// A directory whose volume cannot be read is walked rather than taken for
// one already counted; so is a repeat of one whose own volume was unreadable.
TEST(InstalledSizeTest, AnUnreadableVolumeNeverLeavesADirectoryOut) {
  volumes = Volumes();
  volumes.byPath = {{L"first", 7u}, {L"second", 7u}};
  VisitedDirectories visited;
  EXPECT_TRUE(visited.FirstVisit(42, L"gone", StandInVolume));
  EXPECT_TRUE(visited.FirstVisit(42, L"first", StandInVolume));
  EXPECT_TRUE(visited.FirstVisit(42, L"unreadable", StandInVolume));
  EXPECT_FALSE(visited.FirstVisit(42, L"second", StandInVolume));
}

// A tree of many directories: every one is new once and known ever after,
// through the table's growth, including indexes that share their low bits.
TEST(InstalledSizeTest, ThousandsOfDirectoriesAreEachKnownAfterTheirFirstVisit) {
  volumes = Volumes();
  VisitedDirectories visited;
  auto path = [](std::uint64_t i) { return L"v7\\" + std::to_wstring(i); };
  for (std::uint64_t i = 0; i < 5000; ++i) {
    volumes.byPath[path(i)] = 7u;
    volumes.byPath[path(i) + L"\\again"] = 7u;
    volumes.byPath[path(i) + L"\\other"] = 8u;
  }
  for (std::uint64_t i = 0; i < 5000; ++i) ASSERT_TRUE(visited.FirstVisit(i << 20, path(i), StandInVolume)) << i;
  for (std::uint64_t i = 0; i < 5000; ++i) {
    ASSERT_FALSE(visited.FirstVisit(i << 20, path(i) + L"\\again", StandInVolume)) << i;
    ASSERT_TRUE(visited.FirstVisit(i << 20, path(i) + L"\\other", StandInVolume)) << i;
  }
  for (std::uint64_t i = 0; i < 5000; ++i)
    ASSERT_FALSE(visited.FirstVisit(i << 20, path(i) + L"\\other", StandInVolume)) << i;
  EXPECT_TRUE(visited.FirstVisit(5000ull << 20, L"new", StandInVolume));
}

}  // namespace

}  // namespace vespodar
