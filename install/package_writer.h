#ifndef VESPODAR_INSTALL_PACKAGE_WRITER_H_
#define VESPODAR_INSTALL_PACKAGE_WRITER_H_

#include <cstdint>
#include <string>

namespace vespodar {

// The file the package is written to before it replaces the target: in the
// target's own directory (so that the replacement is one rename on the same
// volume), named after the target, with a tag that no other run uses.
// "C:\P\Vespodar\vdq2.cok" with tag "abcdefgh" gives
// "C:\P\Vespodar\~vdq2.cok.abcdefgh.tmp".
std::string StagingPath(const std::string& target, const std::string& tag);

// How the write of the package ended.
enum class InstallOutcome {
  kInstalled,      // the target now holds the package
  kKeptInstalled,  // nobody agreed to replace the newer installed file
  kFailed,         // not written; the install error is due
  kInUse,          // the target stayed in use after the retry: the staging
                   // file is kept, complete and flushed, for the caller to
                   // schedule or remove
};

// What the write reports to the flow: how it ended, and the Windows error
// behind a failure (0 where there is none, or none to tell).
struct PackageWrite {
  InstallOutcome outcome = InstallOutcome::kFailed;
  std::uint32_t windowsError = 0;
  std::string staging;  // the staging file, once written
};

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_PACKAGE_WRITER_H_
