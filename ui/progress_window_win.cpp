#include "ui/progress_window_win.h"

#include <commctrl.h>

#include <atomic>
#include <memory>

#include "base/scoped_handle_win.h"
#include "base/system_dll_win.h"
#include "base/win_text.h"
#include "ui/progress_window.h"

namespace vespodar {

namespace {

// Written by the window thread, read by the main thread: atomics, so that a
// show or hide sees either nothing or the finished window.
std::atomic<bool> windowCreated{false};
std::atomic<HWND> frameWindow{nullptr};
std::atomic<HWND> statusWindow{nullptr};
std::atomic<HWND> barWindow{nullptr};
std::atomic<int> frameLeft{0};
std::atomic<int> frameTop{0};

// The window thread object: the texts the window is created with. The thread
// owns it once it runs, and frees it when its body returns.
struct TSetupForm {
  std::wstring captionText;
  std::wstring statusText;
};

HWND CreatePart(const ProgressWindowPart& part, const wchar_t* text, HWND parent, int left,
                int top) {
  return User32().CreateWindowExW(part.exStyle, part.className, text, part.style, left, top, part.width,
                         part.height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      const auto* form = static_cast<const TSetupForm*>(create->lpCreateParams);
      statusWindow = CreatePart(kProgressStatus, form->statusText.c_str(), window,
                                kProgressStatus.left, kProgressStatus.top);
      barWindow = CreatePart(kProgressBar, L"", window, kProgressBar.left, kProgressBar.top);
      return 0;
    }
    case WM_DESTROY:
      User32().PostQuitMessage(0);
      return 0;
    default:
      return User32().DefWindowProcW(window, message, wParam, lParam);
  }
}

DWORD WINAPI ProgressThreadBody(void* parameter) {
  const std::unique_ptr<TSetupForm> form(static_cast<TSetupForm*>(parameter));
  const ProgressOrigin origin =
      CentredProgressOrigin(User32().GetSystemMetrics(SM_CXSCREEN), User32().GetSystemMetrics(SM_CYSCREEN));
  frameLeft = origin.left;
  frameTop = origin.top;
  CommonControls().InitCommonControls();

  HINSTANCE module = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = kProgressClassStyle;
  windowClass.lpfnWndProc = PlainWindowProc;
  windowClass.cbClsExtra = 4;
  windowClass.cbWndExtra = 4;
  windowClass.hInstance = module;
  windowClass.hIcon = User32().LoadIconW(module, MAKEINTRESOURCEW(0));
  windowClass.hCursor = User32().LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(Gdi32().GetStockObject(GRAY_BRUSH));
  windowClass.lpszClassName = kProgressFrame.className;
  windowClass.hIconSm = windowClass.hIcon;
  // Without the class there is no window; the next show tries again.
  if (!User32().RegisterClassExW(&windowClass)) return 0;

  const HWND frame = User32().CreateWindowExW(kProgressFrame.exStyle, kProgressFrame.className,
                                     form->captionText.c_str(), kProgressFrame.style, origin.left,
                                     origin.top, kProgressFrame.width, kProgressFrame.height,
                                     nullptr, nullptr, module, form.get());
  frameWindow = frame;
  windowCreated = true;
  User32().ShowWindow(frame, SW_SHOWNORMAL);

  MSG message;
  while (User32().GetMessageW(&message, nullptr, 0, 0) > 0) {
    User32().TranslateMessage(&message);
    User32().DispatchMessageW(&message);
  }
  return 0;
}

// Position, size and topmost state are asserted again on every show and hide.
void PlaceFrame(UINT showOrHide) {
  const HWND frame = frameWindow;
  if (!frame) return;
  User32().SetWindowPos(frame, HWND_TOPMOST, frameLeft, frameTop, kProgressFrame.width,
               kProgressFrame.height, showOrHide);
}

}  // namespace

void ShowProgressWindow(const std::string& caption, const std::string& status) {
  if (windowCreated) {
    SetProgressCaption(caption);
    SetProgressStatus(status);
    PlaceFrame(SWP_SHOWWINDOW);
    return;
  }
  // The system functions are looked up on first use into local statics, which
  // the setup initialises without a lock (it is built with
  // -fno-threadsafe-statics): look up those the window's thread uses here,
  // before the thread exists.
  User32();
  Gdi32();
  CommonControls();
  auto form = std::make_unique<TSetupForm>(TSetupForm{Widen(caption), Widen(status)});
  // The thread runs on without its handle; it ends with its window or with
  // the process.
  const ScopedHandle thread(CreateThread(nullptr, 0, ProgressThreadBody, form.get(), 0, nullptr));
  // Handed over only to a thread that started; otherwise freed here.
  if (thread.valid()) static_cast<void>(form.release());
}

void HideProgressWindow() { PlaceFrame(SWP_HIDEWINDOW); }

void SetProgressCaption(const std::string& text) {
  if (const HWND frame = frameWindow) User32().SetWindowTextW(frame, Widen(text).c_str());
}

void SetProgressStatus(const std::string& text) {
  if (const HWND status = statusWindow) User32().SetWindowTextW(status, Widen(text).c_str());
}

void SetProgressPosition(int percent) {
  // Posted: the window's own thread moves the bar, the write does not wait.
  if (const HWND bar = barWindow) User32().PostMessageW(bar, PBM_SETPOS, percent, 0);
}

bool ProgressWindowCreated() { return windowCreated; }
HWND ProgressFrameWindow() { return frameWindow; }
HWND ProgressStatusWindow() { return statusWindow; }
HWND ProgressBarWindow() { return barWindow; }

}  // namespace vespodar
