#include "setup/startup_win.h"

#include <windows.h>

#include <utility>

#include "discovery/windows_version_win.h"
#include "base/registry_win.h"
#include "setup/setup_context.h"
#include "base/random.h"
#include "setup/startup.h"
#include "base/win_text.h"

namespace vespodar {

void InitStartupEnvironment(SetupContext& context) {
  LARGE_INTEGER counter;
  if (QueryPerformanceCounter(&counter))
    SeedRandom(static_cast<std::uint32_t>(counter.LowPart));
  else
    SeedRandom(GetTickCount());

  context.russianUi = IsCyrillicLocale(GetUserDefaultLCID());

  // Its 64-bit flag decides the registry view, so it must come before the
  // accessor; the description itself goes to the log.
  context.windowsDescription = DescribeWindows(false, &context.is64BitWindows);
  context.registry =
      CreateRegistryAccessor(context.is64BitWindows ? kAllAccess64Mask : kAllAccessMask);

  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (GetVersionExW(&version)) context.ntPlatform = version.dwPlatformId == VER_PLATFORM_WIN32_NT;

  context.commandLineText = Narrow(GetCommandLineW());
  std::vector<std::string> items = SplitCommandLine(context.commandLineText);
  if (!items.empty()) items.erase(items.begin());
  context.arguments = std::move(items);
}

void ReleaseStartupEnvironment(SetupContext& context) { context.registry.reset(); }

}  // namespace vespodar
