#ifndef VESPODAR_SETUP_STARTUP_H_
#define VESPODAR_SETUP_STARTUP_H_

#include <cstdint>
#include <string>
#include <vector>

namespace vespodar {

// The decisions of start-up, apart from the calls that gather their inputs.

// True for the seven Cyrillic-script locales whose users read Russian texts.
// The whole locale identifier is compared, not only the primary language.
bool IsCyrillicLocale(std::uint32_t lcid);

// Splits a command line the way the program's arguments are taken: at blanks
// and control characters; characters between double quotes stay together and
// the quotes are dropped. The first item is the program itself.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace vespodar

#endif  // VESPODAR_SETUP_STARTUP_H_
