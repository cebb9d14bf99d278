#include "install/version_guard_win.h"

#include <windows.h>

#include "discovery/folders.h"
#include "install/package_writer_win.h"
#include "install/version_probes_win.h"
#include "setup/win_text.h"
#include "ui/lang_unit_win.h"
#include "ui/progress_window_win.h"

namespace {

class Win32GuardEffects : public VersionGuardEffects {
 public:
  Win32GuardEffects(const SetupContext& context, MessageShower& shower, const void* data,
                    std::uint32_t size)
      : context_(context), shower_(shower), data_(data), size_(size) {}

  bool WriteTemporaryFile(const std::string& path) override {
    return WriteFileBytes(path, false, data_, size_) == FileWriteResult::kWritten;
  }
  void DeleteTemporaryFile(const std::string& path) override {
    DeleteFileW(Widen(ExtendedLengthPath(path)).c_str());
  }
  bool ReplaceTarget(const std::string& temporary, const std::string& target) override {
    return ReplaceFileInOneStep(temporary, target);
  }

  std::string ReadExeFileVersion(const std::string& path) override {
    return ::ReadExeFileVersion(path);
  }
  std::int32_t ReadPakVersion(const std::string& path) override { return ::ReadPakVersion(path); }
  std::int32_t Read3bsVersion(const std::string& path) override { return ::Read3bsVersion(path); }
  std::int32_t ReadCokVersion(const std::string& path) override { return ::ReadCokVersion(path); }
  std::int32_t ReadLngVersion(const std::string& path) override {
    return ::ReadLngVersion(context_, shower_, path);
  }

  void HideProgressWindow() override { ::HideProgressWindow(); }
  void ShowProgressWindow(const std::string& caption, const std::string& status) override {
    ::ShowProgressWindow(caption, status);
  }

 private:
  const SetupContext& context_;
  MessageShower& shower_;
  const void* data_;
  std::uint32_t size_;
};

}  // namespace

GuardResult WriteGuarded(const SetupContext& context, MessageShower& shower, const void* data,
                         std::uint32_t size, GuardedKind kind, const std::string& target) {
  Win32GuardEffects effects(context, shower, data, size);
  return RunVersionGuard(context, shower, ProcessLangUnit(), effects, kind, target);
}
