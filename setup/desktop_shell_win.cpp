#include "setup/desktop_shell_win.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <utility>

#include "base/scoped_handle_win.h"
#include "base/system_dll_win.h"

// shellapi.h names ShellExecuteW so; here it is the method of IShellDispatch2.
#undef ShellExecute

namespace vespodar {

namespace {

// One reference to a COM interface, released when it goes out of scope. It
// moves but is never copied: a copy would release the one reference twice.
template <typename Interface>
struct ComRef {
  Interface* p = nullptr;

  ComRef() = default;
  ComRef(ComRef&& other) noexcept : p(std::exchange(other.p, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      Reset();
      p = std::exchange(other.p, nullptr);
    }
    return *this;
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { Reset(); }

  // Where a call that hands out a reference puts it; the slot must be empty.
  Interface** Out() { return &p; }
  void** OutVoid() { return reinterpret_cast<void**>(&p); }

 private:
  void Reset() {
    if (p) p->Release();
    p = nullptr;
  }
};

// An automation string, freed when it goes out of scope; moves, never copied.
struct Bstr {
  BSTR text;

  explicit Bstr(const std::wstring& value) : text(Com().SysAllocString(value.c_str())) {}
  Bstr(Bstr&& other) noexcept : text(std::exchange(other.text, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      Com().SysFreeString(text);
      text = std::exchange(other.text, nullptr);
    }
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { Com().SysFreeString(text); }
};

// COM on this thread for a scope: uninitialised again only where it was
// initialised.
struct ComApartment {
  HRESULT result = Com().CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  ComApartment() = default;
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
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
