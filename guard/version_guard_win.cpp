#include "guard/version_guard_win.h"

#include <windows.h>

#include "base/paths.h"
#include "base/win_text.h"
#include "guard/version_probes_win.h"
#include "install/package_writer_win.h"
#include "ui/lang_unit_win.h"
#include "ui/progress_window_win.h"

namespace vespodar {

namespace {

class Win32GuardEffects : public VersionGuardEffects {
 public:
  Win32GuardEffects(LangFileErrors& errors, const void* data, std::uint32_t size,
                    std::uint32_t* windowsError)
      : errors_(errors), data_(data), size_(size), windowsError_(windowsError) {}

  bool WriteTemporaryFile(const std::string& target, std::string* temporary) override {
    return WriteStagingFile(data_, size_, target, temporary, windowsError_);
  }
  void DeleteTemporaryFile(const std::string& path) override {
    DeleteFileW(Widen(ExtendedLengthPath(path)).c_str());
  }
  bool ReplaceTarget(const std::string& temporary, const std::string& target) override {
    return ReplaceFileInOneStep(temporary, target, windowsError_);
  }

  std::string ReadExeFileVersion(const std::string& path) override {
    return vespodar::ReadExeFileVersion(path);
  }
  std::int32_t ReadPakVersion(const std::string& path) override {
    return vespodar::ReadPakVersion(path);
  }
  std::int32_t Read3bsVersion(const std::string& path) override {
    return vespodar::Read3bsVersion(path);
  }
  std::int32_t ReadCokVersion(const std::string& path) override {
    return vespodar::ReadCokVersion(path);
  }
  std::int32_t ReadLngVersion(const std::string& path) override {
    return vespodar::ReadLngVersion(errors_, path);
  }

  void HideProgressWindow() override { vespodar::HideProgressWindow(); }
  void ShowProgressWindow(const std::string& caption, const std::string& status) override {
    vespodar::ShowProgressWindow(caption, status);
  }

 private:
  LangFileErrors& errors_;
  const void* data_;
  std::uint32_t size_;
  std::uint32_t* windowsError_;
};

}  // namespace

GuardResult WriteGuarded(const void* data, std::uint32_t size, GuardedKind kind,
                         const std::string& target, const std::string& installDir, bool russianUi,
                         GuardPrompts& prompts, std::uint32_t* windowsError) {
  Win32GuardEffects effects(prompts, data, size, windowsError);
  const LangReading reading{installDir, russianUi, prompts};
  return RunVersionGuard(ProcessLangUnit(), reading, prompts, effects, kind, target);
}

PackageWrite InstallPackageFileGuarded(const std::string& name, const std::string& type,
                                       const std::string& target, const std::string& installDir,
                                       bool russianUi, GuardPrompts& prompts) {
  const GuardedKind kind = GuardedKindOf(type);
  if (kind == GuardedKind::kNone || !IsExistingFile(target))
    return InstallPackageFile(name, type, target);
  PackageWrite write;
  PackageResource package;
  if (!LoadPackage(name, type, &package)) {
    write.windowsError = GetLastError();
    return write;
  }
  switch (WriteGuarded(package.data, package.size, kind, target, installDir, russianUi, prompts,
                       &write.windowsError)) {
    case GuardResult::kReplaced:
      write.outcome = InstallOutcome::kInstalled;
      break;
    case GuardResult::kKeptInstalled:
      write.outcome = InstallOutcome::kKeptInstalled;
      break;
    case GuardResult::kFailed:
      write.outcome = InstallOutcome::kFailed;
      break;
  }
  return write;
}

}  // namespace vespodar
