#include "base/registry.h"

namespace vespodar {

namespace {

std::string TrimBackslashes(const std::string& path) {
  std::string::size_type first = path.find_first_not_of('\\');
  if (first == std::string::npos) return std::string();
  std::string::size_type last = path.find_last_not_of('\\');
  return path.substr(first, last - first + 1);
}

}  // namespace

std::string ResolveKeyPath(const std::string& openKeyPath, const std::string& path) {
  const std::string relative = TrimBackslashes(path);
  if (!path.empty() && path[0] == '\\') return relative;
  const std::string base = TrimBackslashes(openKeyPath);
  if (base.empty()) return relative;
  if (relative.empty()) return base;
  return base + "\\" + relative;
}

}  // namespace vespodar
