#include "discovery/folders.h"

#include <vector>

#include "base/paths.h"

namespace vespodar {

namespace {

// Reads name from the open key into field when it exists.
void ReadIfPresent(RegistryAccessor& registry, const char* name, std::string& field) {
  if (registry.ValueExists(name)) field = registry.ReadText(name);
}

// installDir from the UninstallString under path, when there is one. A
// relative one counts as no entry, as one without a directory does (the
// default location stays): resolved against the elevated setup's current
// directory it would send the package wherever the setup was started from.
bool ReadInstallDir(RegistryAccessor& registry, const std::string& path, InstallDirSource source,
                    Folders& folders) {
  const ScopedOpenKey key(registry, RegistryRoot::kLocalMachine, path, false);
  if (!registry.ValueExists("UninstallString")) return false;
  folders.entryBranch = source;
  const std::string directory = UninstallDirectory(registry.ReadText("UninstallString"));
  if (IsAbsolutePath(directory)) {
    folders.installDir = directory;
    folders.installDirSource = source;
  }
  return true;
}

}  // namespace

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

void DiscoverFolders(RegistryAccessor& registry, const std::string& windowsKeyPath,
                     const std::string& productName, bool ntPlatform, Folders& folders) {
  folders = Folders();
  const std::string shellFolders = windowsKeyPath + "Explorer\\Shell Folders";
  std::string programFiles;
  {
    const ScopedOpenKey key(registry, RegistryRoot::kLocalMachine, windowsKeyPath, false);
    ReadIfPresent(registry, "ProgramFilesDir", programFiles);
  }
  AddTrailingBackslash(programFiles);
  folders.canInstall = PassesRightsTest(programFiles);
  {
    const ScopedOpenKey key(registry, RegistryRoot::kLocalMachine, shellFolders, false);
    ReadIfPresent(registry, "Common Desktop", folders.commonDesktopDir);
    AddTrailingBackslash(folders.commonDesktopDir);
    if (ntPlatform) {
      ReadIfPresent(registry, "Common Programs", folders.commonProgramsDir);
      AddTrailingBackslash(folders.commonProgramsDir);
    }
  }
  {
    const ScopedOpenKey key(registry, RegistryRoot::kCurrentUser, shellFolders, false);
    ReadIfPresent(registry, "Programs", folders.userProgramsDir);
    AddTrailingBackslash(folders.userProgramsDir);
    ReadIfPresent(registry, "Desktop", folders.desktopDir);
    AddTrailingBackslash(folders.desktopDir);
    ReadIfPresent(registry, "Startup", folders.startupDir);
    AddTrailingBackslash(folders.startupDir);
  }
  folders.uninstallRoot = windowsKeyPath + "Uninstall\\";
  folders.installDir = programFiles + productName;
  if (!ReadInstallDir(registry, folders.uninstallRoot + productName, InstallDirSource::kMainBranch,
                      folders))
    ReadInstallDir(registry, Wow6432Path(folders.uninstallRoot) + productName,
                   InstallDirSource::kWow64Branch, folders);
  AddTrailingBackslash(folders.installDir);
}

}  // namespace vespodar
