// The package of a setup that carries it stored: the resource's bytes are the
// file's.
#include "install/package_writer_win.h"
#include "setup/package_step_win.h"

namespace vespodar {

// The package's SHA-256, computed when the setup was built
// (cmake/package_digest.cmake says why it holds for the bytes written).
extern Digest kCarriedPackageSha256;

PackageWrite WriteCarriedPackage(const SetupContext& context, PackageWriter& writer,
                                 OwnFilePackage& package, const std::string& fileName,
                                 const std::string& type, bool guardVersions, Reporter& reporter) {
  package.SetRecordedDigest(&kCarriedPackageSha256);
  return WritePackageStep(context, writer, package, fileName, type, guardVersions, reporter);
}

bool CarriedPackageBaseInstalled(const SetupContext&, PackageWriter&, std::string*) {
  return true;
}

}  // namespace vespodar
