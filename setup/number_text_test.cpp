#include "setup/number_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(NumberTextTest, DecimalAndHexAtTheirEdges) {
  EXPECT_EQ("0", DecimalText(0));
  EXPECT_EQ("1", DecimalText(1));
  EXPECT_EQ("-12", DecimalText(-12));
  EXPECT_EQ("2147483647", DecimalText(2147483647));
  EXPECT_EQ("-9223372036854775808", DecimalText(std::numeric_limits<std::int64_t>::min()));
  EXPECT_EQ("0", UpperHexText(0));
  EXPECT_EQ("C", UpperHexText(12));
  EXPECT_EQ("FFFF", UpperHexText(0xFFFF));
  EXPECT_EQ("10", UpperHexText(16));
  EXPECT_EQ("FFFFFFFF", UpperHexText(0xFFFFFFFFu));
}

}  // namespace
