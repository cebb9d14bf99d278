#include "setup/product_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "base/product_identity.h"
#include "base/retry_sleep_win.h"
#include "base/scoped_handle_win.h"
#include "base/win_text.h"

namespace vespodar {

namespace {

// The test's own word to the product thread: end now, whatever it does with
// WM_QUIT.
const UINT kEndNow = WM_APP;

// A stand-in for the running product inside the test process: a thread that
// holds the marker and runs a window of the product's class. It counts the
// WM_QUITs it is sent; one that ignores them (busy saving, hung) ends only on
// End().
struct ProductThread {
  bool withWindow = true;
  bool quitsWhenTold = true;
  std::atomic<int> quitRequests{0};
  ScopedHandle ready{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  ScopedHandle thread;
  DWORD threadId = 0;

  static DWORD WINAPI Run(void* parameter) {
    ProductThread* self = static_cast<ProductThread*>(parameter);
    const ScopedHandle marker(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                 0, 64, kInstanceMarkerName));
    const std::wstring className = Widen(kMainWindowClass);
    HWND window = nullptr;
    if (self->withWindow) {
      WNDCLASSW windowClass = {};
      windowClass.lpfnWndProc = DefWindowProcW;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = className.c_str();
      RegisterClassW(&windowClass);  // fails, harmlessly, for every product after the first
      window = CreateWindowW(className.c_str(), Widen(kProductName).c_str(), WS_OVERLAPPEDWINDOW,
                             0, 0, 100, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    // The thread's message queue exists from its first look at it: End() may
    // post to it as soon as the product is ready.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    SetEvent(self->ready.handle);
    for (;;) {
      const BOOL got = GetMessageW(&message, nullptr, 0, 0);
      if (got == -1) break;
      if (got == 0) {
        ++self->quitRequests;
        if (self->quitsWhenTold) break;
        continue;
      }
      if (message.message == kEndNow) break;
      DispatchMessageW(&message);
    }
    if (window) DestroyWindow(window);
    return 0;
  }
  void Start() {
    thread = ScopedHandle(CreateThread(nullptr, 0, Run, this, 0, &threadId));
    ASSERT_TRUE(thread.valid());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready.handle, 10000));
  }
  bool Ended() const { return WaitForSingleObject(thread.handle, 0) == WAIT_OBJECT_0; }
  void End() {
    if (!thread.valid() || Ended()) return;
    PostThreadMessageW(threadId, kEndNow, 0, 0);
    WaitForSingleObject(thread.handle, 10000);
  }
  ~ProductThread() { End(); }
};

// Stands in for the pauses of the quit wait, which then takes no time: counts
// them, and ends the product in the given one (0: never).
struct QuitWaitClock {
  ProductThread* product = nullptr;
  int endProductIn = 0;
  int pauses = 0;
  DWORD waitedMs = 0;

  static void Pause(DWORD ms, void* context) {
    QuitWaitClock* self = static_cast<QuitWaitClock*>(context);
    ++self->pauses;
    self->waitedMs += ms;
    if (self->pauses == self->endProductIn) self->product->End();
  }
};

class ScopedQuitWaitClock {
 public:
  explicit ScopedQuitWaitClock(QuitWaitClock& clock) {
    SetRetrySleepHookForTesting(&QuitWaitClock::Pause, &clock);
  }
  ScopedQuitWaitClock(const ScopedQuitWaitClock&) = delete;
  ScopedQuitWaitClock& operator=(const ScopedQuitWaitClock&) = delete;
  ~ScopedQuitWaitClock() { SetRetrySleepHookForTesting(nullptr, nullptr); }
};

TEST(ProductHandshakeTest, MarkerTellsWhetherTheProductRuns) {
  EXPECT_TRUE(ProductNotRunning());
  // The probe itself must not leave the marker behind.
  EXPECT_TRUE(ProductNotRunning());
  {
    ProductThread product;
    product.Start();
    EXPECT_FALSE(ProductNotRunning());
    // The real pauses: the product ends on the WM_QUIT it is sent.
    EXPECT_TRUE(CloseRunningProduct(kMainWindowClass));
    EXPECT_TRUE(ProductNotRunning());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(product.thread.handle, 1000));
    EXPECT_EQ(1, product.quitRequests.load());
  }
  EXPECT_TRUE(ProductNotRunning());
}

TEST(ProductHandshakeTest, QuitWaitEndsWithTheProductOrAfterTenSeconds) {
  struct Case {
    const char* what;
    int endsInPause;  // 0: never
    bool closed;
    int pauses;
  };
  const Case cases[] = {
      {"ends during the first pause", 1, true, 1},
      {"ends after three seconds", 30, true, 30},
      // The wait is over, but a last look still finds the product gone.
      {"ends during the last pause", 100, true, 100},
      {"never ends", 0, false, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProductThread product;
    product.quitsWhenTold = false;
    product.Start();
    QuitWaitClock clock;
    clock.product = &product;
    clock.endProductIn = c.endsInPause;
    {
      const ScopedQuitWaitClock hook(clock);
      EXPECT_EQ(c.closed, CloseRunningProduct(kMainWindowClass));
    }
    EXPECT_EQ(1, product.quitRequests.load());
    EXPECT_EQ(c.pauses, clock.pauses);
    EXPECT_EQ(static_cast<DWORD>(c.pauses) * 100, clock.waitedMs);
    EXPECT_EQ(c.closed, ProductNotRunning());
  }
}

TEST(ProductHandshakeTest, ProductWithoutWindowIsNotWaitedFor) {
  ProductThread product;
  product.withWindow = false;
  product.Start();
  QuitWaitClock clock;
  {
    const ScopedQuitWaitClock hook(clock);
    EXPECT_FALSE(CloseRunningProduct(kMainWindowClass));
  }
  EXPECT_EQ(0, clock.pauses);
  EXPECT_EQ(0, product.quitRequests.load());
  EXPECT_FALSE(ProductNotRunning());
}

}  // namespace

}  // namespace vespodar
