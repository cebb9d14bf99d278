#include "setup/command_line.h"

#include <gtest/gtest.h>

namespace vespodar {

namespace {

// Every way a deployment tool or a user writes the switches, and what the run
// makes of them.
TEST(CommandLineTest, SwitchesAndWords) {
  struct Case {
    std::vector<std::string> arguments;
    bool modest, runApp, unattended, usage;
    const char* invalid;
    const char* logPath;
  } cases[] = {
      {{}, false, false, false, false, "", ""},
      {{"MODEST", "RunApp"}, true, true, false, false, "", ""},
      {{"modest", "later"}, true, false, false, false, "", ""},
      // runapp alone, or modest second, asks the questions as ever.
      {{"runapp"}, false, false, false, false, "", ""},
      {{"x", "modest"}, false, false, false, false, "", ""},
      {{"/S"}, false, false, true, false, "", ""},
      {{"-silent"}, false, false, true, false, "", ""},
      {{"/VERYSILENT"}, false, false, true, false, "", ""},
      {{"/quiet", "runapp"}, false, true, true, false, "", ""},
      {{"-QN", "/runapp"}, false, true, true, false, "", ""},
      {{"/norestart"}, false, false, false, false, "", ""},
      // Switches are taken out before the words are counted.
      {{"modest", "/log=C:\\u.log", "runapp"}, true, true, false, false, "", "C:\\u.log"},
      {{"/LOG", "C:\\Журнал установки.log", "modest"}, true, false, false, false, "",
       "C:\\Журнал установки.log"},
      {{"/?"}, false, false, false, true, "", ""},
      {{"-Help"}, false, false, false, true, "", ""},
      {{"/x", "/S", "/y"}, false, false, true, false, "/x", ""},
      {{"modest", "-"}, true, false, false, false, "-", ""},
      // A /log without a path is no log at all.
      {{"/log"}, false, false, false, false, "/log", ""},
      {{"/log="}, false, false, false, false, "/log=", ""},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    std::string words;
    for (const std::string& argument : c.arguments) words += argument + " ";
    EXPECT_EQ(c.modest, line.modest) << words;
    EXPECT_EQ(c.runApp, line.runApp) << words;
    EXPECT_EQ(c.unattended, line.unattended) << words;
    EXPECT_EQ(c.usage, line.usage) << words;
    EXPECT_EQ(c.invalid, line.invalid) << words;
    EXPECT_EQ(c.logPath, line.logPath) << words;
  }
}

}  // namespace

}  // namespace vespodar
