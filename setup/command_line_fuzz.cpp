// Fuzzes the split of the command line, which whoever starts the setup
// writes: no item holds a quote, the items hold exactly the characters the
// rules keep, in order, and quoting each item and splitting again gives the
// same items. The lower-casing of the first item changes A to Z only. The
// switches taken from the items: an unknown one is one of the items and
// begins with / or -, a log path is an item's tail or an item.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/text.h"
#include "setup/command_line.h"
#include "setup/startup.h"

using namespace vespodar;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsSeparator(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The characters the split keeps: everything but quotes, and separators only
// between quotes.
std::string KeptCharacters(const std::string& line) {
  std::string kept;
  bool quoted = false;
  for (char c : line) {
    if (c == '"')
      quoted = !quoted;
    else if (quoted || !IsSeparator(c))
      kept += c;
  }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> items = SplitCommandLine(line);

  std::string joined, requoted;
  for (const std::string& item : items) {
    Check(item.find('"') == std::string::npos);
    joined += item;
    requoted += "\"" + item + "\" ";
  }
  Check(joined == KeptCharacters(line));
  Check(SplitCommandLine(requoted) == items);
  // A line of separators alone, or nothing, names no program.
  bool blank = true;
  for (char c : line) blank = blank && IsSeparator(c);
  Check(items.empty() == blank);

  for (const std::string& item : items) {
    const std::string lower = LowerAscii(item);
    Check(lower.size() == item.size());
    for (std::size_t i = 0; i < item.size(); ++i) {
      const char c = item[i];
      Check(lower[i] == (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c));
    }
  }
  const CommandLine parsed = ParseCommandLine(items);
  bool invalidFound = parsed.invalid.empty(), logFound = parsed.logPath.empty();
  for (const std::string& item : items) {
    invalidFound = invalidFound || item == parsed.invalid;
    const std::size_t tail = parsed.logPath.size();
    logFound = logFound || item == parsed.logPath ||
               (item.size() > tail && item.substr(item.size() - tail) == parsed.logPath);
  }
  Check(invalidFound && logFound);
  Check(parsed.invalid.empty() || parsed.invalid[0] == '/' || parsed.invalid[0] == '-');
  return 0;
}
