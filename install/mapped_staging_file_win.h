#ifndef VESPODAR_INSTALL_MAPPED_STAGING_FILE_WIN_H_
#define VESPODAR_INSTALL_MAPPED_STAGING_FILE_WIN_H_

// The staging file as one writable view of its whole size, for a delta or a
// compressed package whose window spans the file to be decoded into: its
// pages are the file's, written back by the system, not the process's own
// memory.

#include <windows.h>

#include <cstdint>
#include <optional>

#include "base/scoped_handle_win.h"
#include "install/page_prefault_win.h"
#include "install/product_files.h"

namespace vespodar {

class MappedStagingFile {
 public:
  // FILE open for writing, made SIZE bytes long with its room set aside
  // first: a full disk is an error here, not a fault on a page of the view.
  MappedStagingFile(FileId file, std::uint64_t size, std::uint32_t* windowsError);
  MappedStagingFile(const MappedStagingFile&) = delete;
  MappedStagingFile& operator=(const MappedStagingFile&) = delete;
  ~MappedStagingFile();

  bool valid() const { return valid_; }
  std::uint8_t* view() const { return view_; }
  // Hands the view's pages to the file; the write's flush then takes them to
  // the disk.
  bool Flush(std::uint32_t* windowsError);

 private:
  ScopedHandle mapping_;
  std::uint8_t* view_ = nullptr;
  // The view's page faults, taken ahead of the decoder.
  std::optional<PagePrefault> prefault_;
  bool valid_ = false;
};

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_MAPPED_STAGING_FILE_WIN_H_
