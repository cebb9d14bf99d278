#include "setup/startup.h"

namespace vespodar {

bool IsCyrillicLocale(std::uint32_t lcid) {
  switch (lcid) {
    case 0x0402:  // Bulgarian (Bulgaria)
    case 0x0419:  // Russian (Russia)
    case 0x0422:  // Ukrainian (Ukraine)
    case 0x0423:  // Belarusian (Belarus)
    case 0x043F:  // Kazakh (Kazakhstan)
    case 0x0444:  // Tatar (Russia)
    case 0x0819:  // Russian (Moldova)
      return true;
    default:
      return false;
  }
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> items;
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  auto isSeparator = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (true) {
    while (i < n && isSeparator(commandLine[i])) ++i;
    if (i >= n) break;
    std::string item;
    bool quoted = false;
    while (i < n && (quoted || !isSeparator(commandLine[i]))) {
      if (commandLine[i] == '"')
        quoted = !quoted;
      else
        item += commandLine[i];
      ++i;
    }
    items.push_back(item);
  }
  return items;
}

}  // namespace vespodar
