#include "install/package_writer_win.h"

#include <windows.h>

#include <vector>

#include "base/paths.h"
#include "base/win_text.h"
#include "install/package_source_win.h"

namespace vespodar {

bool OwnFilePackage::Load(const std::string& name, const std::string& type,
                          std::uint32_t* windowsError) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, Widen(name).c_str(), Widen(type).c_str());
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) {
    *windowsError = GetLastError();
    if (*windowsError == 0) *windowsError = ERROR_RESOURCE_DATA_NOT_FOUND;
    return false;
  }
  size_ = SizeofResource(module, found);
  if (OwnFileOffsetOf(data, size_, &fileOffset_)) return true;
  *windowsError = ERROR_BAD_EXE_FORMAT;
  return false;
}

bool OwnFilePackage::ForEachPiece(const TakeBytes& take, std::uint32_t* windowsError) {
  std::vector<std::uint8_t> piece(size_ < kFilePieceBytes ? size_ : kFilePieceBytes);
  bool readFailed = false;
  const bool done = vespodar::ForEachPiece(
      fileOffset_, size_, piece.data(), piece.size(),
      [&readFailed](std::size_t offset, std::size_t count, std::uint8_t* out) {
        readFailed = !ReadOwnFile(offset, count, out);
        return !readFailed;
      },
      take);
  if (readFailed) *windowsError = GetLastError();
  return done;
}

bool OwnFilePackage::ReadStart(std::size_t count, std::uint8_t* out) const {
  return count <= size_ && ReadOwnFile(fileOffset_, count, out);
}

bool IsExistingFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Widen(ExtendedLengthPath(path)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace vespodar
