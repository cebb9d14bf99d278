#include "setup/update_steps_win.h"

#include <vector>

#include "base/file_pieces.h"
#include "base/number_text.h"
#include "base/sha256.h"
#include "discovery/installed_size_win.h"
#include "install/file_holders_win.h"
#include "install/package_source_win.h"
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

bool Win32UpdateSteps::ProductNotRunning() { return vespodar::ProductNotRunning(); }

bool Win32UpdateSteps::CloseRunningProduct() {
  return vespodar::CloseRunningProduct(context_.mainWindowClass);
}

OwnFileCheck Win32UpdateSteps::CheckOwnFile() { return vespodar::CheckOwnFile(); }

bool Win32UpdateSteps::FileExists(const std::string& path) { return IsExistingFile(path); }

namespace {

// The package's SHA-256, read from the setup's own file a piece at a time as
// the write reads it: hashing the loaded image would bring the whole package
// into memory.
bool HashPackage(const PackageResource& package, Digest* digest) {
  std::vector<std::uint8_t> piece(package.size < kFilePieceBytes ? package.size : kFilePieceBytes);
  Sha256State state;
  Sha256Init(&state);
  if (!ForEachPiece(
          package.fileOffset, package.size, piece.data(), piece.size(),
          [](std::size_t offset, std::size_t count, std::uint8_t* out) {
            return ReadOwnFile(offset, count, out);
          },
          [&state](const std::uint8_t* data, std::size_t count) {
            Sha256Update(&state, data, count);
            return true;
          }))
    return false;
  *digest = Sha256Final(&state);
  return true;
}

}  // namespace

PackageWrite Win32UpdateSteps::InstallPackageFile(const std::string& name, const std::string& type,
                                                  const std::string& target, bool guardVersions,
                                                  Reporter& reporter) {
  PackageResource package;
  // Which package this run carried, for an administrator comparing machines.
  Digest digest;
  if (reporter.Logging() && LoadPackage(name, type, &package) && HashPackage(package, &digest)) {
    std::string line = name;
    line += '.';
    line += type;
    line += ", ";
    line += DecimalText(package.size);
    line += " bytes, SHA-256 ";
    line += DigestText(digest);
    reporter.Log("package: ", line);
  }
  return WritePackageStep(context_, name, type, target, guardVersions, reporter);
}

std::uint32_t Win32UpdateSteps::ReplaceAtRestart(const std::string& staging,
                                                 const std::string& target) {
  std::uint32_t error = 0;
  vespodar::ReplaceAtRestart(staging, target, &error);
  return error;
}

void Win32UpdateSteps::RemoveStagingFile(const std::string& staging) {
  vespodar::RemoveStagingFile(staging);
}

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
