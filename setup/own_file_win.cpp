#include "setup/own_file_win.h"

#include <windows.h>

#include <vector>

#include "setup/integrity.h"
#include "setup/sha256.h"

// The stamp block, in a section of its own so that the stamping tool finds it
// from the section table. The build writes the digest into the file after
// linking; an executable that was never stamped keeps these zeros and fails
// the check.
extern "C" __attribute__((section(".vdstamp"), used))
const unsigned char vespodarIntegrityStamp[kStampSize] = {
    'V', 'e', 's', 'p', 'o', 'd', 'a', 'r', 'S', 't', 'a', 'm', 'p', 0, 0, 1};

namespace {

struct MappedFile {
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE mapping = nullptr;
  const std::uint8_t* view = nullptr;
  std::size_t size = 0;
  ~MappedFile() {
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
};

}  // namespace

OwnFileState CheckOwnFile() {
  // Keeps the stamp section in the link: nothing else refers to it.
  static_cast<void>(*static_cast<const volatile unsigned char*>(vespodarIntegrityStamp));

  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return OwnFileState::kUnreadable;
    if (length < path.size()) break;
    if (path.size() >= 32768) return OwnFileState::kUnreadable;
    path.resize(path.size() * 2);
  }
  MappedFile own;
  own.file = CreateFileW(path.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (own.file == INVALID_HANDLE_VALUE) return OwnFileState::kUnreadable;
  DWORD high = 0;
  const DWORD low = GetFileSize(own.file, &high);
  if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0)
    return OwnFileState::kUnreadable;
  own.size = low;
  if (own.size == 0) return OwnFileState::kDistorted;
  own.mapping = CreateFileMappingW(own.file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!own.mapping) return OwnFileState::kUnreadable;
  own.view = static_cast<const std::uint8_t*>(MapViewOfFile(own.mapping, FILE_MAP_READ, 0, 0, 0));
  if (!own.view) return OwnFileState::kUnreadable;

  switch (CheckImageStamp(own.view, own.size, Sha256Ranges)) {
    case StampCheck::kIntact:
      return OwnFileState::kIntact;
    case StampCheck::kHashFailed:
      return OwnFileState::kUnreadable;
    case StampCheck::kDistorted:
      break;
  }
  return OwnFileState::kDistorted;
}
