#include "setup/update_steps_win.h"

#include "discovery/installed_size_win.h"
#include "install/package_writer_win.h"
#include "setup/own_file_win.h"
#include "setup/package_step_win.h"
#include "setup/product_win.h"
#include "setup/setup_context.h"
#include "ui/messages_win.h"

namespace vespodar {

int Win32UpdateSteps::ShowMessageBox(const MessageBoxSpec& box) { return ShowMessageBoxWin(box); }

bool Win32UpdateSteps::ProductNotRunning() { return vespodar::ProductNotRunning(); }

void Win32UpdateSteps::CloseRunningProduct() {
  vespodar::CloseRunningProduct(context_.mainWindowClass);
}

OwnFileCheck Win32UpdateSteps::CheckOwnFile() { return vespodar::CheckOwnFile(); }

bool Win32UpdateSteps::FileExists(const std::string& path) { return IsExistingFile(path); }

PackageWrite Win32UpdateSteps::InstallPackageFile(const std::string& name, const std::string& type,
                                                  const std::string& target, bool guardVersions,
                                                  Reporter& reporter) {
  return WritePackageStep(context_, name, type, target, guardVersions, reporter);
}

std::int32_t Win32UpdateSteps::DirectorySizeKb(const std::string& path) {
  return vespodar::DirectorySizeKb(path);
}

void Win32UpdateSteps::StartProductAndWait() {
  vespodar::StartProductAndWait(context_.folders.installDir, context_.productName + ".exe",
                                context_.mainWindowClass);
}

}  // namespace vespodar
