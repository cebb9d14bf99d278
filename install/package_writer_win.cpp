#include "install/package_writer_win.h"

#include <windows.h>

#include <vector>

#include "base/file_pieces.h"
#include "base/paths.h"
#include "base/random.h"
#include "base/scoped_handle_win.h"
#include "base/win_text.h"
#include "install/package_source_win.h"
#include "install/package_writer.h"

namespace vespodar {

namespace {

// Antivirus scanners open new files for a moment; a replacement that meets one
// is tried again for about this long.
const DWORD kReplaceRetryMs = 5000;
const DWORD kReplaceRetryStepMs = 100;

std::wstring FilePath(const std::string& path) { return Widen(ExtendedLengthPath(path)); }

// What a target that another program holds open makes a rename fail with.
bool IsBusyError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION;
}

void SetError(std::uint32_t* windowsError, DWORD error) {
  if (windowsError) *windowsError = error;
}

// Writes all bytes. A full disk may report success with a short count, so the
// count is checked and the rest tried again until a write fails outright.
bool WriteAll(HANDLE file, const BYTE* data, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr)) return false;
    if (written == 0) {
      // A short write that says nothing: the disk is full.
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// Creates path as a new file (never opening what stands there), lets FILL
// write its bytes, and flushes them before the file is closed; removes the
// file again when any of it fails.
FileWriteResult WriteNewFile(const std::string& path, FunctionRef<bool(HANDLE file)> fill,
                             std::uint32_t* windowsError) {
  const std::wstring widePath = FilePath(path);
  ScopedHandle file(CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD error = GetLastError();
    SetError(windowsError, error);
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
               ? FileWriteResult::kNameTaken
               : FileWriteResult::kNotCreated;
  }
  // Flushed before the rename that follows: after a crash the target is the
  // old file or the whole new one, never a mixture.
  const bool written = fill(file.handle) && FlushFileBuffers(file.handle);
  const DWORD writeError = written ? ERROR_SUCCESS : GetLastError();
  const bool closed = file.Close();
  if (!closed || !written) {
    SetError(windowsError, written ? GetLastError() : writeError);
    DeleteFileW(widePath.c_str());
    return FileWriteResult::kFailed;
  }
  return FileWriteResult::kWritten;
}

// A new file beside target under a fresh name, filled by FILL; *staging is
// its path.
bool WriteStagingFileWith(const std::string& target, FunctionRef<bool(HANDLE file)> fill,
                          std::string* staging, std::uint32_t* windowsError) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    *staging = StagingPath(target, RandomLetters(8));
    const FileWriteResult result = WriteNewFile(*staging, fill, windowsError);
    if (result == FileWriteResult::kWritten) return true;
    if (result != FileWriteResult::kNameTaken) return false;
  }
  return false;
}

// Writes the package, read from the setup's own file a piece at a time, to a
// staging file that no one else has, under a fresh name.
bool WriteStagingFileFromOwnFile(const PackageResource& package, const std::string& target,
                                 std::string* staging, std::uint32_t* windowsError) {
  std::vector<std::uint8_t> piece(package.size < kFilePieceBytes ? package.size : kFilePieceBytes);
  auto fill = [&package, &piece](HANDLE file) {
    return ForEachPiece(
        package.fileOffset, package.size, piece.data(), piece.size(),
        [](std::size_t offset, std::size_t count, std::uint8_t* out) {
          return ReadOwnFile(offset, count, out);
        },
        [file](const std::uint8_t* data, std::size_t count) {
          return WriteAll(file, data, static_cast<DWORD>(count));
        });
  };
  return WriteStagingFileWith(target, fill, staging, windowsError);
}

PackageWrite WritePackage(const PackageResource& package, const std::string& target) {
  PackageWrite write;
  const DWORD attributes = GetFileAttributesW(FilePath(target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    write.windowsError = kErrorDirectoryNotSupported;
    return write;
  }
  if (!WriteStagingFileFromOwnFile(package, target, &write.staging, &write.windowsError)) {
    write.staging.clear();
    return write;
  }
  if (!ReplaceFileInOneStep(write.staging, target, &write.windowsError)) {
    // Still held by another program: the whole new file waits beside the
    // target. A read-only target refuses the same way, but no restart
    // changes that.
    if (IsBusyError(write.windowsError) && !(attributes & FILE_ATTRIBUTE_READONLY)) {
      write.outcome = InstallOutcome::kInUse;
      return write;
    }
    RemoveStagingFile(write.staging);
    return write;
  }
  write.outcome = InstallOutcome::kInstalled;
  return write;
}

}  // namespace

bool LoadPackage(const std::string& name, const std::string& type, PackageResource* package) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, Widen(name).c_str(), Widen(type).c_str());
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module, found);
  if (!loaded) return false;
  package->data = LockResource(loaded);
  package->size = SizeofResource(module, found);
  if (!package->data) return false;
  if (OwnFileOffsetOf(package->data, package->size, &package->fileOffset)) return true;
  SetLastError(ERROR_BAD_EXE_FORMAT);
  return false;
}

bool IsExistingFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(FilePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FileWriteResult WriteFileBytes(const std::string& path, const void* data, std::uint32_t size,
                               std::uint32_t* windowsError) {
  return WriteNewFile(
      path, [data, size](HANDLE file) { return WriteAll(file, static_cast<const BYTE*>(data), size); },
      windowsError);
}

bool WriteStagingFile(const void* data, std::uint32_t size, const std::string& target,
                      std::string* staging, std::uint32_t* windowsError) {
  return WriteStagingFileWith(
      target, [data, size](HANDLE file) { return WriteAll(file, static_cast<const BYTE*>(data), size); },
      staging, windowsError);
}

bool ReplaceFileInOneStep(const std::string& source, const std::string& target,
                          std::uint32_t* windowsError) {
  const std::wstring from = FilePath(source);
  const std::wstring to = FilePath(target);
  for (DWORD waited = 0;; waited += kReplaceRetryStepMs) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD error = GetLastError();
    SetError(windowsError, error);
    if (!IsBusyError(error) || waited >= kReplaceRetryMs) return false;
    Sleep(kReplaceRetryStepMs);
  }
}

bool ReplaceAtRestart(const std::string& staging, const std::string& target,
                      std::uint32_t* windowsError) {
  if (MoveFileExW(FilePath(staging).c_str(), FilePath(target).c_str(),
                  MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING))
    return true;
  SetError(windowsError, GetLastError());
  return false;
}

void RemoveStagingFile(const std::string& staging) { DeleteFileW(FilePath(staging).c_str()); }

PackageWrite InstallPackageFile(const std::string& name, const std::string& type,
                                const std::string& target) {
  PackageResource package;
  if (!LoadPackage(name, type, &package)) return {InstallOutcome::kFailed, GetLastError(), {}};
  return WritePackage(package, target);
}

}  // namespace vespodar
