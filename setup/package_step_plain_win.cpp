// The package write of a setup built without the version guard.
#include "setup/package_step_win.h"

#include "setup/setup_context.h"

namespace vespodar {

PackageWrite WritePackageStep(const SetupContext& context, PackageWriter& writer,
                              PackageSource& source, const std::string& fileName,
                              const std::string& /*type*/,
                              bool /*guardVersions: false in such a build*/, Reporter&) {
  return writer.Write(context.folders.installDir, fileName, source, nullptr);
}

}  // namespace vespodar
