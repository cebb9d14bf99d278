#include "setup/run_log.h"

#include "setup/exit_codes.h"

namespace vespodar {

namespace {

void AppendDigits(std::string& line, unsigned value, int width, char after) {
  char digits[4];
  for (int i = width - 1; i >= 0; --i, value /= 10) digits[i] = static_cast<char>('0' + value % 10);
  line.append(digits, width);
  line += after;
}

}  // namespace

std::string FormatLogLine(const LogTime& time, const std::string& text) {
  std::string line;
  AppendDigits(line, time.year, 4, '-');
  AppendDigits(line, time.month, 2, '-');
  AppendDigits(line, time.day, 2, ' ');
  AppendDigits(line, time.hour, 2, ':');
  AppendDigits(line, time.minute, 2, ':');
  AppendDigits(line, time.second, 2, '.');
  AppendDigits(line, time.milliseconds, 3, ' ');
  return line + text + "\r\n";
}

const char* ExitCodeMeaning(int exitCode) {
  switch (exitCode) {
    case kExitSuccess: return "success";
    case kExitNoRights: return "no right to change machine-wide settings";
    case kExitInvalidParameter: return "unknown switch";
    case kExitUserDeclined: return "declined or not answered, nothing written";
    case kExitProductMissing: return "product not installed";
    case kExitOwnFileUnreadable: return "setup file unreadable";
    case kExitOwnFileDistorted: return "setup file not intact";
    case kExitRestartRequired: return "success, replaced at the next restart";
    default: return "failure";
  }
}

std::string DigestText(const Digest& digest) {
  std::string text;
  for (std::uint8_t byte : digest) {
    text += "0123456789abcdef"[byte >> 4];
    text += "0123456789abcdef"[byte & 0xF];
  }
  return text;
}

}  // namespace vespodar
