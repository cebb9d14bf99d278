#include "setup/update_flow.h"

#include <string>

#include "discovery/folders.h"
#include "package_constants.h"
#include "setup/number_text.h"
#include "setup/setup_context.h"
#include "setup/startup.h"

void SetPackageConstants(SetupContext& context) {
  context.packageTitle = VESPODAR_PACKAGE_TITLE;
  context.packageName = VESPODAR_PACKAGE_NAME;
  context.packageType = VESPODAR_PACKAGE_TYPE;
  context.packageVersion = VESPODAR_PACKAGE_VERSION;
  context.guardVersions = VESPODAR_GUARD_VERSIONS;
}

bool VerifyOwnFile(const SetupContext& context, UpdateSteps& steps, ExitCode* failure) {
  switch (steps.CheckOwnFile()) {
    case OwnFileState::kIntact:
      return true;
    case OwnFileState::kUnreadable:
      ShowBilingualError(context, steps, OwnFileUnreadableText());
      *failure = kExitOwnFileUnreadable;
      return false;
    case OwnFileState::kDistorted:
      break;
  }
  ShowBilingualError(context, steps, OwnFileDistortedText());
  *failure = kExitOwnFileDistorted;
  return false;
}

bool RecordInstalledSize(SetupContext& context, UpdateSteps& steps) {
  RegistryAccessor& registry = *context.registry;
  registry.SetRoot(RegistryRoot::kLocalMachine);
  // The size goes to the main branch even when the entry was found only in the
  // 32-bit one: that is where Windows' own list of programs looks first.
  if (!registry.OpenKey(context.uninstallRoot + context.productName, true)) {
    ShowBilingualError(context, steps, RegistryErrorText());
    return false;
  }
  bool recorded = false;
  try {
    const std::int32_t size = steps.DirectorySizeKb(context.installDir);
    if (size != -1) {
      registry.WriteInteger("EstimatedSize", size);
      recorded = true;
    }
  } catch (const RegistryError&) {
    registry.CloseKey();
    ShowBilingualError(context, steps, RegistryErrorText());
    return false;
  }
  registry.CloseKey();
  return recorded;
}

ExitCode RunUpdate(SetupContext& context, UpdateSteps& steps) {
  const std::string packageFile = context.packageName + "." + context.packageType;
  context.productName = "Vespodar";
  // Both captions come first: every error box takes its title from them.
  context.productCaptionRu = "Обновление программы \"Весподар\"";
  context.productCaptionEn = "Vespodar update";
  context.packageDisplayName = context.packageTitle + DecimalText(context.packageVersion);

  if (!DiscoverFolders(context, steps)) return kExitFailure;

  if (!context.canInstall) {
    ShowBilingualError(context, steps, NoRightsText());
    return kExitNoRights;
  }

  // A running product holds its data file: it must be gone before we write.
  if (!steps.ProductNotRunning()) steps.CloseRunningProduct();

  ExitCode failure = kExitSuccess;
  if (!VerifyOwnFile(context, steps, &failure)) return failure;

  context.modestMode = context.firstArgument == "modest";

  if (!steps.FileExists(context.installDir + context.productName + ".exe")) {
    ShowBilingualError(context, steps, ProductMissingText());
    return kExitProductMissing;
  }

  if (!context.modestMode && !AskBilingualQuestion(context, steps, InstallQuestionText(context)))
    return kExitUserDeclined;

  const InstallOutcome written = steps.InstallPackageFile(
      context.packageName, context.packageType, context.installDir + packageFile,
      context.guardVersions);
  // Whatever became of the file, the size is recorded and the launch offered:
  // the product is there and usable either way.
  const bool sizeRecorded = RecordInstalledSize(context, steps);

  if (context.modestMode) {
    if (context.arguments.size() >= 2 && LowerAscii(context.arguments[1]) == "runapp")
      steps.StartProductAndWait();
  } else if (steps.ShowMessageBox(LaunchQuestionBox(context)) == kAnswerYes) {
    steps.StartProductAndWait();
  }
  if (written == InstallOutcome::kFailed || !sizeRecorded) return kExitFailure;
  // The user kept the newer file the product already had: the update was
  // declined, though nothing went wrong.
  if (written == InstallOutcome::kKeptInstalled) return kExitUserDeclined;
  return kExitSuccess;
}
