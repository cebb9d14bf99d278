#include "setup/product.h"

namespace vespodar {

LaunchRoute ChooseLaunchRoute(unsigned majorVersion, bool elevated, bool localSystem) {
  if (localSystem) return LaunchRoute::kAsConsoleUser;
  // Without user account control an administrator's desktop runs with the
  // same rights as the setup: nothing to gain from the detour.
  return majorVersion >= 6 && elevated ? LaunchRoute::kThroughDesktopShell : LaunchRoute::kDirect;
}

const char* LaunchOutcomeText(LaunchOutcome outcome) {
  switch (outcome) {
    case LaunchOutcome::kStarted: return "product started";
    case LaunchOutcome::kStartedThroughShell: return "product started by the desktop shell";
    case LaunchOutcome::kStartedAsConsoleUser: return "product started as the console user";
    case LaunchOutcome::kShellUnreachable:
      return "product not started: no desktop shell (never with elevated rights)";
    case LaunchOutcome::kNobodyLoggedOn: return "product not started: nobody logged on";
    case LaunchOutcome::kNoUserEnvironment:
      return "product not started: no user environment";
    case LaunchOutcome::kFailed: break;
  }
  return "product not started";
}

}  // namespace vespodar
