// The setup's entry: start-up, the main flow, the exit code.
#include <windows.h>

#include "base/system_dll_win.h"
#include "setup/exit_codes.h"
#include "setup/setup_context.h"
#include "setup/startup_win.h"
#include "setup/update_flow.h"
#include "setup/update_steps_win.h"

namespace {

// The setup runs elevated from wherever it was downloaded to. A DLL planted
// beside it, or in the current directory, must never be loaded by it (nor by
// the shell code it calls): search System32 alone where the system can
// (SetDefaultDllDirectories: Windows 8, or 7 with KB2533623), and at least
// drop the current directory elsewhere.
void HardenDllSearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
  const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  SetDefaultDllDirectoriesFunction setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault) setDefault(kSearchSystem32);
  SetDllDirectoryW(L"");
}

}  // namespace

// A system DLL missing at its first use ends the run as any other failure.
static_assert(vespodar::kSystemDllMissingExitCode == vespodar::kExitFailure);

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace vespodar;
  HardenDllSearch();
  SetupContext context;
  InitStartupEnvironment(context);
  SetPackageConstants(context);
  Win32UpdateSteps steps(context);
  const int exitCode = RunUpdate(context, steps);
  ReleaseStartupEnvironment(context);
  return exitCode;
}
