#ifndef VESPODAR_DISCOVERY_FOLDERS_H_
#define VESPODAR_DISCOVERY_FOLDERS_H_

#include <string>

class MessageShower;
struct SetupContext;

// Appends a backslash to a non-empty text that does not end in one.
void AddTrailingBackslash(std::string& path);

// The form of an absolute path that the wide file API takes past MAX_PATH:
// "\\?\C:\..." for a drive path, "\\?\UNC\server\..." for a network path.
// Behind that prefix Windows takes the path literally, so what it would
// resolve in a plain path is resolved here: "/" becomes "\", empty and "."
// components go, ".." removes the component before it. Other texts are
// returned as they are.
std::string ExtendedLengthPath(const std::string& path);

// The directory part of an UninstallString: everything up to and including
// the last backslash before its last character. A value in double quotes (the
// form Windows recommends for paths with blanks) is read as the path inside
// them. Empty when there is no such backslash.
std::string UninstallDirectory(const std::string& uninstallString);

// The rights test on the machine-wide Program Files path: it starts with a
// drive letter, a colon and a backslash. A user without rights cannot open the
// key that holds it, so the path is then empty.
bool PassesRightsTest(const std::string& programFilesPath);

// "Software\WOW6432Node\..." for a path under "Software\".
std::string Wow6432Path(const std::string& path);

// Fills the folder fields, the rights test and installDir from the registry.
// False after it has shown the registry error box.
bool DiscoverFolders(SetupContext& context, MessageShower& shower);

#endif  // VESPODAR_DISCOVERY_FOLDERS_H_
