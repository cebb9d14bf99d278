#ifndef VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_
#define VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_

#include <cstdint>
#include <string>

#include "install/package_writer.h"

namespace vespodar {

// The package: a resource of the setup's own module, (name, type).
struct PackageResource {
  const void* data = nullptr;    // in the loaded image
  std::uint32_t size = 0;
  std::uint32_t fileOffset = 0;  // where the same bytes lie in the setup's own file
};
// Finds and locks the resource and finds its bytes in the own file; false
// when the module has none of that name and type.
bool LoadPackage(const std::string& name, const std::string& type, PackageResource* package);

// Writes the package resource (name, type) of the setup's own module to
// target, straight: the bytes are read from the setup's own file a piece at a
// time (never from the image, which would bring the whole package into
// memory) and go to a staging file beside the target first, every write
// checked; the target is then replaced in one atomic rename. A failure leaves
// the old file as it was and no staging file behind, except kInUse, which
// leaves the staging file to the caller. Shows nothing: the
// caller reports the outcome.
PackageWrite InstallPackageFile(const std::string& name, const std::string& type,
                                const std::string& target);

// After kInUse: schedules the staging file to replace target at the next
// restart (MOVEFILE_DELAY_UNTIL_REBOOT; administrators only), or removes it.
bool ReplaceAtRestart(const std::string& staging, const std::string& target,
                      std::uint32_t* windowsError);
void RemoveStagingFile(const std::string& staging);

// True when a file (not a directory) exists at path.
bool IsExistingFile(const std::string& path);

// The Windows error of a write whose target is a directory
// (ERROR_DIRECTORY_NOT_SUPPORTED, which MinGW's headers lack).
constexpr std::uint32_t kErrorDirectoryNotSupported = 336;

// The file steps shared by the straight and the guarded write. Paths are
// UTF-8 and may be longer than MAX_PATH. Each puts the Windows error of a
// failure into *windowsError.
enum class FileWriteResult {
  kWritten,
  kNameTaken,   // the name exists (a file, a directory or a link)
  kNotCreated,  // any other reason the file could not be created
  kFailed,      // created but not fully written; removed again
};
// Creates path as a new file (never opening what stands there: in a product
// directory that users may write, a planted link would redirect the write)
// and writes all bytes, every write checked and the data flushed before the
// file is closed.
FileWriteResult WriteFileBytes(const std::string& path, const void* data, std::uint32_t size,
                               std::uint32_t* windowsError);
// Writes DATA to a new file beside target under a fresh name (StagingPath with
// a random tag, created exclusively: never a file or link that stood there)
// and sets *staging to it. False when no name could be had or the write
// failed; nothing of ours is left then.
bool WriteStagingFile(const void* data, std::uint32_t size, const std::string& target,
                      std::string* staging, std::uint32_t* windowsError);
// Moves source over target in one rename on the same volume, so the target
// is at every moment the old or the new file. A target held open by a virus
// scanner is tried again for a few seconds.
bool ReplaceFileInOneStep(const std::string& source, const std::string& target,
                          std::uint32_t* windowsError);

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_
