#include "install/package_writer_win.h"

#include <windows.h>

#include "discovery/folders.h"
#include "install/package_writer.h"
#include "setup/startup.h"
#include "setup/win_text.h"
#include "ui/messages.h"

namespace {

// Antivirus scanners open new files for a moment; a replacement that meets one
// is tried again for about this long.
const DWORD kReplaceRetryMs = 5000;
const DWORD kReplaceRetryStepMs = 100;

struct FileHandle {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~FileHandle() { Close(); }
  bool Close() {
    bool ok = true;
    if (handle != INVALID_HANDLE_VALUE) ok = CloseHandle(handle) != 0;
    handle = INVALID_HANDLE_VALUE;
    return ok;
  }
};

struct PackageResource {
  const BYTE* data = nullptr;
  DWORD size = 0;
};

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

// Creates a staging file that no one else has; returns its path.
bool CreateStagingFile(const std::string& target, FileHandle* file, std::wstring* path) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    *path = Widen(ExtendedLengthPath(StagingPath(target, RandomLetters(8))));
    file->handle = CreateFileW(path->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file->handle != INVALID_HANDLE_VALUE) return true;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool ReplaceTarget(const std::wstring& staging, const std::wstring& target) {
  for (DWORD waited = 0;; waited += kReplaceRetryStepMs) {
    if (MoveFileExW(staging.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
         error != ERROR_LOCK_VIOLATION) ||
        waited >= kReplaceRetryMs)
      return false;
    Sleep(kReplaceRetryStepMs);
  }
}

bool WritePackage(const PackageResource& package, const std::string& target) {
  const std::wstring targetPath = Widen(ExtendedLengthPath(target));
  const DWORD attributes = GetFileAttributesW(targetPath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  FileHandle file;
  std::wstring staging;
  if (!CreateStagingFile(target, &file, &staging)) return false;
  // Flushed before the rename: after a crash the target is the old file or
  // the whole new one, never a mixture.
  const bool written =
      WriteAll(file.handle, package.data, package.size) && FlushFileBuffers(file.handle);
  if (!file.Close() || !written || !ReplaceTarget(staging, targetPath)) {
    DeleteFileW(staging.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool InstallPackageFile(const SetupContext& context, MessageShower& shower,
                        const std::string& name, const std::string& type,
                        const std::string& target, bool /*guardVersions*/) {
  PackageResource package;
  if (LoadPackage(name, type, &package) && WritePackage(package, target)) return true;
  ShowBilingualError(context, shower, InstallFailedText(target));
  return false;
}
