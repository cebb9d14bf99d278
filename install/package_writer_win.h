#ifndef VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_
#define VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_

#include <cstdint>
#include <string>

#include "install/package_writer.h"

class MessageShower;
struct SetupContext;

// Writes the package resource (name, type) of the setup's own module to
// target. The bytes go to a staging file beside the target first, every write
// checked; the target is then replaced in one atomic rename. A failure leaves
// the old file as it was and no staging file behind, and shows the install
// error box.
//
// With guardVersions, a target that exists as a file and a type the version
// guard knows ("exe", "pak", "3bs", "cok", "lng"), the write goes through the
// guard instead: the user is asked before a newer installed file is replaced,
// and a No keeps it (kKeptInstalled, no error box).
InstallOutcome InstallPackageFile(const SetupContext& context, MessageShower& shower,
                        const std::string& name, const std::string& type,
                        const std::string& target, bool guardVersions);

// The same write without the guard: the straight write and its error box.
InstallOutcome InstallPackageFileUnguarded(const SetupContext& context, MessageShower& shower,
                                           const std::string& name, const std::string& type,
                                           const std::string& target);

// The file steps shared by the straight and the guarded write. Paths are
// UTF-8 and may be longer than MAX_PATH.
enum class FileWriteResult {
  kWritten,
  kNameTaken,   // a new file only was asked for, and the name exists
  kNotCreated,  // any other reason the file could not be created
  kFailed,      // created but not fully written; removed again
};
// Creates path (a new file only, or else created or truncated) and writes all
// bytes, every write checked and the data flushed before the file is closed.
FileWriteResult WriteFileBytes(const std::string& path, bool newFileOnly, const void* data,
                               std::uint32_t size);
// Moves source over target in one rename on the same volume, so the target
// is at every moment the old or the new file. A target held open by a virus
// scanner is tried again for a few seconds.
bool ReplaceFileInOneStep(const std::string& source, const std::string& target);

#endif  // VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_
