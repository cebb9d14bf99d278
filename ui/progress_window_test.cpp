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

}  // namespace vespodar
