#include "setup/run_log.h"

#include "setup/exit_codes.h"

namespace vespodar {

namespace {

// Writes value as width digits, with leading zeros, before *end.
void PutDigits(char* end, unsigned value, int width) {
  for (; width > 0; --width, value /= 10) *--end = static_cast<char>('0' + value % 10);
}

}  // namespace

std::string FormatLogLine(const LogTime& time, const std::string& text) {
  char stamp[] = "0000-00-00 00:00:00.000 ";
  PutDigits(stamp + 4, time.year, 4);
  PutDigits(stamp + 7, time.month, 2);
  PutDigits(stamp + 10, time.day, 2);
  PutDigits(stamp + 13, time.hour, 2);
  PutDigits(stamp + 16, time.minute, 2);
  PutDigits(stamp + 19, time.second, 2);
  PutDigits(stamp + 23, time.milliseconds, 3);
  std::string line(stamp, 24);
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      line += c;
      continue;
    }
    line += "\\x";
    line += "0123456789ABCDEF"[byte >> 4];
    line += "0123456789ABCDEF"[byte & 0xF];
  }
  line += "\r\n";
  return line;
}

namespace {

// "\\?\C:\x" and "\\?\UNC\server\share\x" as "C:\x" and "\\server\share\x";
// letter case of ASCII letters folded (Windows compares names without it).
std::string ComparablePath(const std::string& path) {
  std::string plain = path;
  if (plain.compare(0, 8, "\\\\?\\UNC\\") == 0)
    plain = "\\\\" + plain.substr(8);
  else if (plain.compare(0, 4, "\\\\?\\") == 0)
    plain = plain.substr(4);
  for (char& c : plain)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return plain;
}

}  // namespace

const char* LogFileRefusal(const std::string& givenPath, const LogFileFacts& facts) {
  if (!facts.diskFile) return "not a file on a disk";
  if (facts.reparsePoint) return "a link";
  if (facts.links != 1) return "a file with other names";
  if (facts.finalPathKnown && ComparablePath(facts.finalPath) != ComparablePath(givenPath))
    return "leads elsewhere";
  return nullptr;
}

const char* ExitCodeMeaning(int exitCode) {
  switch (exitCode) {
#define VESPODAR_EXIT_CODE(enumerator, value, logText) \
  case enumerator:                                     \
    return logText;
#include "setup/exit_codes.def"
#undef VESPODAR_EXIT_CODE
  }
  // Only a code outside the table, which the setup never returns.
  return "failure";
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
