#include "base/paths.h"

#include <vector>

namespace vespodar {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// root followed by rest with what Windows resolves in a plain path, and takes
// literally behind "\\?\": "/" as a separator, empty and "." components
// dropped, ".." taking away the component before it (never the root). A final
// separator stays.
std::string Resolved(const std::string& root, const std::string& rest) {
  std::vector<std::string> parts;
  std::string part;
  auto endPart = [&] {
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
  };
  for (char c : rest) {
    if (IsSeparator(c))
      endPart();
    else
      part += c;
  }
  endPart();
  std::string resolved = root;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) resolved += '\\';
    resolved += parts[i];
  }
  if (!parts.empty() && !rest.empty() && IsSeparator(rest.back())) resolved += '\\';
  return resolved;
}

}  // namespace

void AddTrailingBackslash(std::string& path) {
  if (!path.empty() && path.back() != '\\') path += '\\';
}

std::string ExtendedLengthPath(const std::string& path) {
  const bool driveLetter = !path.empty() && ((path[0] >= 'A' && path[0] <= 'Z') ||
                                              (path[0] >= 'a' && path[0] <= 'z'));
  if (path.size() >= 3 && driveLetter && path[1] == ':' && IsSeparator(path[2]))
    return "\\\\?\\" + Resolved(path.substr(0, 2) + "\\", path.substr(3));
  if (path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]) &&
      path[2] != '?' && path[2] != '.') {
    // The server and the share are the root: ".." never climbs above them.
    std::string::size_type serverEnd = 2;
    while (serverEnd < path.size() && !IsSeparator(path[serverEnd])) ++serverEnd;
    std::string::size_type shareEnd = serverEnd + 1;
    while (shareEnd < path.size() && !IsSeparator(path[shareEnd])) ++shareEnd;
    if (shareEnd > path.size()) return "\\\\?\\UNC\\" + path.substr(2);
    // No share name (or "." or ".." for one): nothing the prefix could name.
    const std::string share = path.substr(serverEnd + 1, shareEnd - serverEnd - 1);
    if (share.empty() || share == "." || share == "..") return path;
    const std::string root = path.substr(2, serverEnd - 2) + "\\" + share;
    if (shareEnd == path.size()) return "\\\\?\\UNC\\" + root;
    return "\\\\?\\UNC\\" + Resolved(root + "\\", path.substr(shareEnd + 1));
  }
  return path;
}

bool IsAbsolutePath(const std::string& path) {
  return ExtendedLengthPath(path).compare(0, 4, "\\\\?\\") == 0;
}

}  // namespace vespodar
