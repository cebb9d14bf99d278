#include "ui/progress_window.h"

namespace vespodar {

namespace {

int HalfRoundedDown(int value) { return value >= 0 ? value / 2 : -((1 - value) / 2); }

}  // namespace

ProgressOrigin CentredProgressOrigin(int screenWidth, int screenHeight) {
  return {HalfRoundedDown(screenWidth - kProgressFrame.width),
          HalfRoundedDown(screenHeight - kProgressFrame.height)};
}

}  // namespace vespodar
