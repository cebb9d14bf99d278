#include "install/package_writer.h"

#include <vector>

#include "base/random.h"

namespace vespodar {

namespace {

// ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION,
// ERROR_FILE_EXISTS, ERROR_ALREADY_EXISTS.
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kLockViolation = 33;
constexpr std::uint32_t kFileExists = 80;
constexpr std::uint32_t kAlreadyExists = 183;

// Fresh names tried before the staging file is given up: a name is taken only
// when another run, or somebody guessing, got there first.
constexpr int kStagingNameTries = 8;

}  // namespace

std::string StagingName(const std::string& fileName, const std::string& tag) {
  return "~" + fileName + "." + tag + ".tmp";
}

std::string StagingPath(const std::string& target, const std::string& tag) {
  const std::string::size_type slash = target.rfind('\\');
  const std::string::size_type nameStart = slash == std::string::npos ? 0 : slash + 1;
  return target.substr(0, nameStart) + StagingName(target.substr(nameStart), tag);
}

bool IsBusyError(std::uint32_t windowsError) {
  return windowsError == kSharingViolation || windowsError == kAccessDenied ||
         windowsError == kLockViolation;
}

bool ReadWholeFile(ProductFiles& files, FileId file, std::size_t limit, std::string* bytes) {
  std::uint64_t size = 0;
  if (!files.Size(file, &size) || size > limit) return false;
  bytes->assign(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  while (done < bytes->size()) {
    std::size_t got = 0;
    if (!files.Read(file, done, bytes->size() - done,
                    reinterpret_cast<std::uint8_t*>(&(*bytes)[done]), &got))
      return false;
    if (got == 0) break;  // shorter than it was a moment ago
    done += got;
  }
  bytes->resize(done);
  return true;
}

PackageWriter::~PackageWriter() { RemoveStaging(); }

PackageWrite PackageWriter::Write(const std::string& directoryPath, const std::string& fileName,
                                  PackageSource& source, StagedPackageJudge* judge) {
  PackageWrite write;
  fileName_ = fileName;
  targetPath_ = directoryPath + fileName;
  switch (OpenDirectory(directoryPath, &write.windowsError)) {
    case DirectoryOpen::kOpened:
      break;
    case DirectoryOpen::kIsLink:
      // Whatever it leads to was not chosen by whoever installed the product.
      write.windowsError = kErrorReparsePointEncountered;
      write.refusal = "the product directory is a link (a reparse point)";
      return write;
    case DirectoryOpen::kNotOpened:
      write.refusal = "the product directory cannot be opened";
      return write;
  }
  std::uint32_t inspectError = 0;
  const EntryKind target = files_.Inspect(directory_.get(), fileName_, &inspectError);
  if (target == EntryKind::kDirectory) {
    write.windowsError = kErrorDirectoryNotSupported;
    return write;
  }
  if (!Stage(source, &write)) return write;
  write.staging = stagingPath_;

  if (judge && target != EntryKind::kMissing) {
    switch (judge->Judge(
        {files_, directory_.get(), staging_.get(), fileName_, targetPath_, stagingPath_})) {
      case StagedVerdict::kCommit:
        break;
      case StagedVerdict::kKeepInstalled:
        RemoveStaging();
        write.outcome = InstallOutcome::kKeptInstalled;
        write.keptVersion = judge->InstalledVersion();
        write.described = DigestOfInstalled(&write.sha256);
        return write;
      case StagedVerdict::kFailed:
        RemoveStaging();
        return write;
    }
  }
  if (Commit(&write.windowsError)) {
    write.outcome = InstallOutcome::kInstalled;
    write.windowsError = 0;
    if (judge && target != EntryKind::kMissing) judge->Committed();
    return write;
  }
  // Still held by another program: the whole new file waits beside the
  // target. A read-only target refuses the same way, but no restart changes
  // that.
  if (IsBusyError(write.windowsError) && target != EntryKind::kReadOnlyFile) {
    write.outcome = InstallOutcome::kInUse;
    return write;
  }
  RemoveStaging();
  return write;
}

bool PackageWriter::Stage(PackageSource& source, PackageWrite* write) {
  std::string name;
  for (int attempt = 0;; ++attempt) {
    name = StagingName(fileName_, RandomLetters(8));
    if (files_.CreateNew(directory_.get(), name, staging_.receive(), &write->windowsError)) break;
    const bool taken =
        write->windowsError == kFileExists || write->windowsError == kAlreadyExists;
    if (!taken || attempt + 1 == kStagingNameTries) return false;
  }
  stagingName_ = name;
  stagingPath_ = targetPath_.substr(0, targetPath_.size() - fileName_.size()) + name;
  const FileId file = staging_.get();
  std::uint32_t* error = &write->windowsError;
  // Flushed before the rename that follows: after a crash the target is the
  // old file or the whole new one, never a mixture.
  // Hashed on the way, unless the source checks the digest itself: it names,
  // for the detection marker, the very bytes the staging file received.
  const Digest* checked = source.CheckedDigest();
  Sha256State state;
  Sha256Init(&state);
  const bool filled = checked && source.FillsFile();
  const bool written =
      (filled ? source.FillFile(files_, file, error)
              : source.ForEachPiece(
                    [this, file, error, &state, checked](const std::uint8_t* data,
                                                         std::size_t count) {
                      if (!checked) Sha256Update(&state, data, count);
                      return files_.Write(file, data, count, error);
                    },
                    error)) &&
      files_.Flush(file, error);
  if (!written) {
    RemoveStaging();
    return false;
  }
  write->sha256 = checked ? *checked : Sha256Final(&state);
  write->described = true;
  return true;
}

bool DigestOfFile(ProductFiles& files, FileId file, Digest* digest, std::uint64_t* size) {
  if (!files.Size(file, size)) return false;
  Sha256State state;
  Sha256Init(&state);
  std::vector<std::uint8_t> piece(kFilePieceBytes);
  for (std::uint64_t offset = 0; offset < *size;) {
    std::size_t got = 0;
    if (!files.Read(file, offset, piece.size(), piece.data(), &got) || got == 0) return false;
    Sha256Update(&state, piece.data(), got);
    offset += got;
  }
  *digest = Sha256Final(&state);
  return true;
}

bool PackageWriter::DigestOfInstalled(Digest* digest) {
  HeldFile installed(files_);
  std::uint64_t size = 0;
  return files_.OpenForReading(directory_.get(), fileName_, installed.receive()) &&
         DigestOfFile(files_, installed.get(), digest, &size);
}

DirectoryOpen PackageWriter::OpenDirectory(const std::string& directoryPath,
                                           std::uint32_t* windowsError) {
  // Once held, the directory is never looked up by its name again: a writer
  // writes into one directory.
  if (directory_.get()) return DirectoryOpen::kOpened;
  return files_.OpenDirectory(directoryPath, directory_.receive(), windowsError);
}

bool PackageWriter::OpenInstalled(const std::string& directoryPath, const std::string& fileName,
                                  HeldFile* file) {
  std::uint32_t ignored = 0;
  return OpenDirectory(directoryPath, &ignored) == DirectoryOpen::kOpened &&
         files_.OpenForReading(directory_.get(), fileName, file->receive());
}

bool PackageWriter::Commit(std::uint32_t* windowsError) {
  for (unsigned waited = 0;; waited += kReplaceRetryStepMs) {
    if (files_.RenameOver(staging_.get(), directory_.get(), fileName_, windowsError)) {
      // The staging file is the target now: closing it must not delete it.
      staging_.Reset();
      return true;
    }
    if (!IsBusyError(*windowsError) || waited >= kReplaceRetryMs) return false;
    files_.Pause(kReplaceRetryStepMs);
  }
}

bool PackageWriter::ReplaceAtRestart(std::uint32_t* windowsError) {
  if (!staging_.get()) return false;
  // Windows keeps the replacement by name, and may open the file to
  // schedule it: from here on the staging file is named, not held.
  staging_.Reset();
  if (files_.ScheduleReplaceAtRestart(stagingPath_, targetPath_, windowsError)) return true;
  // Not scheduled: taken back through the directory, for RemoveStaging.
  std::uint32_t ignored = 0;
  files_.OpenForDeleting(directory_.get(), stagingName_, staging_.receive(), &ignored);
  return false;
}

void PackageWriter::RemoveStaging() {
  if (!staging_.get()) return;
  std::uint32_t ignored = 0;
  // Through its own handle: the name may lead elsewhere by now.
  files_.Delete(staging_.get(), &ignored);
  staging_.Reset();
}

}  // namespace vespodar
