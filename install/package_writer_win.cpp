#include "install/package_writer_win.h"

#include <windows.h>

#include "discovery/folders.h"
#include "install/package_writer.h"
#include "install/version_guard.h"
#include "install/version_guard_win.h"
#include "setup/scoped_handle_win.h"
#include "setup/startup.h"
#include "setup/win_text.h"
#include "ui/messages.h"

namespace {

// Antivirus scanners open new files for a moment; a replacement that meets one
// is tried again for about this long.
const DWORD kReplaceRetryMs = 5000;
const DWORD kReplaceRetryStepMs = 100;

struct PackageResource {
  const BYTE* data = nullptr;
  DWORD size = 0;
};

std::wstring FilePath(const std::string& path) { return Widen(ExtendedLengthPath(path)); }

bool LoadPackage(const std::string& name, const std::string& type, PackageResource* package) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, Widen(name).c_str(), Widen(type).c_str());
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module, found);
  if (!loaded) return false;
  package->data = static_cast<const BYTE*>(LockResource(loaded));
  package->size = SizeofResource(module, found);
  return package->data != nullptr;
}

// Writes all bytes. A full disk may report success with a short count, so the
// count is checked and the rest tried again until a write fails outright.
bool WriteAll(HANDLE file, const BYTE* data, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool IsExistingFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(FilePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Writes the package to a staging file that no one else has, under a fresh
// name; returns its path.
bool WriteStagingFile(const PackageResource& package, const std::string& target,
                      std::string* staging) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    *staging = StagingPath(target, RandomLetters(8));
    const FileWriteResult result = WriteFileBytes(*staging, true, package.data, package.size);
    if (result == FileWriteResult::kWritten) return true;
    if (result != FileWriteResult::kNameTaken) return false;
  }
  return false;
}

bool WritePackage(const PackageResource& package, const std::string& target) {
  const DWORD attributes = GetFileAttributesW(FilePath(target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  std::string staging;
  if (!WriteStagingFile(package, target, &staging)) return false;
  if (!ReplaceFileInOneStep(staging, target)) {
    DeleteFileW(FilePath(staging).c_str());
    return false;
  }
  return true;
}

}  // namespace

FileWriteResult WriteFileBytes(const std::string& path, bool newFileOnly, const void* data,
                               std::uint32_t size) {
  const std::wstring widePath = FilePath(path);
  ScopedHandle file(CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr,
                            newFileOnly ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
  if (!file.valid()) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
               ? FileWriteResult::kNameTaken
               : FileWriteResult::kNotCreated;
  }
  // Flushed before the rename that follows: after a crash the target is the
  // old file or the whole new one, never a mixture.
  const bool written = WriteAll(file.handle, static_cast<const BYTE*>(data), size) &&
                       FlushFileBuffers(file.handle);
  if (!file.Close() || !written) {
    DeleteFileW(widePath.c_str());
    return FileWriteResult::kFailed;
  }
  return FileWriteResult::kWritten;
}

bool ReplaceFileInOneStep(const std::string& source, const std::string& target) {
  const std::wstring from = FilePath(source);
  const std::wstring to = FilePath(target);
  for (DWORD waited = 0;; waited += kReplaceRetryStepMs) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
         error != ERROR_LOCK_VIOLATION) ||
        waited >= kReplaceRetryMs)
      return false;
    Sleep(kReplaceRetryStepMs);
  }
}

InstallOutcome InstallPackageFileUnguarded(const SetupContext& context, MessageShower& shower,
                                           const std::string& name, const std::string& type,
                                           const std::string& target) {
  PackageResource package;
  if (LoadPackage(name, type, &package) && WritePackage(package, target))
    return InstallOutcome::kInstalled;
  ShowBilingualError(context, shower, InstallFailedText(target));
  return InstallOutcome::kFailed;
}

InstallOutcome InstallPackageFile(const SetupContext& context, MessageShower& shower,
                        const std::string& name, const std::string& type,
                        const std::string& target, bool guardVersions) {
  const GuardedKind kind = GuardedKindOf(type);
  if (!guardVersions || kind == GuardedKind::kNone || !IsExistingFile(target))
    return InstallPackageFileUnguarded(context, shower, name, type, target);
  PackageResource package;
  if (LoadPackage(name, type, &package)) {
    switch (WriteGuarded(context, shower, package.data, package.size, kind, target)) {
      case GuardResult::kReplaced:
        return InstallOutcome::kInstalled;
      case GuardResult::kKeptInstalled:
        return InstallOutcome::kKeptInstalled;
      case GuardResult::kFailed:
        break;
    }
  }
  ShowBilingualError(context, shower, InstallFailedText(target));
  return InstallOutcome::kFailed;
}
