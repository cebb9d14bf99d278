#include "base/plain_file_win.h"

namespace vespodar {

bool IsPlainFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

HANDLE OpenForReadingNoFollow(const std::wstring& path, DWORD share) {
  // The flag also closes the gap between a test of the name and the open: a
  // link swapped in meanwhile is opened as the link.
  return CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace vespodar
