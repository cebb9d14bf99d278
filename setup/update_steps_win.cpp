#include "setup/update_steps_win.h"

#include <windows.h>

#include "discovery/folders.h"
#include "discovery/installed_size_win.h"
#include "install/package_writer_win.h"
#include "package_constants.h"
#include "setup/own_file_win.h"
#include "setup/product_win.h"
#include "setup/setup_context.h"
#include "setup/win_text.h"
#include "ui/messages_win.h"

int Win32UpdateSteps::ShowMessageBox(const MessageBoxSpec& box) { return ShowMessageBoxWin(box); }

bool Win32UpdateSteps::ProductNotRunning() { return ::ProductNotRunning(); }

void Win32UpdateSteps::CloseRunningProduct() { ::CloseRunningProduct(context_.mainWindowClass); }

OwnFileState Win32UpdateSteps::CheckOwnFile() { return ::CheckOwnFile(); }

bool Win32UpdateSteps::FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Widen(ExtendedLengthPath(path)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

InstallOutcome Win32UpdateSteps::InstallPackageFile(const std::string& name, const std::string& type,
                                          const std::string& target, bool guardVersions) {
  // Whether a package has the version guard is decided when it is built: one
  // built without it carries none of the guard's code (18 KB of the setup:
  // the probes of every file kind, the language files, the version library,
  // the progress window).
  if (!VESPODAR_GUARD_VERSIONS || !guardVersions)
    return ::InstallPackageFileUnguarded(context_, *this, name, type, target);
  return ::InstallPackageFile(context_, *this, name, type, target, guardVersions);
}

std::int32_t Win32UpdateSteps::DirectorySizeKb(const std::string& path) {
  return ::DirectorySizeKb(path);
}

void Win32UpdateSteps::StartProductAndWait() {
  ::StartProductAndWait(context_.installDir, context_.productName + ".exe",
                        context_.mainWindowClass);
}
