#ifndef VESPODAR_INSTALL_PAGE_PREFAULT_WIN_H_
#define VESPODAR_INSTALL_PAGE_PREFAULT_WIN_H_

// The first write to each page of a file's view costs a page fault, and on
// some machines (virtual ones above all: 7 us a page measured under Wine on
// one, 0.45 s for a view of 256 MiB) those faults cost as much as the
// decoding that fills the view. A thread of its own takes them ahead of the
// decoder, on another processor, so that the decoder finds its pages there.

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/scoped_handle_win.h"

namespace vespodar {

class PagePrefault {
 public:
  // Starts touching the pages of [view, view + size) from the first, unless
  // the view is too small to be worth a thread or the machine has one
  // processor (where the thread would only take turns with the decoder).
  // The bytes are left as they are, however the view is written meanwhile.
  PagePrefault(std::uint8_t* view, std::size_t size);
  PagePrefault(const PagePrefault&) = delete;
  PagePrefault& operator=(const PagePrefault&) = delete;
  ~PagePrefault() { Stop(); }

  // Asks the thread to stop and waits for it; the bytes it has come to. Call
  // before the view is unmapped.
  std::size_t Stop();

  // The bytes the thread has come to so far.
  std::size_t Reached() const { return reached_; }

 private:
  static DWORD WINAPI Run(void* self);

  std::uint8_t* view_;
  std::size_t size_;
  volatile LONG stop_ = 0;
  volatile std::size_t reached_ = 0;
  ScopedHandle thread_;
};

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_PAGE_PREFAULT_WIN_H_
