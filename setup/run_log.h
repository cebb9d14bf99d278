#ifndef VESPODAR_SETUP_RUN_LOG_H_
#define VESPODAR_SETUP_RUN_LOG_H_

// The run's log (/log): one line per step, read by administrators and their
// tools on machines nobody watches, so English only and plain.

#include <cstdint>
#include <string>

#include "base/sha256.h"

namespace vespodar {

// The local time of a line, as Windows gives it.
struct LogTime {
  unsigned year, month, day, hour, minute, second, milliseconds;
};

// "2026-12-09 11:20:09.123 text\r\n". Much of a line's text comes from the
// caller (the command line, a log path, a holding program's name), so its
// control characters (below 0x20, and 0x7F) are written as \xNN: every step
// is one line, and no text of the caller's begins one.
std::string FormatLogLine(const LogTime& time, const std::string& text);

// What the opened log file turned out to be, looked at through its handle.
struct LogFileFacts {
  bool diskFile = true;       // GetFileType: a file on a disk, not a pipe or device
  bool reparsePoint = false;  // a link of any kind, opened as itself
  unsigned links = 1;         // hard links to the same file
  bool finalPathKnown = false;  // Vista and later tell where the handle leads
  std::string finalPath;        // as GetFinalPathNameByHandle gives it
};
// Why the setup may not write the log it opened at givenPath (a path that
// IsAcceptableLogPath took), or nullptr when it may: whoever chose the path
// may have put a link, a second name of another file or a device there.
const char* LogFileRefusal(const std::string& givenPath, const LogFileFacts& facts);

// What an exit code of the setup means, in a few words.
const char* ExitCodeMeaning(int exitCode);

// The digest in lower-case hexadecimal, as sha256sum prints it.
std::string DigestText(const Digest& digest);

}  // namespace vespodar

#endif  // VESPODAR_SETUP_RUN_LOG_H_
