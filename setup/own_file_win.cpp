#include "setup/own_file_win.h"

#include <windows.h>

// The integrity stamp is not written by the build yet; until it is, the check
// only proves that the file can be read.
OwnFileState CheckOwnFile() {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, sizeof(path) / sizeof(path[0]));
  if (length == 0 || length >= sizeof(path) / sizeof(path[0])) return OwnFileState::kUnreadable;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return OwnFileState::kUnreadable;
  CloseHandle(file);
  return OwnFileState::kIntact;
}
