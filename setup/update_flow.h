#ifndef VESPODAR_SETUP_UPDATE_FLOW_H_
#define VESPODAR_SETUP_UPDATE_FLOW_H_

#include <cstdint>
#include <string>

#include "install/package_writer.h"
#include "setup/exit_codes.h"
#include "ui/messages.h"

struct SetupContext;

enum class OwnFileState { kIntact, kUnreadable, kDistorted };

// What the main flow asks of the system. The Win32 build supplies the real
// operations (setup/update_steps_win.cpp); the flow's tests a recording fake.
class UpdateSteps : public MessageShower {
 public:
  // True when no running product holds the single-instance marker.
  virtual bool ProductNotRunning() = 0;
  // Tells the running product to quit and waits, bounded, until it has ended.
  virtual void CloseRunningProduct() = 0;
  // Whether the setup's own file can be read and is intact.
  virtual OwnFileState CheckOwnFile() = 0;
  // True when a file (not a directory) exists at path.
  virtual bool FileExists(const std::string& path) = 0;
  // Writes the embedded package to target; shows its own error box when the
  // file could not be written.
  virtual InstallOutcome InstallPackageFile(const std::string& name, const std::string& type,
                                  const std::string& target, bool guardVersions) = 0;
  // Size of the tree under path in KiB, or -1 when path is no directory.
  virtual std::int32_t DirectorySizeKb(const std::string& path) = 0;
  // Starts the product, waits for it and brings its main window to the front.
  virtual void StartProductAndWait() = 0;
};

// Sets the package constants, as the entry does for this package.
void SetPackageConstants(SetupContext& context);

// The one decision flow, from discovery to the launch offer.
ExitCode RunUpdate(SetupContext& context, UpdateSteps& steps);

// Checks the own file; shows its message and says false when it fails.
bool VerifyOwnFile(const SetupContext& context, UpdateSteps& steps, ExitCode* failure);

// Writes EstimatedSize into the product's Uninstall key (created when missing).
// False when the size could not be recorded; a registry failure has then been
// shown to the user.
bool RecordInstalledSize(SetupContext& context, UpdateSteps& steps);

#endif  // VESPODAR_SETUP_UPDATE_FLOW_H_
