#ifndef VESPODAR_DISCOVERY_FOLDERS_H_
#define VESPODAR_DISCOVERY_FOLDERS_H_

#include <string>

#include "base/registry.h"

namespace vespodar {

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

// Where the product directory was taken from.
enum class InstallDirSource {
  kDefault,       // no usable entry: Program Files + the product's name
  kMainBranch,    // the UninstallString of the Uninstall entry in the main branch
  kWow64Branch,   // ... in the 32-bit branch (Software\WOW6432Node)
};

// What discovery finds. Directory fields end in a backslash once set.
struct Folders {
  std::string commonDesktopDir;
  std::string commonProgramsDir;  // read on the NT family only
  std::string userProgramsDir;
  std::string desktopDir;
  std::string startupDir;
  // windowsKeyPath + "Uninstall\".
  std::string uninstallRoot;
  std::string installDir;
  InstallDirSource installDirSource = InstallDirSource::kDefault;
  // The branch whose Uninstall entry holds an UninstallString, usable or not:
  // the key where EstimatedSize belongs. kDefault: no entry in either branch.
  InstallDirSource entryBranch = InstallDirSource::kDefault;
  // The rights test.
  bool canInstall = true;
};

// Fills a fresh folders from the registry: the Program Files path (the rights
// test), the shell folders and the product's Uninstall entry (the main branch
// first, then the 32-bit one) under windowsKeyPath. False, with the Windows
// error, for a value of the wrong type anywhere or one that cannot be read:
// the setup cannot trust what it would find. Every key is closed again.
bool DiscoverFolders(RegistryAccessor& registry, const std::string& windowsKeyPath,
                     const std::string& productName, bool ntPlatform, Folders& folders,
                     std::uint32_t* windowsError);

}  // namespace vespodar

#endif  // VESPODAR_DISCOVERY_FOLDERS_H_
