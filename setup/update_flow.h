#ifndef VESPODAR_SETUP_UPDATE_FLOW_H_
#define VESPODAR_SETUP_UPDATE_FLOW_H_

#include <cstdint>
#include <optional>
#include <string>

#include "install/package_writer.h"
#include "setup/exit_codes.h"
#include "setup/product.h"
#include "setup/reporter.h"
#include "ui/messages.h"

namespace vespodar {

struct SetupContext;

enum class OwnFileState { kIntact, kUnreadable, kDistorted };

// What the check of the setup's own file came to, with the Windows error
// when it could not be read.
struct OwnFileCheck {
  OwnFileState state = OwnFileState::kIntact;
  std::uint32_t windowsError = 0;
};

// What the main flow asks of the system. The Win32 build supplies the real
// operations (setup/update_steps_win.cpp); the flow's tests a recording fake.
// No step shows anything: each reports, and the flow decides.
class UpdateSteps : public RunOutput {
 public:
  // Takes the machine-wide lock that keeps runs of the setup apart, held
  // until the process ends; false when another run holds it.
  virtual bool TakeRunLock() = 0;
  // True when no running product holds the single-instance marker.
  virtual bool ProductNotRunning() = 0;
  // Tells the running product to quit and waits, bounded, until it has ended;
  // true when it has.
  virtual bool CloseRunningProduct() = 0;
  // Whether the setup's own file can be read and is intact.
  virtual OwnFileCheck CheckOwnFile() = 0;
  // Whether the installed file is what the package applies to: always for a
  // stored or compressed package, for a delta only when it is the delta's
  // base. *found says, for the log, what stands there instead.
  virtual bool PackageBaseInstalled(std::string* found) = 0;
  // True when a file (not a directory) exists at path.
  virtual bool FileExists(const std::string& path) = 0;
  // Writes the embedded package (name, type) as name.type into the product
  // directory, through the version guard when guardVersions is set; the
  // guard's question and its language file errors go to reporter.
  virtual PackageWrite InstallPackageFile(const std::string& name, const std::string& type,
                                          bool guardVersions, Reporter& reporter) = 0;
  // After a write left the target in use: schedule the staging file, which
  // the write still holds, to replace it at the next restart (0, or the
  // Windows error), or remove it.
  virtual std::uint32_t ReplaceAtRestart() = 0;
  virtual void RemoveStagingFile() = 0;
  // The programs that hold path open, where Windows can tell; for the log.
  virtual std::string FileHolders(const std::string& path) = 0;
  // Size of the tree under path in KiB, or -1 when path is no directory.
  virtual std::int32_t DirectorySizeKb(const std::string& path) = 0;
  // Starts the product, waits for it and brings its main window to the front.
  virtual LaunchOutcome StartProductAndWait() = 0;
};

// Sets the package constants, as the entry does for this package.
void SetPackageConstants(SetupContext& context);

// The one decision flow, from discovery to the launch offer.
ExitCode RunUpdate(SetupContext& context, UpdateSteps& steps);

// Checks the own file; false, with the failure that ends the run, when it is
// unreadable or not intact.
bool VerifyOwnFile(UpdateSteps& steps, Failure* failure, std::uint32_t* windowsError);

// What a deployment tool's detection rule reads in the Uninstall entry: the
// file now in place, waiting for the restart, or kept, by its version
// ("<file> version", REG_DWORD) and its SHA-256 ("<file> sha256", REG_SZ,
// lower-case hex).
struct DetectionMarker {
  std::string fileName;  // vdq2.cok
  bool hasVersion = false;
  std::int32_t version = 0;
  std::string sha256Hex;
};

// The marker for a write that ended so; nothing for a failed one, or one
// that cannot say what is in place.
std::optional<DetectionMarker> MarkerOfWrite(const SetupContext& context,
                                             const PackageWrite& written, ExitCode exitCode);

// How the record of EstimatedSize (and the marker) ended.
enum class SizeRecord {
  kRecorded,
  kNoEntry,         // the product has no Uninstall entry: nothing to record
  kNoDirectory,     // the walk found no directory: nothing written
  kRegistryFailed,  // the key could not be opened or the value not written
};
// Writes EstimatedSize, and the marker when given, into the product's
// Uninstall entry, in the branch where discovery found it; no key is ever
// created. *windowsError is the registry's error on kRegistryFailed; *sizeKb
// the size found.
SizeRecord RecordInstalledSize(SetupContext& context, UpdateSteps& steps,
                               const std::optional<DetectionMarker>& marker,
                               std::uint32_t* windowsError, std::int32_t* sizeKb);

}  // namespace vespodar

#endif  // VESPODAR_SETUP_UPDATE_FLOW_H_
