#include "setup/update_flow.h"

#include <optional>
#include <string>

#include "base/number_text.h"
#include "base/product_identity.h"
#include "discovery/folders.h"
#include "package_constants.h"
#include "setup/run_log.h"
#include "setup/setup_context.h"

namespace vespodar {

void SetPackageConstants(SetupContext& context) {
  context.packageTitle = VESPODAR_PACKAGE_TITLE;
  context.packageName = VESPODAR_PACKAGE_NAME;
  context.packageType = VESPODAR_PACKAGE_TYPE;
  context.packageVersion = VESPODAR_PACKAGE_VERSION;
  context.guardVersions = VESPODAR_GUARD_VERSIONS;
}

bool VerifyOwnFile(UpdateSteps& steps, Failure* failure, std::uint32_t* windowsError) {
  const OwnFileCheck check = steps.CheckOwnFile();
  *windowsError = check.windowsError;
  switch (check.state) {
    case OwnFileState::kIntact:
      return true;
    case OwnFileState::kUnreadable:
      *failure = Failure::kOwnFileUnreadable;
      return false;
    case OwnFileState::kDistorted:
      break;
  }
  *failure = Failure::kOwnFileDistorted;
  return false;
}

std::optional<DetectionMarker> MarkerOfWrite(const SetupContext& context,
                                             const PackageWrite& written, ExitCode exitCode) {
  const bool inPlace = written.outcome == InstallOutcome::kInstalled ||
                       written.outcome == InstallOutcome::kKeptInstalled ||
                       (written.outcome == InstallOutcome::kInUse &&
                        exitCode == kExitRestartRequired);
  if (!inPlace || !written.described) return std::nullopt;
  DetectionMarker marker;
  marker.fileName = context.packageName + "." + context.packageType;
  if (written.outcome != InstallOutcome::kKeptInstalled) {
    marker.hasVersion = true;
    marker.version = context.packageVersion;
  } else {
    // The kept file's version as the guard read it; of a program's version
    // text its first number, as the build takes the package's.
    std::uint32_t version = 0;
    std::size_t digits = 0;
    for (const char c : written.keptVersion) {
      if (c < '0' || c > '9' || ++digits > 9) break;
      version = version * 10 + static_cast<std::uint32_t>(c - '0');
    }
    const char next = digits < written.keptVersion.size() ? written.keptVersion[digits] : '.';
    marker.hasVersion = digits > 0 && digits <= 9 && next == '.';
    marker.version = static_cast<std::int32_t>(version);
  }
  marker.sha256Hex = DigestText(written.sha256);
  return marker;
}

SizeRecord RecordInstalledSize(SetupContext& context, UpdateSteps& steps,
                               const std::optional<DetectionMarker>& marker,
                               std::uint32_t* windowsError, std::int32_t* sizeKb) {
  // Windows shows the size of the entry it lists; a key made in the other
  // branch would show nowhere and outlive the product's uninstall.
  std::string entry = context.folders.uninstallRoot;
  switch (context.folders.entryBranch) {
    case InstallDirSource::kDefault:
      return SizeRecord::kNoEntry;
    case InstallDirSource::kWow64Branch:
      entry = Wow6432Path(entry);
      break;
    case InstallDirSource::kMainBranch:
      break;
  }
  const ScopedOpenKey key(*context.registry, RegistryRoot::kLocalMachine,
                          entry + context.productName, false);
  if (!key.opened()) return SizeRecord::kRegistryFailed;
  const std::int32_t size = *sizeKb = steps.DirectorySizeKb(context.folders.installDir);
  if (size == -1) return SizeRecord::kNoDirectory;
  if (!context.registry->WriteInteger("EstimatedSize", size, windowsError))
    return SizeRecord::kRegistryFailed;
  if (marker && ((marker->hasVersion &&
                  !context.registry->WriteInteger(marker->fileName + " version", marker->version,
                                                  windowsError)) ||
                 !context.registry->WriteText(marker->fileName + " sha256", marker->sha256Hex,
                                              windowsError)))
    return SizeRecord::kRegistryFailed;
  return SizeRecord::kRecorded;
}

namespace {

const char* InstallDirSourceText(InstallDirSource source) {
  switch (source) {
    case InstallDirSource::kMainBranch:
      return "product directory (Uninstall entry, main registry view): ";
    case InstallDirSource::kWow64Branch:
      return "product directory (Uninstall entry, 32-bit registry view): ";
    case InstallDirSource::kDefault: break;
  }
  return "product directory (default, no Uninstall entry): ";
}

// The package went to the target, or failed, or waits for a restart; the
// exit code so far.
ExitCode WritePackage(SetupContext& context, UpdateSteps& steps, Reporter& reporter,
                      const std::string& target, PackageWrite* result) {
  PackageWrite& written = *result = steps.InstallPackageFile(
      context.packageName, context.packageType, context.guardVersions, reporter);
  InstallOutcome* outcome = &written.outcome;
  if (!written.refusal.empty()) reporter.Log("write refused: ", written.refusal);
  if (!written.staging.empty()) reporter.Log("staging file: ", written.staging);
  switch (written.outcome) {
    case InstallOutcome::kInstalled:
      reporter.Log("replaced: ", target);
      return kExitSuccess;
    case InstallOutcome::kKeptInstalled:
      reporter.Log("kept the newer installed file, version ",
                   written.keptVersion + " (package " + DecimalText(context.packageVersion) + ")");
      return kExitSuccess;
    case InstallOutcome::kInUse:
      if (reporter.Logging()) reporter.Log("in use by: ", steps.FileHolders(target));
      // Nobody waits for an unattended run: the file is replaced when Windows
      // restarts, as every deployment tool expects of an update.
      if (context.commandLine.unattended) {
        const std::uint32_t error = steps.ReplaceAtRestart();
        if (error == 0) {
          reporter.Log("replacement at the next restart: scheduled");
          return kExitRestartRequired;
        }
        reporter.LogError("replacement at the next restart", error);
      }
      steps.RemoveStagingFile();
      *outcome = InstallOutcome::kFailed;
      break;
    case InstallOutcome::kFailed:
      break;
  }
  return reporter.Report(Failure::kPackageNotWritten, written.windowsError, &target);
}

// Each stage of the run below either lets the run go on (an empty result) or
// ends it with its exit code.
using Stop = std::optional<ExitCode>;

// The switches: an unknown one or the usage ends the run at once.
Stop ReadCommandLine(SetupContext& context, Reporter& reporter) {
  const CommandLine& line = context.commandLine;
  reporter.Log("command line: ", context.commandLineText);
  reporter.Log(context.is64BitWindows ? "Windows (64-bit registry view): "
                                      : "Windows (32-bit registry view): ",
               context.windowsDescription);
  if (!line.invalid.empty()) {
    reporter.Log("unknown switch: ", line.invalid);
    reporter.ShowUsage(true);
    return kExitInvalidParameter;
  }
  if (line.usage) {
    reporter.ShowUsage(false);
    return kExitSuccess;
  }
  return std::nullopt;
}

// Where the product is, whether this user may update it, whether the setup
// is intact and the product there: all before anybody is asked anything.
Stop CheckBeforeAsking(SetupContext& context, UpdateSteps& steps, Reporter& reporter) {
  std::uint32_t registryError = 0;
  if (!DiscoverFolders(*context.registry, context.windowsKeyPath, context.productName,
                       context.ntPlatform, context.folders, &registryError))
    return reporter.Report(Failure::kRegistryUnreadable, registryError);
  const std::string& installDir = context.folders.installDir;
  reporter.Log(InstallDirSourceText(context.folders.installDirSource), installDir);

  if (!context.folders.canInstall) return reporter.Report(Failure::kNoRights);

  Failure ownFileFailure = Failure::kOwnFileDistorted;
  std::uint32_t ownFileError = 0;
  if (!VerifyOwnFile(steps, &ownFileFailure, &ownFileError))
    return reporter.Report(ownFileFailure, ownFileError);
  reporter.Log("own file check: intact");

  // A delta rebuilds the new file from the one it was made against: on any
  // other, nothing may be touched, the running product included.
  std::string found;
  if (!steps.PackageBaseInstalled(&found)) {
    reporter.Log("installed file: ", found);
    const std::string target = installDir + context.packageName + "." + context.packageType;
    return reporter.Report(Failure::kBaseMismatch, 0, &target);
  }

  if (!steps.FileExists(installDir + context.productName + ".exe"))
    return reporter.Report(Failure::kProductMissing);
  return std::nullopt;
}

// The install question, where anybody may be asked.
Stop AskToInstall(SetupContext& context, Reporter& reporter) {
  if (!reporter.MayAsk()) return std::nullopt;
  switch (reporter.AskBilingualQuestion(InstallQuestionText(context, context.packageDisplayName))) {
    case Answer::kYes:
      return std::nullopt;
    case Answer::kNo:
    case Answer::kUnanswered:
      return kExitUserDeclined;
    case Answer::kNotShown:
      break;
  }
  // The box never appeared: the run failed, it was not declined.
  return kExitFailure;
}

// A running product holds its data file: it must be gone before we write.
// Only now, once the update will really be written, since quitting costs the
// user whatever he had not saved.
void CloseTheProduct(UpdateSteps& steps, Reporter& reporter) {
  if (steps.ProductNotRunning()) {
    reporter.Log("running product: none");
    return;
  }
  reporter.Log(steps.CloseRunningProduct() ? "running product: closed"
                                           : "running product: still running");
}

// Whatever became of the file, the size is recorded: the product is there
// and usable either way. A failure changes the exit code, nothing else.
void RecordTheSize(SetupContext& context, UpdateSteps& steps, Reporter& reporter,
                   const std::optional<DetectionMarker>& marker, ExitCode* exitCode) {
  std::uint32_t sizeError = 0;
  std::int32_t sizeKb = -1;
  switch (RecordInstalledSize(context, steps, marker, &sizeError, &sizeKb)) {
    case SizeRecord::kRecorded:
      reporter.Log("EstimatedSize recorded (KB): ", DecimalText(sizeKb));
      if (marker) {
        std::string text = marker->fileName;
        if (marker->hasVersion) text += " version " + DecimalText(marker->version);
        text += ", sha256 " + marker->sha256Hex;
        reporter.Log("detection marker recorded: ", text);
      }
      break;
    case SizeRecord::kNoEntry:  // a product without an entry shows no size anywhere
      reporter.Log("size not recorded: no Uninstall entry");
      break;
    case SizeRecord::kNoDirectory:
      reporter.Log("size not recorded: no directory");
      *exitCode = kExitFailure;
      break;
    case SizeRecord::kRegistryFailed:
      *exitCode = reporter.Report(Failure::kSizeNotRecorded, sizeError);
      break;
  }
}

// The launch: asked, or in a run that asks nothing started only on request;
// never while the update waits for the restart.
void OfferTheLaunch(SetupContext& context, UpdateSteps& steps, Reporter& reporter,
                    InstallOutcome outcome, ExitCode* exitCode) {
  if (outcome == InstallOutcome::kInUse) {
    // The old file is still in place until the restart.
    reporter.Log("product not started: the update waits for the restart");
  } else if (!reporter.MayAsk()) {
    if (context.commandLine.runApp)
      reporter.Log(LaunchOutcomeText(steps.StartProductAndWait()));
    else
      reporter.Log("product start not asked for");
  } else {
    const Answer launch = reporter.Ask(LaunchQuestionBox(context, context.packageDisplayName));
    if (launch == Answer::kYes)
      reporter.Log(LaunchOutcomeText(steps.StartProductAndWait()));
    else
      reporter.Log("product start not answered Yes");
    if (launch == Answer::kNotShown) *exitCode = kExitFailure;
  }
}

ExitCode RunSteps(SetupContext& context, UpdateSteps& steps, Reporter& reporter) {
  if (const Stop stop = ReadCommandLine(context, reporter)) return *stop;
  // Two runs at once would write the same file and record the same entry:
  // the later one leaves it all to the earlier, and the tool that started
  // it tries again.
  // The log's last line says why.
  if (!steps.TakeRunLock()) return kExitAlreadyRunning;
  if (const Stop stop = CheckBeforeAsking(context, steps, reporter)) return *stop;
  if (const Stop stop = AskToInstall(context, reporter)) return *stop;
  CloseTheProduct(steps, reporter);

  PackageWrite written;
  ExitCode exitCode = WritePackage(
      context, steps, reporter,
      context.folders.installDir + context.packageName + "." + context.packageType, &written);
  const InstallOutcome outcome = written.outcome;
  RecordTheSize(context, steps, reporter, MarkerOfWrite(context, written, exitCode), &exitCode);
  OfferTheLaunch(context, steps, reporter, outcome, &exitCode);
  // The user kept the newer file the product already had: the update was
  // declined, though nothing went wrong. Unattended nobody declined
  // anything: the machine has what the update would bring, or newer, and a
  // failure would only have the tool run it again every day.
  if (exitCode == kExitSuccess && outcome == InstallOutcome::kKeptInstalled &&
      !context.commandLine.unattended)
    return kExitUserDeclined;
  return exitCode;
}

}  // namespace

ExitCode RunUpdate(SetupContext& context, UpdateSteps& steps) {
  context.productName = kProductName;
  // Both captions come first: every box, the usage box too, takes its title
  // from them.
  context.productCaptionRu = kProductCaptionRu;
  context.productCaptionEn = kProductCaptionEn;
  context.packageDisplayName = context.packageTitle + DecimalText(context.packageVersion);
  context.commandLine = ParseCommandLine(context.arguments);
  context.modestMode = context.commandLine.modest;
  Reporter reporter(context, steps);
  return reporter.Finish(RunSteps(context, steps, reporter));
}

}  // namespace vespodar
