// The progress window on its thread, shown and hidden from the test's
// thread. One window per process, so the life cycle is one test.

#include "ui/progress_window_win.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>

#include "base/win_text.h"
#include "base/win32_test_support_test.h"

namespace vespodar {

namespace {

std::string ClassName(HWND window) {
  wchar_t name[64] = {};
  const int length = GetClassNameW(window, name, 64);
  return Narrow(name, static_cast<std::size_t>(length));
}

void ExpectCentredAndTopmost(HWND frame) {
  RECT rect = {};
  ASSERT_TRUE(GetWindowRect(frame, &rect));
  EXPECT_EQ(308, rect.left);
  EXPECT_EQ(346, rect.top);
  EXPECT_EQ(408, rect.right - rect.left);
  EXPECT_EQ(76, rect.bottom - rect.top);
  EXPECT_TRUE(GetWindowLongW(frame, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST(ProgressWindowWinTest, LifeCycle) {
  ASSERT_EQ(1024, GetSystemMetrics(SM_CXSCREEN)) << "run under a 1024 x 768 screen";
  ASSERT_EQ(768, GetSystemMetrics(SM_CYSCREEN));

  // A hide before the first show creates nothing.
  HideProgressWindow();
  Sleep(200);
  EXPECT_FALSE(ProgressWindowCreated());
  EXPECT_EQ(nullptr, FindWindowW(L"PlainWindow", nullptr));

  // The first show starts the thread, which creates the window with the
  // texts of that show.
  ShowProgressWindow("Обновление", "Копирование файлов...");
  ASSERT_TRUE(WaitFor([] { return ProgressWindowCreated(); }));
  const HWND frame = ProgressFrameWindow();
  ASSERT_NE(nullptr, frame);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(frame) != 0; }));
  EXPECT_EQ(frame, FindWindowW(L"PlainWindow", nullptr));
  EXPECT_NE(GetCurrentThreadId(), GetWindowThreadProcessId(frame, nullptr));
  EXPECT_EQ("Обновление", WindowText(frame));
  EXPECT_EQ("Копирование файлов...", WindowText(ProgressStatusWindow()));
  ExpectCentredAndTopmost(frame);

  // A dialog frame without a system menu (the system adds a caption to
  // every top-level window that is no popup); the class cannot be closed.
  const LONG style = GetWindowLongW(frame, GWL_STYLE);
  EXPECT_TRUE(style & WS_DLGFRAME);
  EXPECT_FALSE(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_EQ(static_cast<DWORD>(CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE),
            static_cast<DWORD>(GetClassLongW(frame, GCL_STYLE)));

  // The status line over the bar, both children of the frame.
  const HWND status = ProgressStatusWindow();
  const HWND bar = ProgressBarWindow();
  EXPECT_EQ(0, lstrcmpiW(Widen(ClassName(status)).c_str(), L"STATIC"));
  EXPECT_EQ(0, lstrcmpiW(Widen(ClassName(bar)).c_str(), L"msctls_progress32"));
  EXPECT_EQ(frame, GetParent(status));
  EXPECT_EQ(frame, GetParent(bar));
  RECT frameRect = {}, statusRect = {}, barRect = {};
  GetWindowRect(frame, &frameRect);
  GetWindowRect(status, &statusRect);
  GetWindowRect(bar, &barRect);
  EXPECT_EQ(399, statusRect.right - statusRect.left);
  EXPECT_EQ(20, statusRect.bottom - statusRect.top);
  EXPECT_EQ(400, barRect.right - barRect.left);
  EXPECT_EQ(22, barRect.top - statusRect.top);
  EXPECT_TRUE(IsWindowVisible(status));
  EXPECT_TRUE(IsWindowVisible(bar));
  // The bar starts empty; a write moves it (posted, so its thread moves it).
  EXPECT_EQ(0, SendMessageW(bar, PBM_GETPOS, 0, 0));
  SetProgressPosition(42);
  EXPECT_TRUE(WaitFor([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) == 42; }));

  // Hide and show again with other texts: back in place, topmost.
  HideProgressWindow();
  EXPECT_FALSE(IsWindowVisible(frame));
  ShowProgressWindow("", "");
  EXPECT_TRUE(IsWindowVisible(frame));
  EXPECT_EQ("", WindowText(frame));
  EXPECT_EQ("", WindowText(status));
  ExpectCentredAndTopmost(frame);

  // Moved away from outside, it comes back on the next hide or show.
  SetWindowPos(frame, HWND_NOTOPMOST, 0, 0, 100, 100, SWP_NOACTIVATE);
  HideProgressWindow();
  ShowProgressWindow("Vespodar update", "Готово");
  EXPECT_EQ("Vespodar update", WindowText(frame));
  EXPECT_EQ("Готово", WindowText(status));
  ExpectCentredAndTopmost(frame);
  EXPECT_EQ(frame, ProgressFrameWindow());  // still the one window
}

}  // namespace

}  // namespace vespodar
