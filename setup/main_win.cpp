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

namespace {

// Windows XP SP3 and Vista before SP1 keep a 32-bit process's DEP off, image
// flag or not, unless the process asks for it. A 64-bit process always has it.
void EnableDep() {
#ifndef _WIN64
  typedef BOOL(WINAPI * SetProcessDepPolicyFunction)(DWORD);
  const DWORD kProcessDepEnable = 1;  // PROCESS_DEP_ENABLE
  const SetProcessDepPolicyFunction setPolicy = vespodar::FindFunction<SetProcessDepPolicyFunction>(
      GetModuleHandleW(L"kernel32.dll"), "SetProcessDEPPolicy");
  // Refused where DEP is always on (or off by the machine's policy): nothing
  // more to do either way.
  if (setPolicy) setPolicy(kProcessDepEnable);
#endif
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace vespodar;
  EnableDep();
  NarrowDllSearch();
  SetupContext context;
  InitStartupEnvironment(context);
  SetPackageConstants(context);
  Win32UpdateSteps steps(context);
  const int exitCode = RunUpdate(context, steps);
  ReleaseStartupEnvironment(context);
  return exitCode;
}
