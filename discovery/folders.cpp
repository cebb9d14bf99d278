#include "discovery/folders.h"

#include <vector>

#include "setup/setup_context.h"
#include "ui/messages.h"

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

// Reads name from the open key into field when it exists.
void ReadIfPresent(RegistryAccessor& registry, const char* name, std::string& field) {
  if (registry.ValueExists(name)) field = registry.ReadText(name);
}

// Runs one keyed read: open, read, close also when the read throws.
template <typename Read>
void WithKey(RegistryAccessor& registry, RegistryRoot root, const std::string& path, Read read) {
  registry.SetRoot(root);
  registry.OpenKey(path, false);
  try {
    read();
  } catch (...) {
    registry.CloseKey();
    throw;
  }
  registry.CloseKey();
}

// installDir from the UninstallString under path, when there is one.
bool ReadInstallDir(SetupContext& context, const std::string& path) {
  bool found = false;
  WithKey(*context.registry, RegistryRoot::kLocalMachine, path, [&] {
    if (!context.registry->ValueExists("UninstallString")) return;
    found = true;
    const std::string directory =
        UninstallDirectory(context.registry->ReadText("UninstallString"));
    if (!directory.empty()) context.installDir = directory;
  });
  return found;
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

std::string UninstallDirectory(const std::string& uninstallString) {
  std::string text = uninstallString;
  if (text.size() >= 2 && text[0] == '"') {
    const std::string::size_type close = text.find('"', 1);
    text = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  if (text.size() < 2) return std::string();
  const std::string::size_type slash = text.rfind('\\', text.size() - 2);
  if (slash == std::string::npos) return std::string();
  return text.substr(0, slash + 1);
}

bool PassesRightsTest(const std::string& programFilesPath) {
  return programFilesPath.find(":\\") == 1;
}

std::string Wow6432Path(const std::string& path) {
  const std::string::size_type slash = path.find('\\');
  if (slash == std::string::npos) return path;
  return path.substr(0, slash + 1) + "WOW6432Node\\" + path.substr(slash + 1);
}

bool DiscoverFolders(SetupContext& context, MessageShower& shower) {
  RegistryAccessor& registry = *context.registry;
  const std::string shellFolders = context.windowsKeyPath + "Explorer\\Shell Folders";
  context.commonProgramsDir.clear();
  // A value of the wrong type anywhere here is a registry error: the setup
  // cannot trust what it would find, so it says so and stops.
  try {
    std::string programFiles;
    WithKey(registry, RegistryRoot::kLocalMachine, context.windowsKeyPath,
            [&] { ReadIfPresent(registry, "ProgramFilesDir", programFiles); });
    AddTrailingBackslash(programFiles);
    context.canInstall = PassesRightsTest(programFiles);

    WithKey(registry, RegistryRoot::kLocalMachine, shellFolders, [&] {
      context.commonDesktopDir.clear();
      ReadIfPresent(registry, "Common Desktop", context.commonDesktopDir);
      AddTrailingBackslash(context.commonDesktopDir);
      if (context.ntPlatform) {
        ReadIfPresent(registry, "Common Programs", context.commonProgramsDir);
        AddTrailingBackslash(context.commonProgramsDir);
      }
    });

    WithKey(registry, RegistryRoot::kCurrentUser, shellFolders, [&] {
      ReadIfPresent(registry, "Programs", context.userProgramsDir);
      AddTrailingBackslash(context.userProgramsDir);
      ReadIfPresent(registry, "Desktop", context.desktopDir);
      AddTrailingBackslash(context.desktopDir);
      ReadIfPresent(registry, "Startup", context.startupDir);
      AddTrailingBackslash(context.startupDir);
    });

    context.uninstallRoot = context.windowsKeyPath + "Uninstall\\";
    context.installDir = programFiles + context.productName;
    if (!ReadInstallDir(context, context.uninstallRoot + context.productName))
      ReadInstallDir(context, Wow6432Path(context.uninstallRoot) + context.productName);
    AddTrailingBackslash(context.installDir);
  } catch (const RegistryError&) {
    ShowBilingualError(context, shower, RegistryErrorText());
    return false;
  }
  return true;
}
