#ifndef VESPODAR_INSTALL_FILE_HOLDERS_WIN_H_
#define VESPODAR_INSTALL_FILE_HOLDERS_WIN_H_

#include <string>

namespace vespodar {

// The programs that hold path open, as the Restart Manager names them
// ("Vespodar (pid 1234), ..."), for the log of a file that stays in use.
// "unknown" where Windows cannot tell (XP has no Restart Manager; it is
// loaded at the first call).
std::string FileHolders(const std::string& path);

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_FILE_HOLDERS_WIN_H_
