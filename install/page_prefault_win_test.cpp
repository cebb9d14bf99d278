#include "install/page_prefault_win.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vespodar {
namespace {

std::uint8_t PatternAt(std::size_t at) { return static_cast<std::uint8_t>(at * 131 + (at >> 12)); }

// A view written before and while its pages are touched keeps every byte
// written; the thread gets through the view when nothing stops it.
TEST(PagePrefaultTest, LeavesEveryWrittenByteAsItIs) {
  const std::size_t size = (32u << 20) + 1234;  // a last page cut short
  ScopedHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(size), nullptr));
  ASSERT_TRUE(mapping.valid());
  auto* view = static_cast<std::uint8_t*>(MapViewOfFile(mapping.handle, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  const std::size_t half = size / 2;
  for (std::size_t at = 0; at < half; ++at) view[at] = PatternAt(at);

  std::size_t reached = 0;
  {
    PagePrefault prefault(view, size);
    for (std::size_t at = half; at < size; ++at) view[at] = PatternAt(at);
    // The whole view, unless this machine has one processor (no thread).
    for (int i = 0; i < 500 && prefault.Reached() < size; ++i) Sleep(10);
    reached = prefault.Stop();
  }
  std::size_t wrong = 0;
  for (std::size_t at = 0; at < size; ++at) wrong += view[at] != PatternAt(at);
  EXPECT_EQ(wrong, 0u);
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  if (system.dwNumberOfProcessors > 1) {
    EXPECT_EQ(reached, size);
  }
  UnmapViewOfFile(view);
}

}  // namespace
}  // namespace vespodar
