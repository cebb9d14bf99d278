#include "setup/startup.h"

namespace {

std::uint32_t randomState = 1;

}  // namespace

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

std::string LowerAscii(const std::string& text) {
  std::string lower = text;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
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

void SeedRandom(std::uint32_t seed) { randomState = seed ? seed : 1; }

std::uint32_t NextRandom() {
  // xorshift32: uniform enough for file names, and the same on every compiler.
  std::uint32_t x = randomState;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  randomState = x;
  return x;
}

std::string RandomLetters(std::size_t count) {
  std::string letters;
  for (std::size_t i = 0; i < count; ++i)
    letters += static_cast<char>('a' + NextRandom() % 26);
  return letters;
}
