#ifndef VESPODAR_SETUP_PACKAGE_STEP_WIN_H_
#define VESPODAR_SETUP_PACKAGE_STEP_WIN_H_

#include <string>

#include "install/package_writer.h"
#include "setup/reporter.h"

namespace vespodar {

struct SetupContext;

// The write of the package, as this build carries it. A package built
// without the version guard links package_step_plain_win.cpp, the straight
// write, and with it none of the guard's code (the probes of every file
// kind, the language files, the version library, the progress window); one
// built with the guard links package_step_guarded_win.cpp instead, which
// lets the guard ask its question through reporter. Which one is the build's
// choice (VESPODAR_GUARD_VERSIONS), and so is the context's guardVersions.
// Either way the write is writer's, the one write of the package, and the
// bytes are source's.
PackageWrite WritePackageStep(const SetupContext& context, PackageWriter& writer,
                              PackageSource& source, const std::string& fileName,
                              const std::string& type, bool guardVersions, Reporter& reporter);

class OwnFilePackage;

// The package as this setup carries it, a build's choice too
// (VESPODAR_PACKAGE_ENCODING): package_encoding_stored_win.cpp writes the
// resource's bytes as they are; package_encoding_zstd_win.cpp, which alone
// links the decoder, decodes them on the way, a delta against the installed
// file. Either hands the write to WritePackageStep.
PackageWrite WriteCarriedPackage(const SetupContext& context, PackageWriter& writer,
                                 OwnFilePackage& package, const std::string& fileName,
                                 const std::string& type, bool guardVersions, Reporter& reporter);
// Whether the installed file is the one the package applies to (always but
// for a delta); *found says what stands there otherwise, for the log.
bool CarriedPackageBaseInstalled(const SetupContext& context, PackageWriter& writer,
                                 std::string* found);

}  // namespace vespodar

#endif  // VESPODAR_SETUP_PACKAGE_STEP_WIN_H_
