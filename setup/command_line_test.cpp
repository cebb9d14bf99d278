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

// The elevated setup writes wherever /log points: only a log file of a
// plain path, never a device, a stream or a file that Windows would run.
TEST(CommandLineTest, LogPathsTheSetupWrites) {
  const struct {
    const char* path;
    bool accepted;
  } cases[] = {
      {"C:\\Windows\\Logs\\Vespodar\\update.log", true},
      {"d:\\u.TXT", true},
      {"C:\\Журнал установки.Log", true},
      {"\\\\server\\share\\logs\\update.log", true},
      {"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\v.bat", false},
      {"C:\\x\\v.log.bat", false},
      {"C:\\x\\u.log.", false},
      {"u.log", false},                       // relative: wherever the setup was started
      {"C:u.log", false},                     // relative to the drive's current folder
      {"\\u.log", false},                    // the current drive's root
      {"\\\\.\\pipe\\x.log", false},          // a pipe server's
      {"\\\\?\\C:\\u.log", false},
      {"\\\\server\\u.log", false},            // no share
      {"C:\\x\\u.log:s", false},               // a stream
      {"C:\\x\\u.log:s.log", false},
      {"C:\\x\\con.log", false},               // devices, whatever the extension
      {"C:\\x\\COM1.txt", false},
      {"C:\\x\\nul .log", false},
      {"C:\\x\\*.log", false},
      {"C:/x/u.log", false},
      {"C:\\x\\\\u.log", false},
      {"C:\\x\\u\r\n.log", false},
      {"C:\\x\\", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.accepted, IsAcceptableLogPath(c.path)) << c.path;

  // Refused, it is an invalid switch: no log, exit 87.
  const CommandLine line = ParseCommandLine({"/quiet", "/log=C:\\x\\v.bat"});
  EXPECT_EQ("", line.logPath);
  EXPECT_EQ("/log=C:\\x\\v.bat", line.invalid);
  EXPECT_EQ("/log", ParseCommandLine({"/log", "\\\\.\\pipe\\x"}).invalid);
}

}  // namespace

}  // namespace vespodar
