#include "base/text.h"

#include <gtest/gtest.h>

namespace vespodar {

namespace {

TEST(TextTest, LowerAsciiLeavesOtherBytes) {
  EXPECT_EQ("modest", LowerAscii("MODEST"));
  EXPECT_EQ("runapp", LowerAscii("RunApp"));
  EXPECT_EQ("ТЕСТ@[`{", LowerAscii("ТЕСТ@[`{"));
}

}  // namespace

}  // namespace vespodar
