#include "ui/progress_window.h"

namespace vespodar {

namespace {

int HalfRoundedDown(int value) { return value >= 0 ? value / 2 : -((1 - value) / 2); }

}  // namespace

int ProgressPercent(std::uint64_t done, std::uint64_t total) {
  if (total == 0 || done >= total) return 100;
  // done * 100 overflows only past 184 PB; there a percent of the total is
  // the unit.
  const std::uint64_t kLimit = ~std::uint64_t(0) / 100;
  return static_cast<int>(total > kLimit ? done / (total / 100) : done * 100 / total);
}

ProgressOrigin CentredProgressOrigin(int screenWidth, int screenHeight) {
  return {HalfRoundedDown(screenWidth - kProgressFrame.width),
          HalfRoundedDown(screenHeight - kProgressFrame.height)};
}

}  // namespace vespodar
