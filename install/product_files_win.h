#ifndef VESPODAR_INSTALL_PRODUCT_FILES_WIN_H_
#define VESPODAR_INSTALL_PRODUCT_FILES_WIN_H_

#include "install/product_files.h"

namespace vespodar {

// The product directory's file layer on Windows: the directory opened with
// CreateFileW (FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT),
// every file in it opened, renamed and deleted with ntdll's NtCreateFile and
// NtSetInformationFile relative to that handle, as every Windows NT since
// NT 4 has them. A FileId is the HANDLE. Pauses go through RetrySleep (base/retry_sleep_win.h).
class Win32ProductFiles : public ProductFiles {
 public:
  DirectoryOpen OpenDirectory(const std::string& path, FileId* directory,
                              std::uint32_t* windowsError) override;
  EntryKind Inspect(FileId directory, const std::string& name,
                    std::uint32_t* windowsError) override;
  bool CreateNew(FileId directory, const std::string& name, FileId* file,
                 std::uint32_t* windowsError) override;
  bool OpenForReading(FileId directory, const std::string& name, FileId* file) override;
  bool OpenForDeleting(FileId directory, const std::string& name, FileId* file,
                       std::uint32_t* windowsError) override;
  bool Write(FileId file, const std::uint8_t* data, std::size_t count,
             std::uint32_t* windowsError) override;
  bool Read(FileId file, std::uint64_t offset, std::size_t count, std::uint8_t* out,
            std::size_t* got) override;
  bool Size(FileId file, std::uint64_t* size) override;
  bool Flush(FileId file, std::uint32_t* windowsError) override;
  bool RenameOver(FileId file, FileId directory, const std::string& name,
                  std::uint32_t* windowsError) override;
  bool Delete(FileId file, std::uint32_t* windowsError) override;
  bool ScheduleReplaceAtRestart(const std::string& stagingPath, const std::string& targetPath,
                                std::uint32_t* windowsError) override;
  void Close(FileId file) override;
  void Pause(unsigned milliseconds) override;
};

// Sets FILE (open for writing) to SIZE bytes and has the file system set
// aside the room for all of them now: a file written through a mapped view
// then meets a full disk here, as an error, rather than as a fault on one of
// the view's pages later (a file system that extends a file sparsely, as
// Wine's Unix ones do, would only find out then).
bool SetFileSizeReserved(FileId file, std::uint64_t size, std::uint32_t* windowsError);

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_PRODUCT_FILES_WIN_H_
