#include "install/package_source_win.h"

#include <vector>

#include "install/package_source.h"

namespace vespodar {

namespace {

// Never closed: it is the setup's hold on its own file for the whole run, and
// the end of the process lets go of it.
HANDLE ownFile = nullptr;

}  // namespace

std::wstring OwnFilePath(std::uint32_t* windowsError) {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      *windowsError = GetLastError();
      return std::wstring();
    }
    if (length < path.size()) return std::wstring(path.data(), length);
    if (path.size() >= 32768) {
      *windowsError = ERROR_FILENAME_EXCED_RANGE;
      return std::wstring();
    }
    path.resize(path.size() * 2);
  }
}

HANDLE OwnFile(std::uint32_t* windowsError) {
  if (ownFile) return ownFile;
  const std::wstring path = OwnFilePath(windowsError);
  if (path.empty()) return nullptr;
  // Read sharing only: no writer, no rename and no delete while it is open.
  // Sequential: both readers go from the front to the end.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *windowsError = GetLastError();
    return nullptr;
  }
  ownFile = file;
  return file;
}

bool ReadOwnFile(std::size_t offset, std::size_t count, std::uint8_t* out) {
  std::uint32_t error = 0;
  const HANDLE file = OwnFile(&error);
  if (!file) {
    SetLastError(error);
    return false;
  }
  while (count > 0) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    if (!ReadFile(file, out, static_cast<DWORD>(count), &got, &at)) return false;
    if (got == 0) {
      // The file ends before the range does.
      SetLastError(ERROR_HANDLE_EOF);
      return false;
    }
    offset += got;
    out += got;
    count -= got;
  }
  return true;
}

bool OwnFileOffsetOf(const void* data, std::uint32_t size, std::uint32_t* offset) {
  const BYTE* image = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
  const IMAGE_NT_HEADERS* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
  const std::uintptr_t rva =
      reinterpret_cast<std::uintptr_t>(data) - reinterpret_cast<std::uintptr_t>(image);
  return rva <= 0xFFFFFFFFu &&
         FileOffsetOfImageRange(reinterpret_cast<const std::uint8_t*>(IMAGE_FIRST_SECTION(headers)),
                                headers->FileHeader.NumberOfSections,
                                static_cast<std::uint32_t>(rva), size, offset);
}

}  // namespace vespodar
