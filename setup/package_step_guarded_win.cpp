// The package write of a setup built with the version guard.
#include "setup/package_step_win.h"

#include "guard/version_guard_win.h"
#include "install/package_writer_win.h"
#include "setup/setup_context.h"

namespace vespodar {

namespace {

// The guard's questions and language file errors, told to the run's reporter.
class ReporterPrompts : public GuardPrompts {
 public:
  explicit ReporterPrompts(Reporter& reporter) : reporter_(reporter) {}
  bool MayAsk() override { return reporter_.MayAsk(); }
  bool Ask(const MessageBoxSpec& question) override {
    return reporter_.Ask(question) == Answer::kYes;
  }
  void ShowLangFileError(const std::string& fileName) override {
    reporter_.ShowLangFileError(fileName);
  }

 private:
  Reporter& reporter_;
};

}  // namespace

PackageWrite WritePackageStep(const SetupContext& context, const std::string& name,
                              const std::string& type, const std::string& target,
                              bool guardVersions, Reporter& reporter) {
  if (!guardVersions) return InstallPackageFile(name, type, target);
  ReporterPrompts prompts(reporter);
  return InstallPackageFileGuarded(name, type, target, context.folders.installDir,
                                   context.russianUi, prompts);
}

}  // namespace vespodar
