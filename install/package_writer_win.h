#ifndef VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_
#define VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_

#include <string>

class MessageShower;
struct SetupContext;

// Writes the package resource (name, type) of the setup's own module to
// target. The bytes go to a staging file beside the target first, every write
// checked; the target is then replaced in one atomic rename. A failure leaves
// the old file as it was and no staging file behind, and shows the install
// error box. True when the target now holds the package.
bool InstallPackageFile(const SetupContext& context, MessageShower& shower,
                        const std::string& name, const std::string& type,
                        const std::string& target, bool guardVersions);

#endif  // VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_
