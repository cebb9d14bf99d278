#include "discovery/installed_size_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/win32_test_support_test.h"

namespace vespodar {

namespace {

TEST(DirectorySizeKbTest, MissingEmptyOrNoDirectory) {
  ScratchDirectory scratch;
  EXPECT_EQ(-1, DirectorySizeKb(""));
  EXPECT_EQ(-1, DirectorySizeKb(scratch.path + "missing"));
  EXPECT_EQ(0, DirectorySizeKb(scratch.path));
  ASSERT_TRUE(WriteWholeFile(scratch.path + "file", "x"));
  EXPECT_EQ(-1, DirectorySizeKb(scratch.path + "file"));
}

TEST(DirectorySizeKbTest, AddsEveryFileInTheTreeAndRoundsDown) {
  ScratchDirectory scratch("size-Весподар-游戏");
  const std::string root = scratch.path;
  ASSERT_TRUE(WriteWholeFile(root + "a", std::string(1000, 'a')));
  EXPECT_EQ(0, DirectorySizeKb(root));
  ASSERT_TRUE(WriteWholeFile(root + "b", std::string(24, 'b')));
  EXPECT_EQ(1, DirectorySizeKb(root));

  ASSERT_TRUE(CreateDirectoryW(Widen(root + "data").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Widen(root + "data\\deeper").c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(root + "data\\hidden", std::string(1024, 'h')));
  ASSERT_TRUE(WriteWholeFile(root + "data\\deeper\\system", std::string(3072, 's')));
  SetFileAttributesW(Widen(root + "data\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW(Widen(root + "data\\deeper\\system").c_str(),
                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  // 1024 + 1024 + 3072 bytes.
  EXPECT_EQ(5, DirectorySizeKb(root));
  // Without the trailing backslash, the same.
  EXPECT_EQ(5, DirectorySizeKb(root.substr(0, root.size() - 1)));
}

TEST(DirectorySizeKbTest, CountsFilesPastTheClassicPathLimit) {
  ScratchDirectory scratch;
  std::string deep = scratch.path;
  while (deep.size() < 300) {
    deep += std::string(40, 'd') + "\\";
    ASSERT_TRUE(CreateDirectoryW(Widen("\\\\?\\" + deep).c_str(), nullptr)) << deep;
  }
  ASSERT_TRUE(WriteWholeFile(deep + "far", std::string(2048, 'f')));
  EXPECT_EQ(2, DirectorySizeKb(scratch.path));
}

// Links back to a parent, or to the directory itself, end the walk with the
// tree counted once. The tree comes from the host (see
// cmake/make_link_tree.cmake); Wine shows a Unix symbolic link to a directory
// as a directory with the reparse-point attribute.
TEST(DirectorySizeKbTest, LinksBackIntoTheTreeAreNotFollowed) {
  wchar_t tree[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"VESPODAR_LINK_TREE", tree, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) GTEST_SKIP() << "VESPODAR_LINK_TREE is not set";
  // The host's path, seen through Wine's Z: drive, which is the host's root.
  std::string root = "Z:" + Narrow(tree);
  for (char& c : root)
    if (c == '/') c = '\\';
  const DWORD attributes = GetFileAttributesW(Widen(root + "\\data\\loop").c_str());
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes) << root;
  ASSERT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(3, DirectorySizeKb(root));
  // Started on a link, the walk goes through it once.
  EXPECT_EQ(3, DirectorySizeKb(root + "\\data\\loop"));
}

}  // namespace

}  // namespace vespodar
