// The package write of a setup built with the version guard.
#include "setup/package_step_win.h"

#include "guard/version_guard_win.h"
#include "setup/setup_context.h"

namespace vespodar {

namespace {

// The guard's questions and language file errors, told to the run's reporter.
class ReporterPrompts : public GuardPrompts {
 public:
  explicit ReporterPrompts(Reporter& reporter) : reporter_(reporter) {}
  bool MayAsk() override { return reporter_.MayAsk(); }
  Answer Ask(const MessageBoxSpec& question) override { return reporter_.Ask(question); }
  void ShowLangFileError(const std::string& fileName) override {
    reporter_.ShowLangFileError(fileName);
  }

 private:
  Reporter& reporter_;
};

}  // namespace

PackageWrite WritePackageStep(const SetupContext& context, PackageWriter& writer,
                              PackageSource& source, const std::string& fileName,
                              const std::string& type, bool guardVersions, Reporter& reporter) {
  const std::string& installDir = context.folders.installDir;
  if (!guardVersions) return writer.Write(installDir, fileName, source, nullptr);
  ReporterPrompts prompts(reporter);
  return WritePackageGuarded(writer, source, installDir, fileName, type, context.russianUi,
                             prompts);
}

}  // namespace vespodar
