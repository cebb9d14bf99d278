#include "base/registry.h"

#include <gtest/gtest.h>

namespace vespodar {

namespace {

TEST(ResolveKeyPathTest, RelativeToOpenKeyUnlessLeadingBackslash) {
  EXPECT_EQ("Software\\A", ResolveKeyPath("", "Software\\A\\"));
  EXPECT_EQ("Software\\A\\B", ResolveKeyPath("Software\\A", "B"));
  EXPECT_EQ("B\\C", ResolveKeyPath("Software\\A", "\\B\\C"));
  EXPECT_EQ("Software\\A", ResolveKeyPath("Software\\A", ""));
  EXPECT_EQ("", ResolveKeyPath("", "\\"));
}

}  // namespace

}  // namespace vespodar
