// The package write of a setup built without the version guard.
#include "setup/package_step_win.h"

#include "install/package_writer_win.h"

namespace vespodar {

PackageWrite WritePackageStep(const SetupContext&, const std::string& name,
                              const std::string& type, const std::string& target,
                              bool /*guardVersions: false in such a build*/, Reporter&) {
  return InstallPackageFile(name, type, target);
}

}  // namespace vespodar
