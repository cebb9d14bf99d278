#ifndef VESPODAR_INSTALL_PACKAGE_WRITER_H_
#define VESPODAR_INSTALL_PACKAGE_WRITER_H_

#include <string>

// The file the package is written to before it replaces the target: in the
// target's own directory (so that the replacement is one rename on the same
// volume), named after the target, with a tag that no other run uses.
// "C:\P\Vespodar\vdq2.cok" with tag "abcdefgh" gives
// "C:\P\Vespodar\~vdq2.cok.abcdefgh.tmp".
std::string StagingPath(const std::string& target, const std::string& tag);

// How the write of the package ended.
enum class InstallOutcome {
  kInstalled,      // the target now holds the package
  kKeptInstalled,  // the user chose to keep the newer installed file
  kFailed,         // not written; the install error has been shown
};

#endif  // VESPODAR_INSTALL_PACKAGE_WRITER_H_
