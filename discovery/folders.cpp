#include "discovery/folders.h"

#include "setup/setup_context.h"
#include "ui/messages.h"

namespace {

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
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return "\\\\?\\" + path;
  if (path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '?' && path[2] != '.')
    return "\\\\?\\UNC\\" + path.substr(2);
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
