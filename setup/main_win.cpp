// The setup's entry: start-up, the main flow, the exit code.
#include <windows.h>

#include "base/system_dll_win.h"
#include "setup/exit_codes.h"
#include "setup/setup_context.h"
#include "setup/startup_win.h"
#include "setup/update_flow.h"
#include "setup/update_steps_win.h"

// A system DLL missing at its first use ends the run as any other failure.
static_assert(vespodar::kSystemDllMissingExitCode == vespodar::kExitFailure);

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace vespodar;
  NarrowDllSearch();
  SetupContext context;
  InitStartupEnvironment(context);
  SetPackageConstants(context);
  Win32UpdateSteps steps(context);
  const int exitCode = RunUpdate(context, steps);
  ReleaseStartupEnvironment(context);
  return exitCode;
}
