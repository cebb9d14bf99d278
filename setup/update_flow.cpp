#include "setup/update_flow.h"

#include <string>

#include "base/number_text.h"
#include "base/text.h"
#include "discovery/folders.h"
#include "package_constants.h"
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

SizeRecord RecordInstalledSize(SetupContext& context, UpdateSteps& steps,
                               std::uint32_t* windowsError) {
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
  const std::int32_t size = steps.DirectorySizeKb(context.folders.installDir);
  if (size == -1) return SizeRecord::kNoDirectory;
  if (!context.registry->WriteInteger("EstimatedSize", size, windowsError))
    return SizeRecord::kRegistryFailed;
  return SizeRecord::kRecorded;
}

ExitCode RunUpdate(SetupContext& context, UpdateSteps& steps) {
  const std::string packageFile = context.packageName + "." + context.packageType;
  context.productName = "Vespodar";
  // Both captions come first: every error box takes its title from them.
  context.productCaptionRu = "Обновление программы \"Весподар\"";
  context.productCaptionEn = "Vespodar update";
  context.packageDisplayName = context.packageTitle + DecimalText(context.packageVersion);
  Reporter reporter(context, steps);

  std::uint32_t registryError = 0;
  if (!DiscoverFolders(*context.registry, context.windowsKeyPath, context.productName,
                       context.ntPlatform, context.folders, &registryError))
    return reporter.Report(Failure::kRegistryUnreadable, registryError);

  if (!context.folders.canInstall) return reporter.Report(Failure::kNoRights);

  // A running product holds its data file: it must be gone before we write.
  if (!steps.ProductNotRunning()) steps.CloseRunningProduct();

  Failure ownFileFailure = Failure::kOwnFileDistorted;
  std::uint32_t ownFileError = 0;
  if (!VerifyOwnFile(steps, &ownFileFailure, &ownFileError))
    return reporter.Report(ownFileFailure, ownFileError);

  context.modestMode = context.firstArgument == "modest";

  const std::string& installDir = context.folders.installDir;
  if (!steps.FileExists(installDir + context.productName + ".exe"))
    return reporter.Report(Failure::kProductMissing);

  if (!context.modestMode) {
    switch (reporter.AskBilingualQuestion(InstallQuestionText(context, context.packageDisplayName))) {
      case Answer::kYes:
        break;
      case Answer::kNo:
        return kExitUserDeclined;
      case Answer::kNotShown:
        // Nobody answered: the run failed, it was not declined.
        return kExitFailure;
    }
  }

  const std::string target = installDir + packageFile;
  const PackageWrite written = steps.InstallPackageFile(
      context.packageName, context.packageType, target, context.guardVersions, reporter);
  ExitCode exitCode = kExitSuccess;
  if (written.outcome == InstallOutcome::kFailed)
    exitCode = reporter.Report(Failure::kPackageNotWritten, written.windowsError, &target);
  // Whatever became of the file, the size is recorded and the launch offered:
  // the product is there and usable either way.
  std::uint32_t sizeError = 0;
  switch (RecordInstalledSize(context, steps, &sizeError)) {
    case SizeRecord::kRecorded:
    case SizeRecord::kNoEntry:  // a product without an entry shows no size anywhere
      break;
    case SizeRecord::kNoDirectory:
      exitCode = kExitFailure;
      break;
    case SizeRecord::kRegistryFailed:
      exitCode = reporter.Report(Failure::kSizeNotRecorded, sizeError);
      break;
  }

  if (context.modestMode) {
    if (context.arguments.size() >= 2 && LowerAscii(context.arguments[1]) == "runapp")
      steps.StartProductAndWait();
  } else {
    const Answer launch = reporter.Ask(LaunchQuestionBox(context, context.packageDisplayName));
    if (launch == Answer::kYes) steps.StartProductAndWait();
    if (launch == Answer::kNotShown) exitCode = kExitFailure;
  }
  // The user kept the newer file the product already had: the update was
  // declined, though nothing went wrong.
  if (exitCode == kExitSuccess && written.outcome == InstallOutcome::kKeptInstalled)
    return kExitUserDeclined;
  return exitCode;
}

}  // namespace vespodar
