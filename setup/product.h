#ifndef VESPODAR_SETUP_PRODUCT_H_
#define VESPODAR_SETUP_PRODUCT_H_

namespace vespodar {

// How the product is started after the update. It must never run with more
// rights than its user has: a product started elevated takes no drag and drop
// from Explorer and writes files the user cannot change afterwards, and one
// started as SYSTEM runs with the machine's own rights.
enum class LaunchRoute {
  // ShellExecute from the setup's own process: its rights are the user's.
  kDirect,
  // Asked of the desktop's shell (Explorer), so the product runs as the
  // desktop's user; when the shell cannot be reached, not at all.
  kThroughDesktopShell,
  // The setup runs as SYSTEM (a deployment agent): started in the active
  // console session as its user; with nobody logged on, not at all.
  kAsConsoleUser,
};

// majorVersion is the running Windows' major version; user account control
// exists from 6 (Vista) on. elevated is the setup's token elevation,
// localSystem whether the setup runs as SYSTEM.
LaunchRoute ChooseLaunchRoute(unsigned majorVersion, bool elevated, bool localSystem);

// How the start went, for the log; none of them changes the exit code.
enum class LaunchOutcome {
  kStarted,
  kStartedThroughShell,
  kStartedAsConsoleUser,
  kShellUnreachable,
  kNobodyLoggedOn,
  kNoUserEnvironment,
  kFailed,
};
const char* LaunchOutcomeText(LaunchOutcome outcome);

}  // namespace vespodar

#endif  // VESPODAR_SETUP_PRODUCT_H_
