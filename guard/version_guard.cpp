#include "guard/version_guard.h"

#include "guard/version_probes.h"

namespace vespodar {

namespace {

using IntegerProbe = std::int32_t (VersionGuardEffects::*)(const std::string&);

VersionComparison CompareIntegers(IntegerProbe probe, const std::string& temporary,
                                  const std::string& target, VersionGuardEffects& effects) {
  const std::int32_t package = (effects.*probe)(temporary);
  const std::int32_t installed = (effects.*probe)(target);
  return {std::to_string(package), std::to_string(installed), installed > package};
}

}  // namespace

GuardedKind GuardedKindOf(const std::string& type) {
  if (type == "exe") return GuardedKind::kExe;
  if (type == "pak") return GuardedKind::kPak;
  if (type == "3bs") return GuardedKind::k3bs;
  if (type == "cok") return GuardedKind::kCok;
  if (type == "lng") return GuardedKind::kLng;
  return GuardedKind::kNone;
}

VersionComparison CompareVersions(GuardedKind kind, const std::string& temporary,
                                  const std::string& target, VersionGuardEffects& effects) {
  switch (kind) {
    case GuardedKind::kExe: {
      VersionComparison result;
      result.packageVersionText = effects.ReadExeFileVersion(temporary);
      result.installedVersionText = effects.ReadExeFileVersion(target);
      // An installed program without a version is replaced without asking.
      result.askUser = !result.installedVersionText.empty() &&
                       result.packageVersionText != result.installedVersionText &&
                       IsOlderVersion(result.packageVersionText, result.installedVersionText);
      return result;
    }
    case GuardedKind::kPak:
      return CompareIntegers(&VersionGuardEffects::ReadPakVersion, temporary, target, effects);
    case GuardedKind::k3bs:
      return CompareIntegers(&VersionGuardEffects::Read3bsVersion, temporary, target, effects);
    case GuardedKind::kCok:
      return CompareIntegers(&VersionGuardEffects::ReadCokVersion, temporary, target, effects);
    case GuardedKind::kLng:
      // A "!" marks a language file that always goes in as it is.
      if (target.find('!') != std::string::npos) return VersionComparison();
      return CompareIntegers(&VersionGuardEffects::ReadLngVersion, temporary, target, effects);
    case GuardedKind::kNone:
      break;
  }
  return VersionComparison();
}

MessageBoxSpec DowngradeQuestionBox(LangUnit& lang, const LangReading& reading,
                                    const std::string& target, const VersionComparison& versions) {
  if (LangFileChosen(lang)) {
    MessageBoxSpec box;
    box.caption = ReadLangLine(lang, reading, "soundquest");
    box.text = GetLangText(lang, reading, "olderfilever", {target}, false);
    box.style = kQuestionBoxStyle;
    box.language = ChosenBoxLanguage(lang);
    return box;
  }
  UserLanguage language;
  language.russianUi = reading.russianUi;
  return QuestionBox(language, DowngradeQuestionText(target, versions.installedVersionText,
                                                    versions.packageVersionText));
}

GuardResult RunVersionGuard(LangUnit& lang, const LangReading& reading, GuardPrompts& prompts,
                            VersionGuardEffects& effects, GuardedKind kind,
                            const std::string& target) {
  std::string temporary;
  if (!effects.WriteTemporaryFile(target, &temporary)) return GuardResult::kFailed;
  const VersionComparison versions = CompareVersions(kind, temporary, target, effects);
  // A silent run asks nothing, so nobody agrees to the downgrade: the newer
  // installed file stays, and nothing shows on the screen.
  if (versions.askUser && !prompts.MayAsk()) {
    effects.DeleteTemporaryFile(temporary);
    return GuardResult::kKeptInstalled;
  }
  if (versions.askUser) {
    effects.HideProgressWindow();
    const MessageBoxSpec box = DowngradeQuestionBox(lang, reading, target, versions);
    const Answer answer = prompts.Ask(box);
    if (answer != Answer::kYes) {
      effects.DeleteTemporaryFile(temporary);
      // A question nobody could see was answered by nobody: a failure.
      if (answer == Answer::kNotShown) return GuardResult::kFailed;
      effects.ShowProgressWindow(std::string(), std::string());
      return GuardResult::kKeptInstalled;
    }
  }
  if (!effects.ReplaceTarget(temporary, target)) {
    // The installed file is still whole; a package copy under another name
    // would only be in the product's way.
    effects.DeleteTemporaryFile(temporary);
    return GuardResult::kFailed;
  }
  if (versions.askUser) effects.ShowProgressWindow(std::string(), std::string());
  return GuardResult::kReplaced;
}

}  // namespace vespodar
