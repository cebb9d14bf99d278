// Placeholder until the version description lands.
#include "discovery/windows_version_win.h"
std::string DescribeWindows(bool, bool*) { return "unknown"; }
std::string RunConsoleCommand(const std::string&) { return std::string(); }
