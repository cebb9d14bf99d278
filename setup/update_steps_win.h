#ifndef VESPODAR_SETUP_UPDATE_STEPS_WIN_H_
#define VESPODAR_SETUP_UPDATE_STEPS_WIN_H_

#include "base/scoped_handle_win.h"
#include "install/package_writer.h"
#include "install/product_files_win.h"
#include "setup/run_log_win.h"
#include "setup/update_flow.h"

namespace vespodar {

// The real steps of the main flow, on Win32.
class Win32UpdateSteps : public UpdateSteps {
 public:
  explicit Win32UpdateSteps(const SetupContext& context) : context_(context) {}

  int ShowMessageBox(const MessageBoxSpec& box) override;
  bool StationVisible() override;
  bool Logging() override;
  void WriteLog(const std::string& text) override;
  std::string WindowsErrorText(std::uint32_t error) override;
  bool TakeRunLock() override;
  bool ProductNotRunning() override;
  bool CloseRunningProduct() override;
  OwnFileCheck CheckOwnFile() override;
  bool PackageBaseInstalled(std::string* found) override;
  bool FileExists(const std::string& path) override;
  PackageWrite InstallPackageFile(const std::string& name, const std::string& type,
                                  bool guardVersions, Reporter& reporter) override;
  std::uint32_t ReplaceAtRestart() override;
  void RemoveStagingFile() override;
  std::string FileHolders(const std::string& path) override;
  std::int32_t DirectorySizeKb(const std::string& path) override;
  LaunchOutcome StartProductAndWait() override;

 private:
  const SetupContext& context_;
  RunLogFile log_;
  // Held to the end of the process, which lets go of it however it ends.
  ScopedHandle runLock_;
  // The one write of the package, holding the product directory and the
  // staging file from the write to the end of the run.
  Win32ProductFiles files_;
  PackageWriter writer_{files_};
};

}  // namespace vespodar

#endif  // VESPODAR_SETUP_UPDATE_STEPS_WIN_H_
