#include "install/page_prefault_win.h"

namespace vespodar {

namespace {

const std::size_t kPageBytes = 4096;
// Below this the thread's start costs about what it saves.
const std::size_t kSmallestView = 16u << 20;

// A write that leaves the byte as it is: a locked OR with zero reads and
// writes the byte in one step that no other processor's store can come
// between, so a byte the decoder writes at the same moment keeps its value.
// Written out, because a compiler may turn an atomic OR with zero into a
// plain read, which would fault the page in for reading only (and cost a
// second fault at the decoder's write).
inline void TouchForWriting(std::uint8_t* byte) {
  __asm__ __volatile__("lock; orb $0, %0" : "+m"(*byte) : : "memory");
}

}  // namespace

PagePrefault::PagePrefault(std::uint8_t* view, std::size_t size) : view_(view), size_(size) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  if (!view || size < kSmallestView || system.dwNumberOfProcessors < 2) return;
  // A small stack: the thread calls nothing. Without a thread the decoder
  // takes its faults itself, as before.
  thread_ = ScopedHandle(
      CreateThread(nullptr, 64 * 1024, Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
}

std::size_t PagePrefault::Stop() {
  if (thread_.valid()) {
    InterlockedExchange(&stop_, 1);
    WaitForSingleObject(thread_.handle, INFINITE);
    thread_.Close();
  }
  return reached_;
}

DWORD WINAPI PagePrefault::Run(void* self) {
  PagePrefault* prefault = static_cast<PagePrefault*>(self);
  std::size_t at = 0;
  // Pages the decoder has already written cost only the locked OR: once it
  // has passed the thread, the thread soon passes it again.
  for (; at < prefault->size_ && !prefault->stop_; at += kPageBytes) {
    TouchForWriting(prefault->view_ + at);
    const std::size_t end = at + kPageBytes;
    prefault->reached_ = end < prefault->size_ ? end : prefault->size_;
  }
  return 0;
}

}  // namespace vespodar
