#include "base/number_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace vespodar {

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

// Around every power of ten, where the digit count changes, and at both ends
// of the range: the same text as the standard library's.
TEST(NumberTextTest, DecimalMatchesTheStandardLibraryAtEveryDigitCount) {
  std::int64_t power = 1;
  for (int digits = 1; digits <= 19; ++digits, power = digits <= 18 ? power * 10 : power) {
    for (std::int64_t value : {power - 1, power, power + 1, 9 * power, -power, -(power - 1)})
      EXPECT_EQ(std::to_string(value), DecimalText(value)) << value;
  }
  for (std::int64_t value : {std::numeric_limits<std::int64_t>::max(),
                             std::numeric_limits<std::int64_t>::max() - 1,
                             std::numeric_limits<std::int64_t>::min() + 1})
    EXPECT_EQ(std::to_string(value), DecimalText(value)) << value;
}

}  // namespace

}  // namespace vespodar
