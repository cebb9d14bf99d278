#ifndef VESPODAR_DISCOVERY_WINDOWS_VERSION_WIN_H_
#define VESPODAR_DISCOVERY_WINDOWS_VERSION_WIN_H_

#include <string>

namespace vespodar {

// Describes the running Windows in one line ("Microsoft Windows 7 64-bit
// Service Pack 1"). Sets *is64BitWindows to whether the description contains
// " 64" when a description could be made; leaves it alone otherwise.
std::string DescribeWindows(bool includeVersion, bool* is64BitWindows);

// Runs command through the system's own cmd.exe (System32, never ComSpec;
// without the user's AutoRun) without a window, waiting a bounded time;
// returns what it printed, as UTF-8. Empty when the system directory is
// unknown; one empty line when the interpreter cannot be started.
std::string RunConsoleCommand(const std::string& command);

}  // namespace vespodar

#endif  // VESPODAR_DISCOVERY_WINDOWS_VERSION_WIN_H_
