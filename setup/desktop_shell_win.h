#ifndef VESPODAR_SETUP_DESKTOP_SHELL_WIN_H_
#define VESPODAR_SETUP_DESKTOP_SHELL_WIN_H_

#include <string>

namespace vespodar {

// Asks the desktop's shell to open path with directory as working directory,
// so the program runs in Explorer's process tree, with the desktop user's
// rights. False when the shell could not be reached (no Explorer desktop, or
// a shell that does not offer its dispatch interface).
bool OpenThroughDesktopShell(const std::wstring& path, const std::wstring& directory);

// True when the setup's token is elevated (Windows Vista and later).
bool IsProcessElevated();

}  // namespace vespodar

#endif  // VESPODAR_SETUP_DESKTOP_SHELL_WIN_H_
