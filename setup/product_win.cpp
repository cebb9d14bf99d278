#include "setup/product_win.h"

#include <windows.h>
#include <shellapi.h>

#include "setup/desktop_shell_win.h"
#include "setup/product.h"
#include "base/product_identity.h"
#include "base/retry_sleep_win.h"
#include "base/scoped_handle_win.h"
#include "base/system_dll_win.h"
#include "base/win_text.h"

namespace vespodar {

namespace {

// How long the setup waits for a product it told to quit. A product that has
// not ended by then is left alone; the write then reports the file as busy.
const DWORD kQuitWaitMs = 10000;
const DWORD kQuitProbeMs = 100;

// The start: the product is given about 4 seconds to create its marker and
// another 11 to show its main window.
const int kMarkerPasses = 8;
const DWORD kMarkerPassMs = 512;
const int kWindowPasses = 11;
// The desktop's shell, asked this often, this far apart.
const int kShellTries = 5;
const DWORD kShellRetryMs = 1000;
const DWORD kWindowPassMs = 1024;

HWND FindMainWindow(const std::string& mainWindowClass) {
  return User32().FindWindowW(Widen(mainWindowClass).c_str(), nullptr);
}

}  // namespace

bool ProductNotRunning() {
  const ScopedHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                               64, kInstanceMarkerName));
  return !(mapping.valid() && GetLastError() == ERROR_ALREADY_EXISTS);
}

bool CloseRunningProduct(const std::string& mainWindowClass) {
  HWND window = FindMainWindow(mainWindowClass);
  // Without a window there is nobody to tell; waiting would only delay.
  if (!window) return false;
  User32().PostMessageW(window, WM_QUIT, 0, 0);
  for (DWORD waited = 0; waited < kQuitWaitMs; waited += kQuitProbeMs) {
    if (ProductNotRunning()) return true;
    RetrySleep(kQuitProbeMs);
  }
  return ProductNotRunning();
}

unsigned RunningMajorVersion() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  return GetVersionExW(&version) ? version.dwMajorVersion : 0;
}

namespace {

// The setup runs as SYSTEM: a deployment agent started it, in session 0.
bool IsLocalSystem() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return false;
  const ScopedHandle token(opened);
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } buffer;
  DWORD size = 0;
  return GetTokenInformation(token.handle, TokenUser, &buffer, sizeof(buffer), &size) &&
         IsWellKnownSid(buffer.user.User.Sid, WinLocalSystemSid);
}

// A user's environment block, destroyed when it goes out of scope; empty
// (null) when it could not be made.
class EnvironmentBlock {
 public:
  explicit EnvironmentBlock(HANDLE token) {
    if (!Sessions().CreateEnvironmentBlock(&block_, token, FALSE)) block_ = nullptr;
  }
  EnvironmentBlock(const EnvironmentBlock&) = delete;
  EnvironmentBlock& operator=(const EnvironmentBlock&) = delete;
  ~EnvironmentBlock() {
    if (block_) Sessions().DestroyEnvironmentBlock(block_);
  }
  void* get() const { return block_; }

 private:
  void* block_ = nullptr;
};

// Starts path as the user of the active console session, on that user's
// desktop, with that user's environment.
LaunchOutcome StartAsConsoleUser(const std::wstring& path, const std::wstring& directory) {
  const DWORD session = WTSGetActiveConsoleSessionId();
  HANDLE userToken = nullptr;
  if (session == 0xFFFFFFFF || !Sessions().WTSQueryUserToken(session, &userToken))
    return LaunchOutcome::kNobodyLoggedOn;
  const ScopedHandle token(userToken);
  // Without the user's own environment the product would get SYSTEM's:
  // its profile, its temporary folder, its rights' paths.
  const EnvironmentBlock environment(token.handle);
  if (!environment.get()) return LaunchOutcome::kNoUserEnvironment;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  wchar_t desktop[] = L"winsta0\\default";
  startup.lpDesktop = desktop;
  PROCESS_INFORMATION process = {};
  // No command line: the product takes no arguments, and Windows then gives
  // it the executable's path alone.
  const BOOL started = CreateProcessAsUserW(token.handle, path.c_str(), nullptr, nullptr, nullptr,
                                            FALSE, CREATE_UNICODE_ENVIRONMENT, environment.get(),
                                            directory.c_str(), &startup, &process);
  if (!started) return LaunchOutcome::kFailed;
  ScopedHandle owned[] = {ScopedHandle(process.hProcess), ScopedHandle(process.hThread)};
  return LaunchOutcome::kStartedAsConsoleUser;
}

}  // namespace

LaunchOutcome StartProduct(const std::string& installDir, const std::string& executable) {
  const std::wstring directory = Widen(installDir);
  SetCurrentDirectoryW(directory.c_str());
  // The absolute path: an elevated setup must never start a namesake found in
  // whatever directory it was started from.
  const std::wstring path = Widen(installDir + executable);
  switch (ChooseLaunchRoute(RunningMajorVersion(), IsProcessElevated(), IsLocalSystem())) {
    case LaunchRoute::kAsConsoleUser:
      return StartAsConsoleUser(path, directory);
    case LaunchRoute::kThroughDesktopShell:
      // Never the setup's own elevated rights instead. The desktop's shell
      // may still be starting (just after logon, or on a busy machine): it
      // is asked again for a few seconds before the start is given up.
      for (int attempt = 1;; ++attempt) {
        if (OpenThroughDesktopShell(path, directory)) return LaunchOutcome::kStartedThroughShell;
        if (attempt == kShellTries) return LaunchOutcome::kShellUnreachable;
        RetrySleep(kShellRetryMs);
      }
    case LaunchRoute::kDirect:
      break;
  }
  const HINSTANCE result = Shell32().ShellExecuteW(nullptr, L"open", path.c_str(), L"",
                                                   directory.c_str(), SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32 ? LaunchOutcome::kStarted : LaunchOutcome::kFailed;
}

LaunchOutcome StartProductAndWait(const std::string& installDir, const std::string& executable,
                                  const std::string& mainWindowClass) {
  const LaunchOutcome outcome = StartProduct(installDir, executable);
  if (outcome != LaunchOutcome::kStarted && outcome != LaunchOutcome::kStartedThroughShell)
    return outcome;
  bool started = false;
  for (int pass = 0; pass < kMarkerPasses && !started; ++pass) {
    Sleep(kMarkerPassMs);
    started = !ProductNotRunning();
  }
  if (!started) return outcome;
  HWND window = nullptr;
  for (int pass = 0; pass < kWindowPasses && !window; ++pass) {
    Sleep(kWindowPassMs);
    window = FindMainWindow(mainWindowClass);
  }
  if (!window) return outcome;
  User32().ShowWindow(window, SW_SHOWNORMAL);
  User32().SetForegroundWindow(window);
  return outcome;
}

}  // namespace vespodar
