#ifndef VESPODAR_SETUP_STARTUP_H_
#define VESPODAR_SETUP_STARTUP_H_

#include <cstdint>
#include <string>
#include <vector>

// The decisions of start-up, apart from the calls that gather their inputs.

// True for the seven Cyrillic-script locales whose users read Russian texts.
// The whole locale identifier is compared, not only the primary language.
bool IsCyrillicLocale(std::uint32_t lcid);

// A to Z become a to z; every other byte, Cyrillic letters included, stays.
std::string LowerAscii(const std::string& text);

// Splits a command line the way the program's arguments are taken: at blanks
// and control characters; characters between double quotes stay together and
// the quotes are dropped. The first item is the program itself.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The process-wide pseudo-random generator (temporary file names).
void SeedRandom(std::uint32_t seed);
std::uint32_t NextRandom();
// Eight letters a to z, drawn from the generator.
std::string RandomLetters(std::size_t count);

#endif  // VESPODAR_SETUP_STARTUP_H_
