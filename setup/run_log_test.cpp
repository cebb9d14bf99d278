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

TEST(LogFileRefusalTest, OnlyThePlainFileThatWasNamed) {
  const std::string given = "C:\\Windows\\Logs\\Журнал.log";
  LogFileFacts plain;
  plain.finalPathKnown = true;
  plain.finalPath = "\\\\?\\c:\\WINDOWS\\Logs\\Журнал.log";
  const struct {
    const char* what;
    void (*change)(LogFileFacts&);
    const char* refusal;  // nullptr: written
  } cases[] = {
      {"the file named", [](LogFileFacts&) {}, nullptr},
      {"XP: nothing to compare", [](LogFileFacts& f) { f.finalPathKnown = false; }, nullptr},
      {"a pipe", [](LogFileFacts& f) { f.diskFile = false; }, "not a file on a disk"},
      {"a link", [](LogFileFacts& f) { f.reparsePoint = true; }, "a link"},
      {"a hard link", [](LogFileFacts& f) { f.links = 2; }, "a file with other names"},
      {"through a junction",
       [](LogFileFacts& f) { f.finalPath = "\\\\?\\C:\\ProgramData\\StartUp\\Журнал.log"; },
       "leads elsewhere"},
  };
  for (const auto& c : cases) {
    LogFileFacts facts = plain;
    c.change(facts);
    const char* refusal = LogFileRefusal(given, facts);
    EXPECT_STREQ(c.refusal, refusal) << c.what;
  }
  LogFileFacts share;
  share.finalPathKnown = true;
  share.finalPath = "\\\\?\\UNC\\Server\\Logs\\u.log";
  EXPECT_EQ(nullptr, LogFileRefusal("\\\\server\\logs\\U.LOG", share));
}

}  // namespace

}  // namespace vespodar
