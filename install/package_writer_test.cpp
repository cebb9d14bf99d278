#include "install/package_writer.h"

#include <gtest/gtest.h>

namespace vespodar {

namespace {

TEST(StagingPathTest, BesideTheTargetWithItsNameAndTag) {
  EXPECT_EQ("C:\\P\\Vespodar\\~vdq2.cok.abcdefgh.tmp",
            StagingPath("C:\\P\\Vespodar\\vdq2.cok", "abcdefgh"));
  EXPECT_EQ("\\\\?\\C:\\Весподар\\~vdq2.cok.x.tmp", StagingPath("\\\\?\\C:\\Весподар\\vdq2.cok", "x"));
  EXPECT_EQ("~vdq2.cok.t.tmp", StagingPath("vdq2.cok", "t"));
  // Only the backslash separates: the file stays in the target's directory.
  EXPECT_EQ("C:\\a/b\\~c.t.tmp", StagingPath("C:\\a/b\\c", "t"));
}

}  // namespace

}  // namespace vespodar
