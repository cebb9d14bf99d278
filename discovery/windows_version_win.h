#ifndef VESPODAR_DISCOVERY_WINDOWS_VERSION_WIN_H_
#define VESPODAR_DISCOVERY_WINDOWS_VERSION_WIN_H_

#include <string>

namespace vespodar {

// Describes the running Windows in one line ("Microsoft Windows 7 64-bit
// Service Pack 1"). Sets *is64BitWindows to whether the description contains
// " 64" when a description could be made; leaves it alone otherwise.
std::string DescribeWindows(bool includeVersion, bool* is64BitWindows);

// Runs command through %ComSpec% without a window; returns what it printed,
// as UTF-8. Empty when no command interpreter is configured or ComSpec is not
// a plain absolute path; one empty line when Temp is none (or holds no file of
// ours).
std::string RunConsoleCommand(const std::string& command);

}  // namespace vespodar

#endif  // VESPODAR_DISCOVERY_WINDOWS_VERSION_WIN_H_
