#include "discovery/installed_size.h"

namespace {

const std::uint32_t kDirectoryAttribute = 0x10;     // FILE_ATTRIBUTE_DIRECTORY
const std::uint32_t kReparsePointAttribute = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT

}  // namespace

std::int32_t KibFromBytes(std::uint64_t bytes) {
  const std::uint64_t kib = bytes >> 10;
  return kib > static_cast<std::uint64_t>(kMaxSizeKb) ? kMaxSizeKb : static_cast<std::int32_t>(kib);
}

bool IsDirectoryToWalk(std::uint32_t attributes, const wchar_t* name) {
  if (!(attributes & kDirectoryAttribute) || (attributes & kReparsePointAttribute)) return false;
  if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'))) return false;
  return true;
}
