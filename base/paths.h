#ifndef VESPODAR_BASE_PATHS_H_
#define VESPODAR_BASE_PATHS_H_

#include <string>

namespace vespodar {

// Appends a backslash to a non-empty text that does not end in one.
void AddTrailingBackslash(std::string& path);

// The form of an absolute path that the wide file API takes past MAX_PATH:
// "\\?\C:\..." for a drive path, "\\?\UNC\server\..." for a network path.
// Behind that prefix Windows takes the path literally, so what it would
// resolve in a plain path is resolved here: "/" becomes "\", empty and "."
// components go, ".." removes the component before it. Other texts are
// returned as they are.
std::string ExtendedLengthPath(const std::string& path);

// A path that names the same place from any current directory: a drive path
// ("C:\..."), a network path ("\\server\share...") or one already in the
// extended form. "C:x", "\x" and "x" depend on the current drive or
// directory.
bool IsAbsolutePath(const std::string& path);

}  // namespace vespodar

#endif  // VESPODAR_BASE_PATHS_H_
