#ifndef VESPODAR_SETUP_SETUP_CONTEXT_H_
#define VESPODAR_SETUP_SETUP_CONTEXT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "setup/registry.h"

// The one record of setup-wide state. Every operation reads and writes its own
// fields directly, on the main thread. Texts are UTF-8; directory fields end in
// a backslash once set.
struct SetupContext {
  // Package and product constants (set by the entry and the main flow).
  std::string packageTitle;
  std::string packageName;
  std::int32_t packageVersion = 0;
  std::string packageType = "cok";
  std::string mainWindowClass = "TVDMainForm";
  // Whether the package is written through the version guard.
  bool guardVersions = false;
  std::string productName;
  std::string productCaptionRu;
  std::string productCaptionEn;
  std::string packageDisplayName;

  // Start-up fields.
  bool russianUi = false;
  std::string firstArgument;              // lower-cased
  std::vector<std::string> arguments;     // as given, without the program name
  std::unique_ptr<RegistryAccessor> registry;
  bool is64BitWindows = false;
  // The version query's platform id is VER_PLATFORM_WIN32_NT.
  bool ntPlatform = true;

  bool modestMode = false;

  // Discovery fields.
  const std::string windowsKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\";
  std::string commonDesktopDir;
  std::string commonProgramsDir;
  std::string userProgramsDir;
  std::string desktopDir;
  std::string startupDir;
  std::string uninstallRoot;
  std::string installDir;
  bool canInstall = true;
};

#endif  // VESPODAR_SETUP_SETUP_CONTEXT_H_
