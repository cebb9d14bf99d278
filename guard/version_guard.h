#ifndef VESPODAR_GUARD_VERSION_GUARD_H_
#define VESPODAR_GUARD_VERSION_GUARD_H_

// The version guard: before an installed file is replaced by an older
// package, the user is asked. The write stages the package beside the target
// and asks the guard, which probes both files and decides whether the staged
// file replaces the target (the write's own commit) or is thrown away. The
// progress window is behind ProgressDisplay, and the question goes to
// GuardPrompts: the flow decides whether anybody is asked.

#include <cstdint>
#include <string>

#include "guard/version_probes.h"
#include "install/package_writer.h"
#include "ui/lang_unit.h"
#include "ui/messages.h"

namespace vespodar {

// The kinds of files the guard knows, by the package's resource type,
// compared exactly (letter case included). kNone: written straight.
enum class GuardedKind { kNone, kExe, kPak, k3bs, kCok, kLng };
GuardedKind GuardedKindOf(const std::string& type);

// Which of the two files a probe reads: the staged package or the file
// installed at the target.
enum class ProbedFile { kPackage, kInstalled };

// The versions of the two files. A version that cannot be read is 0 or an
// empty text.
class VersionProbes {
 public:
  virtual ~VersionProbes() = default;
  virtual std::string ReadExeFileVersion(ProbedFile file) = 0;
  virtual std::int32_t ReadPakVersion(ProbedFile file) = 0;
  virtual std::int32_t Read3bsVersion(ProbedFile file) = 0;
  virtual std::int32_t ReadCokVersion(ProbedFile file) = 0;
  virtual std::int32_t ReadLngVersion(ProbedFile file) = 0;
};

// The progress window, hidden while the question is up.
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void HideProgressWindow() = 0;
  virtual void ShowProgressWindow(const std::string& caption, const std::string& status) = 0;
};

// What the probes found. The texts appear only in the question; askUser
// decides whether it is asked.
struct VersionComparison {
  std::string packageVersionText;
  std::string installedVersionText;
  bool askUser = false;
};

// Probes the staged package before the target (the installed
// file) and decides whether the installed file is newer:
//   exe - FileVersion texts; asked only when the installed text is not empty,
//         differs from the package's and IsOlderVersion says so;
//   pak, 3bs, cok - integer fields, installed greater than package;
//   lng - the same with the language file version, but not at all when the
//         target path holds a "!" anywhere: such files are always replaced.
VersionComparison CompareVersions(GuardedKind kind, const std::string& target,
                                  VersionProbes& probes);

// The downgrade question. With a chosen language support file its caption is
// the file's "soundquest" line and its text "olderfilever" with the target as
// "%1", in the file's language; otherwise the built-in texts in the user's
// language.
MessageBoxSpec DowngradeQuestionBox(LangUnit& lang, const LangReading& reading,
                                    const std::string& target, const VersionComparison& versions);

// Whom the guard asks, and tells of a language file it cannot use. The setup
// decides what the user sees of either.
class GuardPrompts : public LangFileErrors {
 public:
  // Whether anybody may be asked. Nobody in a silent run: then nobody agrees
  // to the downgrade either.
  virtual bool MayAsk() = 0;
  // Asks the question.
  virtual Answer Ask(const MessageBoxSpec& question) = 0;
};

enum class GuardResult {
  kReplace,        // the package goes in: the write commits it
  kKeptInstalled,  // nobody agreed to replace the newer installed file
  kFailed,         // the install error is due (the question could not be
                   // shown)
};

// The guard's decision for a package already staged over an existing target
// of a known kind. The progress window is hidden while the question is up;
// after a No it is shown again (with empty texts) at once, after a Yes once
// the package has replaced the file (VersionGuard::Committed), and after a
// failure it stays hidden. When nobody may be asked the question is not
// asked and the newer installed file is kept, as after a No, with no window
// at all. *asked tells whether the question was shown; *compared, when
// given, receives what the probes found.
GuardResult RunVersionGuard(LangUnit& lang, const LangReading& reading, GuardPrompts& prompts,
                            VersionProbes& probes, ProgressDisplay& progress, GuardedKind kind,
                            const std::string& target, bool* asked,
                            VersionComparison* compared = nullptr);

// The probes on the two files of a staged package, through the product
// directory's handle: the installed file is opened relative to it, as
// itself, never through a link (a link has no version and is replaced as a
// file). The language file probe tells errors of a file it cannot use.
class StagedFileProbes : public VersionProbes {
 public:
  StagedFileProbes(const StagedPackage& package, LangFileErrors& errors)
      : package_(package), errors_(errors) {}
  std::string ReadExeFileVersion(ProbedFile file) override;
  std::int32_t ReadPakVersion(ProbedFile file) override;
  std::int32_t Read3bsVersion(ProbedFile file) override;
  std::int32_t ReadCokVersion(ProbedFile file) override;
  std::int32_t ReadLngVersion(ProbedFile file) override;

 private:
  std::int32_t ReadField(ProbedFile file, const VersionField& field);
  // The file to read: the staging file's own handle for the package, the
  // installed file opened into *held; 0 when that cannot be read as a file
  // (missing, held, a link).
  FileId Open(ProbedFile file, HeldFile* held);

  const StagedPackage& package_;
  LangFileErrors& errors_;
};

// The version guard as the write's judge.
class VersionGuard : public StagedPackageJudge {
 public:
  VersionGuard(LangUnit& lang, const LangReading& reading, GuardPrompts& prompts,
               ProgressDisplay& progress, GuardedKind kind)
      : lang_(lang), reading_(reading), prompts_(prompts), progress_(progress), kind_(kind) {}
  StagedVerdict Judge(const StagedPackage& package) override;
  void Committed() override;
  std::string InstalledVersion() const override { return compared_.installedVersionText; }

 private:
  LangUnit& lang_;
  const LangReading& reading_;
  GuardPrompts& prompts_;
  ProgressDisplay& progress_;
  GuardedKind kind_;
  bool asked_ = false;
  VersionComparison compared_;
};

}  // namespace vespodar

#endif  // VESPODAR_GUARD_VERSION_GUARD_H_
