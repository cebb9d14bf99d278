#include "setup/product.h"

namespace vespodar {

LaunchRoute ChooseLaunchRoute(unsigned majorVersion, bool elevated) {
  // Without user account control an administrator's desktop runs with the
  // same rights as the setup: nothing to gain from the detour.
  return majorVersion >= 6 && elevated ? LaunchRoute::kThroughDesktopShell : LaunchRoute::kDirect;
}

}  // namespace vespodar
