#ifndef VESPODAR_GUARD_VERSION_GUARD_WIN_H_
#define VESPODAR_GUARD_VERSION_GUARD_WIN_H_

#include <string>

#include "guard/version_guard.h"
#include "install/package_writer.h"

namespace vespodar {

// The package written by writer as fileName into installDir, through the
// version guard where type is a kind the guard knows and a file stands at
// the target: the process's language support files (read from installDir in
// the user's language) word the question, which goes to prompts, and the
// progress window is the process's.
PackageWrite WritePackageGuarded(PackageWriter& writer, PackageSource& source,
                                 const std::string& installDir, const std::string& fileName,
                                 const std::string& type, bool russianUi, GuardPrompts& prompts);

}  // namespace vespodar

#endif  // VESPODAR_GUARD_VERSION_GUARD_WIN_H_
