#ifndef VESPODAR_SETUP_SETUP_CONTEXT_H_
#define VESPODAR_SETUP_SETUP_CONTEXT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/product_identity.h"
#include "base/registry.h"
#include "discovery/folders.h"
#include "setup/command_line.h"
#include "ui/messages.h"

namespace vespodar {

// The one record of setup-wide state. Every operation reads and writes its own
// fields directly, on the main thread. Texts are UTF-8; directory fields end in
// a backslash once set. Its language fields (russianUi, the two captions) are
// what every box of the run takes: the context is the UserLanguage of the
// boxes.
struct SetupContext : UserLanguage {
  // Package and product constants (set by the entry and the main flow).
  std::string packageTitle;
  std::string packageName;
  std::int32_t packageVersion = 0;
  std::string packageType = "cok";
  std::string mainWindowClass = kMainWindowClass;
  // Whether the package is written through the version guard.
  bool guardVersions = false;
  std::string productName;
  std::string packageDisplayName;

  // Start-up fields.
  std::vector<std::string> arguments;     // as given, without the program name
  std::string commandLineText;            // the whole line, for the log
  std::string windowsDescription;         // for the log
  std::unique_ptr<RegistryAccessor> registry;
  bool is64BitWindows = false;
  // The version query's platform id is VER_PLATFORM_WIN32_NT.
  bool ntPlatform = true;

  CommandLine commandLine;  // parsed from arguments by the flow
  bool modestMode = false;

  // Discovery: the product directory, the shell folders, the rights test.
  const std::string windowsKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\";
  Folders folders;
};

}  // namespace vespodar

#endif  // VESPODAR_SETUP_SETUP_CONTEXT_H_
