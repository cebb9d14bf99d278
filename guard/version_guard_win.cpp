#include "guard/version_guard_win.h"

#include "ui/lang_unit_win.h"
#include "ui/progress_window_win.h"

namespace vespodar {

namespace {

class ProcessProgressWindow : public ProgressDisplay {
 public:
  void HideProgressWindow() override { vespodar::HideProgressWindow(); }
  void ShowProgressWindow(const std::string& caption, const std::string& status) override {
    vespodar::ShowProgressWindow(caption, status);
  }
};

}  // namespace

PackageWrite WritePackageGuarded(PackageWriter& writer, PackageSource& source,
                                 const std::string& installDir, const std::string& fileName,
                                 const std::string& type, bool russianUi, GuardPrompts& prompts) {
  const GuardedKind kind = GuardedKindOf(type);
  if (kind == GuardedKind::kNone) return writer.Write(installDir, fileName, source, nullptr);
  ProcessProgressWindow progress;
  const LangReading reading{installDir, russianUi, prompts};
  VersionGuard guard(ProcessLangUnit(), reading, prompts, progress, kind);
  return writer.Write(installDir, fileName, source, &guard);
}

}  // namespace vespodar
