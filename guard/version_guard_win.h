#ifndef VESPODAR_GUARD_VERSION_GUARD_WIN_H_
#define VESPODAR_GUARD_VERSION_GUARD_WIN_H_

#include <cstdint>
#include <string>

#include "guard/version_guard.h"
#include "install/package_writer.h"

namespace vespodar {

// The guarded write of package bytes over an existing target of a known kind,
// on real files: the temporary file beside the target, the Win32 probes, the
// process's language support files (read from installDir in the user's
// language), the progress window. The question goes to prompts. Shows no
// install error itself: the caller reports kFailed, with *windowsError.
GuardResult WriteGuarded(const void* data, std::uint32_t size, GuardedKind kind,
                         const std::string& target, const std::string& installDir, bool russianUi,
                         GuardPrompts& prompts, std::uint32_t* windowsError);

// The package resource (name, type) written to target through the guard where
// a file exists there and type is a kind the guard knows, straight otherwise.
PackageWrite InstallPackageFileGuarded(const std::string& name, const std::string& type,
                                       const std::string& target, const std::string& installDir,
                                       bool russianUi, GuardPrompts& prompts);

}  // namespace vespodar

#endif  // VESPODAR_GUARD_VERSION_GUARD_WIN_H_
