#ifndef VESPODAR_INSTALL_PACKAGE_WRITER_H_
#define VESPODAR_INSTALL_PACKAGE_WRITER_H_

// The one write of the package into the product directory: stage, judge,
// commit, and after a commit that met a held target either keep the staged
// file for the restart or remove it. Every step acts through the product
// directory's handle and the staging file's own handle (product_files.h).

#include <cstdint>
#include <string>

#include "base/file_pieces.h"
#include "base/sha256.h"
#include "install/product_files.h"

namespace vespodar {

// The staging file's name in the target's directory: after the target, with
// a tag that no other run uses. "vdq2.cok" with tag "abcdefgh" gives
// "~vdq2.cok.abcdefgh.tmp".
std::string StagingName(const std::string& fileName, const std::string& tag);
// The same beside a target path: "C:\P\Vespodar\vdq2.cok" gives
// "C:\P\Vespodar\~vdq2.cok.abcdefgh.tmp".
std::string StagingPath(const std::string& target, const std::string& tag);

// How the write of the package ended.
enum class InstallOutcome {
  kInstalled,      // the target now holds the package
  kKeptInstalled,  // nobody agreed to replace the newer installed file
  kFailed,         // not written; the install error is due
  kInUse,          // the target stayed in use after the retry: the staging
                   // file is kept, complete, flushed and held, for the caller
                   // to schedule for the restart or remove
};

// What the write reports to the flow: how it ended, and the Windows error
// behind a failure (0 where there is none, or none to tell).
struct PackageWrite {
  InstallOutcome outcome = InstallOutcome::kFailed;
  std::uint32_t windowsError = 0;
  std::string staging;  // the staging file's path, once written (for the log)
  std::string refusal;  // why the write refused to start, for the log
  // The file now in place, waiting for the restart, or kept (the newer
  // installed one): its SHA-256, when described, and for a kept file the
  // version the judge read from it.
  bool described = false;
  Digest sha256 = {};
  std::string keptVersion;
};

// The Windows errors the write reports for a target that is a directory
// (ERROR_DIRECTORY_NOT_SUPPORTED) and a product directory that is a link
// (ERROR_REPARSE_POINT_ENCOUNTERED); MinGW's headers lack both.
constexpr std::uint32_t kErrorDirectoryNotSupported = 336;
constexpr std::uint32_t kErrorReparsePointEncountered = 4395;

// A target held by another program (a virus scanner, the running product)
// refuses the rename with one of these.
bool IsBusyError(std::uint32_t windowsError);

// The package's bytes, in order.
class PackageSource {
 public:
  virtual ~PackageSource() = default;
  // Hands every byte of the package to take, a piece at a time; false when a
  // read fails (*windowsError) or take refuses.
  virtual bool ForEachPiece(const TakeBytes& take, std::uint32_t* windowsError) = 0;
  // The SHA-256 of the bytes, where it is known already: a decoded package
  // checks it itself while it hands them on, a stored one carries it from
  // its build. The write then need not hash them again.
  virtual const Digest* CheckedDigest() const { return nullptr; }
  // A source that fills the staging file itself, through the handle the
  // write created it by, rather than handing pieces to be written (a delta,
  // decoded straight into a view of the whole file). Such a source checks
  // its digest itself (CheckedDigest).
  virtual bool FillsFile() const { return false; }
  // Fills FILE, new and empty, with every byte of the package; false with
  // *windowsError when it cannot.
  virtual bool FillFile(ProductFiles& files, FileId file, std::uint32_t* windowsError) {
    (void)files;
    (void)file;
    (void)windowsError;
    return false;
  }
};

// The package staged beside an installed file, as the judge sees it.
struct StagedPackage {
  ProductFiles& files;
  FileId directory;
  FileId staged;             // the staging file, open for reading
  std::string fileName;      // the target's name in directory
  std::string targetPath;    // for the texts only: never opened by name
  std::string stagingPath;   // the same
};

enum class StagedVerdict { kCommit, kKeepInstalled, kFailed };

// Decides, for a package already staged over an existing file, whether it
// replaces that file (the version guard).
class StagedPackageJudge {
 public:
  virtual ~StagedPackageJudge() = default;
  virtual StagedVerdict Judge(const StagedPackage& package) = 0;
  // After a kKeepInstalled: the installed file's version, as read.
  virtual std::string InstalledVersion() const = 0;
  // The package replaced the installed file after a kCommit.
  virtual void Committed() = 0;
};

// How long a held target is tried again, and how often.
constexpr unsigned kReplaceRetryMs = 5000;
constexpr unsigned kReplaceRetryStepMs = 100;

// The SHA-256 and the size of an open file, read a piece at a time.
bool DigestOfFile(ProductFiles& files, FileId file, Digest* digest, std::uint64_t* size);

class PackageWriter {
 public:
  explicit PackageWriter(ProductFiles& files) : files_(files), directory_(files), staging_(files) {}
  PackageWriter(const PackageWriter&) = delete;
  PackageWriter& operator=(const PackageWriter&) = delete;
  // A staging file still held is removed, unless it was scheduled.
  ~PackageWriter();

  // Writes the package as fileName into directoryPath (which ends in a
  // backslash): opens the directory, stages the package under a fresh name,
  // lets judge decide where a file stands at fileName (no judge: always
  // replace), and renames the staging file over the target in one step,
  // tried again while the target is held. A failure leaves the old file as
  // it was and no staging file; kInUse leaves the staging file held.
  PackageWrite Write(const std::string& directoryPath, const std::string& fileName,
                     PackageSource& source, StagedPackageJudge* judge);

  // Opens directoryPath as Write does (a later Write keeps this handle: one
  // writer writes into one directory) and fileName in it for reading, as itself,
  // never through a link: the installed file, read before anything is
  // written (a delta's base). False when either cannot be opened.
  bool OpenInstalled(const std::string& directoryPath, const std::string& fileName,
                     HeldFile* file);

  ProductFiles& files() { return files_; }

  // After kInUse: schedules the held staging file to replace the target at
  // the next restart and lets go of it (administrators only)...
  bool ReplaceAtRestart(std::uint32_t* windowsError);
  // ... or removes it.
  void RemoveStaging();

 private:
  bool Stage(PackageSource& source, PackageWrite* write);
  bool Commit(std::uint32_t* windowsError);
  // The SHA-256 of the installed file, read through the directory.
  bool DigestOfInstalled(Digest* digest);
  DirectoryOpen OpenDirectory(const std::string& directoryPath, std::uint32_t* windowsError);

  ProductFiles& files_;
  HeldFile directory_;
  HeldFile staging_;
  std::string fileName_;
  std::string stagingName_;
  std::string stagingPath_;
  std::string targetPath_;
};

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_PACKAGE_WRITER_H_
