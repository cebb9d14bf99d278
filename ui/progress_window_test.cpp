#include "ui/progress_window.h"

#include <gtest/gtest.h>

namespace vespodar {

namespace {

TEST(CentredProgressOriginTest, HalfTheSpareRoomRoundedDown) {
  const struct {
    int width, height, left, top;
  } cases[] = {
      {1024, 768, 308, 346},
      {800, 600, 196, 262},
      {1920, 1080, 756, 502},
      {1025, 769, 308, 346},  // odd spare room rounds down
      {408, 76, 0, 0},
      {407, 75, -1, -1},      // a screen smaller than the frame: still down
      {404, 72, -2, -2},
  };
  for (const auto& c : cases) {
    const ProgressOrigin origin = CentredProgressOrigin(c.width, c.height);
    EXPECT_EQ(c.left, origin.left) << c.width;
    EXPECT_EQ(c.top, origin.top) << c.height;
  }
}

}  // namespace

TEST(ProgressPercentTest, BytesWrittenOfTheWhole) {
  const std::uint64_t kHuge = ~std::uint64_t(0) - 7;
  const struct {
    std::uint64_t done, total;
    int percent;
  } cases[] = {{0, 200, 0},          {1, 200, 0},          {199, 200, 99},
               {200, 200, 100},      {300, 200, 100},      {0, 0, 100},
               {kHuge / 2, kHuge, 50}, {kHuge, kHuge, 100}, {3 << 20, 6 << 20, 50}};
  for (const auto& c : cases)
    EXPECT_EQ(c.percent, ProgressPercent(c.done, c.total)) << c.done << " of " << c.total;
}

}  // namespace vespodar
