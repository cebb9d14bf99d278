#ifndef VESPODAR_INSTALL_PRODUCT_FILES_H_
#define VESPODAR_INSTALL_PRODUCT_FILES_H_

// The file operations of the write into the product directory, as a thin
// layer that the Win32 build supplies (product_files_win) and the tests fake.
//
// The product directory may be writable by users other than the one the
// setup runs for (a product installed to C:\Games inherits Modify for
// Authenticated Users), and the setup runs as an administrator or as SYSTEM.
// A name looked up again later may then lead elsewhere: the directory
// swapped for a junction, a link planted at the staging file's name. So the
// directory is opened once, as itself, and everything after that acts
// through handles: files are named only relative to the directory's handle,
// by a bare name, and a file once created is renamed and deleted through its
// own handle. Only OpenDirectory takes a path, and only
// ScheduleReplaceAtRestart takes paths inside the directory, because Windows
// keeps a restart replacement by name and nothing else.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vespodar {

// An open file or directory of the layer; 0 is none.
using FileId = std::uintptr_t;

// What stands at a name in the product directory, looked at without
// following it.
enum class EntryKind {
  kMissing,
  kFile,
  kReadOnlyFile,
  kDirectory,
  kLink,  // a reparse point of any kind: opened, replaced, never followed
};

// What the directory's open found.
enum class DirectoryOpen {
  kOpened,
  kIsLink,     // the directory itself is a reparse point (a junction, a
               // mount point): refused, its target is not ours to judge
  kNotOpened,  // missing, not a directory, or refused (the Windows error)
};

class ProductFiles {
 public:
  virtual ~ProductFiles() = default;

  // Opens the directory at path as itself (never through a reparse point),
  // shared for reading and writing but not for deleting, so that nobody can
  // rename it, delete it or put something else in its place while it is
  // open.
  virtual DirectoryOpen OpenDirectory(const std::string& path, FileId* directory,
                                      std::uint32_t* windowsError) = 0;
  // What stands at name (a bare name, no separator) in directory.
  virtual EntryKind Inspect(FileId directory, const std::string& name,
                            std::uint32_t* windowsError) = 0;
  // Creates name in directory as a new file, exclusively (never opening what
  // stands there), for reading, writing and deleting, shared with nobody.
  virtual bool CreateNew(FileId directory, const std::string& name, FileId* file,
                         std::uint32_t* windowsError) = 0;
  // Opens the existing file name in directory for reading, shared with
  // readers only; false for a link (never followed), a directory or a file
  // that cannot be opened.
  virtual bool OpenForReading(FileId directory, const std::string& name, FileId* file) = 0;
  // Opens name in directory as itself (a link too), for deleting only.
  virtual bool OpenForDeleting(FileId directory, const std::string& name, FileId* file,
                               std::uint32_t* windowsError) = 0;
  // Writes all count bytes at the file's end; a short write is a failure.
  virtual bool Write(FileId file, const std::uint8_t* data, std::size_t count,
                     std::uint32_t* windowsError) = 0;
  // Reads up to count bytes at offset; *got is how many came (0 at the end).
  virtual bool Read(FileId file, std::uint64_t offset, std::size_t count, std::uint8_t* out,
                    std::size_t* got) = 0;
  // The file's size in bytes; false when it cannot be told.
  virtual bool Size(FileId file, std::uint64_t* size) = 0;
  virtual bool Flush(FileId file, std::uint32_t* windowsError) = 0;
  // Renames the open file to name in directory, replacing what stands there,
  // in one step.
  virtual bool RenameOver(FileId file, FileId directory, const std::string& name,
                          std::uint32_t* windowsError) = 0;
  // Marks the open file for deletion; it goes when its handle is closed.
  virtual bool Delete(FileId file, std::uint32_t* windowsError) = 0;
  // The one exception to acting by handle: Windows replaces a file at the
  // next restart only by name (MOVEFILE_DELAY_UNTIL_REBOOT).
  virtual bool ScheduleReplaceAtRestart(const std::string& stagingPath,
                                        const std::string& targetPath,
                                        std::uint32_t* windowsError) = 0;
  virtual void Close(FileId file) = 0;
  // The pause between two tries of a retry.
  virtual void Pause(unsigned milliseconds) = 0;
};

// Closes its file on the way out.
class HeldFile {
 public:
  explicit HeldFile(ProductFiles& files, FileId id = 0) : files_(files), id_(id) {}
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  ~HeldFile() { Reset(); }

  FileId get() const { return id_; }
  FileId* receive() {
    Reset();
    return &id_;
  }
  void Reset() {
    if (id_) files_.Close(id_);
    id_ = 0;
  }

 private:
  ProductFiles& files_;
  FileId id_;
};

// Reads the whole file, when it holds at most limit bytes; false otherwise.
bool ReadWholeFile(ProductFiles& files, FileId file, std::size_t limit, std::string* bytes);

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_PRODUCT_FILES_H_
