#ifndef VESPODAR_GUARD_VERSION_GUARD_H_
#define VESPODAR_GUARD_VERSION_GUARD_H_

// The version guard: before an installed file is replaced by an older
// package, the user is asked. The package goes to a temporary file beside the
// target first, both files are probed, and the temporary file then either
// replaces the target in one step or is thrown away. The decisions are here;
// the files and the progress window are behind VersionGuardEffects, and the
// question goes to GuardPrompts: the flow decides whether anybody is asked.

#include <cstdint>
#include <string>

#include "ui/lang_unit.h"
#include "ui/messages.h"

namespace vespodar {

// The kinds of files the guard knows, by the package's resource type,
// compared exactly (letter case included). kNone: written straight.
enum class GuardedKind { kNone, kExe, kPak, k3bs, kCok, kLng };
GuardedKind GuardedKindOf(const std::string& type);

// Everything the guard does to the world.
class VersionGuardEffects {
 public:
  virtual ~VersionGuardEffects() = default;
  // Writes the whole package to a new file beside target, under a fresh name
  // (StagingPath) that nobody else had, and sets *temporary to it; the
  // replacement is then a rename on one volume. On failure nothing of ours is
  // left, and whatever stood at a drawn name is untouched.
  virtual bool WriteTemporaryFile(const std::string& target, std::string* temporary) = 0;
  virtual void DeleteTemporaryFile(const std::string& path) = 0;
  // Puts temporary in target's place in one step: the target is never gone.
  virtual bool ReplaceTarget(const std::string& temporary, const std::string& target) = 0;

  virtual std::string ReadExeFileVersion(const std::string& path) = 0;
  virtual std::int32_t ReadPakVersion(const std::string& path) = 0;
  virtual std::int32_t Read3bsVersion(const std::string& path) = 0;
  virtual std::int32_t ReadCokVersion(const std::string& path) = 0;
  virtual std::int32_t ReadLngVersion(const std::string& path) = 0;

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

// Probes the temporary file (the package) before the target (the installed
// file) and decides whether the installed file is newer:
//   exe - FileVersion texts; asked only when the installed text is not empty,
//         differs from the package's and IsOlderVersion says so;
//   pak, 3bs, cok - integer fields, installed greater than package;
//   lng - the same with the language file version, but not at all when the
//         target path holds a "!" anywhere: such files are always replaced.
VersionComparison CompareVersions(GuardedKind kind, const std::string& temporary,
                                  const std::string& target, VersionGuardEffects& effects);

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
  kReplaced,       // the target now holds the package
  kKeptInstalled,  // the user kept the newer installed file
  kFailed,         // the install error is due (also when the question could
                   // not be shown); no temporary file is left
};

// The guarded write of the package over an existing target of a known kind.
// The progress window is hidden while the question is up and shown again
// (with empty texts) once it has been asked, whatever the answer; after a
// failure it stays hidden. When nobody may be asked the question is not
// asked and the newer installed file is kept, as after a No, with no window
// at all. reading's errors are the prompts'.
GuardResult RunVersionGuard(LangUnit& lang, const LangReading& reading, GuardPrompts& prompts,
                            VersionGuardEffects& effects, GuardedKind kind,
                            const std::string& target);

}  // namespace vespodar

#endif  // VESPODAR_GUARD_VERSION_GUARD_H_
