#include "base/paths.h"

#include <gtest/gtest.h>

namespace vespodar {

namespace {

TEST(PathsTest, TrailingBackslashAndExtendedLengthForm) {
  std::string empty, plain = "C:", ended = "C:\\x\\";
  AddTrailingBackslash(empty);
  AddTrailingBackslash(plain);
  AddTrailingBackslash(ended);
  EXPECT_EQ("", empty);
  EXPECT_EQ("C:\\", plain);
  EXPECT_EQ("C:\\x\\", ended);

  EXPECT_EQ("\\\\?\\C:\\Program Files\\", ExtendedLengthPath("C:\\Program Files\\"));
  EXPECT_EQ("\\\\?\\UNC\\server\\share\\x", ExtendedLengthPath("\\\\server\\share\\x"));
  EXPECT_EQ("\\\\?\\C:\\x", ExtendedLengthPath("\\\\?\\C:\\x"));
  EXPECT_EQ("relative\\x", ExtendedLengthPath("relative\\x"));
  EXPECT_EQ("\\\\?\\C:\\", ExtendedLengthPath("C:\\"));
}

TEST(PathsTest, ExtendedLengthPathResolvesWhatAPlainPathWould) {
  // An UninstallString may hold any of these; behind "\\?\" Windows would
  // look for a directory literally named "." or "..".
  EXPECT_EQ("\\\\?\\C:\\Program Files\\Vespodar\\Vespodar.exe",
            ExtendedLengthPath("C:\\Program Files\\Old\\..\\.\\Vespodar\\\\Vespodar.exe"));
  EXPECT_EQ("\\\\?\\C:\\Games\\Vespodar\\", ExtendedLengthPath("C:/Games//Vespodar/"));
  EXPECT_EQ("\\\\?\\C:\\x", ExtendedLengthPath("C:\\..\\..\\x"));
  EXPECT_EQ("\\\\?\\C:\\", ExtendedLengthPath("C:\\a\\..\\"));
  EXPECT_EQ("\\\\?\\C:\\a..\\...\\.b", ExtendedLengthPath("C:\\a..\\...\\.b"));
  // A network path keeps its server and share, whatever ".." says.
  EXPECT_EQ("\\\\?\\UNC\\server\\share\\y", ExtendedLengthPath("\\\\server\\share\\..\\..\\y"));
  EXPECT_EQ("\\\\?\\UNC\\server\\share", ExtendedLengthPath("//server/share"));
  EXPECT_EQ("\\\\?\\UNC\\server", ExtendedLengthPath("\\\\server"));
  EXPECT_EQ("\\\\server\\\\x", ExtendedLengthPath("\\\\server\\\\x"));
}

}  // namespace

}  // namespace vespodar
