// The setup's entry: start-up, the main flow, the exit code.
#include <windows.h>

#include "setup/setup_context.h"
#include "setup/startup_win.h"
#include "setup/update_flow.h"
#include "setup/update_steps_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int exitCode = kExitFailure;
  // Nothing may end the process with the runtime's generic report: whatever
  // escapes the flow's own boundaries is a failure with its exit code.
  try {
    SetupContext context;
    InitStartupEnvironment(context);
    SetPackageConstants(context);
    Win32UpdateSteps steps(context);
    exitCode = RunUpdate(context, steps);
    ReleaseStartupEnvironment(context);
  } catch (...) {
    exitCode = kExitFailure;
  }
  return exitCode;
}
