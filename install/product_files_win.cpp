#include "install/product_files_win.h"

#include <windows.h>

#include <vector>

#include "base/paths.h"
#include "base/retry_sleep_win.h"
#include "base/system_dll_win.h"
#include "base/win_text.h"

namespace vespodar {

namespace {

// ntdll's file calls, which MinGW's import library and headers give only in
// part. ntdll is mapped into every process before the setup's first
// instruction, so looking the functions up cannot load anything.
struct UnicodeString {
  USHORT length;
  USHORT maximumLength;
  PWSTR buffer;
};
struct ObjectAttributes {
  ULONG length;
  HANDLE rootDirectory;
  UnicodeString* objectName;
  ULONG attributes;
  PVOID securityDescriptor;
  PVOID securityQualityOfService;
};
struct IoStatus {
  union {
    LONG status;
    PVOID pointer;
  };
  ULONG_PTR information;
};
struct RenameInformation {
  BOOLEAN replaceIfExists;
  HANDLE rootDirectory;
  ULONG fileNameLength;
  WCHAR fileName[1];
};
struct DispositionInformation {
  BOOLEAN deleteFile;
};

typedef LONG(WINAPI* CreateFileFunction)(PHANDLE, ACCESS_MASK, ObjectAttributes*, IoStatus*,
                                         PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
typedef LONG(WINAPI* SetInformationFunction)(HANDLE, IoStatus*, PVOID, ULONG, int);
typedef ULONG(WINAPI* StatusToErrorFunction)(LONG);

struct NtFileApi {
  CreateFileFunction createFile = nullptr;
  SetInformationFunction setInformation = nullptr;
  StatusToErrorFunction statusToError = nullptr;
};

const NtFileApi& Nt() {
  // Filled on the main thread at the first write; never changes after.
  static const NtFileApi api = [] {
    NtFileApi found;
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    found.createFile = FindFunction<CreateFileFunction>(ntdll, "NtCreateFile");
    found.setInformation = FindFunction<SetInformationFunction>(ntdll, "NtSetInformationFile");
    found.statusToError = FindFunction<StatusToErrorFunction>(ntdll, "RtlNtStatusToDosError");
    return found;
  }();
  return api;
}

const ULONG kObjCaseInsensitive = 0x40;
const ULONG kFileOpen = 1;
const ULONG kFileCreate = 2;
const ULONG kFileSynchronousIoNonalert = 0x20;
const ULONG kFileNonDirectoryFile = 0x40;
const ULONG kFileOpenReparsePoint = 0x00200000;
const int kFileRenameInformation = 10;
const int kFileDispositionInformation = 13;
const int kFileAllocationInformation = 19;
const int kFileEndOfFileInformation = 20;
const LONG kStatusObjectNameNotFound = static_cast<LONG>(0xC0000034);

HANDLE HandleOf(FileId file) { return reinterpret_cast<HANDLE>(file); }
FileId IdOf(HANDLE handle) { return reinterpret_cast<FileId>(handle); }

void SetError(std::uint32_t* windowsError, DWORD error) {
  if (windowsError) *windowsError = error;
}

DWORD ErrorOf(LONG status) {
  const NtFileApi& api = Nt();
  return api.statusToError ? api.statusToError(status) : ERROR_GEN_FAILURE;
}

// A name in the product directory is one component: nothing that could climb
// out of it or name a stream.
bool IsBareName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  return name.find_first_of(L"\\/:") == std::wstring::npos;
}

// NtCreateFile of name relative to directory; the NTSTATUS.
LONG OpenRelative(FileId directory, const std::string& name, ACCESS_MASK access, ULONG share,
                  ULONG disposition, ULONG options, HANDLE* opened) {
  *opened = nullptr;
  std::wstring wide = Widen(name);
  const NtFileApi& api = Nt();
  if (!api.createFile || !IsBareName(wide) || wide.size() * sizeof(wchar_t) > 0xFFFE)
    return static_cast<LONG>(0xC0000033);  // STATUS_OBJECT_NAME_INVALID
  UnicodeString text = {static_cast<USHORT>(wide.size() * sizeof(wchar_t)),
                        static_cast<USHORT>(wide.size() * sizeof(wchar_t)), &wide[0]};
  ObjectAttributes attributes = {sizeof(attributes), HandleOf(directory), &text,
                                 kObjCaseInsensitive, nullptr, nullptr};
  IoStatus io = {};
  HANDLE handle = nullptr;
  const LONG status = api.createFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr,
                                     FILE_ATTRIBUTE_NORMAL, share, disposition,
                                     options | kFileSynchronousIoNonalert, nullptr, 0);
  if (status >= 0) *opened = handle;
  return status;
}

bool SetInformation(HANDLE file, void* information, ULONG size, int kind,
                    std::uint32_t* windowsError) {
  const NtFileApi& api = Nt();
  if (!api.setInformation) {
    SetError(windowsError, ERROR_PROC_NOT_FOUND);
    return false;
  }
  IoStatus io = {};
  const LONG status = api.setInformation(file, &io, information, size, kind);
  if (status >= 0) return true;
  SetError(windowsError, ErrorOf(status));
  return false;
}

}  // namespace

DirectoryOpen Win32ProductFiles::OpenDirectory(const std::string& path, FileId* directory,
                                               std::uint32_t* windowsError) {
  // The trailing backslash of a directory path would make the long form
  // name the directory's contents on some systems: open the name itself.
  std::string name = path;
  if (name.size() > 3 && name.back() == '\\') name.pop_back();
  // Not shared for deleting: while the setup holds it, the directory cannot
  // be renamed, removed or swapped for a junction.
  const HANDLE handle =
      CreateFileW(Widen(ExtendedLengthPath(name)).c_str(),
                  FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    SetError(windowsError, GetLastError());
    return DirectoryOpen::kNotOpened;
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information)) {
    SetError(windowsError, GetLastError());
    CloseHandle(handle);
    return DirectoryOpen::kNotOpened;
  }
  if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    CloseHandle(handle);
    return DirectoryOpen::kIsLink;
  }
  if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetError(windowsError, ERROR_DIRECTORY);
    CloseHandle(handle);
    return DirectoryOpen::kNotOpened;
  }
  *directory = IdOf(handle);
  return DirectoryOpen::kOpened;
}

EntryKind Win32ProductFiles::Inspect(FileId directory, const std::string& name,
                                     std::uint32_t* windowsError) {
  HANDLE handle = nullptr;
  const LONG status =
      OpenRelative(directory, name, FILE_READ_ATTRIBUTES,
                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kFileOpen,
                   kFileOpenReparsePoint, &handle);
  if (status < 0) {
    SetError(windowsError, ErrorOf(status));
    // Only a name that is not there is missing; one that refuses even this
    // open is there, and the rename will say what stops it.
    return status == kStatusObjectNameNotFound ? EntryKind::kMissing : EntryKind::kFile;
  }
  BY_HANDLE_FILE_INFORMATION information;
  const BOOL known = GetFileInformationByHandle(handle, &information);
  CloseHandle(handle);
  if (!known) return EntryKind::kFile;
  const DWORD attributes = information.dwFileAttributes;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::kLink;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kDirectory;
  return attributes & FILE_ATTRIBUTE_READONLY ? EntryKind::kReadOnlyFile : EntryKind::kFile;
}

bool Win32ProductFiles::CreateNew(FileId directory, const std::string& name, FileId* file,
                                  std::uint32_t* windowsError) {
  HANDLE handle = nullptr;
  const LONG status = OpenRelative(directory, name, GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                   kFileCreate, kFileNonDirectoryFile, &handle);
  if (status < 0) {
    SetError(windowsError, ErrorOf(status));
    return false;
  }
  *file = IdOf(handle);
  return true;
}

bool Win32ProductFiles::OpenForReading(FileId directory, const std::string& name, FileId* file) {
  HANDLE handle = nullptr;
  if (OpenRelative(directory, name, GENERIC_READ, FILE_SHARE_READ, kFileOpen,
                   kFileNonDirectoryFile | kFileOpenReparsePoint, &handle) < 0)
    return false;
  // Opened as itself, a link yields no data: it is not read as a file.
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    CloseHandle(handle);
    return false;
  }
  *file = IdOf(handle);
  return true;
}

bool Win32ProductFiles::OpenForDeleting(FileId directory, const std::string& name, FileId* file,
                                        std::uint32_t* windowsError) {
  HANDLE handle = nullptr;
  const LONG status = OpenRelative(directory, name, DELETE, 0, kFileOpen,
                                   kFileNonDirectoryFile | kFileOpenReparsePoint, &handle);
  if (status < 0) {
    SetError(windowsError, ErrorOf(status));
    return false;
  }
  *file = IdOf(handle);
  return true;
}

bool Win32ProductFiles::Write(FileId file, const std::uint8_t* data, std::size_t count,
                              std::uint32_t* windowsError) {
  // A full disk may report success with a short count, so the count is
  // checked and the rest tried again until a write fails outright.
  while (count > 0) {
    const DWORD piece = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(HandleOf(file), data, piece, &written, nullptr)) {
      SetError(windowsError, GetLastError());
      return false;
    }
    if (written == 0) {
      // A short write that says nothing: the disk is full.
      SetError(windowsError, ERROR_DISK_FULL);
      return false;
    }
    data += written;
    count -= written;
  }
  return true;
}

bool Win32ProductFiles::Read(FileId file, std::uint64_t offset, std::size_t count,
                             std::uint8_t* out, std::size_t* got) {
  *got = 0;
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  const DWORD piece = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
  if (!ReadFile(HandleOf(file), out, piece, &read, &at)) return GetLastError() == ERROR_HANDLE_EOF;
  *got = read;
  return true;
}

bool Win32ProductFiles::Size(FileId file, std::uint64_t* size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(HandleOf(file), &value) || value.QuadPart < 0) return false;
  *size = static_cast<std::uint64_t>(value.QuadPart);
  return true;
}

bool Win32ProductFiles::Flush(FileId file, std::uint32_t* windowsError) {
  if (FlushFileBuffers(HandleOf(file))) return true;
  SetError(windowsError, GetLastError());
  return false;
}

bool Win32ProductFiles::RenameOver(FileId file, FileId directory, const std::string& name,
                                   std::uint32_t* windowsError) {
  const std::wstring wide = Widen(name);
  if (!IsBareName(wide)) {
    SetError(windowsError, ERROR_INVALID_NAME);
    return false;
  }
  const std::size_t bytes = wide.size() * sizeof(wchar_t);
  std::vector<std::uint8_t> buffer(sizeof(RenameInformation) + bytes);
  RenameInformation* information = reinterpret_cast<RenameInformation*>(buffer.data());
  information->replaceIfExists = TRUE;
  information->rootDirectory = HandleOf(directory);
  information->fileNameLength = static_cast<ULONG>(bytes);
  CopyMemory(information->fileName, wide.data(), bytes);
  return SetInformation(HandleOf(file), information, static_cast<ULONG>(buffer.size()),
                        kFileRenameInformation, windowsError);
}

bool Win32ProductFiles::Delete(FileId file, std::uint32_t* windowsError) {
  DispositionInformation information = {TRUE};
  return SetInformation(HandleOf(file), &information, sizeof(information),
                        kFileDispositionInformation, windowsError);
}

bool Win32ProductFiles::ScheduleReplaceAtRestart(const std::string& stagingPath,
                                                 const std::string& targetPath,
                                                 std::uint32_t* windowsError) {
  if (MoveFileExW(Widen(ExtendedLengthPath(stagingPath)).c_str(),
                  Widen(ExtendedLengthPath(targetPath)).c_str(),
                  MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING))
    return true;
  SetError(windowsError, GetLastError());
  return false;
}

void Win32ProductFiles::Close(FileId file) { CloseHandle(HandleOf(file)); }

void Win32ProductFiles::Pause(unsigned milliseconds) { RetrySleep(milliseconds); }

bool SetFileSizeReserved(FileId file, std::uint64_t size, std::uint32_t* windowsError) {
  const NtFileApi& api = Nt();
  if (!api.setInformation) {
    SetError(windowsError, ERROR_INVALID_FUNCTION);
    return false;
  }
  LARGE_INTEGER bytes;
  bytes.QuadPart = static_cast<LONGLONG>(size);
  IoStatus io = {};
  LONG status =
      api.setInformation(HandleOf(file), &io, &bytes, sizeof(bytes), kFileAllocationInformation);
  if (status < 0) {
    const DWORD error = ErrorOf(status);
    if (error != ERROR_INVALID_FUNCTION && error != ERROR_NOT_SUPPORTED) {
      SetError(windowsError, error);
      return false;
    }
    // A file system that cannot set room aside (Wine's) gets the file's
    // bytes written, zeros, which takes the room as surely.
    static std::uint8_t zeros[65536];  // never written: .bss, not the file
    Win32ProductFiles files;
    for (std::uint64_t left = size; left > 0;) {
      const std::size_t piece = left < sizeof(zeros) ? static_cast<std::size_t>(left) : sizeof(zeros);
      if (!files.Write(file, zeros, piece, windowsError)) return false;
      left -= piece;
    }
  }
  status = api.setInformation(HandleOf(file), &io, &bytes, sizeof(bytes), kFileEndOfFileInformation);
  if (status < 0) {
    SetError(windowsError, ErrorOf(status));
    return false;
  }
  return true;
}

}  // namespace vespodar
