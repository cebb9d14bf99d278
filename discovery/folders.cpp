#include "discovery/folders.h"

#include <vector>

#include "base/paths.h"

namespace vespodar {

namespace {

// Reads the values of the open keys; the first value it cannot trust stops
// every later read and is what discovery reports.
class Reader {
 public:
  explicit Reader(RegistryAccessor& registry) : registry_(registry) {}

  // Reads name from the open key into field when it exists.
  void ReadIfPresent(const char* name, std::string& field) {
    if (ok_ && registry_.ValueExists(name)) ok_ = registry_.ReadText(name, &field, &windowsError_);
  }

  // installDir from the UninstallString under path, when there is one. A
  // relative one counts as no entry, as one without a directory does (the
  // default location stays): resolved against the elevated setup's current
  // directory it would send the package wherever the setup was started from.
  // An entry that is there but refuses full access is the product's entry
  // all the same: its directory cannot be read (the default location stays),
  // and the size record then reports the registry's refusal.
  bool ReadInstallDir(const std::string& path, InstallDirSource source, Folders& folders) {
    const ScopedOpenKey key(registry_, RegistryRoot::kLocalMachine, path, false);
    if (!ok_) return false;
    if (!key.opened() && !key.missing()) {
      folders.entryBranch = source;
      return true;
    }
    if (!registry_.ValueExists("UninstallString")) return false;
    folders.entryBranch = source;
    std::string uninstallString;
    ok_ = registry_.ReadText("UninstallString", &uninstallString, &windowsError_);
    const std::string directory = UninstallDirectory(uninstallString);
    if (ok_ && IsAbsolutePath(directory)) {
      folders.installDir = directory;
      folders.installDirSource = source;
    }
    return true;
  }

  bool ok() const { return ok_; }
  std::uint32_t windowsError() const { return windowsError_; }

 private:
  RegistryAccessor& registry_;
  bool ok_ = true;
  std::uint32_t windowsError_ = 0;
};

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

bool DiscoverFolders(RegistryAccessor& registry, const std::string& windowsKeyPath,
                     const std::string& productName, bool ntPlatform, Folders& folders,
                     std::uint32_t* windowsError) {
  folders = Folders();
  Reader reader(registry);
  const std::string shellFolders = windowsKeyPath + "Explorer\\Shell Folders";
  std::string programFiles;
  {
    const ScopedOpenKey key(registry, RegistryRoot::kLocalMachine, windowsKeyPath, false);
    reader.ReadIfPresent("ProgramFilesDir", programFiles);
  }
  AddTrailingBackslash(programFiles);
  folders.canInstall = PassesRightsTest(programFiles);
  {
    const ScopedOpenKey key(registry, RegistryRoot::kLocalMachine, shellFolders, false);
    reader.ReadIfPresent("Common Desktop", folders.commonDesktopDir);
    AddTrailingBackslash(folders.commonDesktopDir);
    if (ntPlatform) {
      reader.ReadIfPresent("Common Programs", folders.commonProgramsDir);
      AddTrailingBackslash(folders.commonProgramsDir);
    }
  }
  {
    const ScopedOpenKey key(registry, RegistryRoot::kCurrentUser, shellFolders, false);
    reader.ReadIfPresent("Programs", folders.userProgramsDir);
    AddTrailingBackslash(folders.userProgramsDir);
    reader.ReadIfPresent("Desktop", folders.desktopDir);
    AddTrailingBackslash(folders.desktopDir);
    reader.ReadIfPresent("Startup", folders.startupDir);
    AddTrailingBackslash(folders.startupDir);
  }
  folders.uninstallRoot = windowsKeyPath + "Uninstall\\";
  folders.installDir = programFiles + productName;
  if (!reader.ReadInstallDir(folders.uninstallRoot + productName, InstallDirSource::kMainBranch,
                             folders))
    reader.ReadInstallDir(Wow6432Path(folders.uninstallRoot) + productName,
                          InstallDirSource::kWow64Branch, folders);
  AddTrailingBackslash(folders.installDir);
  *windowsError = reader.windowsError();
  return reader.ok();
}

}  // namespace vespodar
