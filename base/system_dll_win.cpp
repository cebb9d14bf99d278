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

}  // namespace

HMODULE LoadSystemDll(const wchar_t* dllName) {
  wchar_t directory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(directory, length);
  path += L'\\';
  path += dllName;
  // The altered search path takes the DLL's own dependencies from its
  // directory too.
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

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
    VESPODAR_BIND(dll, f, SHGetFileInfoW);
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
