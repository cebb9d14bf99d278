#ifndef VESPODAR_INSTALL_FILE_HOLDERS_WIN_H_
#define VESPODAR_INSTALL_FILE_HOLDERS_WIN_H_

#include <string>

namespace vespodar {

// The programs that hold path open, by the names the Restart Manager gives
// them, joined ("Vespodar, Windows Explorer"; at most eight), for the log of a
// file that stays in use. "unknown" where Windows cannot tell (XP has no
// Restart Manager; it is loaded at the first call) or names nobody.
std::string FileHolders(const std::string& path);

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_FILE_HOLDERS_WIN_H_
