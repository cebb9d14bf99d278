#ifndef VESPODAR_BASE_SYSTEM_DLL_WIN_H_
#define VESPODAR_BASE_SYSTEM_DLL_WIN_H_

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <wintrust.h>
#include <userenv.h>
#include <wtsapi32.h>

namespace vespodar {

// The system DLLs that only some runs need are loaded at their first use, not
// by the executable's imports. A silent update of a product that is not
// running shows no box, no window and starts nothing: it then maps kernel32,
// advapi32 and msvcrt alone. Under Wine the static import of comctl32 alone
// started a desktop process on every run (its start-up asks for the system
// colours), and every DLL mapped costs start-up time and memory.
//
// Each accessor loads its DLL at its first call and finds every function the
// setup uses; the DLL then stays for the rest of the process. When a DLL or
// one of its functions cannot be had, the process ends with the failure code,
// as Windows ends a process whose imports are missing.
//
// Not thread-safe: the records are local statics, and the setup is built
// without the lock around their start (-fno-threadsafe-statics,
// cmake/flags.cmake). The first call of each accessor is on the main
// thread; the one other thread, the progress window's, uses User32, Gdi32
// and CommonControls, and ShowProgressWindow calls each of them once before
// it starts that thread.

// The exit code of a process that cannot have a system DLL or one of its
// functions: ERROR_INSTALL_FAILURE, the setup's code for any failure.
constexpr UINT kSystemDllMissingExitCode = 1603;

// Narrows the DLL search of the whole process at its entry: System32 alone
// where the system can (SetDefaultDllDirectories: Windows 8, or 7 with
// KB2533623), and elsewhere no current directory, with the system DLLs'
// own by-name loads answered from System32 beforehand
// (PreloadSystemDllDependencies). The setup runs elevated from wherever it
// was downloaded to: a DLL planted beside it, or in the current directory,
// must never be loaded by it nor by the system code it calls.
void NarrowDllSearch();

// Loads DLL_NAME ("rstrtmgr.dll") from the system directory by its full path;
// nullptr when it is not there. Its own dependencies come from the system
// directory too, never from the setup's.
HMODULE LoadSystemDll(const wchar_t* dllName);

// Where the search could not be narrowed, the system DLLs still load further
// DLLs by name at run time, and the setup's own folder is searched first for
// those. Loaded from System32 by full path beforehand, they are found among
// the loaded modules instead. NarrowDllSearch calls it, once, at the entry.
void PreloadSystemDllDependencies();

// The function NAME of MODULE typed as FUNCTION; nullptr when missing.
template <typename Function>
Function FindFunction(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

struct UserFunctions {
  decltype(&::CreateWindowExW) CreateWindowExW;
  decltype(&::DefWindowProcW) DefWindowProcW;
  decltype(&::DispatchMessageW) DispatchMessageW;
  decltype(&::FindWindowW) FindWindowW;
  decltype(&::GetProcessWindowStation) GetProcessWindowStation;
  decltype(&::GetUserObjectInformationW) GetUserObjectInformationW;
  decltype(&::GetMessageW) GetMessageW;
  decltype(&::GetSystemMetrics) GetSystemMetrics;
  decltype(&::LoadCursorW) LoadCursorW;
  decltype(&::LoadIconW) LoadIconW;
  decltype(&::MessageBoxExW) MessageBoxExW;
  decltype(&::MessageBoxW) MessageBoxW;
  decltype(&::PostMessageW) PostMessageW;
  decltype(&::PostQuitMessage) PostQuitMessage;
  decltype(&::RegisterClassExW) RegisterClassExW;
  decltype(&::SetForegroundWindow) SetForegroundWindow;
  decltype(&::SetWindowPos) SetWindowPos;
  decltype(&::SetWindowTextW) SetWindowTextW;
  decltype(&::ShowWindow) ShowWindow;
  decltype(&::TranslateMessage) TranslateMessage;
};
const UserFunctions& User32();

struct GdiFunctions {
  decltype(&::GetStockObject) GetStockObject;
};
const GdiFunctions& Gdi32();

// The progress bar's window class.
struct CommonControlFunctions {
  decltype(&::InitCommonControls) InitCommonControls;
};
const CommonControlFunctions& CommonControls();

struct ShellFunctions {
  decltype(&::ShellExecuteW) ShellExecuteW;
};
const ShellFunctions& Shell32();

// COM and its automation strings: the start through the desktop's shell.
struct ComFunctions {
  decltype(&::CoCreateInstance) CoCreateInstance;
  decltype(&::CoInitializeEx) CoInitializeEx;
  decltype(&::CoUninitialize) CoUninitialize;
  decltype(&::SysAllocString) SysAllocString;
  decltype(&::SysFreeString) SysFreeString;
  decltype(&::VariantInit) VariantInit;
};
const ComFunctions& Com();

// Authenticode: the check of the setup's own signature, when it has one.
struct TrustFunctions {
  decltype(&::WinVerifyTrust) WinVerifyTrust;
  decltype(&::WTHelperGetProvCertFromChain) WTHelperGetProvCertFromChain;
  decltype(&::WTHelperGetProvSignerFromChain) WTHelperGetProvSignerFromChain;
  decltype(&::WTHelperProvDataFromStateData) WTHelperProvDataFromStateData;
};
const TrustFunctions& Trust();
// The start of the product in the console user's session, by a setup that
// runs as SYSTEM.
struct SessionFunctions {
  decltype(&::WTSQueryUserToken) WTSQueryUserToken;
  decltype(&::CreateEnvironmentBlock) CreateEnvironmentBlock;
  decltype(&::DestroyEnvironmentBlock) DestroyEnvironmentBlock;
};
const SessionFunctions& Sessions();

}  // namespace vespodar

#endif  // VESPODAR_BASE_SYSTEM_DLL_WIN_H_
