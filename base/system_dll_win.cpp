#include "base/system_dll_win.h"

#include <string>

namespace vespodar {

namespace {

HMODULE Required(HMODULE module) {
  if (!module) ExitProcess(kSystemDllMissingExitCode);
  return module;
}

template <typename Function>
void Bind(HMODULE module, const char* name, Function& slot) {
  slot = FindFunction<Function>(module, name);
  if (!slot) ExitProcess(kSystemDllMissingExitCode);
}

// Fills the member of RECORD that bears the function's own name.
#define VESPODAR_BIND(module, record, name) Bind(module, #name, record.name)

HMODULE LoadFromSystemDirectory(const wchar_t* dllName) {
  wchar_t directory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(directory, length);
  path += L'\\';
  path += dllName;
  // The altered search path takes the DLL's own imports from its directory
  // too.
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

void NarrowDllSearch() {
#ifndef VESPODAR_PRETEND_NO_DEFAULT_DLL_DIRECTORIES
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
  const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  const SetDefaultDllDirectoriesFunction setDefault =
      FindFunction<SetDefaultDllDirectoriesFunction>(GetModuleHandleW(L"kernel32.dll"),
                                                     "SetDefaultDllDirectories");
  if (setDefault && setDefault(kSearchSystem32)) return;
#endif
  SetDllDirectoryW(L"");
  PreloadSystemDllDependencies();
}

void PreloadSystemDllDependencies() {
  // What the system DLLs load by name while they run, rather than import,
  // on XP, Vista and 7: the DLLs that the setup loads at first use (user32,
  // gdi32, comctl32, shell32, ole32, oleaut32, version, wintrust, wtsapi32,
  // userenv) and what those load in turn. The application's directory comes
  // first in that search. Each is loaded here from System32 by its full
  // path, before anything can ask for it by name, and is then found among
  // the loaded modules. A name that this Windows does not ship cannot be
  // preloaded, and is exactly the one a planted copy would answer if
  // anything asked for it: so the list names, version by version, what the
  // system ships and loads (the comment says where), and a name missing here
  // is simply not loaded.
  // One text, names without ".dll" (the loader appends it): the smallest
  // form in the executable.
  static const wchar_t kDependencies[] =
      L"uxtheme\0"       // user32 and comctl32: themed boxes and progress bar
      L"dwmapi\0"        // uxtheme and comctl32 from Vista on: the compositor
      L"oleacc\0"        // user32 and comctl32: accessibility of the windows
      L"imm32\0"         // user32 on XP: the input method of every window made
      L"msctf\0"         // user32 and imm32 on XP: the text services of a window
      L"lpk\0"           // user32 and gdi32 on XP: the language pack's text layout
      L"usp10\0"         // lpk and comctl32 on XP: Uniscribe, which lays the text out
      L"userenv\0"       // shell32 and ole32: the user's profile and environment
      L"profapi\0"       // userenv from 7 on: the profile paths behind it
      L"setupapi\0"      // shell32: the drive's device class when it starts a file
      L"version\0"       // shell32: the version of what it starts (and the guard)
      L"apphelp\0"       // kernel32 and shell32: the compatibility check of a start
      L"propsys\0"       // shell32 from Vista on: properties of the started file
      L"linkinfo\0"      // shell32: where a started file or folder lives (volume, share)
      L"ntshrui\0"       // shell32: whether the product's folder is shared
      L"srvcli\0"        // ntshrui from Vista on: the server's shares it asks about
      L"cscapi\0"        // shell32 and ntshrui from 7 on: offline files of a path
      L"slc\0"           // shell32 from Vista on: licensing policy values it reads
      L"cryptbase\0"     // advapi32 on 7: random numbers for COM and wintrust
      L"cryptsp\0"       // advapi32 from 7 on: the CryptoAPI behind wintrust's hashes
      L"sspicli\0"       // advapi32 and rpcrt4 from 7 on: the security client of COM
      L"ntmarta\0"       // advapi32: security descriptors that ole32 and shell32 read
      L"clbcatq\0"       // ole32: the COM class catalog of CoCreateInstance
      L"rsaenh\0"        // crypt32, for wintrust: the provider named in the registry
      ;
  for (const wchar_t* name = kDependencies; *name;) {
    LoadFromSystemDirectory(name);
    while (*name++) {
    }
  }
}

HMODULE LoadSystemDll(const wchar_t* dllName) { return LoadFromSystemDirectory(dllName); }

const UserFunctions& User32() {
  static const UserFunctions functions = [] {
    const HMODULE dll = Required(LoadSystemDll(L"user32.dll"));
    UserFunctions f;
    VESPODAR_BIND(dll, f, CreateWindowExW);
    VESPODAR_BIND(dll, f, DefWindowProcW);
    VESPODAR_BIND(dll, f, DispatchMessageW);
    VESPODAR_BIND(dll, f, FindWindowW);
    VESPODAR_BIND(dll, f, GetProcessWindowStation);
    VESPODAR_BIND(dll, f, GetUserObjectInformationW);
    VESPODAR_BIND(dll, f, GetMessageW);
    VESPODAR_BIND(dll, f, GetSystemMetrics);
    VESPODAR_BIND(dll, f, LoadCursorW);
    VESPODAR_BIND(dll, f, LoadIconW);
    VESPODAR_BIND(dll, f, MessageBoxExW);
    VESPODAR_BIND(dll, f, MessageBoxW);
    VESPODAR_BIND(dll, f, PostMessageW);
    VESPODAR_BIND(dll, f, PostQuitMessage);
    VESPODAR_BIND(dll, f, RegisterClassExW);
    VESPODAR_BIND(dll, f, SetForegroundWindow);
    VESPODAR_BIND(dll, f, SetWindowPos);
    VESPODAR_BIND(dll, f, SetWindowTextW);
    VESPODAR_BIND(dll, f, ShowWindow);
    VESPODAR_BIND(dll, f, TranslateMessage);
    return f;
  }();
  return functions;
}

const GdiFunctions& Gdi32() {
  static const GdiFunctions functions = [] {
    const HMODULE dll = Required(LoadSystemDll(L"gdi32.dll"));
    GdiFunctions f;
    VESPODAR_BIND(dll, f, GetStockObject);
    return f;
  }();
  return functions;
}

const CommonControlFunctions& CommonControls() {
  static const CommonControlFunctions functions = [] {
    // By name, not by path: the manifest's dependency on the common controls
    // 6 makes the loader take this one from the side-by-side store, where the
    // system's path would give the old version 5. A copy beside the setup is
    // never reached (the store comes first, and the search was narrowed at
    // the entry).
    const HMODULE dll = Required(LoadLibraryW(L"comctl32.dll"));
    CommonControlFunctions f;
    VESPODAR_BIND(dll, f, InitCommonControls);
    return f;
  }();
  return functions;
}

const ShellFunctions& Shell32() {
  static const ShellFunctions functions = [] {
    const HMODULE dll = Required(LoadSystemDll(L"shell32.dll"));
    ShellFunctions f;
    VESPODAR_BIND(dll, f, ShellExecuteW);
    return f;
  }();
  return functions;
}

const ComFunctions& Com() {
  static const ComFunctions functions = [] {
    const HMODULE ole = Required(LoadSystemDll(L"ole32.dll"));
    const HMODULE automation = Required(LoadSystemDll(L"oleaut32.dll"));
    ComFunctions f;
    VESPODAR_BIND(ole, f, CoCreateInstance);
    VESPODAR_BIND(ole, f, CoInitializeEx);
    VESPODAR_BIND(ole, f, CoUninitialize);
    VESPODAR_BIND(automation, f, SysAllocString);
    VESPODAR_BIND(automation, f, SysFreeString);
    VESPODAR_BIND(automation, f, VariantInit);
    return f;
  }();
  return functions;
}

const TrustFunctions& Trust() {
  static const TrustFunctions functions = [] {
    const HMODULE dll = Required(LoadSystemDll(L"wintrust.dll"));
    TrustFunctions f;
    VESPODAR_BIND(dll, f, WinVerifyTrust);
    VESPODAR_BIND(dll, f, WTHelperGetProvCertFromChain);
    VESPODAR_BIND(dll, f, WTHelperGetProvSignerFromChain);
    VESPODAR_BIND(dll, f, WTHelperProvDataFromStateData);
    return f;
  }();
  return functions;
}

const SessionFunctions& Sessions() {
  static const SessionFunctions functions = [] {
    const HMODULE terminal = Required(LoadSystemDll(L"wtsapi32.dll"));
    const HMODULE environment = Required(LoadSystemDll(L"userenv.dll"));
    SessionFunctions f;
    VESPODAR_BIND(terminal, f, WTSQueryUserToken);
    VESPODAR_BIND(environment, f, CreateEnvironmentBlock);
    VESPODAR_BIND(environment, f, DestroyEnvironmentBlock);
    return f;
  }();
  return functions;
}

}  // namespace vespodar
