#include "setup/run_log.h"

#include <gtest/gtest.h>

namespace vespodar {

namespace {

TEST(FormatLogLineTest, OneLineWhateverTheTextHolds) {
  const LogTime time{2026, 12, 9, 7, 5, 3, 42};
  const struct {
    std::string text;
    std::string written;
  } cases[] = {
      {"own file check: intact", "own file check: intact"},
      // A command line that tries to begin a line of its own, or to end one.
      {"command line: \"&rem \r\nnet localgroup\r\nrem \"",
       "command line: \"&rem \\x0D\\x0Anet localgroup\\x0D\\x0Arem \""},
      {std::string("a\0b\tc\x1b[2J\x7f", 10), "a\\x00b\\x09c\\x1B[2J\\x7F"},
      // Text beyond ASCII is UTF-8 and stays as it is.
      {"in use by: Весподар", "in use by: Весподар"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ("2026-12-09 07:05:03.042 " + c.written + "\r\n", FormatLogLine(time, c.text));
  }
}

}  // namespace

}  // namespace vespodar
