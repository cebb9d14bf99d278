#include "setup/update_steps_win.h"

#include "base/number_text.h"
#include "base/security_attributes_win.h"
#include "base/sha256.h"
#include "discovery/installed_size_win.h"
#include "install/file_holders_win.h"
#include "install/package_writer_win.h"
#include "setup/own_file_win.h"
#include "setup/package_step_win.h"
#include "setup/product_win.h"
#include "setup/run_log.h"
#include "setup/setup_context.h"
#include "ui/messages_win.h"

namespace vespodar {

int Win32UpdateSteps::ShowMessageBox(const MessageBoxSpec& box) { return ShowMessageBoxWin(box); }

bool Win32UpdateSteps::StationVisible() { return WindowStationVisible(); }

bool Win32UpdateSteps::Logging() { return !context_.commandLine.logPath.empty(); }

void Win32UpdateSteps::WriteLog(const std::string& text) {
  log_.Append(context_.commandLine.logPath, text);
}

std::string Win32UpdateSteps::WindowsErrorText(std::uint32_t error) {
  return vespodar::WindowsErrorText(error);
}

namespace {

// One run at a time, machine-wide. A section in the global namespace, not a
// mutex: any user may create a global mutex first and keep every later run
// out, but creating a global section from any session but services' needs
// SeCreateGlobalPrivilege, which administrators and services have and
// standard users lack. Its DACL lets SYSTEM and the administrators alone
// open it, so nobody else can hold it past the run either.
const wchar_t kRunLockName[] = L"Global\\VespodarUpdateRun";
const wchar_t kRunLockSecurity[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

}  // namespace

bool Win32UpdateSteps::TakeRunLock() {
  ScopedSecurityAttributes security(kRunLockSecurity);
  const HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, security.get(), PAGE_READONLY,
                                            0, 1, kRunLockName);
  const DWORD error = GetLastError();
  runLock_ = ScopedHandle(section);
  // A user who may not create it (no administrator: the rights check
  // refuses him next) or any other failure leaves the run unlocked, as the
  // setup ran before; only a lock that another run holds stops it.
  return !(runLock_.valid() && error == ERROR_ALREADY_EXISTS);
}

bool Win32UpdateSteps::ProductNotRunning() { return vespodar::ProductNotRunning(); }

bool Win32UpdateSteps::CloseRunningProduct() {
  return vespodar::CloseRunningProduct(context_.mainWindowClass);
}

OwnFileCheck Win32UpdateSteps::CheckOwnFile() { return vespodar::CheckOwnFile(); }

bool Win32UpdateSteps::FileExists(const std::string& path) { return IsExistingFile(path); }

PackageWrite Win32UpdateSteps::InstallPackageFile(const std::string& name, const std::string& type,
                                                  bool guardVersions, Reporter& reporter) {
  OwnFilePackage package;
  PackageWrite failed;
  if (!package.Load(name, type, &failed.windowsError)) return failed;
  const PackageWrite written = WriteCarriedPackage(context_, writer_, package, name + "." + type,
                                                  type, guardVersions, reporter);
  // Which package this run carried, for an administrator comparing machines:
  // the SHA-256 of the file it wrote, hashed as the write went (the package
  // is read once).
  if (written.described) {
    std::string line = name;
    line += '.';
    line += type;
    line += ", ";
    line += DecimalText(package.size());
    line += " bytes, SHA-256 ";
    line += DigestText(written.sha256);
    reporter.Log("package: ", line);
  }
  return written;
}

bool Win32UpdateSteps::PackageBaseInstalled(std::string* found) {
  return CarriedPackageBaseInstalled(context_, writer_, found);
}

std::uint32_t Win32UpdateSteps::ReplaceAtRestart() {
  std::uint32_t error = 0;
  if (writer_.ReplaceAtRestart(&error)) return 0;
  // Never 0 for a replacement that was not scheduled.
  return error ? error : 1;  // ERROR_INVALID_FUNCTION: nothing held to schedule
}

void Win32UpdateSteps::RemoveStagingFile() { writer_.RemoveStaging(); }

std::string Win32UpdateSteps::FileHolders(const std::string& path) {
  return vespodar::FileHolders(path);
}

std::int32_t Win32UpdateSteps::DirectorySizeKb(const std::string& path) {
  return vespodar::DirectorySizeKb(path);
}

LaunchOutcome Win32UpdateSteps::StartProductAndWait() {
  return vespodar::StartProductAndWait(context_.folders.installDir, context_.productName + ".exe",
                                       context_.mainWindowClass);
}

}  // namespace vespodar
