#include "guard/version_guard.h"

#include "guard/pe_resources.h"
#include "guard/version_probes.h"

namespace vespodar {

namespace {

using IntegerProbe = std::int32_t (VersionProbes::*)(ProbedFile);

VersionComparison CompareIntegers(IntegerProbe probe, VersionProbes& probes) {
  const std::int32_t package = (probes.*probe)(ProbedFile::kPackage);
  const std::int32_t installed = (probes.*probe)(ProbedFile::kInstalled);
  return {std::to_string(package), std::to_string(installed), installed > package};
}

// The largest files the probes read whole: a language file is a few
// kilobytes, an executable rarely more than a few tens of megabytes. A larger
// one has no version that the guard reads.
constexpr std::size_t kLngFileLimit = 16u << 20;
constexpr std::size_t kExeFileLimit = 256u << 20;

}  // namespace

GuardedKind GuardedKindOf(const std::string& type) {
  if (type == "exe") return GuardedKind::kExe;
  if (type == "pak") return GuardedKind::kPak;
  if (type == "3bs") return GuardedKind::k3bs;
  if (type == "cok") return GuardedKind::kCok;
  if (type == "lng") return GuardedKind::kLng;
  return GuardedKind::kNone;
}

VersionComparison CompareVersions(GuardedKind kind, const std::string& target,
                                  VersionProbes& probes) {
  switch (kind) {
    case GuardedKind::kExe: {
      VersionComparison result;
      result.packageVersionText = probes.ReadExeFileVersion(ProbedFile::kPackage);
      result.installedVersionText = probes.ReadExeFileVersion(ProbedFile::kInstalled);
      // An installed program without a version is replaced without asking.
      result.askUser = !result.installedVersionText.empty() &&
                       result.packageVersionText != result.installedVersionText &&
                       IsOlderVersion(result.packageVersionText, result.installedVersionText);
      return result;
    }
    case GuardedKind::kPak:
      return CompareIntegers(&VersionProbes::ReadPakVersion, probes);
    case GuardedKind::k3bs:
      return CompareIntegers(&VersionProbes::Read3bsVersion, probes);
    case GuardedKind::kCok:
      return CompareIntegers(&VersionProbes::ReadCokVersion, probes);
    case GuardedKind::kLng:
      // A "!" marks a language file that always goes in as it is.
      if (target.find('!') != std::string::npos) return VersionComparison();
      return CompareIntegers(&VersionProbes::ReadLngVersion, probes);
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
                            VersionProbes& probes, ProgressDisplay& progress, GuardedKind kind,
                            const std::string& target, bool* asked,
                            VersionComparison* compared) {
  *asked = false;
  const VersionComparison versions = CompareVersions(kind, target, probes);
  if (compared) *compared = versions;
  if (!versions.askUser) return GuardResult::kReplace;
  // A silent run asks nothing, so nobody agrees to the downgrade: the newer
  // installed file stays, and nothing shows on the screen.
  if (!prompts.MayAsk()) return GuardResult::kKeptInstalled;
  progress.HideProgressWindow();
  const MessageBoxSpec box = DowngradeQuestionBox(lang, reading, target, versions);
  const Answer answer = prompts.Ask(box);
  // A question nobody could see was answered by nobody: a failure.
  if (answer == Answer::kNotShown) return GuardResult::kFailed;
  *asked = true;
  if (answer == Answer::kYes) return GuardResult::kReplace;
  progress.ShowProgressWindow(std::string(), std::string());
  return GuardResult::kKeptInstalled;
}

FileId StagedFileProbes::Open(ProbedFile file, HeldFile* held) {
  if (file == ProbedFile::kPackage) return package_.staged;
  return package_.files.OpenForReading(package_.directory, package_.fileName, held->receive())
             ? held->get()
             : 0;
}

std::int32_t StagedFileProbes::ReadField(ProbedFile file, const VersionField& field) {
  HeldFile held(package_.files);
  const FileId id = Open(file, &held);
  if (!id) return 0;
  std::uint8_t bytes[4] = {};
  std::size_t got = 0;
  if (!package_.files.Read(id, field.offset, field.width, bytes, &got)) return 0;
  return DecodeVersionField(field, std::string(reinterpret_cast<const char*>(bytes), got));
}

std::int32_t StagedFileProbes::ReadPakVersion(ProbedFile file) {
  return ReadField(file, kPakVersionField);
}
std::int32_t StagedFileProbes::Read3bsVersion(ProbedFile file) {
  return ReadField(file, k3bsVersionField);
}
std::int32_t StagedFileProbes::ReadCokVersion(ProbedFile file) {
  return ReadField(file, kCokVersionField);
}

std::int32_t StagedFileProbes::ReadLngVersion(ProbedFile file) {
  const bool installed = file == ProbedFile::kInstalled;
  // A link at the installed file's name has no version, and no word is said
  // of it: it is replaced as a file.
  std::uint32_t ignored = 0;
  if (installed && package_.files.Inspect(package_.directory, package_.fileName, &ignored) ==
                       EntryKind::kLink)
    return 0;
  HeldFile held(package_.files);
  const FileId id = Open(file, &held);
  std::string bytes;
  std::optional<std::int32_t> version;
  if (id && ReadWholeFile(package_.files, id, kLngFileLimit, &bytes))
    version = LngVersionFromText(bytes);
  if (version) return *version;
  errors_.ShowLangFileError(installed ? package_.targetPath : package_.stagingPath);
  return 0;
}

std::string StagedFileProbes::ReadExeFileVersion(ProbedFile file) {
  HeldFile held(package_.files);
  const FileId id = Open(file, &held);
  std::string image;
  std::string version;
  if (!id || !ReadWholeFile(package_.files, id, kExeFileLimit, &image) ||
      !ReadFileVersionText(reinterpret_cast<const std::uint8_t*>(image.data()), image.size(),
                           &version))
    return std::string();
  return version;
}

StagedVerdict VersionGuard::Judge(const StagedPackage& package) {
  StagedFileProbes probes(package, prompts_);
  switch (RunVersionGuard(lang_, reading_, prompts_, probes, progress_, kind_,
                          package.targetPath, &asked_, &compared_)) {
    case GuardResult::kReplace:
      return StagedVerdict::kCommit;
    case GuardResult::kKeptInstalled:
      return StagedVerdict::kKeepInstalled;
    case GuardResult::kFailed:
      break;
  }
  return StagedVerdict::kFailed;
}

void VersionGuard::Committed() {
  if (asked_) progress_.ShowProgressWindow(std::string(), std::string());
}

}  // namespace vespodar
