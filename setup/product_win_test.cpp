#include "setup/product_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/product_identity.h"
#include "base/win_text.h"

namespace vespodar {

namespace {

// A stand-in for the running product inside the test process: a thread that
// holds the marker and runs a window of the product's class until WM_QUIT.
struct ProductThread {
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = nullptr;
  bool withWindow = true;

  static DWORD WINAPI Run(void* parameter) {
    ProductThread* self = static_cast<ProductThread*>(parameter);
    HANDLE marker = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64,
                                       kInstanceMarkerName);
    const std::wstring className = Widen(kMainWindowClass);
    HWND window = nullptr;
    if (self->withWindow) {
      WNDCLASSW windowClass = {};
      windowClass.lpfnWndProc = DefWindowProcW;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = className.c_str();
      RegisterClassW(&windowClass);
      window = CreateWindowW(className.c_str(), Widen(kProductName).c_str(), WS_OVERLAPPEDWINDOW,
                             0, 0, 100, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    SetEvent(self->ready);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    if (window) DestroyWindow(window);
    CloseHandle(marker);
    return 0;
  }
  void Start() {
    thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    WaitForSingleObject(ready, 10000);
  }
  ~ProductThread() {
    if (thread) {
      PostThreadMessageW(GetThreadId(thread), WM_QUIT, 0, 0);
      WaitForSingleObject(thread, 10000);
      CloseHandle(thread);
    }
    CloseHandle(ready);
  }
};

TEST(ProductHandshakeTest, MarkerTellsWhetherTheProductRuns) {
  EXPECT_TRUE(ProductNotRunning());
  // The probe itself must not leave the marker behind.
  EXPECT_TRUE(ProductNotRunning());
  {
    ProductThread product;
    product.Start();
    EXPECT_FALSE(ProductNotRunning());
    EXPECT_TRUE(CloseRunningProduct(kMainWindowClass));
    EXPECT_TRUE(ProductNotRunning());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(product.thread, 1000));
  }
  EXPECT_TRUE(ProductNotRunning());
}

TEST(ProductHandshakeTest, ProductWithoutWindowIsNotWaitedFor) {
  ProductThread product;
  product.withWindow = false;
  product.Start();
  const DWORD start = GetTickCount();
  EXPECT_FALSE(CloseRunningProduct(kMainWindowClass));
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_FALSE(ProductNotRunning());
}

}  // namespace

}  // namespace vespodar
