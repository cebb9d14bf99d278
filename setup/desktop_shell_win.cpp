#include "setup/desktop_shell_win.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "base/scoped_handle_win.h"
#include "base/system_dll_win.h"

// shellapi.h names ShellExecuteW so; here it is the method of IShellDispatch2.
#undef ShellExecute

namespace vespodar {

namespace {

// Releases a COM interface when it goes out of scope.
template <typename Interface>
struct ComRef {
  Interface* p = nullptr;
  ~ComRef() {
    if (p) p->Release();
  }
  Interface** Out() { return &p; }
  void** OutVoid() { return reinterpret_cast<void**>(&p); }
};

struct Bstr {
  BSTR text;
  explicit Bstr(const std::wstring& value) : text(Com().SysAllocString(value.c_str())) {}
  ~Bstr() { Com().SysFreeString(text); }
};

struct ComApartment {
  HRESULT result = Com().CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ~ComApartment() {
    if (SUCCEEDED(result)) Com().CoUninitialize();
  }
};

}  // namespace

bool OpenThroughDesktopShell(const std::wstring& path, const std::wstring& directory) {
  ComApartment apartment;
  if (FAILED(apartment.result)) return false;

  ComRef<IShellWindows> windows;
  if (FAILED(Com().CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                              windows.OutVoid())))
    return false;
  VARIANT empty;
  Com().VariantInit(&empty);
  LONG desktopWindow = 0;
  ComRef<IDispatch> desktop;
  if (windows.p->FindWindowSW(&empty, &empty, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                              desktop.Out()) != S_OK ||
      !desktop.p)
    return false;

  ComRef<IServiceProvider> services;
  ComRef<IShellBrowser> browser;
  ComRef<IShellView> view;
  ComRef<IDispatch> background;
  ComRef<IShellFolderViewDual> folderView;
  ComRef<IDispatch> application;
  ComRef<IShellDispatch2> shell;
  if (FAILED(desktop.p->QueryInterface(IID_IServiceProvider, services.OutVoid())) ||
      FAILED(services.p->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                      browser.OutVoid())) ||
      FAILED(browser.p->QueryActiveShellView(view.Out())) ||
      FAILED(view.p->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.OutVoid())) ||
      FAILED(background.p->QueryInterface(IID_IShellFolderViewDual, folderView.OutVoid())) ||
      FAILED(folderView.p->get_Application(application.Out())) ||
      FAILED(application.p->QueryInterface(IID_IShellDispatch2, shell.OutVoid())))
    return false;

  Bstr file(path), verb(L"open"), folder(directory);
  VARIANT arguments, operation, workingDirectory, show;
  Com().VariantInit(&arguments);
  Com().VariantInit(&operation);
  Com().VariantInit(&workingDirectory);
  Com().VariantInit(&show);
  operation.vt = VT_BSTR;
  operation.bstrVal = verb.text;
  workingDirectory.vt = VT_BSTR;
  workingDirectory.bstrVal = folder.text;
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return SUCCEEDED(shell.p->ShellExecute(file.text, arguments, workingDirectory, operation, show));
}

bool IsProcessElevated() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return false;
  const ScopedHandle token(opened);
  // TokenElevation (20) and its one-DWORD record exist from Vista on; older
  // systems refuse the class, and have no elevation to speak of.
  DWORD elevation = 0;
  DWORD size = 0;
  const BOOL known = GetTokenInformation(token.handle, static_cast<TOKEN_INFORMATION_CLASS>(20),
                                         &elevation, sizeof(elevation), &size);
  return known && elevation != 0;
}

}  // namespace vespodar
