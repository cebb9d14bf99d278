#ifndef VESPODAR_SETUP_EXIT_CODES_H_
#define VESPODAR_SETUP_EXIT_CODES_H_

namespace vespodar {

// The setup's exit codes: the one table. Administrators who deploy the update
// silently read nothing else, so every way a run can end has its own code, and
// no failure ends with 0. The values follow the Windows Installer codes that
// deployment tools already know.
enum ExitCode : int {
  // The package was written and its size recorded (where the product has an
  // Uninstall entry to record it in), whatever the user answered to the
  // launch question.
  kExitSuccess = 0,
  // The user may not change machine-wide settings.
  kExitNoRights = 5,
  // A switch the setup does not know (ERROR_INVALID_PARAMETER): a mistyped
  // switch must never land in the interactive questions.
  kExitInvalidParameter = 87,
  // The user declined: the install question was not answered Yes (nothing
  // was written), or the question whether to replace a newer installed file
  // by the older package was not answered Yes (that file was kept; the size
  // was recorded and the launch offered as after an install).
  kExitUserDeclined = 1602,
  // Any other failure: a registry error, the package not written, the size not
  // recorded, a question that could not be shown (nobody answered it).
  kExitFailure = 1603,
  // The product's executable is not in its directory: nothing to update.
  kExitProductMissing = 1605,
  // The setup's own file cannot be read to check it.
  kExitOwnFileUnreadable = 1619,
  // The setup's own file is not intact.
  kExitOwnFileDistorted = 1620,
  // Unattended, the target stayed in use: the package replaces it at the next
  // restart (ERROR_SUCCESS_REBOOT_REQUIRED); its size is recorded.
  kExitRestartRequired = 3010,
};

}  // namespace vespodar

#endif  // VESPODAR_SETUP_EXIT_CODES_H_
