#ifndef VESPODAR_SETUP_COMMAND_LINE_H_
#define VESPODAR_SETUP_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace vespodar {

// What the command line asks for. The words `modest` and `runapp` keep their
// places; the switches (/ or -, any letter case) are taken out before the
// words are counted, so deployment tools may put them anywhere.
struct CommandLine {
  bool modest = false;      // first word "modest": no questions
  bool runApp = false;      // start the product afterwards (runapp or /runapp)
  bool unattended = false;  // /S /silent /verysilent /quiet /qn: no box of any kind
  bool usage = false;       // /? or /help: the usage box, exit 0
  std::string invalid;      // the first switch the setup does not know: exit 87
  std::string logPath;      // /log=PATH or /log PATH; empty for no log
};

// Whether a /log path may be written by the elevated setup: an absolute
// drive path (X:\...) or a network path (\\server\share\...) of a file named
// *.log or *.txt (any letter case); never a device or a namespace of Windows'
// own (\\.\, \\?\), a stream (":" after the drive), a wildcard or a control
// character, nor a name that Windows takes for a device (CON, NUL, COM1...).
// Whoever writes the command line chooses the path: a path like
// "...\Start Menu\Programs\StartUp\v.bat" would run at every logon.
bool IsAcceptableLogPath(const std::string& path);

// arguments are the words after the program's name, as given. A /log whose
// path is not acceptable is an invalid switch, and no log at all.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace vespodar

#endif  // VESPODAR_SETUP_COMMAND_LINE_H_
