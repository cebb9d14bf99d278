#include "install/mapped_staging_file_win.h"

#include "install/product_files_win.h"

namespace vespodar {

MappedStagingFile::MappedStagingFile(FileId file, std::uint64_t size, std::uint32_t* windowsError) {
  const HANDLE handle = reinterpret_cast<HANDLE>(file);
  if (size > static_cast<SIZE_T>(-1) / 2) {
    *windowsError = ERROR_NOT_ENOUGH_MEMORY;
    return;
  }
  if (!SetFileSizeReserved(file, size, windowsError)) return;
  if (size == 0) {
    valid_ = true;
    return;
  }
  mapping_ = ScopedHandle(CreateFileMappingW(handle, nullptr, PAGE_READWRITE, 0, 0, nullptr));
  if (mapping_.valid())
    view_ = static_cast<std::uint8_t*>(MapViewOfFile(mapping_.handle, FILE_MAP_WRITE, 0, 0, 0));
  if (!view_) {
    *windowsError = GetLastError();
    return;
  }
  prefault_.emplace(view_, static_cast<std::size_t>(size));
  valid_ = true;
}

MappedStagingFile::~MappedStagingFile() {
  // The thread stops before the pages it touches go.
  prefault_.reset();
  if (view_) UnmapViewOfFile(view_);
}

bool MappedStagingFile::Flush(std::uint32_t* windowsError) {
  prefault_.reset();
  if (!view_ || FlushViewOfFile(view_, 0)) return true;
  *windowsError = GetLastError();
  return false;
}

}  // namespace vespodar
