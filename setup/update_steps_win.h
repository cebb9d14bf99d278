#ifndef VESPODAR_SETUP_UPDATE_STEPS_WIN_H_
#define VESPODAR_SETUP_UPDATE_STEPS_WIN_H_

#include "setup/update_flow.h"

namespace vespodar {

// The real steps of the main flow, on Win32.
class Win32UpdateSteps : public UpdateSteps {
 public:
  explicit Win32UpdateSteps(const SetupContext& context) : context_(context) {}

  int ShowMessageBox(const MessageBoxSpec& box) override;
  bool ProductNotRunning() override;
  void CloseRunningProduct() override;
  OwnFileCheck CheckOwnFile() override;
  bool FileExists(const std::string& path) override;
  PackageWrite InstallPackageFile(const std::string& name, const std::string& type,
                                  const std::string& target, bool guardVersions,
                                  Reporter& reporter) override;
  std::int32_t DirectorySizeKb(const std::string& path) override;
  void StartProductAndWait() override;

 private:
  const SetupContext& context_;
};

}  // namespace vespodar

#endif  // VESPODAR_SETUP_UPDATE_STEPS_WIN_H_
