// The setup's entry: start-up, the main flow, the exit code.
#include <windows.h>

#include "base/system_dll_win.h"
#include "setup/exit_codes.h"
#include "setup/setup_context.h"
#include "setup/startup_win.h"
#include "setup/update_flow.h"
#include "setup/update_steps_win.h"

// An exception that escapes anyway ends the process quietly with a failure
// code. The runtime's own handler would print the exception's demangled type
// to a console the setup does not have, and it costs a C++ demangler in the
// executable.
namespace __gnu_cxx {
void __verbose_terminate_handler() { ExitProcess(vespodar::kExitFailure); }
}  // namespace __gnu_cxx

// A system DLL missing at its first use ends the run as any other failure.
static_assert(vespodar::kSystemDllMissingExitCode == vespodar::kExitFailure);

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace vespodar;
  NarrowDllSearch();
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
