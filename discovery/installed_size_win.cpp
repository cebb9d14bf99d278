#include "discovery/installed_size_win.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "discovery/installed_size.h"
#include "base/paths.h"
#include "base/scoped_handle_win.h"
#include "base/system_dll_win.h"
#include "base/win_text.h"

namespace vespodar {

namespace {

// FindExInfoBasic skips the 8.3 short name and FIND_FIRST_EX_LARGE_FETCH asks
// for many entries per call; both are Windows 7 and later. Older systems
// refuse them with ERROR_INVALID_PARAMETER and get the plain enumeration.
const int kFindExInfoBasic = 1;
const DWORD kFindFirstExLargeFetch = 2;

HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW* data) {
  static bool basicWorks = true;
  if (basicWorks) {
    HANDLE find = FindFirstFileExW(pattern.c_str(), static_cast<FINDEX_INFO_LEVELS>(kFindExInfoBasic),
                                   data, FindExSearchNameMatch, nullptr, kFindFirstExLargeFetch);
    if (find != INVALID_HANDLE_VALUE || GetLastError() != ERROR_INVALID_PARAMETER) return find;
    basicWorks = false;
  }
  return FindFirstFileW(pattern.c_str(), data);
}

// Opens a directory to ask what it is: access 0 reads the attributes and the
// identity without asking for the right to list, and backup semantics lets
// CreateFile open a directory.
HANDLE OpenDirectoryItself(const std::wstring& directory) {
  return CreateFileW(directory.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The file index alone. GetFileInformationByHandle would also ask for the
// volume, which costs Wine a round trip to its mount manager; the native
// query (every Windows NT has it) asks for the index only.
bool FileIndex(HANDLE handle, std::uint64_t* index) {
  struct InternalInformation {
    LARGE_INTEGER indexNumber;
  };
  struct IoStatus {
    union {
      LONG status;
      PVOID pointer;
    };
    ULONG_PTR information;
  };
  typedef LONG(WINAPI * QueryInformationFile)(HANDLE, IoStatus*, PVOID, ULONG, int);
  const int kFileInternalInformation = 6;
  static const QueryInformationFile query = [] {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll ? FindFunction<QueryInformationFile>(ntdll, "NtQueryInformationFile") : nullptr;
  }();
  if (query) {
    IoStatus io = {};
    InternalInformation information = {};
    if (query(handle, &io, &information, sizeof(information), kFileInternalInformation) >= 0) {
      *index = static_cast<std::uint64_t>(information.indexNumber.QuadPart);
      return true;
    }
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information)) return false;
  *index = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  return true;
}

std::optional<std::uint32_t> VolumeSerial(const std::wstring& directory) {
  const ScopedHandle opened(OpenDirectoryItself(directory));
  BY_HANDLE_FILE_INFORMATION information;
  if (!opened.valid() || !GetFileInformationByHandle(opened.handle, &information))
    return std::nullopt;
  return information.dwVolumeSerialNumber;
}

// Whether the walk meets this directory for the first time. A directory whose
// identity cannot be read (no access to open it) is walked: it can only be
// listed if it can be opened, so it cannot lead the walk round.
bool FirstVisit(const std::wstring& directory, VisitedDirectories& visited) {
  const ScopedHandle opened(OpenDirectoryItself(directory));
  std::uint64_t index = 0;
  if (!opened.valid() || !FileIndex(opened.handle, &index)) return true;
  return visited.FirstVisit(index, directory, VolumeSerial);
}

}  // namespace

std::int32_t DirectorySizeKb(const std::string& path) {
  if (path.empty()) return -1;
  std::string root = path;
  AddTrailingBackslash(root);
  const std::wstring start = Widen(ExtendedLengthPath(root));
  const DWORD attributes = GetFileAttributesW(start.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return -1;

  std::uint64_t total = 0;
  VisitedDirectories visited;
  // Breadth-first; the order does not change the sum.
  std::vector<std::wstring> pending(1, start);
  std::vector<std::wstring> children;
  for (std::size_t next = 0; next < pending.size(); ++next) {
    const std::wstring directory = pending[next];
    WIN32_FIND_DATAW data;
    std::uint64_t files = 0;
    children.clear();
    {
      const ScopedFind find(FindFirst(directory + L"*", &data));
      if (!find.valid()) continue;
      do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          if (IsDirectoryToWalk(data.dwFileAttributes, data.cFileName))
            children.push_back(directory + data.cFileName + L"\\");
        } else {
          files += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
      } while (FindNextFileW(find.get(), &data));
    }
    // Only a directory that holds directories can lie on a loop, so only
    // such a one is asked for its identity: a tree's many leaves cost no
    // extra open. One met again is not counted, nor walked further.
    if (!children.empty() && !FirstVisit(directory, visited)) continue;
    total += files;
    for (std::wstring& child : children) pending.push_back(std::move(child));
  }
  return KibFromBytes(total);
}

}  // namespace vespodar
